// The recorder: the main window on Qt 6 Widgets, running until it closes.
#include "MainForm.h"
#include "RecorderStartup.h"

#include <QApplication>

#include <filesystem>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setApplicationName("Vexmora");
  const TRecorderStartup startup;
  int result = 0;
  {
    const std::string folder = QCoreApplication::applicationDirPath().toStdString();
    TfrmMain frmMain(folder);
    frmMain.show();
    result = application.exec();
  }
  return result;
}
