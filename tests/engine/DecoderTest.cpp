// The decoder component: the information it reads from an input (files the
// test writes, a device without a file, an input whose I/O cannot tell its
// size), the decoder every task input gets, the checks of IsVideoStream, and
// seeking by time and by byte on mp4 and matroska files, with the refusals
// for attached contexts and image sequences.
#include "Exception.h"
#include "FFDecode.h"
#include "FFEncode.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

// A decoder that opens its file itself and so owns the context, as a
// descendant of the component may; only an owned context can be seeked.
class TOpenedDecoder : public TFFDecoder {
public:
  void Open(const std::string& AFileName, const char* AFormat = nullptr) {
    CloseFile();
    AVFormatContext* context = nullptr;
    const AVInputFormat* format = AFormat ? AV.av_find_input_format(AFormat) : nullptr;
    if (AV.avformat_open_input(&context, AFileName.c_str(), format, nullptr) < 0)
      throw std::runtime_error("cannot open " + AFileName);
    if (AV.avformat_find_stream_info(context, nullptr) < 0) {
      AV.avformat_close_input(&context);
      throw std::runtime_error("no stream information in " + AFileName);
    }
    FFormatContext = context;
    FOwned = true;
    FFileName = AFileName;
    RefreshInfo();
  }
  void SetCurrentStream(int AIndex, AVRational AFrameRate) {
    FCurrentStreamIndex = AIndex;
    FFrameRate = AFrameRate;
  }
  int64_t Target(int64_t ATarget) const { return TimeTarget(ATarget); }
};

struct TInfo {
  int64_t Size;
  int Streams, Programs, Audio, Video, Subtitles, FirstAudio, FirstVideo, FirstSubtitle;
  bool operator==(const TInfo&) const = default;
};

TInfo InfoOf(const TCustomDecoder& ADecoder) {
  return {ADecoder.FileSize(),
          ADecoder.StreamCount(),
          ADecoder.ProgramCount(),
          ADecoder.AudioStreamCount(),
          ADecoder.VideoStreamCount(),
          ADecoder.SubtitleStreamCount(),
          ADecoder.FirstAudioStreamIndex(),
          ADecoder.FirstVideoStreamIndex(),
          ADecoder.FirstSubtitleStreamIndex()};
}

std::ostream& operator<<(std::ostream& AOut, const TInfo& AInfo) {
  return AOut << "size " << AInfo.Size << ", streams " << AInfo.Streams << ", programs "
              << AInfo.Programs << ", audio " << AInfo.Audio << "@" << AInfo.FirstAudio
              << ", video " << AInfo.Video << "@" << AInfo.FirstVideo << ", subtitles "
              << AInfo.Subtitles << "@" << AInfo.FirstSubtitle;
}

const TInfo kNoInfo{-1, -1, -1, -1, -1, -1, -1, -1, -1};

class Decoder : public testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
  TLogCapture Log;
  TTempFolder Folder;
};

// ---- Information ----------------------------------------------------------

TEST_F(Decoder, ANewDecoderKnowsNothingAndSaysSo) {
  TFFDecoder decoder;
  EXPECT_EQ(InfoOf(decoder), kNoInfo);
  EXPECT_EQ(decoder.FormatContext(), nullptr);
  EXPECT_EQ(decoder.CurrentStreamIndex(), -1);
  EXPECT_EQ(decoder.OutputChannels(), 2);
  EXPECT_EQ(decoder.OutputSampleRate(), 44100);
  EXPECT_EQ(decoder.OutputSampleFormat(), AV_SAMPLE_FMT_S16);
  EXPECT_EQ(decoder.AudioBytesPerSample(), 2);
  EXPECT_EQ(decoder.AudioBytesPerSecond(), 2 * 44100 * 2);

  EXPECT_FALSE(decoder.IsVideoStream(0));
  EXPECT_EQ(decoder.LastErrMsg(), "file not loaded.");
  EXPECT_EQ(Log.LevelOf("file not loaded."), TLogLevel::llWarning);
  Log.Clear();
  EXPECT_FALSE(decoder.Seek(0, 1000000)) << "nothing to seek";
  EXPECT_EQ(Log.Count("file not loaded."), 1);
}

