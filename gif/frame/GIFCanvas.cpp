// The codec's drawing surface (see GIFCanvas.h).
#include "GIFCanvas.h"

#include <algorithm>
#include <vector>

#include "GIFException.h"

namespace {

uint16_t Word(const uint8_t* ABytes) {
  return static_cast<uint16_t>(ABytes[0] | (ABytes[1] << 8));
}

uint8_t Expand5(unsigned AValue) {
  return static_cast<uint8_t>((AValue << 3) | (AValue >> 2));
}

uint8_t Expand6(unsigned AValue) {
  return static_cast<uint8_t>((AValue << 2) | (AValue >> 4));
}

bool MaskBit(const uint8_t* AMaskRow, int AX) {
  return (AMaskRow[AX >> 3] >> (7 - (AX & 7))) & 1;
}

} // namespace

TGIFRect IntersectRect(const TGIFRect& A, const TGIFRect& B) {
  TGIFRect result{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
                  std::min(A.Bottom, B.Bottom)};
  if (result.IsEmpty()) return {};
  return result;
}

uint32_t BitmapPixelBGR(const TBitmap& ABitmap, int AX, int AY) {
  return RowPixelBGR(ABitmap, ABitmap.ScanLine(AY), AX);
}

uint32_t RowPixelBGR(const TBitmap& ABitmap, const uint8_t* ARow, int AX) {
  const int bits = ABitmap.BitsPerPixel();
  if (bits <= 8) {
    const int perByte = 8 / bits;
    const int shift = 8 - bits * (AX % perByte + 1);
    const size_t index = static_cast<size_t>((ARow[AX / perByte] >> shift) & ((1 << bits) - 1));
    const std::vector<uint32_t>& table = ABitmap.Palette();
    return index < table.size() ? table[index] & 0xFFFFFF : 0;
  }
  switch (bits) {
  case 15: {
    const unsigned w = Word(ARow + 2 * AX);
    return Expand5(w & 31) | (Expand5((w >> 5) & 31) << 8) | (Expand5((w >> 10) & 31) << 16);
  }
  case 16: {
    const unsigned w = Word(ARow + 2 * AX);
    return Expand5(w & 31) | (Expand6((w >> 5) & 63) << 8) | (Expand5((w >> 11) & 31) << 16);
  }
  case 24: {
    const uint8_t* p = ARow + 3 * AX;
    return p[0] | (p[1] << 8) | (uint32_t{p[2]} << 16);
  }
  default: {
    const uint8_t* p = ARow + 4 * AX;
    return p[0] | (p[1] << 8) | (uint32_t{p[2]} << 16);
  }
  }
}

int MulDiv(int A, int B, int C) {
  if (C == 0) return A;
  const int64_t product = int64_t{A} * B;
  const int64_t half = (C > 0 ? C : -C) / 2;
  return static_cast<int>(product >= 0 ? (product + half) / C : (product - half) / C);
}

int NearestSourcePixel(int ATargetIndex, int ATargetSpan, int ASourceSpan) {
  return static_cast<int>((int64_t{2} * ATargetIndex + 1) * ASourceSpan /
                          (int64_t{2} * ATargetSpan));
}

TGIFCanvas::TGIFCanvas(TBitmap& ATarget)
    : FTarget(ATarget), FHandle(std::make_shared<const int>(0)) {
  if (ATarget.BitsPerPixel() != 24 && ATarget.BitsPerPixel() != 32)
    throw GIFException("Unsupported PixelFormat");
}

