// The encoder's run control over fake conversions: the order of terminate
// notices, how many tasks run at once, stop, pause, and the guards.
#include "FakeConversion.h"
#include "LibAVForTests.h"
#include "MainThread.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <thread>

using namespace std::chrono_literals;

namespace {

struct TNotice {
  int TaskIndex;
  bool Finished;
  bool Exception;
  std::string Message;
  std::thread::id Thread;
};

class EncoderRun : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    Encoder.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& info) {
      Notices.push_back({info.TaskIndex, info.Finished, info.Exception, info.ExceptionMsg,
                         std::this_thread::get_id()});
    };
  }
  // Runs the main thread's queue until the all-done notice has arrived.
  void WaitForAllDone() {
    ASSERT_TRUE(WaitUntil([&] { return !Notices.empty() && Notices.back().TaskIndex == -1; },
                          TWaitMode::ServiceMainThread))
        << "no all-done notice";
  }
  std::vector<int> NoticeOrder() const {
    std::vector<int> order;
    for (const auto& n : Notices)
      order.push_back(n.TaskIndex);
    return order;
  }

  TFakeEncoder Encoder;
  std::vector<TNotice> Notices;
};

TEST_F(EncoderRun, UnthreadedRunDeliversEveryNoticeInTheCallingThreadBeforeReturning) {
  Encoder.AddTasks(2);
  Encoder.StartTask(0);
  ASSERT_EQ(NoticeOrder(), (std::vector<int>{0, 1, -1}));
  for (const auto& n : Notices) {
    EXPECT_EQ(n.Thread, std::this_thread::get_id());
    EXPECT_TRUE(n.Finished);
    EXPECT_FALSE(n.Exception);
  }
  EXPECT_EQ(Encoder.Script.Order, (std::vector<int>{0, 1}));
  EXPECT_TRUE(Encoder.Working());
  Encoder.ClearTasks();
  EXPECT_FALSE(Encoder.Working());
  EXPECT_EQ(Encoder.TaskCount(), 0);
}

TEST_F(EncoderRun, TheAllDoneHandlerOfAnUnthreadedRunMayClearTheTasks) {
  // The application clears its tasks when the last notice arrives; in an
  // unthreaded run that notice must not come while a task is on the stack.
  Encoder.OnTerminate = [this](TCustomEncoder* sender, const TTerminateInfo& info) {
    Notices.push_back({info.TaskIndex, info.Finished, info.Exception, info.ExceptionMsg, {}});
    if (info.TaskIndex == -1) sender->ClearTasks();
  };
  Encoder.AddTasks(2);
  Encoder.StartTask(0);
  EXPECT_EQ(NoticeOrder(), (std::vector<int>{0, 1, -1}));
  EXPECT_EQ(Encoder.TaskCount(), 0);
  EXPECT_FALSE(Encoder.Working());
}

TEST_F(EncoderRun, OneAtATimeRunsTasksInOrderEachStartedByTheThreadOfTheLastOne) {
  Encoder.AddTasks(3);
  Encoder.StartTask(1);
  WaitForAllDone();
  EXPECT_EQ(NoticeOrder(), (std::vector<int>{0, 1, 2, -1}));
  EXPECT_EQ(Encoder.Script.Order, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Encoder.Script.MostRunning, 1);
  for (const auto& id : Encoder.Script.StartThreads)
    EXPECT_NE(id, std::this_thread::get_id());
  for (const auto& n : Notices)
    EXPECT_EQ(n.Thread, std::this_thread::get_id());
}

TEST_F(EncoderRun, TwoAtATimeRunsTwoTasksAtOnce) {
  // Each loop waits until a second one runs, so only a parallel start passes.
  std::atomic<int> begun{0};
  Encoder.Script.OnBegin = [&](int) {
    ++begun;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (begun < 2 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(1ms);
  };
  Encoder.AddTasks(4);
  Encoder.StartTask(2);
  WaitForAllDone();
  EXPECT_EQ(Encoder.Script.MostRunning, 2);
  EXPECT_EQ(Notices.size(), 5u);
  EXPECT_EQ(Notices.back().TaskIndex, -1);
}

TEST_F(EncoderRun, StopWhileAWorkerWaitsInAProgressDeliveryCompletesAndClearTasksFollows) {
  Encoder.Script.Passes = 1000000;
  std::atomic<int> progressCalls{0};
  Encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo) { ++progressCalls; };
  Encoder.AddTasks(3);
  Encoder.StartTask(1);
  // The main thread does not process its queue here, so the worker's
  // progress reports wait in it.
  ASSERT_TRUE(WaitUntil([&] { return Encoder.Script.PassesDone >= 1; }));
  Encoder.Stop(true);
  EXPECT_NO_THROW(Encoder.ClearTasks());
  TMainThread::Process();
  // A report posted after the stop's last look at the queue arrives now.
  EXPECT_GE(progressCalls, 1);
  ASSERT_EQ(NoticeOrder(), (std::vector<int>{0, 1, 2, -1}));
  // The waiting tasks never ran: neither finished nor failed.
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(Notices[i].Finished) << i;
    EXPECT_FALSE(Notices[i].Exception) << i;
  }
  EXPECT_EQ(Encoder.Script.Order, (std::vector<int>{0}));
}

