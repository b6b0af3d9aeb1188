// The dialog and region suites run in a Qt application on a private X
// server with a light window manager.
#include "QtSuiteMain.h"
#include "XDesk.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
  return RunQtSuite(argc, argv, "appdialogs", [&] {
    TWindowManager manager;
    std::string error;
    if (!manager.Start(error)) {
      std::cerr << error << "\n";
      return 1;
    }
    int result = 0;
    {
      QApplication application(argc, argv);
      QApplication::setApplicationDisplayName(QStringLiteral("Vexmora"));
      result = RUN_ALL_TESTS();
    }
    manager.Stop();
    return result;
  });
}
