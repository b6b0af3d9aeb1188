// Making a picture smaller before it is written: colour tables sorted by
// use, needless transparency, disposal methods, extensions and frames
// dropped, pixels that repeat the frame below made transparent, transparent
// borders cropped. None of it changes what the animation shows.
#include <algorithm>

#include "GIFAppExtensions.h"
#include "GIFError.h"
#include "GIFGraphicControl.h"
#include "GIFImage.h"
#include "GIFMessages.h"
#include "GIFPainter.h"
#include "GIFTextExtensions.h"

namespace {

int DisposalOf(TGIFSubImage& AFrame) {
  TGIFGraphicControlExtension* control = AFrame.GraphicControlExtension();
  return control ? control->Disposal() : static_cast<int>(dmNone);
}

int DelayOf(TGIFSubImage& AFrame) {
  TGIFGraphicControlExtension* control = AFrame.GraphicControlExtension();
  return control ? control->Delay() : 0;
}

TGIFGraphicControlExtension& ControlOf(TGIFSubImage& AFrame) {
  if (TGIFGraphicControlExtension* control = AFrame.GraphicControlExtension()) return *control;
  auto extension = std::make_unique<TGIFGraphicControlExtension>(&AFrame);
  TGIFGraphicControlExtension& control = *extension;
  AFrame.Extensions().Add(std::move(extension));
  return control;
}

bool UsesIndex(const std::vector<uint8_t>& APixels, uint8_t AIndex) {
  return std::find(APixels.begin(), APixels.end(), AIndex) != APixels.end();
}

bool AllTransparent(TGIFSubImage& AFrame) {
  const uint8_t index = AFrame.TransparentIndex();
  const std::vector<uint8_t>& pixels = AFrame.PixelData();
  return std::all_of(pixels.begin(), pixels.end(), [&](uint8_t APixel) { return APixel == index; });
}

// An extension that shows nothing and that no reader of ours uses.
bool Disposable(TGIFExtension* AExtension, bool AKeepLoop) {
  if (dynamic_cast<TGIFCommentExtension*>(AExtension) ||
      dynamic_cast<TGIFTextExtension*>(AExtension) ||
      dynamic_cast<TGIFUnknownAppExtension*>(AExtension))
    return true;
  return dynamic_cast<TGIFAppExtNSLoop*>(AExtension) && !AKeepLoop;
}

} // namespace

void TGIFImage::Optimize(TGIFOptimizeOptions AOptions, TGIFColorReduction AColorReduction,
                         unsigned /*AColorBits*/, TGIFDitherMode /*ADitherMode*/) {
  if (Empty()) return;
  StopPainters();
  std::lock_guard lock(FPaintersLock);

  const int total = 6 * FrameCount();
  int done = 0;
  auto step = [&] {
    ++done;
    Progress(TProgressStage::psRunning, std::min(done * 100 / total, 100), false, kMsgOptimizing);
  };
  Progress(TProgressStage::psStarting, 0, false, kMsgOptimizing);
  try {
    if (AOptions & ooColorMaps) {
      if (FHeader.ColorMap().Count() > 0) FHeader.ColorMap().Optimize();
      for (int i = 0; i < FrameCount(); ++i) {
        if (Frames(i).ColorMap().Count() > 0) Frames(i).ColorMap().Optimize();
        step();
      }
    }

    if (AOptions & ooCleanup) {
      // Transparency that no pixel uses.
      for (int i = 0; i < FrameCount(); ++i) {
        TGIFSubImage& frame = Frames(i);
        if (frame.Transparent() && !UsesIndex(frame.PixelData(), frame.TransparentIndex()))
          frame.GraphicControlExtension()->SetTransparent(false);
        step();
      }
      // A restore that nobody sees: the next frame is opaque and covers the
      // whole of this one, and does not restore to what lay before itself.
      for (int i = 0; i + 1 < FrameCount(); ++i) {
        TGIFSubImage& frame = Frames(i);
        TGIFSubImage& next = Frames(i + 1);
        const int disposal = DisposalOf(frame);
        if ((disposal == dmBackground || disposal == dmPrevious) && !next.Transparent() &&
            DisposalOf(next) != dmPrevious) {
          const TGIFRect overlap = IntersectRect(frame.BoundsRect(), next.BoundsRect());
          if (!overlap.IsEmpty() && overlap == frame.BoundsRect())
            frame.GraphicControlExtension()->SetDisposal(dmNone);
        }
        step();
      }
    }

    if (AOptions & ooMerge) {
      for (int i = FrameCount() - 1; i >= 1; --i) {
        int previous = i - 1;
        while (previous > 0 && DisposalOf(Frames(previous)) == dmPrevious)
          --previous;
        Frames(i).Merge(&Frames(previous));
        step();
      }
    }

    if (AOptions & ooCrop) {
      for (int i = FrameCount() - 1; i >= 0; --i) {
        TGIFSubImage& frame = Frames(i);
        step();
        // A frame that restores to the background clears its whole
        // rectangle afterwards: it keeps its size.
        if (frame.Empty() || !frame.Transparent() || DisposalOf(frame) == dmBackground) continue;
        const int delay = DelayOf(frame);
        if (i == 0 && AllTransparent(frame)) {
          // The first frame carries the loop and the first delay: it stays
          // as one transparent pixel.
          const uint8_t index = frame.TransparentIndex();
          frame.SetBounds(frame.Left(), frame.Top(), 1, 1);
          frame.SetPixels(0, 0, index);
          continue;
        }
        frame.Crop();
        if (!frame.Empty()) continue;
        // Its time goes to the frame before it, which stays on show meanwhile.
        TGIFGraphicControlExtension& before = ControlOf(Frames(i - 1));
        before.SetDelay(static_cast<uint16_t>(std::min(before.Delay() + delay, 0xFFFF)));
        FImages.Delete(i);
      }
    }

    if (AOptions & ooCleanup) {
      for (int i = FrameCount() - 1; i >= 0; --i) {
        TGIFSubImage& frame = Frames(i);
        const bool keepLoop = i == 0 && FrameCount() > 1;
        for (int e = frame.Extensions().Count() - 1; e >= 0; --e)
          if (Disposable(frame.Extensions().Extensions(e), keepLoop)) frame.Extensions().Delete(e);
        if (TGIFGraphicControlExtension* control = frame.GraphicControlExtension()) {
          const bool single = FrameCount() == 1;
          if ((control->Delay() == 0 || single) && !frame.Transparent() && !control->UserInput() &&
              (control->Disposal() == dmNone || control->Disposal() == dmNoDisposal || single)) {
            for (int e = 0; e < frame.Extensions().Count(); ++e)
              if (frame.Extensions().Extensions(e) == control) {
                frame.Extensions().Delete(e);
                break;
              }
          }
        }
        if (frame.Empty() && frame.Extensions().Count() == 0) FImages.Delete(i);
        step();
      }
    } else if ((AOptions & ooReduceColors) && AColorReduction == crCallerPalette) {
      GIFError(kMsgInvalidReduction);
    }
  } catch (...) {
    Progress(TProgressStage::psEnding, 0, false, kMsgOptimizing);
    FreeBitmap();
    Changed();
    throw;
  }
  Progress(TProgressStage::psEnding, 100, false, kMsgOptimizing);
  FreeBitmap();
  Changed();
}
