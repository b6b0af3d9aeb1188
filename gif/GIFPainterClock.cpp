// The system's steady clock for the painters.
#include "GIFPainterClock.h"

#include <chrono>
#include <thread>

namespace {

class TSystemClock : public TGIFPainterClock {
public:
  int64_t Now() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  bool WaitFor(std::unique_lock<std::mutex>& ALock, std::condition_variable& AWake,
               int64_t AMilliseconds, const std::function<bool()>& AWoken) override {
    if (AMilliseconds < 0) {
      AWake.wait(ALock, AWoken);
      return true;
    }
    return AWake.wait_for(ALock, std::chrono::milliseconds(AMilliseconds), AWoken);
  }

  void Sleep(int64_t AMilliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(AMilliseconds));
  }
};

} // namespace

std::shared_ptr<TGIFPainterClock> TGIFPainterClock::System() {
  static const std::shared_ptr<TGIFPainterClock> clock = std::make_shared<TSystemClock>();
  return clock;
}
