// The recorder's window suites run in a Qt application on a private X
// server, with a private home (settings, videos) and the sound tests' ALSA
// configuration; the main-thread queue runs on Qt's loop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include <QApplication>

#include "AlsaTestConfig.h"
#include "HookClients.h"
#include "LibAVForTests.h"
#include "RecorderStartup.h"
#include "XvfbServer.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strstr(argv[i], "--gtest_list_tests")) return RUN_ALL_TESTS();

  std::string home = (std::filesystem::temp_directory_path() / "vexmora-apphome-XXXXXX").string();
  if (!mkdtemp(home.data())) {
    std::cerr << "cannot make a home folder\n";
    return 1;
  }
  const std::string runtime = home + "/run";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  InstallAlsaTestConfig();
  std::string error;
  if (!ProgramXvfb(error)) {
    std::cerr << "no X server: " << error << "\n";
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  int result = 0;
  {
    QApplication application(argc, argv);
    const TRecorderStartup startup;
    // A message box would wait for a user who is not there.
    SetHookMessageProc([](const std::string& ACaption, const std::string& AText) {
      std::cerr << "hook client: " << ACaption << ": " << AText << "\n";
    });
    result = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return result;
}
