// A borderless window that stays above the others and shows only the
// rectangles of its shape, filled with its background colour. It is
// override-redirect, so no window manager frames, focuses or lists it.
#pragma once

#include "WindowGeometry.h"
#include "XConnection.h"

#include <vector>

class TShapedWindow {
public:
  TShapedWindow() = default;
  ~TShapedWindow() { Destroy(); }
  TShapedWindow(const TShapedWindow&) = delete;
  TShapedWindow& operator=(const TShapedWindow&) = delete;

  // Whether the server offers the shape extension.
  static bool Available(xcb_connection_t* AConnection);
  // Creates, shapes and maps the window on top; 0 or the X error code.
  int Create(TXConnection& AConnection, const TXRect& ABounds, uint32_t APixel,
             const std::vector<xcb_rectangle_t>& AShape);
  void Destroy();
  bool IsCreated() const { return FWindow != XCB_WINDOW_NONE; }
  xcb_window_t Id() const { return FWindow; }

  // These send without waiting; their errors are dropped by DiscardEvents.
  void SetColour(uint32_t APixel);
  void MoveAbove(int AX, int AY);
  void Raise();
  // Asks the server to say when the window's visible part changes
  // (VisibilityNotify events on the connection).
  void WatchVisibility();

private:
  TXConnection* FConnection = nullptr;
  xcb_window_t FWindow = XCB_WINDOW_NONE;
};
