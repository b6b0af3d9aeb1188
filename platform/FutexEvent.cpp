// The futex event (see FutexEvent.h).
#include "FutexEvent.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

long Futex(std::atomic<uint32_t>& AWord, int AOperation, uint32_t AValue,
           const timespec* ATimeout) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
  return syscall(SYS_futex, reinterpret_cast<uint32_t*>(&AWord), AOperation | FUTEX_PRIVATE_FLAG,
                 AValue, ATimeout, nullptr, FUTEX_BITSET_MATCH_ANY);
}

} // namespace

void TFutexEvent::Set() {
  // Both sides use sequentially consistent order: either the waiter sees
  // the state set, or this sees the waiter and wakes it.
  FState.store(1, std::memory_order_seq_cst);
  if (FWaiters.load(std::memory_order_seq_cst) > 0) Futex(FState, FUTEX_WAKE, INT_MAX, nullptr);
}

bool TFutexEvent::WaitFor(std::chrono::milliseconds ATimeout) const {
  if (IsSet()) return true;
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  const int64_t nanoseconds = deadline.tv_nsec + ATimeout.count() % 1000 * 1000000;
  deadline.tv_sec += static_cast<time_t>(ATimeout.count() / 1000 + nanoseconds / 1000000000);
  deadline.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
  FWaiters.fetch_add(1, std::memory_order_seq_cst);
  bool set = false;
  for (;;) {
    if (FState.load(std::memory_order_seq_cst) != 0) {
      set = true;
      break;
    }
    // Sleeps only while the word is still 0; an absolute time, so that a
    // spurious wake-up does not stretch the wait.
    if (Futex(FState, FUTEX_WAIT_BITSET, 0, &deadline) < 0 && errno == ETIMEDOUT) {
      set = FState.load(std::memory_order_seq_cst) != 0;
      break;
    }
  }
  FWaiters.fetch_sub(1, std::memory_order_seq_cst);
  return set;
}
