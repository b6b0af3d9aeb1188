// Changing a bitmap's depth in place, converting its pixels: what setting a
// bitmap's pixel format did in the class library the codec was written for.
#pragma once

class TBitmap;

// 1, 4, 8, 15, 16, 24 and 32 bits per pixel.
bool IsSupportedDepth(int ABitsPerPixel);

// Converts the pixels to the new depth; nothing happens when the depth is
// already that one. A bitmap without pixels only records the depth.
// - To 15, 16, 24 or 32 bits: every pixel keeps its colour, to the
//   precision of the new depth. The palette stays with the bitmap, so that
//   a return to its palette depth gives back the same indices.
// - To 1, 4 or 8 bits: the bitmap's palette is kept when it has entries and
//   no more than the depth can index; then a palette pixel keeps its index
//   and any other pixel takes the nearest entry. Otherwise the palette is
//   replaced by the default table of the depth and every pixel takes its
//   nearest entry there.
// Raises "Unsupported PixelFormat" for another depth, old or new.
void ChangeBitmapDepth(TBitmap& ABitmap, int ABitsPerPixel);
