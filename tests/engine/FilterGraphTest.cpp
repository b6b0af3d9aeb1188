// Filter graphs over real streams: simple graphs converting to what each of
// the recorder's encoders takes, the watermark graph at its nine positions
// (and with a picture path full of characters the graph syntax reserves),
// the refusals, the resampler and frame-rate rules, and complex graphs with
// their input bindings.
#include "FFmpegOpt.h"
#include "FilterEscape.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "MediaFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

class FilterGraphs : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    ASSERT_EQ(Task.AddInput("-f lavfi", LavfiCaptureLike(), ""), 0) << Task.LastErrMsg;
  }
  // An output stream record with an encoder context, as opening an output
  // makes one.
  TOutputStream& AddOutputStream(const char* AEncoder, const std::string& AFilter,
                                 int AWidth = 0, int AHeight = 0) {
    auto ost = std::make_unique<TOutputStream>();
    ost->Index = static_cast<int>(Task.OutputStreams.size());
    ost->Encoder = AV.avcodec_find_encoder_by_name(AEncoder);
    EXPECT_NE(ost->Encoder, nullptr) << AEncoder;
    AVCodecContext* context = AV.avcodec_alloc_context3(ost->Encoder);
    ost->EncoderContext.reset(context, [](AVCodecContext* c) { AV.avcodec_free_context(&c); });
    context->width = AWidth;
    context->height = AHeight;
    ost->AvFilter = AFilter;
    ost->SwsFlags = SWS_BICUBIC;
    Task.OutputStreams.push_back(std::move(ost));
    return *Task.OutputStreams.back();
  }
  TInputStream& Video() { return *Task.InputStreams[0]; }
  TInputStream& Audio() { return *Task.InputStreams[1]; }
  // Configures a simple graph from AIst to AOst and runs 30 packets through.
  int Run(TInputStream& AIst, TOutputStream& AOst, TGraphDriver& ADriver) {
    const int result = Task.ConfigureFilterGraph(Task.InitSimpleFilterGraph(AIst, AOst));
    if (result < 0) return result;
    ADriver.OpenDecoders();
    ADriver.Run(0, 30, true);
    return 0;
  }

  TCustomFFmpegOpt Task;
  TTempFolder Folder;
};

struct TEncoderCase {
  const char* Encoder;
  bool Video;
};

class SimpleGraphs : public FilterGraphs, public testing::WithParamInterface<TEncoderCase> {};

