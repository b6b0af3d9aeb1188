// The main-thread queue: blocking calls, FIFO posts, cancelling, rethrowing.
#include "MainThread.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

TEST(MainThread, CallFromMainThreadRunsAtOnce) {
  ASSERT_TRUE(TMainThread::IsMainThread());
  int ran = 0;
  TMainThread::Call([&] { ++ran; });
  EXPECT_EQ(ran, 1);
}

TEST(MainThread, CallFromWorkerWaitsForProcessAndRethrows) {
  std::atomic<int> stage{0};
  std::string caught;
  std::thread worker([&] {
    TMainThread::Call([&] { stage = 1; });
    stage = 2;
    try {
      TMainThread::Call([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    stage = 3;
  });
  const bool done = WaitUntil([&] { return stage == 3; }, TWaitMode::ServiceMainThread);
  worker.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(caught, "boom");
}

TEST(MainThread, PostsRunInOrderAndCancelTakesBackAnOwnersItems) {
  std::vector<int> order;
  int owner = 0;
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i)
      TMainThread::Post([&order, i] { order.push_back(i); });
    TMainThread::Post([&order] { order.push_back(99); }, &owner);
  });
  worker.join();
  EXPECT_TRUE(TMainThread::HasPending(&owner));
  TMainThread::Cancel(&owner);
  EXPECT_FALSE(TMainThread::HasPending(&owner));
  TMainThread::Process();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(MainThread, WakerAndPumpHookAreCalled) {
  std::atomic<int> wakes{0};
  TMainThread::SetWaker([&] { ++wakes; });
  TMainThread::Post([] {});
  TMainThread::SetWaker(nullptr);
  EXPECT_EQ(wakes, 1);
  TMainThread::Process();

  int pumped = 0;
  TMainThread::SetPumpHook([&] { ++pumped; });
  TMainThread::PumpMessages();
  TMainThread::SetPumpHook(nullptr);
  TMainThread::PumpMessages(); // no hook: returns at once
  EXPECT_EQ(pumped, 1);
}
