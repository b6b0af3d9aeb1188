// Preset texts and preset files (see FFPresets.h).
#include "FFPresets.h"

#include "FFLog.h"
#include "FFOptionHandlers.h"
#include "FFOptions.h"
#include "FFText.h"
#include "FFUtils.h"
#include "TaskOptions.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <strings.h>
#include <utility>
#include <vector>

namespace {

void ReplaceAll(std::string& AText, const std::string& AFrom, const std::string& ATo) {
  for (size_t at = AText.find(AFrom); at != std::string::npos;
       at = AText.find(AFrom, at + ATo.size()))
    AText.replace(at, AFrom.size(), ATo);
}

// Every CR LF, lone CR and lone LF as ABreak.
std::string WithLineBreaks(std::string AText, const std::string& ABreak) {
  ReplaceAll(AText, "\r\n", "\n");
  ReplaceAll(AText, "\r", "\n");
  if (ABreak != "\n") ReplaceAll(AText, "\n", ABreak);
  return AText;
}

std::vector<std::string> SplitLines(const std::string& AText) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = AText.find('\n', start)) != std::string::npos; start = at + 1)
    lines.push_back(AText.substr(start, at - start));
  lines.push_back(AText.substr(start));
  return lines;
}

// Applies one key=value line: codec names into the record, everything else
// into the file group's library options.
int ApplyPresetLine(TTaskOptions& ATask, TOptionsContext& AOptions, const std::string& AKey,
                    const std::string& AValue) {
  FFLogger().Log(
      &ATask, TLogLevel::llDebug,
      FormatText("Applying preset %s with argument %s.\n", AKey.c_str(), AValue.c_str()));
  ATask.LastOptionError().clear();
  static const std::pair<const char*, const char*> kCodecKeys[] = {
      {"acodec", "codec:a"}, {"vcodec", "codec:v"}, {"scodec", "codec:s"}, {"dcodec", "codec:d"}};
  for (const auto& [key, option] : kCodecKeys)
    if (strcasecmp(AKey.c_str(), key) == 0) {
      const int result = ParseOption(ATask, &AOptions, option, AValue.c_str());
      return result < 0 ? result : 0;
    }
  return ApplyPresetLibraryOption(ATask, &AOptions, AKey.c_str(), AValue.c_str());
}

// The messages of one source of preset lines.
struct TPresetMessages {
  std::string InvalidSyntax; // format with the line
  std::string InvalidOption; // format with line, key, value
};

int ApplyPresetLines(TTaskOptions& ATask, TOptionsContext& AOptions,
                     const std::vector<std::string>& ALines, const TPresetMessages& AMessages) {
  for (const std::string& raw : ALines) {
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
    if (key.empty() || value.empty()) {
      const std::string message = FormatText(AMessages.InvalidSyntax.c_str(), line.c_str());
      FFLogger().Log(&ATask, TLogLevel::llError, message);
      if (ATask.StrictOptions) {
        ATask.LastOptionError() = message;
        return AVERROR(EINVAL);
      }
    }
    const int result = ApplyPresetLine(ATask, AOptions, key, value);
    if (result >= 0) continue;
    const std::string message =
        FormatText(AMessages.InvalidOption.c_str(), line.c_str(), key.c_str(), value.c_str());
    FFLogger().Log(&ATask, TLogLevel::llError, message);
    if (!ATask.StrictOptions) continue;
    std::string& lastError = ATask.LastOptionError();
    lastError = lastError.empty() ? message : lastError + "\r\n" + message;
    return result;
  }
  return 0;
}

// The format string AFormat with every "%" of APrefix made literal in front.
std::string Prefixed(const std::string& APrefix, const char* AFormat) {
  std::string prefix = APrefix;
  ReplaceAll(prefix, "%", "%%");
  return prefix + ": " + AFormat;
}

const char* const kInvalidSyntax = "Invalid syntax: \"%s\"";
const char* const kInvalidOption = "Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"";

} // namespace

int ApplyPresetLibraryOption(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AKey,
                             const char* AValue) {
  TFFOptions& options = ATask.FFOptions();
  // What the option string collected stays aside; the option lands in empty
  // dictionaries from which it is copied into the file group.
  TDictionary codec = std::exchange(options.CurrentCodec, TDictionary());
  TDictionary format = std::exchange(options.CurrentFormat, TDictionary());
  TDictionary resampler = std::exchange(options.CurrentResampler, TDictionary());
  const int result = options.SetDefaultOption(AKey, AValue);
  TOptionGroup& group = AOptions && AOptions->Group ? *AOptions->Group : options.FileGroup;
  if (result >= 0) {
    AV.av_dict_copy(group.CodecOpts.Ref(), options.CurrentCodec.Get(), 0);
    AV.av_dict_copy(group.FormatOpts.Ref(), options.CurrentFormat.Get(), 0);
    AV.av_dict_copy(group.ResamplerOpts.Ref(), options.CurrentResampler.Get(), 0);
    // Taken by none of the dictionaries: a scaler option, set on the
    // current scaler object; the file group's own one needs it.
    if (!options.CurrentCodec.Count() && !options.CurrentFormat.Count() &&
        !options.CurrentResampler.Count()) {
      if (!group.ScalerOpts)
        group.ScalerOpts.reset(AV.sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16,
                                                 AV_PIX_FMT_YUV420P, options.ScalerFlags, nullptr,
                                                 nullptr, nullptr));
      if (group.ScalerOpts) AV.av_opt_set(group.ScalerOpts.get(), AKey, AValue, 0);
    }
  }
  options.CurrentCodec = std::move(codec);
  options.CurrentFormat = std::move(format);
  options.CurrentResampler = std::move(resampler);
  return result;
}

int TTaskOptions::ParsePresets(TOptionsContext& AOptions, const std::string& APresets,
                                   const std::string& AFileName) {
  if (APresets.empty()) return 0;
  FFLogger().Log(this, TLogLevel::llInfo,
                 FormatText("ParsePresets for %s:%s%s", AFileName.c_str(), "\r\n",
                            WithLineBreaks(APresets, "\r\n").c_str()));
  std::string text = WithLineBreaks(Trim(APresets), "\n");
  ReplaceAll(text, "<CRLF>", "\n");
  return ApplyPresetLines(*this, AOptions, SplitLines(text), {kInvalidSyntax, kInvalidOption});
}

int OptPreset(TTaskOptions& ATask, TOptionsContext* AOptions, const char*, const char* AValue) {
  const std::string path = AValue ? AValue : "";
  std::error_code error;
  if (!AOptions || !std::filesystem::is_regular_file(path, error)) {
    return OptionFailure(ATask, FormatText("Preset file \"%s\" not found", path.c_str()));
  }
  FFLogger().Log(&ATask, TLogLevel::llInfo, FormatText("Parse preset file: %s", path.c_str()));
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Exception(FormatText("Cannot open file \"%s\"", path.c_str()));
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw Exception(FormatText("Cannot read file \"%s\"", path.c_str()));
  const std::string base = std::filesystem::path(path).filename().string();
  return ApplyPresetLines(ATask, *AOptions, SplitLines(WithLineBreaks(content, "\n")),
                          {Prefixed(path, kInvalidSyntax), Prefixed(base, kInvalidOption)});
}
