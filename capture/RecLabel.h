// The "Rec" label: a window above all others, shaped as the word "Rec", that
// marks the top-left corner of the captured area. Its flash thread keeps it
// on top and on the captured window, and once capture has started makes it
// blink between yellow and blue. On a captured window it looks for the
// window's place every 10 ms; on the screen, where it never moves, it is
// raised when the server says something covers it, and otherwise sleeps
// from one flash to the next (under a compositing manager, which the server
// never reports as covering, it is raised every 10 ms).
#pragma once

#include "InterruptibleSleep.h"
#include "ShapedWindow.h"
#include "Thread.h"
#include "XConnection.h"

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

class TGdiCaptureDevice;
class TFrameForm;

// The word "Rec" in a bold face about 15 points high, as rectangles whose
// top-left stands at (5, 5) of the label.
std::vector<xcb_rectangle_t> RecTextShape();

class TFlashThread {
public:
  explicit TFlashThread(TFrameForm& AForm);
  ~TFlashThread();
  TFlashThread(const TFlashThread&) = delete;
  TFlashThread& operator=(const TFlashThread&) = delete;
  void Start();
  void Terminate();

private:
  void Execute();
  // On a captured window: the place every tick.
  void FollowWindow();
  // On the screen: raised when covered, flashed on time.
  void WatchCover();
  // Waits until ADeadline, the label's connection has news, or the thread
  // is asked to end (false).
  bool WaitUntil(std::chrono::steady_clock::time_point ADeadline);
  TFrameForm& FForm;
  TInterruptibleSleep FSleep; // cut short for good when asked to end
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
  bool FollowsWindow() const;
  bool ScreenComposited() const { return FConnection.Composited(); }
  void UpdatePosition();
  void Flash();
  void Raise() { FWindow.Raise(); }
  // Makes the server report changes of what shows of the label.
  void WatchVisibility() { FWindow.WatchVisibility(); }
  // Takes the events that came; whether one says the label is covered.
  bool TakeCovered();
  // -1 once the connection has failed: its socket then stays readable, and
  // a wait on it would spin.
  int ConnectionDescriptor() const {
    return FConnection.ConnectionError() ? -1 : FConnection.FileDescriptor();
  }

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