// Stop(True) runs the handlers while it waits; one that raises at the first
// task's end must not leave the other tasks running.
TEST_F(EncoderRun, AHandlerThatRaisesDuringStopStillLetsEveryTaskEnd) {
  Encoder.Script.Passes = 1000000;
  Encoder.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& AInfo) {
    Notices.push_back({AInfo.TaskIndex, AInfo.Finished, AInfo.Exception, AInfo.ExceptionMsg, {}});
    throw std::runtime_error("handler failed");
  };
  Encoder.AddTasks(3);
  Encoder.StartTask(3);
  ASSERT_TRUE(WaitUntil([&] { return Encoder.Script.Running == 3; }));
  EXPECT_THROW(Encoder.Stop(true), std::runtime_error);
  for (int i = 0; i < 3; ++i)
    EXPECT_FALSE(Encoder.FakeTask(i)->Running()) << "task " << i;
  EXPECT_EQ(Encoder.Script.Running, 0);
  EXPECT_NO_THROW(Encoder.ClearTasks());
}

TEST_F(EncoderRun, APausedTaskMakesNoProgressUntilResume) {
  Encoder.Script.Passes = 100000;
  Encoder.AddTasks(1);
  Encoder.StartTask(1);
  ASSERT_TRUE(WaitUntil([&] { return Encoder.Script.PassesDone >= 3; }));
  Encoder.Pause();
  EXPECT_TRUE(Encoder.Paused());
  std::this_thread::sleep_for(30ms); // lets a pass that was under way end
  const int held = Encoder.Script.PassesDone;
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Encoder.Script.PassesDone, held);
  Encoder.Resume();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (Encoder.Script.PassesDone < held + 3 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  EXPECT_GE(Encoder.Script.PassesDone, held + 3);
  Encoder.Stop(true);
  WaitForAllDone();
  EXPECT_FALSE(Notices.front().Finished);
}

TEST_F(EncoderRun, StopWithoutWaitingReleasesAPausedTask) {
  Encoder.Script.Passes = 100000;
  Encoder.AddTasks(1);
  Encoder.StartTask(1);
  ASSERT_TRUE(
      WaitUntil([&] { return Encoder.Script.PassesDone >= 1; }, TWaitMode::ServiceMainThread));
  Encoder.Pause();
  Encoder.Stop(false);
  WaitForAllDone();
  EXPECT_EQ(NoticeOrder(), (std::vector<int>{0, -1}));
}

