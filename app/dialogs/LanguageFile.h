// A language file: a profile (ini) file whose section "Translations" maps a
// component's name + ".Caption" or ".Hint" to the translated text. Read
// once as a whole; sections and keys match without regard to case, the
// first match wins, values are trimmed and lose one pair of enclosing
// quotes. Files are UTF-8 (a leading byte-order mark is skipped).
#pragma once

#include <map>
#include <optional>
#include <string>

class TLanguageFile {
public:
  // A missing or unreadable file reads as an empty one.
  explicit TLanguageFile(const std::string& AFileName);
  static TLanguageFile FromText(const std::string& AText);

  std::optional<std::string> Read(const std::string& ASection, const std::string& AKey) const;
  std::string ReadString(const std::string& ASection, const std::string& AKey,
                         const std::string& ADefault) const {
    return Read(ASection, AKey).value_or(ADefault);
  }

private:
  TLanguageFile() = default;
  void Parse(const std::string& AText);
  // Lower-case section -> lower-case key -> value.
  std::map<std::string, std::map<std::string, std::string>> FSections;
};
