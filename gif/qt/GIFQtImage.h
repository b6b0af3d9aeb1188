// Pictures between Qt's images and the codec's bitmaps, and the frames of a
// GIF picture as Qt images: each frame composed over what the frames before
// it left, by their disposal methods.
#pragma once

#include <QImage>
#include <QList>

#include "Bitmap.h"

class TGIFImage;

// A 32-bit bitmap (B, G, R and the alpha in the fourth byte) of the image;
// AMask, when given, becomes an 8-bit mask with 1 where the image is more
// transparent than opaque. Answers whether any pixel is.
bool BitmapFromImage(const QImage& AImage, TBitmap& ABitmap, TBitmap* AMask = nullptr);

// An image of a bitmap of any depth; with AAlpha the fourth byte of a
// 32-bit bitmap is the alpha, otherwise the image is opaque.
QImage ImageFromBitmap(const TBitmap& ABitmap, bool AAlpha);

struct TComposedFrame {
  QImage Image;    // the logical screen, transparent where no frame has drawn
  int DelayMs = 0; // the stored delay in hundredths of a second, as milliseconds
};

// Every frame that holds an image, composed as a painter shows it.
QList<TComposedFrame> ComposeFramesAsImages(TGIFImage& APicture);

// Qt's loop count of the picture: 0 without a loop extension (play once),
// -1 for a stored 0 (for ever), else the stored count.
int QtLoopCount(TGIFImage& APicture);
