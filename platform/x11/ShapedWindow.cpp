// The shaped topmost window (see ShapedWindow.h).
#include "ShapedWindow.h"

#include <xcb/shape.h>

bool TShapedWindow::Available(xcb_connection_t* AConnection) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(AConnection, &xcb_shape_id);
  return extension && extension->present;
}

int TShapedWindow::Create(TXConnection& AConnection, const TXRect& ABounds, uint32_t APixel,
                          const std::vector<xcb_rectangle_t>& AShape) {
  Destroy();
  xcb_connection_t* c = AConnection.Get();
  const xcb_window_t window = xcb_generate_id(c);
  const uint32_t values[] = {APixel, 1};
  int error = CheckRequest(
      c, xcb_create_window_checked(
             c, XCB_COPY_FROM_PARENT, window, AConnection.Root(), static_cast<int16_t>(ABounds.X),
             static_cast<int16_t>(ABounds.Y), static_cast<uint16_t>(ABounds.Width),
             static_cast<uint16_t>(ABounds.Height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
             XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values));
  if (error) return error;
  FConnection = &AConnection;
  FWindow = window;
  error = CheckRequest(c, xcb_shape_rectangles_checked(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                                                       XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
                                                       static_cast<uint32_t>(AShape.size()),
                                                       AShape.data()));
  if (!error) error = CheckRequest(c, xcb_map_window_checked(c, window));
  if (error) Destroy();
  return error;
}

void TShapedWindow::Destroy() {
  if (FWindow == XCB_WINDOW_NONE) return;
  xcb_destroy_window(FConnection->Get(), FWindow);
  FConnection->Flush();
  FWindow = XCB_WINDOW_NONE;
  FConnection = nullptr;
}

void TShapedWindow::SetColour(uint32_t APixel) {
  xcb_connection_t* c = FConnection->Get();
  xcb_change_window_attributes(c, FWindow, XCB_CW_BACK_PIXEL, &APixel);
  xcb_clear_area(c, 0, FWindow, 0, 0, 0, 0);
  FConnection->Flush();
}

void TShapedWindow::MoveAbove(int AX, int AY) {
  const uint32_t values[] = {static_cast<uint32_t>(AX), static_cast<uint32_t>(AY),
                             XCB_STACK_MODE_ABOVE};
  xcb_configure_window(FConnection->Get(), FWindow,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_STACK_MODE,
                       values);
  FConnection->Flush();
}

void TShapedWindow::Raise() {
  const uint32_t value = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(FConnection->Get(), FWindow, XCB_CONFIG_WINDOW_STACK_MODE, &value);
  FConnection->Flush();
}

void TShapedWindow::WatchVisibility() {
  const uint32_t mask = XCB_EVENT_MASK_VISIBILITY_CHANGE;
  xcb_change_window_attributes(FConnection->Get(), FWindow, XCB_CW_EVENT_MASK, &mask);
  FConnection->Flush();
}
