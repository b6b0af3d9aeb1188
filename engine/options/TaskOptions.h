// The task as the option machinery sees it: the task-wide option fields
// (the global options), the option holder and table, the last error and the
// routines that raise it, the inputs opened so far, and the few services of
// the task that a handler needs. The task derives from it; nothing in the
// option machinery knows more of the task than this.
#pragma once

#include "FFOptionTable.h"
#include "FFmpegException.h"
#include "LibAVOwners.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVDictionary;
struct AVFormatContext;
struct AVIOInterruptCB;
class TFFOptions;

class TTaskOptions {
public:
  TTaskOptions();
  virtual ~TTaskOptions();
  TTaskOptions(const TTaskOptions&) = delete;
  TTaskOptions& operator=(const TTaskOptions&) = delete;

  // The text of the task's last failure; its lines are joined by CR LF.
  std::string LastErrMsg;
  // Whether an option error stops the parse (else it is logged and skipped).
  bool StrictOptions = true;

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

  // ---- What the task provides ----
  // The format contexts of the inputs opened so far, by input index: "-map",
  // "-map_channel" and "-target" look at their streams.
  virtual std::vector<AVFormatContext*> InputContexts() const { return {}; }
  // "-filter_complex": appends a complex graph with this description to the
  // task's graph list; 0, or AVERROR(ENOMEM).
  virtual int AddComplexFilterGraph(const std::string& ADescription) = 0;
  // The files the options write (the progress target, dumped attachments)
  // open and write under the task's write time-out.
  virtual const AVIOInterruptCB* WriteIOInterrupt() const = 0;
  virtual void StartWriteTimer() = 0;
  virtual void StopWriteTimer() = 0;
  // The task's own handlers of "vhook" and "VideoHookBitsPixel"; without a
  // task that has hooks, both fail with AVERROR(ENOSYS).
  virtual int OptVHook(TOptionsContext* AOptions, const char* AName, const char* AValue);
  virtual int OptVideoHookBitsPixel(TOptionsContext* AOptions, const char* AName,
                                    const char* AValue);

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
  // negative AVERROR code with LastErrMsg set. With StrictOptions clear an
  // option nobody knows, a stray argument and a failing preset line are
  // logged and skipped; a value that does not convert or a handler that
  // fails ends the parse in both modes. Never raises for a bad option: a
  // handler's failure, fatal errors included, becomes the option's error.
  int ParseOptions(TOptionsContext& AOptions, const std::string& AOptionText,
                   const std::string& AFileName, const std::string& APresets);
  // Applies a preset text (key=value lines) to AOptions; 0 or a negative code.
  int ParsePresets(TOptionsContext& AOptions, const std::string& APresets,
                   const std::string& AFileName);

  // ---- Errors ----
  // LastErrMsg := AText, logged at llFatal, raised as FFmpegException.
  [[noreturn]] void FatalError(const std::string& AText);
  [[noreturn, gnu::format(printf, 2, 3)]] void FatalErrorFmt(const char* AFormat, ...);
  // An entry left in ADictionary after the libraries took what they know
  // names an option nobody used: fatal when StrictOptions, else LastErrMsg.
  void CheckOptionsUsed(const AVDictionary* ADictionary);
  // Raised when an experimental codec would be used.
  [[noreturn]] void AbortExperimental();

private:
  int ParseGroups(TOptionsContext& AOptions, const std::string& AOptionText,
                  const std::string& AFileName, const std::string& APresets);

  std::unique_ptr<TFFOptions> FOptions;
  TOptionTable FOptionTable;
};
