// The task's option state as the public face sees it: the option machinery's
// view of the task (TTaskOptions), its I/O interrupts, its complex filter
// graphs, and the seams to the stages that open its files and run its
// conversion.
#pragma once

#include "FFFilterGraph.h"
#include "IOInterrupts.h"
#include "TaskOptions.h"

#include <memory>
#include <string>
#include <vector>

class TCustomFFmpegOpt : public TTaskOptions, public TIOInterrupts {
public:
  TCustomFFmpegOpt();
  ~TCustomFFmpegOpt() override;

  int InputCount() const { return FInputCount; }
  int OutputCount() const { return FOutputCount; }

  // Parses AOptions and APresets and opens one input; answers 0 or more, or a
  // negative AVERROR code with LastErrMsg set. Never raises for a bad option
  // or a file that does not open.
  virtual int AddInput(const std::string& AOptions, const std::string& AFileName,
                       const std::string& APresets);
  // Parses AOptions and APresets and creates one output (the join of every
  // input when AJoin); answers 0 or more, or a negative AVERROR code with
  // LastErrMsg set.
  virtual int AddOutput(const std::string& AOptions, bool AJoin, const std::string& AFileName,
                        const std::string& APresets);
  // Runs the transcode loop from end to end; raises FFmpegException (with
  // LastErrMsg set) on failure. Sets FFinished when the loop reached its end
  // without a stop request.
  virtual void Transcode();
  // Frees what the loop kept between its stages.
  virtual void FreeTranscodeState() {}

  // The complex filter graphs ("filter_complex"), in the order given.
  std::vector<std::unique_ptr<TFilterGraph>> FilterGraphs;

  int AddComplexFilterGraph(const std::string& ADescription) override;
  const AVIOInterruptCB* WriteIOInterrupt() const override { return &WriteInterrupt; }
  void StartWriteTimer() override { TIOInterrupts::StartWriteTimer(); }
  void StopWriteTimer() override { TIOInterrupts::StopWriteTimer(); }

protected:
  int FInputCount = 0;
  int FOutputCount = 0;
  bool FFinished = false;
};
