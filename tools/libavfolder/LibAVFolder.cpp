// The LibAV folder beside the program (see LibAVFolder.h).
#include "LibAVFolder.h"

#include "FFLoad.h"

#include <unistd.h>

std::string ProgramFolder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string exe(path, static_cast<size_t>(length));
  return exe.substr(0, exe.rfind('/'));
}

std::string LibAVFolder() {
  return ProgramFolder() + "/LibAV";
}

bool LoadLibAVBesideProgram(std::string& AError) {
  TFFLoader& loader = FFLoader();
  if (loader.LibsLoaded(loader.FullSet())) return true;
  loader.SetLibraryPath(LibAVFolder());
  if (loader.LoadLibs(loader.FullSet())) return true;
  AError = loader.GetLastErrMsg();
  return false;
}
