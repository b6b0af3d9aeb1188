// The grab thread and its frame schedule. Frames are due at fixed times after
// the first one; a round that finds its due time long past skips the frames
// that were lost and says so, and the time stamps keep real elapsed time.
// A frame is stamped when its grab starts: its content is no older than
// that, and a grab that takes long (a busy server) makes it no later.
#pragma once

#include "InterruptibleSleep.h"
#include "LibAV.h"
#include "ManualResetEvent.h"
#include "Thread.h"

#include <atomic>
#include <cstdint>

class TGdiCaptureDevice;

class TFrameSchedule {
public:
  // AFrameRate: frames per second, both terms positive.
  explicit TFrameSchedule(AVRational AFrameRate);
  // The frame interval in whole microseconds, at least 1.
  int64_t Interval() const { return FInterval; }
  bool IsStarted() const { return FStarted; }
  // The first frame was grabbed at AStartTime; the next one is due at once.
  void Start(int64_t AStartTime);
  // The due time of the next grab.
  int64_t Due() const;
  // Called when the due time has come (ANow >= Due()): skips the frames whose
  // time passed by a whole interval or more, moves one frame on, and answers
  // the number skipped.
  int64_t Advance(int64_t ANow);

private:
  AVRational FFrameRate;
  int64_t FInterval;
  bool FStarted = false;
  int64_t FStartTime = 0;
  int64_t FNextFrame = 0; // frames after the start; 64 bits never wrap in practice
};

// Times of the grabs, for the benchmark.
struct TGrabStats {
  int64_t Count = 0;
  int64_t TotalMicroseconds = 0;
  int64_t WorstMicroseconds = 0;
  int64_t FirstMicroseconds = 0;
};

class TScreenThread {
public:
  TScreenThread(TGdiCaptureDevice& ADevice, AVRational AFrameRate);
  ~TScreenThread() { Terminate(); }
  TScreenThread(const TScreenThread&) = delete;
  TScreenThread& operator=(const TScreenThread&) = delete;

  void Start();
  // The device has started: the thread grabs its first frame at once.
  void NotifyStarted() { FWakeup.Set(); }
  // Asks the thread to end, cutting short any sleep or wait, and joins it.
  void Terminate();
  TGrabStats GrabStats() const;

private:
  void Execute();
  // Waits until ATime, making a spare frame buffer ready meanwhile when
  // there is time for it; false at once when asked to terminate.
  bool WaitUntil(int64_t ATime);
  bool Sleep(int64_t AMicroseconds);
  void GrabFrame();
  void CountGrab(int64_t AMicroseconds);

  TGdiCaptureDevice& FDevice;
  TFrameSchedule FSchedule;
  TInterruptibleSleep FSleep; // interrupted: asked to terminate
  TManualResetEvent FWakeup;  // started, or asked to terminate
  std::atomic<int64_t> FGrabCount{0}, FGrabTotal{0}, FGrabWorst{0}, FGrabFirst{0};
  TWorkerThread FThread;
};
