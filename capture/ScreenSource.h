// The screen side of the device: the X connection, the captured rectangle of
// the screen or of one window, its pixel format, and the pool of
// shared-memory frame buffers that each frame is grabbed into (with the
// cursor drawn in) and handed on from, without a copy.
#pragma once

#include "Cursor.h"
#include "ShmFramePool.h"
#include "LibAV.h"
#include "RenderGrab.h"
#include "WindowGeometry.h"
#include "XConnection.h"

#include <algorithm>
#include <cstdint>

struct TScreenRequest {
  uint32_t Window = 0; // 0: the whole screen
  bool ClientArea = false;
  int OffsetX = 0, OffsetY = 0;
  int RequestedWidth = 0, RequestedHeight = 0; // 0: the source's size
  bool DrawCursor = false;
  // The frames the queue may hold (its drop test's limit).
  int QueuedFrames = 1;
};

class TScreenSource {
public:
  // Shared-memory segments are few (a few thousand in the whole system).
  static constexpr int kMaxFrameBuffers = 64;

  explicit TScreenSource(AVFormatContext* AOwner) : FOwner(AOwner) {}
  ~TScreenSource();
  TScreenSource(const TScreenSource&) = delete;
  TScreenSource& operator=(const TScreenSource&) = delete;

  // Opens the source and makes its first frame buffer, which the server has
  // already written once, so that the first grab is as quick as the later
  // ones; 0, or AVERROR(EIO) or AVERROR(EINVAL) with the reason logged.
  int Open(const TScreenRequest& ARequest);
  // The screen-source's resources the device counts as drawing objects.
  int ResourceCount() const;

  // The grab thread's side.
  // A buffer for the next frame: a free one, else one that comes back
  // before ADeadline, else a new one while the bound allows. Null when
  // every buffer is in use, or the wait was interrupted.
  TShmFrameBuffer* AcquireBuffer(int64_t ADeadline);
  // Ends a wait in AcquireBuffer at once, now and from now on.
  void Interrupt() { FPool.Interrupt(); }
  // Whether a buffer is being made ready ahead of need: the bound allows
  // one more, and there is only one, or none is free while the reader holds
  // more than the last frame (it falls behind).
  bool HasSpareWork() const;
  // About how long one step of that work takes, in microseconds.
  int64_t SpareStepTime() const { return std::max(FWarmRowTime * BandRows(), FNewBufferTime); }
  // One step of making the spare buffer ready (a band of its rows written
  // once by the server); when it is ready it joins the free ones.
  void PrepareSpare();
  // A grab sent to the server, with the cursor's image asked for in the
  // same moment when it is drawn in.
  struct TGrab {
    TShmFrameBuffer* Buffer = nullptr;
    xcb_shm_get_image_cookie_t Image{};
    TRenderGrab::TCookie Render{};
    bool AsksCursor = false;
    xcb_xfixes_get_cursor_image_cookie_t Cursor{};
  };
  // Sends the grab of the rectangle into ABuffer; it is done once
  // FinishGrab has waited for it. No other request of this source may come
  // between the two but the warm-up of spare buffers.
  TGrab StartGrab(TShmFrameBuffer& ABuffer);
  // Waits for AGrab and draws the cursor in when asked; 0 or the X error
  // code. Of a rectangle that no longer lies wholly on the screen and in
  // its window (moved partly off the screen, shrunk, unmapped) it grabs
  // what is left, and the rest of the frame is black. AGrabbed comes back
  // false when there is no frame this time (the window moved while the
  // grab looked for it). AStopped: the device is closing, so cursor
  // failures stay quiet.
  int FinishGrab(TGrab& AGrab, bool AStopped, bool& AGrabbed);
  // ABuffer as the reference-counted buffer of a packet of FrameBytes();
  // null without memory (the buffer is then back in the pool).
  AVBufferRef* HandOut(TShmFrameBuffer* ABuffer) { return FPool.HandOut(ABuffer, FFrameBytes); }
  void PutBack(TShmFrameBuffer* ABuffer) { FPool.PutBack(ABuffer); }
  TShmFramePool::TCounts PoolCounts() const { return FPool.Counts(); }
  int PoolBound() const { return FPool.Bound(); }
  // Whether the server sets the frames' fourth byte itself.
  bool Composites() const { return FRender.IsOpen(); }

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
  bool CanComposite() const;
  // A new buffer, not written by the server yet; 0 or an error code with
  // AStep naming what failed.
  int NewBuffer(std::unique_ptr<TShmFrameBuffer>& ABuffer, std::string& AStep);
  // Has the server write up to ARows more rows of ABuffer once.
  void Warm(TShmFrameBuffer& ABuffer, int ARows);
  int BandRows() const;
  void EndServerSide(TShmFrameBuffer& ABuffer);
  int GrabVisiblePart(uint8_t* AFrame, TShmFrameBuffer& ABuffer, bool& AGrabbed);
  // Moves the visible part, which the server wrote at the start of the
  // frame in rows of its own width, to where it belongs, and blackens the rest.
  void PlaceVisiblePart(uint8_t* AFrame, const TXRect& AVisible);
  void FillBlack(uint8_t* AFrom, size_t ABytes) const;
  void DrawCursor(TGrab& AGrab, uint8_t* AFrame, bool AStopped);

  AVFormatContext* FOwner;
  TScreenRequest FRequest;
  TXConnection FConnection; // first: the rest use it until they are gone
  xcb_drawable_t FDrawable = XCB_NONE;
  TXPixelLayout FLayout;
  int FWidth = 0, FHeight = 0, FStride = 0, FFrameBytes = 0;
  AVPixelFormat FPixelFormat = AV_PIX_FMT_NONE;
  bool FOpaque = false; // the fourth byte of each pixel must be 255
  TRenderGrab FRender;  // open when the server composites the frames
  TShmFramePool FPool;
  TShmFrameBuffer* FWarming = nullptr; // the spare being made ready, taken from the pool
  int64_t FWarmRowTime = 0;         // microseconds a fresh row takes to warm up
  int64_t FNewBufferTime = 0;       // microseconds a new buffer takes to make
  bool FDrawCursor = false;         // cleared for good once the cursor cannot be drawn
  int FCursorInit = 0;
  TCursorImage FCursor;
};
