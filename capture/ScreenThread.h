// The grab thread and its frame schedule. Frames are due at fixed times after
// the first one; a round that finds its due time long past skips the frames
// that were lost and says so, and the time stamps keep real elapsed time.
// A frame is stamped when its grab starts: its content is no older than
// that, and a grab that takes long (a busy server) makes it no later.
// At high rates a grab is waited for only when the next one is due, so
// that the thread wakes once a frame rather than twice (once for the due
// time, once for the server's answer): each frame is handed on one frame
// interval after its grab started.
#pragma once

#include "InterruptibleSleep.h"
#include "LibAV.h"
#include "ManualResetEvent.h"
#include "ScreenSource.h"
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

// Times the grab thread spent on its grabs, for the benchmark: from the
// request to the frame, or, for a grab waited for at the next due time,
// what was left of the wait then.
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
  // About when the next frame reaches the queue (clock time); 0 when no
  // frame is due (not started, paused).
  int64_t NextDelivery() const { return FNextDelivery.load(std::memory_order_relaxed); }

private:
  void Execute();
  // Waits until ATime, making a spare frame buffer ready meanwhile when
  // there is time for it; false at once when asked to terminate.
  bool WaitUntil(int64_t ATime);
  bool Sleep(int64_t AMicroseconds);
  // Starts the next frame's grab; it finishes at once unless pipelined.
  void GrabFrame();
  // Waits for the grab under way, if any, and hands its frame on.
  void FinishGrab();
  // Waits for the grab under way, if any, and drops its frame.
  void DiscardGrab();
  void CountGrab(int64_t AMicroseconds);

  TGdiCaptureDevice& FDevice;
  TFrameSchedule FSchedule;
  // Whether a grab may wait for the next due time (frame intervals short
  // enough that a frame is never held back long).
  bool FPipelined;
  TScreenSource::TGrab FGrab; // the grab under way; no buffer when none
  int64_t FGrabStarted = 0;   // its clock time: the frame's stamp
  bool FGrabAtOnce = false;   // it is waited for as soon as it is sent
  TInterruptibleSleep FSleep; // interrupted: asked to terminate
  TManualResetEvent FWakeup;  // started, or asked to terminate
  std::atomic<int64_t> FGrabCount{0}, FGrabTotal{0}, FGrabWorst{0}, FGrabFirst{0};
  std::atomic<int64_t> FNextDelivery{0};
  TWorkerThread FThread;
};
