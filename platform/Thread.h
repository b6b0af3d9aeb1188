// Thread helpers: the priorities of the class library, mapped to nice values,
// and a worker thread that is always joined.
#pragma once

#include <functional>
#include <thread>

enum class TThreadPriority {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

// Best effort: raising a priority needs privileges, and a refusal is ignored.
void SetCurrentThreadPriority(TThreadPriority APriority);
// The kernel's id of the calling thread.
int CurrentThreadId();

class TWorkerThread {
public:
  TWorkerThread() = default;
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;
  ~TWorkerThread() { Join(); }

  void Start(std::function<void()> ABody, TThreadPriority APriority = TThreadPriority::tpNormal);
  void Join();
  bool Joinable() const { return FThread.joinable(); }
  bool IsCurrent() const { return FThread.get_id() == std::this_thread::get_id(); }

private:
  std::thread FThread;
};
