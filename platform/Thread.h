// Thread helpers: the priorities of the class library, mapped to nice values,
// and a worker thread that is always joined.
#pragma once

#include <atomic>
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
  // Whether the caller is this thread; safe from any thread at any time.
  bool IsCurrent() const { return FId.load() == std::this_thread::get_id(); }

private:
  std::thread FThread;
  // The running body's thread, set by the body itself (so that no other
  // thread reads the std::thread while Start writes it) and cleared when the
  // body ends (so that a later thread given the same id is not taken for it).
  std::atomic<std::thread::id> FId{};
};
