// The start of a run: what the encoders open with, forced key frames, stream
// copy and what it refuses, and outputs that cannot start.
#include "FFmpeg.h"
#include "FFmpegException.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "LoggedTest.h"
#include "MediaFiles.h"
#include "MediaProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

class RunStart : public TLoggedTestOf<testing::Test, TLogLevel::llDebug> {
protected:
  // The times (seconds) of AFile's video key frames.
  static std::vector<double> KeyFrameTimes(const std::string& AFile) {
    AVFormatContext* raw = nullptr;
    EXPECT_EQ(AV.avformat_open_input(&raw, AFile.c_str(), nullptr, nullptr), 0);
    TInputContextPtr input(raw);
    std::vector<double> times;
    TPacketPtr packet(AV.av_packet_alloc());
    while (AV.av_read_frame(raw, packet.get()) >= 0) {
      if (packet->flags & AV_PKT_FLAG_KEY)
        times.push_back(packet->pts * av_q2d(raw->streams[packet->stream_index]->time_base));
      AV.av_packet_unref(packet.get());
    }
    return times;
  }
  TTempFolder Folder;
};

TEST_F(RunStart, ForcedKeyFramesComeAtTheirTimesInAnyOrder) {
  struct TCase {
    const char* Forced;
    std::vector<double> Times;
  };
  const TCase cases[] = {
      {"5,1,3", {0, 1, 3, 5}},
      {"expr:gte(t,n_forced*2)", {0, 2, 4}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Forced);
    const std::string file = Folder.File("keys.mkv");
    TCustomFFmpegOpt task;
    ASSERT_EQ(task.AddInput("-f lavfi", LavfiCaptureLike(160, 120, "bgr0", 15, false, 6), ""), 0)
        << task.LastErrMsg;
    ASSERT_EQ(task.AddOutput(std::string(" -c:v mpeg4 -g 1000 -force_key_frames ") + c.Forced,
                             false, file, ""),
              0)
        << task.LastErrMsg;
    EXPECT_TRUE(task.RunTranscode());
    if (c.Forced[0] != 'e') {
      // The table, in the encoder's time base (1/15 s).
      EXPECT_EQ(task.OutputStreams[0]->ForcedKeyFrames, (std::vector<int64_t>{15, 45, 75}));
    }
    task.FreeTranscodeState();
    const std::vector<double> times = KeyFrameTimes(file);
    ASSERT_EQ(times.size(), c.Times.size());
    for (size_t i = 0; i < times.size(); ++i)
      EXPECT_NEAR(times[i], c.Times[i], 1e-3) << i;
  }
}

TEST_F(RunStart, AFixedQualityCodesEveryPictureAtThatQuantiser) {
  for (const int q : {2, 6, 17}) {
    SCOPED_TRACE(q);
    const std::string file = Folder.File("fixed.avi");
    const std::string stats = Folder.File("fixed.vstats");
    TCustomFFmpegOpt task;
    ASSERT_EQ(task.AddInput("-f lavfi", LavfiCaptureLike(160, 120, "bgr0", 15, false, 1), ""), 0)
        << task.LastErrMsg;
    ASSERT_EQ(task.AddOutput(" -c:v mpeg4 -b:v 768k -qscale " + std::to_string(q) +
                                 " -vstats_file " + stats,
                             false, file, ""),
              0)
        << task.LastErrMsg;
    EXPECT_TRUE(task.RunTranscode());
    task.FreeTranscodeState();
    std::ifstream lines(stats);
    std::string line;
    int pictures = 0;
    char expected[16];
    std::snprintf(expected, sizeof expected, " q= %2.1f ", static_cast<double>(q));
    while (std::getline(lines, line)) {
      ++pictures;
      EXPECT_NE(line.find(expected), std::string::npos) << line;
    }
    EXPECT_EQ(pictures, 15);
  }
}

