// The option parser: splitting, collecting into the global and file groups
// and the libraries' dictionaries, applying in order, strict and lenient
// mode, and the results and last error texts of each failure.
#include "FFErrors.h"
#include "FFOptions.h"
#include "FFmpegOpt.h"
#include "InputFormatRegistry.h"
#include "LibAV.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "ParseFixture.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string kInvalid = "Invalid argument / Invalid data found when processing input";

// ---- Whole parses, table-driven -------------------------------------------------------

struct TParseCase {
  const char* Name;
  const char* Text;
  bool Strict;
  int Result;
  std::optional<std::string> LastErrMsg; // checked when given
  std::function<void(TCustomFFmpegOpt&, TOptionsContext&)> Check;
};

void PrintTo(const TParseCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name << " \"" << ACase.Text << "\"";
}

class OptionParserCases : public OptionParser, public testing::WithParamInterface<TParseCase> {};

TEST_P(OptionParserCases, ParsesAsTheCaseSays) {
  const TParseCase& c = GetParam();
  EXPECT_EQ(Parse(c.Text, c.Strict), c.Result) << c.Text;
  if (c.LastErrMsg) {
    EXPECT_EQ(Task.LastErrMsg, *c.LastErrMsg) << c.Text;
  }
  if (c.Check) c.Check(Task, Options);
}

