// The Qt-side suites run in a Qt application on a private X server, so that
// the clipboard is the X server's, with the codec registered.
#include "GIFQtRegistration.h"
#include "QtSuiteMain.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
  return RunQtSuite(argc, argv, "gifqt", [&] {
    QGuiApplication application(argc, argv);
    RegisterGIFQt();
    const int result = RUN_ALL_TESTS();
    UnregisterGIFQt();
    return result;
  });
}
