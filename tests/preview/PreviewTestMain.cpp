// The preview suite runs in a Qt application on a private X server, with the
// preview window registered.
#include "PreviewerForm.h"
#include "QtSuiteMain.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  return RunQtSuite(argc, argv, "preview", [&] {
    QApplication application(argc, argv);
    RegisterPreviewWindow();
    const int result = RUN_ALL_TESTS();
    UnregisterPreviewWindow();
    return result;
  });
}
