// Typed settings over the text store (see SettingsStore.h).
#include "SettingsStore.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

bool TSettingsStore::ParseInteger(const std::string& AText, int& AValue) {
  size_t at = 0;
  while (at < AText.size() && (AText[at] == ' ' || AText[at] == '\t'))
    ++at;
  bool negative = false;
  if (at < AText.size() && (AText[at] == '-' || AText[at] == '+')) negative = AText[at++] == '-';
  int base = 10;
  if (at < AText.size() && AText[at] == '$') {
    base = 16;
    ++at;
  } else if (at + 1 < AText.size() && AText[at] == '0' &&
             (AText[at + 1] == 'x' || AText[at + 1] == 'X')) {
    base = 16;
    at += 2;
  }
  if (at >= AText.size()) return false;
  long long value = 0;
  for (; at < AText.size(); ++at) {
    const char c = AText[at];
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
    // Hexadecimal texts may spell a negative number by its 32 bits.
    if (value > (base == 16 ? 0xffffffffLL : static_cast<long long>(INT_MAX) + 1)) return false;
  }
  if (base == 16 && value > INT_MAX) value -= 0x100000000LL;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return false;
  AValue = static_cast<int>(value);
  return true;
}

int TSettingsStore::ReadInteger(const std::string& ASection, const std::string& AKey,
                                int ADefault) {
  int value = 0;
  return ParseInteger(ReadString(ASection, AKey, ""), value) ? value : ADefault;
}

void TSettingsStore::WriteInteger(const std::string& ASection, const std::string& AKey,
                                  int AValue) {
  WriteString(ASection, AKey, std::to_string(AValue));
}

bool TSettingsStore::ReadBool(const std::string& ASection, const std::string& AKey, bool ADefault) {
  return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

void TSettingsStore::WriteBool(const std::string& ASection, const std::string& AKey, bool AValue) {
  WriteString(ASection, AKey, AValue ? "1" : "0");
}
