// The settings file class (see IniFile.h).
#include "IniFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsValidUtf8(const std::string& AText) {
  size_t i = 0;
  while (i < AText.size()) {
    const auto c = static_cast<unsigned char>(AText[i]);
    int follow = 0;
    if (c < 0x80)
      follow = 0;
    else if (c >= 0xC2 && c <= 0xDF)
      follow = 1;
    else if (c >= 0xE0 && c <= 0xEF)
      follow = 2;
    else if (c >= 0xF0 && c <= 0xF4)
      follow = 3;
    else
      return false;
    if (i + follow >= AText.size()) return false;
    for (int k = 1; k <= follow; ++k)
      if ((static_cast<unsigned char>(AText[i + k]) & 0xC0) != 0x80) return false;
    i += follow + 1;
  }
  return true;
}

void AppendUtf8(std::string& AOut, uint32_t ACode) {
  if (ACode < 0x80) {
    AOut += static_cast<char>(ACode);
  } else if (ACode < 0x800) {
    AOut += static_cast<char>(0xC0 | (ACode >> 6));
    AOut += static_cast<char>(0x80 | (ACode & 0x3F));
  } else {
    AOut += static_cast<char>(0xE0 | (ACode >> 12));
    AOut += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
    AOut += static_cast<char>(0x80 | (ACode & 0x3F));
  }
}

// Windows-1252's 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string Cp1252ToUtf8(const std::string& AText) {
  std::string out;
  out.reserve(AText.size() * 2);
  for (const char ch : AText) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80)
      out += ch;
    else if (c < 0xA0)
      AppendUtf8(out, kCp1252High[c - 0x80]);
    else
      AppendUtf8(out, c);
  }
  return out;
}

struct TKeyLine {
  std::string Key, Value;
};

// "key=value" split and trimmed; false for a line without "=".
bool SplitKeyLine(const std::string& ALine, TKeyLine& AOut) {
  const size_t eq = ALine.find('=');
  if (eq == std::string::npos) return false;
  AOut.Key = TrimBlanks(ALine.substr(0, eq));
  AOut.Value = TrimBlanks(ALine.substr(eq + 1));
  if (AOut.Value.size() >= 2 && (AOut.Value.front() == '"' || AOut.Value.front() == '\'') &&
      AOut.Value.back() == AOut.Value.front())
    AOut.Value = AOut.Value.substr(1, AOut.Value.size() - 2);
  return true;
}

// The section a "[name]" line opens; false for other lines.
bool SectionOf(const std::string& ALine, std::string& AName) {
  const std::string line = TrimBlanks(ALine);
  if (line.size() < 2 || line.front() != '[') return false;
  const size_t close = line.find(']');
  if (close == std::string::npos) return false;
  AName = TrimBlanks(line.substr(1, close - 1));
  return true;
}

bool IsComment(const std::string& ALine) {
  const std::string line = TrimBlanks(ALine);
  return !line.empty() && line.front() == ';';
}

// Index range [begin, end) of the first section named ASection's body;
// false when there is none.
bool FindSection(const std::vector<std::string>& ALines, const std::string& ASection,
                 size_t& ABegin, size_t& AEnd) {
  std::string name;
  for (size_t i = 0; i < ALines.size(); ++i) {
    if (!SectionOf(ALines[i], name) || !SameText(name, ASection)) continue;
    ABegin = i + 1;
    AEnd = ABegin;
    while (AEnd < ALines.size() && !SectionOf(ALines[AEnd], name))
      ++AEnd;
    return true;
  }
  return false;
}

bool FindKey(const std::vector<std::string>& ALines, size_t ABegin, size_t AEnd,
             const std::string& AKey, size_t& AAt, std::string& AValue) {
  TKeyLine kv;
  for (size_t i = ABegin; i < AEnd; ++i) {
    if (IsComment(ALines[i]) || !SplitKeyLine(ALines[i], kv)) continue;
    if (SameText(kv.Key, AKey)) {
      AAt = i;
      AValue = kv.Value;
      return true;
    }
  }
  return false;
}

bool Lookup(const std::string& AFileName, const std::string& ASection, const std::string& AKey,
            std::string& AValue) {
  const std::vector<std::string> lines = TIniFile::ReadLines(AFileName);
  size_t begin = 0, end = 0, at = 0;
  return FindSection(lines, ASection, begin, end) && FindKey(lines, begin, end, AKey, at, AValue);
}

