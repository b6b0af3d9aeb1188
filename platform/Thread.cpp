// Thread helpers (see Thread.h).
#include "Thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void SetCurrentThreadPriority(TThreadPriority APriority) {
  static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -15};
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()),
                    kNice[static_cast<int>(APriority)]);
}

int CurrentThreadId() {
  return static_cast<int>(syscall(SYS_gettid));
}

void TWorkerThread::Start(std::function<void()> ABody, TThreadPriority APriority) {
  Join();
  FThread = std::thread([this, body = std::move(ABody), APriority] {
    FId = std::this_thread::get_id();
    struct TClear {
      std::atomic<std::thread::id>& Id;
      ~TClear() { Id = std::thread::id(); }
    } clear{FId};
    if (APriority != TThreadPriority::tpNormal) SetCurrentThreadPriority(APriority);
    body();
  });
}

void TWorkerThread::Join() {
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}
