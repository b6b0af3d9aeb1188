// The Qt image reader and writer through the codec.
#include "GIFImageIOHandler.h"

#include <QIODevice>
#include <QVariant>

#include "GIFImage.h"

namespace {

bool IsSignature(const QByteArray& ABytes, int AOffset) {
  return ABytes.size() >= AOffset + 3 && ABytes.mid(AOffset, 3).toUpper() == "GIF";
}

} // namespace

bool TGIFImageIOHandler::CanRead(QIODevice* ADevice) {
  if (!ADevice) return false;
  const QByteArray head = ADevice->peek(7);
  return IsSignature(head, 0) || IsSignature(head, 4);
}

bool TGIFImageIOHandler::canRead() const {
  if (FLoaded) return !FFailed && FNext < FFrames.size();
  if (!CanRead(device())) return false;
  setFormat("gif");
  return true;
}

bool TGIFImageIOHandler::Load() const {
  if (FLoaded) return !FFailed;
  FLoaded = true;
  QIODevice* source = device();
  if (!source) {
    FFailed = true;
    return false;
  }
  const QByteArray bytes = source->readAll();
  try {
    TGIFImage picture;
    TGIFMemoryStream stream(bytes.constData(), static_cast<size_t>(bytes.size()));
    picture.LoadFromStream(stream);
    FFrames = ComposeFramesAsImages(picture);
    FLoopCount = QtLoopCount(picture);
  } catch (const std::exception&) {
    FFailed = true;
  }
  FFailed = FFailed || FFrames.isEmpty();
  return !FFailed;
}

bool TGIFImageIOHandler::read(QImage* AImage) {
  if (!Load() || FNext >= FFrames.size()) return false;
  *AImage = FFrames[FNext].Image;
  ++FNext;
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
  return Load() ? static_cast<int>(FFrames.size()) : 0;
}

int TGIFImageIOHandler::loopCount() const {
  return Load() ? FLoopCount : 0;
}

int TGIFImageIOHandler::nextImageDelay() const {
  // The delay of the frame read last: how long it stays before the next.
  if (!Load() || FNext == 0) return 0;
  return FFrames[FNext - 1].DelayMs;
}

int TGIFImageIOHandler::currentImageNumber() const {
  return FNext == 0 ? 0 : FNext - 1;
}

bool TGIFImageIOHandler::jumpToNextImage() {
  if (!Load() || FNext >= FFrames.size()) return false;
  ++FNext;
  return true;
}

bool TGIFImageIOHandler::jumpToImage(int AImageNumber) {
  if (!Load() || AImageNumber < 0 || AImageNumber >= FFrames.size()) return false;
  FNext = AImageNumber;
  return true;
}

bool TGIFImageIOHandler::supportsOption(ImageOption AOption) const {
  return AOption == Size || AOption == Animation;
}

QVariant TGIFImageIOHandler::option(ImageOption AOption) const {
  if (AOption == Animation) return true;
  if (AOption == Size && Load()) return FFrames.first().Image.size();
  return {};
}
