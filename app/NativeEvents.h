// The X events of Qt's own connection handed to the program's X layers
// (hotkey grabs, the hook clients' hidden windows) before Qt sees them.
#pragma once

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <functional>
#include <map>

class TNativeEvents : public QAbstractNativeEventFilter {
public:
  // A handler answers true when the event was its own.
  using THandler = std::function<bool(xcb_generic_event_t*)>;

  TNativeEvents();
  ~TNativeEvents() override;
  int Add(THandler AHandler);
  void Remove(int AId);
  bool nativeEventFilter(const QByteArray& AType, void* AMessage, qintptr* AResult) override;

  // Qt's xcb connection; null on another platform.
  static xcb_connection_t* Connection();
  // The instance of the running program (null when none).
  static TNativeEvents* Instance();

private:
  std::map<int, THandler> FHandlers;
  int FNext = 1;
};
