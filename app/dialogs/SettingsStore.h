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

  // Typed values as profile files hold them: integers in decimal or with a
  // "$" or "0x" hexadecimal prefix (anything else reads as the default),
  // Booleans as "1" and "0" (any integer but 0 reads as true).
  int ReadInteger(const std::string& ASection, const std::string& AKey, int ADefault);
  void WriteInteger(const std::string& ASection, const std::string& AKey, int AValue);
  bool ReadBool(const std::string& ASection, const std::string& AKey, bool ADefault);
  void WriteBool(const std::string& ASection, const std::string& AKey, bool AValue);

  // Integer text as profile files hold it (decimal, "$" or "0x"
  // hexadecimal, an optional sign); false for anything else.
  static bool ParseInteger(const std::string& AText, int& AValue);
};
