// The shared drawing helpers of the skinned controls.
#include "SkinDraw.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr TColor NineSliceKey = 0xFF00FF;

// Rounds half to even, as the colour steps of the gradients always have.
int RoundEven(double AValue) {
  return static_cast<int>(std::nearbyint(AValue));
}

uint8_t Step(uint8_t AFrom, uint8_t ATo, int ASpan, int AIndex) {
  return static_cast<uint8_t>(AFrom +
                              RoundEven((ATo - AFrom) / static_cast<double>(ASpan) * AIndex));
}

TColor Blend(const TColorParts& AFrom, const TColorParts& ATo, int ASpan, int AIndex) {
  return MakeColor(Step(AFrom.Red, ATo.Red, ASpan, AIndex),
                   Step(AFrom.Green, ATo.Green, ASpan, AIndex),
                   Step(AFrom.Blue, ATo.Blue, ASpan, AIndex));
}

// Number of bytes of the UTF-8 sequence that starts with ALead.
size_t SequenceLength(unsigned char ALead) {
  if (ALead >= 0xF0) return 4;
  if (ALead >= 0xE0) return 3;
  if (ALead >= 0xC0) return 2;
  return 1;
}

} // namespace

void CutFrame(const TBitmap& ASource, TBitmap& ADest, int AFrameCount, int AFrame) {
  if (AFrameCount <= 0) {
    ADest.SetSize(0, 0, 32);
    return;
  }
  const int fw = ASource.Width() / AFrameCount;
  const int h = ASource.Height();
  const int left = AFrame == AFrameCount ? ASource.Width() - fw : (AFrame - 1) * fw;
  TBitmap scratch(fw, h, 32);
  TSkinCanvas canvas(scratch);
  canvas.FillRect({0, 0, fw, h}, 0);
  canvas.DrawPart(0, 0, ASource, {left, 0, left + fw, h});
  ADest = scratch;
}

void DrawThreePartStrip(const TBitmap& ABitmap, TSkinCanvas& ACanvas, const TRect& ARect,
                        TColor AMaskColor, bool AMasked) {
  const int fw = ABitmap.Width() / 3;
  const int h = ABitmap.Height();
  const std::optional<TColor> key = AMasked ? std::optional<TColor>(AMaskColor) : std::nullopt;
  const int thirdLeft = ABitmap.Width() - fw;
  if (ARect.Width() < fw) {
    ACanvas.DrawPart(ARect.Left, ARect.Top, ABitmap, {0, 0, std::max(ARect.Width(), 0), h}, key);
    return;
  }
  ACanvas.DrawPart(ARect.Left, ARect.Top, ABitmap, {0, 0, fw, h}, key);
  ACanvas.DrawPart(ARect.Right - fw, ARect.Top, ABitmap, {thirdLeft, 0, thirdLeft + fw, h}, key);
  ACanvas.StretchDraw({ARect.Left + fw, ARect.Top, ARect.Right - fw, ARect.Top + h}, ABitmap,
                      {fw, 0, 2 * fw, h}, key);
}

void DrawNineSlice(const TBitmap& ABitmap, TSkinCanvas& ACanvas, const TRect& ARect,
                   bool ATransparent) {
  const int w = ABitmap.Width();
  const int h = ABitmap.Height();
  const int W = ARect.Right;
  const int H = ARect.Bottom;
  if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return;
  const std::optional<TColor> key =
      ATransparent ? std::optional<TColor>(NineSliceKey) : std::nullopt;
  const int hw = w / 2;
  const int hh = h / 2;
  // The stretched middle range; for an even size it is empty, and the first
  // column (row) of the far half stands in for it.
  const int mx0 = hw;
  const int mx1 = std::max(w - hw, hw + 1);
  const int my0 = hh;
  const int my1 = std::max(h - hh, hh + 1);
  // Corner blocks, cut to at most half the destination, keeping their outer edge.
  const int leftW = std::min(hw, W / 2);
  const int rightW = std::min(std::max(hw - 1, 0), W / 2);
  const int topH = std::min(hh, H / 2);
  const int bottomH = std::min(std::max(hh - 1, 0), H / 2);

  ACanvas.DrawPart(0, 0, ABitmap, {0, 0, leftW, topH}, key);
  ACanvas.DrawPart(W - rightW, 0, ABitmap, {w - rightW, 0, w, topH}, key);
  ACanvas.DrawPart(0, H - bottomH, ABitmap, {0, h - bottomH, leftW, h}, key);
  ACanvas.DrawPart(W - rightW, H - bottomH, ABitmap, {w - rightW, h - bottomH, w, h}, key);

  // Edges between the corners, then the centre.
  ACanvas.StretchDraw({leftW, 0, W - rightW, topH}, ABitmap, {mx0, 0, mx1, topH}, key);
  ACanvas.StretchDraw({leftW, H - bottomH, W - rightW, H}, ABitmap, {mx0, h - bottomH, mx1, h},
                      key);
  ACanvas.StretchDraw({0, topH, leftW, H - bottomH}, ABitmap, {0, my0, leftW, my1}, key);
  ACanvas.StretchDraw({W - rightW, topH, W, H - bottomH}, ABitmap, {w - rightW, my0, w, my1}, key);
  ACanvas.StretchDraw({leftW, topH, W - rightW, H - bottomH}, ABitmap, {mx0, my0, mx1, my1}, key);
}

