// Whole runs of the transcode loop through the encoder: the recorder's seven
// containers over a source shaped like the capture device, read back
// through the libraries.
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "LoggedTest.h"
#include "MediaFiles.h"
#include "MediaProbe.h"
#include "RecorderStrings.h"
#include "TaskRun.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kRate = 15, kSeconds = 2;
constexpr int64_t kSamples = 44100 * kSeconds;
// The largest frame of the sound encoders used (wmav2, vorbis).
constexpr int64_t kLargestAudioFrame = 2048;

struct TRoadCase {
  size_t Container;
  bool Sound;
};

class RecorderRoad : public TLoggedTestOf<testing::TestWithParam<TRoadCase>> {
protected:
  TTempFolder Folder;
};

TEST_P(RecorderRoad, EndsAsAFinishedFileWithEveryFrameAndSample) {
  const TRecorderContainer& c = RecorderContainers()[GetParam().Container];
  const bool sound = GetParam().Sound;
  // What the device gives on a 32-bit screen.
  const char* format = "bgr0";
  const std::string file = Folder.File(std::string("road.") + c.Extension);
  TTaskRun run;
  ASSERT_TRUE(run.Add(LavfiCaptureLike(320, 240, format, kRate, sound, kSeconds), "-f lavfi -r 15",
                      file, c.Options))
      << run.Error;
  run.Start();
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_EQ(run.Notices.size(), 2u);
  EXPECT_EQ(run.Notices[0].TaskIndex, 0);
  EXPECT_TRUE(run.Notices[0].Finished);
  EXPECT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;
  EXPECT_EQ(run.Notices[1].TaskIndex, -1);

  const TProbedFile probe = ProbeFile(file);
  ASSERT_EQ(probe.Streams.size(), sound ? 2u : 1u);
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->Codec, c.VideoCodec);
  EXPECT_EQ(video->Width, 320);
  EXPECT_EQ(video->Height, 240);
  EXPECT_EQ(video->Packets, kRate * kSeconds);
  for (const TProbedStream& s : probe.Streams) {
    SCOPED_TRACE(AV.av_get_media_type_string(s.Type));
    EXPECT_TRUE(s.DtsIncreasing);
    EXPECT_TRUE(s.PtsNotBeforeDts);
  }
  if (sound) {
    const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->Codec, c.AudioCodec);
    EXPECT_NEAR(static_cast<double>(audio->Samples), static_cast<double>(kSamples),
                2.0 * kLargestAudioFrame);
  }
  // Where the container records a stream's length. A sound encoder's delay
  // may move every stream by up to one of its frames (asf, avi).
  for (const TProbedStream& s : probe.Streams)
    if (s.Duration > 0) {
      EXPECT_NEAR(s.Duration, kSeconds, 1.0 / kRate + 1e-3) << AV.av_get_media_type_string(s.Type);
    }
}

std::vector<TRoadCase> RoadCases() {
  std::vector<TRoadCase> cases;
  for (size_t i = 0; i < RecorderContainers().size(); ++i)
    for (bool sound : {true, false})
      cases.push_back({i, sound});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Containers, RecorderRoad, testing::ValuesIn(RoadCases()),
                         [](const testing::TestParamInfo<TRoadCase>& AInfo) {
                           return std::string(
                                      RecorderContainers()[AInfo.param.Container].Extension) +
                                  (AInfo.param.Sound ? "WithSound" : "Silent");
                         });

} // namespace
