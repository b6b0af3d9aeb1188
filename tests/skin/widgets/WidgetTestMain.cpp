// The skinned widgets' suites run in a Qt application on a private X server.
#include "QtSuiteMain.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  return RunQtSuite(argc, argv, "widgets", [&] {
    QApplication application(argc, argv);
    application.setApplicationName("Vexmora");
    return RUN_ALL_TESTS();
  });
}
