// What the dialogs read from and write to the settings file, without
// knowing the file: the application hands them an object that opens the
// file for each call (no caching), so that every change is on disk at once.
#pragma once

#include <string>

class TSettingsStore {
public:
  virtual ~TSettingsStore() = default;
  virtual std::string ReadString(const std::string& ASection, const std::string& AKey,
                                 const std::string& ADefault) = 0;
  virtual void WriteString(const std::string& ASection, const std::string& AKey,
                           const std::string& AValue) = 0;

  // Typed values as the settings file holds them (integers read by
  // TryStrToInt, anything else reads as the default; Booleans as "1" and
  // "0", any integer but 0 reads as true).
  int ReadInteger(const std::string& ASection, const std::string& AKey, int ADefault);
  void WriteInteger(const std::string& ASection, const std::string& AKey, int AValue);
  bool ReadBool(const std::string& ASection, const std::string& AKey, bool ADefault);
  void WriteBool(const std::string& ASection, const std::string& AKey, bool AValue);
};