using T = TCustomFFmpegOpt;
using O = TOptionsContext;

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionParserCases,
    testing::Values(
        TParseCase{"Empty", "", true, 0, "",
                   [](T& t, O& o) {
                     EXPECT_TRUE(t.FFOptions().FileGroup.Options.empty());
                     EXPECT_TRUE(t.FFOptions().GlobalGroup.Options.empty());
                     EXPECT_EQ(o.RecordingTime, INT64_MAX);
                   }},
        TParseCase{"FileAndGlobalGroups", "-an -y", true, 0, "",
                   [](T& t, O& o) {
                     EXPECT_EQ(Keys(t.FFOptions().FileGroup), TStrings{"an=1"});
                     EXPECT_EQ(Keys(t.FFOptions().GlobalGroup), TStrings{"y=1"});
                     EXPECT_EQ(o.AudioDisable, 1);
                     EXPECT_EQ(t.FileOverwrite, 1);
                   }},
        TParseCase{"QuotedValue", "-metadata \"title=A b\" -metadata:s:a lang=de", true, 0, "",
                   [](T&, O& o) {
                     ASSERT_EQ(o.Metadata.size(), 2u);
                     EXPECT_EQ(o.Metadata[0].Specifier, "");
                     EXPECT_EQ(o.Metadata[0].Value, "title=A b");
                     EXPECT_EQ(o.Metadata[1].Specifier, "s:a");
                     EXPECT_EQ(o.Metadata[1].Value, "lang=de");
                   }},
        TParseCase{"ValueBeginningWithDash", "-itsoffset -1.5 -f -x", true, 0, "",
                   [](T&, O& o) {
                     EXPECT_EQ(o.InputTsOffset, -1500000);
                     EXPECT_EQ(o.Format.value_or(""), "-x");
                   }},
        TParseCase{"MissingArgument", "-an -vcodec", true, -22,
                   "Missing argument for option \"vcodec\".\r\n" + kInvalid, nullptr},
        // Lenient mode forgives only what nobody knows.
        TParseCase{"MissingArgumentLenient", "-an -vcodec", false, -22,
                   "Missing argument for option \"vcodec\".\r\n" + kInvalid, nullptr},
        TParseCase{"NoFormOfABoolean", "-nostats -noan", true, 0, "",
                   [](T& t, O& o) {
                     EXPECT_EQ(t.PrintStats, 0);
                     EXPECT_EQ(o.AudioDisable, 0);
                     EXPECT_EQ(Keys(t.FFOptions().FileGroup), TStrings{"an=0"});
                   }},
        TParseCase{"NoFormOfAValueRow", "-nof avi", true, AVERROR_OPTION_NOT_FOUND,
                   "Unrecognized option \"nof\".\r\nOption not found", nullptr},
        TParseCase{"NoFormOfAValueRowLenient", "-nof avi -y", false, 0, "",
                   [](T& t, O& o) {
                     EXPECT_FALSE(o.Format);
                     EXPECT_EQ(t.FileOverwrite, 1);
                   }},
        TParseCase{"UnknownOption", "-bogus 1", true, AVERROR_OPTION_NOT_FOUND,
                   "Unrecognized option \"bogus\".\r\nOption not found",
                   nullptr},
        TParseCase{"UnknownOptionLenient", "-bogus -y -an", false, 0, "",
                   [](T& t, O& o) {
                     EXPECT_EQ(t.FileOverwrite, 1) << "the next argument is read as an option";
                     EXPECT_EQ(o.AudioDisable, 1);
                   }},
        TParseCase{"LoneDash", "-", true, -22,
                   ("Failed to parse options on -\r\n" + kInvalid), nullptr},
        TParseCase{"BareWord", "-an foo", true, -22,
                   ("Failed to parse options on foo\r\n" + kInvalid), nullptr},
        TParseCase{"EmptyArgument", "-an \"\"", true, -22,
                   ("Failed to parse options\r\n" + kInvalid), nullptr},
        TParseCase{"BareWordLenient", "-an foo - -y", false, 0, "",
                   [](T& t, O& o) {
                     EXPECT_EQ(o.AudioDisable, 1);
                     EXPECT_EQ(t.FileOverwrite, 1);
                   }},
        TParseCase{"SpecifierKeptInLibraryKeys", "-g:v 30 -vb 1000k", true, 0, "",
                   [](T& t, O&) {
                     EXPECT_EQ(Entries(t.FFOptions().FileGroup.CodecOpts),
                               (TStrings{"g:v=30", "vb=1000k"}));
                     EXPECT_TRUE(t.FFOptions().FileGroup.Options.empty());
                   }},
        TParseCase{"OnlyMediaLettersPrefixCodecOptions", "-xb 1000", true,
                   AVERROR_OPTION_NOT_FOUND, "Unrecognized option \"xb\".\r\nOption not found",
                   nullptr},
        TParseCase{"LibraryDictionaries",
                   "-probesize 5000000 -strict -2 -sws_flags bilinear -filter_size 32 "
                   "-flags +global_header -flags +bitexact",
                   true, 0, "",
                   [](T& t, O&) {
                     TOptionGroup& g = t.FFOptions().FileGroup;
                     EXPECT_EQ(Entries(g.CodecOpts),
                               (TStrings{"strict=-2", "flags=+global_header+bitexact"}));
                     EXPECT_EQ(Entries(g.FormatOpts), (TStrings{"probesize=5000000", "strict=-2"}));
                     EXPECT_EQ(Entries(g.ResamplerOpts), TStrings{"filter_size=32"});
                     ASSERT_NE(g.ScalerOpts, nullptr);
                     uint8_t* flags = nullptr;
                     ASSERT_GE(AV.av_opt_get(g.ScalerOpts.get(), "sws_flags", 0, &flags), 0);
                     EXPECT_EQ(std::stoul(reinterpret_cast<char*>(flags), nullptr, 16),
                               unsigned{SWS_BILINEAR});
                     AV.av_free(flags);
                     EXPECT_EQ(t.FFOptions().CurrentCodec.Count(), 0)
                         << "the current dictionaries moved into the file group";
                   }},
        TParseCase{"RejectedScalerValue", "-an -sws_flags nonsense", true, AVERROR(EINVAL),
                   ("Error setting option \"sws_flags\"\r\n" + kInvalid), nullptr},
        TParseCase{"RejectedScalerValueLenient", "-sws_flags nonsense -an", false, AVERROR(EINVAL),
                   ("Error setting option \"sws_flags\"\r\n" + kInvalid), nullptr},
        TParseCase{"Durations", "-t 10 -ss 1.5 -to 00:01:00", true, 0, "",
                   [](T&, O& o) {
                     EXPECT_EQ(o.RecordingTime, 10000000);
                     EXPECT_EQ(o.StartTime, 1500000);
                     EXPECT_EQ(o.StopTime, 60000000);
                   }},
        TParseCase{"MicrosecondTwin", "-t_microsecond 10000000", true, 0, "",
                   [](T&, O& o) { EXPECT_EQ(o.RecordingTime, 10000000); }},
        TParseCase{"TimeLengthInSeconds", "-TimeLength 10 -timestart 2.5", true, 0, "",
                   [](T&, O& o) {
                     EXPECT_EQ(o.RecordingTime, 10000000);
                     EXPECT_EQ(o.StartTime, 2500000);
                   }},
        // A time the microsecond count cannot hold must not become a wrapped
        // or a "no time" value.
        TParseCase{"TimeStartBeyondTheClock", "-TimeStart 1e300", true, -22,
                   ("Expected double for \"TimeStart\" but found \"1e300\"\r\nFailed to set "
                    "value \"1e300\" for option \"TimeStart\"\r\n" +
                    kInvalid),
                   nullptr},
        TParseCase{"TimeLengthBeyondTheClock", "-timelength -9.3e12", true, -22,
                   ("Expected double for \"timelength\" but found \"-9.3e12\"\r\nFailed to "
                    "set value \"-9.3e12\" for option \"timelength\"\r\n" +
                    kInvalid),
                   nullptr},
        TParseCase{"NumbersOfEveryKind",
                   "-ac 2 -ar:a:0 44100 -frames:v 100 -q:v 2.5 -muxdelay 0.5 -fs 1000000 -re "
                   "-vol 512 -adrift_threshold 0.25",
                   true, 0, "",
                   [](T& t, O& o) {
                     ASSERT_EQ(o.AudioChannels.size(), 1u);
                     EXPECT_EQ(o.AudioChannels[0].Value, 2);
                     ASSERT_EQ(o.AudioSampleRates.size(), 1u);
                     EXPECT_EQ(o.AudioSampleRates[0].Specifier, "a:0");
                     EXPECT_EQ(o.AudioSampleRates[0].Value, 44100);
                     ASSERT_EQ(o.MaxFrames.size(), 1u);
                     EXPECT_EQ(o.MaxFrames[0].Value, 100);
                     ASSERT_EQ(o.QScale.size(), 1u);
                     EXPECT_DOUBLE_EQ(o.QScale[0].Value, 2.5);
                     EXPECT_FLOAT_EQ(o.MuxMaxDelay, 0.5f);
                     EXPECT_EQ(o.LimitFileSize, 1000000);
                     EXPECT_EQ(o.RateEmu, 1);
                     EXPECT_EQ(t.AudioVolume, 512);
                     EXPECT_FLOAT_EQ(t.AudioDriftThreshold, 0.25f);
                   }},
        TParseCase{"BadNumber", "-ac x", true, -22,
                   ("Expected integer for \"ac\" but found \"x\"\r\n" + kInvalid), nullptr},
        TParseCase{"BadNumberLenient", "-ac x -ar 44100 -t soon", false, -22,
                   ("Expected integer for \"ac\" but found \"x\"\r\n" + kInvalid),
                   [](T&, O& o) {
                     EXPECT_TRUE(o.AudioChannels.empty());
                     EXPECT_TRUE(o.AudioSampleRates.empty()) << "the group stops at the failure";
                   }},
        TParseCase{"BadDuration", "-t soon", true, -22,
                   ("Invalid duration specification for \"t\": \"soon\"\r\n" + kInvalid),
                   nullptr},
        TParseCase{"CodecNamesFromEveryForm", "-c:v mpeg4 -vcodec libx264 -acodec aac -codec copy",
                   true, 0, "",
                   [](T&, O& o) {
                     TStrings names;
                     for (const auto& e : o.CodecNames)
                       names.push_back(e.Specifier + "=" + e.Value);
                     EXPECT_EQ(names, (TStrings{"v=mpeg4", "v=libx264", "a=aac", "=copy"}));
                   }},
        TParseCase{"RenamedOptions", "-vframes 5 -vf scale=320:240 -af volume=2 -vtag XVID -absf aac_adtstoasc",
                   true, 0, "",
                   [](T&, O& o) {
                     ASSERT_EQ(o.MaxFrames.size(), 1u);
                     EXPECT_EQ(o.MaxFrames[0].Specifier, "v");
                     ASSERT_EQ(o.Filters.size(), 2u);
                     EXPECT_EQ(o.Filters[0].Specifier + "=" + o.Filters[0].Value, "v=scale=320:240");
                     EXPECT_EQ(o.Filters[1].Specifier + "=" + o.Filters[1].Value, "a=volume=2");
                     ASSERT_EQ(o.CodecTags.size(), 1u);
                     EXPECT_EQ(o.CodecTags[0].Specifier, "v");
                     ASSERT_EQ(o.BitstreamFilters.size(), 1u);
                     EXPECT_EQ(o.BitstreamFilters[0].Specifier, "a");
                   }},
        TParseCase{"PreTakesItsValue", "-pre x", true, -22,
                   ("options \"pre\" not supported\r\nFailed to set value \"x\" for option "
                    "\"pre\"\r\n" +
                    kInvalid),
                   nullptr},
        TParseCase{"IgnoredToolOptions", "-version -formats -an", true, 0, "",
                   [](T&, O& o) { EXPECT_EQ(o.AudioDisable, 1); }},
        TParseCase{"HookSwitches", "-VideoInputHook -Join -an", true, 0, "",
                   [](T&, O& o) { EXPECT_EQ(o.AudioDisable, 1); }},
        TParseCase{"VsyncNumberOnlyWhileAutomatic", "-vsync 1 -vsync 2", true, 0, "",
                   [](T& t, O&) { EXPECT_EQ(t.VideoSyncMethod, 1); }},
        TParseCase{"VsyncNameAlwaysOverwrites", "-vsync 1 -vsync VFR", true, 0, "",
                   [](T& t, O&) { EXPECT_EQ(t.VideoSyncMethod, 2); }},
        TParseCase{"AmbiguousBitrate", "-b 1000k -b:a 64k -qscale 3 -profile high", true, 0, "",
                   [](T& t, O& o) {
                     EXPECT_EQ(Entries(t.FFOptions().FileGroup.CodecOpts),
                               (TStrings{"b:v=1000k", "b:a=64k", "profile:v=high"}));
                     ASSERT_EQ(o.QScale.size(), 1u);
                     EXPECT_EQ(o.QScale[0].Specifier, "v");
                   }},
        TParseCase{"HandlerFailureNamesTheValue", "-streamid 7", true, -22,
                   "Invalid value \"7\" for option \"streamid\", required syntax is "
                   "\"index:value\"\r\nFailed to set value \"7\" for option \"streamid\"\r\n" +
                       kInvalid,
                   nullptr},
        TParseCase{"HandlerFailureLenient", "-streamid 7 -y", false, -22,
                   "Invalid value \"7\" for option \"streamid\", required syntax is "
                   "\"index:value\"\r\nFailed to set value \"7\" for option \"streamid\"\r\n" +
                       kInvalid,
                   nullptr},
        TParseCase{"TargetFailureLenient", "-target pal-foo", false, -22,
                   "Unknown target: foo\r\nFailed to set value \"pal-foo\" for option "
                   "\"target\"\r\n" +
                       kInvalid,
                   nullptr}),
    [](const testing::TestParamInfo<TParseCase>& AInfo) {
      return std::string(AInfo.param.Name) + (AInfo.param.Strict ? "" : "_");
    });

