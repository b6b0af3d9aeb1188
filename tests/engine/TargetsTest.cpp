// "-target": the options each target and norm sets, the norm guessed from
// the inputs' frame rates, and the failures.
#include "DictionaryText.h"
#include "FFOptions.h"
#include "FFTargets.h"
#include "FFmpegOpt.h"
#include "SyntheticFormats.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// The value of the last entry for every stream (specifier ASpec), or "".
template <class T> T Last(const TSpecifierOptList<T>& AList, const char* ASpec = "") {
  T value{};
  for (const auto& entry : AList)
    if (entry.Specifier == ASpec) value = entry.Value;
  return value;
}

struct TTargetCase {
  const char* Name;
  const char* Value;
  std::vector<AVRational> InputRates; // of the video streams of one input
  const char* VideoCodec;
  const char* AudioCodec;
  const char* Format;
  const char* Size;
  const char* Rate;
  const char* PixFmt;
  int SampleRate;
  int Channels;
  TEntries Codec;
  TEntries Muxer;
  float MuxPreload;
};

void PrintTo(const TTargetCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Value;
}

class Targets : public testing::TestWithParam<TTargetCase> {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    FTask.InitOptionTable();
    FTask.InitOptionsContext(FOptions);
  }
  void TearDown() override { FTask.FreeOptionsContext(FOptions); }
  // One input with an audio stream and video streams at the given rates.
  void AddInput(const std::vector<AVRational>& ARates) {
    std::vector<TStreamSketch> streams{{AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_NONE, 2}};
    for (AVRational rate : ARates)
      streams.push_back({AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_NONE, 0, rate});
    FFiles.push_back(MakeFormatContext(streams));
    FInputs.push_back(FFiles.back().get());
  }
  TCustomFFmpegOpt FTask;
  TOptionsContext FOptions;
  std::vector<TFormatContextPtr> FFiles;
  std::vector<AVFormatContext*> FInputs;
};

const TEntries kVcdCodec{
    {"g", "15"},           {"b:v", "1150000"}, {"maxrate", "1150000"}, {"minrate", "1150000"},
    {"bufsize", "327680"}, {"b:a", "224000"}};
const TEntries kSvcdNtscCodec{{"g", "18"},      {"b:v", "2040000"},     {"maxrate", "2516000"},
                              {"minrate", "0"}, {"bufsize", "1835008"}, {"scan_offset", "1"},
                              {"b:a", "224000"}};
TEntries DvdCodec(const char* AGop) {
  return {{"g", AGop},      {"b:v", "6000000"},     {"maxrate", "9000000"},
          {"minrate", "0"}, {"bufsize", "1835008"}, {"b:a", "448000"}};
}
const TEntries kDvdMuxer{{"packetsize", "2048"}, {"muxrate", "10080000"}};

TEST_P(Targets, SetTheOptionsOfTheTargetAndNorm) {
  const TTargetCase& c = GetParam();
  if (!c.InputRates.empty()) AddInput(c.InputRates);
  ASSERT_EQ(ApplyTarget(FTask, FOptions, FInputs, c.Value), 0) << FTask.LastOptionError();
  EXPECT_EQ(Last(FOptions.CodecNames, "v"), c.VideoCodec);
  EXPECT_EQ(Last(FOptions.CodecNames, "a"), c.AudioCodec);
  EXPECT_EQ(FOptions.Format.value_or(""), c.Format);
  EXPECT_EQ(Last(FOptions.FrameSizes), c.Size);
  EXPECT_EQ(Last(FOptions.FrameRates), c.Rate);
  EXPECT_EQ(Last(FOptions.FramePixFmts), c.PixFmt);
  EXPECT_EQ(Last(FOptions.AudioSampleRates), c.SampleRate);
  EXPECT_EQ(Last(FOptions.AudioChannels), c.Channels);
  EXPECT_EQ(EntriesOf(FOptions.Group->CodecOpts.Get()), c.Codec);
  EXPECT_EQ(EntriesOf(FOptions.Group->FormatOpts.Get()), c.Muxer);
  EXPECT_FLOAT_EQ(FOptions.MuxPreload, c.MuxPreload);
}

