// The main-thread queue: how worker threads hand work to the thread that owns
// the windows. Call blocks until the main thread has run the function; Post
// queues it in FIFO order. The host (the Qt bridge, or a test's wait loop)
// drains the queue with Process().
#pragma once

#include <chrono>
#include <functional>

class TMainThread {
public:
  using TProc = std::function<void()>;

  static bool IsMainThread();
  // Makes the calling thread the main thread; the thread that ran static
  // initialisation is the main thread until then.
  static void SetMainThread();

  // Runs AProc in the main thread and waits for it; an exception it raises is
  // rethrown here. In the main thread AProc runs at once.
  static void Call(const TProc& AProc);
  // Queues AProc for the main thread. AOwner tags it so that Cancel can take
  // back what an object queued before it dies.
  static void Post(TProc AProc, const void* AOwner = nullptr);
  static void Cancel(const void* AOwner);
  static bool HasPending(const void* AOwner);

  // Runs every queued item; answers whether any ran. Main thread only.
  static bool Process();
  // Waits up to ATimeout for an item to arrive, then runs what is queued.
  static bool ProcessWait(std::chrono::milliseconds ATimeout);

  // The host's waker is called (from any thread) after each item is queued.
  static void SetWaker(TProc AWaker);
  // The host's message pump, run by PumpMessages.
  static void SetPumpHook(TProc AHook);
  static void PumpMessages();
};
