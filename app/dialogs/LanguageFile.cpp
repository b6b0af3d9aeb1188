// Language files (see LanguageFile.h).
#include "LanguageFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::string Lower(std::string AText) {
  std::transform(AText.begin(), AText.end(), AText.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return AText;
}

std::string Trim(const std::string& AText) {
  const char* blanks = " \t\r\n";
  const size_t first = AText.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return AText.substr(first, AText.find_last_not_of(blanks) - first + 1);
}

} // namespace

TLanguageFile::TLanguageFile(const std::string& AFileName) {
  std::ifstream file(AFileName, std::ios::binary);
  if (!file) return;
  std::ostringstream text;
  text << file.rdbuf();
  Parse(text.str());
}

TLanguageFile TLanguageFile::FromText(const std::string& AText) {
  TLanguageFile file;
  file.Parse(AText);
  return file;
}

void TLanguageFile::Parse(const std::string& AText) {
  std::string text = AText;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::istringstream lines(text);
  std::string line;
  std::map<std::string, std::string>* section = nullptr;
  while (std::getline(lines, line)) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';') continue;
    if (trimmed[0] == '[') {
      const size_t close = trimmed.find(']');
      if (close == std::string::npos) continue;
      // A section that comes again adds nothing: the first one is read.
      const std::string name = Lower(Trim(trimmed.substr(1, close - 1)));
      section = FSections.count(name) ? nullptr : &FSections[name];
      continue;
    }
    const size_t equals = trimmed.find('=');
    if (!section || equals == std::string::npos) continue;
    std::string value = Trim(trimmed.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    section->emplace(Lower(Trim(trimmed.substr(0, equals))), value); // the first one stays
  }
}

std::optional<std::string> TLanguageFile::Read(const std::string& ASection,
                                               const std::string& AKey) const {
  const auto section = FSections.find(Lower(ASection));
  if (section == FSections.end()) return std::nullopt;
  const auto value = section->second.find(Lower(AKey));
  if (value == section->second.end()) return std::nullopt;
  return value->second;
}
