// A manual-reset event: stays signalled until reset, releases every waiter.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class TManualResetEvent {
public:
  explicit TManualResetEvent(bool ASignalled = false) : FSignalled(ASignalled) {}

  void Set() {
    {
      std::lock_guard lock(FLock);
      FSignalled = true;
    }
    FChanged.notify_all();
  }
  void Reset() {
    std::lock_guard lock(FLock);
    FSignalled = false;
  }
  bool IsSet() const {
    std::lock_guard lock(FLock);
    return FSignalled;
  }
  // Answers whether the event was signalled within ATimeout.
  bool WaitFor(std::chrono::milliseconds ATimeout) const {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, ATimeout, [this] { return FSignalled; });
  }
  void Wait() const {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FSignalled; });
  }

private:
  mutable std::mutex FLock;
  mutable std::condition_variable FChanged;
  bool FSignalled;
};
