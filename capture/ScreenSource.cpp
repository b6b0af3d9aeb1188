// The screen side of the device (see ScreenSource.h).
#include "ScreenSource.h"

#include "CaptureDevice.h"
#include "WindowGeometry.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace {

// A band of warm-up: about this many bytes a step, so that one step fits
// well in the idle time between two frames.
constexpr int kBandBytes = 1 << 19;
constexpr int kSteadyBuffers = 2;

// The frame format of an X pixel layout; AV_PIX_FMT_NONE when unsupported.
AVPixelFormat PixelFormatOf(const TXPixelLayout& ALayout) {
  if (!ALayout.LsbFirst) return AV_PIX_FMT_NONE;
  switch (ALayout.BitsPerPixel) {
  case 8:
    return AV_PIX_FMT_PAL8;
  case 16:
    return ALayout.Depth == 15 ? AV_PIX_FMT_RGB555LE : AV_PIX_FMT_RGB565LE;
  case 24:
    return AV_PIX_FMT_BGR24;
  case 32:
    // B, G, R and an unused byte, which is 255 as well: readers of raw
    // 32-bit video take it for alpha, and a frame must not come out clear.
    return AV_PIX_FMT_BGR0;
  default:
    return AV_PIX_FMT_NONE;
  }
}

constexpr uint32_t kOpaque = 0xff000000u;

void SetOpaque(uint8_t* AFrom, size_t ABytes) {
  auto* pixels = reinterpret_cast<uint32_t*>(AFrom);
  for (size_t i = 0, count = ABytes / 4; i < count; ++i)
    pixels[i] |= kOpaque;
}

} // namespace

TScreenSource::~TScreenSource() {
  FWarming = nullptr; // taken from the pool, which destroys it
  FPool.Close([this](TShmFrameBuffer& ABuffer) { EndServerSide(ABuffer); });
  FRender.Close();
}

int TScreenSource::Open(const TScreenRequest& ARequest) {
  FRequest = ARequest;
  FDrawCursor = ARequest.DrawCursor;
  if (const int error = OpenSource()) return error;

  FLayout = FConnection.RootLayout();
  if (FWidth <= 0 || FHeight <= 0 || FLayout.BitsPerPixel % 8 != 0) {
    AV.av_log(FOwner, AV_LOG_ERROR, "Invalid properties, aborting.\n");
    return AVERROR(EIO);
  }
  if (!TShmImage::Available(FConnection.Get())) {
    AV.av_log(FOwner, AV_LOG_ERROR, "The X server offers no MIT-SHM, aborting.\n");
    return AVERROR(EIO);
  }
  FStride = FLayout.Stride(FWidth);
  FFrameBytes = FStride * FHeight;
  FPixelFormat = PixelFormatOf(FLayout);
  FOpaque = FPixelFormat == AV_PIX_FMT_BGR0;
  // As many frames as the queue may hold, the grab under way, and about as
  // many again for the reader to hold: frames it decodes or converts,
  // filters that keep a few, a muxer that interleaves copied packets.
  FPool.SetBound(std::clamp(2 * ARequest.QueuedFrames + 2, 2, kMaxFrameBuffers));
  if (CanComposite()) FRender.Open(FConnection.Get(), FConnection.Root(), FConnection.RootVisual());

  // The first buffer is ready before the first frame: the server's first
  // write into fresh memory is many times slower than the later ones.
  std::unique_ptr<TShmFrameBuffer> first;
  std::string step;
  if (const int error = NewBuffer(first, step)) {
    AV.av_log(FOwner, AV_LOG_ERROR, "CreateCompatibleBitmap() error %li\n",
              static_cast<long>(error));
    return AVERROR(EIO);
  }
  Warm(*first, FHeight);
  FPool.PutBack(FPool.Add(std::move(first)));
  AV.av_log(FOwner, AV_LOG_DEBUG,
            "Using Bitmap type %li, size %lix%lix%i, %i planes of width %li bytes\n", 0L,
            static_cast<long>(FWidth), static_cast<long>(FHeight), FLayout.BitsPerPixel, 1,
            static_cast<long>(FStride));
  if (FPixelFormat == AV_PIX_FMT_NONE) {
    AV.av_log(FOwner, AV_LOG_ERROR, "image depth %i not supported ... aborting\n",
              FLayout.BitsPerPixel);
    return AVERROR(EIO);
  }
  AV.av_log(FOwner, AV_LOG_DEBUG, "Frames %s into up to %d shared buffers\n",
            FRender.IsOpen() ? "composited opaque by the X server" : "grabbed", FPool.Bound());
  if (FDrawCursor) FCursorInit = InitCursorImages(FConnection.Get());
  return 0;
}

