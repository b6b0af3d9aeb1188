// "-map" and "-map_channel" over inputs built with the libraries: which
// streams and channels each value selects, and the fatal errors, including
// texts that once made the parser read beyond the end or the arrays.
#include "FFStreamMaps.h"
#include "FFmpegOpt.h"
#include "SyntheticFormats.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Input 0: video, audio (stereo), video, subtitle. Input 1: audio (5.1), video.
class StreamMapTest : public testing::Test {
protected:
  void SetUp() override {
    FFiles.push_back(MakeFormatContext({{AVMEDIA_TYPE_VIDEO},
                                        {AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_NONE, 2},
                                        {AVMEDIA_TYPE_VIDEO},
                                        {AVMEDIA_TYPE_SUBTITLE}}));
    FFiles.push_back(
        MakeFormatContext({{AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_NONE, 6}, {AVMEDIA_TYPE_VIDEO}}));
    for (auto& file : FFiles)
      FInputs.push_back(file.get());
  }
  void Map(const char* AValue) { ApplyStreamMap(FTask, FOptions, FInputs, AValue); }
  void MapChannel(const char* AValue) { ApplyAudioChannelMap(FTask, FOptions, FInputs, AValue); }
  // (file, stream, sync file, sync stream, disabled) of every map entry.
  std::vector<std::tuple<int, int, int, int, int>> Maps() const {
    std::vector<std::tuple<int, int, int, int, int>> result;
    for (const TStreamMap& m : FOptions.StreamMaps)
      result.emplace_back(m.FileIndex, m.StreamIndex, m.SyncFileIndex, m.SyncStreamIndex,
                          m.Disabled);
    return result;
  }
  std::vector<TFormatContextPtr> FFiles;
  std::vector<AVFormatContext*> FInputs;
  TCustomFFmpegOpt FTask;
  TOptionsContext FOptions;
};

using T5 = std::tuple<int, int, int, int, int>;

TEST_F(StreamMapTest, PositiveMapsTakeEveryMatchingStreamInOrder) {
  Map("0:v");
  Map("1");
  Map("0:a:0,1:v");
  EXPECT_EQ(
      Maps(),
      (std::vector<T5>{
          {0, 0, 0, 0, 0}, {0, 2, 0, 2, 0}, {1, 0, 1, 0, 0}, {1, 1, 1, 1, 0}, {0, 1, 1, 1, 0}}));
}

TEST_F(StreamMapTest, ANegativeMapDisablesWhatEarlierMapsTook) {
  Map("0:v");
  Map("-0:v:1");
  EXPECT_EQ(Maps(), (std::vector<T5>{{0, 0, 0, 0, 0}, {0, 2, 0, 2, 1}}));
  // Other files' entries with the same stream numbers stay.
  Map("1");
  Map("-0");
  EXPECT_EQ(Maps(),
            (std::vector<T5>{{0, 0, 0, 0, 1}, {0, 2, 0, 2, 1}, {1, 0, 1, 0, 0}, {1, 1, 1, 1, 0}}));
}

TEST_F(StreamMapTest, ASyncNumberAtTheEndOfTheTextTakesTheFilesFirstStream) {
  Map("0:s,1");
  EXPECT_EQ(Maps(), (std::vector<T5>{{0, 3, 1, 0, 0}}));
}

TEST_F(StreamMapTest, LinkLabelsOfComplexGraphs) {
  Map("[out0]");
  ASSERT_EQ(FOptions.StreamMaps.size(), 1u);
  EXPECT_EQ(FOptions.StreamMaps[0].LinkLabel, "out0");
  // A later negative map examines the entry but leaves a label alone.
  EXPECT_NO_THROW(Map("-0"));
  EXPECT_EQ(FOptions.StreamMaps[0].Disabled, 0);
}

