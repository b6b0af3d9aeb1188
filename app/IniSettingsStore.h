// The dialogs' settings store over the settings file: every read and every
// write opens the file anew, so nothing is cached and each change is on
// disk the moment it is made.
#pragma once

#include "IniFile.h"
#include "SettingsStore.h"

class TIniSettingsStore : public TSettingsStore {
public:
  explicit TIniSettingsStore(std::string AFileName) : FFileName(std::move(AFileName)) {}

  std::string ReadString(const std::string& ASection, const std::string& AKey,
                         const std::string& ADefault) override {
    return TIniFile(FFileName).ReadString(ASection, AKey, ADefault);
  }
  void WriteString(const std::string& ASection, const std::string& AKey,
                   const std::string& AValue) override {
    TIniFile(FFileName).WriteString(ASection, AKey, AValue);
  }

private:
  std::string FFileName;
};
