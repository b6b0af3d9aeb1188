// A cooperative pause: the worker passes the gate at a point of its choosing
// (holding no lock) and waits there while the gate is closed. The gate keeps
// when it was closed and opened, so that the worker can tell how long the
// pause lasted even when it reached the gate late.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class TPauseGate {
public:
  using TClock = std::chrono::steady_clock;
  // The span the worker was held: from Pause to Resume.
  struct TSpan {
    TClock::time_point Paused, Resumed;
  };

  void Pause() {
    std::lock_guard lock(FLock);
    if (!FPaused) FPausedAt = TClock::now();
    FPaused = true;
  }
  void Resume() {
    {
      std::lock_guard lock(FLock);
      if (FPaused) FResumedAt = TClock::now();
      FPaused = false;
    }
    FChanged.notify_all();
  }
  bool IsPaused() const {
    std::lock_guard lock(FLock);
    return FPaused;
  }
  // Blocks while paused; answers whether it waited, so that the caller can
  // restart any time-out clock it keeps. With ASpan, the span of the pause
  // it waited through.
  bool Pass(TSpan* ASpan = nullptr) {
    std::unique_lock lock(FLock);
    if (!FPaused) return false;
    FChanged.wait(lock, [this] { return !FPaused; });
    if (ASpan) *ASpan = {FPausedAt, FResumedAt};
    return true;
  }

private:
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  bool FPaused = false;
  TClock::time_point FPausedAt, FResumedAt;
};
