// The screen side of the device: the X connection, the captured rectangle of
// the screen or of one window, its MIT-SHM segment and pixel format, and the
// grab of one frame into a packet with the cursor drawn in.
#pragma once

#include "Cursor.h"
#include "LibAV.h"
#include "ShmImage.h"
#include "WindowGeometry.h"
#include "XConnection.h"

#include <cstdint>

struct TScreenRequest {
  uint32_t Window = 0; // 0: the whole screen
  bool ClientArea = false;
  int OffsetX = 0, OffsetY = 0;
  int RequestedWidth = 0, RequestedHeight = 0; // 0: the source's size
  bool DrawCursor = false;
};

class TScreenSource {
public:
  explicit TScreenSource(AVFormatContext* AOwner) : FOwner(AOwner) {}

  // Opens the source; 0, or AVERROR(EIO) or AVERROR(EINVAL) with the
  // reason logged.
  int Open(const TScreenRequest& ARequest);
  // The screen-source's resources the device counts as drawing objects.
  int ResourceCount() const;

  // Grabs the rectangle into the shared segment; 0 or the X error code. Of
  // a rectangle that no longer lies wholly on the screen and in its window
  // (moved partly off the screen, shrunk, unmapped) it grabs what is left,
  // and the rest of the frame is black.
  int Grab();
  // Copies the grabbed frame into ADest (FrameBytes) and draws the cursor
  // when asked. AStopped: the device is closing, so cursor failures stay quiet.
  void CopyFrame(uint8_t* ADest, bool AStopped);
  // Where the captured window's origin stands on the screen ((0, 0) for the
  // whole screen); 0 or the X error code.
  int SourceOrigin(int& AX, int& AY);

  uint32_t Window() const { return FRequest.Window; }
  // What is grabbed: the root window, the captured window itself or the
  // frame around it.
  xcb_drawable_t Drawable() const { return FDrawable; }
  int OffsetX() const { return FRequest.OffsetX; }
  int OffsetY() const { return FRequest.OffsetY; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FLayout.BitsPerPixel; }
  int Stride() const { return FStride; }
  int FrameBytes() const { return FFrameBytes; }
  AVPixelFormat PixelFormat() const { return FPixelFormat; }
  bool DrawsCursor() const { return FDrawCursor; }

private:
  int OpenSource();
  int CheckRegion(int ASourceWidth, int ASourceHeight);
  int GrabVisiblePart();
  void DrawCursor(uint8_t* AFrame, bool AStopped);

  AVFormatContext* FOwner;
  TScreenRequest FRequest;
  TXConnection FConnection;
  xcb_drawable_t FDrawable = XCB_NONE;
  TXPixelLayout FLayout;
  int FWidth = 0, FHeight = 0, FStride = 0, FFrameBytes = 0;
  AVPixelFormat FPixelFormat = AV_PIX_FMT_NONE;
  TShmImage FImage;
  // The part of the frame the segment holds, in frame coordinates: all of
  // it, unless the last grab found the rectangle partly off the screen.
  TXRect FVisible;
  bool FDrawCursor = false; // cleared for good once the cursor cannot be drawn
  int FCursorInit = 0;
  TCursorImage FCursor;
};
