// The records of a task's inputs, outputs, streams and filter graphs. The
// task owns them in arrays (TTranscodeTask); the stages that open files,
// configure graphs and run the loop fill and read them. Times are
// microseconds unless a time base is named; "unset" is AV_NOPTS_VALUE.
#pragma once

#include "FFDictionary.h"
#include "FramePool.h"
#include "LibAVOwners.h"
#include "YuvConversion.h"

#include <cstdio>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct TFilterGraph;
struct TInputFilter;

// Spans of the libraries' monotonic clock, [from, to) in microseconds.
using TClockSpans = std::vector<std::pair<int64_t, int64_t>>;

struct TOutputFilter;

struct TInputFile {
  TInputContextPtr Context;
  bool EndOfFile = false;
  bool WouldBlock = false;       // the last read answered "try again"
  int FirstStreamIndex = 0;      // place of its first stream in the task's input streams
  int64_t TsOffset = 0;          // added to every packet time stamp
  int StreamCount = 0;           // streams known at opening
  int ReportedStreamCount = 0;   // streams that appeared later and were reported
  int RateEmu = 0;               // "re": read no faster than real time
  // The input's time stamps are the wall-clock times its frames were taken
  // (an input device): a forced frame rate places frames on the rate's grid
  // by their time stamps instead of numbering them, and a pause cuts the
  // paused time out of it.
  bool RealTime = false;
  // Real-time inputs: the smallest (clock - time stamp) seen, microseconds;
  // it maps the input's time stamps onto the clock.
  int64_t ClockOffset = INT64_MAX;
  // Real-time inputs: the spans cut out by pauses, on the clock: what was
  // taken inside them is dropped, and what was taken later moves back.
  TClockSpans Cuts;
  // Real-time inputs: the clock time the last packet read was taken at
  // (how far the loop is behind the input), INT64_MIN until one is read,
  // and its time stamp once corrected, microseconds.
  int64_t LastTakenAt = INT64_MIN;
  int64_t LastTakenTs = 0;
};

struct TInputStream {
  int FileIndex = 0;
  AVStream* Stream = nullptr;
  bool Discard = true;     // no output uses it
  int DecodingNeeded = 0;  // users that need decoded data
  const AVCodec* Decoder = nullptr;
  // Where a video decoder takes its pictures from; it outlives the decoder.
  std::unique_ptr<TFramePool> Pool;
  // The stream's decoder, made from its parameters at opening (time base set).
  TCodecContextPtr DecoderContext;
  TFramePtr DecodedFrame;
  int64_t Start = 0;           // "re": the clock when reading began
  bool SawFirstTs = false;
  bool DecoderOpened = false;
  int FrameNumber = 0;         // decoded pictures, for the input hooks
  TDictionary DecoderOpts;

  // Time-stamp bookkeeping of the loop.
  int64_t NextDts = AV_NOPTS_VALUE;
  int64_t Dts = 0;
  int64_t NextPts = AV_NOPTS_VALUE;
  int64_t Pts = 0;
  bool WrapCorrectionDone = false;
  int64_t FilterInRescaleDeltaLast = AV_NOPTS_VALUE;
  double TsScale = 1.0;

  AVRational FrameRate{0, 0}; // "r" forced for this input stream (video)
  // A real-time input with a forced rate: the grid slot of the last picture
  // passed on (a slot takes one picture).
  int64_t LastGridSlot = AV_NOPTS_VALUE;
  int TopFieldFirst = -1;
  int GuessLayoutMax = INT_MAX;
  // What the filters were last configured for.
  int ResampleWidth = 0, ResampleHeight = 0, ResamplePixFmt = -1;
  int ResampleSampleFmt = -1, ResampleSampleRate = 0, ResampleChannels = 0;
  uint64_t ResampleChannelLayout = 0;
  int FixSubDuration = 0;
  int ReinitFilters = -1;

  // The canvas a subtitle stream paints on when it feeds a video filter.
  struct TSub2Video {
    int Width = 0, Height = 0;
    TFramePtr Frame;
    int64_t LastPts = AV_NOPTS_VALUE;
    int64_t EndPts = INT64_MAX;
  } Sub2Video;

  std::vector<TInputFilter*> Filters; // the graph inputs this stream feeds

  bool Flushed = false, DecoderClosed = false, Released = false;
};

struct TOutputFile {
  // The muxer; the files of later join parts share the first part's.
  std::shared_ptr<AVFormatContext> Context;
  std::string FileName;
  TDictionary Options; // the format options given for this output
  int FirstStreamIndex = 0;
  int64_t RecordingTime = INT64_MAX;
  int64_t StartTime = 0;
  uint64_t LimitFileSize = UINT64_MAX;
  int Shortest = 0;
  bool HeaderWritten = false; // shared muxer: part 0's record says it
};

