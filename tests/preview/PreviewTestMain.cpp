// The preview suite runs in a Qt application on a private X server: a
// private runtime folder, Xvfb, then the application with the preview
// window registered.
#include "PreviewerForm.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strstr(argv[i], "--gtest_list_tests")) return RUN_ALL_TESTS();

  std::string runtime =
      (std::filesystem::temp_directory_path() / "vexmora-preview-XXXXXX").string();
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
  int result = 0;
  {
    QApplication application(argc, argv);
    RegisterPreviewWindow();
    result = RUN_ALL_TESTS();
    UnregisterPreviewWindow();
  }
  std::error_code ignored;
  std::filesystem::remove_all(runtime, ignored);
  return result;
}
