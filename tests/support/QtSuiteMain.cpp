// The Qt suites' shared start (see QtSuiteMain.h).
#include "QtSuiteMain.h"

#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

int RunQtSuite(int& argc, char** argv, const std::string& ASuite,
               const std::function<int()>& ARun) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strstr(argv[i], "--gtest_list_tests")) return RUN_ALL_TESTS();

  std::string runtime =
      (std::filesystem::temp_directory_path() / ("vexmora-" + ASuite + "-XXXXXX")).string();
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
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  const int result = ARun();
  std::error_code ignored;
  std::filesystem::remove_all(runtime, ignored);
  return result;
}
