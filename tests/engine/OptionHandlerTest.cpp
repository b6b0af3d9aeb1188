// The option handlers that do more than store a value, driven through whole
// option strings over inputs built with the libraries: what each one sets,
// what it warns, how it fails, and the faults of the older behaviour (device
// options lost after the file group was finished, process-wide limits that
// could break every allocation or force absent CPU features, stream maps
// that read beyond their text).
#include "FFOptionHandlers.h"
#include "ParseFixture.h"
#include "SyntheticFormats.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <tuple>
#include <unistd.h>

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/mem.h>
}

namespace {

using O = TOptionsContext;
using T = TCustomFFmpegOpt;

template <class V> std::vector<std::pair<std::string, V>> Pairs(const TSpecifierOptList<V>& AList) {
  std::vector<std::pair<std::string, V>> pairs;
  for (const auto& entry : AList)
    pairs.emplace_back(entry.Specifier, entry.Value);
  return pairs;
}
using TTextPairs = std::vector<std::pair<std::string, std::string>>;

// Input 0: video at 25 per second, stereo audio, video at 25 per second.
class OptionHandlers : public OptionParser {
protected:
  void SetUp() override {
    OptionParser::SetUp();
    FInput = MakeFormatContext({{AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_NONE, 0, {25, 1}},
                                {AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_NONE, 2},
                                {AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_NONE, 0, {25, 1}}});
    Task.Inputs = {FInput.get()};
  }
  bool Logged(const std::string& AText) const { return Log->Find(AText) >= 0; }

