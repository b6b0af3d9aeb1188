// The option parser (see FFOptions.h). Its own messages go to the
// libraries' log (debug and error levels), as the rest of their output does.
#include "FFOptions.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFOptionHandlers.h"
#include "FFText.h"
#include "FFUtils.h"
#include "FFValues.h"
#include "TaskOptions.h"
#include "InputFormatRegistry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <type_traits>

namespace {

bool StartsWith(const char* AText, const char* APrefix) {
  return std::strncmp(AText, APrefix, std::strlen(APrefix)) == 0;
}

const AVOption* FindLibraryOption(const AVClass* AClass, const char* AName, int ASearchFlags) {
  if (!AClass) return nullptr;
  return AV.av_opt_find(&AClass, AName, nullptr, 0, ASearchFlags);
}

// The registered input devices are unknown to the libraries' format class.
const AVOption* FindDeviceOption(const char* AName) {
  for (const AVInputFormat* device : RegisteredInputFormats())
    if (const AVOption* option = FindLibraryOption(device->priv_class, AName,
                                                   AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ))
      return option;
  return nullptr;
}

// Flags options add to what is set; the others replace it.
int DictFlagsFor(const AVOption* AOption) {
  return AOption->type == AV_OPT_TYPE_FLAGS ? AV_DICT_APPEND : 0;
}

} // namespace

// ---- Collecting -----------------------------------------------------------------

int TFFOptions::CollectOptions(int ACount, bool AStrict, TOptionTable ATable, char* const* AArgs) {
  AV.av_log(nullptr, AV_LOG_DEBUG, "Parsing the options.\n");
  auto add = [this](const TOptionDef* ARow, const char* AKey, const char* AValue) {
    TOptionGroup& group = ARow->InFileGroup() ? FileGroup : GlobalGroup;
    group.Options.push_back({ARow, AKey, AValue});
  };
  int i = 0;
  while (i < ACount) {
    const char* arg = AArgs[i];
    const char* next = i + 1 < ACount ? AArgs[i + 1] : nullptr;
    AV.av_log(nullptr, AV_LOG_DEBUG, "Reading option \"%s\" ... ", arg);
    if (arg[0] != '-' || arg[1] == '\0') {
      if (AStrict) {
        LastOptionError = *arg ? std::string("Failed to parse options on ") + arg
                               : std::string("Failed to parse options");
        AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", LastOptionError.c_str());
        return AVERROR(EINVAL);
      }
      if (*arg)
        AV.av_log(nullptr, AV_LOG_ERROR, "Invalid option %s found while parsing options, ignore\n",
                  arg);
      else
        AV.av_log(nullptr, AV_LOG_ERROR, "Invalid option found while parsing options, ignore\n");
      ++i;
      continue;
    }
    const char* name = arg + 1;
    if (const TOptionDef* row = FindOption(ATable, name)) {
      const char* value = "1";
      if (row->HasArg()) {
        if (!next) {
          LastOptionError = FormatText("Missing argument for option \"%s\".", name);
          AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", LastOptionError.c_str());
          return AVERROR(EINVAL);
        }
        value = next;
      }
      i += row->HasArg() ? 2 : 1;
      add(row, name, value);
      AV.av_log(nullptr, AV_LOG_DEBUG, "matched as option \"%s\" (%s) with argument \"%s\".\n",
                row->Name, row->Help, value);
      continue;
    }
    if (next) {
      const int ret = SetDefaultOption(name, next);
      if (ret >= 0) {
        AV.av_log(nullptr, AV_LOG_DEBUG, "matched as AVOption \"%s\" with argument \"%s\".\n", name,
                  next);
        i += 2;
        continue;
      }
      if (ret != AVERROR_OPTION_NOT_FOUND) {
        AV.av_log(nullptr, AV_LOG_ERROR, "Error parsing option \"%s\" with argument \"%s\".\n",
                  name, next);
        return ret;
      }
    }
    if (StartsWith(name, "no")) {
      const TOptionDef* row = FindOption(ATable, name + 2);
      if (row && row->IsBool()) {
        add(row, name + 2, "0");
        AV.av_log(nullptr, AV_LOG_DEBUG, "matched as option \"%s\" (%s) with argument 0.\n",
                  row->Name, row->Help);
        ++i;
        continue;
      }
    }
    LastOptionError = FormatText("Unrecognized option \"%s\".", name);
    AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", LastOptionError.c_str());
    if (AStrict) return AVERROR_OPTION_NOT_FOUND;
    // Only the option itself is skipped; what would have been its value is
    // read next as an option.
    ++i;
  }
  FinishFileGroup();
  AV.av_log(nullptr, AV_LOG_DEBUG, "Finished parsing the options.\n");
  return 0;
}

