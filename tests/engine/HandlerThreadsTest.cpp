// Handlers delivered outside the main thread: what they may call without a
// deadlock or the end of the process, and how the logger hands lines over
// while its handler runs.
#include "FakeConversion.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "MainThread.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

using namespace std::chrono_literals;

namespace {

template <class TPredicate> bool WaitFor(TPredicate APredicate) {
  return WaitUntil(APredicate, TWaitMode::ServiceMainThread);
}

class WorkerDelivery : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    Encoder.TriggerEventInMainThread = false;
  }
  std::vector<int> Order() {
    std::lock_guard lock(Lock);
    return Notices;
  }

  TFakeEncoder Encoder;
  std::mutex Lock;
  std::vector<int> Notices;
};

TEST_F(WorkerDelivery, ATerminateHandlerThatStopsTheOtherTasksCompletes) {
  Encoder.Script.Passes = 1000000;
  std::atomic<bool> stopReturned{false};
  Encoder.OnTerminate = [&](TCustomEncoder* sender, const TTerminateInfo& info) {
    {
      std::lock_guard lock(Lock);
      Notices.push_back(info.TaskIndex);
    }
    if (info.TaskIndex == 0) {
      sender->Stop(true); // task 1 ends and queues its notice meanwhile
      stopReturned = true;
    }
  };
  Encoder.AddTasks(2);
  Encoder.FakeTask(0)->FailAtPass = 3;
  Encoder.StartTask(2);
  ASSERT_TRUE(WaitFor([&] { return Order().size() == 3; })) << "deadlock: " << Order().size();
  EXPECT_TRUE(stopReturned);
  EXPECT_EQ(Order(), (std::vector<int>{0, 1, -1}));
  EXPECT_NO_THROW(Encoder.ClearTasks());
}

TEST_F(WorkerDelivery, AProgressHandlerThatStopsWhileAnotherTaskWaitsForItsTurnCompletes) {
  Encoder.Script.Passes = 1000000;
  std::atomic<int> stops{0};
  Encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo& info) {
    std::lock_guard lock(Lock);
    Notices.push_back(info.TaskIndex);
  };
  Encoder.OnProgress = [&](TCustomEncoder* sender, PProgressInfo info) {
    // Holding the turn for a while makes the other task wait for it.
    std::this_thread::sleep_for(2ms);
    if (info->FrameNumber == 20 && stops++ == 0) sender->Stop(true);
  };
  Encoder.AddTasks(2);
  Encoder.StartTask(2);
  ASSERT_TRUE(WaitFor([&] { return Order().size() == 3; })) << "deadlock: " << Order().size();
  EXPECT_EQ(Order().back(), -1);
}

// The application clears its tasks when the last notice arrives; delivered in
// a task's worker thread that would destroy the thread the handler runs on.
TEST_F(WorkerDelivery, OperationsThatWouldDestroyTheHandlersThreadAreRefused) {
  struct TCase {
    const char* Name;
    std::function<void(TCustomEncoder*)> Operation;
  };
  const TCase cases[] = {{"ClearTasks", [](TCustomEncoder* e) { e->ClearTasks(); }},
                         {"RemoveTask", [](TCustomEncoder* e) { e->RemoveTask(0); }}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string refusal;
    std::atomic<bool> allDone{false};
    Encoder.OnTerminate = [&](TCustomEncoder* sender, const TTerminateInfo& info) {
      if (info.TaskIndex != -1) return;
      EXPECT_FALSE(TMainThread::IsMainThread());
      try {
        c.Operation(sender);
        refusal = "no refusal";
      } catch (const std::exception& e) {
        refusal = e.what();
      }
      allDone = true;
    };
    Encoder.AddTasks(2);
    Encoder.StartTask(1);
    ASSERT_TRUE(WaitFor([&] { return allDone.load(); }));
    EXPECT_EQ(refusal, std::string("Cannot ") + c.Name + " while working.");
    EXPECT_EQ(Encoder.TaskCount(), 2);
    // The main thread may clear them; the process went on.
    ASSERT_TRUE(WaitFor([&] {
      try {
        Encoder.ClearTasks();
        return true;
      } catch (const std::exception&) {
        return false;
      }
    }));
    EXPECT_EQ(Encoder.TaskCount(), 0);
  }
}

// ---- The logger ---------------------------------------------------------------------

class LoggerHandler : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    Log.SetLogLevel(TLogLevel::llInfo);
  }
  void TearDown() override { Log.SetOnLog(nullptr); }
  std::vector<std::string> Texts() {
    std::lock_guard lock(Lock);
    return Lines;
  }

  TFFLogger Log;
  std::mutex Lock;
  std::vector<std::string> Lines;
};

TEST_F(LoggerHandler, AHandlerThatLogsAgainGetsThatLineAfterItReturns) {
  for (bool mainThread : {true, false}) {
    SCOPED_TRACE(mainThread ? "delivery in the main thread" : "delivery in the logging thread");
    Log.TriggerEventInMainThread = mainThread;
    Lines.clear();
    int depth = 0, deepest = 0;
    Log.SetOnLog([&](void*, int, TLogLevel, const std::string& text) {
      deepest = std::max(deepest, ++depth);
      Lines.push_back(text);
      if (text == "first") Log.Log(this, TLogLevel::llInfo, "second");
      --depth;
    });
    Log.Log(this, TLogLevel::llInfo, "first");
    EXPECT_EQ(Lines, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(deepest, 1) << "the handler was entered again from inside";
  }
}

TEST_F(LoggerHandler, AHandlerMayWaitForAThreadThatLogs) {
  // With delivery in the logging threads, a handler that waits for another
  // thread which logs meanwhile (as Stop(True) waits for a worker) must not
  // hold that thread up. Both the engine's lines and the libraries' lines.
  Log.TriggerEventInMainThread = false;
  Log.SetOnLog([&](void*, int, TLogLevel, const std::string& text) {
    {
      std::lock_guard lock(Lock);
      Lines.push_back(text);
    }
    if (text != "waiting") return;
    std::thread worker([&] {
      Log.Log(this, TLogLevel::llInfo, "from the engine");
      AV.av_log(nullptr, AV_LOG_INFO, "from the libraries\n");
    });
    worker.join();
  });
  std::thread logger([&] { Log.Log(this, TLogLevel::llInfo, "waiting"); });
  const bool delivered = WaitUntil([&] { return Texts().size() == 3; });
  logger.join();
  ASSERT_TRUE(delivered) << "the worker is stuck behind the handler";
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"waiting", "from the engine", "from the libraries"}));
}

} // namespace