// ---- Order, log level and messages ----------------------------------------------------

TEST_F(OptionParser, GlobalGroupIsAppliedBeforeTheFileGroup) {
  Log->Logger().SetLogLevel(TLogLevel::llDebug);
  ASSERT_EQ(Parse("-an -y"), 0);
  const int global = Log->Find("Parsing a group of options: global.");
  const int y = Log->Find("Applying option y (overwrite output files) with argument 1.");
  const int file = Log->Find("Parsing a group of options: file.avi.");
  const int an = Log->Find("Applying option an (disable audio) with argument 1.");
  ASSERT_GE(global, 0);
  ASSERT_GE(an, 0);
  EXPECT_LT(global, y);
  EXPECT_LT(y, file);
  EXPECT_LT(file, an);
  EXPECT_GE(Log->Find("ParseOptions for file.avi: -an -y"), 0);
}

TEST_F(OptionParser, LogLevelTakesEffectBeforeOtherOptionsAreRead) {
  ASSERT_EQ(Log->Logger().LogLevel(), TLogLevel::llInfo);
  ASSERT_EQ(Parse("-an -loglevel 48"), 0);
  EXPECT_EQ(Log->Logger().LogLevel(), TLogLevel::llDebug);
  EXPECT_GE(Log->Find("Reading option \"-an\" ... matched as option \"an\" (disable audio) with "
                      "argument \"1\"."),
            0)
      << "the first option was read at the debug level already";

  Log->Clear();
  ASSERT_EQ(Parse("-y -v error"), 0);
  EXPECT_EQ(Log->Logger().LogLevel(), TLogLevel::llError);
}

