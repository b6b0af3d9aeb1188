// The dialog and region suites run in a Qt application on a private X
// server with a light window manager: a private runtime folder, Xvfb,
// openbox, then the application.
#include "XDesk.h"
#include "XvfbServer.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strstr(argv[i], "--gtest_list_tests")) return RUN_ALL_TESTS();

  std::string runtime =
      (std::filesystem::temp_directory_path() / "vexmora-appdialogs-XXXXXX").string();
  if (!mkdtemp(runtime.data())) {
    std::cerr << "cannot make a runtime folder\n";
    return 1;
  }
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  std::string error;
  if (!ProgramXvfb(error)) {
    std::cerr << "no X server: " << error << "\n";
    return 1;
  }
  TWindowManager manager;
  if (!manager.Start(error)) {
    std::cerr << error << "\n";
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  int result = 0;
  {
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Vexmora"));
    result = RUN_ALL_TESTS();
  }
  manager.Stop();
  std::error_code ignored;
  std::filesystem::remove_all(runtime, ignored);
  return result;
}
