// The video sync rules of whole runs: holes in the input filled or kept, a
// higher input rate thinned to the output's, and the pictures a decoder
// holds back coming out at the end.
#include "LibAVForTests.h"
#include "LibAVOwners.h"
#include "LogCapture.h"
#include "LoggedTest.h"
#include "MediaFiles.h"
#include "MediaProbe.h"
#include "TaskRun.h"

#include <gtest/gtest.h>

namespace {

class VideoSync : public TLoggedTest {
protected:
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

// AFrom's packets written into ATo (matroska, which takes a dts that does
// not move on), packet AIndex of the first stream with the time stamps of
// the one before it.
void WriteWithASharedDts(const std::string& AFrom, const std::string& ATo, int AIndex) {
  AVFormatContext* raw = nullptr;
  ASSERT_GE(AV.avformat_open_input(&raw, AFrom.c_str(), nullptr, nullptr), 0);
  TInputContextPtr input(raw);
  ASSERT_GE(AV.avformat_find_stream_info(raw, nullptr), 0);
  AVFormatContext* written = nullptr;
  ASSERT_GE(AV.avformat_alloc_output_context2(&written, nullptr, "matroska", ATo.c_str()), 0);
  TFormatContextPtr output(written);
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    AVStream* stream = AV.avformat_new_stream(written, nullptr);
    ASSERT_NE(stream, nullptr);
    ASSERT_GE(AV.avcodec_parameters_copy(stream->codecpar, raw->streams[i]->codecpar), 0);
    stream->codecpar->codec_tag = 0;
    stream->time_base = raw->streams[i]->time_base;
  }
  ASSERT_GE(AV.avio_open2(&written->pb, ATo.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), 0);
  ASSERT_GE(AV.avformat_write_header(written, nullptr), 0);
  TPacketPtr packet(AV.av_packet_alloc());
  int64_t lastPts = AV_NOPTS_VALUE, lastDts = AV_NOPTS_VALUE;
  for (int index = 0; AV.av_read_frame(raw, packet.get()) >= 0;) {
    if (packet->stream_index == 0) {
      if (index++ == AIndex) {
        packet->pts = lastPts;
        packet->dts = lastDts;
      }
      lastPts = packet->pts;
      lastDts = packet->dts;
    }
    const int stream = packet->stream_index;
    AV.av_packet_rescale_ts(packet.get(), raw->streams[stream]->time_base,
                            written->streams[stream]->time_base);
    ASSERT_GE(AV.av_interleaved_write_frame(written, packet.get()), 0);
  }
  ASSERT_GE(AV.av_write_trailer(written), 0);
  AV.avio_closep(&written->pb);
}

// The mp4 muxer refuses a dts that does not move on and would end the run
// with a write error: the copy moves it on by one tick.
TEST_F(VideoSync, ACopiedDtsThatDoesNotMoveOnIsMovedOnForTheMp4Muxer) {
  const std::string source = Folder.File("source.mkv"), shared = Folder.File("shared.mkv");
  WriteMediaFile(source, MediaSpec("matroska", AV_CODEC_ID_MPEG4));
  WriteWithASharedDts(source, shared, 5);
  ASSERT_FALSE(HasFatalFailure());
  const TProbedFile sharedProbe = ProbeFile(shared);
  const TProbedStream* before = sharedProbe.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(before, nullptr);
  ASSERT_FALSE(before->DtsIncreasing) << "the fixture shares a dts";
  EXPECT_EQ(Run(shared, "", " -c copy", "copied.mp4"), before->Packets);
  const TProbedFile copiedProbe = ProbeFile(Folder.File("copied.mp4"));
  const TProbedStream* after = copiedProbe.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(after, nullptr);
  EXPECT_TRUE(after->DtsIncreasing);
  EXPECT_TRUE(after->PtsNotBeforeDts);
  EXPECT_GE(Log.Find("invalid, clipping"), 0);
}

} // namespace
