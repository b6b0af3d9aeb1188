// The interruptible sleep (see InterruptibleSleep.h).
#include "InterruptibleSleep.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

TInterruptibleSleep::TInterruptibleSleep() : FEvent(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TInterruptibleSleep::~TInterruptibleSleep() {
  if (FEvent >= 0) close(FEvent);
}

bool TInterruptibleSleep::SleepFor(int64_t AMicroseconds, int AAlsoReadable) {
  if (IsInterrupted()) return false;
  if (AMicroseconds <= 0) return true;
  // Without the event (no descriptor left): short sleeps that look at the flag.
  if (FEvent < 0 && AMicroseconds > 10000) AMicroseconds = 10000;
  // A negative descriptor is passed over.
  pollfd events[2] = {{FEvent, POLLIN, 0}, {AAlsoReadable, POLLIN, 0}};
  const timespec wait{static_cast<time_t>(AMicroseconds / 1000000),
                      static_cast<long>(AMicroseconds % 1000000 * 1000)};
  // A signal may end it early; the caller looks at the clock and sleeps again.
  ppoll(events, 2, &wait, nullptr);
  return !IsInterrupted();
}

void TInterruptibleSleep::Interrupt() {
  FInterrupted.store(true, std::memory_order_release);
  if (FEvent >= 0) {
    const uint64_t one = 1;
    while (write(FEvent, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }
}
