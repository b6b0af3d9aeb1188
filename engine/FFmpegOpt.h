// The task's option state and files as the public face sees them: the
// transcode state (TTranscodeTask: option state, I/O interrupts, records,
// stages) and the operations the encoder calls to add an input or an output
// and to run the conversion.
#pragma once

#include "TranscodeTask.h"

#include <string>

class TCustomFFmpegOpt : public TTranscodeTask {
public:
  TCustomFFmpegOpt();
  ~TCustomFFmpegOpt() override;

  int InputCount() const { return static_cast<int>(InputFiles.size()); }
  int OutputCount() const { return FOutputCount; }

  // Parses AOptions and APresets and opens one input; answers its index, or
  // a negative AVERROR code with LastErrMsg set. Never raises for a bad
  // option or a file that does not open.
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

protected:
  int FOutputCount = 0;
  bool FFinished = false;
};