int TScreenSource::OpenSource() {
  if (const int error = FConnection.Open()) {
    AV.av_log(FOwner, AV_LOG_ERROR,
              "Could not get window DC: GetDC() or GetWindowDC() error %li.\n",
              static_cast<long>(error));
    return AVERROR(EIO);
  }
  xcb_connection_t* c = FConnection.Get();
  const xcb_window_t root = FConnection.Root();
  int sourceWidth = FConnection.ScreenWidth(), sourceHeight = FConnection.ScreenHeight();
  FDrawable = root;
  if (FRequest.Window != 0) {
    // The client area is the window itself; the whole window is the frame a
    // window manager put around it (the window itself without one).
    const xcb_window_t window =
        FRequest.ClientArea ? FRequest.Window : TopLevelOf(c, root, FRequest.Window);
    TXRect rect;
    const int error = window == XCB_WINDOW_NONE ? XCB_WINDOW : WindowRect(c, root, window, rect);
    if (error) {
      AV.av_log(FOwner, AV_LOG_ERROR,
                "Could not get window DC: GetDC() or GetWindowDC() error %li.\n",
                static_cast<long>(error));
      return AVERROR(EIO);
    }
    FDrawable = window;
    sourceWidth = rect.Width;
    sourceHeight = rect.Height;
  }
  return CheckRegion(sourceWidth, sourceHeight);
}

int TScreenSource::CheckRegion(int ASourceWidth, int ASourceHeight) {
  // An X grab cannot reach past its drawable, so a region that starts
  // outside it is refused and one that runs past its edge is clamped.
  if (FRequest.OffsetX < 0 || FRequest.OffsetY < 0 || FRequest.OffsetX >= ASourceWidth ||
      FRequest.OffsetY >= ASourceHeight) {
    AV.av_log(FOwner, AV_LOG_ERROR, "Capture offset %d,%d lies outside the %dx%d source.\n",
              FRequest.OffsetX, FRequest.OffsetY, ASourceWidth, ASourceHeight);
    return AVERROR(EINVAL);
  }
  FWidth = FRequest.RequestedWidth > 0 ? FRequest.RequestedWidth : ASourceWidth;
  FHeight = FRequest.RequestedHeight > 0 ? FRequest.RequestedHeight : ASourceHeight;
  if (FWidth > ASourceWidth - FRequest.OffsetX) FWidth = ASourceWidth - FRequest.OffsetX;
  if (FHeight > ASourceHeight - FRequest.OffsetY) FHeight = ASourceHeight - FRequest.OffsetY;
  return 0;
}

bool TScreenSource::CanComposite() const {
  // The server's composite gives B, G, R, A in rows of width x 4 bytes; a
  // window is grabbed directly instead, where X itself tells when it is
  // partly off the screen.
  return FDrawable == FConnection.Root() && FOpaque && FLayout.RedMask == 0xff0000 &&
         FLayout.GreenMask == 0xff00 && FLayout.BlueMask == 0xff && FStride == FWidth * 4;
}

int TScreenSource::ResourceCount() const {
  return FPool.Counts().Total;
}

