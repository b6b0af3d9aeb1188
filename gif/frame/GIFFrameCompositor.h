// How a painter puts frame after frame on its canvas by their disposal
// methods: straight onto the canvas when no frame restores anything, else
// through a backup buffer (the picture as it stands before the next frame),
// a frame buffer for restore-to-previous, and a copy of what lay under the
// picture for restore-to-background.
#pragma once

#include <memory>

#include "Bitmap.h"
#include "GIFCanvas.h"
#include "GIFPictureHost.h"
#include "GIFSettings.h"

class TGIFSubImage;

class TGIFFrameCompositor {
public:
  // Takes the buffers the picture's disposal methods need from what the
  // canvas shows in ARect.
  TGIFFrameCompositor(TGIFPictureHost& AImage, TGIFCanvas& ACanvas, const TGIFRect& ARect,
                      TGIFDrawFlags AOptions);

  bool Buffered() const { return FBackup != nullptr; }
  TColor BackgroundColor() const { return FBackgroundColor; }
  // Puts frame AFrame on the canvas; ADisposal is its disposal method and
  // AOldDisposal the previous frame's.
  void Paint(int AFrame, int ADisposal, int AOldDisposal);

private:
  void RestoreArea(TGIFSubImage& AFrame);

  TGIFPictureHost& FImage;
  TGIFCanvas& FCanvas;
  TGIFRect FRect;
  TGIFDrawFlags FOptions;
  TColor FBackgroundColor;
  std::unique_ptr<TBitmap> FBackground;
  std::unique_ptr<TBitmap> FBackup;
  std::unique_ptr<TBitmap> FFrameBuffer;
  std::unique_ptr<TGIFCanvas> FBackupCanvas;
  std::unique_ptr<TGIFCanvas> FFrameCanvas;
};