void TGIFCanvas::Blend(const TGIFRect& ADest, const TBitmap& ASource, const TGIFRect& ASourceRect,
                       const TBitmap* AMask) {
  if (ADest.IsEmpty() || ASourceRect.IsEmpty()) return;
  const TGIFRect visible = IntersectRect(ADest, ClipRect());
  if (visible.IsEmpty()) return;
  const int bytes = FTarget.BitsPerPixel() / 8;

  std::vector<int> columns(static_cast<size_t>(visible.Width()));
  for (int x = visible.Left; x < visible.Right; ++x)
    columns[static_cast<size_t>(x - visible.Left)] =
        ASourceRect.Left + NearestSourcePixel(x - ADest.Left, ADest.Width(), ASourceRect.Width());
  for (int y = visible.Top; y < visible.Bottom; ++y) {
    const int sy =
        ASourceRect.Top + NearestSourcePixel(y - ADest.Top, ADest.Height(), ASourceRect.Height());
    if (sy < 0 || sy >= ASource.Height()) continue;
    uint8_t* target = FTarget.ScanLine(y) + static_cast<size_t>(visible.Left) * bytes;
    const uint8_t* source = ASource.ScanLine(sy);
    const uint8_t* mask = AMask ? AMask->ScanLine(sy) : nullptr;
    for (int sx : columns) {
      if (sx >= 0 && sx < ASource.Width() && !(mask && MaskBit(mask, sx))) {
        const uint32_t pixel = RowPixelBGR(ASource, source, sx);
        target[0] = static_cast<uint8_t>(pixel);
        target[1] = static_cast<uint8_t>(pixel >> 8);
        target[2] = static_cast<uint8_t>(pixel >> 16);
        if (bytes == 4) target[3] = 0xFF;
      }
      target += bytes;
    }
  }
}

void TGIFCanvas::StretchDraw(const TGIFRect& ADest, const TBitmap& ASource, const TBitmap* AMask) {
  if (AMask && (AMask->Width() != ASource.Width() || AMask->Height() != ASource.Height() ||
                AMask->BitsPerPixel() != 1))
    AMask = nullptr;
  Blend(ADest, ASource, {0, 0, ASource.Width(), ASource.Height()}, AMask);
}

void TGIFCanvas::CopyRect(const TGIFRect& ADest, const TBitmap& ASource,
                          const TGIFRect& ASourceRect) {
  if (ASource.BitsPerPixel() == FTarget.BitsPerPixel() && ADest.Width() == ASourceRect.Width() &&
      ADest.Height() == ASourceRect.Height()) {
    // The same size and depth: whole pixels, the fourth byte included.
    // Row by row, each row's span that lies inside both bitmaps in one move:
    // the painters copy whole buffers for every frame.
    const int dx = ASourceRect.Left - ADest.Left;
    const int dy = ASourceRect.Top - ADest.Top;
    const TGIFRect visible = IntersectRect(IntersectRect(ADest, ClipRect()),
                                           {-dx, -dy, ASource.Width() - dx, ASource.Height() - dy});
    const size_t bytes = static_cast<size_t>(FTarget.BitsPerPixel() / 8);
    const size_t span = static_cast<size_t>(visible.Width()) * bytes;
    for (int y = visible.Top; y < visible.Bottom; ++y)
      std::copy_n(ASource.ScanLine(y + dy) + static_cast<size_t>(visible.Left + dx) * bytes, span,
                  FTarget.ScanLine(y) + static_cast<size_t>(visible.Left) * bytes);
    return;
  }
  Blend(ADest, ASource, ASourceRect, nullptr);
}

void TGIFCanvas::FillRect(const TGIFRect& ARect, TColor AColor) {
  const TGIFRect visible = IntersectRect(ARect, ClipRect());
  const int bytes = FTarget.BitsPerPixel() / 8;
  const uint8_t pixel[4] = {static_cast<uint8_t>(AColor >> 16), static_cast<uint8_t>(AColor >> 8),
                            static_cast<uint8_t>(AColor), 0xFF};
  for (int y = visible.Top; y < visible.Bottom; ++y) {
    uint8_t* target = FTarget.ScanLine(y) + static_cast<size_t>(visible.Left) * bytes;
    for (int x = visible.Left; x < visible.Right; ++x, target += bytes)
      std::copy_n(pixel, bytes, target);
  }
}

uint32_t TGIFCanvas::Pixel(int AX, int AY) const {
  if (AX < 0 || AY < 0 || AX >= FTarget.Width() || AY >= FTarget.Height()) return 0;
  return BitmapPixelBGR(FTarget, AX, AY);
}

void TGIFCanvas::Changed() {
  // A copy: the handler may free the canvas.
  std::function<void()> handler = OnChange;
  if (handler) handler();
}
