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

#include "HookFrames.h"
#include "IOInterrupts.h"
#include "StreamRecords.h"
#include "TaskOptions.h"

#include <cstdio>
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
  // The largest "t" of the outputs; 0 while none is given.
  int64_t LongestOutputDuration = 0;
  // Join: the inputs are written one after another into one output. Part k
  // owns output streams k x JoinedStreamCount .. k x JoinedStreamCount +
  // JoinedStreamCount - 1, and every part writes into output 0's muxer.
  bool JoinMode = false;
  int JoinedStreamCount = 0;
  // The joined inputs' summed duration; -1 when unknown.
  int64_t TotalDuration = -1;

  // ---- Opening an input ----
  // Parses AOptionText and APresets into AOptions (for "input file") and
  // opens AFileName with them. Answers the new input's index, or a negative
  // AVERROR code with LastErrMsg set (the parser's code unchanged). Raises
  // FFmpegException for the fatal option errors (an unknown decoder name,
  // an option left unused in strict mode).
  int OpenInputFile(TOptionsContext& AOptions, const std::string& AOptionText,
                    const std::string& AFileName, const std::string& APresets);

  // ---- Opening an output ----
  // Parses AOptionText and APresets into AOptions (for "output file"),
  // creates the output with its streams, encoders and metadata and opens the
  // file; with AJoin and several inputs, every further input becomes a part
  // of it. Answers the new output's index, or a negative AVERROR code with
  // LastErrMsg set. A failed output leaves nothing behind: no records, no
  // file, the task as it was. Raises FFmpegException for the fatal option
  // errors (an unknown encoder, a bad size...), also after undoing.
  int OpenOutputFile(TOptionsContext& AOptions, const std::string& AOptionText, bool AJoin,
                     const std::string& AFileName, const std::string& APresets);
  // A new output stream of AType in AContext, fed from input stream
  // ASourceIndex (-1: none); appended to OutputStreams. Fatal errors raise.
  TOutputStream& NewOutputStream(TOptionsContext& AOptions, AVFormatContext* AContext,
                                 AVMediaType AType, int ASourceIndex);
  // A value of AOst's encoder options that its encoder would refuse when it
  // opens is a fatal error now, naming the option and the value.
  void CheckEncoderOptionValues(const TOutputStream& AOst);
  // Binds a complex graph's pending output to a new output stream.
  void InitOutputFilter(TOutputFilter& AFilter, TOptionsContext& AOptions,
                        AVFormatContext* AContext);
  // Copies AInput's chapters that fall into AOutput's time into it; 0 or
  // AVERROR(ENOMEM).
  int CopyChapters(const TInputFile& AInput, TOutputFile& AOutput, bool ACopyMetadata);
  // Joins: a part for every further input; 0, or -1 with LastErrMsg set and
  // every output of the task removed.
  int JoinInputs(TOptionsContext& AOptions);
  int AddJoinedOutput(TOptionsContext& AOptions, int AInputIndex);
  TOutputStream* FindUnboundOutputStream(AVMediaType AType);
  void FreeOutputStreams() { OutputStreams.clear(); }

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

  // ---- The conversion ----
  // The whole run: start-up, the loop until the stop flag or the end of every
  // input, then drain, trailers, the last report and closing every codec.
  // Raises FFmpegException (LastErrMsg set) when start-up fails or the run
  // ends on an error; the trailer of every output whose header was written
  // is written first, so what was recorded stays readable. Answers whether
  // the loop reached its end without a stop request.
  bool RunTranscode();
  // Frees every record, graph and context and deletes outputs that received
  // nothing (0 bytes).
  void FreeTranscodeState();
  // Closes what a run left open (RunTranscode closes its codecs itself).
  void CloseEncoders();
  void CloseDecoders();

  // Counters of the run, read by the progress report.
  int64_t DupFrames = 0, DropFrames = 0;
  bool DupOrDropHappened = false;
  int64_t VideoSize = 0, AudioSize = 0, SubtitleSize = 0, ExtraSize = 0;
  // The output streams the loop works on (a join works on one part at a
  // time), inclusive, and the part's index.
  int FirstOst = 0, LastOst = -1, PartIndex = 0;

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

  // What the loop asks of the task that runs it (the public face answers):
  // the stop flag, read at every pass; the pause gate, passed at every pass
  // holding no lock, answering whether it was closed since the last pass,
  // with every span it was closed (microseconds of the libraries' monotonic
  // clock, in order) in ASpans.
  virtual bool StopRequested() const { return false; }
  // When the stop was asked for (the libraries' monotonic clock,
  // microseconds), INT64_MAX when it was not.
  virtual int64_t StopRequestTime() const { return INT64_MAX; }
  virtual bool PassPause(TClockSpans& /*ASpans*/) { return false; }
  // The hooks around decoding and encoding and the progress report; none
  // here. PreProcessVideoFrame gets the decoder's frame as it is and makes it
  // writable before anything draws into it.
  virtual void PreProcessVideoFrame(TInputStream& /*AIst*/, AVFrame* /*AFrame*/) {}
  virtual void ApplyOutputHooks(TOutputStream& /*AOst*/, AVFrame* /*AFrame*/,
                                int /*AFrameNumber*/, int64_t /*APts*/) {}
  virtual void AudioInputHook(TInputStream& /*AIst*/, AVFrame* /*AFrame*/) {}
  virtual void AudioOutputHook(TOutputStream& /*AOst*/, AVFrame* /*AFrame*/) {}
  virtual void PrintReport(bool /*ALast*/, int64_t /*ATimerStart*/, int64_t /*ANow*/) {}
  // What stream copy cannot serve: hooks on decoded frames.
  virtual bool HasAudioHooks() const { return false; }
  virtual bool HasVideoHooks() const { return false; }
  virtual bool HasFrameHooks() const { return false; }
  virtual bool HasHookLibraries() const { return false; }
  // Whether ApplyOutputHooks has work: output hooks or a preview.
  virtual bool HasOutputHooks() const { return false; }
  virtual bool HasPreview() const { return false; }

