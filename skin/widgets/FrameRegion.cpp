// Window regions of skinned frames (see FrameRegion.h).
#include "FrameRegion.h"

#include "SkinCanvas.h"
#include "SkinColor.h"

#include <algorithm>
#include <cmath>

namespace {

// How far row ARow (0 at the rounded edge) of a corner of ellipse size
// ASize lies inside the straight edge.
int CornerInset(int ASize, int ARow) {
  const double r = ASize / 2.0;
  const double dy = r - (ARow + 0.5);
  if (dy <= 0) return 0;
  const double dx = std::sqrt(std::max(r * r - dy * dy, 0.0));
  return static_cast<int>(std::lround(r - dx));
}

// Runs of non-transparent pixels of the rows [AFirst, ALast] of an image,
// placed at AOffsetY.
void ScanRows(const TBitmap& AImage, int AFirst, int ALast, int AOffsetY, TColor ATransparent,
              std::vector<TRect>& ARects) {
  const uint32_t key = ColorToPixel(ATransparent);
  for (int y = std::max(AFirst, 0); y <= ALast && y < AImage.Height(); ++y) {
    int x = 0;
    while (x < AImage.Width()) {
      while (x < AImage.Width() && SameRGB(BitmapPixel(AImage, x, y), key))
        ++x;
      const int start = x;
      while (x < AImage.Width() && !SameRGB(BitmapPixel(AImage, x, y), key))
        ++x;
      if (x > start) ARects.push_back({start, y + AOffsetY, x, y + AOffsetY + 1});
    }
  }
}

// A band: whole rows above and below the scanned rows.
void Band(const TImageRegionBand& ABand, int AWidth, int AOffsetY, TColor ATransparent,
          std::vector<TRect>& ARects) {
  const int height = ABand.Image->Height();
  const int minRow = std::max(ABand.MinRow, 0);
  const int maxRow = minRow < ABand.MaxRow ? ABand.MaxRow : height - 1;
  if (minRow > 0) ARects.push_back({0, AOffsetY, AWidth, AOffsetY + minRow});
  ScanRows(*ABand.Image, minRow, maxRow, AOffsetY, ATransparent, ARects);
  if (maxRow + 1 < height) ARects.push_back({0, AOffsetY + maxRow + 1, AWidth, AOffsetY + height});
}

} // namespace

std::vector<TRect> RoundedFrameRegion(int AWidth, int AHeight, int ARoundCorner,
                                      int ARoundCornerBottom) {
  std::vector<TRect> rects;
  const int top = std::max(ARoundCorner, 0);
  const int bottom = std::max(ARoundCornerBottom, 0);
  const int half = AHeight / 2;
  for (int y = 0; y < AHeight; ++y) {
    int inset = 0;
    if (y < half && y < top / 2 + 1) inset = CornerInset(top, y);
    if (y >= half && AHeight - 1 - y < bottom / 2 + 1) inset = CornerInset(bottom, AHeight - 1 - y);
    if (AWidth - 2 * inset > 0) rects.push_back({inset, y, AWidth - inset, y + 1});
  }
  return rects;
}

std::vector<TRect> ImageFrameRegion(int AWidth, int AHeight, const TImageRegionBand& ATitle,
                                    const TImageRegionBand& ABottom, TColor ATransparent) {
  std::vector<TRect> rects;
  const int titleHeight = ATitle.Image ? ATitle.Image->Height() : 0;
  const int bottomHeight = ABottom.Image ? ABottom.Image->Height() : 0;
  if (ATitle.Image) Band(ATitle, AWidth, 0, ATransparent, rects);
  if (AHeight - bottomHeight > titleHeight)
    rects.push_back({0, titleHeight, AWidth, AHeight - bottomHeight});
  if (ABottom.Image) Band(ABottom, AWidth, AHeight - bottomHeight, ATransparent, rects);
  return rects;
}
