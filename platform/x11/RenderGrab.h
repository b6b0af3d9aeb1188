// Grabs through the X rendering extension into shared-memory pixmaps of 32
// bits with an alpha channel: the server copies the pixels of a 24-bit
// window and sets each pixel's fourth byte to 255 in the same pass, so the
// frames are opaque without a second pass over them in this process.
#pragma once

#include "ShmImage.h"

#include <xcb/render.h>
#include <xcb/xcb.h>

// A pixmap over a segment's memory and the picture that draws into it.
struct TRenderTarget {
  xcb_pixmap_t Pixmap = XCB_NONE;
  xcb_render_picture_t Picture = XCB_NONE;
};

class TRenderGrab {
public:
  TRenderGrab() = default;
  ~TRenderGrab() { Close(); }
  TRenderGrab(const TRenderGrab&) = delete;
  TRenderGrab& operator=(const TRenderGrab&) = delete;

  // Prepares grabs from ASource, a window of the screen's own visual whose
  // pixels are B, G, R and a spare byte; false when the server lacks what
  // it takes (the rendering extension, shared pixmaps, a 32-bit format with
  // alpha), and the caller grabs otherwise.
  bool Open(xcb_connection_t* AConnection, xcb_window_t ASource, xcb_visualid_t AVisual);
  void Close();
  bool IsOpen() const { return FSource != XCB_NONE; }

  // The target over AImage's memory, AWidth x AHeight pixels in rows of
  // AWidth x 4 bytes; 0 or the X error code.
  int CreateTarget(const TShmImage& AImage, int AWidth, int AHeight, TRenderTarget& ATarget);
  void FreeTarget(TRenderTarget& ATarget);
  // A grab sent to the server and not waited for yet.
  struct TCookie {
    xcb_void_cookie_t Composite{};
    xcb_get_input_focus_cookie_t Sync{}; // its reply tells the composite is done
  };
  // Copies the rectangle of the source at (AX, AY) into the target's
  // top-left corner. What lies outside the source comes out transparent.
  // The request goes out with the caller's flush (or the wait that
  // FinishGrab makes); the wait for the server comes when the result is
  // needed.
  TCookie StartGrab(const TRenderTarget& ATarget, int AX, int AY, int AWidth, int AHeight);
  // Waits until the server has done the grab; 0 or the X error code.
  int FinishGrab(TCookie ACookie);

private:
  xcb_connection_t* FConnection = nullptr;
  xcb_render_picture_t FSource = XCB_NONE;
  xcb_window_t FScreenWindow = XCB_NONE; // names the screen of the targets
  xcb_render_pictformat_t FTargetFormat = XCB_NONE;
};
