// The main-thread queue on the Qt event loop (see QtMainThread.h).
#include "QtMainThread.h"

#include "MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>

void InstallQtMainThread() {
  TMainThread::SetMainThread();
  TMainThread::SetWaker([] {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(
          app, [] { TMainThread::Process(); }, Qt::QueuedConnection);
  });
}

void RemoveQtMainThread() {
  TMainThread::SetWaker(nullptr);
}