TEST_F(Decoder, EveryTaskInputGetsADecoderThatDescribesIt) {
  const std::string file = Folder.File("layout.mkv");
  TMediaSpec spec = MediaSpec("matroska", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP2);
  spec.AudioStreams = 2;
  spec.Subtitles = true;
  spec.Seconds = 1;
  WriteMediaFile(file, spec);

  TFFEncoder encoder;
  ASSERT_EQ(encoder.AddTask(file), 0) << encoder.LastErrMsg;
  TFFmpeg& task = *encoder.Task(0);
  ASSERT_EQ(task.DecoderCount(), 1);
  TFFDecoder& decoder = *task.Decoder(0);
  EXPECT_EQ(decoder.FormatContext(), task.InputFiles[0]->Context.get());
  const auto size = static_cast<int64_t>(std::filesystem::file_size(file));
  EXPECT_EQ(InfoOf(decoder), (TInfo{size, 4, 0, 2, 1, 1, 1, 0, 3}));

  Log.Clear();
  EXPECT_TRUE(decoder.IsVideoStream(0));
  EXPECT_FALSE(decoder.IsVideoStream(1));
  EXPECT_FALSE(decoder.IsVideoStream(3));
  EXPECT_TRUE(Log.Texts().empty()) << Log.Texts().front();
  for (int bad : {-1, 4}) {
    EXPECT_FALSE(decoder.IsVideoStream(bad));
    const std::string text = "stream index #" + std::to_string(bad) + " is invalid.";
    EXPECT_EQ(decoder.LastErrMsg(), text);
    EXPECT_EQ(Log.LevelOf(text), TLogLevel::llError);
  }
  EXPECT_THROW(task.Decoder(1), std::out_of_range);
}

TEST_F(Decoder, ADeviceWithoutAFileHasSizeZero) {
  TFFEncoder encoder;
  TInputOptions options;
  options.Options = "-f lavfi";
  ASSERT_EQ(encoder.AddTask(LavfiCaptureLike(), &options), 0) << encoder.LastErrMsg;
  TFFDecoder& decoder = *encoder.Task(0)->Decoder(0);
  EXPECT_EQ(InfoOf(decoder), (TInfo{0, 2, 0, 1, 1, 0, 1, 0, -1}));
}

TEST_F(Decoder, AFailedInputAddsNoTaskAndNoDecoder) {
  TFFEncoder encoder;
  EXPECT_LT(encoder.AddTask(Folder.File("missing.mkv")), 0);
  EXPECT_EQ(encoder.TaskCount(), 0);
}

// An input read through I/O callbacks that cannot seek, so the I/O cannot
// tell its size; the context still carries the name it was opened with.
class TUnsizedInput {
public:
  TUnsizedInput(const std::string& AFileName, const std::string& AContextName)
      : FFile(std::fopen(AFileName.c_str(), "rb")) {
    constexpr int kBufferSize = 4096;
    auto* buffer = static_cast<uint8_t*>(AV.av_malloc(kBufferSize));
    FIO = AV.avio_alloc_context(buffer, kBufferSize, 0, this, &Read, nullptr, nullptr);
    FContext = AV.avformat_alloc_context();
    FContext->pb = FIO;
    if (AV.avformat_open_input(&FContext, AContextName.c_str(), nullptr, nullptr) < 0)
      throw std::runtime_error("cannot open the unsized input");
  }
  ~TUnsizedInput() {
    AV.avformat_close_input(&FContext);
    AV.av_freep(&FIO->buffer);
    AV.avio_context_free(&FIO);
    std::fclose(FFile);
  }
  AVFormatContext* Context() const { return FContext; }

private:
  static int Read(void* AOpaque, uint8_t* ABuffer, int ASize) {
    auto* self = static_cast<TUnsizedInput*>(AOpaque);
    const size_t got = std::fread(ABuffer, 1, static_cast<size_t>(ASize), self->FFile);
    return got == 0 ? AVERROR_EOF : static_cast<int>(got);
  }
  FILE* FFile;
  AVIOContext* FIO = nullptr;
  AVFormatContext* FContext = nullptr;
};

