// Conversions between Qt images and the codec's bitmaps, and composed frames.
#include "GIFQtImage.h"

#include "GIFAppExtensions.h"
#include "GIFCanvas.h"
#include "GIFFrameCompositor.h"
#include "GIFGraphicControl.h"
#include "GIFImage.h"

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

QList<TComposedFrame> ComposeFramesAsImages(TGIFImage& APicture) {
  QList<TComposedFrame> frames;
  if (APicture.Empty() || APicture.Width() == 0 || APicture.Height() == 0) return frames;
  TBitmap screen(APicture.Width(), APicture.Height(), 32);
  TGIFCanvas canvas(screen);
  TGIFFrameCompositor compositor(APicture, canvas, canvas.ClipRect(), gdTransparent);
  int oldDisposal = dmNoDisposal;
  for (int i = 0; i < APicture.FrameCount(); ++i) {
    TGIFSubImage& frame = APicture.Frames(i);
    if (frame.Empty()) continue;
    TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    const int disposal = control ? control->Disposal() : static_cast<int>(dmNone);
    compositor.Paint(i, disposal, oldDisposal);
    oldDisposal = disposal;
    frames.append({ImageFromBitmap(screen, true), control ? control->Delay() * 10 : 0});
  }
  return frames;
}

int QtLoopCount(TGIFImage& APicture) {
  for (int i = 0; i < APicture.FrameCount(); ++i)
    for (int e = 0; e < APicture.Frames(i).Extensions().Count(); ++e)
      if (auto* loop =
              dynamic_cast<TGIFAppExtNSLoop*>(APicture.Frames(i).Extensions().Extensions(e)))
        return loop->Loops() == 0 ? -1 : loop->Loops();
  return 0;
}
