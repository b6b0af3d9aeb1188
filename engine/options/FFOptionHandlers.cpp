// The option handlers (see FFOptionHandlers.h), but for those that act on
// the whole process (FFProcessOptions.cpp) and the presets (FFPresets.cpp).
#include "FFOptionHandlers.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFOptions.h"
#include "FFPresets.h"
#include "FFStreamMaps.h"
#include "FFTargets.h"
#include "FFText.h"
#include "FFValues.h"
#include "TaskOptions.h"
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

// A per-file option met while the global group is applied.
int NeedsFile(TTaskOptions& ATask, const char* AName) {
  return OptionFailure(ATask, "Option " + Quoted(AName) + " needs a file");
}

int Rename(TTaskOptions& ATask, TOptionsContext* AOptions, const char* ANewName,
           const char* AValue) {
  return ParseOption(ATask, AOptions, ANewName, AValue);
}

// Sets a library option straight into the file group's codec dictionary.
int SetCodecOption(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AKey,
                   const char* AValue) {
  if (!AOptions || !AOptions->Group) return NeedsFile(ATask, AKey);
  return AOptions->Group->CodecOpts.Set(AKey, AValue);
}

// Seconds (with "." as the decimal separator) applied as microseconds.
int ApplySeconds(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                 const char* AValue, const char* AMicrosecondOption) {
  double seconds = 0;
  try {
    seconds = ParseDoubleOption(AName, AValue ? AValue : "");
  } catch (const Exception& e) {
    return OptionFailure(ATask, e.what());
  }
  // A time the 64-bit microsecond count cannot hold would wrap, or become the
  // no-time-stamp value: it is refused as a value that does not convert.
  const double us = seconds * 1000000.0;
  if (!(std::fabs(us) < 9.2e18))
    return OptionFailure(ATask, FormatText("Expected double for \"%s\" but found \"%s\"", AName,
                                           AValue ? AValue : ""));
  const std::string microseconds = std::to_string(std::llround(us));
  return Rename(ATask, AOptions, AMicrosecondOption, microseconds.c_str());
}

} // namespace

int OptionFailure(TTaskOptions& ATask, const std::string& AText, int ACode, TLogLevel ALevel) {
  ATask.LastOptionError() = AText;
  FFLogger().Log(&ATask, ALevel, AText);
  return ACode;
}

// ---- Informational, unsupported and removed options -------------------------

int OptIgnored(TTaskOptions& ATask, TOptionsContext*, const char* AName, const char*) {
  return OptionFailure(ATask, "options " + Quoted(AName) + " not supported, ignore", 0,
                       TLogLevel::llWarning);
}

int OptUnsupported(TTaskOptions& ATask, TOptionsContext*, const char* AName, const char*) {
  return OptionFailure(ATask, "options " + Quoted(AName) + " not supported");
}

int OptHookSwitch(TTaskOptions&, TOptionsContext*, const char*, const char*) {
  // The encoder reads the hook switches from its output options itself.
  return 0;
}

int OptSameQ(TTaskOptions& ATask, TOptionsContext*, const char* AName, const char*) {
  return OptionFailure(ATask,
                       FormatText("Option \"%s\" was removed. If you are looking for an option "
                                  "to preserve the quality (which is not what -%s was for), use "
                                  "-qscale 0 or an equivalent quality factor option.",
                                  AName, AName),
                       AVERROR(EINVAL), TLogLevel::llWarning);
}

// ---- Renamed options ------------------------------------------------------------

int OptVideoCodec(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                  const char* AValue) {
  return Rename(ATask, AOptions, "codec:v", AValue);
}

int OptAudioCodec(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                  const char* AValue) {
  return Rename(ATask, AOptions, "codec:a", AValue);
}

int OptSubtitleCodec(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                     const char* AValue) {
  return Rename(ATask, AOptions, "codec:s", AValue);
}

int OptDataCodec(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                 const char* AValue) {
  return Rename(ATask, AOptions, "codec:d", AValue);
}

int OptVideoFrames(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                   const char* AValue) {
  return Rename(ATask, AOptions, "frames:v", AValue);
}

int OptAudioFrames(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                   const char* AValue) {
  return Rename(ATask, AOptions, "frames:a", AValue);
}

int OptDataFrames(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                  const char* AValue) {
  return Rename(ATask, AOptions, "frames:d", AValue);
}

int OptVideoFilters(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                    const char* AValue) {
  return Rename(ATask, AOptions, "filter:v", AValue);
}

int OptAudioFilters(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                    const char* AValue) {
  return Rename(ATask, AOptions, "filter:a", AValue);
}

int OptAudioQuality(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                    const char* AValue) {
  return Rename(ATask, AOptions, "q:a", AValue);
}

int OptOldToNew(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                const char* AValue) {
  // "vtag" becomes "tag:v", "absf" becomes "bsf:a".
  const std::string name = std::string(AName + 1) + ":" + AName[0];
  return Rename(ATask, AOptions, name.c_str(), AValue);
}

int OptTimeStart(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                 const char* AValue) {
  return ApplySeconds(ATask, AOptions, AName, AValue, "ss_microsecond");
}