int TScreenSource::NewBuffer(std::unique_ptr<TShmFrameBuffer>& ABuffer, std::string& AStep) {
  const int64_t began = CaptureClock();
  auto buffer = std::make_unique<TShmFrameBuffer>();
  // Packets carry zeroed padding after their data; the server never writes there.
  if (const int error = buffer->Image.Create(
          FConnection.Get(), static_cast<size_t>(FFrameBytes) + AV_INPUT_BUFFER_PADDING_SIZE,
          AStep))
    return error;
  if (FRender.IsOpen() && FRender.CreateTarget(buffer->Image, FWidth, FHeight, buffer->Target)) {
    // The server has the extension but will not draw into shared memory:
    // plain grabs do the work.
    FRender.Close();
    AV.av_log(FOwner, AV_LOG_DEBUG, "No shared 32-bit pixmaps; frames are grabbed\n");
  }
  ABuffer = std::move(buffer);
  FNewBufferTime = CaptureClock() - began;
  return 0;
}

int TScreenSource::BandRows() const {
  return std::clamp(kBandBytes / std::max(FStride, 1), 1, FConnection.ScreenHeight());
}

void TScreenSource::Warm(TShmFrameBuffer& ABuffer, int ARows) {
  // Any picture will do: the point is that the server has touched every
  // page once. The root is always there, and within it a band of the
  // screen's width at most.
  const int width = std::min(FWidth, FConnection.ScreenWidth());
  while (ARows > 0 && ABuffer.WarmRows < FHeight) {
    const int rows = std::min({ARows, FHeight - ABuffer.WarmRows, FConnection.ScreenHeight()});
    const int64_t began = CaptureClock();
    const size_t offset = static_cast<size_t>(ABuffer.WarmRows) * static_cast<size_t>(FStride);
    // Both sides at once: the server's by a grab into it, and meanwhile
    // our mapping in one call.
    const auto grab = ABuffer.Image.StartGrab(FConnection.Root(), 0, 0, width, rows,
                                              static_cast<uint32_t>(offset));
    FConnection.Flush();
    ABuffer.Image.Populate(offset, static_cast<size_t>(rows) * static_cast<size_t>(FStride));
    ABuffer.Image.FinishGrab(grab);
    FWarmRowTime = std::max<int64_t>((CaptureClock() - began) / rows, 1);
    ABuffer.WarmRows += rows;
    ARows -= rows;
  }
}

void TScreenSource::EndServerSide(TShmFrameBuffer& ABuffer) {
  FRender.FreeTarget(ABuffer.Target);
  ABuffer.Image.Detach();
}

bool TScreenSource::HasSpareWork() const {
  // A steady recording needs two: one for the grab under way and one for
  // the frame the reader holds. More are made only when the reader falls
  // behind.
  const TShmFramePool::TCounts counts = FPool.Counts();
  return FWarming || (FPool.CanGrow() &&
                      (counts.Total < kSteadyBuffers || (counts.Free == 0 && counts.Out >= 2)));
}

void TScreenSource::PrepareSpare() {
  if (!FWarming) {
    if (!FPool.CanGrow()) return;
    std::unique_ptr<TShmFrameBuffer> buffer;
    std::string step;
    if (const int error = NewBuffer(buffer, step)) {
      // The system has no more segments to give: make do with those there are.
      FPool.SetBound(FPool.Counts().Total);
      AV.av_log(FOwner, AV_LOG_WARNING, "No more frame buffers: %s error %d\n", step.c_str(),
                error);
      return;
    }
    FWarming = FPool.Add(std::move(buffer));
  }
  Warm(*FWarming, BandRows());
  if (FWarming->WarmRows >= FHeight) FPool.PutBack(std::exchange(FWarming, nullptr));
}

TShmFrameBuffer* TScreenSource::AcquireBuffer(int64_t ADeadline) {
  if (TShmFrameBuffer* buffer = FPool.TakeFree()) return buffer;
  // The reader may be about to let go of one.
  while (FPool.WaitForFree(ADeadline))
    if (TShmFrameBuffer* buffer = FPool.TakeFree()) return buffer;
  if (FPool.IsInterrupted()) return nullptr;
  // Not ready yet: this grab writes the rest of it the first time.
  if (FWarming) return std::exchange(FWarming, nullptr);
  if (!FPool.CanGrow()) return nullptr;
  std::unique_ptr<TShmFrameBuffer> buffer;
  std::string step;
  if (const int error = NewBuffer(buffer, step)) {
    FPool.SetBound(FPool.Counts().Total);
    AV.av_log(FOwner, AV_LOG_WARNING, "No more frame buffers: %s error %d\n", step.c_str(), error);
    return nullptr;
  }
  return FPool.Add(std::move(buffer));
}

