// Registering the codec in a Qt program.
#include "GIFQtRegistration.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include "GIFRegistration.h"

void RegisterGIFQt() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  RegisterGIFImage(screen ? screen->depth() : 24, 1);
  // The plugin lies in imageformats/ beside the program. Of two plugins for
  // one format Qt takes the one found first, and Qt's default path lists the
  // program's folder after its own: it is moved to the front.
  const QString folder = QCoreApplication::applicationDirPath();
  QStringList paths = QCoreApplication::libraryPaths();
  paths.removeAll(folder);
  paths.prepend(folder);
  QCoreApplication::setLibraryPaths(paths);
}

void UnregisterGIFQt() {
  QCoreApplication::removeLibraryPath(QCoreApplication::applicationDirPath());
  UnregisterGIFImage();
}
