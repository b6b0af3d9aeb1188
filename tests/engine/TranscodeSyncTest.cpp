// The video sync rules of whole runs: holes in the input filled or kept, a
// higher input rate thinned to the output's, and the pictures a decoder
// holds back coming out at the end.
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "MediaFiles.h"
#include "MediaProbe.h"
#include "TaskRun.h"

#include <gtest/gtest.h>

namespace {

class VideoSync : public testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
  void TearDown() override {
    if (HasFailure())
      for (const std::string& line : Log.Texts())
        std::printf("log: %s\n", line.c_str());
  }
  // Runs AInput (a lavfi graph, or a file when AInputOptions is empty) into
  // AOutput and answers the video frames written.
  int64_t Run(const std::string& AInput, const std::string& AInputOptions,
              const std::string& AOutputOptions, const std::string& AOutput = "sync.mkv") {
    TTaskRun run;
    const std::string file = Folder.File(AOutput);
    EXPECT_TRUE(run.Add(AInput, AInputOptions, file, AOutputOptions)) << run.Error;
    run.Start();
    EXPECT_TRUE(run.WaitForEnd());
    EXPECT_TRUE(!run.Notices.empty() && run.Notices[0].Finished);
    const TProbedFile probe = ProbeFile(file);
    const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    return video ? video->Packets : -1;
  }
  TTempFolder Folder;
  TLogCapture Log{TLogLevel::llVerbose};
};

TEST_F(VideoSync, AHoleOfFiveFramesIsFilledOnlyAtAConstantRate) {
  // 2 s at 15 fps with pictures 10 to 14 left out; their time stamps stay.
  const std::string holed =
      "testsrc2=size=320x240:rate=15:duration=2,select='not(between(n,10,14))',format=bgr0";
  struct TCase {
    const char* Sync;
    int64_t Frames;
    int Dups;
  };
  const TCase cases[] = {{"1", 30, 1}, {"2", 25, 0}, {"0", 25, 0}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string("vsync ") + c.Sync);
    Log.Clear();
    EXPECT_EQ(Run(holed, "-f lavfi", std::string(" -c:v mpeg4 -an -vsync ") + c.Sync), c.Frames);
    EXPECT_EQ(Log.Count("*** 5 dup!"), c.Dups);
  }
}

TEST_F(VideoSync, AnInputAtTwiceTheOutputRateLosesEverySecondFrame) {
  const int64_t written = Run("testsrc2=size=320x240:rate=30:duration=2,format=bgr0", "-f lavfi",
                              " -c:v mpeg4 -an -r 15 -vsync 1");
  const int drops = Log.Count("*** drop!");
  // Each of the 60 pictures is written once or dropped; the constant-rate
  // rule lets the output run up to two frames ahead before it drops.
  EXPECT_EQ(written + drops, 60);
  EXPECT_NEAR(drops, 30, 3);
}

TEST_F(VideoSync, PicturesADecoderHoldsBackComeOutAtTheEnd) {
  TMediaSpec spec = MediaSpec("matroska", AV_CODEC_ID_H264);
  spec.BFrames = 3;
  const std::string input = Folder.File("bframes.mkv");
  WriteMediaFile(input, spec);
  EXPECT_EQ(Run(input, "", " -c:v mpeg4 -an"), 30);
  EXPECT_EQ(Log.Count("*** drop!"), 0);
}

} // namespace
