// The "Rec" label: a window above all others, shaped as the word "Rec", that
// marks the top-left corner of the captured area. Its flash thread keeps it
// on top and on the captured window, and once capture has started makes it
// blink between yellow and blue.
#pragma once

#include "ManualResetEvent.h"
#include "ShapedWindow.h"
#include "Thread.h"
#include "XConnection.h"

#include <xcb/xcb.h>

#include <atomic>
#include <memory>
#include <vector>

class TGdiCaptureDevice;
class TFrameForm;

// The word "Rec" in a bold face about 15 points high, as rectangles whose
// top-left stands at (5, 5) of the label.
std::vector<xcb_rectangle_t> RecTextShape();

class TFlashThread {
public:
  explicit TFlashThread(TFrameForm& AForm) : FForm(AForm) {}
  ~TFlashThread() { Terminate(); }
  void Start();
  void Terminate();

private:
  void Execute();
  TFrameForm& FForm;
  TManualResetEvent FTerminated;
  TWorkerThread FThread;
};

class TFrameForm {
public:
  static constexpr int kBorderWidth = 2;

  // Builds and shows the label for the device's screen source and starts its
  // flash thread; null, with a warning logged, when the label cannot be made
  // (the capture goes on without it).
  static std::unique_ptr<TFrameForm> Create(TGdiCaptureDevice& ADevice);
  // Stops the flash thread before the window goes.
  ~TFrameForm();
  TFrameForm(const TFrameForm&) = delete;
  TFrameForm& operator=(const TFrameForm&) = delete;

  xcb_window_t WindowId() const { return FWindow.Id(); }
  // Called by the flash thread.
  void UpdatePosition();
  void Flash();

private:
  explicit TFrameForm(TGdiCaptureDevice& ADevice) : FDevice(ADevice) {}
  int Open();
  // The label's top-left: the captured area's less the border; false when
  // the captured window cannot be found.
  bool TargetOrigin(int& AX, int& AY);

  TGdiCaptureDevice& FDevice;
  TXConnection FConnection;
  TShapedWindow FWindow;
  int FX = 0, FY = 0;            // where the label stands; nothing else moves it
  uint32_t FColours[2] = {0, 0}; // yellow, blue
  TFlashThread FFlashThread{*this};
};
