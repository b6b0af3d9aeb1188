// The turn of one kind of event: its handler runs one call at a time. A
// thread that waits for the turn gives up once its reason to wait is gone
// (its task was asked to stop), so a handler that stops the tasks and waits
// for them never waits on a task that waits for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class TEventTurn {
public:
  // Takes the turn and answers true, or answers false as soon as AGiveUp()
  // does while waiting.
  template <class TGiveUp> bool Enter(TGiveUp&& AGiveUp) {
    using namespace std::chrono_literals;
    std::unique_lock lock(FLock);
    while (FTaken) {
      if (AGiveUp()) return false;
      FFreed.wait_for(lock, 5ms);
    }
    FTaken = true;
    return true;
  }
  void Leave() {
    {
      std::lock_guard lock(FLock);
      FTaken = false;
    }
    FFreed.notify_one();
  }

private:
  std::mutex FLock;
  std::condition_variable FFreed;
  bool FTaken = false; // guarded by FLock
};

// Holds the turn for a scope when it was taken.
class TEventTurnHold {
public:
  template <class TGiveUp>
  TEventTurnHold(TEventTurn& ATurn, TGiveUp&& AGiveUp)
      : FTurn(ATurn), FHeld(ATurn.Enter(AGiveUp)) {}
  ~TEventTurnHold() {
    if (FHeld) FTurn.Leave();
  }
  TEventTurnHold(const TEventTurnHold&) = delete;
  TEventTurnHold& operator=(const TEventTurnHold&) = delete;
  bool Held() const { return FHeld; }

private:
  TEventTurn& FTurn;
  bool FHeld;
};
