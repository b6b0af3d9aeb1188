// Recordings run through the encoder (see TaskRun.h).
#include "TaskRun.h"

#include "MainThread.h"
#include "WaitUntil.h"

TTaskRun::TTaskRun() {
  Encoder.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& AInfo) {
    Notices.push_back(AInfo);
    FEnded = AInfo.TaskIndex == -1;
  };
}

TTaskRun::~TTaskRun() {
  Encoder.Stop(true);
  Encoder.ClearTasks();
}

bool TTaskRun::Add(const std::string& AInput, const std::string& AInputOptions,
                   const std::string& AOutput, const std::string& AOutputOptions,
                   const TOutputOptions* AOutputRecord) {
  TInputOptions input;
  TFFEncoder::InitInputOptions(input);
  input.Options = AInputOptions;
  const int task = Encoder.AddTask(AInput, &input);
  if (task < 0) {
    Error = Encoder.LastErrMsg;
    return false;
  }
  TOutputOptions output;
  TFFEncoder::InitOutputOptions(output);
  if (AOutputRecord) output = *AOutputRecord;
  output.Options = AOutputOptions;
  if (Encoder.SetOutput(task, AOutput, &output) < 0) {
    Error = Encoder.LastErrMsg;
    Encoder.RemoveTask(task);
    return false;
  }
  return true;
}

bool TTaskRun::WaitForEnd(std::chrono::milliseconds ALimit) {
  return WaitUntil([this] { return FEnded.load(); },
                   TWaitMode::ServiceMainThread, ALimit);
}

void TTaskRun::Serve(std::chrono::milliseconds ATime) {
  const auto until = std::chrono::steady_clock::now() + ATime;
  WaitUntil([&] { return std::chrono::steady_clock::now() >= until; }, TWaitMode::ServiceMainThread,
            ATime + std::chrono::seconds(1));
}
