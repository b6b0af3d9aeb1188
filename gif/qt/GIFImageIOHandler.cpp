// The Qt image reader and writer through the codec.
#include "GIFImageIOHandler.h"

#include <QIODevice>
#include <QVariant>
#include <QtGlobal>

#include "GIFFrameReader.h"
#include "GIFImage.h"
#include "GIFQtImage.h"

namespace {

bool IsSignature(const QByteArray& ABytes, int AOffset) {
  return ABytes.size() >= AOffset + 3 && ABytes.mid(AOffset, 3).toUpper() == "GIF";
}

} // namespace

TGIFImageIOHandler::TGIFImageIOHandler() = default;
TGIFImageIOHandler::~TGIFImageIOHandler() = default;

bool TGIFImageIOHandler::CanRead(QIODevice* ADevice) {
  if (!ADevice) return false;
  const QByteArray head = ADevice->peek(7);
  return IsSignature(head, 0) || IsSignature(head, 4);
}

bool TGIFImageIOHandler::canRead() const {
  if (FOpened) return !FFailed && FReader->Composed() < FReader->FrameCount();
  if (!CanRead(device())) return false;
  setFormat("gif");
  return true;
}

bool TGIFImageIOHandler::Fail(const char* AReason) const {
  FFailed = true;
  if (AReason) qWarning("GIF: %s", AReason);
  return false;
}

bool TGIFImageIOHandler::Open() const {
  if (FOpened) return !FFailed;
  FOpened = true;
  QIODevice* source = device();
  if (!source) return Fail(nullptr);
  try {
    const QByteArray bytes = source->readAll();
    FReader = std::make_unique<TGIFFrameReader>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                                static_cast<size_t>(bytes.size()));
  } catch (const std::exception& AError) {
    return Fail(AError.what());
  }
  // Nothing to show: no frame with an image, or a screen without pixels.
  if (FReader->FrameCount() == 0 || FReader->Width() == 0 || FReader->Height() == 0)
    return Fail(nullptr);
  return true;
}

bool TGIFImageIOHandler::Advance() {
  if (!Open() || FReader->Composed() >= FReader->FrameCount()) return false;
  if (FCanvas.isNull()) {
    // Within the reader's allocation limit, as Qt's own readers allocate.
    if (!allocateImage(QSize(FReader->Width(), FReader->Height()), QImage::Format_ARGB32, &FCanvas))
      return Fail(nullptr);
    FCanvas.fill(0);
  }
  // The caller may still hold the previous frame: bits() gives the canvas
  // memory of its own first.
  uchar* bits = FCanvas.bits();
  if (!bits) return Fail("out of memory");
  TBitmap canvas;
  canvas.Attach(bits, FCanvas.width(), FCanvas.height(), 32);
  try {
    return FReader->ComposeNext(canvas) || Fail(nullptr);
  } catch (const std::exception& AError) {
    return Fail(AError.what());
  }
}

bool TGIFImageIOHandler::read(QImage* AImage) {
  if (!Advance()) return false;
  *AImage = FCanvas;
  return true;
}

bool TGIFImageIOHandler::write(const QImage& AImage) {
  QIODevice* target = device();
  if (!target || AImage.isNull()) return false;
  try {
    TBitmap bitmap;
    TBitmap mask;
    const bool transparent = BitmapFromImage(AImage, bitmap, &mask);
    TGIFImage picture;
    // The octree keeps up to 256 colours exactly; beyond that Floyd-Steinberg
    // spreads what the palette cannot show.
    picture.ColorReduction = crOctree;
    picture.ReductionBits = 8;
    picture.DitherMode = dtFloydSteinberg;
    picture.Add(bitmap, transparent ? &mask : nullptr);
    picture.Optimize(ooColorMaps, crNone, 8, dtNearest);
    TGIFMemoryStream stream;
    picture.SaveToStream(stream);
    const std::vector<uint8_t>& data = stream.Data();
    return target->write(reinterpret_cast<const char*>(data.data()),
                         static_cast<qint64>(data.size())) == static_cast<qint64>(data.size());
  } catch (const std::exception&) {
    return false;
  }
}

int TGIFImageIOHandler::imageCount() const {
  return Open() ? FReader->FrameCount() : 0;
}

int TGIFImageIOHandler::loopCount() const {
  // Qt counts 0 for play once and -1 for ever; the file stores 0 for ever.
  if (!Open() || FReader->LoopCount() < 0) return 0;
  return FReader->LoopCount() == 0 ? -1 : FReader->LoopCount();
}

int TGIFImageIOHandler::nextImageDelay() const {
  // The delay of the frame read last: how long it stays before the next.
  if (!Open() || FReader->Composed() == 0) return 0;
  return FReader->Delay() * 10;
}

int TGIFImageIOHandler::currentImageNumber() const {
  return FReader && FReader->Composed() > 0 ? FReader->Composed() - 1 : 0;
}

bool TGIFImageIOHandler::jumpToNextImage() {
  return Advance();
}

bool TGIFImageIOHandler::jumpToImage(int AImageNumber) {
  if (!Open() || AImageNumber < 0 || AImageNumber >= FReader->FrameCount()) return false;
  // A frame shows what the frames before it left: going back starts over.
  if (AImageNumber < FReader->Composed()) {
    FReader->Rewind();
    if (!FCanvas.isNull()) FCanvas.fill(0);
  }
  while (FReader->Composed() < AImageNumber)
    if (!Advance()) return false;
  return true;
}

bool TGIFImageIOHandler::supportsOption(ImageOption AOption) const {
  return AOption == Size || AOption == Animation;
}

QVariant TGIFImageIOHandler::option(ImageOption AOption) const {
  if (AOption == Animation) return true;
  if (AOption == Size && Open()) return QSize(FReader->Width(), FReader->Height());
  return {};
}
