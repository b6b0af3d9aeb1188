// Where windows stand on the screen: a window's own area (its client area)
// or that of its top-level frame, in root coordinates.
#pragma once

#include <xcb/xcb.h>

struct TXRect {
  int X = 0, Y = 0, Width = 0, Height = 0;
};

// The child of the root that holds AWindow (the window manager's frame, or
// AWindow itself without one); XCB_WINDOW_NONE when AWindow does not exist.
xcb_window_t TopLevelOf(xcb_connection_t* AConnection, xcb_window_t ARoot, xcb_window_t AWindow);

// The rectangle of AWindow in root coordinates, its border excluded; 0 or the
// X error code (e.g. BadWindow for a window that is gone).
int WindowRect(xcb_connection_t* AConnection, xcb_window_t ARoot, xcb_window_t AWindow,
               TXRect& ARect);
// Whether AWindow and all its ancestors are mapped; 0 or the X error code.
int IsViewable(xcb_connection_t* AConnection, xcb_window_t AWindow, bool& AViewable);
