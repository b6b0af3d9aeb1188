// Qt's image reader and writer through the codec: QImageReader, QMovie and
// QImageWriter open and save GIF pictures with it once the plugin in
// GIFImageIOPlugin.cpp is found (RegisterGIFQt sees to that). Reading gives
// each frame composed on the logical screen, with its delay and the loop
// count; writing stores one image, its transparent pixels included.
#pragma once

#include <QImageIOHandler>
#include <QList>

#include "GIFQtImage.h"

class TGIFImageIOHandler : public QImageIOHandler {
public:
  // "GIF" in any letter case at the start or behind a 4-byte prefix.
  static bool CanRead(QIODevice* ADevice);

  bool canRead() const override;
  bool read(QImage* AImage) override;
  bool write(const QImage& AImage) override;

  int imageCount() const override;
  int loopCount() const override;
  int nextImageDelay() const override;
  int currentImageNumber() const override;
  bool jumpToNextImage() override;
  bool jumpToImage(int AImageNumber) override;
  bool supportsOption(ImageOption AOption) const override;
  QVariant option(ImageOption AOption) const override;

private:
  // Reads the whole picture on first use; false when it cannot be read.
  bool Load() const;

  mutable bool FLoaded = false;
  mutable bool FFailed = false;
  mutable QList<TComposedFrame> FFrames;
  mutable int FLoopCount = 0;
  int FNext = 0;
};
