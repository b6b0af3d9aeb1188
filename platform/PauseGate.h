// A cooperative pause: the worker passes the gate at a point of its choosing
// (holding no lock) and waits there while the gate is closed. The gate keeps
// every span it was closed, from Pause to Resume, until the worker has
// passed: a pause the worker never waited for (closed and opened again
// between two passes) and several pauses before one pass are all reported.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

class TPauseGate {
public:
  using TClock = std::chrono::steady_clock;
  // One span the gate was closed: from Pause to Resume.
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
      if (FPaused) FSpans.push_back({FPausedAt, TClock::now()});
      FPaused = false;
    }
    FChanged.notify_all();
  }
  bool IsPaused() const {
    std::lock_guard lock(FLock);
    return FPaused;
  }
  // Blocks while paused; answers whether the gate was closed since the last
  // pass (waited for or not), so that the caller can restart any time-out
  // clock it keeps. ASpans, when given, receives those spans in order.
  bool Pass(std::vector<TSpan>* ASpans = nullptr) {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return !FPaused; });
    if (FSpans.empty()) return false;
    if (ASpans) *ASpans = FSpans;
    FSpans.clear();
    return true;
  }

private:
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  bool FPaused = false;
  TClock::time_point FPausedAt;
  std::vector<TSpan> FSpans; // closed since the last pass
};
