// The name of a recording's file: the output folder from the settings, the
// base name, then "_(new)" or the first free "_(new_n)". The name is taken by
// creating the file exclusively, so neither another program nor a second
// recorder writing into the same folder can be overwritten.
#pragma once

#include "IniFile.h"

#include <functional>
#include <string>

// Shown when the stored folder cannot be created (the text of the message).
using TFolderWarning = std::function<void(const std::string& AText)>;

// Creates (with its parents) AFolder; true when it exists afterwards.
bool ForceDirectories(const std::string& AFolder);

// The full path of a new, empty file created for this recording. The folder
// is "OutPutDir" of the settings (ADefaultFolder when missing); a folder that
// cannot be created is reported through AWarn and replaced by ADefaultFolder,
// which is then stored. Empty when no file can be created at all.
std::string MakeOutputFileName(TIniFile& AIni, const std::string& ABase,
                               const std::string& AExtension, const std::string& ADefaultFolder,
                               const TFolderWarning& AWarn);
