// Clipped drawing on a 32-bit bitmap.
#include "SkinCanvas.h"

#include "SkinColor.h"

#include <algorithm>
#include <cstring>

uint32_t BitmapPixel(const TBitmap& ABitmap, int AX, int AY) {
  if (AX < 0 || AY < 0 || AX >= ABitmap.Width() || AY >= ABitmap.Height()) return 0;
  const uint8_t* row = ABitmap.ScanLine(AY);
  switch (ABitmap.BitsPerPixel()) {
  case 32: {
    uint32_t value;
    std::memcpy(&value, row + 4 * AX, 4);
    return value;
  }
  case 24:
    return PackPixel(row[3 * AX + 2], row[3 * AX + 1], row[3 * AX]);
  case 8: {
    const auto& palette = ABitmap.Palette();
    return row[AX] < palette.size() ? palette[row[AX]] : 0;
  }
  default:
    return 0;
  }
}

TSkinCanvas::TSkinCanvas(TBitmap& ATarget)
    : FTarget(ATarget), FClip{0, 0, ATarget.Width(), ATarget.Height()} {
  if (ATarget.BitsPerPixel() != 32) FClip = {};
}

void TSkinCanvas::MoveOrigin(int AX, int AY) {
  FOrigin.X += AX;
  FOrigin.Y += AY;
}

void TSkinCanvas::IntersectClip(const TRect& ARect) {
  FClip.Left = std::max(FClip.Left, ARect.Left + FOrigin.X);
  FClip.Top = std::max(FClip.Top, ARect.Top + FOrigin.Y);
  FClip.Right = std::min(FClip.Right, ARect.Right + FOrigin.X);
  FClip.Bottom = std::min(FClip.Bottom, ARect.Bottom + FOrigin.Y);
  if (FClip.Right < FClip.Left) FClip.Right = FClip.Left;
  if (FClip.Bottom < FClip.Top) FClip.Bottom = FClip.Top;
}

void TSkinCanvas::PutPixel(int ATargetX, int ATargetY, uint32_t APixel) {
  if (ATargetX < FClip.Left || ATargetX >= FClip.Right || ATargetY < FClip.Top ||
      ATargetY >= FClip.Bottom)
    return;
  std::memcpy(FTarget.ScanLine(ATargetY) + 4 * ATargetX, &APixel, 4);
}

void TSkinCanvas::FillRect(const TRect& ARect, TColor AColor) {
  const uint32_t pixel = ColorToPixel(AColor);
  const int left = std::max(ARect.Left + FOrigin.X, FClip.Left);
  const int right = std::min(ARect.Right + FOrigin.X, FClip.Right);
  const int top = std::max(ARect.Top + FOrigin.Y, FClip.Top);
  const int bottom = std::min(ARect.Bottom + FOrigin.Y, FClip.Bottom);
  for (int y = top; y < bottom; ++y) {
    auto* row = FTarget.ScanLine(y);
    for (int x = left; x < right; ++x)
      std::memcpy(row + 4 * x, &pixel, 4);
  }
}

void TSkinCanvas::SetPixel(int AX, int AY, TColor AColor) {
  PutPixel(AX + FOrigin.X, AY + FOrigin.Y, ColorToPixel(AColor));
}

TColor TSkinCanvas::Pixel(int AX, int AY) const {
  return PixelToColor(BitmapPixel(FTarget, AX + FOrigin.X, AY + FOrigin.Y));
}

void TSkinCanvas::Draw(int AX, int AY, const TBitmap& ASource, std::optional<TColor> ATransparent) {
  DrawPart(AX, AY, ASource, {0, 0, ASource.Width(), ASource.Height()}, ATransparent);
}

void TSkinCanvas::DrawPart(int AX, int AY, const TBitmap& ASource, const TRect& ASourceRect,
                           std::optional<TColor> ATransparent) {
  StretchDraw({AX, AY, AX + ASourceRect.Width(), AY + ASourceRect.Height()}, ASource, ASourceRect,
              ATransparent);
}

void TSkinCanvas::StretchDraw(const TRect& ADest, const TBitmap& ASource, const TRect& ASourceRect,
                              std::optional<TColor> ATransparent) {
  const int dw = ADest.Width();
  const int dh = ADest.Height();
  const int sw = ASourceRect.Width();
  const int sh = ASourceRect.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const uint32_t key = ATransparent ? ColorToPixel(*ATransparent) : 0;
  for (int y = 0; y < dh; ++y) {
    const int ty = ADest.Top + y + FOrigin.Y;
    if (ty < FClip.Top || ty >= FClip.Bottom) continue;
    const int sy = ASourceRect.Top + static_cast<int>(int64_t{y} * sh / dh);
    for (int x = 0; x < dw; ++x) {
      const int tx = ADest.Left + x + FOrigin.X;
      if (tx < FClip.Left || tx >= FClip.Right) continue;
      const int sx = ASourceRect.Left + static_cast<int>(int64_t{x} * sw / dw);
      if (sx < 0 || sy < 0 || sx >= ASource.Width() || sy >= ASource.Height()) continue;
      const uint32_t pixel = BitmapPixel(ASource, sx, sy);
      if (ATransparent && SameRGB(pixel, key)) continue;
      PutPixel(tx, ty, pixel | 0xFF000000u);
    }
  }
}
