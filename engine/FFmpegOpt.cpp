// The task's option state (see FFmpegOpt.h). Opening files and the transcode
// loop are stages of their own; until they are part of the engine these
// seams fail with a clear error rather than pretend to succeed.
#include "FFmpegOpt.h"

#include "FFLog.h"
#include "FFOptionHandlers.h"
#include "FFOptions.h"
#include "FFText.h"
#include "LibAV.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

void TAVIOClose::operator()(AVIOContext* AContext) const {
  AV.avio_closep(&AContext);
}

TCustomFFmpegOpt::TCustomFFmpegOpt()
    : ReadInterrupt{&ReadInterruptCallback, this}, WriteInterrupt{&WriteInterruptCallback, this},
      FOptions(std::make_unique<TFFOptions>()) {}

TCustomFFmpegOpt::~TCustomFFmpegOpt() = default;

// ---- Seams to the stages that open files and run the loop -------------------

namespace {

// Parses one file's options into a record of its own and frees it again,
// also when a handler raises.
int ParseAndDiscard(TCustomFFmpegOpt& ATask, const std::string& AOptions,
                    const std::string& AFileName, const std::string& APresets) {
  ATask.InitOptionTable();
  TOptionsContext options;
  ATask.InitOptionsContext(options);
  struct TFree {
    TCustomFFmpegOpt& Task;
    TOptionsContext& Options;
    ~TFree() { Task.FreeOptionsContext(Options); }
  } free{ATask, options};
  return ATask.ParseOptions(options, AOptions, AFileName, APresets);
}

} // namespace

// The options are checked now, so that a bad option string is reported as
// such; opening the file is the stage that is missing.
int TCustomFFmpegOpt::AddInput(const std::string& AOptions, const std::string& AFileName,
                               const std::string& APresets) {
  const int result = ParseAndDiscard(*this, AOptions, AFileName, APresets);
  if (result < 0) return result;
  LastErrMsg =
      "Cannot open input \"" + AFileName + "\": opening inputs is not available in this build";
  return AVERROR(ENOSYS);
}

int TCustomFFmpegOpt::AddOutput(const std::string& AOptions, bool, const std::string& AFileName,
                                const std::string& APresets) {
  const int result = ParseAndDiscard(*this, AOptions, AFileName, APresets);
  if (result < 0) return result;
  LastErrMsg =
      "Cannot open output \"" + AFileName + "\": opening outputs is not available in this build";
  return AVERROR(ENOSYS);
}

void TCustomFFmpegOpt::Transcode() {
  throw std::runtime_error("The transcode loop is not available in this build");
}

// ---- Errors ------------------------------------------------------------------

std::string& TCustomFFmpegOpt::LastOptionError() {
  return FOptions->LastOptionError;
}

void TCustomFFmpegOpt::FatalError(const std::string& AText) {
  LastErrMsg = AText;
  FFLogger().Log(this, TLogLevel::llFatal, AText);
  throw FFmpegException(AText);
}

void TCustomFFmpegOpt::FatalErrorFmt(const char* AFormat, ...) {
  va_list args;
  va_start(args, AFormat);
  const std::string text = VFormatText(AFormat, args);
  va_end(args);
  FatalError(text);
}

void TCustomFFmpegOpt::CheckOptionsUsed(const AVDictionary* ADictionary) {
  const AVDictionaryEntry* entry =
      ADictionary ? AV.av_dict_get(ADictionary, "", nullptr, AV_DICT_IGNORE_SUFFIX) : nullptr;
  if (!entry) return;
  if (StrictOptions) FatalErrorFmt("Option %s not found.", entry->key);
  LastErrMsg = std::string("Option ") + entry->key + " not found.";
}

void TCustomFFmpegOpt::AbortExperimental() {
  FatalError("abort codec experimental");
}

// ---- Handlers the task class provides ------------------------------------------

int TCustomFFmpegOpt::OptVHook(TOptionsContext*, const char* AName, const char*) {
  return OptionFailure(*this, std::string("option \"") + AName + "\" is not supported by this task",
                       AVERROR(ENOSYS));
}

int TCustomFFmpegOpt::OptVideoHookBitsPixel(TOptionsContext* AOptions, const char* AName,
                                            const char* AValue) {
  return OptVHook(AOptions, AName, AValue);
}

// ---- I/O interrupts ---------------------------------------------------------------

int64_t TCustomFFmpegOpt::InterruptClock() const {
  const TInterruptClock clock = FClock.load();
  return clock ? clock() : AV.av_gettime_relative();
}

void TCustomFFmpegOpt::StartReadTimer() {
  FReadReported = irNone;
  ReadStartTime = InterruptClock();
}

void TCustomFFmpegOpt::StartWriteTimer() {
  FWriteReported = irNone;
  WriteStartTime = InterruptClock();
}

int TCustomFFmpegOpt::CheckInterrupt(const TIODirection& ADirection) noexcept {
  auto report = [&](TIOReport AWhat, const char* AText) {
    if (ADirection.Reported.exchange(AWhat) == AWhat) return;
    try {
      FFLogger().Log(this, TLogLevel::llInfo, AText);
    } catch (...) {
      // Nothing may unwind into the libraries' C code.
    }
  };
  if (IOBroken) {
    report(irBroken, "reading/writing broken");
    return 1;
  }
  const int64_t start = ADirection.StartTime.load();
  // A cancel counts whatever the time-out.
  if (start == 0) {
    report(irCanceled, ADirection.CanceledText);
    return 1;
  }
  const int timeout = ADirection.Timeout.load();
  if (start == kNoIOStartTime || timeout <= 0) return 0;
  if (InterruptClock() - start <= int64_t{timeout} * 1000) return 0;
  report(irTimeout, ADirection.TimeoutText);
  return 1;
}

int TCustomFFmpegOpt::ReadInterruptCallback(void* AOpaque) noexcept {
  auto* task = static_cast<TCustomFFmpegOpt*>(AOpaque);
  return task->CheckInterrupt({task->ReadTimeout, task->ReadStartTime, task->FReadReported,
                               "connecting/reading timeout", "connecting/reading canceled"});
}

int TCustomFFmpegOpt::WriteInterruptCallback(void* AOpaque) noexcept {
  auto* task = static_cast<TCustomFFmpegOpt*>(AOpaque);
  return task->CheckInterrupt({task->WriteTimeout, task->WriteStartTime, task->FWriteReported,
                               "connecting/writing timeout", "connecting/writing canceled"});
}