void DrawVerticalGradient(TSkinCanvas& ACanvas, const TRect& ARect, TColor ATop, TColor ABottom) {
  const int span = ARect.Bottom - ARect.Top;
  if (span <= 0) return;
  const TColorParts from = SplitColor(ATop);
  const TColorParts to = SplitColor(ABottom);
  ACanvas.FillRect({ARect.Left, ARect.Top, ARect.Right, ARect.Top + 1}, ATop);
  for (int y = ARect.Top + 1; y <= ARect.Bottom - 2; ++y)
    ACanvas.FillRect({ARect.Left, y, ARect.Right, y + 1}, Blend(from, to, span, y - ARect.Top - 1));
  ACanvas.FillRect({ARect.Left, ARect.Bottom - 1, ARect.Right, ARect.Bottom}, ABottom);
}

void DrawHorizontalGradient(TSkinCanvas& ACanvas, const TRect& ARect, TColor ALeft, TColor ARight) {
  const int span = ARect.Right - ARect.Left;
  if (span <= 0) return;
  const TColorParts from = SplitColor(ALeft);
  const TColorParts to = SplitColor(ARight);
  ACanvas.FillRect({ARect.Left, ARect.Top, ARect.Left + 1, ARect.Bottom}, ALeft);
  for (int x = ARect.Left + 1; x <= ARect.Right - 2; ++x)
    ACanvas.FillRect({x, ARect.Top, x + 1, ARect.Bottom}, Blend(from, to, span, x - ARect.Left));
  ACanvas.FillRect({ARect.Right - 1, ARect.Top, ARect.Right, ARect.Bottom}, ARight);
}

std::vector<TRect> RegionFromBitmap(const TBitmap& ABitmap, TColor ATransparentColor) {
  std::vector<TRect> region;
  const uint32_t key = ColorToPixel(ATransparentColor);
  for (int y = 0; y < ABitmap.Height(); ++y) {
    int x = 0;
    while (x < ABitmap.Width()) {
      while (x < ABitmap.Width() && SameRGB(BitmapPixel(ABitmap, x, y), key))
        ++x;
      const int start = x;
      while (x < ABitmap.Width() && !SameRGB(BitmapPixel(ABitmap, x, y), key))
        ++x;
      if (x > start) region.push_back({start, y, x, y + 1});
    }
  }
  return region;
}

void PaintParentBackground(TSkinCanvas& ACanvas, const TControlParent* AParent) {
  if (!AParent) return;
  const TSkinCanvas::TState saved = ACanvas.SaveState();
  ACanvas.MoveOrigin(-AParent->ControlPos.X, -AParent->ControlPos.Y);
  ACanvas.IntersectClip(AParent->ParentClient);
  if (AParent->EraseBackground) AParent->EraseBackground(ACanvas);
  if (AParent->Paint) AParent->Paint(ACanvas);
  ACanvas.RestoreState(saved);
}

std::string EllipsisText(const TTextWidth& AMeasure, const std::string& AText, int AWidthLimit) {
  if (AMeasure(AText) <= AWidthLimit) return AText;
  std::string result = AText;
  size_t end = 0;
  while (true) {
    if (end >= AText.size()) return AText;
    end = std::min(AText.size(), end + SequenceLength(static_cast<unsigned char>(AText[end])));
    if (end >= AText.size()) return AText;
    result = AText.substr(0, end) + "...";
    if (AMeasure(result) >= AWidthLimit) return result;
  }
}
