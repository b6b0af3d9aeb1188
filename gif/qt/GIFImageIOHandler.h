// Qt's image reader and writer through the codec: QImageReader, QMovie and
// QImageWriter open and save GIF pictures with it once the plugin in
// GIFImageIOPlugin.cpp is found (RegisterGIFQt sees to that). Reading gives
// each frame composed on the logical screen, with its delay and the loop
// count, one frame at a time: the count and the loop come from the file's
// layout, and one canvas is kept and advanced, so that memory does not grow
// with the number of frames. Writing stores one image, its transparent
// pixels included.
#pragma once

#include <QImage>
#include <QImageIOHandler>

#include <memory>

class TGIFFrameReader;

class TGIFImageIOHandler : public QImageIOHandler {
public:
  TGIFImageIOHandler();
  ~TGIFImageIOHandler() override;

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
  // Reads the header and the layout on first use; false when the picture
  // cannot be read (the codec's reason goes to Qt's warning log).
  bool Open() const;
  // Composes the next frame on the canvas; false after the last one or
  // when the frame cannot be read.
  bool Advance();
  bool Fail(const char* AReason) const;

  mutable bool FOpened = false;
  mutable bool FFailed = false;
  mutable std::unique_ptr<TGIFFrameReader> FReader;
  // The logical screen as the frames composed so far leave it.
  QImage FCanvas;
};