int OptTimeLength(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                  const char* AValue) {
  return ApplySeconds(ATask, AOptions, AName, AValue, "t_microsecond");
}

// ---- Options with behaviour of their own ----------------------------------------------

int OptBitrate(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
               const char* AValue) {
  if (std::strcmp(AName, "b") != 0) return SetCodecOption(ATask, AOptions, AName, AValue);
  FFLogger().Log(&ATask, TLogLevel::llWarning, "Please use -b:a or -b:v, -b is ambiguous");
  return SetCodecOption(ATask, AOptions, "b:v", AValue);
}

int OptQScale(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
              const char* AValue) {
  if (std::strcmp(AName, "qscale") != 0)
    return Rename(ATask, AOptions, (std::string("q") + (AName + 6)).c_str(), AValue);
  FFLogger().Log(&ATask, TLogLevel::llWarning, "Please use -q:a or -q:v, -qscale is ambiguous");
  return Rename(ATask, AOptions, "q:v", AValue);
}

int OptProfile(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
               const char* AValue) {
  if (std::strcmp(AName, "profile") != 0) return SetCodecOption(ATask, AOptions, AName, AValue);
  FFLogger().Log(&ATask, TLogLevel::llWarning,
                 "Please use -profile:a or -profile:v, -profile is ambiguous");
  return SetCodecOption(ATask, AOptions, "profile:v", AValue);
}

int OptVsync(TTaskOptions& ATask, TOptionsContext*, const char*, const char* AValue) {
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
  if (ParseWholeDecimal(value, number) && ((number >= -1 && number <= 2) || number == 255)) {
    ATask.VideoSyncMethod = static_cast<int>(number);
    return 0;
  }
  return OptionFailure(ATask,
                       FormatText("The value for \"vsync\" was \"%s\" which is invalid", value));
}

int OptDeinterlace(TTaskOptions& ATask, TOptionsContext*, const char* AName, const char*) {
  FFLogger().Log(&ATask, TLogLevel::llWarning,
                 std::string("-") + AName + " is deprecated, use -filter:v yadif instead");
  ATask.DoDeinterlace = true;
  return 0;
}

// ---- Old names of device options ----------------------------------------------------

namespace {

// The file group was finished before its options are applied, so a library
// option set the usual way now would be lost: it takes the preset road into
// the file group's dictionaries. Only a library (a capture device) that has
// the option takes it.
int ApplyRenamedLibraryOption(TTaskOptions& ATask, TOptionsContext* AOptions,
                              const char* AWarning, const char* AKey, const char* AValue) {
  FFLogger().Log(&ATask, TLogLevel::llWarning, AWarning);
  return ApplyPresetLibraryOption(ATask, AOptions, AKey, AValue ? AValue : "");
}

// The text after the first ":" of AName, with the ":", or empty.
std::string SpecifierPart(const char* AName) {
  const char* colon = std::strchr(AName, ':');
  return colon ? colon : "";
}

} // namespace

int OptVideoChannel(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                    const char* AValue) {
  return ApplyRenamedLibraryOption(ATask, AOptions, "This option is deprecated, use -channel.",
                                   "channel", AValue);
}

int OptVideoStandard(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                     const char* AValue) {
  return ApplyRenamedLibraryOption(ATask, AOptions, "This option is deprecated, use -standard.",
                                   "standard", AValue);
}

// ---- Channel layout, time code, recording time -----------------------------------------

int OptChannelLayout(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                     const char* AValue) {
  const char* value = AValue ? AValue : "";
  AVChannelLayout layout{};
  if (AV.av_channel_layout_from_string(&layout, value) < 0)
    return OptionFailure(ATask, FormatText("Unknown channel layout: %s", value));
  char description[256] = "";
  AV.av_channel_layout_describe(&layout, description, sizeof description);
  const int channels = layout.nb_channels;
  AV.av_channel_layout_uninit(&layout);
  // The libraries take a layout by its description now; the channel count
  // follows it, for the same streams.
  const std::string specifier = SpecifierPart(AName);
  const int result =
      ApplyPresetLibraryOption(ATask, AOptions, ("ch_layout" + specifier).c_str(), description);
  if (result < 0) return result;
  const int applied =
      Rename(ATask, AOptions, ("ac" + specifier).c_str(), std::to_string(channels).c_str());
  return applied < 0 ? applied : 0;
}

int OptTimecode(TTaskOptions& ATask, TOptionsContext* AOptions, const char*,
                const char* AValue) {
  const char* value = AValue ? AValue : "";
  const std::string tag = std::string("timecode=") + value;
  if (Rename(ATask, AOptions, "metadata:g", tag.c_str()) >= 0 && AOptions && AOptions->Group)
    AOptions->Group->CodecOpts.Set("gop_timecode", value);
  return 0;
}

namespace {

// Microseconds to whole seconds, halves away from zero.
int64_t RoundToSeconds(int64_t AMicroseconds) {
  int64_t seconds = AMicroseconds / 1000000;
  const int64_t rest = AMicroseconds % 1000000;
  if (rest >= 500000) ++seconds;
  if (rest <= -500000) --seconds;
  return seconds;
}

} // namespace