int TFFOptions::SetDefaultOption(const char* AName, const char* AValue) {
  constexpr int kSearchAll = AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ;
  if (std::strcmp(AName, "debug") == 0 || std::strcmp(AName, "fdebug") == 0)
    FFLogger().SetLogLevel(TLogLevel::llDebug);
  std::string stripped(AName, std::min<size_t>(std::strcspn(AName, ":"), 127));

  bool consumed = false;
  const AVClass* codecClass = AV.avcodec_get_class();
  const AVOption* option = FindLibraryOption(codecClass, stripped.c_str(), kSearchAll);
  // "-vb" and its like: a codec option behind a media letter.
  if (!option && AName[0] && std::strchr("asv", AName[0]))
    option = FindLibraryOption(codecClass, AName + 1, AV_OPT_SEARCH_FAKE_OBJ);
  if (option) {
    CurrentCodec.Set(AName, AValue, DictFlagsFor(option));
    consumed = true;
  }

  option = FindLibraryOption(AV.avformat_get_class(), AName, kSearchAll);
  if (!option) option = FindDeviceOption(AName);
  if (option) {
    CurrentFormat.Set(AName, AValue, DictFlagsFor(option));
    if (consumed)
      AV.av_log(nullptr, AV_LOG_VERBOSE, "Routing %s to codec and muxer layer\n", AName);
    consumed = true;
  }

  auto rejected = [this, AName](int ACode) {
    LastOptionError = std::string("Error setting option \"") + AName + "\"";
    AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", LastOptionError.c_str());
    return ACode;
  };
  if (!consumed && FindLibraryOption(AV.sws_get_class(), AName, kSearchAll)) {
    const int ret = AV.av_opt_set(CurrentScaler(), AName, AValue, 0);
    if (ret < 0) return rejected(ret);
    consumed = true;
  }
  if (!consumed && (option = FindLibraryOption(AV.swr_get_class(), AName, kSearchAll))) {
    SwrContext* probe = AV.swr_alloc();
    const int ret = probe ? AV.av_opt_set(probe, AName, AValue, 0) : AVERROR(ENOMEM);
    AV.swr_free(&probe);
    if (ret < 0) return rejected(ret);
    CurrentResampler.Set(AName, AValue, DictFlagsFor(option));
    consumed = true;
  }
  return consumed ? 0 : AVERROR_OPTION_NOT_FOUND;
}

TScalerOptions TFFOptions::NewScaler() const {
  return TScalerOptions(AV.sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                          ScalerFlags, nullptr, nullptr, nullptr));
}

SwsContext* TFFOptions::CurrentScaler() {
  if (!FCurrentScaler) FCurrentScaler = NewScaler();
  return FCurrentScaler.get();
}

void TFFOptions::FinishFileGroup() {
  FileGroup.CodecOpts = std::move(CurrentCodec);
  FileGroup.FormatOpts = std::move(CurrentFormat);
  FileGroup.ResamplerOpts = std::move(CurrentResampler);
  CurrentScaler();
  FileGroup.ScalerOpts = std::move(FCurrentScaler);
  FCurrentScaler = NewScaler();
}

void TFFOptions::ResetGroups() {
  GlobalGroup = TOptionGroup{};
  FileGroup = TOptionGroup{};
  // What a failed parse left behind must not reach the next file.
  CurrentCodec.Clear();
  CurrentFormat.Clear();
  CurrentResampler.Clear();
  FCurrentScaler.reset();
}

// ---- Applying --------------------------------------------------------------------

namespace {

template <class T>
T ConvertValue(uint32_t AFlags, const std::string& AName, const std::string& AValue) {
  if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::optional<std::string>>)
    return AValue;
  else if constexpr (std::is_same_v<T, int>)
    return ParseIntOption(AName, AValue);
  else if constexpr (std::is_same_v<T, int64_t>)
    return AFlags & ofTime ? ParseTimeOption(AName, AValue, true) : ParseInt64Option(AName, AValue);
  else if constexpr (std::is_same_v<T, float>)
    return ParseFloatOption(AName, AValue);
  else
    return ParseDoubleOption(AName, AValue);
}