// The sink gives frames the encoder takes, whatever the capture delivers.
TEST_P(SimpleGraphs, ConvertToWhatTheEncoderTakes) {
  const TEncoderCase& c = GetParam();
  TOutputStream& ost = AddOutputStream(c.Encoder, c.Video ? "null" : "anull");
  TGraphDriver driver(Task);
  ASSERT_EQ(Run(c.Video ? Video() : Audio(), ost, driver), 0) << Task.LastErrMsg;
  const auto& frames = driver.Frames(ost);
  ASSERT_FALSE(frames.empty());
  const AVFrame* frame = frames.front().get();
  if (c.Video) {
    std::vector<int> offered;
    for (const AVPixelFormat* f = ost.Encoder->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
      offered.push_back(*f);
    EXPECT_THAT(offered, testing::Contains(frame->format));
    EXPECT_EQ(frame->width, 320);
    EXPECT_EQ(frame->height, 240);
  } else {
    std::vector<int> offered;
    for (const AVSampleFormat* f = ost.Encoder->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
      offered.push_back(*f);
    EXPECT_THAT(offered, testing::Contains(frame->format));
    EXPECT_EQ(frame->sample_rate, 44100);
    EXPECT_EQ(frame->ch_layout.nb_channels, 2);
  }
}

INSTANTIATE_TEST_SUITE_P(
    RecorderEncoders, SimpleGraphs,
    testing::Values(TEncoderCase{"libx264", true}, TEncoderCase{"mpeg4", true},
                    TEncoderCase{"wmv2", true}, TEncoderCase{"libvpx", true},
                    TEncoderCase{"flv", true}, TEncoderCase{"aac", false},
                    TEncoderCase{"libmp3lame", false}, TEncoderCase{"wmav2", false},
                    TEncoderCase{"libvorbis", false}),
    [](const testing::TestParamInfo<TEncoderCase>& AInfo) {
      return std::string(AInfo.param.Encoder);
    });

TEST_F(FilterGraphs, AnEncoderSizeAndPixelFormatAreWhatTheSinkGives) {
  TOutputStream& ost = AddOutputStream("mpeg4", "null", 160, 120);
  ost.EncoderContext->pix_fmt = AV_PIX_FMT_BGRA; // mpeg4 does not take it
  TLogCapture log(TLogLevel::llWarning);
  TGraphDriver driver(Task);
  ASSERT_EQ(Run(Video(), ost, driver), 0) << Task.LastErrMsg;
  ASSERT_FALSE(driver.Frames(ost).empty());
  EXPECT_EQ(driver.Frames(ost)[0]->width, 160);
  EXPECT_EQ(driver.Frames(ost)[0]->format, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(log.Count("Incompatible pixel format \"bgra\" for codec \"mpeg4\", auto-selecting "
                      "format \"yuv420p\""),
            1);
}

// ---- The watermark ------------------------------------------------------------------------

// The recorder's description of a watermark at one of the nine positions.
std::string WatermarkGraph(const std::string& APicture, int APosition) {
  static const char* const kOverlays[] = {
      "[watermark] overlay=x=5:y=5",
      "[watermark] overlay=x=main_w/2-overlay_w/2:y=5",
      "[watermark] overlay=main_w-overlay_w-5:5",
      "[watermark] overlay=5:main_h/2-overlay_h/2",
      "[watermark] overlay=main_w/2-overlay_w/2:main_h/2-overlay_h/2",
      "[watermark] overlay=main_w-overlay_w-5:main_h/2-overlay_h/2",
      "[watermark] overlay=5:main_h-overlay_h-5",
      "[watermark] overlay=main_w/2-overlay_w/2:main_h-overlay_h-5",
      "[watermark] overlay=main_w-overlay_w-5:main_h-overlay_h-5"};
  return "movie=" + EscapeFilterOptionValue(APicture) + " [watermark]; [in] " +
         kOverlays[APosition - 1] + " [out]";
}

// The top left corner of a 16-pixel picture on a 320 x 240 frame.
std::pair<int, int> WatermarkCorner(int APosition) {
  const int column = (APosition - 1) % 3, row = (APosition - 1) / 3;
  const int xs[] = {5, (320 - 16) / 2, 320 - 16 - 5};
  const int ys[] = {5, (240 - 16) / 2, 240 - 16 - 5};
  return {xs[column], ys[row]};
}

bool IsRed(const AVFrame* AFrame, int AX, int AY) {
  const uint8_t* p = AFrame->data[0] + static_cast<size_t>(AY) * AFrame->linesize[0] + 4 * AX;
  return p[2] > 230 && p[1] < 30 && p[0] < 30; // B, G, R, A
}

TEST_F(FilterGraphs, TheWatermarkLandsWhereItsPositionSays) {
  const std::string picture = Folder.File("logo.png");
  WritePng(picture, 16, 255, 0, 0);
  for (int position = 1; position <= 9; ++position) {
    SCOPED_TRACE(position);
    TCustomFFmpegOpt task;
    // A black picture, so that only the watermark is red.
    ASSERT_EQ(task.AddInput("-f lavfi", "color=c=black:size=320x240:rate=15:duration=1,format=bgra",
                            ""),
              0);
    auto ost = std::make_unique<TOutputStream>();
    ost->Encoder = AV.avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    AVCodecContext* context = AV.avcodec_alloc_context3(ost->Encoder);
    context->pix_fmt = AV_PIX_FMT_BGRA;
    ost->EncoderContext.reset(context, [](AVCodecContext* c) { AV.avcodec_free_context(&c); });
    ost->AvFilter = WatermarkGraph(picture, position);
    task.OutputStreams.push_back(std::move(ost));
    TOutputStream& out = *task.OutputStreams.back();
    ASSERT_EQ(task.ConfigureFilterGraph(task.InitSimpleFilterGraph(*task.InputStreams[0], out)), 0)
        << task.LastErrMsg;
    TGraphDriver driver(task);
    driver.OpenDecoders();
    driver.Run(0, 5, true);
    ASSERT_FALSE(driver.Frames(out).empty());
    const AVFrame* frame = driver.Frames(out).back().get();
    const auto [x, y] = WatermarkCorner(position);
    EXPECT_TRUE(IsRed(frame, x + 1, y + 1));
    EXPECT_TRUE(IsRed(frame, x + 14, y + 14));
    int red = 0;
    for (int yy = 0; yy < 240; ++yy)
      for (int xx = 0; xx < 320; ++xx)
        red += IsRed(frame, xx, yy);
    EXPECT_GE(red, 14 * 14);
    EXPECT_LE(red, 18 * 18) << "the picture appears only where it belongs";
  }
}

TEST_F(FilterGraphs, AWatermarkPathWithTheGraphsOwnCharactersWorks) {
  const std::string folder = Folder.File("a b,c;d[e]f=g'h\\i:j");
  std::filesystem::create_directory(folder);
  const std::string picture = folder + "/logo, [1];x=y.png";
  WritePng(picture, 16, 255, 0, 0);
  TOutputStream& ost = AddOutputStream("rawvideo", WatermarkGraph(picture, 1));
  ost.EncoderContext->pix_fmt = AV_PIX_FMT_BGRA;
  TGraphDriver driver(Task);
  ASSERT_EQ(Run(Video(), ost, driver), 0) << Task.LastErrMsg;
  ASSERT_FALSE(driver.Frames(ost).empty());
  EXPECT_TRUE(IsRed(driver.Frames(ost).back().get(), 8, 8));
}

TEST_F(FilterGraphs, GraphsThatCannotBeBuiltSayWhy) {
  const std::string missing = Folder.File("no-such-logo.png");
  struct TCase {
    const char* Name;
    std::string Description;
    int Result;
    std::string Message;
  };
  const std::string split = "[in] split [a][b]";
  const TCase cases[] = {
      {"missing watermark", WatermarkGraph(missing, 1), AVERROR(ENOENT),
       "Error parsing the filter graph \"" + WatermarkGraph(missing, 1) +
           "\": No such file or directory"},
      {"two open outputs", split, AVERROR(EINVAL),
       "Simple filtergraph \"" + split + "\" does not have exactly one input and output."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TOutputStream& ost = AddOutputStream("mpeg4", c.Description);
    EXPECT_EQ(Task.ConfigureFilterGraph(Task.InitSimpleFilterGraph(Video(), ost)), c.Result);
    EXPECT_EQ(Task.LastErrMsg, c.Message);
    EXPECT_THAT(Task.LastErrMsg, testing::HasSubstr(c.Name == std::string("missing watermark")
                                                        ? "no-such-logo.png"
                                                        : "split"));
  }
}

// ---- Sources ------------------------------------------------------------------------------

TEST_F(FilterGraphs, AudioSyncResamplesAndStartsAtZeroOnlyTheFirstTime) {
  Task.AudioSyncMethod = 1;
  TOutputStream& ost = AddOutputStream("aac", "anull");
  TLogCapture log(TLogLevel::llInfo);
  TFilterGraph& graph = Task.InitSimpleFilterGraph(Audio(), ost);
  ASSERT_EQ(Task.ConfigureFilterGraph(graph), 0) << Task.LastErrMsg;
  ASSERT_EQ(Task.ConfigureFilterGraph(graph), 0) << Task.LastErrMsg;
  const char* first = "-async is forwarded to lavfi similarly to -af aresample=async=1:first_pts=0.";
  const char* later = "-async is forwarded to lavfi similarly to -af aresample=async=1.";
  EXPECT_EQ(log.Count(first), 1);
  EXPECT_EQ(log.Count(later), 1);
  EXPECT_LT(log.Find(first), log.Find(later));
}

TEST_F(FilterGraphs, TheFrameRateFollowsTheCodecOnlyWhenTheStreamRateIsImplausible) {
  struct TCase {
    AVRational StreamRate, CodecRate, AverageRate;
    AVRational Expected;
  };
  const TCase cases[] = {
      // 30 per second coded as 60 fields: 30 stays.
      {{30, 1}, {30, 1}, {30, 1}, {30, 1}},
      // A stream rate of 60 whose codec and average rate say 25: 25.
      {{60, 1}, {25, 1}, {25, 1}, {25, 1}},
  };
  for (const TCase& c : cases) {
    TCustomFFmpegOpt task;
    ASSERT_EQ(task.AddInput("-f lavfi", LavfiCaptureLike(320, 240, "bgra", 15, false), ""), 0);
    TInputStream& ist = *task.InputStreams[0];
    ist.Stream->r_frame_rate = c.StreamRate;
    ist.Stream->avg_frame_rate = c.AverageRate;
    ist.DecoderContext->framerate = c.CodecRate;
    ist.DecoderContext->ticks_per_frame = 2;
    auto ost = std::make_unique<TOutputStream>();
    ost->AvFilter = "null";
    task.OutputStreams.push_back(std::move(ost));
    TFilterGraph& graph = task.InitSimpleFilterGraph(ist, *task.OutputStreams.back());
    ASSERT_EQ(task.ConfigureFilterGraph(graph), 0) << task.LastErrMsg;
    const AVRational rate = AV.av_buffersink_get_frame_rate(graph.Outputs[0]->Filter);
    EXPECT_EQ(av_cmp_q(rate, c.Expected), 0) << rate.num << "/" << rate.den;
  }
}

TEST_F(FilterGraphs, AForcedRateRenumbersFramesOfAFileInput) {
  TCustomFFmpegOpt task;
  ASSERT_EQ(task.AddInput("-f lavfi -r 5", LavfiCaptureLike(320, 240, "bgra", 15, false), ""), 0);
  auto ost = std::make_unique<TOutputStream>();
  ost->AvFilter = "null";
  task.OutputStreams.push_back(std::move(ost));
  TOutputStream& out = *task.OutputStreams.back();
  TFilterGraph& graph = task.InitSimpleFilterGraph(*task.InputStreams[0], out);
  ASSERT_EQ(task.ConfigureFilterGraph(graph), 0) << task.LastErrMsg;
  EXPECT_EQ(av_cmp_q(AV.av_buffersink_get_time_base(graph.Outputs[0]->Filter), AVRational{1, 5}),
            0);
  TGraphDriver driver(task);
  driver.OpenDecoders();
  driver.Run(0, 6, true);
  ASSERT_EQ(driver.Frames(out).size(), 6u);
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(driver.Frames(out)[i]->pts, static_cast<int64_t>(i)) << "counted, not timed";
}

// ---- Complex graphs -----------------------------------------------------------------------

TEST_F(FilterGraphs, ComplexGraphsBindTheirInputsAndKeepTheirOutputsPending) {
  ASSERT_EQ(Task.AddInput("-f lavfi", LavfiCaptureLike(160, 120, "bgr0", 15, false), ""), 1);
  ASSERT_EQ(Task.AddComplexFilterGraph("[1:v] scale=80:60 [small]; null [main]"), 0);
  ASSERT_EQ(Task.AddComplexFilterGraph("[0:a] anull"), 0);
  ASSERT_EQ(Task.ConfigureComplexFilterGraphs(), 0) << Task.LastErrMsg;
  const TFilterGraph& first = *Task.FilterGraphs[0];
  ASSERT_EQ(first.Inputs.size(), 2u);
  EXPECT_EQ(first.Inputs[0]->Ist, Task.InputStreams[2].get()) << "the labelled pad: input 1";
  EXPECT_EQ(first.Inputs[1]->Ist, Task.InputStreams[0].get()) << "the first free video stream";
  EXPECT_EQ(first.Inputs[0]->Name, "scale");
  for (const auto& input : first.Inputs) {
    EXPECT_FALSE(input->Ist->Discard);
    EXPECT_EQ(input->Ist->Stream->discard, AVDISCARD_NONE);
    EXPECT_TRUE(TTranscodeTask::StreamFeedsGraph(first, *input->Ist));
  }
  ASSERT_EQ(first.Outputs.size(), 2u);
  std::vector<std::string> pending;
  for (const auto& output : first.Outputs) {
    EXPECT_EQ(output->Ost, nullptr) << "pending until an output takes it";
    pending.emplace_back(output->OutTmp->name);
  }
  EXPECT_THAT(pending, testing::UnorderedElementsAre("small", "main"));
  EXPECT_EQ(Task.FilterGraphs[1]->Inputs[0]->Ist, Task.InputStreams[1].get());
  EXPECT_FALSE(TTranscodeTask::StreamFeedsGraph(*Task.FilterGraphs[1], *Task.InputStreams[0]));
}

TEST_F(FilterGraphs, ComplexInputsThatCannotBeBoundAreFatal) {
  struct TCase {
    std::string Description;
    std::string Message;
  };
  const TCase cases[] = {
      {"[5:v] null", "Invalid file index 5 in filtergraph description [5:v] null."},
      {"[0:a] null",
       "Stream specifier \"a\" in filtergraph description [0:a] null matches no streams."},
      {"null; null",
       "Cannot find a matching stream for unlabeled input pad 0 on filter Parsed_null_1"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Description);
    TCustomFFmpegOpt task;
    ASSERT_EQ(task.AddInput("-f lavfi", LavfiCaptureLike(), ""), 0);
    ASSERT_EQ(task.AddComplexFilterGraph(c.Description), 0);
    EXPECT_THROW(task.ConfigureComplexFilterGraphs(), FFmpegException);
    EXPECT_EQ(task.LastErrMsg, c.Message);
  }
}

} // namespace
