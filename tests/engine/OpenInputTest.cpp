// Opening inputs: the records a task keeps for real inputs (a lavfi source
// shaped like the capture device, files the test writes), the "ss" seek and
// offset, codec tags, the routing of options to the format, and the
// messages of inputs that do not open.
#include "FFEncode.h"
#include "FFErrors.h"
#include "FFmpegOpt.h"
#include "FileNames.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class OpenInput : public testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
  TCustomFFmpegOpt Task;
  TTempFolder Folder;
};

std::vector<AVMediaType> StreamTypes(const TTranscodeTask& ATask) {
  std::vector<AVMediaType> types;
  for (const auto& ist : ATask.InputStreams)
    types.push_back(ist->Stream->codecpar->codec_type);
  return types;
}

TEST_F(OpenInput, ACaptureLikeSourceGivesItsFileAndStreamRecords) {
  ASSERT_EQ(Task.AddInput("-f lavfi", LavfiCaptureLike(), ""), 0) << Task.LastErrMsg;
  ASSERT_EQ(Task.AddInput("-f lavfi", LavfiCaptureLike(160, 120, "bgr0", 30, false), ""), 1)
      << Task.LastErrMsg;
  ASSERT_EQ(Task.InputFiles.size(), 2u);
  EXPECT_EQ(StreamTypes(Task), (std::vector<AVMediaType>{AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO,
                                                         AVMEDIA_TYPE_VIDEO}));
  EXPECT_EQ(Task.InputFiles[0]->FirstStreamIndex, 0);
  EXPECT_EQ(Task.InputFiles[1]->FirstStreamIndex, 2) << "after the first input's streams";
  EXPECT_EQ(Task.InputFiles[1]->StreamCount, 1);
  const TInputStream& video = *Task.InputStreams[0];
  EXPECT_EQ(video.FileIndex, 0);
  EXPECT_TRUE(video.Discard) << "no output uses it yet";
  EXPECT_EQ(video.Stream->discard, AVDISCARD_ALL);
  EXPECT_EQ(video.ResampleWidth, 320);
  EXPECT_EQ(video.ResamplePixFmt, AV_PIX_FMT_BGRA);
  EXPECT_EQ(video.Stream->time_base.den, AV_TIME_BASE);
  ASSERT_NE(video.DecoderContext, nullptr);
  EXPECT_EQ(video.DecoderContext->pkt_timebase.den, AV_TIME_BASE);
  const TInputStream& audio = *Task.InputStreams[1];
  EXPECT_EQ(audio.ResampleSampleRate, 44100);
  EXPECT_EQ(audio.ResampleChannels, 2);
  EXPECT_EQ(audio.ResampleSampleFmt, AV_SAMPLE_FMT_S16);
  EXPECT_EQ(Task.InputStreams[2]->FileIndex, 1);
  EXPECT_EQ(Task.InputStreams[2]->ResamplePixFmt, AV_PIX_FMT_BGR0);
  EXPECT_EQ(Task.LongestInputDuration, 0) << "a generated source has no known duration";
  EXPECT_FALSE(Task.InputFiles[0]->RealTime) << "a generated source is no device";
}

struct TFileCase {
  const char* Name;
  TMediaSpec Spec;
  std::vector<AVMediaType> Types;
  std::vector<AVCodecID> Codecs;
};

class OpenInputFiles : public OpenInput, public testing::WithParamInterface<TFileCase> {};