TScreenSource::TGrab TScreenSource::StartGrab(TShmFrameBuffer& ABuffer) {
  TGrab grab;
  grab.Buffer = &ABuffer;
  if (FRender.IsOpen())
    grab.Render =
        FRender.StartGrab(ABuffer.Target, FRequest.OffsetX, FRequest.OffsetY, FWidth, FHeight);
  else
    grab.Image =
        ABuffer.Image.StartGrab(FDrawable, FRequest.OffsetX, FRequest.OffsetY, FWidth, FHeight);
  // The cursor as it stands while the server grabs.
  grab.AsksCursor = FDrawCursor && !FCursorInit;
  if (grab.AsksCursor) grab.Cursor = StartCursorImage(FConnection.Get());
  FConnection.Flush();
  return grab;
}

int TScreenSource::FinishGrab(TGrab& AGrab, bool AStopped, bool& AGrabbed) {
  AGrabbed = true;
  TShmFrameBuffer& buffer = *AGrab.Buffer;
  uint8_t* frame = buffer.Image.Data();
  int error = 0;
  if (FRender.IsOpen()) {
    error = FRender.FinishGrab(AGrab.Render);
  } else {
    error = buffer.Image.FinishGrab(AGrab.Image);
    if (error == 0 && FOpaque) SetOpaque(frame, static_cast<size_t>(FFrameBytes));
    // X answers BadMatch for a rectangle that is not wholly on the screen
    // and within its window; a window that is dragged over the edge must
    // not end the recording.
    if (error == XCB_MATCH) error = GrabVisiblePart(frame, buffer, AGrabbed);
  }
  if (error || !AGrabbed) {
    if (AGrab.AsksCursor) xcb_discard_reply(FConnection.Get(), AGrab.Cursor.sequence);
    return error;
  }
  buffer.WarmRows = FHeight;
  if (FDrawCursor)
    DrawCursor(AGrab, frame, AStopped);
  else if (AGrab.AsksCursor)
    xcb_discard_reply(FConnection.Get(), AGrab.Cursor.sequence);
  return 0;
}

int TScreenSource::GrabVisiblePart(uint8_t* AFrame, TShmFrameBuffer& ABuffer, bool& AGrabbed) {
  xcb_connection_t* c = FConnection.Get();
  const xcb_window_t root = FConnection.Root();
  TXRect screen, source;
  bool viewable = false;
  // A window that is gone fails here, and so ends the capture.
  if (const int error = WindowRect(c, root, root, screen)) return error;
  if (const int error = WindowRect(c, root, FDrawable, source)) return error;
  if (const int error = IsViewable(c, FDrawable, viewable)) return error;
  // The captured rectangle in the drawable's coordinates, cut to the
  // drawable and to the screen.
  const int left = std::max({FRequest.OffsetX, 0, screen.X - source.X});
  const int top = std::max({FRequest.OffsetY, 0, screen.Y - source.Y});
  const int right =
      std::min({FRequest.OffsetX + FWidth, source.Width, screen.X + screen.Width - source.X});
  const int bottom =
      std::min({FRequest.OffsetY + FHeight, source.Height, screen.Y + screen.Height - source.Y});
  if (!viewable || right <= left || bottom <= top) {
    FillBlack(AFrame, static_cast<size_t>(FFrameBytes));
    return 0;
  }
  const int error = ABuffer.Image.Grab(FDrawable, left, top, right - left, bottom - top);
  // Moved again since its geometry was read: no frame this time, and the
  // gap in the time stamps repeats the last one.
  if (error == XCB_MATCH) {
    AGrabbed = false;
    return 0;
  }
  if (error == 0)
    PlaceVisiblePart(AFrame,
                     {left - FRequest.OffsetX, top - FRequest.OffsetY, right - left, bottom - top});
  return error;
}

