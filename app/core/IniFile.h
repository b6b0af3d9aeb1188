// The settings file class: a profile file read and written the way the
// recorder's settings always were. Sections and keys match without regard
// to case and the first match wins; values are trimmed and lose one pair of
// enclosing quotes; nothing is cached, so every call reads (or rewrites) the
// file; lines the class does not understand are kept. A write goes to a
// temporary file that then replaces the old one, so a failure leaves the old
// file whole; writes report failure by their result and never throw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TIniFile {
public:
  explicit TIniFile(std::string AFileName) : FFileName(std::move(AFileName)) {}

  const std::string& FileName() const { return FFileName; }

  // The value, or ADefault when the section or the key is missing. A key
  // that is present with an empty value reads as the empty text.
  std::string ReadString(const std::string& ASection, const std::string& AKey,
                         const std::string& ADefault) const;
  // Decimal, "$" + hex or "0x" + hex; anything else reads as ADefault.
  int ReadInteger(const std::string& ASection, const std::string& AKey, int ADefault) const;
  // Any non-zero integer is true.
  bool ReadBool(const std::string& ASection, const std::string& AKey, bool ADefault) const;
  bool SectionExists(const std::string& ASection) const;
  bool ValueExists(const std::string& ASection, const std::string& AKey) const;

  // False when the file cannot be written; the old file is then unchanged.
  bool WriteString(const std::string& ASection, const std::string& AKey, const std::string& AValue);
  bool WriteInteger(const std::string& ASection, const std::string& AKey, int AValue);
  // Stored as "1" or "0".
  bool WriteBool(const std::string& ASection, const std::string& AKey, bool AValue);

  // The file's lines as UTF-8: a file that is not valid UTF-8 is taken as
  // Windows-1252 text. A missing or unreadable file has no lines.
  static std::vector<std::string> ReadLines(const std::string& AFileName);

private:
  std::string FFileName;
};

// Integer text as the settings have always held it: optional sign, decimal,
// "$hex" or "0x hex"; false when the text is not wholly a number in range.
bool TryStrToInt(const std::string& AText, int& AValue);
// Equal without regard to case: ASCII and the Latin-1 letters (À..Þ and à..þ)
// fold, which covers the letters a settings key may hold.
bool SameText(const std::string& A, const std::string& B);
std::string TrimBlanks(const std::string& AText);