struct TOutputStream {
  int FileIndex = 0;
  int Index = 0;        // stream index in its file
  int SourceIndex = -1; // input stream it is fed from; -1 when a complex graph feeds it
  AVStream* Stream = nullptr;
  int EncodingNeeded = 0;
  int FrameNumber = 0;
  TInputStream* SyncIst = nullptr;
  int64_t SyncOpts = 0;
  int64_t FirstPts = 0;
  const AVCodec* Encoder = nullptr;
  // The encoder; the streams of later join parts share the first part's.
  std::shared_ptr<AVCodecContext> EncoderContext;
  int64_t MaxFrames = INT64_MAX;
  AVRational FrameRate{0, 0};
  int ForceFps = 0;
  int TopFieldFirst = -1;
  float FrameAspectRatio = 0;
  std::string ForcedKeyFramesText;
  std::vector<int> AudioChannelsMap; // input channel of each output channel, -1 muted
  std::string LogFilePrefix;
  // "bsf": the bitstream filters to run on every packet, in order ("a,b"),
  // made into one chain when the encoder opens.
  std::string BitstreamFilters;
  std::shared_ptr<AVBSFContext> BitstreamFilterChain;
  int Pass = 0;                          // "pass": bit 0 first pass, bit 1 second
  int64_t ForcedKeyFramesCount = 0;
  std::vector<int64_t> ForcedKeyFrames;  // times in the encoder's time base, sorted
  // "force_key_frames" given as "expr:...": the expression and its variables
  // n, n_forced, prev_forced_n, prev_forced_t, t.
  TExprPtr ForcedKeyFramesExpr;
  double ForcedKeyFramesValues[5] = {0, 0, 0, 0, 0};
  TOutputFilter* Filter = nullptr;
  std::string AvFilter; // the filter description: "filter", or "null" / "anull"
  int64_t SwsFlags = 0;
  TDictionary EncoderOpts;
  TDictionary SwrOpts;
  TDictionary ResampleOpts;
  bool Finished = false, Unavailable = false;
  bool StreamCopy = false;
  std::string AttachmentFileName;
  int CopyInitialNonKeyframes = 0;
  int CopyPriorStart = -1;
  bool KeepPixFmt = false;
  int64_t LastMuxDts = AV_NOPTS_VALUE;
  int64_t LastMuxPts = AV_NOPTS_VALUE;
  // The loop's state of the stream.
  TFramePtr FilteredFrame;
  TFramePtr ConvertedFrame; // the sink's picture converted for the encoder (YuvConversion.h)
  // The newest picture given to the encoder, or only kept (not written) by
  // a stop's drain past its time.
  TFramePtr LastPicture;
  bool LastPictureWritten = false;
  bool EncoderOpened = false;
  bool EncoderFlushed = false;
  size_t ForcedKeyFramesIndex = 0;
  std::shared_ptr<FILE> LogFile; // two-pass statistics
  int Quality = -1;              // of the last packet, in lambda units
  int PictType = 0;              // of the last packet (AVPictureType)
  int64_t LumaError = -1;        // of the last packet, when the encoder computes it
  int64_t PlaneErrors[3] = {-1, -1, -1}; // Y, U, V of the last packet, likewise
  int LastFrameSize = 0;         // bytes of the last video packet
  uint64_t DataSize = 0;         // bytes written
  uint64_t PacketsWritten = 0;
};

struct TInputFilter {
  AVFilterContext* Filter = nullptr; // the buffer source, owned by the graph
  TInputStream* Ist = nullptr;
  TFilterGraph* Graph = nullptr;
  std::string Name;
};

struct TOutputFilter {
  AVFilterContext* Filter = nullptr; // the buffer sink, owned by the graph
  TOutputStream* Ost = nullptr;
  TFilterGraph* Graph = nullptr;
  std::string Name;
  // A complex graph's output pad until an output stream takes it.
  AVFilterInOut* OutTmp = nullptr;
  // Set when the sink hands over 32-bit B,G,R pictures that this converts
  // for the encoder, in place of the scaler.
  std::unique_ptr<TYuvConversion> Conversion;
  ~TOutputFilter() { AV.avfilter_inout_free(&OutTmp); }
};

struct TFilterGraph {
  int Index = 0;         // its place in the task's graph list
  std::string GraphDesc; // empty for a simple graph
  TFilterGraphPtr Graph; // none until configured
  bool Reconfiguration = false;
  std::vector<std::unique_ptr<TInputFilter>> Inputs;
  std::vector<std::unique_ptr<TOutputFilter>> Outputs;
};
