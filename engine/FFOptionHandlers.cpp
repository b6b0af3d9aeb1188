// The option handlers (see FFOptionHandlers.h). Those whose behaviour needs
// stages the engine does not have yet (maps, targets, presets, progress
// output, complex filter graphs...) fail with a clear "not supported yet"
// rather than drop the option silently.
#include "FFOptionHandlers.h"

#include "FFLog.h"
#include "FFOptions.h"
#include "FFValues.h"
#include "FFmpegOpt.h"
#include "LibAV.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <strings.h>

namespace {

std::string Quoted(const char* AText) {
  return std::string("\"") + (AText ? AText : "") + "\"";
}

int NotSupportedYet(TCustomFFmpegOpt& ATask, const char* AName) {
  ATask.LastOptionError() = "option " + Quoted(AName) + " is not supported yet";
  FFLogger().Log(&ATask, TLogLevel::llError, ATask.LastOptionError());
  return AVERROR(ENOSYS);
}

int Rename(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* ANewName,
           const char* AValue) {
  return ParseOption(ATask, AOptions, ANewName, AValue);
}

// Sets a library option straight into the file group's codec dictionary.
int SetCodecOption(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AKey,
                   const char* AValue) {
  if (!AOptions || !AOptions->Group) return NotSupportedYet(ATask, AKey);
  return AOptions->Group->CodecOpts.Set(AKey, AValue);
}

// A whole decimal number, as strtol reads one.
bool ReadDecimal(const char* AText, long& AValue) {
  if (!AText || !*AText) return false;
  const char* end = AText + std::strlen(AText);
  const char* begin = *AText == '+' ? AText + 1 : AText;
  const auto [stop, error] = std::from_chars(begin, end, AValue);
  return error == std::errc() && stop == end;
}

// Seconds (with "." as the decimal separator) applied as microseconds.
int ApplySeconds(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
                 const char* AValue, const char* AMicrosecondOption) {
  double seconds = 0;
  try {
    seconds = ParseDoubleOption(AName, AValue ? AValue : "");
  } catch (const Exception& e) {
    ATask.LastOptionError() = e.what();
    FFLogger().Log(&ATask, TLogLevel::llError, e.what());
    return AVERROR(EINVAL);
  }
  const std::string microseconds = std::to_string(std::llround(seconds * 1000000.0));
  return Rename(ATask, AOptions, AMicrosecondOption, microseconds.c_str());
}

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

// ---- Informational, unsupported and removed options -------------------------

int OptIgnored(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  ATask.LastOptionError() = "options " + Quoted(AName) + " not supported, ignore";
  FFLogger().Log(&ATask, TLogLevel::llWarning, ATask.LastOptionError());
  return 0;
}

int OptUnsupported(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  ATask.LastOptionError() = "options " + Quoted(AName) + " not supported";
  FFLogger().Log(&ATask, TLogLevel::llError, ATask.LastOptionError());
  return AVERROR(EINVAL);
}

int OptHookSwitch(TCustomFFmpegOpt&, TOptionsContext*, const char*, const char*) {
  // The encoder reads the hook switches from its output options itself.
  return 0;
}

int OptSameQ(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  ATask.LastOptionError() = "Option " + Quoted(AName) +
                            " was removed. If you are looking for an option to preserve the "
                            "quality (which is not what -" +
                            AName +
                            " was for), use -qscale 0 or an equivalent quality factor "
                            "option.";
  FFLogger().Log(&ATask, TLogLevel::llWarning, ATask.LastOptionError());
  return AVERROR(EINVAL);
}

// ---- Log level, allocation limit, CPU features ----------------------------------

int ApplyLogLevel(TCustomFFmpegOpt& ATask, const char* AValue) {
  const char* value = AValue ? AValue : "";
  for (const TLogLevelName& level : kLogLevels)
    if (std::strcmp(level.Name, value) == 0) {
      FFLogger().SetLogLevel(LogLevelOf(level.Level));
      return 0;
    }
  long number = 0;
  if (ReadDecimal(value, number) && number >= INT32_MIN && number <= INT32_MAX) {
    FFLogger().SetLogLevel(LogLevelOf(static_cast<int>(number)));
    return 0;
  }
  std::string text =
      std::string("Invalid loglevel \"") + value + "\". Possible levels are numbers or:\r\n";
  std::string logged =
      std::string("Invalid loglevel \"") + value + "\". Possible levels are numbers or:\n";
  for (const TLogLevelName& level : kLogLevels) {
    text += Quoted(level.Name) + "\r\n";
    logged += Quoted(level.Name) + "\n";
  }
  ATask.LastOptionError() = text;
  AV.av_log(nullptr, AV_LOG_ERROR, "%s", logged.c_str());
  return AVERROR(EINVAL);
}

int OptLogLevel(TCustomFFmpegOpt& ATask, TOptionsContext*, const char*, const char* AValue) {
  return ApplyLogLevel(ATask, AValue);
}

int OptMaxAlloc(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptCpuFlags(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

// ---- Renamed options ------------------------------------------------------------

int OptVideoCodec(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                  const char* AValue) {
  return Rename(ATask, AOptions, "codec:v", AValue);
}

int OptAudioCodec(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                  const char* AValue) {
  return Rename(ATask, AOptions, "codec:a", AValue);
}

int OptSubtitleCodec(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                     const char* AValue) {
  return Rename(ATask, AOptions, "codec:s", AValue);
}

int OptDataCodec(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                 const char* AValue) {
  return Rename(ATask, AOptions, "codec:d", AValue);
}

int OptVideoFrames(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                   const char* AValue) {
  return Rename(ATask, AOptions, "frames:v", AValue);
}

int OptAudioFrames(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                   const char* AValue) {
  return Rename(ATask, AOptions, "frames:a", AValue);
}

int OptDataFrames(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                  const char* AValue) {
  return Rename(ATask, AOptions, "frames:d", AValue);
}

int OptVideoFilters(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                    const char* AValue) {
  return Rename(ATask, AOptions, "filter:v", AValue);
}

int OptAudioFilters(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                    const char* AValue) {
  return Rename(ATask, AOptions, "filter:a", AValue);
}

int OptAudioQuality(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char*,
                    const char* AValue) {
  return Rename(ATask, AOptions, "q:a", AValue);
}

int OptOldToNew(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
                const char* AValue) {
  // "vtag" becomes "tag:v", "absf" becomes "bsf:a".
  const std::string name = std::string(AName + 1) + ":" + AName[0];
  return Rename(ATask, AOptions, name.c_str(), AValue);
}

int OptTimeStart(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
                 const char* AValue) {
  return ApplySeconds(ATask, AOptions, AName, AValue, "ss_microsecond");
}

int OptTimeLength(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
                  const char* AValue) {
  return ApplySeconds(ATask, AOptions, AName, AValue, "t_microsecond");
}

// ---- Options with behaviour of their own ----------------------------------------------

int OptBitrate(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
               const char* AValue) {
  if (std::strcmp(AName, "b") != 0) return SetCodecOption(ATask, AOptions, AName, AValue);
  FFLogger().Log(&ATask, TLogLevel::llWarning, "Please use -b:a or -b:v, -b is ambiguous");
  return SetCodecOption(ATask, AOptions, "b:v", AValue);
}

int OptQScale(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
              const char* AValue) {
  if (std::strcmp(AName, "qscale") != 0)
    return Rename(ATask, AOptions, (std::string("q") + (AName + 6)).c_str(), AValue);
  FFLogger().Log(&ATask, TLogLevel::llWarning, "Please use -q:a or -q:v, -qscale is ambiguous");
  return Rename(ATask, AOptions, "q:v", AValue);
}

int OptProfile(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
               const char* AValue) {
  if (std::strcmp(AName, "profile") != 0) return SetCodecOption(ATask, AOptions, AName, AValue);
  FFLogger().Log(&ATask, TLogLevel::llWarning,
                 "Please use -profile:a or -profile:v, -profile is ambiguous");
  return SetCodecOption(ATask, AOptions, "profile:v", AValue);
}

int OptVsync(TCustomFFmpegOpt& ATask, TOptionsContext*, const char*, const char* AValue) {
  const char* value = AValue ? AValue : "";
  if (strcasecmp(value, "cfr") == 0)
    ATask.VideoSyncMethod = 1;
  else if (strcasecmp(value, "vfr") == 0)
    ATask.VideoSyncMethod = 2;
  else if (strcasecmp(value, "passthrough") == 0)
    ATask.VideoSyncMethod = 0;
  else if (strcasecmp(value, "drop") == 0)
    ATask.VideoSyncMethod = 255;
  // A number counts only while the method is still automatic.
  if (ATask.VideoSyncMethod != -1) return 0;
  long number = 0;
  if (ReadDecimal(value, number) && ((number >= -1 && number <= 2) || number == 255)) {
    ATask.VideoSyncMethod = static_cast<int>(number);
    return 0;
  }
  ATask.LastOptionError() =
      std::string("The value for \"vsync\" was ") + Quoted(value) + " which is invalid";
  FFLogger().Log(&ATask, TLogLevel::llError, ATask.LastOptionError());
  return AVERROR(EINVAL);
}

int OptDeinterlace(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  FFLogger().Log(&ATask, TLogLevel::llWarning,
                 std::string("-") + AName + " is deprecated, use -filter:v yadif instead");
  ATask.DoDeinterlace = true;
  return 0;
}

int OptVideoChannel(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptVideoStandard(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptChannelLayout(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptTimecode(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptRecordingTimestamp(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName,
                          const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptVStats(TCustomFFmpegOpt& ATask, TOptionsContext*, const char*, const char*) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char name[32];
  std::snprintf(name, sizeof name, "vstats_%02d%02d%02d.log", local.tm_hour, local.tm_min,
                local.tm_sec);
  ATask.VStatsFileName = name;
  return 0;
}

int OptVStatsFile(TCustomFFmpegOpt& ATask, TOptionsContext*, const char*, const char* AValue) {
  ATask.VStatsFileName = AValue ? AValue : "";
  return 0;
}

int OptProgress(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptAttach(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
              const char* AValue) {
  if (!AOptions) return NotSupportedYet(ATask, AName);
  AOptions->Attachments.emplace_back(AValue ? AValue : "");
  return 0;
}

int OptFilterComplex(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptMap(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptMapChannel(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptTarget(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptPreset(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int OptStreamId(TCustomFFmpegOpt& ATask, TOptionsContext*, const char* AName, const char*) {
  return NotSupportedYet(ATask, AName);
}

int CallOptVHook(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
                 const char* AValue) {
  return ATask.OptVHook(AOptions, AName, AValue);
}

int CallOptVideoHookBitsPixel(TCustomFFmpegOpt& ATask, TOptionsContext* AOptions, const char* AName,
                              const char* AValue) {
  return ATask.OptVideoHookBitsPixel(AOptions, AName, AValue);
}

// ---- Presets ------------------------------------------------------------------------

int TCustomFFmpegOpt::ParsePresets(TOptionsContext&, const std::string& APresets,
                                   const std::string&) {
  if (APresets.empty()) return 0;
  LastOptionError() = "presets are not supported yet";
  FFLogger().Log(this, TLogLevel::llError, LastOptionError());
  return AVERROR(ENOSYS);
}
