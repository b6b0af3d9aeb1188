// Reading a picture frame by frame (see GIFFrameReader.h).
#include "GIFFrameReader.h"

#include <algorithm>

#include "Exception.h"
#include "GIFAppExtensions.h"
#include "GIFExtension.h"
#include "GIFGraphicControl.h"
#include "GIFImageData.h"
#include "GIFStreamIO.h"

namespace {

// Passes over zero bytes as the block loop does; true when a frame starts
// there ("!" or ","), the stream left on its first byte. The trailer, the
// end of the stream and a stray byte end the frames.
bool AtFrame(TGIFStream& AStream) {
  const int value = SkipZeros(AStream);
  if (value == kEndOfStream) return false;
  AStream.Seek(-1, TSeekOrigin::soCurrent);
  return value == kExtensionIntroducer || value == kImageSeparator;
}

} // namespace

TGIFFrameReader::TGIFFrameReader(const uint8_t* AData, size_t ASize) : FStream(AData, ASize) {
  FPicture.Header().LoadFromStream(FStream);
  CheckFrameSize(static_cast<size_t>(Width()), static_cast<size_t>(Height()));
  FFirstBlock = FStream.Position();
  // The layout: every frame's blocks with its image data stepped over. The
  // first frame stays in the picture, as in a picture loaded whole: frames
  // without any colour table take its palette.
  try {
    bool hasImage = false;
    while (std::unique_ptr<TGIFSubImage> frame = ReadFrame(true, hasImage)) {
      if (hasImage) ++FFrameCount;
      for (int i = 0; i < frame->Extensions().Count() && FLoopCount < 0; ++i)
        if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(frame->Extensions().Extensions(i)))
          FLoopCount = loop->Loops();
      if (FPicture.FrameCount() == 0) FPicture.Add(std::move(frame));
    }
  } catch (const Exception&) {
    // The frames before the one that cannot be read are shown.
  }
  Rewind();
}

std::unique_ptr<TGIFSubImage> TGIFFrameReader::ReadFrame(bool AScan, bool& AHasImage) {
  if (!AtFrame(FStream)) return nullptr;
  auto frame = std::make_unique<TGIFSubImage>(&FPicture);
  if (AScan) {
    AHasImage = frame->ScanFromStream(FStream);
  } else {
    frame->LoadFromStream(FStream);
    AHasImage = !frame->Empty();
  }
  return frame;
}

void TGIFFrameReader::Rewind() {
  FStream.SetPosition(FFirstBlock);
  FComposed = 0;
  FDelay = 0;
  FDisposal = dmNone;
  FSaved = TBitmap();
}

void TGIFFrameReader::Dispose(TGIFCanvas& ACanvas) {
  if (FDisposal == dmBackground) {
    // What lay under the picture is transparent.
    const TGIFRect area = IntersectRect(FArea, ACanvas.ClipRect());
    for (int y = area.Top; y < area.Bottom; ++y)
      std::fill_n(ACanvas.Bitmap().ScanLine(y) + 4 * static_cast<size_t>(area.Left),
                  4 * static_cast<size_t>(area.Width()), uint8_t{0});
  } else if (FDisposal == dmPrevious && !FSaved.Empty()) {
    ACanvas.CopyRect(FArea, FSaved, {0, 0, FSaved.Width(), FSaved.Height()});
  }
  FDisposal = dmNone;
  FSaved = TBitmap();
}

bool TGIFFrameReader::ComposeNext(TBitmap& ACanvas) {
  if (FComposed >= FFrameCount) return false;
  bool hasImage = false;
  std::unique_ptr<TGIFSubImage> frame;
  do {
    frame = ReadFrame(false, hasImage);
    if (!frame) return false;
  } while (!hasImage);

  TGIFCanvas canvas(ACanvas);
  Dispose(canvas);
  const TGIFGraphicControlExtension* control = frame->GraphicControlExtension();
  FDisposal = control ? control->Disposal() : static_cast<int>(dmNone);
  FDelay = control ? control->Delay() : 0;
  FArea = IntersectRect(frame->BoundsRect(), canvas.ClipRect());
  if (FDisposal == dmPrevious && !FArea.IsEmpty()) {
    FSaved = TBitmap(FArea.Width(), FArea.Height(), 32);
    TGIFCanvas saved(FSaved);
    saved.CopyRect(saved.ClipRect(), ACanvas, FArea);
  }
  frame->Draw(canvas, canvas.ClipRect(), false, true);
  ++FComposed;
  return true;
}
