// Our side of a benchmark run, inside its child process: a logger that
// shows errors and hands every line to the bench, and one task run through
// the encoder as the recorder runs it (added, output set, started in a
// worker thread, the main thread serviced while it runs).
#pragma once

#include "FFEncode.h"
#include "FFLog.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class TEncoderRun {
public:
  // AOnLine runs in whichever thread logs, for every line at the info level
  // or above.
  explicit TEncoderRun(std::function<void(const std::string&)> AOnLine = nullptr);
  ~TEncoderRun();
  TEncoderRun(const TEncoderRun&) = delete;
  TEncoderRun& operator=(const TEncoderRun&) = delete;

  // Loads the libraries beside the program; false with Error set.
  bool Load();
  // Adds the task with its input and output; false with Error set.
  bool Add(const std::string& AInput, const std::string& AInputOptions, const std::string& AOutput,
           const std::string& AOutputOptions);
  void Start() { Encoder.StartTask(1); }
  // Services the main thread until the all-done notice; false on time-out.
  bool WaitForEnd(std::chrono::milliseconds ALimit);
  // Services the main thread for ATime.
  void Serve(std::chrono::milliseconds ATime);
  // Empty when the task finished or was stopped cleanly, else why not.
  std::string Failure() const;

  TFFLogger Logger; // the program's logger: made before the encoder
  TFFEncoder Encoder;
  std::vector<TTerminateInfo> Notices;
  std::string Error;

private:
  bool AllDone() const { return !Notices.empty() && Notices.back().TaskIndex == -1; }
};