template <class T> struct TFieldOf;
template <class M, class C> struct TFieldOf<M C::*> {
  using Class = C;
  using Type = M;
};

template <class T> struct TIsSpecifierList : std::false_type {};
template <class T> struct TIsSpecifierList<TSpecifierOptList<T>> : std::true_type {
  using Value = T;
};

int CallHandler(TTaskOptions& ATask, TOptionHandler AHandler, TOptionsContext* AOptions,
                const char* AName, const char* AValue) {
  std::string& lastError = ATask.LastOptionError();
  lastError.clear();
  int result;
  // A handler's exception is the option's error: the parse answers codes.
  try {
    result = AHandler(ATask, AOptions, AName, AValue);
  } catch (const std::bad_alloc&) {
    lastError = "Out of memory";
    result = AVERROR(ENOMEM);
  } catch (const FFmpegException& e) {
    lastError = e.what(); // the fatal-error routine has logged it
    result = AVERROR(EINVAL);
  } catch (const std::exception& e) {
    lastError = e.what();
    AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", e.what());
    result = AVERROR(EINVAL);
  }
  if (result >= 0) return 0;
  const std::string message = std::string("Failed to set value \"") + (AValue ? AValue : "") +
                              "\" for option \"" + AName + "\"";
  lastError = lastError.empty() ? message : lastError + "\r\n" + message;
  AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", message.c_str());
  return result;
}

} // namespace

int WriteOption(TTaskOptions& ATask, TOptionsContext* AOptions, const TOptionDef& ARow,
                const char* AName, const char* AValue) {
  const std::string name = AName;
  const std::string value = AValue ? AValue : "";
  auto write = [&](auto ATarget) -> int {
    using TTarget = decltype(ATarget);
    if constexpr (std::is_same_v<TTarget, TOptionHandler>) {
      return CallHandler(ATask, ATarget, AOptions, AName, AValue);
    } else {
      using TField = typename TFieldOf<TTarget>::Type;
      if constexpr (std::is_same_v<typename TFieldOf<TTarget>::Class, TTaskOptions>) {
        ATask.*ATarget = ConvertValue<TField>(ARow.Flags, name, value);
      } else {
        // Such rows are in the file group, which is applied with a record.
        if (!AOptions) {
          ATask.LastOptionError() = "Option \"" + name + "\" needs a file";
          return AVERROR(EINVAL);
        }
        if constexpr (TIsSpecifierList<TField>::value) {
          using TValue = typename TIsSpecifierList<TField>::Value;
          const auto colon = name.find(':');
          TSpecifierOpt<TValue> entry;
          entry.Specifier = colon == std::string::npos ? std::string() : name.substr(colon + 1);
          entry.Value = ConvertValue<TValue>(ARow.Flags, name, value);
          (AOptions->*ATarget).push_back(std::move(entry));
        } else {
          AOptions->*ATarget = ConvertValue<TField>(ARow.Flags, name, value);
        }
      }
      return 0;
    }
  };
  try {
    return std::visit(write, ARow.Target);
  } catch (const Exception& e) {
    // A value that does not convert is the option's error, not the caller's.
    ATask.LastOptionError() = e.what();
    AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", e.what());
    return AVERROR(EINVAL);
  }
}

int ParseOption(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                const char* AValue) {
  const TOptionTable table = ATask.OptionTable();
  const TOptionDef* row = FindOption(table, AName);
  if (!row && StartsWith(AName, "no")) {
    // Only a Boolean has a "no" form.
    row = FindOption(table, AName + 2);
    if (row && !row->IsBool()) row = nullptr;
    if (row) AValue = "0";
  } else if (row && row->IsBool()) {
    AValue = "1";
  }
  std::string& lastError = ATask.LastOptionError();
  if (!row) {
    lastError = std::string("Unrecognized option \"") + AName + "\"";
    AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", lastError.c_str());
    return AVERROR(EINVAL);
  }
  if (row->HasArg() && !AValue) {
    lastError = std::string("Missing argument for option \"") + AName + "\"";
    AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", lastError.c_str());
    return AVERROR(EINVAL);
  }
  const int result = WriteOption(ATask, AOptions, *row, AName, AValue);
  if (result < 0) return result;
  return row->HasArg() ? 1 : 0;
}