TEST_F(EncoderRun, GuardedOperationsRaiseWhileWorking) {
  Encoder.Script.Passes = 100000;
  Encoder.AddTasks(1);
  Encoder.StartTask(1);
  auto message = [](const std::function<void()>& AOperation) {
    try {
      AOperation();
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([&] { Encoder.AddTask("x"); }), "Cannot AddTask while working.");
  EXPECT_EQ(message([&] { Encoder.SetOutput(0, "x"); }), "Cannot SetOutput while working.");
  EXPECT_EQ(message([&] { Encoder.RemoveTask(0); }), "Cannot RemoveTask while working.");
  EXPECT_EQ(message([&] { Encoder.StartTask(1); }), "Cannot StartTask while working.");
  EXPECT_EQ(message([&] { Encoder.ClearTasks(); }), "Cannot ClearTasks while working.");
  Encoder.Stop(true);
  EXPECT_EQ(message([&] { Encoder.AddTask("x"); }), "Cannot AddTask while working.");
  EXPECT_EQ(message([&] { Encoder.ClearTasks(); }), "no exception");
  EXPECT_EQ(message([&] { Encoder.AddTask("in"); }), "no exception");
}

TEST_F(EncoderRun, HandlersCannotClearTasksWhileStopPumpsMessages) {
  Encoder.Script.Passes = 1000000;
  std::string seen;
  TManualResetEvent handled;
  Encoder.OnProgress = [&](TCustomEncoder* sender, PProgressInfo) {
    if (!seen.empty()) return;
    try {
      sender->ClearTasks();
      seen = "cleared";
    } catch (const std::exception& e) {
      seen = e.what();
    }
    handled.Set();
  };
  // The worker goes on only once its first report was handled, so that
  // report can only be delivered by the stop's wait.
  Encoder.Script.AfterReport = [&](int) { handled.WaitFor(20s); };
  Encoder.AddTasks(2);
  Encoder.StartTask(1);
  ASSERT_TRUE(WaitUntil([&] { return Encoder.Script.PassesDone >= 1; }));
  Encoder.Stop(true); // runs the pending progress delivery while it waits
  EXPECT_EQ(seen, "Cannot ClearTasks while working.");
  TMainThread::Process();
  EXPECT_EQ(Encoder.TaskCount(), 2);
}

TEST_F(EncoderRun, ATaskThatCannotStartStillReportsAndDoesNotHoldUpTheOthers) {
  Encoder.AddTasks(1);
  ASSERT_EQ(Encoder.AddTask("no output"), 1); // never given an output
  Encoder.AddTasks(1);
  Encoder.StartTask(1);
  WaitForAllDone();
  ASSERT_EQ(NoticeOrder(), (std::vector<int>{0, 1, 2, -1}));
  EXPECT_TRUE(Notices[1].Exception);
  EXPECT_EQ(Notices[1].Message, "At least one output file must be specified");
  EXPECT_FALSE(Notices[2].Exception);
  EXPECT_TRUE(Notices[2].Finished);
  EXPECT_NO_THROW(Encoder.ClearTasks());
}

TEST_F(EncoderRun, AFailingLoopIsReportedWithItsMessage) {
  Encoder.AddTasks(2);
  Encoder.FakeTask(0)->FailAtPass = 2;
  Encoder.StartTask(1);
  WaitForAllDone();
  ASSERT_EQ(NoticeOrder(), (std::vector<int>{0, 1, -1}));
  EXPECT_TRUE(Notices[0].Exception);
  EXPECT_EQ(Notices[0].Message, "decoding failed");
  EXPECT_FALSE(Notices[0].Finished);
  EXPECT_TRUE(Notices[1].Finished);
}

TEST_F(EncoderRun, AnEmptyListIsAllDoneAtOnce) {
  Encoder.StartTask(1);
  EXPECT_EQ(NoticeOrder(), (std::vector<int>{-1}));
  EXPECT_NO_THROW(Encoder.ClearTasks());
  EXPECT_FALSE(Encoder.Working());
}

TEST_F(EncoderRun, WithoutATerminateHandlerTasksStillFinishAndTheNextOnesStart) {
  Encoder.OnTerminate = nullptr;
  Encoder.AddTasks(3);
  Encoder.StartTask(1);
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  for (;;) {
    try {
      Encoder.ClearTasks(); // succeeds only once all are done
      break;
    } catch (const std::exception&) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline);
      TMainThread::ProcessWait(5ms);
    }
  }
  EXPECT_EQ(Encoder.Script.Order, (std::vector<int>{0, 1, 2}));
}

TEST_F(EncoderRun, ProgressReachesTheMainThreadWithTheTaskIndex) {
  std::vector<std::pair<int, int>> reports;
  Encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo info) {
    EXPECT_TRUE(TMainThread::IsMainThread());
    reports.emplace_back(info->TaskIndex, info->FrameNumber);
  };
  Encoder.Script.Passes = 3;
  Encoder.AddTasks(2);
  Encoder.StartTask(1);
  WaitForAllDone();
  // A report still queued is replaced by a newer one of its task, so a slow
  // main thread may miss some; each task's last one always arrives.
  ASSERT_FALSE(reports.empty());
  for (size_t i = 1; i < reports.size(); ++i)
    EXPECT_LT(reports[i - 1], reports[i]) << "in the order of the tasks and their frames";
  EXPECT_NE(std::find(reports.begin(), reports.end(), std::pair{0, 2}), reports.end());
  EXPECT_EQ(reports.back(), std::pair(1, 2));
}

TEST(EncoderLife, DestroyingAWorkingEncoderJoinsItsThreadsAndCancelsItsNotices) {
  LoadLibAVForTest();
  int notices = 0;
  {
    TFakeEncoder encoder;
    encoder.Script.Passes = 1000000;
    encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo&) { ++notices; };
    encoder.AddTasks(3);
    encoder.StartTask(2);
    ASSERT_TRUE(WaitUntil([&] { return encoder.Script.PassesDone >= 2; }));
  }
  TMainThread::Process();
  EXPECT_EQ(notices, 0);
}

} // namespace
