// The pointer's image through XFixes, and its blending into grabbed frames.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdint>
#include <vector>

struct TCursorImage {
  int X = 0, Y = 0;       // the pointer on the screen
  int HotX = 0, HotY = 0; // the hot spot within the image
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels; // premultiplied ARGB, rows top first
};

// Negotiates XFixes on the connection (needed once before the image is
// asked for); 0, or -1 when the server lacks XFixes, or the X error code.
int InitCursorImages(xcb_connection_t* AConnection);
// Asks for the current cursor image, so that the question can go out with
// a grab and the answer be read with its result.
xcb_xfixes_get_cursor_image_cookie_t StartCursorImage(xcb_connection_t* AConnection);
// The image asked for; 0 or the X error code.
int FinishCursorImage(xcb_connection_t* AConnection, xcb_xfixes_get_cursor_image_cookie_t ACookie,
                      TCursorImage& AImage);

// Blends the cursor over a frame of B,G,R(,X) pixels (ABytesPerPixel 3 or 4)
// whose top-left pixel stands at (AFrameX, AFrameY) of the screen; the parts
// outside the frame are clipped.
void BlendCursor(const TCursorImage& AImage, uint8_t* AFrame, int AStride, int AWidth, int AHeight,
                 int ABytesPerPixel, int AFrameX, int AFrameY);
