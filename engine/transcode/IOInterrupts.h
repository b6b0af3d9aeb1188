// The I/O interrupts of a task: the libraries poll them during blocking
// reads and writes, and a non-zero answer gives the operation up. A task
// breaks all of its I/O at once (IOBroken), times each blocking operation
// out after ReadTimeout or WriteTimeout, and a start time of 0 cancels the
// operation at its next poll.
#pragma once

#include <atomic>
#include <cstdint>

extern "C" {
#include <libavformat/avio.h>
}

// Microseconds of a monotonic clock.
using TInterruptClock = int64_t (*)();
// The start time of no timed operation.
inline constexpr int64_t kNoIOStartTime = INT64_MAX;

class TIOInterrupts {
public:
  // ALogSender is what the poll's messages name as their sender (the task).
  explicit TIOInterrupts(void* ALogSender);
  TIOInterrupts(const TIOInterrupts&) = delete;
  TIOInterrupts& operator=(const TIOInterrupts&) = delete;

  std::atomic<bool> IOBroken{false};
  std::atomic<int> ReadTimeout{30000};  // milliseconds; 0 or less: no time-out
  std::atomic<int> WriteTimeout{30000}; // milliseconds
  std::atomic<int64_t> ReadStartTime{kNoIOStartTime};
  std::atomic<int64_t> WriteStartTime{kNoIOStartTime};
  // Their opaque pointer is this object.
  const AVIOInterruptCB ReadInterrupt;
  const AVIOInterruptCB WriteInterrupt;

  // Stamp the start of a blocking input or output operation, or end its timing.
  void StartReadTimer();
  void StartWriteTimer();
  void StopReadTimer() { ReadStartTime = kNoIOStartTime; }
  void StopWriteTimer() { WriteStartTime = kNoIOStartTime; }
  // The clock of the time-outs (av_gettime_relative unless replaced); set it
  // before any I/O starts.
  void SetInterruptClock(TInterruptClock AClock) { FClock = AClock; }
  int64_t InterruptClock() const;
  // What the libraries call; 1 gives the operation up. Never throws.
  static int ReadInterruptCallback(void* AOpaque) noexcept;
  static int WriteInterruptCallback(void* AOpaque) noexcept;

private:
  // What an interrupt callback last reported for the current operation, so
  // that a poll repeated many times a second logs it once.
  enum TIOReport : int { irNone, irBroken, irTimeout, irCanceled };
  struct TIODirection {
    const std::atomic<int>& Timeout;
    const std::atomic<int64_t>& StartTime;
    std::atomic<int>& Reported;
    const char* TimeoutText;
    const char* CanceledText;
  };
  int CheckInterrupt(const TIODirection& ADirection) noexcept;

  void* FLogSender;
  std::atomic<TInterruptClock> FClock{nullptr};
  std::atomic<int> FReadReported{irNone};
  std::atomic<int> FWriteReported{irNone};
};