TEST_F(StreamMapTest, FailuresAreFatalWithTheirMessages) {
  struct {
    const char* Value;
    const char* Error;
  } cases[] = {
      {"2", "Invalid input file index: 2."},
      {"9:v", "Invalid input file index: 9."},
      {"--1", "Invalid input file index: -1."},
      // A number beyond int is named as written, not as what it wrapped to.
      {"99999999999999999999", "Invalid input file index: 99999999999999999999."},
      {"0:v,99999999999999999999:v", "Invalid sync file index: 99999999999999999999."},
      {"0:v,5", "Invalid sync file index: 5."},
      {"0:v,-1:v", "Invalid sync file index: -1."},
      {"0:v,1:s", "Sync stream specification in map 0:v,1:s does not match any streams."},
      {"[]", "Invalid output link label: []."},
      {"1:s", "Stream map \"1:s\" matches no streams."},
      // A negative map with nothing mapped before it examines nothing.
      {"-0:v", "Stream map \"-0:v\" matches no streams."},
  };
  for (const auto& c : cases) {
    FOptions.StreamMaps.clear();
    EXPECT_THROW(Map(c.Value), FFmpegException) << c.Value;
    EXPECT_EQ(FTask.LastErrMsg, c.Error);
  }
  EXPECT_THROW(Map("0:zz"), FFmpegException);
  EXPECT_EQ(FTask.LastErrMsg.rfind("check_stream_specifier: ", 0), 0u) << FTask.LastErrMsg;
}

TEST(StreamMapWithoutInputs, EveryFileIndexIsInvalid) {
  TCustomFFmpegOpt task;
  TOptionsContext options;
  EXPECT_THROW(ApplyStreamMap(task, options, {}, "0"), FFmpegException);
  EXPECT_EQ(task.LastErrMsg, "Invalid input file index: 0.");
}

using T5C = std::tuple<int, int, int, int, int>;

T5C ChannelMap(const TAudioChannelMap& AMap) {
  return {AMap.FileIndex, AMap.StreamIndex, AMap.ChannelIndex, AMap.OutFileIndex,
          AMap.OutStreamIndex};
}

TEST_F(StreamMapTest, ChannelMapsAndMutedChannels) {
  struct {
    const char* Value;
    T5C Expected;
  } cases[] = {
      {"0.1.1", {0, 1, 1, -1, -1}},
      {"1.0.5:0.2", {1, 0, 5, 0, 2}},
      {"-1", {-1, -1, -1, -1, -1}},
      {"-1:0.1", {-1, -1, -1, 0, 1}},
  };
  for (const auto& c : cases) {
    FOptions.AudioChannelMaps.clear();
    EXPECT_NO_THROW(MapChannel(c.Value)) << c.Value << ": " << FTask.LastErrMsg;
    ASSERT_EQ(FOptions.AudioChannelMaps.size(), 1u);
    EXPECT_EQ(ChannelMap(FOptions.AudioChannelMaps[0]), c.Expected) << c.Value;
  }
}

TEST_F(StreamMapTest, ChannelMapFailuresNeverReachBeyondTheInputs) {
  const char* usage = "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]";
  struct {
    const char* Value;
    const char* Error;
  } cases[] = {
      {"0.1", usage},
      {"x", usage},
      {"0.1.1:0", usage},
      // Output indices, when given, are never negative.
      {"0.1.1:-2.0", usage},
      {"-1:0.-5", usage},
      {"2.0.0", "mapchan: invalid input file index: 2"},
      {"-3.0.0", "mapchan: invalid input file index: -3"},
      {"0.4.0", "mapchan: invalid input file stream index #0.4"},
      {"0.-1.0", "mapchan: invalid input file stream index #0.-1"},
      {"0.0.0", "mapchan: stream #0.0 is not an audio stream."},
      {"0.1.2", "mapchan: invalid audio channel #0.1.2"},
      {"0.1.-2", "mapchan: invalid audio channel #0.1.-2"},
      {"1.0.6", "mapchan: invalid audio channel #1.0.6"},
      // A number that does not fit an int ends the reading: a syntax error.
      {"2147483648.1.0", usage},
      {"0.1.0:2147483648.0", usage},
      {"-2147483649", usage},
  };
  for (const auto& c : cases) {
    EXPECT_THROW(MapChannel(c.Value), FFmpegException) << c.Value;
    EXPECT_EQ(FTask.LastErrMsg, c.Error) << c.Value;
  }
}

} // namespace
