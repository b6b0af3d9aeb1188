// The manual-reset events, the interruptible sleep, the pause gate, worker
// threads and shared libraries.
#include "DynLib.h"
#include "FutexEvent.h"
#include "InterruptibleSleep.h"
#include "ManualResetEvent.h"
#include "PauseGate.h"
#include "Thread.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace std::chrono_literals;

TEST(ManualResetEvent, StaysSignalledUntilReset) {
  TManualResetEvent event(true);
  EXPECT_TRUE(event.WaitFor(0ms));
  EXPECT_TRUE(event.WaitFor(0ms));
  event.Reset();
  EXPECT_FALSE(event.WaitFor(10ms));
  TWorkerThread setter;
  setter.Start([&] { event.Set(); });
  EXPECT_TRUE(event.WaitFor(5s));
}

TEST(FutexEvent, StaysSignalledUntilReset) {
  TFutexEvent event;
  EXPECT_FALSE(event.IsSet());
  event.Set();
  EXPECT_TRUE(event.WaitFor(0ms));
  EXPECT_TRUE(event.WaitFor(0ms));
  event.Reset();
  const auto began = std::chrono::steady_clock::now();
  EXPECT_FALSE(event.WaitFor(20ms));
  EXPECT_GE(std::chrono::steady_clock::now() - began, 20ms);
  TWorkerThread setter;
  setter.Start([&] {
    std::this_thread::sleep_for(20ms); // most likely while the wait below is under way
    event.Set();
  });
  EXPECT_TRUE(event.WaitFor(5s));
}

// Two threads hand a turn back and forth: a set that slipped in between a
// waiter's look and its sleep would hang a round until its time-out.
TEST(FutexEvent, NoWakeUpIsLost) {
  TFutexEvent ping, pong;
  constexpr int kRounds = 2000;
  std::atomic<int> answered{0};
  TWorkerThread other;
  other.Start([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (!ping.WaitFor(5s)) return;
      ping.Reset();
      ++answered;
      pong.Set();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    ping.Set();
    ASSERT_TRUE(pong.WaitFor(5s)) << "round " << i;
    pong.Reset();
  }
  other.Join();
  EXPECT_EQ(answered, kRounds);
}

TEST(InterruptibleSleep, SleepsItsTimeUntilInterruptedThenNoMore) {
  TInterruptibleSleep sleep;
  auto began = std::chrono::steady_clock::now();
  EXPECT_TRUE(sleep.SleepFor(20000));
  EXPECT_GE(std::chrono::steady_clock::now() - began, 20ms);
  TWorkerThread interrupter;
  interrupter.Start([&] {
    std::this_thread::sleep_for(50ms);
    sleep.Interrupt();
  });
  began = std::chrono::steady_clock::now();
  EXPECT_FALSE(sleep.SleepFor(int64_t{3600} * 1000000)); // an hour
  EXPECT_LT(std::chrono::steady_clock::now() - began, 5s);
  interrupter.Join();
  EXPECT_TRUE(sleep.IsInterrupted());
  began = std::chrono::steady_clock::now();
  EXPECT_FALSE(sleep.SleepFor(1000000));
  EXPECT_LT(std::chrono::steady_clock::now() - began, 500ms) << "later sleeps end at once";
}

TEST(PauseGate, HoldsTheWorkerUntilResume) {
  TPauseGate gate;
  std::atomic<int> passes{0};
  std::atomic<bool> stop{false};
  gate.Pause();
  TWorkerThread worker;
  worker.Start([&] {
    while (!stop) {
      gate.Pass();
      ++passes;
      std::this_thread::sleep_for(1ms);
    }
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(passes, 0);
  gate.Resume();
  EXPECT_TRUE(WaitUntil([&] { return passes >= 3; }));
  stop = true;
  worker.Join();
  EXPECT_FALSE(gate.Pass()); // open: no wait
}

// However the pauses fall between two passes, the worker learns of each one.
TEST(PauseGate, ReportsEverySpanSinceTheLastPassInOrder) {
  using TClock = TPauseGate::TClock;
  TPauseGate gate;
  std::vector<TPauseGate::TSpan> spans;
  // A pause and resume the worker never waited for, then a second one, and
  // a third that is still closed when the worker arrives.
  const auto before = TClock::now();
  gate.Pause();
  std::this_thread::sleep_for(20ms);
  gate.Pause(); // already closed: the same span
  gate.Resume();
  const auto between = TClock::now();
  gate.Resume(); // already open: no span
  gate.Pause();
  std::this_thread::sleep_for(10ms);
  gate.Resume();
  gate.Pause();
  TWorkerThread worker;
  std::atomic<bool> passed{false}, reported{false};
  worker.Start([&] {
    reported = gate.Pass(&spans);
    passed = true;
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(passed) << "a closed gate holds the worker";
  gate.Resume();
  const auto after = TClock::now();
  worker.Join();
  EXPECT_TRUE(reported);
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_GE(spans[0].Paused, before);
  EXPECT_GE(spans[0].Resumed - spans[0].Paused, 20ms);
  EXPECT_LE(spans[0].Resumed, between);
  for (size_t i = 1; i < spans.size(); ++i) {
    EXPECT_GE(spans[i].Paused, spans[i - 1].Resumed) << "span " << i;
    EXPECT_GT(spans[i].Resumed, spans[i].Paused) << "span " << i;
  }
  EXPECT_GE(spans[2].Resumed - spans[2].Paused, 30ms);
  EXPECT_LE(spans[2].Resumed, after);
  // Each span is reported once.
  EXPECT_FALSE(gate.Pass(&spans));
}

TEST(DynLib, OpensTheCLibraryAndReportsDlerrorTexts) {
  TDynLib lib;
  std::string error;
  ASSERT_TRUE(lib.Open("libc.so.6", error)) << error;
  EXPECT_NE(lib.Symbol("strlen", error), nullptr);
  EXPECT_EQ(lib.Symbol("no_such_function_here", error), nullptr);
  EXPECT_NE(error.find("no_such_function_here"), std::string::npos) << error;

  TDynLib missing;
  EXPECT_FALSE(missing.Open("/nonexistent/libnothing.so", error));
  EXPECT_NE(error.find("/nonexistent/libnothing.so"), std::string::npos) << error;
}