TEST_F(Decoder, ASizeTheInputCannotTellIsTakenFromTheNamedFile) {
  const std::string file = Folder.File("unsized.mkv");
  WriteMediaFile(file, MediaSpec("matroska", AV_CODEC_ID_MPEG4));
  const auto size = static_cast<int64_t>(std::filesystem::file_size(file));
  struct TCase {
    std::string ContextName;
    int64_t Size;
  };
  for (const TCase& c : {TCase{file, size}, TCase{Folder.File("no such file.mkv"), 0}}) {
    TUnsizedInput input(file, c.ContextName);
    ASSERT_LT(AV.avio_size(input.Context()->pb), 0) << "the I/O must not know the size";
    TFFDecoder decoder;
    decoder.AttachFormatContext(input.Context());
    EXPECT_EQ(decoder.FileSize(), c.Size) << c.ContextName;
    EXPECT_EQ(decoder.StreamCount(), 1);
  }
}

TEST_F(Decoder, AnAttachedContextIsDescribedButNeverClosedOrSeeked) {
  const std::string file = Folder.File("attached.mp4");
  WriteMediaFile(file, MediaSpec("mp4", AV_CODEC_ID_MPEG4));
  TOpenedDecoder owner;
  owner.Open(file);
  AVFormatContext* context = owner.FormatContext();
  const int64_t position = AV.avio_seek(context->pb, 0, SEEK_CUR);

  TFFDecoder decoder;
  decoder.AttachFormatContext(context);
  EXPECT_EQ(decoder.VideoStreamCount(), 1);
  decoder.AttachFormatContext(context); // the current one again: nothing happens
  EXPECT_EQ(decoder.FormatContext(), context);

  const std::string text = "file cannot be seeked, handle is readonly.";
  try {
    decoder.Seek(0, 1000000);
    ADD_FAILURE() << "an attached context was seeked";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), text);
  }
  EXPECT_EQ(decoder.LastErrMsg(), text);
  EXPECT_EQ(Log.LevelOf(text), TLogLevel::llWarning);
  EXPECT_EQ(AV.avio_seek(context->pb, 0, SEEK_CUR), position) << "the input was moved";

  decoder.CloseFile();
  EXPECT_EQ(InfoOf(decoder), kNoInfo);
  TPacketPtr packet(AV.av_packet_alloc());
  EXPECT_GE(AV.av_read_frame(context, packet.get()), 0) << "the owner's input must stay open";
}

TEST_F(Decoder, ATaskLetsGoOfItsDecodersBeforeItFreesItsInputs) {
  const std::string file = Folder.File("in.mkv");
  TMediaSpec spec = MediaSpec("matroska", AV_CODEC_ID_MPEG4);
  spec.Seconds = 1;
  WriteMediaFile(file, spec);
  TFFEncoder encoder;
  ASSERT_EQ(encoder.AddTask(file), 0) << encoder.LastErrMsg;
  TOutputOptions out;
  out.Options = "-vcodec mpeg4";
  ASSERT_GE(encoder.SetOutput(0, Folder.File("out.mkv"), &out), 0) << encoder.LastErrMsg;
  TFFDecoder& decoder = *encoder.Task(0)->Decoder(0);
  ASSERT_EQ(decoder.VideoStreamCount(), 1);
  encoder.StartTask(0);
  EXPECT_EQ(decoder.FormatContext(), nullptr);
  EXPECT_EQ(InfoOf(decoder), kNoInfo);
  EXPECT_FALSE(decoder.IsVideoStream(0)) << "no freed context may be read";
  EXPECT_EQ(decoder.LastErrMsg(), "file not loaded.");
}

// ---- Seeking --------------------------------------------------------------

// The time (microseconds) of the next packet of AStream, or nothing.
std::optional<int64_t> NextPacketTime(AVFormatContext* AContext, int AStream,
                                      int64_t* APosition = nullptr) {
  TPacketPtr packet(AV.av_packet_alloc());
  while (AV.av_read_frame(AContext, packet.get()) >= 0) {
    if (packet->stream_index == AStream) {
      const AVStream* stream = AContext->streams[AStream];
      const int64_t time = packet->pts == AV_NOPTS_VALUE ? packet->dts : packet->pts;
      if (APosition) *APosition = packet->pos;
      return AV.av_rescale_q(time, stream->time_base, AVRational{1, AV_TIME_BASE});
    }
    AV.av_packet_unref(packet.get());
  }
  return std::nullopt;
}

struct TSeekCase {
  const char* Name;
  const char* Muxer;
  int64_t StartTime;  // of the file, microseconds
  bool OnVideoStream; // the current stream is the video stream (else none)
  int64_t Target;     // microseconds from the start
  int64_t KeyFrame;   // the key frame expected next, microseconds from the start
};

