// The drawing and geometry helpers that every skinned control shares:
// frames cut from picture strips, three-part strips, nine slices, gradients,
// a region from a picture's colour key, a parent's background under a
// control, text shortened with "...", and points in rectangles.
#pragma once

#include "Bitmap.h"
#include "SkinCanvas.h"
#include "SkinColor.h"
#include "SkinTypes.h"

#include <functional>
#include <string>
#include <vector>

// ADest becomes frame AFrame (from 1) of a strip of AFrameCount equal frames
// laid side by side; the last frame is aligned to the strip's right edge.
void CutFrame(const TBitmap& ASource, TBitmap& ADest, int AFrameCount, int AFrame);

// A strip of three equal frames across a rectangle: left end, stretched
// middle, right end.
void DrawThreePartStrip(const TBitmap& ABitmap, TSkinCanvas& ACanvas, const TRect& ARect,
                        TColor AMaskColor, bool AMasked);

// The picture over (0, 0)-(right, bottom) of the rectangle, its corners kept
// at their size and its edges and centre stretched; with ATransparent the
// colour 0xFF00FF is left out.
void DrawNineSlice(const TBitmap& ABitmap, TSkinCanvas& ACanvas, const TRect& ARect,
                   bool ATransparent);

void DrawVerticalGradient(TSkinCanvas& ACanvas, const TRect& ARect, TColor ATop, TColor ABottom);
void DrawHorizontalGradient(TSkinCanvas& ACanvas, const TRect& ARect, TColor ALeft, TColor ARight);

// The pixels of a bitmap other than the transparent colour, as one-row
// rectangles: each maximal run of a row is one rectangle.
std::vector<TRect> RegionFromBitmap(const TBitmap& ABitmap, TColor ATransparentColor);

// How a control's parent paints itself: where the control sits in the parent,
// the parent's client area, and its background and contents painters.
struct TControlParent {
  TPoint ControlPos;
  TRect ParentClient;
  std::function<void(TSkinCanvas&)> EraseBackground;
  std::function<void(TSkinCanvas&)> Paint;
};

// Paints the parent's background and contents under the control into the
// control's canvas; nothing without a parent.
void PaintParentBackground(TSkinCanvas& ACanvas, const TControlParent* AParent);

// Measures a text in pixels with the font of the canvas it will be drawn on.
using TTextWidth = std::function<int(const std::string&)>;

// The text, or when it is wider than the limit, its first prefix that with
// "..." reaches the limit. Characters are UTF-8 code points.
std::string EllipsisText(const TTextWidth& AMeasure, const std::string& AText, int AWidthLimit);

// True on the rectangle's edges too.
constexpr bool PointInRect(const TPoint& APoint, const TRect& ARect) {
  return APoint.X >= ARect.Left && APoint.X <= ARect.Right && APoint.Y >= ARect.Top &&
         APoint.Y <= ARect.Bottom;
}
