// Typed settings over the text store (see SettingsStore.h).
#include "SettingsStore.h"

#include "IniFile.h"

int TSettingsStore::ReadInteger(const std::string& ASection, const std::string& AKey,
                                int ADefault) {
  int value = 0;
  return TryStrToInt(ReadString(ASection, AKey, ""), value) ? value : ADefault;
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
