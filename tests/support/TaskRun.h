// Runs recordings through the encoder as the recorder does: one task, an
// input with its option string, an output with the recorder's string,
// started in a worker thread; collects the terminate notices.
#pragma once

#include "FFEncode.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

class TTaskRun {
public:
  TTaskRun();
  ~TTaskRun();
  TTaskRun(const TTaskRun&) = delete;
  TTaskRun& operator=(const TTaskRun&) = delete;

  // Adds the task; false (with Error set) when the input or output fails.
  // AOutputRecord, when given, supplies the output record's switches (hooks,
  // hook depth); its Options are replaced by AOutputOptions.
  bool Add(const std::string& AInput, const std::string& AInputOptions, const std::string& AOutput,
           const std::string& AOutputOptions, const TOutputOptions* AOutputRecord = nullptr);
  void Start() { Encoder.StartTask(1); }
  // Services the main thread until the all-done notice; false on time-out.
  bool WaitForEnd(std::chrono::milliseconds ALimit = std::chrono::seconds(60));
  // Services the main thread for ATime (handlers run meanwhile).
  static void Serve(std::chrono::milliseconds ATime);

  TFFEncoder Encoder;
  // Read them after WaitForEnd: with delivery in worker threads the
  // notices come from another thread, and the end flag orders the two.
  std::vector<TTerminateInfo> Notices;
  std::string Error;

private:
  std::atomic<bool> FEnded{false}; // the last notice was the all-done one
};
