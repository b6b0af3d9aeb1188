// The screen side of the device (see ScreenSource.h).
#include "ScreenSource.h"

#include "WindowGeometry.h"

#include <algorithm>
#include <cstring>

namespace {

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
    // B, G, R and an unused byte: the copy sets that byte to 255 as well, so
    // that no reader takes the frame for a transparent one.
    return AV_PIX_FMT_BGR0;
  default:
    return AV_PIX_FMT_NONE;
  }
}

} // namespace

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
  FVisible = {0, 0, FWidth, FHeight};
  std::string step;
  if (const int error = FImage.Create(FConnection.Get(), static_cast<size_t>(FFrameBytes), step)) {
    AV.av_log(FOwner, AV_LOG_ERROR, "CreateCompatibleBitmap() error %li\n",
              static_cast<long>(error));
    return AVERROR(EIO);
  }
  AV.av_log(FOwner, AV_LOG_DEBUG,
            "Using Bitmap type %li, size %lix%lix%i, %i planes of width %li bytes\n", 0L,
            static_cast<long>(FWidth), static_cast<long>(FHeight), FLayout.BitsPerPixel, 1,
            static_cast<long>(FStride));
  FPixelFormat = PixelFormatOf(FLayout);
  if (FPixelFormat == AV_PIX_FMT_NONE) {
    AV.av_log(FOwner, AV_LOG_ERROR, "image depth %i not supported ... aborting\n",
              FLayout.BitsPerPixel);
    return AVERROR(EIO);
  }
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

int TScreenSource::ResourceCount() const {
  return FImage.IsCreated() ? 1 : 0;
}

int TScreenSource::Grab() {
  const int error = FImage.Grab(FDrawable, FRequest.OffsetX, FRequest.OffsetY, FWidth, FHeight);
  if (error == 0) FVisible = {0, 0, FWidth, FHeight};
  // X answers BadMatch for a rectangle that is not wholly on the screen and
  // within its window; a window that is dragged over the edge must not end
  // the recording.
  return error == XCB_MATCH ? GrabVisiblePart() : error;
}

int TScreenSource::GrabVisiblePart() {
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
    FVisible = {};
    return 0;
  }
  const int error = FImage.Grab(FDrawable, left, top, right - left, bottom - top);
  // Moved again since its geometry was read: the frame repeats the last one.
  if (error == XCB_MATCH) return 0;
  if (error == 0)
    FVisible = {left - FRequest.OffsetX, top - FRequest.OffsetY, right - left, bottom - top};
  return error;
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

void TScreenSource::CopyFrame(uint8_t* ADest, bool AStopped) {
  const bool opaque = FPixelFormat == AV_PIX_FMT_BGR0;
  // What lies off the screen is black.
  if (FVisible.Width != FWidth || FVisible.Height != FHeight) {
    if (opaque) {
      auto* to = reinterpret_cast<uint32_t*>(ADest);
      std::fill(to, to + static_cast<size_t>(FFrameBytes) / 4, 0xff000000u);
    } else {
      std::memset(ADest, 0, static_cast<size_t>(FFrameBytes));
    }
  }
  const int bytesPerPixel = FLayout.BitsPerPixel / 8;
  // The segment holds the visible part alone (the whole frame but after a
  // partial grab), in rows of its own width.
  const int sourceStride = FLayout.Stride(FVisible.Width);
  const size_t rowBytes = static_cast<size_t>(FVisible.Width) * bytesPerPixel;
  for (int y = 0; y < FVisible.Height; ++y) {
    const uint8_t* from = FImage.Data() + static_cast<size_t>(y) * sourceStride;
    uint8_t* to = ADest + static_cast<size_t>(FVisible.Y + y) * FStride +
                  static_cast<size_t>(FVisible.X) * bytesPerPixel;
    if (opaque) {
      const auto* fromPixels = reinterpret_cast<const uint32_t*>(from);
      auto* toPixels = reinterpret_cast<uint32_t*>(to);
      for (int x = 0; x < FVisible.Width; ++x)
        toPixels[x] = fromPixels[x] | 0xff000000u;
    } else {
      std::memcpy(to, from, rowBytes);
    }
  }
  if (FDrawCursor) DrawCursor(ADest, AStopped);
}

void TScreenSource::DrawCursor(uint8_t* AFrame, bool AStopped) {
  int error = FCursorInit ? FCursorInit : GetCursorImage(FConnection.Get(), FCursor);
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
