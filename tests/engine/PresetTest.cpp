// Presets: the preset text handed with a file and preset files named by
// "-vpre" and its kin; which lines apply, where they land, and what a bad
// line says in strict and lenient mode.
#include "FFPresets.h"
#include "ParseFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <unistd.h>

namespace {

using TCodecNames = std::vector<std::pair<std::string, std::string>>;

TCodecNames CodecNames(const TOptionsContext& AOptions) {
  TCodecNames names;
  for (const auto& entry : AOptions.CodecNames)
    names.emplace_back(entry.Specifier, entry.Value);
  return names;
}

struct TPresetCase {
  const char* Name;
  const char* Options; // the option string
  const char* Presets;
  bool Strict;
  int Result;
  TCodecNames Codecs;
  TStrings CodecOpts;
  std::optional<std::string> LastErrMsg;
  const char* Logged = nullptr; // a line of the log, when given
};

void PrintTo(const TPresetCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class PresetCases : public OptionParser, public testing::WithParamInterface<TPresetCase> {};

TEST_P(PresetCases, ApplyAsTheCaseSays) {
  const TPresetCase& c = GetParam();
  EXPECT_EQ(Parse(c.Options, c.Strict, c.Presets), c.Result) << Task.LastErrMsg;
  EXPECT_EQ(CodecNames(Options), c.Codecs);
  EXPECT_EQ(Entries(FileGroup().CodecOpts), c.CodecOpts);
  if (c.LastErrMsg) {
    EXPECT_EQ(Task.LastErrMsg, *c.LastErrMsg);
  }
  if (c.Logged) {
    EXPECT_GE(Log->Find(c.Logged), 0) << c.Logged;
  }
}

const std::string kBadKey =
    "Invalid option or argument: \"b = 1000k\", parsed as \"b \" = \" 1000k\"";

INSTANTIATE_TEST_SUITE_P(
    Cases, PresetCases,
    testing::Values(
        TPresetCase{"OneLineText",
                    "",
                    "vcodec=libx264<CRLF>crf=23",
                    true,
                    0,
                    {{"v", "libx264"}},
                    {"crf=23"},
                    ""},
        TPresetCase{"BreaksOfEveryKind",
                    "",
                    "ACODEC=aac\r\ng=10\rbf=2\n",
                    true,
                    0,
                    {{"a", "aac"}},
                    {"g=10", "bf=2"},
                    ""},
        TPresetCase{"CommentsAndBlankLinesAreSkipped",
                    "",
                    "# a comment\n\n   \n\tg=12\t",
                    true,
                    0,
                    {},
                    {"g=12"},
                    ""},
        TPresetCase{"AValueKeepsItsEqualsSigns",
                    "",
                    "x264-params=a=1:b=2",
                    true,
                    0,
                    {},
                    {"x264-params=a=1:b=2"},
                    ""},
        // The option string's codec comes later and wins; the preset's
        // library option lands over the option string's.
        TPresetCase{"BetweenTheGroups",
                    "-vcodec mpeg4 -crf 30",
                    "vcodec=libx264\ncrf=23",
                    true,
                    0,
                    {{"v", "libx264"}, {"v", "mpeg4"}},
                    {"crf=23"},
                    ""},
        TPresetCase{"BlanksAroundTheEqualsSignMakeAnUnknownKey",
                    "",
                    "b = 1000k",
                    true,
                    AVERROR_OPTION_NOT_FOUND,
                    {},
                    {},
                    kBadKey + "\r\nOption not found"},
        TPresetCase{"LenientModeGoesOn",
                    "",
                    "b = 1000k\ng=5",
                    false,
                    0,
                    {},
                    {"g=5"},
                    "",
                    "Invalid option or argument: \"b = 1000k\""},
        TPresetCase{"StrictModeStopsAtTheFirstBadLine",
                    "",
                    "g=5\nnonsense=1\ng=7",
                    true,
                    AVERROR_OPTION_NOT_FOUND,
                    {},
                    {"g=5"},
                    "Invalid option or argument: \"nonsense=1\", parsed as \"nonsense\" = "
                    "\"1\"\r\nOption not found"},
        TPresetCase{"ALineWithoutValue",
                    "",
                    "g=",
                    true,
                    AVERROR(EINVAL),
                    {},
                    {},
                    "Invalid syntax: \"g=\"\r\nInvalid argument / Invalid data found when "
                    "processing input"},
        TPresetCase{"ALineWithoutValueLenient",
                    "",
                    "=5\ng=3",
                    false,
                    0,
                    {},
                    {"g=3"},
                    "",
                    "Invalid syntax: \"=5\""}),
    [](const testing::TestParamInfo<TPresetCase>& AInfo) { return AInfo.param.Name; });

TEST_F(OptionParser, PresetsAreLoggedWithTheirFileName) {
  ASSERT_EQ(Parse("", true, "g=5\r\nbf=1"), 0);
  EXPECT_GE(Log->Find("ParsePresets for file.avi:\r\ng=5\r\nbf=1"), 0);
}

// Scaler and resampler options of a preset belong to the file as much as
// codec options do.
TEST_F(OptionParser, ScalerAndResamplerPresetsReachTheFileGroup) {
  ASSERT_EQ(Parse("", true, "sws_flags=neighbor\nphase_shift=8"), 0) << Task.LastErrMsg;
  EXPECT_EQ(Entries(FileGroup().ResamplerOpts), TStrings{"phase_shift=8"});
  ASSERT_NE(FileGroup().ScalerOpts, nullptr);
  uint8_t* flags = nullptr;
  ASSERT_EQ(AV.av_opt_get(FileGroup().ScalerOpts.get(), "sws_flags", 0, &flags), 0);
  EXPECT_EQ(std::strtol(reinterpret_cast<char*>(flags), nullptr, 0), SWS_POINT);
  AV.av_free(flags);
}

class PresetFiles : public OptionParser {
protected:
  void SetUp() override {
    OptionParser::SetUp();
    FFolder =
        std::filesystem::temp_directory_path() / ("vexmora-presets-" + std::to_string(getpid()));
    std::filesystem::create_directories(FFolder);
  }
  void TearDown() override {
    std::filesystem::remove_all(FFolder);
    OptionParser::TearDown();
  }
  std::string Write(const std::string& AName, const std::string& AText) {
    const std::filesystem::path path = FFolder / AName;
    std::ofstream(path, std::ios::binary) << AText;
    return path.string();
  }
  std::filesystem::path FFolder;
};

TEST_F(PresetFiles, ApplyWhereTheyStandAmongTheFileOptions) {
  const std::string path = Write("fast.ffpreset", "# speed\r\ng=5\r\nvcodec=mpeg4\r\n");
  ASSERT_EQ(Parse("-g 1 -vpre \"" + path + "\" -bf 2"), 0) << Task.LastErrMsg;
  EXPECT_EQ(Entries(FileGroup().CodecOpts), (TStrings{"bf=2", "g=5"}));
  EXPECT_EQ(CodecNames(Options), (TCodecNames{{"v", "mpeg4"}}));
  EXPECT_GE(Log->Find("Parse preset file: " + path), 0);
}

TEST_F(PresetFiles, BadLinesNameTheFile) {
  const std::string path = Write("bad.ffpreset", "g=5\nb = 1\n");
  EXPECT_EQ(Parse("-fpre \"" + path + "\""), AVERROR_OPTION_NOT_FOUND);
  EXPECT_EQ(Task.LastErrMsg.rfind("bad.ffpreset: Invalid option or argument: \"b = 1\", parsed as "
                                  "\"b \" = \" 1\"\r\n",
                                  0),
            0u)
      << Task.LastErrMsg;

  const std::string syntax = Write("syntax.ffpreset", "novalue\n");
  EXPECT_EQ(Parse("-apre \"" + syntax + "\""), AVERROR(EINVAL));
  EXPECT_EQ(Task.LastErrMsg.rfind(syntax + ": Invalid syntax: \"novalue\"\r\n", 0), 0u)
      << Task.LastErrMsg;
}

TEST_F(PresetFiles, AMissingFileIsNamed) {
  const std::string path = (FFolder / "none.ffpreset").string();
  EXPECT_EQ(Parse("-spre \"" + path + "\""), AVERROR(EINVAL));
  EXPECT_EQ(Task.LastErrMsg.rfind("Preset file \"" + path + "\" not found\r\n", 0), 0u)
      << Task.LastErrMsg;
  EXPECT_EQ(Parse("-vpre \"" + FFolder.string() + "\""), AVERROR(EINVAL)) << "a folder";
}

} // namespace
