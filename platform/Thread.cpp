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
  FThread = std::thread([body = std::move(ABody), APriority] {
    if (APriority != TThreadPriority::tpNormal) SetCurrentThreadPriority(APriority);
    body();
  });
}

void TWorkerThread::Join() {
  if (FThread.joinable() && !IsCurrent()) FThread.join();
}
