// The window region of a skinned frame, as one-row or larger rectangles:
// rounded corners for the built-in styles, and the title and bottom images'
// non-transparent pixels for skins that ask for it.
#pragma once

#include "Bitmap.h"
#include "SkinTypes.h"

#include <vector>

// A W x H window whose top corners are rounded with a corner (ellipse) size
// of ARoundCorner and bottom corners with ARoundCornerBottom (-1 counts as 0).
std::vector<TRect> RoundedFrameRegion(int AWidth, int AHeight, int ARoundCorner,
                                      int ARoundCornerBottom);

struct TImageRegionBand {
  const TBitmap* Image = nullptr; // null: the image takes no part
  int MinRow = -1;                // rows scanned for the transparent colour
  int MaxRow = -1;
};

// The title image's band at the top, the bottom image's at the bottom, and
// whole rows between; a band's rows outside [MinRow, MaxRow] are whole rows.
std::vector<TRect> ImageFrameRegion(int AWidth, int AHeight, const TImageRegionBand& ATitle,
                                    const TImageRegionBand& ABottom, TColor ATransparent);
