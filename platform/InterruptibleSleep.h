// A sleep that another thread can cut short for good: one system call a
// sleep, to the microsecond, for threads that wake on a schedule (the grab
// thread) and must still end at once when asked.
#pragma once

#include <atomic>
#include <cstdint>

class TInterruptibleSleep {
public:
  TInterruptibleSleep();
  ~TInterruptibleSleep();
  TInterruptibleSleep(const TInterruptibleSleep&) = delete;
  TInterruptibleSleep& operator=(const TInterruptibleSleep&) = delete;

  // Sleeps AMicroseconds, or until the descriptor AAlsoReadable (if not
  // negative) has something to read; false at once, or as soon as it
  // happens, once Interrupt was called.
  bool SleepFor(int64_t AMicroseconds, int AAlsoReadable = -1);
  // Ends the current sleep and every later one. Any thread may call it.
  void Interrupt();
  bool IsInterrupted() const { return FInterrupted.load(std::memory_order_acquire); }

private:
  int FEvent = -1; // an eventfd, readable once interrupted
  std::atomic<bool> FInterrupted{false};
};
