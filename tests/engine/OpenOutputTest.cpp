// Opening outputs over an input shaped like the capture device: the seven
// containers with the recorder's own option strings, the stream choice and
// maps, times, stream ids, metadata and chapters, joins, and outputs that
// fail without leaving anything behind.
#include "FFmpegOpt.h"
#include "FilterEscape.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "MediaFiles.h"
#include "RecorderStrings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

const std::string kInvalid = "Invalid argument / Invalid data found when processing input";

class OpenOutput : public testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
  // A task whose input is the capture-like source, with or without sound.
  void OpenCaptureLike(TCustomFFmpegOpt& ATask, bool ASound = true) {
    ASSERT_EQ(ATask.AddInput("-f lavfi", LavfiCaptureLike(320, 240, "bgra", 15, ASound), ""), 0)
        << ATask.LastErrMsg;
  }
  static std::vector<std::string> EncoderNames(const TTranscodeTask& ATask) {
    std::vector<std::string> names;
    for (const auto& ost : ATask.OutputStreams)
      names.push_back(ost->StreamCopy ? "copy" : ost->Encoder ? ost->Encoder->name : "?");
    return names;
  }
  static std::string Option(const TOutputStream& AOst, const char* AKey) {
    const char* value = AOst.EncoderOpts.Value(AKey);
    return value ? value : "";
  }
  TTempFolder Folder;
};

class RecorderOutputs : public OpenOutput,
                           public testing::WithParamInterface<TRecorderContainer> {};

