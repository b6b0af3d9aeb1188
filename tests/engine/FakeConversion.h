// A task whose stages stand in for opening files and the transcode loop, so
// that the encoder's run control can be driven without media. Its loop makes
// the passes the real one makes: pause gate, stop flag, progress reports.
#pragma once

#include "FFEncode.h"
#include "ManualResetEvent.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// What every fake task of one test shares.
struct TFakeScript {
  int Passes = 5;                               // loop passes before the task finishes
  std::chrono::milliseconds PassTime{1};        // time one pass takes
  std::function<void(int ATaskNumber)> OnBegin; // runs in the task's thread when its loop starts
  std::function<void(int APass)> AfterReport;   // runs in the task's thread after each report
  std::atomic<int> Running{0};
  std::atomic<int> MostRunning{0};
  std::mutex Lock;
  std::vector<int> Order;                    // task numbers in the order their loops began
  std::vector<std::thread::id> StartThreads; // the thread that started each loop
  std::atomic<int> PassesDone{0};
};

class TFakeTask : public TFFmpeg {
public:
  TFakeTask(TFakeScript& AScript, int ANumber) : FScript(AScript), FNumber(ANumber) {}

  int AddInput(const std::string& AOptions, const std::string& AFileName,
               const std::string&) override {
    InputOptionsSeen = AOptions;
    if (AFileName == "missing") {
      LastErrMsg = "missing: No such file or directory";
      return -2;
    }
    if (AFileName == "raise") throw std::runtime_error("conversion of a value failed");
    InputFiles.push_back(std::make_unique<TInputFile>());
    return InputCount() - 1;
  }

  int AddOutput(const std::string& AOptions, bool AJoin, const std::string& AFileName,
                const std::string&) override {
    OutputOptionsSeen = AOptions;
    JoinSeen = AJoin;
    if (AFileName == "unwritable") {
      LastErrMsg = "unwritable: Permission denied";
      return -13;
    }
    return FOutputCount++;
  }

  void Transcode() override {
    {
      std::lock_guard lock(FScript.Lock);
      FScript.Order.push_back(FNumber);
      FScript.StartThreads.push_back(std::this_thread::get_id());
    }
    const int now = ++FScript.Running;
    for (int most = FScript.MostRunning;
         now > most && !FScript.MostRunning.compare_exchange_weak(most, now);) {
    }
    struct TLeave {
      std::atomic<int>& Running;
      ~TLeave() { --Running; }
    } leave{FScript.Running};
    if (FScript.OnBegin) FScript.OnBegin(FNumber);
    for (int pass = 0; pass < FScript.Passes; ++pass) {
      PassPauseGate();
      if (StopRequested()) return;
      if (FailAtPass == pass) throw std::runtime_error("decoding failed");
      std::this_thread::sleep_for(FScript.PassTime);
      ++FScript.PassesDone;
      TProgressInfo info;
      info.FrameNumber = pass;
      if (OnProgress) OnProgress(this, info);
      if (FScript.AfterReport) FScript.AfterReport(pass);
    }
    FFinished = true;
  }

  std::string InputOptionsSeen, OutputOptionsSeen;
  bool JoinSeen = false;
  int FailAtPass = -1;

private:
  TFakeScript& FScript;
  int FNumber;
};

class TFakeEncoder : public TFFEncoder {
public:
  ~TFakeEncoder() override { ShutDown(); } // the tasks use Script
  TFakeScript Script;
  // Adds ACount tasks with one input and one output each.
  void AddTasks(int ACount) {
    for (int i = 0; i < ACount; ++i) {
      const int index = AddTask("in" + std::to_string(i));
      if (index < 0 || SetOutput(index, "out" + std::to_string(i)) < 0)
        throw std::runtime_error("AddTasks: " + LastErrMsg);
    }
  }
  TFakeTask* FakeTask(int AIndex) { return static_cast<TFakeTask*>(Task(AIndex)); }

protected:
  std::unique_ptr<TFFmpeg> CreateTask() override {
    return std::make_unique<TFakeTask>(Script, FCreated++);
  }

private:
  int FCreated = 0;
};
