// The turn of one kind of event: its handler runs one call at a time. A
// thread that waits for the turn gives up once its reason to wait is gone
// (its task was asked to stop), so a handler that stops the tasks and waits
// for them never waits on a task that waits for it.
#pragma once

#include <chrono>
#include <mutex>

class TEventTurn {
public:
  // Takes the turn and answers true, or answers false as soon as AGiveUp()
  // does while waiting.
  template <class TGiveUp> bool Enter(TGiveUp&& AGiveUp) {
    using namespace std::chrono_literals;
    while (!FLock.try_lock_for(5ms))
      if (AGiveUp()) return false;
    return true;
  }
  void Leave() { FLock.unlock(); }

private:
  std::timed_mutex FLock;
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