TEST_P(RecorderOutputs, OpenWithTheExpectedStreamsAndSettings) {
  const TRecorderContainer& c = GetParam();
  TCustomFFmpegOpt task;
  OpenCaptureLike(task);
  const std::string file = Folder.File(std::string("out.") + c.Extension);
  ASSERT_EQ(task.AddOutput(c.Options, false, file, ""), 0) << task.LastErrMsg;
  EXPECT_EQ(EncoderNames(task), (std::vector<std::string>{c.VideoEncoder, c.AudioEncoder}));
  ASSERT_EQ(task.OutputFiles.size(), 1u);
  EXPECT_STREQ(task.OutputFiles[0]->Context->oformat->name, c.Muxer);
  EXPECT_TRUE(fs::exists(file)) << "the file is opened for writing";

  const TOutputStream& video = *task.OutputStreams[0];
  EXPECT_EQ(video.Stream->codecpar->codec_type, AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(video.EncoderContext->width, 320);
  EXPECT_EQ(video.EncoderContext->height, 240);
  EXPECT_TRUE(video.EncoderContext->flags & AV_CODEC_FLAG_QSCALE);
  EXPECT_EQ(video.EncoderContext->global_quality, 6 * FF_QP2LAMBDA);
  EXPECT_EQ(Option(video, "b"), "768k");
  EXPECT_EQ(video.SourceIndex, 0);
  EXPECT_EQ(video.AvFilter, "null");

  const TOutputStream& audio = *task.OutputStreams[1];
  EXPECT_EQ(audio.Stream->codecpar->codec_type, AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(audio.EncoderContext->ch_layout.nb_channels, 2);
  EXPECT_EQ(audio.SourceIndex, 1);
  EXPECT_EQ(audio.AvFilter, "anull");
  for (const auto& ist : task.InputStreams)
    EXPECT_FALSE(ist->Discard) << "both inputs are taken";
}

INSTANTIATE_TEST_SUITE_P(Recorder, RecorderOutputs, testing::ValuesIn(RecorderContainers()),
                         [](const testing::TestParamInfo<TRecorderContainer>& AInfo) {
                           return std::string(AInfo.param.Extension);
                         });

TEST_F(OpenOutput, TheRecordersStringsForMp4AndMkvWithoutSoundAndWithAWatermark) {
  const std::string picture = Folder.File("logo.png");
  WritePng(picture, 16, 255, 0, 0);
  const std::string watermark = "movie=" + EscapeFilterOptionValue(picture) +
                                " [watermark]; [in] [watermark] overlay=x=5:y=5 [out]";
  struct TCase {
    const char* Name;
    std::string Options;
    std::vector<std::string> Encoders;
  };
  const TCase cases[] = {
      {"mp4", " -c:v mpeg4 -c:a libfaac -s 320x240 -ac 2  -sn -b:v 768k -qscale 6   -async 1 -vsync 1 ",
       {"mpeg4"}},
      {"mkv", " -s 320x240 -pix_fmt yuv420p  -c:v libx264  -ac 2  -vf \"" + watermark +
                  "\" -sn -b:v 768k -qscale 6   -async 1 -vsync 1 ",
       {"libx264"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TCustomFFmpegOpt task;
    OpenCaptureLike(task, false);
    ASSERT_EQ(task.AddOutput(c.Options, false, Folder.File(std::string("silent.") + c.Name), ""), 0)
        << task.LastErrMsg;
    EXPECT_EQ(EncoderNames(task), c.Encoders) << "no sound in, no sound out";
    if (c.Options.find("-vf") != std::string::npos) {
      EXPECT_EQ(task.OutputStreams[0]->AvFilter, watermark);
    }
  }
}

TEST_F(OpenOutput, MapsChooseStreamsAndSwitchedOffTypesAreSkipped) {
  struct TCase {
    const char* Options;
    std::vector<AVMediaType> Types;
    std::vector<int> Sources;
  };
  const TCase cases[] = {
      {"-map 0:a -map 0:v", {AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_VIDEO}, {1, 0}},
      {"-map 0 -vn", {AVMEDIA_TYPE_AUDIO}, {1}},
      {"-map 0 -map -0:a", {AVMEDIA_TYPE_VIDEO}, {0}},
      {"-an", {AVMEDIA_TYPE_VIDEO}, {0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    TCustomFFmpegOpt task;
    OpenCaptureLike(task);
    ASSERT_EQ(task.AddOutput(c.Options, false, Folder.File("mapped.mkv"), ""), 0) << task.LastErrMsg;
    std::vector<AVMediaType> types;
    std::vector<int> sources;
    for (const auto& ost : task.OutputStreams) {
      types.push_back(ost->Stream->codecpar->codec_type);
      sources.push_back(ost->SourceIndex);
    }
    EXPECT_EQ(types, c.Types);
    EXPECT_EQ(sources, c.Sources);
  }
}

TEST_F(OpenOutput, AMapToAGraphLabelTakesThatOutputOfTheComplexGraph) {
  TCustomFFmpegOpt task;
  OpenCaptureLike(task);
  ASSERT_EQ(task.AddOutput("-filter_complex \"[0:v] scale=160:120 [small]\" -map [small] -map 0:a",
                           false, Folder.File("graph.mkv"), ""),
            0)
      << task.LastErrMsg;
  ASSERT_EQ(task.OutputStreams.size(), 2u);
  const TOutputStream& video = *task.OutputStreams[0];
  EXPECT_EQ(video.SourceIndex, -1) << "fed by the graph";
  ASSERT_NE(video.Filter, nullptr);
  EXPECT_EQ(video.Filter->Ost, &video);
  EXPECT_EQ(video.Filter->OutTmp, nullptr) << "the pending pad is taken";
  EXPECT_EQ(task.OutputStreams[1]->SourceIndex, 1);

  TCustomFFmpegOpt missing;
  OpenCaptureLike(missing);
  EXPECT_EQ(missing.AddOutput("-map [nolabel]", false, Folder.File("nolabel.mkv"), ""), -1);
  EXPECT_EQ(missing.LastErrMsg, "Output with label \"nolabel\" does not exist in any defined "
                                "filter graph, or was already used elsewhere.");
  EXPECT_FALSE(fs::exists(Folder.File("nolabel.mkv")));
}

TEST_F(OpenOutput, TimesOfAnOutputAndTheirWarnings) {
  struct TCase {
    const char* Options;
    int64_t RecordingTime;
    const char* Warning;
  };
  const TCase cases[] = {
      {"-t 10 -to 20", 10000000, "-t and -to cannot be used together; using -t."},
      {"-ss 5 -to 20", 15000000, nullptr},
      {"-ss 5 -to 3", INT64_MAX, "-to value smaller than -ss; ignoring -to."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    TCustomFFmpegOpt task;
    OpenCaptureLike(task);
    TLogCapture log(TLogLevel::llWarning);
    ASSERT_EQ(task.AddOutput(c.Options, false, Folder.File("times.mkv"), ""), 0) << task.LastErrMsg;
    EXPECT_EQ(task.OutputFiles[0]->RecordingTime, c.RecordingTime);
    if (c.Warning) {
      EXPECT_EQ(log.Count(c.Warning), 1);
    }
  }
  TCustomFFmpegOpt task;
  OpenCaptureLike(task);
  ASSERT_EQ(task.AddOutput("-t 10", false, Folder.File("long.mkv"), ""), 0);
  EXPECT_EQ(task.LongestOutputDuration, 10000000);
  EXPECT_EQ(task.OutputFiles[0]->Context->duration, 10000000);
}

TEST_F(OpenOutput, StreamIdsComeFromTheMap) {
  TCustomFFmpegOpt task;
  OpenCaptureLike(task);
  ASSERT_EQ(task.AddOutput("-streamid 0:256 -streamid 1:33", false, Folder.File("ids.mkv"), ""), 0)
      << task.LastErrMsg;
  EXPECT_EQ(task.OutputStreams[0]->Stream->id, 256);
  EXPECT_EQ(task.OutputStreams[1]->Stream->id, 33);
}

TEST_F(OpenOutput, MetadataIsCopiedMappedAndSetByHand) {
  const std::string input = Folder.File("titled.mkv");
  TMediaSpec spec = MediaSpec("matroska", AV_CODEC_ID_FFV1, AV_CODEC_ID_PCM_S16LE);
  spec.Title = "the input";
  spec.Chapters = {{0, 500000}, {500000, 1200000}, {1200000, 2000000}};
  WriteMediaFile(input, spec);

  struct TCase {
    const char* Options;
    const char* Title;
    size_t Chapters;
  };
  const TCase cases[] = {
      {"", "the input", 3},
      {"-metadata title=mine", "mine", 3},
      {"-map_metadata -1", nullptr, 3},
      {"-metadata title=", nullptr, 3},
      {"-ss 0.6 -t 0.4", "the input", 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    TCustomFFmpegOpt task;
    ASSERT_EQ(task.AddInput("", input, ""), 0) << task.LastErrMsg;
    ASSERT_EQ(task.AddOutput(c.Options, false, Folder.File("meta.mkv"), ""), 0) << task.LastErrMsg;
    AVFormatContext* out = task.OutputFiles[0]->Context.get();
    const AVDictionaryEntry* title = AV.av_dict_get(out->metadata, "title", nullptr, 0);
    if (c.Title) {
      ASSERT_NE(title, nullptr);
      EXPECT_STREQ(title->value, c.Title);
    } else {
      EXPECT_EQ(title, nullptr);
    }
    EXPECT_EQ(out->nb_chapters, c.Chapters);
  }
  // With -ss 0.6 -t 0.4 only the second chapter lies in the output, moved
  // to its start.
  TCustomFFmpegOpt task;
  ASSERT_EQ(task.AddInput("", input, ""), 0);
  ASSERT_EQ(task.AddOutput("-ss 0.6 -t 0.4 -metadata:s:a language=eng", false,
                           Folder.File("cut.mkv"), ""),
            0)
      << task.LastErrMsg;
  const AVChapter* chapter = task.OutputFiles[0]->Context->chapters[0];
  const AVRational ms{1, 1000};
  EXPECT_EQ(AV.av_rescale_q(chapter->start, chapter->time_base, ms), 0);
  EXPECT_EQ(AV.av_rescale_q(chapter->end, chapter->time_base, ms), 400);
  const AVDictionaryEntry* language =
      AV.av_dict_get(task.OutputStreams[1]->Stream->metadata, "language", nullptr, 0);
  ASSERT_NE(language, nullptr);
  EXPECT_STREQ(language->value, "eng");

  struct TFailure {
    const char* Options;
    const char* Message;
  };
  for (const TFailure& f :
       {TFailure{"-metadata title", "No \"=\" character in metadata string title."},
        TFailure{"-metadata:c:7 title=x", "Invalid chapter index 7 in metadata specifier."},
        TFailure{"-map_metadata 5", "Invalid input file index 5 while processing metadata maps"},
        TFailure{"-map_chapters 3", "Invalid input file index 3 in chapter mapping."}}) {
    SCOPED_TRACE(f.Options);
    TCustomFFmpegOpt failing;
    ASSERT_EQ(failing.AddInput("", input, ""), 0);
    EXPECT_EQ(failing.AddOutput(f.Options, false, Folder.File("failed.mkv"), ""), -1);
    EXPECT_EQ(failing.LastErrMsg, f.Message);
    EXPECT_TRUE(failing.OutputFiles.empty());
    EXPECT_TRUE(failing.OutputStreams.empty());
    EXPECT_FALSE(fs::exists(Folder.File("failed.mkv"))) << "an empty file is not left behind";
  }
}

TEST_F(OpenOutput, AFailedOutputLeavesNothingAndTheTaskCanTryAgain) {
  TCustomFFmpegOpt task;
  OpenCaptureLike(task);
  struct TCase {
    const char* Options;
    std::string File;
    std::string Message;
  };
  const std::string noFolder = Folder.File("no/such/folder/out.mkv");
  const TCase cases[] = {
      {"-c:v nosuchcodec", Folder.File("a.mkv"), "Unknown encoder \"nosuchcodec\""},
      {"-s 12345", Folder.File("b.mkv"), "Invalid frame size: 12345."},
      {"", noFolder, noFolder + ": No such file or directory"},
      {"-bsf:v nosuchfilter", Folder.File("c.mkv"), "Unknown bitstream filter \"nosuchfilter\""},
      // Values the encoder would refuse only when it opens, at the start.
      {"-threads abc", Folder.File("d.mkv"),
       "Error setting option threads to value abc: " + kInvalid},
      {"-b:v xyz", Folder.File("e.mkv"), "Error setting option b to value xyz: " + kInvalid},
      {"-c:v libx264 -crf soft", Folder.File("f.mkv"),
       "Error setting option crf to value soft: " + kInvalid},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    EXPECT_LT(task.AddOutput(c.Options, false, c.File, ""), 0);
    EXPECT_EQ(task.LastErrMsg, c.Message);
    EXPECT_TRUE(task.OutputFiles.empty());
    EXPECT_TRUE(task.OutputStreams.empty());
    EXPECT_EQ(task.OutputCount(), 0);
    for (const auto& ist : task.InputStreams)
      EXPECT_TRUE(ist->Discard) << "the inputs are as before";
    EXPECT_FALSE(fs::exists(c.File));
  }
  ASSERT_EQ(task.AddOutput("", false, Folder.File("good.mkv"), ""), 0) << task.LastErrMsg;
  EXPECT_EQ(task.OutputStreams.size(), 2u);
  EXPECT_EQ(task.OutputCount(), 1);
}

// ---- Joins --------------------------------------------------------------------------------

TEST_F(OpenOutput, AJoinOfCompatibleInputsSharesOneMuxer) {
  const std::string first = Folder.File("first.mkv"), second = Folder.File("second.mkv");
  WriteMediaFile(first, MediaSpec("matroska", AV_CODEC_ID_FFV1, AV_CODEC_ID_PCM_S16LE));
  TMediaSpec longer = MediaSpec("matroska", AV_CODEC_ID_FFV1, AV_CODEC_ID_PCM_S16LE);
  longer.Seconds = 3;
  WriteMediaFile(second, longer);
  TCustomFFmpegOpt task;
  ASSERT_EQ(task.AddInput("", first, ""), 0);
  ASSERT_EQ(task.AddInput("", second, ""), 1);
  ASSERT_EQ(task.AddOutput("", true, Folder.File("joined.mkv"), ""), 0) << task.LastErrMsg;
  EXPECT_TRUE(task.JoinMode);
  EXPECT_EQ(task.JoinedStreamCount, 2);
  ASSERT_EQ(task.OutputFiles.size(), 2u);
  EXPECT_EQ(task.OutputFiles[0]->Context, task.OutputFiles[1]->Context) << "one muxer";
  EXPECT_EQ(task.OutputFiles[0]->FirstStreamIndex, 0);
  EXPECT_EQ(task.OutputFiles[1]->FirstStreamIndex, 2);
  ASSERT_EQ(task.OutputStreams.size(), 4u);
  EXPECT_EQ(task.OutputStreams[2]->Stream, task.OutputStreams[0]->Stream);
  EXPECT_EQ(task.OutputStreams[2]->EncoderContext, task.OutputStreams[0]->EncoderContext)
      << "the parts share one encoder";
  EXPECT_EQ(task.OutputStreams[2]->SourceIndex, 2);
  EXPECT_EQ(task.OutputStreams[3]->SourceIndex, 3);
  const int64_t sum = task.InputFiles[0]->Context->duration + task.InputFiles[1]->Context->duration;
  EXPECT_EQ(task.TotalDuration, sum);

  EXPECT_EQ(task.AddOutput("", false, Folder.File("second-output.mkv"), ""), -1);
  EXPECT_EQ(task.LastErrMsg, "Cannot join more than one output file.");
}

TEST_F(OpenOutput, AJoinOfInputsWithDifferentStreamsFailsAndLeavesNoOutput) {
  const std::string both = Folder.File("both.mkv"), silent = Folder.File("silent.mkv");
  WriteMediaFile(both, MediaSpec("matroska", AV_CODEC_ID_FFV1, AV_CODEC_ID_PCM_S16LE));
  WriteMediaFile(silent, MediaSpec("matroska", AV_CODEC_ID_FFV1));
  TCustomFFmpegOpt task;
  ASSERT_EQ(task.AddInput("", both, ""), 0);
  ASSERT_EQ(task.AddInput("", silent, ""), 1);
  const std::string joined = Folder.File("joined.mkv");
  EXPECT_EQ(task.AddOutput("", true, joined, ""), -1);
  EXPECT_EQ(task.LastErrMsg, "Cannot join files with diffrent steams state");
  EXPECT_TRUE(task.OutputFiles.empty());
  EXPECT_TRUE(task.OutputStreams.empty());
  EXPECT_FALSE(task.JoinMode);
  EXPECT_FALSE(fs::exists(joined));
}

} // namespace
