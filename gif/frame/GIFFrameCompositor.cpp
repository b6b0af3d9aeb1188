// Putting frames on a painter's canvas by their disposal methods.
#include "GIFFrameCompositor.h"

#include <vector>

#include "GIFGraphicControl.h"
#include "GIFHeader.h"
#include "GIFSubImage.h"

TGIFFrameCompositor::TGIFFrameCompositor(TGIFPictureHost& AImage, TGIFCanvas& ACanvas,
                                         const TGIFRect& ARect, TGIFDrawFlags AOptions)
    : FImage(AImage), FCanvas(ACanvas), FRect(ARect), FOptions(AOptions) {
  if (AImage.GetDrawBackgroundColor() != clNone)
    FBackgroundColor = AImage.GetDrawBackgroundColor();
  else if (AImage.Header().ColorMap().Count() == 0)
    FBackgroundColor = clWindow;
  else
    FBackgroundColor = AImage.Header().BackgroundColor();

  bool restoreBackground = (AOptions & gdKeepBackground) != 0;
  bool restorePrevious = false;
  for (int i = 0; i < AImage.FrameCount(); ++i) {
    if (TGIFGraphicControlExtension* control = AImage.Frames(i).GraphicControlExtension()) {
      restoreBackground = restoreBackground || control->Disposal() == dmBackground;
      restorePrevious = restorePrevious || control->Disposal() == dmPrevious;
    }
  }
  const int width = ARect.Width();
  const int height = ARect.Height();
  const int bits = ACanvas.Bitmap().BitsPerPixel();
  const TGIFRect whole{0, 0, width, height};
  // Buffers of the canvas's size are the compositor's cost: each is made in
  // one pass, the frame buffer only once a frame needs it.
  auto copyOfCanvas = [&] {
    if (ARect == ACanvas.ClipRect()) return std::make_unique<TBitmap>(ACanvas.Bitmap());
    auto bitmap = std::make_unique<TBitmap>(width, height, bits);
    TGIFCanvas(*bitmap).CopyRect(whole, ACanvas.Bitmap(), ARect);
    return bitmap;
  };
  if (restoreBackground && (AOptions & gdTransparent)) FBackground = copyOfCanvas();
  if (restoreBackground || restorePrevious) {
    FBackup = copyOfCanvas();
    FBackupCanvas = std::make_unique<TGIFCanvas>(*FBackup);
  }
}

void TGIFFrameCompositor::Paint(int AFrame, int ADisposal, int AOldDisposal) {
  TGIFSubImage& frame = FImage.Frames(AFrame);
  const bool tile = (FOptions & gdTile) != 0;
  const bool transparent = (FOptions & gdTransparent) != 0;
  if (!Buffered()) {
    frame.Draw(FCanvas, FRect, tile, transparent);
    return;
  }

  const TGIFRect whole = FBackupCanvas->ClipRect();
  TGIFCanvas* target = FBackupCanvas.get();
  TGIFRect targetRect = whole;
  const TBitmap* shown = FBackup.get();
  if (ADisposal == dmPrevious) {
    if (AOldDisposal == dmBackground || AOldDisposal == dmPrevious) {
      // The canvas still shows the previous frame, which is to go: start
      // from the backup, leave the backup as it is.
      if (!FFrameBuffer) {
        FFrameBuffer = std::make_unique<TBitmap>(*FBackup);
        FFrameCanvas = std::make_unique<TGIFCanvas>(*FFrameBuffer);
      } else {
        FFrameCanvas->CopyRect(whole, *FBackup, whole);
      }
      target = FFrameCanvas.get();
      shown = FFrameBuffer.get();
    } else {
      // The canvas equals the backup; the backup stays as it is.
      target = &FCanvas;
      targetRect = FRect;
      shown = nullptr;
    }
  }
  if ((FOptions & gdKeepBackground) && AFrame == 0) RestoreArea(frame);
  frame.Draw(*target, targetRect, tile, transparent);
  if (ADisposal == dmBackground) {
    if (shown) FCanvas.CopyRect(FRect, *shown, whole);
    RestoreArea(frame);
    if (shown) FCanvas.Changed();
    return;
  }
  if (shown) {
    FCanvas.CopyRect(FRect, *shown, whole);
    FCanvas.Changed();
  }
}

void TGIFFrameCompositor::RestoreArea(TGIFSubImage& AFrame) {
  const int width = FBackup->Width();
  const int height = FBackup->Height();
  const int screenWidth = FImage.Header().Width();
  const int screenHeight = FImage.Header().Height();
  std::vector<TGIFRect> areas;
  if ((FOptions & gdTile) && screenWidth > AFrame.Width() && screenHeight > AFrame.Height()) {
    for (int y = AFrame.Top(); y < height; y += screenHeight)
      for (int x = AFrame.Left(); x < width; x += screenWidth)
        areas.push_back({x, y, x + AFrame.Width(), y + AFrame.Height()});
  } else {
    areas.push_back({MulDiv(AFrame.Left(), width, screenWidth),
                     MulDiv(AFrame.Top(), height, screenHeight),
                     MulDiv(AFrame.Left() + AFrame.Width(), width, screenWidth),
                     MulDiv(AFrame.Top() + AFrame.Height(), height, screenHeight)});
  }
  for (const TGIFRect& area : areas) {
    if ((FOptions & gdTransparent) && FBackground)
      FBackupCanvas->CopyRect(area, *FBackground, area);
    else
      FBackupCanvas->FillRect(area, FBackgroundColor);
  }
}
