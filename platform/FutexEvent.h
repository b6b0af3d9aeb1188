// A manual-reset event on a Linux futex, for the hot paths where a producer
// sets it for every item: setting costs a system call only while a thread
// waits, and a wait costs one (a condition variable costs more on both
// sides).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

class TFutexEvent {
public:
  TFutexEvent() = default;
  TFutexEvent(const TFutexEvent&) = delete;
  TFutexEvent& operator=(const TFutexEvent&) = delete;

  void Set();
  void Reset() { FState.store(0, std::memory_order_seq_cst); }
  bool IsSet() const { return FState.load(std::memory_order_acquire) != 0; }
  // Answers whether the event was set within ATimeout.
  bool WaitFor(std::chrono::milliseconds ATimeout) const;

private:
  mutable std::atomic<uint32_t> FState{0}; // 1 while set
  mutable std::atomic<int> FWaiters{0};
};
