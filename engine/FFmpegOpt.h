// The task's option state: the task-wide option fields, the option holder
// and table, the last error and the routines that raise it, the leftover
// option check, the I/O interrupt callbacks, and the seams to the stages of
// a task that open its files and run its conversion.
#pragma once

#include "FFFilterGraph.h"
#include "FFOptionTable.h"
#include "FFmpegException.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avio.h>
}

struct AVDictionary;
struct AVFormatContext;
class TFFOptions;

// Closes with avio_closep.
struct TAVIOClose {
  void operator()(AVIOContext* AContext) const;
};
using TAVIOOutput = std::unique_ptr<AVIOContext, TAVIOClose>;

// Microseconds of a monotonic clock.
using TInterruptClock = int64_t (*)();
// The start time of no timed operation.
inline constexpr int64_t kNoIOStartTime = INT64_MAX;

class TCustomFFmpegOpt {
public:
  TCustomFFmpegOpt();
  virtual ~TCustomFFmpegOpt();
  TCustomFFmpegOpt(const TCustomFFmpegOpt&) = delete;
  TCustomFFmpegOpt& operator=(const TCustomFFmpegOpt&) = delete;

  // The text of the task's last failure; its lines are joined by CR LF.
  std::string LastErrMsg;
  // Whether an option error stops the parse (else it is logged and skipped).
  bool StrictOptions = true;

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

  // ---- Task-wide option fields (the global options) ----
  std::string VStatsFileName;       // vstats, vstats_file; empty for none
  float AudioDriftThreshold = 0.1f; // adrift_threshold
  float DtsDeltaThreshold = 10;     // dts_delta_threshold
  float DtsErrorThreshold = 108000; // dts_error_threshold
  int AudioVolume = 256;            // vol
  int AudioSyncMethod = 0;          // async
  int VideoSyncMethod = -1;         // vsync: -1 auto, 0 passthrough, 1 cfr, 2 vfr, 255 drop
  bool DoDeinterlace = false;       // deinterlace
  int DoHexDump = 0;                // hex
  int DoPktDump = 0;                // dump
  int CopyTs = 0;                   // copyts
  int CopyTb = -1;                  // copytb
  int DebugTs = 0;                  // no option sets it
  int ExitOnError = 0;              // xerror
  int PrintStats = -1;              // stats
  int QpHist = 0;                   // qphist
  int FrameBitsPerRawSample = 0;    // bits_per_raw_sample
  int IntraOnly = 0;                // intra
  int FileOverwrite = 0;            // y
  int NoFileOverwrite = 0;          // n
  int VideoDiscard = 0;             // vdt
  int IntraDcPrecision = 8;         // dc
  int DoPsnr = 0;                   // psnr
  int InputSync = 0;                // isync
  TAVIOOutput ProgressOutput;       // progress
  // The complex filter graphs ("filter_complex"), in the order given.
  std::vector<std::unique_ptr<TFilterGraph>> FilterGraphs;

  // The format contexts of the inputs opened so far, by input index: "-map",
  // "-map_channel" and "-target" look at their streams.
  virtual std::vector<AVFormatContext*> InputContexts() const { return {}; }

  // ---- Options ----
  // Binds the option table; nothing when it is bound already.
  void InitOptionTable();
  TOptionTable OptionTable() const { return FOptionTable; }
  TFFOptions& FFOptions() { return *FOptions; }
  // The detail of the last option error, kept per task.
  std::string& LastOptionError();
  // Resets AOptions to its defaults and the option holder's groups.
  void InitOptionsContext(TOptionsContext& AOptions);
  // Frees every list and text of AOptions and the option holder's groups.
  void FreeOptionsContext(TOptionsContext& AOptions);
  // Parses one option string and the presets of one file into AOptions, the
  // task-wide fields and the file group's dictionaries. Answers 0 or a
  // negative code (with LastErrMsg set); always 0 when StrictOptions is clear.
  int ParseOptions(TOptionsContext& AOptions, const std::string& AOptionText,
                   const std::string& AFileName, const std::string& APresets);
  // Applies a preset text (key=value lines) to AOptions; 0 or a negative code.
  int ParsePresets(TOptionsContext& AOptions, const std::string& APresets,
                   const std::string& AFileName);
  // The task's own handlers of "vhook" and "VideoHookBitsPixel".
  virtual int OptVHook(TOptionsContext* AOptions, const char* AName, const char* AValue);
  virtual int OptVideoHookBitsPixel(TOptionsContext* AOptions, const char* AName,
                                    const char* AValue);

  // ---- Errors ----
  // LastErrMsg := AText, logged at llFatal, raised as FFmpegException.
  [[noreturn]] void FatalError(const std::string& AText);
  [[noreturn, gnu::format(printf, 2, 3)]] void FatalErrorFmt(const char* AFormat, ...);
  // An entry left in ADictionary after the libraries took what they know
  // names an option nobody used: fatal when StrictOptions, else LastErrMsg.
  void CheckOptionsUsed(const AVDictionary* ADictionary);
  // Raised when an experimental codec would be used.
  [[noreturn]] void AbortExperimental();

  // ---- I/O interrupts ----
  // The libraries poll these during blocking reads and writes; non-zero
  // gives up. A start time of 0 cancels at the next poll.
  std::atomic<bool> IOBroken{false};
  std::atomic<int> ReadTimeout{30000};  // milliseconds; 0 or less: no time-out
  std::atomic<int> WriteTimeout{30000}; // milliseconds
  std::atomic<int64_t> ReadStartTime{kNoIOStartTime};
  std::atomic<int64_t> WriteStartTime{kNoIOStartTime};
  const AVIOInterruptCB ReadInterrupt;
  const AVIOInterruptCB WriteInterrupt;
  // Stamp the start of a blocking input or output operation, or end its timing.
  void StartReadTimer();
  void StartWriteTimer();
  void StopReadTimer() { ReadStartTime = kNoIOStartTime; }
  void StopWriteTimer() { WriteStartTime = kNoIOStartTime; }
  // The clock of the time-outs (av_gettime_relative unless replaced); set it
  // before any I/O starts.
  void SetInterruptClock(TInterruptClock AClock) { FClock = AClock; }
  int64_t InterruptClock() const;
  static int ReadInterruptCallback(void* AOpaque) noexcept;
  static int WriteInterruptCallback(void* AOpaque) noexcept;

protected:
  int FInputCount = 0;
  int FOutputCount = 0;
  bool FFinished = false;

private:
  // What an interrupt callback last reported for the current operation, so
  // that a poll repeated many times a second logs it once.
  enum TIOReport : int { irNone, irBroken, irTimeout, irCanceled };
  struct TIODirection {
    const std::atomic<int>& Timeout;
    const std::atomic<int64_t>& StartTime;
    std::atomic<int>& Reported;
    const char* TimeoutText;
    const char* CanceledText;
  };
  int CheckInterrupt(const TIODirection& ADirection) noexcept;

  std::unique_ptr<TFFOptions> FOptions;
  TOptionTable FOptionTable;
  std::atomic<TInterruptClock> FClock{nullptr};
  std::atomic<int> FReadReported{irNone};
  std::atomic<int> FWriteReported{irNone};
};