const AVRational kPal{25, 1}, kNtsc{30000, 1001}, kFilm{24000, 1001}, kOdd{15, 1};

INSTANTIATE_TEST_SUITE_P(
    Norms, Targets,
    testing::Values(
        TTargetCase{"PalVcd",
                    "pal-vcd",
                    {},
                    "mpeg1video",
                    "mp2",
                    "vcd",
                    "352x288",
                    "25",
                    "",
                    44100,
                    2,
                    kVcdCodec,
                    {{"packetsize", "2324"}, {"muxrate", "1411200"}},
                    0.44f},
        TTargetCase{"NtscSvcd",
                    "ntsc-svcd",
                    {},
                    "mpeg2video",
                    "mp2",
                    "svcd",
                    "480x480",
                    "30000/1001",
                    "yuv420p",
                    44100,
                    0,
                    kSvcdNtscCodec,
                    {{"packetsize", "2324"}},
                    0},
        // Film takes the PAL picture size and GOP with its own rate.
        TTargetCase{"FilmDvd",
                    "film-dvd",
                    {},
                    "mpeg2video",
                    "ac3",
                    "dvd",
                    "720x576",
                    "24000/1001",
                    "yuv420p",
                    48000,
                    0,
                    DvdCodec("15"),
                    kDvdMuxer,
                    0},
        TTargetCase{"DvdGuessedPal",
                    "dvd",
                    {kPal},
                    "mpeg2video",
                    "ac3",
                    "dvd",
                    "720x576",
                    "25",
                    "yuv420p",
                    48000,
                    0,
                    DvdCodec("15"),
                    kDvdMuxer,
                    0},
        // The first stream that decides wins; 15 per second decides nothing.
        TTargetCase{"DvdGuessedNtsc",
                    "dvd",
                    {kOdd, kNtsc, kPal},
                    "mpeg2video",
                    "ac3",
                    "dvd",
                    "720x480",
                    "30000/1001",
                    "yuv420p",
                    48000,
                    0,
                    DvdCodec("18"),
                    kDvdMuxer,
                    0},
        // A film rate input gives NTSC, never film.
        TTargetCase{"DvGuessedFromFilmRate",
                    "dv",
                    {kFilm},
                    "",
                    "",
                    "dv",
                    "720x480",
                    "30000/1001",
                    "yuv411p",
                    48000,
                    2,
                    {},
                    {},
                    0},
        TTargetCase{
            "PalDv", "pal-dv", {}, "", "", "dv", "720x576", "25", "yuv420p", 48000, 2, {}, {}, 0},
        TTargetCase{"NtscDv50",
                    "ntsc-dv50",
                    {},
                    "",
                    "",
                    "dv",
                    "720x480",
                    "30000/1001",
                    "yuv422p",
                    48000,
                    2,
                    {},
                    {},
                    0}),
    [](const testing::TestParamInfo<TTargetCase>& AInfo) { return AInfo.param.Name; });

class TargetFailures : public Targets {};

TEST_F(TargetFailures, AnUnknownTargetAndAnUndecidedNorm) {
  EXPECT_EQ(ApplyTarget(FTask, FOptions, FInputs, "pal-foo"), AVERROR(EINVAL));
  EXPECT_EQ(FTask.LastOptionError(), "Unknown target: foo");
  const char* undecided = "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"
                          "Please prefix target with \"pal-\", \"ntsc-\" or \"film-\",\r\n"
                          "or set a framerate with \"-r xxx\".";
  EXPECT_THROW(ApplyTarget(FTask, FOptions, FInputs, "vcd"), FFmpegException);
  EXPECT_EQ(FTask.LastErrMsg, undecided);
  AddInput({kOdd});
  EXPECT_THROW(ApplyTarget(FTask, FOptions, FInputs, "svcd"), FFmpegException);
  EXPECT_EQ(FTask.LastErrMsg, undecided);
}

} // namespace