void TScreenSource::PlaceVisiblePart(uint8_t* AFrame, const TXRect& AVisible) {
  const int bytesPerPixel = FLayout.BitsPerPixel / 8;
  const size_t sourceStride = static_cast<size_t>(FLayout.Stride(AVisible.Width));
  const size_t rowBytes = static_cast<size_t>(AVisible.Width) * bytesPerPixel;
  const size_t left = static_cast<size_t>(AVisible.X) * bytesPerPixel;
  const size_t stride = static_cast<size_t>(FStride);
  // Every row moves to a place at or after its own, so from the last row
  // and the last pixel back nothing is overwritten before it is moved.
  for (int y = AVisible.Height - 1; y >= 0; --y) {
    const uint8_t* from = AFrame + static_cast<size_t>(y) * sourceStride;
    uint8_t* to = AFrame + static_cast<size_t>(AVisible.Y + y) * stride + left;
    if (FOpaque) {
      const auto* fromPixels = reinterpret_cast<const uint32_t*>(from);
      auto* toPixels = reinterpret_cast<uint32_t*>(to);
      for (int x = AVisible.Width - 1; x >= 0; --x)
        toPixels[x] = fromPixels[x] | kOpaque;
    } else {
      std::memmove(to, from, rowBytes);
    }
  }
  // What lies off the screen is black.
  const size_t frameRowBytes = static_cast<size_t>(FWidth) * bytesPerPixel;
  FillBlack(AFrame, static_cast<size_t>(AVisible.Y) * stride);
  for (int y = AVisible.Y; y < AVisible.Y + AVisible.Height; ++y) {
    uint8_t* row = AFrame + static_cast<size_t>(y) * stride;
    FillBlack(row, left);
    FillBlack(row + left + rowBytes, frameRowBytes - left - rowBytes);
  }
  const size_t below = static_cast<size_t>(AVisible.Y + AVisible.Height) * stride;
  FillBlack(AFrame + below, static_cast<size_t>(FFrameBytes) - below);
}

void TScreenSource::FillBlack(uint8_t* AFrom, size_t ABytes) const {
  if (FOpaque) {
    auto* pixels = reinterpret_cast<uint32_t*>(AFrom);
    std::fill(pixels, pixels + ABytes / 4, kOpaque);
  } else {
    std::memset(AFrom, 0, ABytes);
  }
}

int TScreenSource::SourceOrigin(int& AX, int& AY) {
  AX = AY = 0;
  if (FDrawable == FConnection.Root()) return 0;
  TXRect rect;
  const int error = WindowRect(FConnection.Get(), FConnection.Root(), FDrawable, rect);
  if (!error) {
    AX = rect.X;
    AY = rect.Y;
  }
  return error;
}

void TScreenSource::DrawCursor(TGrab& AGrab, uint8_t* AFrame, bool AStopped) {
  // Not asked: XFixes is missing.
  int error =
      AGrab.AsksCursor ? FinishCursorImage(FConnection.Get(), AGrab.Cursor, FCursor) : FCursorInit;
  if (error) {
    FDrawCursor = false;
    AV.av_log(FOwner, AV_LOG_ERROR, "Couldn not get cursor info: GetCursorInfo() error %li\n",
              static_cast<long>(error));
    return;
  }
  int originX = 0, originY = 0;
  if ((error = SourceOrigin(originX, originY))) {
    FDrawCursor = false;
    if (!AStopped)
      AV.av_log(FOwner, AV_LOG_ERROR,
                "Could not draw icon: GetClientRect() or GetWindowRect() error %li\n",
                static_cast<long>(error));
    return;
  }
  const int bytesPerPixel = FLayout.BitsPerPixel / 8;
  if (bytesPerPixel != 3 && bytesPerPixel != 4) {
    // Blending needs 8 bits a channel; deeper palettes and 16-bit screens
    // keep their frames without the cursor.
    FDrawCursor = false;
    if (!AStopped)
      AV.av_log(FOwner, AV_LOG_ERROR, "Could not draw icon: DrawIcon() error %li\n", -1L);
    return;
  }
  BlendCursor(FCursor, AFrame, FStride, FWidth, FHeight, bytesPerPixel, originX + FRequest.OffsetX,
              originY + FRequest.OffsetY);
}
