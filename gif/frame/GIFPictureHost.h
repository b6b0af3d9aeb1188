// What a frame's drawing, rendering and conversion ask of the picture that
// holds it, beyond what its stored parts ask (GIFImageHost.h): the other
// frames, whether frames render dithered, the picture's palette, how a
// true-colour bitmap is reduced when it becomes a frame, the background of
// restore-to-background disposal, and where progress and changes are told.
// The picture class implements it, so that frames and their compositing
// need nothing of the picture class itself.
#pragma once

#include <string>

#include "ColorReduction.h"
#include "Dither.h"
#include "GIFColorMap.h"
#include "GIFImageHost.h"
#include "Graphic.h"
#include "Palette.h"

class TGIFSubImage;

// The colour reduction a true-colour bitmap goes through when it becomes a frame.
struct TGIFFrameReduction {
  TGIFColorReduction Method;
  TGIFDitherMode Dither;
  unsigned Bits;
};

class TGIFPictureHost : public TGIFImageHost {
public:
  virtual TGIFSubImage& Frames(int AIndex) = 0;
  // Frames render dithered over the 6 x 6 x 6 palette.
  virtual bool ShouldDither() const = 0;
  virtual TPalette GetPalette() = 0;
  virtual TGIFFrameReduction FrameReduction() const = 0;
  // clNone: restore-to-background takes the header's background colour.
  virtual TColor GetDrawBackgroundColor() const = 0;
  virtual bool PaletteModified() const = 0;
  // A frame's palette no longer matches its bitmap: the picture's palette
  // counts as modified and the picture signals a change.
  virtual void FramePaletteChanged() = 0;
  virtual void ReportProgress(TProgressStage AStage, int APercentDone, bool ARedrawNow,
                              const std::string& AMessage) = 0;
  // Signals a change of the picture (OnChange).
  virtual void NotifyChanged() = 0;
};
