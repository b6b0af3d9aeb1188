// The clock the animation painters wait by: the time in milliseconds, a
// wait that a painter's wake-up ends early, and the sleeps of painters that
// run in the caller's thread. The steady clock of the system serves by
// default; tests hand a picture a clock of their own.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class TGIFPainterClock {
public:
  virtual ~TGIFPainterClock() = default;

  // Milliseconds since some fixed moment.
  virtual int64_t Now() = 0;
  // Waits, holding ALock between looks, until AWoken answers true or
  // AMilliseconds have passed (a negative time waits without end); answers
  // AWoken().
  virtual bool WaitFor(std::unique_lock<std::mutex>& ALock, std::condition_variable& AWake,
                       int64_t AMilliseconds, const std::function<bool()>& AWoken) = 0;
  // Sleeps without being woken.
  virtual void Sleep(int64_t AMilliseconds) = 0;

  // The system's steady clock.
  static std::shared_ptr<TGIFPainterClock> System();
};
