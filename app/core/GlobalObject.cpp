// The application's settings holder (see GlobalObject.h).
#include "GlobalObject.h"

#include "IniFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#ifndef VEXMORA_VERSION_MAJOR
#define VEXMORA_VERSION_MAJOR 0
#define VEXMORA_VERSION_MINOR 0
#define VEXMORA_VERSION_PATCH 0
#define VEXMORA_VERSION_TWEAK 0
#endif

namespace {
// The main window owns the holder's lifetime; the rest of the program reads it.
std::unique_ptr<TGlobalObject> GGlobalObject;

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/tmp";
}
} // namespace

TGlobalObject* GlobalObject() {
  return GGlobalObject.get();
}
void SetGlobalObject(std::unique_ptr<TGlobalObject> AObject) {
  GGlobalObject = std::move(AObject);
}

std::string TGlobalObject::RightText(const std::string& AText, size_t AN) {
  return AText.size() <= AN ? AText : AText.substr(AText.size() - AN);
}

std::string TGlobalObject::FormatVersionText(int AMajor, int AMinor, int ARelease, int ABuild) {
  std::string text(1, ' ');
  text += std::to_string(AMajor);
  text += '.';
  text += std::to_string(AMinor);
  text += std::to_string(ARelease);
  text += std::to_string(ABuild);
  text += ' ';
  return text;
}

std::string TGlobalObject::GetFileVersionText() {
  return FormatVersionText(VEXMORA_VERSION_MAJOR, VEXMORA_VERSION_MINOR + 0,
                           VEXMORA_VERSION_PATCH + 0, VEXMORA_VERSION_TWEAK + 0);
}

std::string SettingsFileName(const std::string& AProgramFolder) {
  std::string folder = AProgramFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  if (!folder.empty() && access(folder.c_str(), W_OK) == 0) return folder + "vexmora.ini";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base = config && *config == '/' ? config : HomeFolder() + "/.config";
  base += "/vexmora";
  std::error_code error;
  std::filesystem::create_directories(base, error);
  return base + "/vexmora.ini";
}

std::string DefaultVideoFolder() {
  // XDG_VIDEOS_DIR from user-dirs.dirs, "$HOME/..." expanded; ~/Videos without it.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string dirs =
      (config && *config == '/' ? std::string(config) : HomeFolder() + "/.config") +
      "/user-dirs.dirs";
  std::string videos = HomeFolder() + "/Videos";
  std::ifstream in(dirs);
  std::string line;
  while (std::getline(in, line)) {
    line = TrimBlanks(line);
    if (line.rfind("XDG_VIDEOS_DIR=", 0) != 0) continue;
    std::string value = line.substr(15);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = HomeFolder() + value.substr(5);
    if (!value.empty() && value.front() == '/') videos = value;
  }
  return videos + "/vexmora";
}