TEST_P(OpenInputFiles, OpenWithTheirStreamsAndDecoders) {
  const TFileCase& c = GetParam();
  const std::string file = Folder.File(std::string("in.") + c.Name);
  WriteMediaFile(file, c.Spec);
  ASSERT_EQ(Task.AddInput("", file, ""), 0) << Task.LastErrMsg;
  EXPECT_EQ(StreamTypes(Task), c.Types);
  ASSERT_EQ(Task.InputStreams.size(), c.Codecs.size());
  for (size_t i = 0; i < c.Codecs.size(); ++i) {
    ASSERT_NE(Task.InputStreams[i]->Decoder, nullptr) << i;
    EXPECT_EQ(Task.InputStreams[i]->Decoder->id, c.Codecs[i]) << i;
  }
  EXPECT_NEAR(static_cast<double>(Task.LongestInputDuration), 2e6, 0.1e6);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenInputFiles,
    testing::Values(
        TFileCase{"mp4",
                  MediaSpec("mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC),
                  {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO},
                  {AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC}},
        TFileCase{"mkv",
                  MediaSpec("matroska", AV_CODEC_ID_FFV1, AV_CODEC_ID_PCM_S16LE),
                  {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO},
                  {AV_CODEC_ID_FFV1, AV_CODEC_ID_PCM_S16LE}},
        TFileCase{"wav",
                  MediaSpec("wav", AV_CODEC_ID_NONE, AV_CODEC_ID_PCM_S16LE),
                  {AVMEDIA_TYPE_AUDIO},
                  {AV_CODEC_ID_PCM_S16LE}}),
    [](const testing::TestParamInfo<TFileCase>& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(OpenInput, AStartTimeSeeksPastTheFilesOwnStartAndOffsetsTheTimeStamps) {
  const std::string file = Folder.File("late.mkv");
  TMediaSpec spec = MediaSpec("matroska", AV_CODEC_ID_MPEG4);
  spec.Seconds = 10;
  spec.StartTime = 1400000;
  WriteMediaFile(file, spec);
  ASSERT_EQ(Task.AddInput("-ss 5", file, ""), 0) << Task.LastErrMsg;
  EXPECT_EQ(Task.InputFiles[0]->TsOffset, -6400000) << "ss plus the file's start time";
  AVFormatContext* context = Task.InputFiles[0]->Context.get();
  EXPECT_EQ(Task.LongestInputDuration, context->duration - 5000000);
  // The next packet read is the key frame at or before 6.4 s.
  context->streams[0]->discard = AVDISCARD_DEFAULT; // no output took it
  TPacketPtr packet(AV.av_packet_alloc());
  ASSERT_GE(AV.av_read_frame(Task.InputFiles[0]->Context.get(), packet.get()), 0);
  const double seconds = static_cast<double>(packet->pts) * av_q2d(Task.InputStreams[0]->Stream->time_base);
  EXPECT_GE(seconds, 5.4);
  EXPECT_LE(seconds, 6.4 + 1e-6);

  TCustomFFmpegOpt copied;
  ASSERT_EQ(copied.AddInput("-ss 5 -copyts -itsoffset 2", file, ""), 0) << copied.LastErrMsg;
  EXPECT_EQ(copied.InputFiles[0]->TsOffset, 2000000) << "time stamps copied: only itsoffset";
}

TEST_F(OpenInput, ACodecTagIsANumberOrUpToFourCharacters) {
  const std::string file = Folder.File("tagged.mkv");
  WriteMediaFile(file, MediaSpec("matroska", AV_CODEC_ID_MPEG4));
  struct TCase {
    const char* Tag;
    uint32_t Expected;
  };
  for (const TCase& c : {TCase{"avc1", MKTAG('a', 'v', 'c', '1')}, TCase{"0x31637661", 0x31637661},
                         TCase{"xv", MKTAG('x', 'v', 0, 0)}}) {
    TCustomFFmpegOpt task;
    ASSERT_EQ(task.AddInput(std::string("-tag:v ") + c.Tag, file, ""), 0) << task.LastErrMsg;
    EXPECT_EQ(task.InputStreams[0]->Stream->codecpar->codec_tag, c.Expected) << c.Tag;
  }
}

TEST_F(OpenInput, InputsThatDoNotOpenSayWhy) {
  const std::string garbage = Folder.File("garbage.bin");
  std::ofstream(garbage, std::ios::binary) << std::string(4096, '\x5a');
  const std::string missing = Folder.File("missing.mp4");
  struct TCase {
    const char* Options;
    std::string File;
    int Result;
    std::string Message;
  };
  const TCase cases[] = {
      {"-f nosuchformat", "x", AVERROR(EINVAL), "Unknown input format: \"nosuchformat\""},
      {"", missing, AVERROR(ENOENT), ErrorToString(missing, AVERROR(ENOENT))},
      {"", garbage, AVERROR_INVALIDDATA, ErrorToString(garbage, AVERROR_INVALIDDATA)},
      // The format has no such option: an option nobody used, in strict mode.
      {"-f lavfi -ar 22050", LavfiCaptureLike(), AVERROR(EINVAL), "Option sample_rate not found."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    TCustomFFmpegOpt task;
    TLogCapture log(TLogLevel::llFatal);
    EXPECT_EQ(task.AddInput(c.Options, c.File, ""), c.Result);
    EXPECT_EQ(task.LastErrMsg, c.Message);
    EXPECT_EQ(log.LevelOf(c.Message), TLogLevel::llFatal);
    EXPECT_TRUE(task.InputFiles.empty());
    EXPECT_TRUE(task.InputStreams.empty()) << "no half-built input stays";
  }
  TCustomFFmpegOpt lax;
  lax.StrictOptions = false;
  EXPECT_EQ(lax.AddInput("-f lavfi -ar 22050", LavfiCaptureLike(), ""), 0) << lax.LastErrMsg;
}

TEST_F(OpenInput, TheEncoderAddsATaskOnlyForAnInputThatOpens) {
  TFFEncoder encoder;
  std::vector<std::string> probed;
  encoder.OnBeforeFindStreamInfo = [&](TCustomFFmpeg*, AVFormatContext* context) {
    probed.push_back(context->iformat->name);
  };
  EXPECT_LT(encoder.AddTask(Folder.File("missing.mp4")), 0);
  EXPECT_NE(encoder.LastErrMsg.find("No such file or directory"), std::string::npos)
      << encoder.LastErrMsg;
  EXPECT_EQ(encoder.TaskCount(), 0);
  TInputOptions options;
  options.Options = "-f lavfi";
  EXPECT_EQ(encoder.AddTask(LavfiCaptureLike(), &options), 0) << encoder.LastErrMsg;
  EXPECT_EQ(encoder.Task(0)->InputCount(), 1);
  EXPECT_EQ(probed, std::vector<std::string>{"lavfi"}) << "the event runs before probing";
}

} // namespace

namespace {

// Names reach the libraries whole; still-image extensions mark the names the
// libraries read as image sequences.
TEST(FileNames, AreHandedOverWholeAndImageExtensionsAreKnown) {
  const std::string longName = "/tmp/" + std::string(5000, 'x') + "/Fläche ünïcode.mp4";
  EXPECT_EQ(FFmpegFileName(longName), longName) << "no length limit, no re-encoding";
  EXPECT_THROW(FFmpegFileName(std::string("a\0b.mp4", 7)), Exception);
  EXPECT_EQ(FFmpegToString("clip-ü.mkv"), "clip-ü.mkv");
  struct TCase {
    const char* Name;
    AVCodecID Codec;
  };
  for (const TCase& c : {TCase{"frame%03d.png", AV_CODEC_ID_PNG}, TCase{"A.JPG", AV_CODEC_ID_MJPEG},
                         TCase{"x.tif", AV_CODEC_ID_TIFF}, TCase{"x.xwd", AV_CODEC_ID_XWD},
                         TCase{"movie.mp4", AV_CODEC_ID_NONE}, TCase{"noextension", AV_CODEC_ID_NONE},
                         TCase{"dir.png/file", AV_CODEC_ID_NONE}})
    EXPECT_EQ(GuessImage2Codec(c.Name), c.Codec) << c.Name;
}

} // namespace