int OptRecordingTimestamp(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                          const char* AValue) {
  const int64_t seconds = RoundToSeconds(ParseTimeOption(AName, AValue ? AValue : "", false));
  // The libraries read creation_time as ISO 8601 in UTC; a local time with
  // a zone suffix would not be understood.
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  char text[64];
  if (!gmtime_r(&time, &utc) ||
      !std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc))
    return OptionFailure(ATask, FormatText("Invalid date \"%s\"", AValue ? AValue : ""));
  const int result =
      Rename(ATask, AOptions, "metadata", (std::string("creation_time=") + text).c_str());
  FFLogger().Log(
      &ATask, TLogLevel::llWarning,
      FormatText("%s is deprecated, set the \"creation_time\" metadata tag instead.", AName));
  return result < 0 ? result : 0;
}

// ---- Statistics and progress outputs ------------------------------------------------------

int OptVStats(TTaskOptions& ATask, TOptionsContext*, const char*, const char*) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char name[32];
  std::strftime(name, sizeof name, "vstats_%H%M%S.log", &local);
  ATask.VStatsFileName = name;
  return 0;
}

int OptVStatsFile(TTaskOptions& ATask, TOptionsContext*, const char*, const char* AValue) {
  ATask.VStatsFileName = AValue ? AValue : "";
  return 0;
}

int OptProgress(TTaskOptions& ATask, TOptionsContext*, const char*, const char* AValue) {
  const std::string value = AValue ? AValue : "";
  const std::string url = value == "-" ? "pipe:" : value;
  AVIOContext* output = nullptr;
  ATask.StartWriteTimer();
  const int result =
      AV.avio_open2(&output, url.c_str(), AVIO_FLAG_WRITE, ATask.WriteIOInterrupt(), nullptr);
  ATask.StopWriteTimer();
  if (result < 0)
    return OptionFailure(ATask,
                         FormatText("Failed to open progress URL \"%s\": %s", url.c_str(),
                                    ErrorToString("", result).c_str()),
                         result);
  ATask.ProgressOutput.reset(output);
  return 0;
}

// ---- Attachments, complex graphs, stream ids ----------------------------------------------

int OptAttach(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
              const char* AValue) {
  if (!AOptions) return NeedsFile(ATask, AName);
  AOptions->Attachments.emplace_back(AValue ? AValue : "");
  return 0;
}

int OptFilterComplex(TTaskOptions& ATask, TOptionsContext*, const char*, const char* AValue) {
  return ATask.AddComplexFilterGraph(AValue ? AValue : "");
}

int OptStreamId(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                const char* AValue) {
  if (!AOptions) return NeedsFile(ATask, AName);
  const std::string value = AValue ? AValue : "";
  const size_t colon = value.find(':');
  const std::string indexText = value.substr(0, colon);
  const std::string idText = colon == std::string::npos ? "" : value.substr(colon + 1);
  long index = 0, id = 0;
  if (colon == std::string::npos || !ParseWholeDecimal(indexText.c_str(), index) ||
      !ParseWholeDecimal(idText.c_str(), id))
    return OptionFailure(
        ATask,
        FormatText("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                   value.c_str(), AName));
  const char* const kRange = "The value for \"%s\" was \"%s\" which is not within %d - %d";
  if (index < 0 || index > 1023)
    return OptionFailure(ATask, FormatText(kRange, "streamid", indexText.c_str(), 0, 1023));
  if (id < 0 || id > INT32_MAX)
    return OptionFailure(ATask, FormatText(kRange, "streamid", idText.c_str(), 0, INT32_MAX));
  std::vector<int>& map = AOptions->StreamIdMap;
  if (map.size() <= static_cast<size_t>(index)) map.resize(static_cast<size_t>(index) + 1);
  map[static_cast<size_t>(index)] = static_cast<int>(id);
  return 0;
}

// ---- Options that look at the task's inputs -----------------------------------------------

int OptMap(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
           const char* AValue) {
  if (!AOptions) return NeedsFile(ATask, AName);
  const std::vector<AVFormatContext*> inputs = ATask.InputContexts();
  ApplyStreamMap(ATask, *AOptions, inputs, AValue ? AValue : "");
  return 0;
}

int OptMapChannel(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                  const char* AValue) {
  if (!AOptions) return NeedsFile(ATask, AName);
  const std::vector<AVFormatContext*> inputs = ATask.InputContexts();
  ApplyAudioChannelMap(ATask, *AOptions, inputs, AValue ? AValue : "");
  return 0;
}

int OptTarget(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
              const char* AValue) {
  if (!AOptions) return NeedsFile(ATask, AName);
  const std::vector<AVFormatContext*> inputs = ATask.InputContexts();
  return ApplyTarget(ATask, *AOptions, inputs, AValue ? AValue : "");
}

// ---- The task's own video-hook handlers ------------------------------------------------------

int CallOptVHook(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                 const char* AValue) {
  return ATask.OptVHook(AOptions, AName, AValue);
}

int CallOptVideoHookBitsPixel(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                              const char* AValue) {
  return ATask.OptVideoHookBitsPixel(AOptions, AName, AValue);
}
