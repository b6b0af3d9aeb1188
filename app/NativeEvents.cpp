// The X events of Qt's own connection (see NativeEvents.h).
#include "NativeEvents.h"

#include <QGuiApplication>

namespace {
// The one filter the application installs.
TNativeEvents* GInstance = nullptr;
} // namespace

TNativeEvents::TNativeEvents() {
  GInstance = this;
  if (QCoreApplication::instance()) QCoreApplication::instance()->installNativeEventFilter(this);
}

TNativeEvents::~TNativeEvents() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
  if (GInstance == this) GInstance = nullptr;
}

TNativeEvents* TNativeEvents::Instance() {
  return GInstance;
}

int TNativeEvents::Add(THandler AHandler) {
  FHandlers[FNext] = std::move(AHandler);
  return FNext++;
}

void TNativeEvents::Remove(int AId) {
  FHandlers.erase(AId);
}

bool TNativeEvents::nativeEventFilter(const QByteArray& AType, void* AMessage, qintptr*) {
  if (AType != "xcb_generic_event_t") return false;
  auto* event = static_cast<xcb_generic_event_t*>(AMessage);
  // A handler may remove itself while it runs.
  const auto handlers = FHandlers;
  for (const auto& [id, handler] : handlers)
    if (handler(event)) return true;
  return false;
}

xcb_connection_t* TNativeEvents::Connection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}