class DecoderSeekByTime : public Decoder, public testing::WithParamInterface<TSeekCase> {};

TEST_P(DecoderSeekByTime, LandsOnTheKeyFrameAtOrBeforeTheTarget) {
  const TSeekCase& c = GetParam();
  const std::string file = Folder.File(std::string("seek.") + c.Muxer);
  TMediaSpec spec = MediaSpec(c.Muxer, AV_CODEC_ID_MPEG4);
  spec.Seconds = 4;
  spec.GopSize = 15; // a key frame every second at 15 frames a second
  spec.StartTime = c.StartTime;
  WriteMediaFile(file, spec);

  TOpenedDecoder decoder;
  decoder.Open(file);
  const int video = decoder.FirstVideoStreamIndex();
  ASSERT_EQ(video, 0);
  if (c.OnVideoStream) decoder.SetCurrentStream(video, AVRational{15, 1});
  ASSERT_TRUE(NextPacketTime(decoder.FormatContext(), video)) << "the file must be readable";

  ASSERT_TRUE(decoder.Seek(kSeekBackward, c.Target)) << decoder.LastErrMsg();
  const auto time = NextPacketTime(decoder.FormatContext(), video);
  ASSERT_TRUE(time.has_value());
  EXPECT_NEAR(static_cast<double>(*time - c.StartTime), static_cast<double>(c.KeyFrame), 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecoderSeekByTime,
    testing::Values(TSeekCase{"Mp4BetweenKeyFrames", "mp4", 0, false, 2500000, 2000000},
                    TSeekCase{"Mp4OnAKeyFrame", "mp4", 0, true, 2000000, 2000000},
                    TSeekCase{"Mp4StreamTimeBase", "mp4", 0, true, 1900000, 1000000},
                    TSeekCase{"MkvBetweenKeyFrames", "matroska", 0, false, 3900000, 3000000},
                    TSeekCase{"MkvStreamTimeBase", "matroska", 0, true, 1500000, 1000000},
                    TSeekCase{"MkvFileStartIsAdded", "matroska", 500000, false, 2600000, 2000000},
                    TSeekCase{"MkvStreamStartIsAdded", "matroska", 500000, true, 1200000, 1000000},
                    TSeekCase{"Mp4ZeroIsHalfAFrameEarlier", "mp4", 0, true, 0, 0},
                    TSeekCase{"MkvZeroIsHalfAFrameEarlier", "matroska", 0, true, 0, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TTargetCase {
  const char* Name;
  AVRational FrameRate;
  bool OnVideoStream;
  int64_t Target, Expected;
};

class DecoderZeroTarget : public Decoder, public testing::WithParamInterface<TTargetCase> {};

TEST_P(DecoderZeroTarget, AimsHalfAFrameBeforeTheStartOfAVideoStream) {
  const TTargetCase& c = GetParam();
  const std::string file = Folder.File("av.mkv");
  TMediaSpec spec = MediaSpec("matroska", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP2);
  spec.Seconds = 1;
  WriteMediaFile(file, spec);
  TOpenedDecoder decoder;
  decoder.Open(file);
  decoder.SetCurrentStream(c.OnVideoStream ? decoder.FirstVideoStreamIndex()
                                           : decoder.FirstAudioStreamIndex(),
                           c.FrameRate);
  EXPECT_EQ(decoder.Target(c.Target), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecoderZeroTarget,
    testing::Values(TTargetCase{"FifteenFramesASecond", {15, 1}, true, 0, -33333},
                    TTargetCase{"NtscRoundsTowardZero", {30000, 1001}, true, 0, -16683},
                    TTargetCase{"UnknownNumeratorMeans25", {0, 1}, true, 0, -20000},
                    TTargetCase{"UnknownRateKeepsZero", {0, 0}, true, 0, 0},
                    TTargetCase{"SoundStreamKeepsZero", {15, 1}, false, 0, 0},
                    TTargetCase{"OtherTargetsStay", {15, 1}, true, 1, 1}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Decoder, SeekByByteLandsOnTheFirstKeyFrameStoredAfterThePosition) {
  const std::string file = Folder.File("bytes.mkv");
  TMediaSpec spec = MediaSpec("matroska", AV_CODEC_ID_MPEG4);
  spec.Seconds = 4;
  WriteMediaFile(file, spec);
  TOpenedDecoder decoder;
  decoder.Open(file);
  // Where the first three key frames (one a second, each opening a
  // cluster) lie. Reading stops before the end: the demuxer takes no byte
  // seek once it has seen its end.
  AVFormatContext* context = decoder.FormatContext();
  std::vector<std::pair<int64_t, int64_t>> keyFrames; // position, time
  TPacketPtr packet(AV.av_packet_alloc());
  while (keyFrames.size() < 3 && AV.av_read_frame(context, packet.get()) >= 0) {
    if (packet->flags & AV_PKT_FLAG_KEY)
      keyFrames.emplace_back(packet->pos,
                             AV.av_rescale_q(packet->pts, context->streams[0]->time_base,
                                             AVRational{1, AV_TIME_BASE}));
    AV.av_packet_unref(packet.get());
  }
  ASSERT_EQ(keyFrames.size(), 3u);

  // Just past the start of the key frame at 1 s: the demuxer finds the
  // next cluster, the one of the key frame at 2 s.
  ASSERT_TRUE(decoder.Seek(kSeekByte, keyFrames[1].first + 1)) << decoder.LastErrMsg();
  int64_t landed = -1;
  const auto time = NextPacketTime(context, 0, &landed);
  ASSERT_TRUE(time.has_value());
  EXPECT_EQ(*time, keyFrames[2].second);
  EXPECT_EQ(landed, keyFrames[2].first);
  // And back to an earlier one.
  ASSERT_TRUE(decoder.Seek(kSeekByte, keyFrames[0].first + 1)) << decoder.LastErrMsg();
  EXPECT_EQ(NextPacketTime(context, 0), keyFrames[1].second);
}

TEST_F(Decoder, AFormatThatCannotSeekByByteFailsAfterTheRetry) {
  const std::string file = Folder.File("bytes.mp4");
  WriteMediaFile(file, MediaSpec("mp4", AV_CODEC_ID_MPEG4));
  TOpenedDecoder decoder;
  decoder.Open(file);
  EXPECT_FALSE(decoder.Seek(kSeekByte | kSeekBackward, 1234));
  const std::string text = "TFFDecoder.Seek(): could not seek to position 1234 bytes";
  EXPECT_EQ(decoder.LastErrMsg(), text);
  EXPECT_EQ(Log.LevelOf(text), TLogLevel::llError);
}

TEST_F(Decoder, AnImageSequenceIsNeverSeeked) {
  for (int i = 1; i <= 3; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "img%03d.png", i);
    WritePng(Folder.File(name), 8, static_cast<uint8_t>(i * 60), 0, 0);
  }
  TOpenedDecoder decoder;
  decoder.Open(Folder.File("img%03d.png"), "image2");
  AVFormatContext* context = decoder.FormatContext();
  ASSERT_TRUE(NextPacketTime(context, 0).has_value());
  const auto second = [&] {
    TOpenedDecoder probe;
    probe.Open(Folder.File("img%03d.png"), "image2");
    NextPacketTime(probe.FormatContext(), 0);
    return NextPacketTime(probe.FormatContext(), 0);
  }();

  EXPECT_FALSE(decoder.Seek(0, 0));
  const std::string text = "\"image2\" format cannot to be seeked.";
  EXPECT_EQ(decoder.LastErrMsg(), text);
  EXPECT_EQ(Log.LevelOf(text), TLogLevel::llInfo);
  EXPECT_EQ(NextPacketTime(context, 0), second) << "the sequence went on where it was";
}

TEST_F(Decoder, ASeekLogsWhereTheInputWasAndWhereItIs) {
  const std::string file = Folder.File("log.mkv");
  WriteMediaFile(file, MediaSpec("matroska", AV_CODEC_ID_MPEG4));
  TOpenedDecoder decoder;
  decoder.Open(file);
  Log.Clear();
  ASSERT_TRUE(decoder.Seek(0, 1000000));
  EXPECT_EQ(Log.LevelOf(Log.Texts().at(0)), TLogLevel::llDebug);
  EXPECT_EQ(Log.Find("TFFDecoder.Seek(): current position "), 0);
  EXPECT_GT(Log.Find("TFFDecoder.Seek(): seek to position "), 0);
  decoder.CloseFile();
  EXPECT_EQ(InfoOf(decoder), kNoInfo);
  EXPECT_EQ(decoder.FileName(), "");
}

} // namespace
