// Loads the real FFmpeg libraries for a test (see LibAVForTests.h).
#include "LibAVForTests.h"

#include "FFLoad.h"

#include <gtest/gtest.h>
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

void LoadLibAVForTest() {
  TFFLoader& loader = FFLoader();
  if (loader.LibsLoaded(loader.FullSet())) return;
  loader.SetLibraryPath(LibAVFolder());
  ASSERT_TRUE(loader.LoadLibs(loader.FullSet())) << loader.GetLastErrMsg();
}
