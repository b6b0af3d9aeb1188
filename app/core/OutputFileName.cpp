// The name of a recording's file (see OutputFileName.h).
#include "OutputFileName.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

bool ForceDirectories(const std::string& AFolder) {
  if (AFolder.empty()) return false;
  std::error_code error;
  fs::create_directories(AFolder, error);
  return fs::is_directory(AFolder, error);
}

namespace {

// 1: created, 0: the name is taken, -1: nothing can be created there.
int CreateExclusively(const std::string& AName) {
  const int fd = open(AName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    close(fd);
    return 1;
  }
  return errno == EEXIST ? 0 : -1;
}

} // namespace

std::string MakeOutputFileName(TIniFile& AIni, const std::string& ABase,
                               const std::string& AExtension, const std::string& ADefaultFolder,
                               const TFolderWarning& AWarn) {
  std::string folder = AIni.ReadString("settings", "OutPutDir", ADefaultFolder);
  if (!ForceDirectories(folder)) {
    if (AWarn)
      AWarn("Cannot create output directory:" + folder + ".It will create default directory " +
            ADefaultFolder + "!");
    folder = ADefaultFolder;
    ForceDirectories(folder);
    AIni.WriteString("settings", "OutPutDir", folder);
  }
  if (folder.empty() || folder.back() != '/') folder += '/';
  std::string name = ABase.substr(ABase.find_last_of('/') + 1);
  if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
    name.erase(dot);
  const std::string stem = folder + name;
  std::string candidate = stem + "_(new)" + AExtension;
  for (int n = 1;; ++n) {
    const int made = CreateExclusively(candidate);
    if (made > 0) return candidate;
    if (made < 0 || n > 100000) return "";
    candidate = stem + "_(new_" + std::to_string(n) + ")" + AExtension;
  }
}
