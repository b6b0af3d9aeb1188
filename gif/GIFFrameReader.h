// Reading a picture frame by frame without holding its frames, for readers
// that show one composed frame after another (the Qt image plugin). The
// header and the layout come first: how many frames hold an image and the
// loop count, from the blocks alone with the image data stepped over. Then
// each frame is read, decoded and composed onto a canvas of the logical
// screen's size, after the frame before it has been disposed of, and
// dropped. Memory follows the screen and the largest frame, never the
// number of frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Bitmap.h"
#include "GIFCanvas.h"
#include "GIFImage.h"
#include "GIFStream.h"

class TGIFFrameReader {
public:
  // Reads the header and the layout of a copy of the ASize bytes at AData.
  // Raises GIFException when the header cannot be
  // read or the logical screen exceeds the bound on frame sizes. A frame
  // the layout cannot read ends the frames there.
  TGIFFrameReader(const uint8_t* AData, size_t ASize);
  TGIFFrameReader(const TGIFFrameReader&) = delete;
  TGIFFrameReader& operator=(const TGIFFrameReader&) = delete;

  int Width() const { return FPicture.Width(); }
  int Height() const { return FPicture.Height(); }
  // The frames that hold an image.
  int FrameCount() const { return FFrameCount; }
  // The loop count of the first loop extension; -1 without one.
  int LoopCount() const { return FLoopCount; }
  // Frames composed since the start.
  int Composed() const { return FComposed; }
  // The delay of the frame composed last, in hundredths of a second.
  int Delay() const { return FDelay; }

  // Composes the next frame onto ACanvas: a 32-bit bitmap of the screen's
  // size that holds what the previous call left (all 0 before the first
  // frame, so that what no frame has drawn stays transparent). False after
  // the last frame. Raises GIFException when the frame cannot be read.
  bool ComposeNext(TBitmap& ACanvas);
  // Back to the first frame; the caller clears the canvas.
  void Rewind();

private:
  // The next frame in the stream, read whole; null after the last block.
  std::unique_ptr<TGIFSubImage> ReadFrame(bool AScan, bool& AHasImage);
  void Dispose(TGIFCanvas& ACanvas);

  TGIFMemoryStream FStream;
  // The header, and the host of the frame being read (the picture holds
  // no frames).
  TGIFImage FPicture;
  int64_t FFirstBlock = 0;
  int FFrameCount = 0;
  int FLoopCount = -1;
  int FComposed = 0;
  int FDelay = 0;
  // What the frame composed last leaves behind it: its disposal method,
  // its area and, to restore the previous picture, what lay there.
  int FDisposal = 0;
  TGIFRect FArea;
  TBitmap FSaved;
};