int ApplyOptionGroup(TTaskOptions& ATask, TOptionsContext* AOptions, const TOptionGroup& AGroup,
                     const std::string& AGroupName) {
  AV.av_log(nullptr, AV_LOG_DEBUG, "Parsing a group of options: %s.\n", AGroupName.c_str());
  for (const TParsedOption& option : AGroup.Options) {
    AV.av_log(nullptr, AV_LOG_DEBUG, "Applying option %s (%s) with argument %s.\n",
              option.Key.c_str(), option.Row->Help, option.Value.c_str());
    // A known option that fails stops the group in both modes: only what
    // nobody knows is forgiven, and that was left out when collecting.
    const int result =
        WriteOption(ATask, AOptions, *option.Row, option.Key.c_str(), option.Value.c_str());
    if (result < 0) return result;
  }
  AV.av_log(nullptr, AV_LOG_DEBUG, "Successfully parsed a group of options.\n");
  return 0;
}

// ---- Locating ------------------------------------------------------------------

int LocateOption(int ACount, char* const* AArgs, TOptionTable ATable, const char* AName) {
  for (int i = 0; i < ACount; ++i) {
    const char* arg = AArgs[i];
    if (arg[0] != '-') continue;
    const char* name = arg + 1;
    const TOptionDef* row = FindOption(ATable, name);
    if (!row && StartsWith(name, "no")) row = FindOption(ATable, name + 2);
    if ((!row && std::strcmp(name, AName) == 0) || (row && std::strcmp(row->Name, AName) == 0))
      return i;
    if (row && row->HasArg()) ++i;
  }
  return -1;
}

void ParseLogLevel(TTaskOptions& ATask, int ACount, char* const* AArgs, TOptionTable ATable) {
  int at = LocateOption(ACount, AArgs, ATable, "loglevel");
  if (at < 0) at = LocateOption(ACount, AArgs, ATable, "v");
  if (at >= 0 && at + 1 < ACount) ApplyLogLevel(ATask, AArgs[at + 1]);
}

// ---- The task's parse -----------------------------------------------------------

int TTaskOptions::ParseOptions(TOptionsContext& AOptions, const std::string& AOptionText,
                               const std::string& AFileName, const std::string& APresets) {
  InitOptionTable();
  LastOptionError().clear();
  int result;
  try {
    result = ParseGroups(AOptions, AOptionText, AFileName, APresets);
  } catch (const std::bad_alloc&) {
    result = AVERROR(ENOMEM);
  }
  if (result < 0) {
    const std::string text = ErrorToString("", result);
    FFLogger().Log(this, TLogLevel::llFatal, text);
    LastErrMsg = LastOptionError().empty() ? text : LastOptionError() + "\r\n" + text;
  }
  return result;
}

int TTaskOptions::ParseGroups(TOptionsContext& AOptions, const std::string& AOptionText,
                              const std::string& AFileName, const std::string& APresets) {
  int result = 0;
  // The split arguments live until the groups have been applied.
  std::vector<char*> args;
  std::vector<char> buffer;
  if (!AOptionText.empty()) {
    FFLogger().Log(this, TLogLevel::llInfo, "ParseOptions for " + AFileName + ": " + AOptionText);
    int bytes = 0, count = 0;
    SplitCommandLine(AOptionText.c_str(), nullptr, nullptr, bytes, count);
    args.resize(static_cast<size_t>(count));
    buffer.resize(static_cast<size_t>(bytes));
    SplitCommandLine(AOptionText.c_str(), args.data(), buffer.data(), bytes, count);
    const int argCount = count - 1; // without the closing null entry
    ParseLogLevel(*this, argCount, args.data(), FOptionTable);
    LastOptionError().clear();
    result = FOptions->CollectOptions(argCount, StrictOptions, FOptionTable, args.data());
    if (result >= 0 && !FOptions->GlobalGroup.Options.empty())
      result = ApplyOptionGroup(*this, nullptr, FOptions->GlobalGroup, "global");
  }
  if (result >= 0) result = ParsePresets(AOptions, APresets, AFileName);
  if (result >= 0 && !FOptions->FileGroup.Options.empty())
    result = ApplyOptionGroup(*this, &AOptions, FOptions->FileGroup, AFileName);
  return result;
}
