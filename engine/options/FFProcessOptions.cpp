// The option handlers that act on the whole process rather than on a task:
// the log level, the allocation limit and the CPU features the libraries
// may use.
#include "FFErrors.h"
#include "FFLog.h"
#include "FFOptionHandlers.h"
#include "FFText.h"
#include "FFValues.h"
#include "TaskOptions.h"
#include "LibAV.h"

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

struct TLogLevelName {
  const char* Name;
  int Level;
};
const TLogLevelName kLogLevels[] = {
    {"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
    {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
    {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},
};

} // namespace

int ApplyLogLevel(TTaskOptions& ATask, const char* AValue) {
  const char* value = AValue ? AValue : "";
  for (const TLogLevelName& level : kLogLevels)
    if (std::strcmp(level.Name, value) == 0) {
      FFLogger().SetLogLevel(LogLevelOf(level.Level));
      return 0;
    }
  long number = 0;
  if (ParseWholeDecimal(value, number) && number >= INT32_MIN && number <= INT32_MAX) {
    FFLogger().SetLogLevel(LogLevelOf(static_cast<int>(number)));
    return 0;
  }
  std::string text =
      FormatText("Invalid loglevel \"%s\". Possible levels are numbers or:\r\n", value);
  std::string logged =
      FormatText("Invalid loglevel \"%s\". Possible levels are numbers or:\n", value);
  for (const TLogLevelName& level : kLogLevels) {
    text += FormatText("\"%s\"\r\n", level.Name);
    logged += FormatText("\"%s\"\n", level.Name);
  }
  ATask.LastOptionError() = text;
  AV.av_log(nullptr, AV_LOG_ERROR, "%s", logged.c_str());
  return AVERROR(EINVAL);
}

int OptLogLevel(TTaskOptions& ATask, TOptionsContext*, const char*, const char* AValue) {
  return ApplyLogLevel(ATask, AValue);
}

int OptMaxAlloc(TTaskOptions& ATask, TOptionsContext*, const char*, const char* AValue) {
  const char* value = AValue ? AValue : "";
  long limit = 0;
  std::string error;
  if (!ParseWholeDecimal(value, limit)) error = FormatText("Invalid max_alloc \"%s\".", value);
  // The limit holds for every allocation of the process: a tiny one would
  // make every later allocation fail, the recorder's own included.
  else if (limit < kMinMaxAlloc)
    error = FormatText("Invalid max_alloc \"%s\". The limit must be at least %ld bytes.", value,
                       kMinMaxAlloc);
  if (!error.empty()) return OptionFailure(ATask, error, AVERROR(EINVAL), TLogLevel::llFatal);
  AV.av_max_alloc(static_cast<size_t>(limit));
  return 0;
}

int OptCpuFlags(TTaskOptions& ATask, TOptionsContext*, const char*, const char* AValue) {
  const char* value = AValue ? AValue : "";
  // What the processor has, not what an earlier "-cpuflags" forced.
  AV.av_force_cpu_flags(-1);
  const unsigned present = static_cast<unsigned>(AV.av_get_cpu_flags());
  unsigned flags = present;
  const int result = AV.av_parse_cpu_caps(&flags, value);
  if (result < 0)
    return OptionFailure(ATask,
                         FormatText("Failed to parse cpu flags \"%s\"", value) + ": " +
                             ErrorToString("", result),
                         result, TLogLevel::llFatal);
  // Code paths for features the processor lacks would crash it: the option
  // may only take features away.
  AV.av_force_cpu_flags(static_cast<int>(flags & present));
  return 0;
}