// The parser's own message names the option, in the log and as the first
// line of the task's last error; the code's text follows it.
TEST_F(OptionParser, AnOptionTheParserRefusesIsNamedInTheLastError) {
  struct TCase {
    const char* Options;
    int Result;
    const char* Message;
  };
  const TCase cases[] = {
      {"-vcodec", AVERROR(EINVAL), "Missing argument for option \"vcodec\"."},
      {"-an -nof avi", AVERROR_OPTION_NOT_FOUND, "Unrecognized option \"nof\"."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    Log->Clear();
    EXPECT_EQ(Parse(c.Options), c.Result);
    EXPECT_EQ(Log->Count(c.Message), 1);
    EXPECT_EQ(Log->LevelOf(c.Message), TLogLevel::llError);
    EXPECT_EQ(Task.LastErrMsg, std::string(c.Message) + "\r\n" + ErrorToString("", c.Result));
    EXPECT_EQ(Log->LevelOf(ErrorToString("", c.Result)), TLogLevel::llFatal);
  }
}

TEST_F(OptionParser, LenientModeLogsWhatItSkips) {
  EXPECT_EQ(Parse("-an foo -bogus -ac 2", false), 0);
  EXPECT_EQ(Log->Count("Invalid option foo found while parsing options, ignore"), 1);
  EXPECT_EQ(Log->Count("Unrecognized option \"bogus\"."), 1);
  EXPECT_EQ(Options.AudioDisable, 1);
  ASSERT_EQ(Options.AudioChannels.size(), 1u);
  EXPECT_EQ(Options.AudioChannels[0].Value, 2);
  EXPECT_TRUE(Task.LastErrMsg.empty()) << "a lenient parse reports no failure";
}

TEST_F(OptionParser, AnOptionKnownToCodecAndFormatIsRoutedToBoth) {
  Log->Logger().SetLogLevel(TLogLevel::llVerbose);
  ASSERT_EQ(Parse("-strict experimental"), 0);
  EXPECT_EQ(Log->Count("Routing strict to codec and muxer layer"), 1);
}

TEST_F(OptionParser, DebugOptionRaisesTheLogLevel) {
  ASSERT_EQ(Parse("-debug mb_type"), 0);
  EXPECT_EQ(Log->Logger().LogLevel(), TLogLevel::llDebug);
  EXPECT_EQ(Entries(FileGroup().CodecOpts), TStrings{"debug=mb_type"});
}

// ---- The task's option errors -------------------------------------------------------

TEST_F(OptionParser, OptionErrorsAreKeptPerTask) {
  TCustomFFmpegOpt other;
  TOptionsContext options;
  other.InitOptionsContext(options);
  ASSERT_EQ(other.ParseOptions(options, "-an foo", "other.avi", ""), -22);
  EXPECT_EQ(Parse("-y"), 0);
  EXPECT_EQ(other.LastOptionError(), "Failed to parse options on foo");
  EXPECT_EQ(Task.LastOptionError(), "");
  other.FreeOptionsContext(options);
}

TEST_F(OptionParser, ParseOptionAppliesOneOptionByName) {
  EXPECT_EQ(ParseOption(Task, &Options, "codec:v", "mpeg4"), 1);
  EXPECT_EQ(ParseOption(Task, &Options, "an", nullptr), 0);
  EXPECT_EQ(Options.AudioDisable, 1);
  EXPECT_EQ(ParseOption(Task, &Options, "noan", nullptr), 0);
  EXPECT_EQ(Options.AudioDisable, 0);
  EXPECT_EQ(ParseOption(Task, &Options, "nof", "avi"), -22) << "only a Boolean has a no form";
  EXPECT_EQ(Task.LastOptionError(), "Unrecognized option \"nof\"");
  EXPECT_EQ(ParseOption(Task, &Options, "frames", nullptr), -22);
  EXPECT_EQ(Task.LastOptionError(), "Missing argument for option \"frames\"");
  EXPECT_EQ(ParseOption(Task, &Options, "bogus", "1"), -22);
  EXPECT_EQ(Task.LastOptionError(), "Unrecognized option \"bogus\"");
  ASSERT_EQ(Options.CodecNames.size(), 1u);
  EXPECT_EQ(Options.CodecNames[0].Specifier, "v");
}

TEST_F(OptionParser, LocateOptionStepsOverValues) {
  const char* argv[] = {"-f", "-loglevel", "-an", "-loglevel", "debug", "-v", "info"};
  auto args = const_cast<char* const*>(argv);
  const TOptionTable table = EngineOptionTable();
  EXPECT_EQ(LocateOption(7, args, table, "loglevel"), 3) << "the first is the value of -f";
  EXPECT_EQ(LocateOption(7, args, table, "v"), 5);
  EXPECT_EQ(LocateOption(7, args, table, "an"), 2);
  EXPECT_EQ(LocateOption(7, args, table, "y"), -1);
  const char* unknown[] = {"-capture_offset", "10,10"};
  EXPECT_EQ(LocateOption(2, const_cast<char* const*>(unknown), table, "capture_offset"), 0);
}

// ---- Registered input devices ---------------------------------------------------------

struct TProbeDevice {
  const AVClass* Class;
  char* CaptureOffset;
};
const AVOption kProbeDeviceOptions[] = {
    [] {
      AVOption option{};
      option.name = "capture_offset";
      option.help = "left,top of the captured area";
      option.offset = offsetof(TProbeDevice, CaptureOffset);
      option.type = AV_OPT_TYPE_STRING;
      option.flags = AV_OPT_FLAG_DECODING_PARAM;
      return option;
    }(),
    AVOption{},
};
const AVClass kProbeDeviceClass = [] {
  AVClass probe{};
  probe.class_name = "vexmora probe device";
  probe.option = kProbeDeviceOptions;
  probe.version = LIBAVUTIL_VERSION_INT;
  return probe;
}();
const AVInputFormat kProbeDevice = [] {
  AVInputFormat device{};
  device.name = "vexmora_probe_device";
  device.long_name = "device of the option tests";
  device.flags = AVFMT_NOFILE;
  device.priv_class = &kProbeDeviceClass;
  return device;
}();

TEST_F(OptionParser, RegisteredDeviceOptionsReachTheFormatDictionary) {
  if (!FindRegisteredInputFormat(kProbeDevice.name)) {
    EXPECT_EQ(Parse("-capture_offset 10,10"), AVERROR_OPTION_NOT_FOUND)
        << "unknown before the device is registered";
    RegisterInputFormatIfAbsent(&kProbeDevice);
  }
  ASSERT_EQ(Parse("-f vexmora_probe_device -capture_offset 10,10 -r 15"), 0) << Task.LastErrMsg;
  EXPECT_EQ(Entries(FileGroup().FormatOpts), TStrings{"capture_offset=10,10"});
  EXPECT_EQ(Options.Format.value_or(""), "vexmora_probe_device");
  ASSERT_EQ(Options.FrameRates.size(), 1u);
  EXPECT_EQ(Options.FrameRates[0].Value, "15");
}

// ---- The task's seams --------------------------------------------------------------

TEST_F(OptionParser, AddInputAndAddOutputReportOptionErrorsBeforeOpeningAnything) {
  EXPECT_EQ(Task.AddInput("-ac x", "in.avi", ""), -22);
  EXPECT_EQ(Task.LastErrMsg, "Expected integer for \"ac\" but found \"x\"\r\n" + kInvalid);
  Task.LastErrMsg.clear();
  EXPECT_EQ(Task.AddOutput("-y -ar x", false, "out.avi", ""), -22);
  EXPECT_EQ(Task.LastErrMsg, "Expected integer for \"ar\" but found \"x\"\r\n" + kInvalid);
  EXPECT_EQ(Task.FileOverwrite, 1) << "the options before the bad one took effect";
  EXPECT_EQ(Task.OutputCount(), 0);
  EXPECT_FALSE(std::filesystem::exists("out.avi"));
}

} // namespace
