// A cooperative pause: the worker passes the gate at a point of its choosing
// (holding no lock) and waits there while the gate is closed.
#pragma once

#include <condition_variable>
#include <mutex>

class TPauseGate {
public:
  void Pause() {
    std::lock_guard lock(FLock);
    FPaused = true;
  }
  void Resume() {
    {
      std::lock_guard lock(FLock);
      FPaused = false;
    }
    FChanged.notify_all();
  }
  bool IsPaused() const {
    std::lock_guard lock(FLock);
    return FPaused;
  }
  // Blocks while paused; answers whether it waited, so that the caller can
  // restart any time-out clock it keeps.
  bool Pass() {
    std::unique_lock lock(FLock);
    if (!FPaused) return false;
    FChanged.wait(lock, [this] { return !FPaused; });
    return true;
  }

private:
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  bool FPaused = false;
};