// Writes AText beside AFileName and renames it over the file; the file keeps
// its permissions. False, with nothing changed, on any failure.
bool ReplaceFile(const std::string& AFileName, const std::string& AText) {
  std::string temp = AFileName + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat old {};
  mode_t mode = 0644;
  if (stat(AFileName.c_str(), &old) == 0)
    mode = old.st_mode & 07777;
  else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = fchmod(fd, mode) == 0;
  size_t done = 0;
  while (ok && done < AText.size()) {
    const ssize_t n = write(fd, AText.data() + done, AText.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok && rename(temp.c_str(), AFileName.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

uint32_t FoldLatin(uint32_t ACode) {
  if (ACode >= 'A' && ACode <= 'Z') return ACode + 32;
  if (ACode >= 0xC0 && ACode <= 0xDE && ACode != 0xD7) return ACode + 32;
  return ACode;
}

// Next code point of UTF-8 text; an invalid byte stands for itself.
uint32_t NextCode(const std::string& AText, size_t& AAt) {
  const auto c = static_cast<unsigned char>(AText[AAt]);
  if (c >= 0xC2 && c <= 0xDF && AAt + 1 < AText.size()) {
    const auto d = static_cast<unsigned char>(AText[AAt + 1]);
    if ((d & 0xC0) == 0x80) {
      AAt += 2;
      return ((c & 0x1F) << 6) | (d & 0x3F);
    }
  }
  ++AAt;
  return c;
}

} // namespace

std::string TrimBlanks(const std::string& AText) {
  size_t begin = 0, end = AText.size();
  while (begin < end && static_cast<unsigned char>(AText[begin]) <= ' ')
    ++begin;
  while (end > begin && static_cast<unsigned char>(AText[end - 1]) <= ' ')
    --end;
  return AText.substr(begin, end - begin);
}

bool SameText(const std::string& A, const std::string& B) {
  size_t i = 0, j = 0;
  while (i < A.size() && j < B.size())
    if (FoldLatin(NextCode(A, i)) != FoldLatin(NextCode(B, j))) return false;
  return i == A.size() && j == B.size();
}

bool TryStrToInt(const std::string& AText, int& AValue) {
  const std::string text = TrimBlanks(AText);
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  int base = 10;
  if (at < text.size() && text[at] == '$') {
    base = 16;
    ++at;
  } else if (at + 1 < text.size() && text[at] == '0' &&
             (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    base = 16;
    at += 2;
  }
  if (at >= text.size()) return false;
  long long value = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    value = value * base + digit;
    // Hexadecimal spans the whole 32 bits ("$FFFFFFFF" is -1).
    if (value > (base == 16 ? 0xFFFFFFFFLL : static_cast<long long>(INT_MAX) + 1)) return false;
  }
  if (base == 16 && !negative) {
    AValue = static_cast<int>(static_cast<uint32_t>(value));
    return true;
  }
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return false;
  AValue = static_cast<int>(value);
  return true;
}

std::vector<std::string> TIniFile::ReadLines(const std::string& AFileName) {
  std::ifstream in(AFileName, std::ios::binary);
  if (!in) return {};
  std::ostringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  if (!IsValidUtf8(text)) text = Cp1252ToUtf8(text);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string TIniFile::ReadString(const std::string& ASection, const std::string& AKey,
                                 const std::string& ADefault) const {
  std::string value;
  return Lookup(FFileName, ASection, AKey, value) ? value : ADefault;
}

int TIniFile::ReadInteger(const std::string& ASection, const std::string& AKey,
                          int ADefault) const {
  int value = 0;
  return TryStrToInt(ReadString(ASection, AKey, ""), value) ? value : ADefault;
}

bool TIniFile::ReadBool(const std::string& ASection, const std::string& AKey, bool ADefault) const {
  return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string& ASection) const {
  size_t begin = 0, end = 0;
  return FindSection(ReadLines(FFileName), ASection, begin, end);
}

bool TIniFile::ValueExists(const std::string& ASection, const std::string& AKey) const {
  std::string value;
  return Lookup(FFileName, ASection, AKey, value);
}

bool TIniFile::WriteString(const std::string& ASection, const std::string& AKey,
                           const std::string& AValue) {
  try {
    // A line break in a value would end up as a line of its own.
    std::string value = AValue;
    for (char& c : value)
      if (c == '\r' || c == '\n') c = ' ';
    std::vector<std::string> lines = ReadLines(FFileName);
    size_t begin = 0, end = 0, at = 0;
    std::string old;
    const std::string line = AKey + "=" + value;
    if (!FindSection(lines, ASection, begin, end)) {
      if (!lines.empty() && !TrimBlanks(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + ASection + "]");
      lines.push_back(line);
    } else if (FindKey(lines, begin, end, AKey, at, old)) {
      lines[at] = line;
    } else {
      // After the section's last non-blank line, so a blank separator stays.
      size_t insert = end;
      while (insert > begin && TrimBlanks(lines[insert - 1]).empty())
        --insert;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert), line);
    }
    std::string text;
    for (const std::string& l : lines)
      text += l + "\n";
    return ReplaceFile(FFileName, text);
  } catch (...) {
    return false;
  }
}

bool TIniFile::WriteInteger(const std::string& ASection, const std::string& AKey, int AValue) {
  return WriteString(ASection, AKey, std::to_string(AValue));
}

bool TIniFile::WriteBool(const std::string& ASection, const std::string& AKey, bool AValue) {
  return WriteString(ASection, AKey, AValue ? "1" : "0");
}
