// Runs the outside programs the interop tests compare with (ImageMagick,
// ffmpeg, gifsicle, giflib's tools) in a private temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A temporary folder that is removed with everything in it.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  std::string Path(const std::string& AName) const { return FPath + "/" + AName; }

private:
  std::string FPath;
};

// The full path of a program found on PATH, or an empty string.
std::string FindProgram(const std::string& AName);
// Runs AArguments[0] with the arguments, its output thrown away; answers
// its exit status (-1 when it could not run or died by a signal).
int RunProgram(const std::vector<std::string>& AArguments);

// Runs AArguments[0] and collects its standard output (standard error is
// thrown away); answers its exit status as RunProgram does.
int RunProgramOutput(const std::vector<std::string>& AArguments, std::string& AOutput);

std::vector<uint8_t> ReadFileBytes(const std::string& AFileName);
void WriteFileBytes(const std::string& AFileName, const std::vector<uint8_t>& AData);