  TFormatContextPtr FInput;
};

struct THandlerCase {
  const char* Name;
  const char* Text;
  int Result;
  // With a failure: how LastErrMsg begins; with success: a line of the log.
  std::optional<std::string> Message;
  std::function<void(T&, O&, TOptionGroup&)> Check;
};

void PrintTo(const THandlerCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name << " \"" << ACase.Text << "\"";
}

class OptionHandlerCases : public OptionHandlers,
                           public testing::WithParamInterface<THandlerCase> {};

TEST_P(OptionHandlerCases, SetWarnOrFailAsTheCaseSays) {
  const THandlerCase& c = GetParam();
  ASSERT_EQ(Parse(c.Text), c.Result) << Task.LastErrMsg;
  if (c.Message && c.Result < 0) {
    EXPECT_EQ(Task.LastErrMsg.substr(0, c.Message->size()), *c.Message);
  }
  if (c.Message && c.Result >= 0) {
    EXPECT_TRUE(Logged(*c.Message)) << *c.Message;
  }
  if (c.Check) c.Check(Task, Options, FileGroup());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionHandlerCases,
    testing::Values(
        THandlerCase{"ChannelLayoutGivesLayoutAndCount", "-channel_layout 5.1", 0, std::nullopt,
                     [](T&, O& o, TOptionGroup& g) {
                       EXPECT_EQ(Entries(g.CodecOpts), TStrings{"ch_layout=5.1"});
                       EXPECT_EQ(Pairs(o.AudioChannels),
                                 (std::vector<std::pair<std::string, int>>{{"", 6}}));
                     }},
        THandlerCase{"ChannelLayoutKeepsItsSpecifier", "-channel_layout:a:1 quad", 0, std::nullopt,
                     [](T&, O& o, TOptionGroup& g) {
                       EXPECT_EQ(Entries(g.CodecOpts), TStrings{"ch_layout:a:1=quad"});
                       EXPECT_EQ(Pairs(o.AudioChannels),
                                 (std::vector<std::pair<std::string, int>>{{"a:1", 4}}));
                     }},
        THandlerCase{"UnknownChannelLayout", "-channel_layout 9.9.9", -22,
                     "Unknown channel layout: 9.9.9\r\n", nullptr},
        THandlerCase{"TimecodeIsGlobalMetadataAndAGopOption", "-timecode 01:02:03:04", 0,
                     std::nullopt,
                     [](T&, O& o, TOptionGroup& g) {
                       EXPECT_EQ(Pairs(o.Metadata), (TTextPairs{{"g", "timecode=01:02:03:04"}}));
                       EXPECT_EQ(Entries(g.CodecOpts), TStrings{"gop_timecode=01:02:03:04"});
                     }},
        // Rounded to the second and written in the form the libraries read back.
        THandlerCase{"TimestampBecomesCreationTime", "-timestamp 2012-01-02T03:04:05.6Z", 0,
                     "timestamp is deprecated, set the \"creation_time\" metadata tag instead.",
                     [](T&, O& o, TOptionGroup&) {
                       EXPECT_EQ(Pairs(o.Metadata),
                                 (TTextPairs{{"", "creation_time=2012-01-02T03:04:06.000000Z"}}));
                     }},
        THandlerCase{"TimestampIsADateNotADuration", "-timestamp 10", -22,
                     "Invalid date specification for \"timestamp\": \"10\"", nullptr},
        // Both are global options: they once went into dictionaries that the
        // file group had already taken, and were lost.
        THandlerCase{"OldDeviceOptionNamesReachTheFileGroup", "-vc 2 -tvstd PAL", 0,
                     "This option is deprecated, use -standard.",
                     [](T&, O&, TOptionGroup& g) {
                       EXPECT_EQ(Entries(g.FormatOpts), (TStrings{"channel=2", "standard=PAL"}));
                     }},
        THandlerCase{"StreamIdsGrowTheMap", "-streamid 0:256 -streamid 3:7 -streamid 0:1", 0,
                     std::nullopt,
                     [](T&, O& o, TOptionGroup&) {
                       EXPECT_EQ(o.StreamIdMap, (std::vector<int>{1, 0, 0, 7}));
                     }},
        THandlerCase{"StreamIdIndexOutOfRange", "-streamid 2000:1", -22,
                     "The value for \"streamid\" was \"2000\" which is not within 0 - 1023\r\n",
                     nullptr},
        THandlerCase{"NegativeStreamId", "-streamid 1:-5", -22,
                     "The value for \"streamid\" was \"-5\" which is not within 0 - 2147483647\r\n",
                     nullptr},
        THandlerCase{"StreamIdWithoutItsValue", "-streamid 1:", -22,
                     "Invalid value \"1:\" for option \"streamid\", required syntax is "
                     "\"index:value\"",
                     nullptr},
        THandlerCase{"AttachmentsInOrder", "-attach a.ttf -attach \"b c.png\"", 0, std::nullopt,
                     [](T&, O& o, TOptionGroup&) {
                       EXPECT_EQ(o.Attachments, (TStrings{"a.ttf", "b c.png"}));
                     }},
        THandlerCase{"ComplexGraphsAreNumbered",
                     "-filter_complex \"[0:v]null[v]\" -filter_complex anullsrc", 0, std::nullopt,
                     [](T& t, O&, TOptionGroup&) {
                       ASSERT_EQ(t.FilterGraphs.size(), 2u);
                       EXPECT_EQ(t.FilterGraphs[0]->Index, 0);
                       EXPECT_EQ(t.FilterGraphs[0]->GraphDesc, "[0:v]null[v]");
                       EXPECT_EQ(t.FilterGraphs[1]->Index, 1);
                       EXPECT_EQ(t.FilterGraphs[1]->GraphDesc, "anullsrc");
                     }},
        THandlerCase{"VStatsNamesAFileByTheTime", "-vstats", 0, std::nullopt,
                     [](T& t, O&, TOptionGroup&) {
                       const std::string& name = t.VStatsFileName;
                       ASSERT_EQ(name.size(), 17u) << name;
                       EXPECT_EQ(name.substr(0, 7), "vstats_");
                       EXPECT_EQ(name.find_first_not_of("0123456789", 7), 13u) << name;
                       EXPECT_EQ(name.substr(13), ".log");
                     }},
        THandlerCase{"VStatsFileTakesTheLastName", "-vstats -vstats_file a.log", 0, std::nullopt,
                     [](T& t, O&, TOptionGroup&) { EXPECT_EQ(t.VStatsFileName, "a.log"); }},
        THandlerCase{"DeinterlaceAsksForAFilter", "-deinterlace", 0,
                     "-deinterlace is deprecated, use -filter:v yadif instead",
                     [](T& t, O&, TOptionGroup&) { EXPECT_TRUE(t.DoDeinterlace); }},
        THandlerCase{"SameQuantWasRemoved", "-same_quant", -22,
                     "Option \"same_quant\" was removed. If you are looking for an option to "
                     "preserve the quality (which is not what -same_quant was for), use -qscale 0 "
                     "or an equivalent quality factor option.\r\n",
                     nullptr},
        THandlerCase{"UnsupportedToolOption", "-benchmark", -22,
                     "options \"benchmark\" not supported\r\n", nullptr},
        THandlerCase{"MapsThenUnmaps", "-map 0:v -map -0:v:1 -map 0:a", 0, std::nullopt,
                     [](T&, O& o, TOptionGroup&) {
                       std::vector<std::tuple<int, int, int>> maps;
                       for (const TStreamMap& m : o.StreamMaps)
                         maps.emplace_back(m.FileIndex, m.StreamIndex, m.Disabled);
                       EXPECT_EQ(maps, (std::vector<std::tuple<int, int, int>>{
                                           {0, 0, 0}, {0, 2, 1}, {0, 1, 0}}));
                     }},
        THandlerCase{"MapChannel", "-map_channel 0.1.1:0.0 -map_channel -1", 0, std::nullopt,
                     [](T&, O& o, TOptionGroup&) {
                       ASSERT_EQ(o.AudioChannelMaps.size(), 2u);
                       const TAudioChannelMap& m = o.AudioChannelMaps[0];
                       EXPECT_EQ(std::tie(m.FileIndex, m.StreamIndex, m.ChannelIndex,
                                          m.OutFileIndex, m.OutStreamIndex),
                                 std::make_tuple(0, 1, 1, 0, 0));
                       EXPECT_EQ(o.AudioChannelMaps[1].FileIndex, -1);
                     }},
        THandlerCase{"TargetGuessesTheNormFromTheInputs", "-target dvd", 0,
                     "Assuming PAL for target.",
                     [](T&, O& o, TOptionGroup&) {
                       EXPECT_EQ(o.Format.value_or(""), "dvd");
                       EXPECT_EQ(Pairs(o.FrameRates), (TTextPairs{{"", "25"}}));
                       EXPECT_EQ(Pairs(o.FrameSizes), (TTextPairs{{"", "720x576"}}));
                     }},
        THandlerCase{"UnknownTarget", "-target pal-vhs", -22, "Unknown target: vhs", nullptr}),
    [](const testing::TestParamInfo<THandlerCase>& AInfo) { return AInfo.param.Name; });

// A number is read only while the method is still automatic: each value
// from a fresh task. -1 to 2 and 255 are methods; anything else fails and
// leaves the method automatic.
TEST_F(OptionHandlers, VsyncNumbersWhileAutomatic) {
  struct TCase {
    const char* Value;
    int Result;
    int Method;
  };
  const TCase cases[] = {
      {"0", 0, 0},          {"1", 0, 1},          {"2", 0, 2},           {"-1", 0, -1},
      {"255", 0, 255},      {"3", -22, -1},       {"-2", -22, -1},       {"254", -22, -1},
      {"256", -22, -1},     {"1x", -22, -1},      {"", -22, -1},         {"+2", 0, 2},
      {"4294967297", -22, -1}, {"99999999999999999999", -22, -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string("-vsync \"") + c.Value + "\"");
    Task.VideoSyncMethod = -1;
    EXPECT_EQ(Parse(std::string("-vsync \"") + c.Value + "\""), c.Result);
    EXPECT_EQ(Task.VideoSyncMethod, c.Method);
    if (c.Result < 0) {
      EXPECT_THAT(Task.LastErrMsg,
                  testing::StartsWith(std::string("The value for \"vsync\" was \"") + c.Value +
                                      "\" which is invalid"));
    }
  }
}

// The maps read the inputs the task has opened. Their fatal errors end the
// parse with a code and their text, lenient or not (that mode forgives only
// options nobody knows).
TEST_F(OptionHandlers, MapFailuresEndTheParseWithTheirText) {
  struct TCase {
    const char* Options;
    const char* Text;
  };
  for (const TCase& c : {TCase{"-map 1", "Invalid input file index: 1."},
                         TCase{"-map_channel 0.1.2", "mapchan: invalid audio channel #0.1.2"}}) {
    EXPECT_EQ(Parse(c.Options), AVERROR(EINVAL)) << c.Options;
    EXPECT_THAT(Task.LastErrMsg, testing::StartsWith(std::string(c.Text) + "\r\n")) << c.Options;
    EXPECT_EQ(Parse(std::string(c.Options) + " -vn", false), AVERROR(EINVAL)) << c.Options;
    EXPECT_THAT(Task.LastErrMsg, testing::StartsWith(std::string(c.Text) + "\r\n")) << c.Options;
    EXPECT_EQ(Options.VideoDisable, 0) << "the group stops at the failure";
  }
  Task.Inputs.clear();
  EXPECT_EQ(Parse("-map 0"), AVERROR(EINVAL));
  EXPECT_THAT(Task.LastErrMsg, testing::StartsWith("Invalid input file index: 0."));
}

// ---- Options that act on the whole process ---------------------------------------------

class ProcessOptions : public OptionParser {
protected:
  void TearDown() override {
    AV.av_max_alloc(INT_MAX);
    AV.av_force_cpu_flags(-1);
    OptionParser::TearDown();
  }
};

TEST_F(ProcessOptions, MaxAllocRefusesLimitsThatWouldBreakEveryAllocation) {
  const std::pair<const char*, std::string> refused[] = {
      {"-max_alloc 0", "Invalid max_alloc \"0\". The limit must be at least 1048576 bytes."},
      {"-max_alloc -1", "Invalid max_alloc \"-1\". The limit must be at least 1048576 bytes."},
      {"-max_alloc 1e9", "Invalid max_alloc \"1e9\"."},
  };
  for (const auto& [text, message] : refused) {
    EXPECT_EQ(Parse(text), -22) << text;
    EXPECT_EQ(Task.LastErrMsg.substr(0, message.size()), message) << text;
  }
  void* small = AV.av_malloc(4096);
  EXPECT_NE(small, nullptr) << "a refused limit must not have been set";
  AV.av_free(small);

  ASSERT_EQ(Parse("-max_alloc 2000000"), 0) << Task.LastErrMsg;
  void* big = AV.av_malloc(3000000);
  EXPECT_EQ(big, nullptr) << "the limit is in force";
  AV.av_free(big);
}

TEST_F(ProcessOptions, CpuFlagsOnlyTakeFeaturesAway) {
  AV.av_force_cpu_flags(-1);
  const int present = AV.av_get_cpu_flags();
  // A feature the processor lacks: forcing it on would run code it cannot.
  struct TFeature {
    const char* Name;
    int Flag;
  };
  const TFeature candidates[] = {{"xop", AV_CPU_FLAG_XOP},
                                 {"fma4", AV_CPU_FLAG_FMA4},
                                 {"avx512icl", AV_CPU_FLAG_AVX512ICL},
                                 {"avx512", AV_CPU_FLAG_AVX512}};
  for (const TFeature& feature : candidates) {
    if (present & feature.Flag) continue;
    ASSERT_EQ(Parse(std::string("-cpuflags +") + feature.Name), 0) << Task.LastErrMsg;
    EXPECT_EQ(AV.av_get_cpu_flags() & feature.Flag, 0) << feature.Name;
    EXPECT_EQ(AV.av_get_cpu_flags(), present);
    break;
  }
  if (present & AV_CPU_FLAG_SSE2) {
    ASSERT_EQ(Parse("-cpuflags -sse2"), 0) << Task.LastErrMsg;
    EXPECT_EQ(AV.av_get_cpu_flags() & AV_CPU_FLAG_SSE2, 0);
    // Relative to what the processor has, not to what was forced before.
    ASSERT_EQ(Parse("-cpuflags +sse2"), 0) << Task.LastErrMsg;
    EXPECT_EQ(AV.av_get_cpu_flags(), present);
  }
  EXPECT_LT(Parse("-cpuflags +nonsense"), 0);
  EXPECT_EQ(Task.LastErrMsg.rfind("Failed to parse cpu flags \"+nonsense\": ", 0), 0u)
      << Task.LastErrMsg;
}

// ---- The progress output ---------------------------------------------------------------

TEST_F(OptionParser, ProgressOpensItsOutputOrNamesWhyNot) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vexmora-progress-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "progress.txt").string();
  ASSERT_EQ(Parse("-progress \"" + path + "\""), 0) << Task.LastErrMsg;
  ASSERT_NE(Task.ProgressOutput, nullptr);
  AV.avio_write(Task.ProgressOutput.get(), reinterpret_cast<const unsigned char*>("frame=1\n"), 8);
  Task.ProgressOutput.reset();
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line, "frame=1");

  const std::string missing = (folder / "no-such-folder" / "p.txt").string();
  EXPECT_EQ(Parse("-progress \"" + missing + "\""), AVERROR(ENOENT));
  EXPECT_EQ(Task.LastErrMsg.rfind(
                "Failed to open progress URL \"" + missing + "\": No such file or directory", 0),
            0u)
      << Task.LastErrMsg;
  EXPECT_EQ(Task.ProgressOutput, nullptr);
  std::filesystem::remove_all(folder);
}

} // namespace
