// The task's option state and the seams to the stages of a task that open
// its files and run its conversion.
#pragma once

#include <string>

class TCustomFFmpegOpt {
public:
  TCustomFFmpegOpt() = default;
  virtual ~TCustomFFmpegOpt() = default;
  TCustomFFmpegOpt(const TCustomFFmpegOpt&) = delete;
  TCustomFFmpegOpt& operator=(const TCustomFFmpegOpt&) = delete;

  // The text of the task's last failure; its lines are joined by CR LF.
  std::string LastErrMsg;
  bool StrictOptions = true;
  int ReadTimeout = 30000;  // milliseconds
  int WriteTimeout = 30000; // milliseconds

  int InputCount() const { return FInputCount; }
  int OutputCount() const { return FOutputCount; }

  // Parses AOptions and APresets and opens one input; answers 0 or more, or a
  // negative error with LastErrMsg set.
  virtual int AddInput(const std::string& AOptions, const std::string& AFileName,
                       const std::string& APresets);
  // Parses AOptions and APresets and creates one output (the join of every
  // input when AJoin); answers 0 or more, or a negative error.
  virtual int AddOutput(const std::string& AOptions, bool AJoin, const std::string& AFileName,
                        const std::string& APresets);
  // Runs the transcode loop from end to end; raises on failure. Sets
  // FFinished when the loop reached its end without a stop request.
  virtual void Transcode();
  // Frees what the loop kept between its stages.
  virtual void FreeTranscodeState() {}

protected:
  int FInputCount = 0;
  int FOutputCount = 0;
  bool FFinished = false;
};
