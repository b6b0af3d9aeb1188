// The task as its transcode stages see it: its option state, its I/O
// interrupts, and the records of its inputs, outputs, streams and filter
// graphs, with the stages that fill them. Each stage lives in a file of its
// own (OpenInput.cpp, FilterGraph.cpp, ...); the task's public face
// (FFmpegOpt.h, FFmpeg.h) derives from this class.
//
// Error contract: the stages answer AVERROR codes with LastErrMsg set, as
// their comments say; a fatal error (FatalError: an option that cannot be
// honoured, a failed allocation of a record) raises FFmpegException with
// LastErrMsg set. Everything runs in the thread that adds the task or runs
// its loop; nothing here is shared between tasks.
#pragma once

#include "IOInterrupts.h"
#include "StreamRecords.h"
#include "TaskOptions.h"

#include <memory>
#include <string>
#include <vector>

class TTranscodeTask : public TTaskOptions, public TIOInterrupts {
public:
  TTranscodeTask();
  ~TTranscodeTask() override;

  // ---- Records ----
  std::vector<std::unique_ptr<TInputFile>> InputFiles;
  std::vector<std::unique_ptr<TInputStream>> InputStreams;
  std::vector<std::unique_ptr<TOutputFile>> OutputFiles;
  std::vector<std::unique_ptr<TOutputStream>> OutputStreams;
  // Complex graphs ("filter_complex") first, in the order given; the simple
  // graphs of the outputs follow as the loop's start-up makes them.
  std::vector<std::unique_ptr<TFilterGraph>> FilterGraphs;
  // The largest duration of the opened inputs less their "ss" start time;
  // 0 while none is known.
  int64_t LongestInputDuration = 0;

  // ---- Opening an input ----
  // Parses AOptionText and APresets into AOptions (for "input file") and
  // opens AFileName with them. Answers the new input's index, or a negative
  // AVERROR code with LastErrMsg set (the parser's code unchanged). Raises
  // FFmpegException for the fatal option errors (an unknown decoder name,
  // an option left unused in strict mode).
  int OpenInputFile(TOptionsContext& AOptions, const std::string& AOptionText,
                    const std::string& AFileName, const std::string& APresets);

  // ---- Filter graphs ----
  // A simple graph from AIst to AOst, appended to FilterGraphs.
  TFilterGraph& InitSimpleFilterGraph(TInputStream& AIst, TOutputStream& AOst);
  // Parses the graph's description and builds its source and sink chains;
  // 0 or an AVERROR code (logged). Binding a complex graph's inputs may be
  // fatal (FFmpegException).
  int ConfigureFilterGraph(TFilterGraph& AGraph);
  // Configures, in order, every graph not yet configured; the first error.
  int ConfigureComplexFilterGraphs();
  // Builds the sink chain of an output filter whose output stream is set;
  // 0 or an AVERROR code.
  int ConfigureOutputFilter(TFilterGraph& AGraph, TOutputFilter& AFilter, AVFilterInOut* AOut);
  static bool StreamFeedsGraph(const TFilterGraph& AGraph, const TInputStream& AIst);

  // ---- What the option machinery asks of the task ----
  std::vector<AVFormatContext*> InputContexts() const override;
  int AddComplexFilterGraph(const std::string& ADescription) override;
  const AVIOInterruptCB* WriteIOInterrupt() const override { return &WriteInterrupt; }
  void StartWriteTimer() override { TIOInterrupts::StartWriteTimer(); }
  void StopWriteTimer() override { TIOInterrupts::StopWriteTimer(); }

protected:
  // Called after an input was opened and before its streams are probed, in
  // the thread that opens it; the public face turns it into its event.
  virtual void DoBeforeFindStreamInfo(AVFormatContext* /*AContext*/) {}

private:
  void AddInputStreams(TOptionsContext& AOptions, AVFormatContext* AContext, int AFileIndex);
  void BindComplexInput(TFilterGraph& AGraph, AVFilterInOut* AIn);
  int ConfigureInputFilter(TFilterGraph& AGraph, TInputFilter& AFilter, AVFilterInOut* AIn);
  int ConfigureInputVideoFilter(TFilterGraph& AGraph, TInputFilter& AFilter, AVFilterInOut* AIn);
  int ConfigureInputAudioFilter(TFilterGraph& AGraph, TInputFilter& AFilter, AVFilterInOut* AIn);
  int ConfigureOutputVideoFilter(TFilterGraph& AGraph, TOutputFilter& AFilter, AVFilterInOut* AOut);
  int ConfigureOutputAudioFilter(TFilterGraph& AGraph, TOutputFilter& AFilter, AVFilterInOut* AOut);
  int Sub2VideoPrepare(TInputStream& AIst);
  // Logs AText as the failure of an open and keeps it as the last error.
  int OpenFailure(const std::string& AText, int ACode);
};
