// The recorder's start and end (see RecorderStartup.h).
#include "RecorderStartup.h"

#include "GIFQtRegistration.h"
#include "QtMainThread.h"

TRecorderStartup::TRecorderStartup() {
  InstallQtMainThread();
  RegisterGIFQt();
}

TRecorderStartup::~TRecorderStartup() {
  UnregisterGIFQt();
  RemoveQtMainThread();
}
