// The application's settings holder: its name, version, addresses and the
// settings file's path, reached by every part of the application through
// GlobalObject(). Also where the settings file and the videos live.
#pragma once

#include <memory>
#include <string>

class TGlobalObject {
public:
  const std::string& HelpURL() const { return FHelpURL; }
  void SetHelpURL(const std::string& AValue) {
    if (!AValue.empty()) FHelpURL = AValue;
  }
  const std::string& IniFileName() const { return FIniFileName; }
  void SetIniFileName(const std::string& AValue) {
    if (AValue.size() > 3) FIniFileName = AValue;
  }
  const std::string& AppName() const { return FAppName; }
  void SetAppName(const std::string& AValue) {
    if (!AValue.empty()) FAppName = AValue;
  }
  const std::string& HomePage() const { return FHomePage; }
  void SetHomePage(const std::string& AValue) {
    if (!AValue.empty()) FHomePage = AValue;
  }
  const std::string& Version() const { return FVersion; }
  void SetVersion(const std::string& AValue) {
    if (!AValue.empty()) FVersion = AValue;
  }
  const std::string& ShareURL() const { return FShareURL; }
  void SetShareURL(const std::string& AValue) {
    if (!AValue.empty()) FShareURL = AValue;
  }

  // The last AN characters of AText, or all of it when shorter.
  static std::string RightText(const std::string& AText, size_t AN);
  // " major.minor" + release + build + " " of the program ("1.7.0.10" gives " 1.7010 ").
  static std::string GetFileVersionText();
  static std::string FormatVersionText(int AMajor, int AMinor, int ARelease, int ABuild);

private:
  std::string FHelpURL, FIniFileName, FAppName, FHomePage, FVersion, FShareURL;
};

// The one instance while the main window lives (null before and after).
TGlobalObject* GlobalObject();
void SetGlobalObject(std::unique_ptr<TGlobalObject> AObject);

// "vexmora.ini" beside the program when AProgramFolder is writable, else in
// $XDG_CONFIG_HOME/vexmora/ (~/.config/vexmora/), which is created.
std::string SettingsFileName(const std::string& AProgramFolder);
// The user's videos folder (XDG) + "/vexmora".
std::string DefaultVideoFolder();
