// The main-thread queue (see MainThread.h).
#include "MainThread.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct TCallState {
  bool Done = false;
  std::exception_ptr Error;
};

struct TItem {
  TMainThread::TProc Proc;
  const void* Owner = nullptr;
};

struct TQueue {
  std::mutex Lock;
  std::condition_variable Arrived;
  std::condition_variable Finished;
  std::deque<TItem> Items;
  std::thread::id MainId = std::this_thread::get_id();
  TMainThread::TProc Waker;
  TMainThread::TProc PumpHook;
};

TQueue& Queue() {
  static TQueue queue;
  return queue;
}

// Taken at static initialisation, which runs in the program's main thread.
[[maybe_unused]] const bool kMainIdTaken = (Queue(), true);

void Wake() {
  TMainThread::TProc waker;
  {
    std::lock_guard lock(Queue().Lock);
    waker = Queue().Waker;
  }
  if (waker) waker();
}

} // namespace

bool TMainThread::IsMainThread() {
  std::lock_guard lock(Queue().Lock);
  return Queue().MainId == std::this_thread::get_id();
}

void TMainThread::SetMainThread() {
  std::lock_guard lock(Queue().Lock);
  Queue().MainId = std::this_thread::get_id();
}

void TMainThread::Call(const TProc& AProc) {
  if (IsMainThread()) {
    AProc();
    return;
  }
  auto state = std::make_shared<TCallState>();
  auto& q = Queue();
  {
    std::lock_guard lock(q.Lock);
    q.Items.push_back({[state, &AProc, &q] {
                         std::exception_ptr error;
                         try {
                           AProc();
                         } catch (...) {
                           error = std::current_exception();
                         }
                         std::lock_guard doneLock(q.Lock);
                         state->Error = error;
                         state->Done = true;
                         q.Finished.notify_all();
                       },
                       nullptr});
  }
  q.Arrived.notify_all();
  Wake();
  std::unique_lock lock(q.Lock);
  q.Finished.wait(lock, [&] { return state->Done; });
  if (state->Error) std::rethrow_exception(state->Error);
}

void TMainThread::Post(TProc AProc, const void* AOwner) {
  auto& q = Queue();
  {
    std::lock_guard lock(q.Lock);
    q.Items.push_back({std::move(AProc), AOwner});
  }
  q.Arrived.notify_all();
  Wake();
}

void TMainThread::Cancel(const void* AOwner) {
  if (!AOwner) return;
  auto& q = Queue();
  std::lock_guard lock(q.Lock);
  std::erase_if(q.Items, [AOwner](const TItem& item) { return item.Owner == AOwner; });
}

bool TMainThread::HasPending(const void* AOwner) {
  auto& q = Queue();
  std::lock_guard lock(q.Lock);
  for (const auto& item : q.Items)
    if (item.Owner == AOwner) return true;
  return false;
}

bool TMainThread::Process() {
  auto& q = Queue();
  bool ran = false;
  for (;;) {
    TItem item;
    {
      std::lock_guard lock(q.Lock);
      if (q.Items.empty()) return ran;
      item = std::move(q.Items.front());
      q.Items.pop_front();
    }
    ran = true;
    item.Proc();
  }
}

bool TMainThread::ProcessWait(std::chrono::milliseconds ATimeout) {
  auto& q = Queue();
  {
    std::unique_lock lock(q.Lock);
    q.Arrived.wait_for(lock, ATimeout, [&] { return !q.Items.empty(); });
  }
  return Process();
}

void TMainThread::SetWaker(TProc AWaker) {
  std::lock_guard lock(Queue().Lock);
  Queue().Waker = std::move(AWaker);
}

void TMainThread::SetPumpHook(TProc AHook) {
  std::lock_guard lock(Queue().Lock);
  Queue().PumpHook = std::move(AHook);
}

void TMainThread::PumpMessages() {
  TProc hook;
  {
    std::lock_guard lock(Queue().Lock);
    hook = Queue().PumpHook;
  }
  if (hook) hook();
}