private:
  // Start-up (TranscodeInit.cpp).
  int TranscodeInit();
  int InitOutputStream(TOutputStream& AOst, std::string& AError);
  AVRational CopyTimeBase(const TInputStream& AIst, const TOutputStream& AOst) const;
  int OpenEncoder(TOutputStream& AOst, std::string& AError);
  // The stream's "bsf" chain, made from its parameters as they stand.
  int InitBitstreamFilters(TOutputStream& AOst, std::string& AError);
  int InitInputStream(TInputStream& AIst, std::string& AError);
  void ParseForcedKeyFrames(TOutputStream& AOst);
  void DumpStreamMapping();
  TInputStream* GetInputStream(const TOutputStream& AOst) const;
  // The loop (TranscodeLoop.cpp).
  int TranscodeStep();
  bool NeedOutput();
  bool ReachedSizeLimit(const TOutputFile& AFile) const;
  TOutputStream* ChooseOutput();
  bool GotEAgain() const;
  void ResetEAgain();
  void SetJoinRange();
  int TranscodeFromFilter(TFilterGraph& AGraph, TInputStream*& AIst);
  int ProcessInput(int AFileIndex);
  void CloseOutputStream(TOutputStream& AOst);
  bool CheckRecordingTime(TOutputStream& AOst);
  void ReportNewStream(int AFileIndex, const AVPacket& APacket);
  void JoinSwitch(int AFileIndex);
  void OpenRangeEncoders();
  void CutPause(int64_t APausedAt, int64_t AResumedAt);
  // The pauses and the stop applied to a packet of a real-time input
  // (RealTimeCuts.cpp): 1 kept (its sound trimmed, its time moved back by
  // the pauses before it), 0 dropped, AVERROR_EOF taken after the stop, or
  // another AVERROR code.
  int CutRealTimePacket(TInputFile& AFile, const TInputStream& AIst, AVPacket* APacket);
  void DrainRealTimeInputs();
  void DrainGraph(TFilterGraph& AGraph);
  void FinishGraphs();
  // Decoding (DecodeStage.cpp).
  int OutputPacket(TInputStream& AIst, AVPacket* APacket);
  int DecodeAudio(TInputStream& AIst, AVPacket* APacket, bool& AGotOutput);
  int DecodeVideo(TInputStream& AIst, AVPacket* APacket, bool& AGotOutput);
  int TranscodeSubtitles(TInputStream& AIst, AVPacket* APacket, bool& AGotOutput);
  int PushFrame(TInputStream& AIst, AVFrame* AFrame);
  // Whether a decoded picture of a real-time input with a forced rate has
  // a grid slot of its own (it then takes it); pictures of other inputs do.
  bool TakesGridSlot(TInputStream& AIst, const AVFrame& AFrame);
  void PushCanvas(TInputStream& AIst);
  void SendEndOfStream(TInputFilter& AFilter);
  void SendEndOfStream(TInputStream& AIst);
  void RateEmuSleep(TInputStream& AIst);
  bool CheckOutputConstraints(const TInputStream& AIst, const TOutputStream& AOst) const;
  void DoStreamCopy(TInputStream& AIst, TOutputStream& AOst, const AVPacket& APacket);
  void Sub2VideoUpdate(TInputStream& AIst, const AVSubtitle* ASubtitle);
  void Sub2VideoHeartbeat(TInputStream& AIst, int64_t APts);
  // Encoding and writing (EncodeStage.cpp).
  int ReapFilters();
  // The sink's picture as the encoder takes it: AFrame itself, or its
  // conversion (YuvConversion.h) in AOst.ConvertedFrame.
  AVFrame* PictureForEncoder(TOutputStream& AOst, AVFrame* AFrame);
  void DoVideoOut(TOutputStream& AOst, AVFrame* AFrame);
  // Whether the copies of a frame that fill a gap before it are left out
  // where the muxer keeps the gap as time: a stop was asked for, or the
  // loop has fallen behind the real-time input that feeds AOst.
  bool LeavesCopiesOut(const TOutputStream& AOst) const;
  bool IsForcedKeyFrame(TOutputStream& AOst, int64_t APts);
  void DoAudioOut(TOutputStream& AOst, AVFrame* AFrame);
  void DoSubtitleOut(TOutputStream& AOst, TInputStream& AIst, AVSubtitle& ASubtitle);
  void EncodeAndWrite(TOutputStream& AOst, const AVFrame* AFrame);
  void WriteFrame(TOutputStream& AOst, AVPacket* APacket);
  void WritePacketNow(TOutputStream& AOst, AVPacket* APacket);
  // Through the stream's bitstream filters (null: the end of the stream).
  void FilterAndWrite(TOutputStream& AOst, AVPacket* APacket);
  void FlushEncoders();
  void DoVideoStats(TOutputStream& AOst, int AFrameSize);

  // The loop's state.
  std::string FRunError; // the first error that ended the run, for the end notice
  // The clock when a stop was noticed: real-time packets taken later are
  // not recorded.
  int64_t FStopAt = INT64_MAX;
  // Set while a stop's drain is past its time: DoVideoOut keeps only the
  // newest picture of each stream, for EndPicturesAtStop.
  bool FHoldPictures = false;
  // The end of a stop's drain: each stream's newest picture is written at
  // its slot, if it was only kept, and where a real-time input feeds the
  // stream and the muxer keeps gaps, once more at the last slot before the
  // stop, so that the stream lasts until the stop even when the device
  // took nothing in its last moments (frames it could not queue).
  void EndPicturesAtStop();
  // The slot of the stop in AOst's encoder time base; AV_NOPTS_VALUE when
  // no real-time input feeds it.
  int64_t StopSlot(const TOutputStream& AOst) const;
  std::unique_ptr<FILE, int (*)(FILE*)> FVStatsFile{nullptr, &std::fclose};
  std::vector<uint8_t> FSubtitleBuffer;
  THookFrames FOutputHookFrames; // the output hooks' writable copies

  TOutputStream& NewVideoStream(TOptionsContext& AOptions, AVFormatContext* AContext, int ASource);
  TOutputStream& NewAudioStream(TOptionsContext& AOptions, AVFormatContext* AContext, int ASource);
  TOutputStream& NewSubtitleStream(TOptionsContext& AOptions, AVFormatContext* AContext,
                                   int ASource);
  void ChooseEncoder(TOptionsContext& AOptions, AVFormatContext* AContext, TOutputStream& AOst);
  int ChooseStreams(TOptionsContext& AOptions, AVFormatContext* AContext, bool AJoin,
                    const bool AGraphTypes[AVMEDIA_TYPE_NB]);
  int AddAttachments(TOptionsContext& AOptions, AVFormatContext* AContext);
  int ApplyMetadata(TOptionsContext& AOptions, TOutputFile& AOutput);
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
