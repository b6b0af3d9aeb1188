// One task through the encoder in a benchmark's child process (see EncoderRun.h).
#include "EncoderRun.h"

#include "LibAVFolder.h"
#include "MainThread.h"

#include <cstdio>

TEncoderRun::TEncoderRun(std::function<void(const std::string&)> AOnLine) {
  Logger.TriggerEventInMainThread = false;
  Logger.SetLogLevel(TLogLevel::llInfo);
  Logger.SetOnLog([AOnLine](void*, int, TLogLevel ALevel, const std::string& AText) {
    if (ALevel <= TLogLevel::llError) std::fprintf(stderr, "%s\n", AText.c_str());
    if (AOnLine) AOnLine(AText);
  });
  Encoder.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& AInfo) {
    Notices.push_back(AInfo);
  };
}

TEncoderRun::~TEncoderRun() {
  Encoder.Stop(true);
  Encoder.ClearTasks();
  Logger.SetOnLog(nullptr);
}

bool TEncoderRun::Load() {
  return LoadLibAVBesideProgram(Error);
}

bool TEncoderRun::Add(const std::string& AInput, const std::string& AInputOptions,
                      const std::string& AOutput, const std::string& AOutputOptions) {
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
  output.Options = AOutputOptions;
  if (Encoder.SetOutput(task, AOutput, &output) < 0) {
    Error = Encoder.LastErrMsg;
    Encoder.RemoveTask(task);
    return false;
  }
  return true;
}

bool TEncoderRun::WaitForEnd(std::chrono::milliseconds ALimit) {
  // A long wait per turn: the queue wakes it as soon as something arrives,
  // so the bench's own thread costs next to nothing.
  const auto until = std::chrono::steady_clock::now() + ALimit;
  while (!AllDone()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    TMainThread::ProcessWait(std::chrono::milliseconds(100));
  }
  return true;
}

void TEncoderRun::Serve(std::chrono::milliseconds ATime) {
  const auto until = std::chrono::steady_clock::now() + ATime;
  for (auto now = std::chrono::steady_clock::now(); now < until;
       now = std::chrono::steady_clock::now())
    TMainThread::ProcessWait(std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(100),
        std::chrono::duration_cast<std::chrono::milliseconds>(until - now) +
            std::chrono::milliseconds(1)));
}

std::string TEncoderRun::Failure() const {
  if (!Error.empty()) return Error;
  for (const TTerminateInfo& notice : Notices)
    if (notice.TaskIndex >= 0 && notice.Exception)
      return notice.ExceptionMsg.empty() ? "the task failed" : notice.ExceptionMsg;
  if (!AllDone()) return "the task did not end";
  return {};
}
