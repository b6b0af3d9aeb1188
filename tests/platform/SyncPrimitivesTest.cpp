// The manual-reset event, the pause gate, worker threads and shared libraries.
#include "DynLib.h"
#include "ManualResetEvent.h"
#include "PauseGate.h"
#include "Thread.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>

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
