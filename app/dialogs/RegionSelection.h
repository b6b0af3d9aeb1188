// The main window's region commands: "Show Region" (and the region edits'
// exit handlers, which do the same), "Close Region", the full-screen button
// and the region picker button. They work on the edits they are given and
// own the region frame and the picker.
#pragma once

#include "RegionEdits.h"
#include "RegionFrame.h"
#include "ScreenShots.h"

#include <memory>

class TRegionSelection {
public:
  // AOwner is the main window (the parent of the warning boxes).
  TRegionSelection(QWidget* AOwner, const TRegionEdits& AEdits);

  // Shows the frame around the edits' region; edits that are not integers
  // give a "Warning" and leave the frame as it was.
  void btnShowClick();
  void btnCloseClick();
  void btnDesktopClick();
  // Replaces the picker with a new one, which opens at once.
  void btnSelectClick();

  TRegionFrame* Frame() const { return FFrame.get(); }
  TfrmScreenShots* Picker() const { return FPicker.get(); }

private:
  QWidget* FOwner;
  TRegionEdits FEdits;
  std::unique_ptr<TRegionFrame> FFrame;
  std::unique_ptr<TfrmScreenShots> FPicker;
};
