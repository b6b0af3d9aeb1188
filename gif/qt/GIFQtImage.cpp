// Conversions between Qt images and the codec's bitmaps.
#include "GIFQtImage.h"

#include "GIFCanvas.h"

bool BitmapFromImage(const QImage& AImage, TBitmap& ABitmap, TBitmap* AMask) {
  const QImage source = AImage.convertToFormat(QImage::Format_ARGB32);
  const int width = source.width();
  const int height = source.height();
  ABitmap.SetSize(width, height, 32);
  if (AMask) AMask->SetSize(width, height, 8);
  bool anyTransparent = false;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uint8_t* target = ABitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, target += 4) {
      target[0] = static_cast<uint8_t>(qBlue(row[x]));
      target[1] = static_cast<uint8_t>(qGreen(row[x]));
      target[2] = static_cast<uint8_t>(qRed(row[x]));
      target[3] = static_cast<uint8_t>(qAlpha(row[x]));
      const bool transparent = qAlpha(row[x]) < 128;
      anyTransparent = anyTransparent || transparent;
      if (AMask) AMask->ScanLine(y)[x] = transparent ? 1 : 0;
    }
  }
  return anyTransparent;
}

QImage ImageFromBitmap(const TBitmap& ABitmap, bool AAlpha) {
  QImage image(ABitmap.Width(), ABitmap.Height(),
               AAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  // Qt answers a null image when it cannot allocate one.
  if (image.isNull()) return image;
  const bool alpha = AAlpha && ABitmap.BitsPerPixel() == 32;
  for (int y = 0; y < ABitmap.Height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < ABitmap.Width(); ++x) {
      const uint32_t bgr = BitmapPixelBGR(ABitmap, x, y);
      const int opacity = alpha ? ABitmap.ScanLine(y)[4 * x + 3] : 255;
      row[x] = qRgba(static_cast<int>((bgr >> 16) & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                     static_cast<int>(bgr & 0xFF), opacity);
    }
  }
  return image;
}