TEST_F(RunStart, EncodersOpenWithTheirThreadsAndALowBitRateIsQuestioned) {
  struct TCase {
    const char* Options;
    int Threads; // 0: as many as the encoder likes
    bool Warned;
  };
  const TCase cases[] = {
      {" -c:v mjpeg -threads 4", 1, false},
      {" -c:v mpeg4 -threads 3", 3, false},
      {" -c:v mpeg4 -b:v 500", 0, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    Log.Clear();
    TCustomFFmpegOpt task;
    ASSERT_EQ(task.AddInput("-f lavfi", LavfiCaptureLike(160, 120, "bgr0", 15, false, 1), ""), 0);
    ASSERT_EQ(task.AddOutput(c.Options, false, Folder.File("threads.avi"), ""), 0)
        << task.LastErrMsg;
    EXPECT_TRUE(task.RunTranscode());
    if (c.Threads) {
      EXPECT_EQ(task.OutputStreams[0]->EncoderContext->thread_count, c.Threads);
    }
    EXPECT_EQ(Log.Count("The bitrate parameter is set too low. It takes bits/s as argument, not "
                        "kbits/s"),
              c.Warned ? 1 : 0);
    task.FreeTranscodeState();
  }
}

TEST_F(RunStart, AStreamCopyKeepsEveryPacket) {
  const std::string input = Folder.File("source.mkv");
  WriteMediaFile(input, MediaSpec("matroska", AV_CODEC_ID_MPEG4, AV_CODEC_ID_PCM_S16LE));
  const std::string output = Folder.File("copy.mkv");
  TCustomFFmpegOpt task;
  ASSERT_EQ(task.AddInput("", input, ""), 0);
  ASSERT_EQ(task.AddOutput(" -c copy", false, output, ""), 0) << task.LastErrMsg;
  EXPECT_TRUE(task.RunTranscode());
  task.FreeTranscodeState();
  EXPECT_GE(Log.Find("  Stream #0:0 -> #0:0 (copy) (video)"), 0);
  const TProbedFile source = ProbeFile(input), copy = ProbeFile(output);
  ASSERT_EQ(copy.Streams.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(copy.Streams[i].Codec, source.Streams[i].Codec);
    EXPECT_EQ(copy.Streams[i].Packets, source.Streams[i].Packets);
    EXPECT_EQ(copy.Streams[i].Samples, source.Streams[i].Samples);
    EXPECT_TRUE(copy.Streams[i].DtsIncreasing);
  }
}

TEST_F(RunStart, CopyingWhatHooksOrThePreviewMustSeeIsRefused) {
  const std::string input = Folder.File("source.mkv");
  WriteMediaFile(input, MediaSpec("matroska", AV_CODEC_ID_MPEG4, AV_CODEC_ID_PCM_S16LE));
  struct TCase {
    const char* Options;
    void (*Arrange)(TFFmpeg& ATask);
    const char* Message;
  };
  const TCase cases[] = {
      {" -c:a copy -vol 512", [](TFFmpeg&) {},
       "-acodec copy and -vol are incompatible (frames are not decoded)"},
      {" -c:a copy",
       [](TFFmpeg& ATask) {
         ATask.OnAudioOutputHook = [](TCustomFFmpeg*, int64_t, uint8_t*, int, int, int,
                                      AVSampleFormat) {};
       },
       "-acodec copy and AudioHook are incompatible (frames are not decoded)"},
      {" -c:v copy",
       [](TFFmpeg& ATask) { ATask.OnVideoInputHook = [](TCustomFFmpeg*, THookInfo&) {}; },
       "-vcodec copy and VideoHook are incompatible (frames are not decoded)"},
      {" -c:v copy",
       [](TFFmpeg& ATask) { ATask.OnFrameOutputHook = [](TCustomFFmpeg*, TFrameHookInfo&) {}; },
       "-vcodec copy and FrameHook are incompatible (frames are not decoded)"},
      {" -c:v copy", [](TFFmpeg& ATask) { ATask.SetPreviewFlags(1); },
       "-vcodec copy and PostHooks are incompatible (frames are not decoded)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Message);
    const std::string output = Folder.File("refused.mkv");
    TFFmpeg task;
    ASSERT_EQ(task.AddInput("", input, ""), 0);
    ASSERT_EQ(task.AddOutput(c.Options, false, output, ""), 0) << task.LastErrMsg;
    c.Arrange(task);
    try {
      task.Transcode();
      ADD_FAILURE() << "the run started";
    } catch (const FFmpegException& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
    task.Cleanup();
    EXPECT_FALSE(std::filesystem::exists(output)) << "nothing was written";
  }
}

TEST_F(RunStart, AnOutputWithoutStreamsFailsBeforeAnyHeader) {
  const std::string output = Folder.File("empty.mkv");
  TCustomFFmpegOpt task;
  ASSERT_EQ(task.AddInput("-f lavfi", LavfiCaptureLike(160, 120, "bgr0", 15, false, 1), ""), 0);
  ASSERT_EQ(task.AddOutput(" -vn -an", false, output, ""), 0) << task.LastErrMsg;
  EXPECT_THROW(task.RunTranscode(), FFmpegException);
  EXPECT_EQ(task.LastErrMsg, "Output file #0 does not contain any stream");
  task.FreeTranscodeState();
  EXPECT_FALSE(std::filesystem::exists(output));
}

} // namespace
