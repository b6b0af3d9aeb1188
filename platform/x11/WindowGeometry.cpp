// Window geometry (see WindowGeometry.h).
#include "WindowGeometry.h"

#include "XConnection.h"

xcb_window_t TopLevelOf(xcb_connection_t* AConnection, xcb_window_t ARoot, xcb_window_t AWindow) {
  xcb_window_t current = AWindow;
  for (;;) {
    TXPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(AConnection, xcb_query_tree(AConnection, current), nullptr));
    if (!tree) return XCB_WINDOW_NONE;
    if (tree->parent == ARoot || tree->parent == XCB_WINDOW_NONE) return current;
    current = tree->parent;
  }
}

int WindowRect(xcb_connection_t* AConnection, xcb_window_t ARoot, xcb_window_t AWindow,
               TXRect& ARect) {
  xcb_generic_error_t* rawError = nullptr;
  TXPtr<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(AConnection, xcb_get_geometry(AConnection, AWindow), &rawError));
  TXPtr<xcb_generic_error_t> error(rawError);
  if (!geometry) return error ? error->error_code : -1;
  TXPtr<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
      AConnection, xcb_translate_coordinates(AConnection, AWindow, ARoot, 0, 0), &rawError));
  error.reset(rawError);
  if (!origin) return error ? error->error_code : -1;
  ARect = {origin->dst_x, origin->dst_y, geometry->width, geometry->height};
  return 0;
}

int IsViewable(xcb_connection_t* AConnection, xcb_window_t AWindow, bool& AViewable) {
  xcb_generic_error_t* rawError = nullptr;
  TXPtr<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
      AConnection, xcb_get_window_attributes(AConnection, AWindow), &rawError));
  TXPtr<xcb_generic_error_t> error(rawError);
  if (!attributes) return error ? error->error_code : -1;
  AViewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
  return 0;
}
