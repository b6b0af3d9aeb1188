// Pictures between Qt's images and the codec's bitmaps.
#pragma once

#include <QImage>

#include "Bitmap.h"

// A 32-bit bitmap (B, G, R and the alpha in the fourth byte) of the image;
// AMask, when given, becomes an 8-bit mask with 1 where the image is more
// transparent than opaque. Answers whether any pixel is.
bool BitmapFromImage(const QImage& AImage, TBitmap& ABitmap, TBitmap* AMask = nullptr);

// An image of a bitmap of any depth; with AAlpha the fourth byte of a
// 32-bit bitmap is the alpha, otherwise the image is opaque. A null image
// when Qt cannot allocate it.
QImage ImageFromBitmap(const TBitmap& ABitmap, bool AAlpha);
