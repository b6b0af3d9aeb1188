// The task's option state and its error routines (see TaskOptions.h).
#include "TaskOptions.h"

#include "FFLog.h"
#include "FFOptionHandlers.h"
#include "FFOptions.h"
#include "FFText.h"
#include "LibAV.h"

#include <cerrno>
#include <cstdarg>

TTaskOptions::TTaskOptions() : FOptions(std::make_unique<TFFOptions>()) {}

TTaskOptions::~TTaskOptions() = default;

std::string& TTaskOptions::LastOptionError() {
  return FOptions->LastOptionError;
}

// ---- Errors ------------------------------------------------------------------

void TTaskOptions::FatalError(const std::string& AText) {
  LastErrMsg = AText;
  FFLogger().Log(this, TLogLevel::llFatal, AText);
  throw FFmpegException(AText);
}

void TTaskOptions::FatalErrorFmt(const char* AFormat, ...) {
  va_list args;
  va_start(args, AFormat);
  const std::string text = VFormatText(AFormat, args);
  va_end(args);
  FatalError(text);
}

void TTaskOptions::CheckOptionsUsed(const AVDictionary* ADictionary) {
  const AVDictionaryEntry* entry =
      ADictionary ? AV.av_dict_get(ADictionary, "", nullptr, AV_DICT_IGNORE_SUFFIX) : nullptr;
  if (!entry) return;
  if (StrictOptions) FatalErrorFmt("Option %s not found.", entry->key);
  LastErrMsg = std::string("Option ") + entry->key + " not found.";
}

void TTaskOptions::AbortExperimental() {
  FatalError("abort codec experimental");
}

// ---- Handlers a task with hooks provides -----------------------------------------

int TTaskOptions::OptVHook(TOptionsContext*, const char* AName, const char*) {
  return OptionFailure(*this, std::string("option \"") + AName + "\" is not supported by this task",
                       AVERROR(ENOSYS));
}

int TTaskOptions::OptVideoHookBitsPixel(TOptionsContext* AOptions, const char* AName,
                                        const char* AValue) {
  return OptVHook(AOptions, AName, AValue);
}
