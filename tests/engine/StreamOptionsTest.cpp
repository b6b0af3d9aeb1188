// Per-stream option resolution over synthetic format contexts: the last
// matching entry wins, codec options reach only the streams they name, codec
// names resolve to decoders and encoders, layouts are guessed, outputs are
// not overwritten by mistake and attachments land only where they should.
#include "DictionaryText.h"
#include "FFStreamOptions.h"
#include "FFmpegOpt.h"
#include "SyntheticFormats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TDictionary DictionaryOf(const TEntries& AEntries) {
  TDictionary dict;
  for (const auto& [key, value] : AEntries)
    dict.Set(key.c_str(), value.c_str());
  return dict;
}

TEST(MatchPerStreamOption, TheLastMatchingEntryWins) {
  // -r 25 -r:v:1 30 over the streams v, v, a, v.
  auto input = MakeFormatContext(
      {{AVMEDIA_TYPE_VIDEO}, {AVMEDIA_TYPE_VIDEO}, {AVMEDIA_TYPE_AUDIO}, {AVMEDIA_TYPE_VIDEO}});
  const TSpecifierOptList<std::string> rates{{"", "25"}, {"v:1", "30"}};
  TCustomFFmpegOpt task;
  const char* expected[] = {"25", "30", "25", "25"};
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    std::string rate = "default";
    MatchPerStreamOption(task, rates, input.get(), input->streams[i], rate);
    EXPECT_EQ(rate, expected[i]) << "stream " << i;
  }
  // Entries in the other order: the later, general one wins everywhere.
  const TSpecifierOptList<int> channels{{"a", 2}, {"", 6}};
  int value = 0;
  MatchPerStreamOption(task, channels, input.get(), input->streams[2], value);
  EXPECT_EQ(value, 6);
}

TEST(MatchPerStreamOption, NoMatchKeepsTheDefaultAndABadSpecifierIsFatal) {
  auto input = MakeFormatContext({{AVMEDIA_TYPE_VIDEO}, {AVMEDIA_TYPE_AUDIO}});
  TCustomFFmpegOpt task;
  double scale = 1.5;
  MatchPerStreamOption(task, TSpecifierOptList<double>{{"a", 2.0}}, input.get(), input->streams[0],
                       scale);
  EXPECT_EQ(scale, 1.5);
  int64_t frames = 0;
  EXPECT_THROW(MatchPerStreamOption(task, TSpecifierOptList<int64_t>{{"zz", 5}}, input.get(),
                                    input->streams[0], frames),
               FFmpegException);
  EXPECT_EQ(task.LastErrMsg.rfind("check_stream_specifier: ", 0), 0u) << task.LastErrMsg;
}

TEST(MatchPerTypeCodecName, OnlyTheExactLetterCountsAndTheLastWins) {
  TOptionsContext options;
  options.CodecNames = {{"v", "first"}, {"v:0", "specific"}, {"v", "last"}, {"a", "mp2"}};
  std::string name = "keep";
  MatchPerTypeCodecName(options, 'v', name);
  EXPECT_EQ(name, "last");
  MatchPerTypeCodecName(options, 'a', name);
  EXPECT_EQ(name, "mp2");
  name = "keep";
  MatchPerTypeCodecName(options, 's', name);
  EXPECT_EQ(name, "keep");
}

struct TFilterCase {
  const char* Name;
  bool Output;
  int Stream; // of the streams video (mpeg4), audio (mp2)
  TEntries Expected;
};

void PrintTo(const TFilterCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class FilterCodecOptionsCases : public testing::TestWithParam<TFilterCase> {};

// The options of a string like -g:v 30 -vqmin 3 -ar 22050 -b:a:0 64000
// -data_partitioning 1 -threads 2.
const TEntries kCodecOptions{{"g:v", "30"},
                             {"vqmin", "3"},
                             {"ar", "22050"},
                             {"b:a:0", "64000"},
                             {"data_partitioning", "1"},
                             {"threads", "2"}};

TEST_P(FilterCodecOptionsCases, EachStreamGetsWhatAppliesToIt) {
  const TFilterCase& c = GetParam();
  auto file = MakeFormatContext(
      {{AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_MPEG4}, {AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_MP2}},
      c.Output ? "matroska" : nullptr);
  ASSERT_EQ(c.Output, file->oformat != nullptr);
  TCustomFFmpegOpt task;
  TDictionary dict = DictionaryOf(kCodecOptions);
  AVStream* stream = file->streams[c.Stream];
  TDictionary result =
      FilterCodecOptions(task, dict.Get(), stream->codecpar->codec_id, file.get(), stream, nullptr);
  EXPECT_EQ(EntriesOf(result.Get()), c.Expected);
  // The caller's keys keep their specifiers.
  EXPECT_EQ(EntriesOf(dict.Get()), kCodecOptions);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, FilterCodecOptionsCases,
    testing::Values(
        // g by specifier, qmin by prefix letter, the encoder's private option.
        TFilterCase{"EncodingVideo",
                    true,
                    0,
                    {{"g", "30"}, {"qmin", "3"}, {"data_partitioning", "1"}, {"threads", "2"}}},
        TFilterCase{"EncodingAudio", true, 1, {{"ar", "22050"}, {"b", "64000"}, {"threads", "2"}}},
        // g and qmin are encoding options only; the decoder has no private ones here.
        TFilterCase{"DecodingVideo", false, 0, {{"threads", "2"}}},
        TFilterCase{"DecodingAudio", false, 1, {{"ar", "22050"}, {"threads", "2"}}}),
    [](const testing::TestParamInfo<TFilterCase>& AInfo) { return AInfo.param.Name; });

TEST(FilterCodecOptions, ABadSpecifierIsAnErrorNotASilentLossOfEveryOption) {
  auto output = MakeFormatContext({{AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_MPEG4}}, "matroska");
  TCustomFFmpegOpt task;
  TDictionary dict = DictionaryOf({{"g:zz", "30"}, {"qmin", "3"}});
  EXPECT_THROW(FilterCodecOptions(task, dict.Get(), AV_CODEC_ID_MPEG4, output.get(),
                                  output->streams[0], nullptr),
               FFmpegException);
  EXPECT_EQ(task.LastErrMsg.rfind("check_stream_specifier: ", 0), 0u) << task.LastErrMsg;
}

TEST(FindStreamInfoOptions, OneDictionaryPerStream) {
  auto input = MakeFormatContext(
      {{AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_MPEG4}, {AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_MP2}});
  TCustomFFmpegOpt task;
  TDictionary dict = DictionaryOf({{"ar:a", "8000"}, {"threads:v", "3"}});
  std::vector<TDictionary> perStream = FindStreamInfoOptions(task, input.get(), dict.Get());
  ASSERT_EQ(perStream.size(), 2u);
  EXPECT_EQ(EntriesOf(perStream[0].Get()), (TEntries{{"threads", "3"}}));
  EXPECT_EQ(EntriesOf(perStream[1].Get()), (TEntries{{"ar", "8000"}}));
  auto empty = MakeFormatContext({});
  EXPECT_TRUE(FindStreamInfoOptions(task, empty.get(), dict.Get()).empty());
}

struct TCodecNameCase {
  const char* Name;
  AVMediaType Type;
  bool Encoder;
  const char* Found; // the codec's name, or null when it fails
  const char* Error; // LastErrMsg of the failure
};

void PrintTo(const TCodecNameCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class FindCodecByNameCases : public testing::TestWithParam<TCodecNameCase> {};

TEST_P(FindCodecByNameCases, FindsOrFailsWithTheMessage) {
  const TCodecNameCase& c = GetParam();
  LoadLibAVForTest();
  TCustomFFmpegOpt task;
  if (c.Found) {
    const AVCodec* codec = FindCodecByName(task, c.Name, c.Type, c.Encoder);
    ASSERT_NE(codec, nullptr);
    EXPECT_STREQ(codec->name, c.Found);
    EXPECT_EQ(c.Encoder, AV.avcodec_find_encoder_by_name(codec->name) == codec);
  } else {
    EXPECT_THROW(FindCodecByName(task, c.Name, c.Type, c.Encoder), FFmpegException);
    EXPECT_EQ(task.LastErrMsg, c.Error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, FindCodecByNameCases,
    testing::Values(TCodecNameCase{"mpeg4", AVMEDIA_TYPE_VIDEO, true, "mpeg4", nullptr},
                    TCodecNameCase{"mp2", AVMEDIA_TYPE_AUDIO, false, "mp2", nullptr},
                    // No decoder has this name; the codec descriptor of that name has one.
                    TCodecNameCase{"amr_nb", AVMEDIA_TYPE_AUDIO, false, "amrnb", nullptr},
                    TCodecNameCase{"nosuchcodec", AVMEDIA_TYPE_VIDEO, true, nullptr,
                                   "Unknown encoder \"nosuchcodec\""},
                    TCodecNameCase{"nosuchcodec", AVMEDIA_TYPE_VIDEO, false, nullptr,
                                   "Unknown decoder \"nosuchcodec\""},
                    TCodecNameCase{"mp2", AVMEDIA_TYPE_VIDEO, true, nullptr,
                                   "Invalid encoder type \"mp2\""}),
    [](const testing::TestParamInfo<TCodecNameCase>& AInfo) {
      return std::string(AInfo.param.Name) + (AInfo.param.Encoder ? "Encoder" : "Decoder") +
             std::to_string(AInfo.index);
    });

TEST(ChooseDecoder, ANameForcesTheDecoderAndTheStreamsCodec) {
  auto input = MakeFormatContext(
      {{AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_MPEG4}, {AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_MPEG4}});
  TCustomFFmpegOpt task;
  TOptionsContext options;
  options.CodecNames = {{"v:1", "h263"}};
  const AVCodec* first = ChooseDecoder(task, options, input.get(), input->streams[0]);
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->name, "mpeg4");
  const AVCodec* second = ChooseDecoder(task, options, input.get(), input->streams[1]);
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second->name, "h263");
  EXPECT_EQ(input->streams[1]->codecpar->codec_id, AV_CODEC_ID_H263);
  EXPECT_EQ(input->streams[0]->codecpar->codec_id, AV_CODEC_ID_MPEG4);
}

struct TLayoutCase {
  const char* Name;
  int Channels;
  bool Known; // a layout is set already
  int GuessMax;
  bool Result;
  const char* Layout; // described afterwards
};

void PrintTo(const TLayoutCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class GuessInputChannelLayoutCases : public testing::TestWithParam<TLayoutCase> {};

TEST_P(GuessInputChannelLayoutCases, GuessesOnlyWithinTheLimit) {
  const TLayoutCase& c = GetParam();
  LoadLibAVForTest();
  AVChannelLayout layout{};
  if (c.Known)
    ASSERT_EQ(AV.av_channel_layout_from_string(&layout, "2.1"), 0);
  else {
    layout.order = AV_CHANNEL_ORDER_UNSPEC;
    layout.nb_channels = c.Channels;
  }
  EXPECT_EQ(GuessInputChannelLayout(nullptr, layout, c.GuessMax, 0, 1), c.Result);
  char name[64];
  ASSERT_GT(AV.av_channel_layout_describe(&layout, name, sizeof name), 0);
  EXPECT_STREQ(name, c.Layout);
  AV.av_channel_layout_uninit(&layout);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, GuessInputChannelLayoutCases,
    testing::Values(TLayoutCase{"KnownStaysAsItIs", 3, true, 0, true, "2.1"},
                    TLayoutCase{"StereoIsGuessed", 2, false, INT_MAX, true, "stereo"},
                    TLayoutCase{"SixAreFivePointOne", 6, false, 6, true, "5.1"},
                    TLayoutCase{"AboveTheLimit", 6, false, 2, false, "6 channels"},
                    TLayoutCase{"NoDefaultForThatCount", 9, false, INT_MAX, false, "9 channels"}),
    [](const testing::TestParamInfo<TLayoutCase>& AInfo) { return AInfo.param.Name; });

// A private folder that is also the current one while a test runs, for the
// routines that write files named by the input.
class InTempFolder : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    char pattern[] = "/tmp/vexmora-streamopt-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FFolder = pattern;
    FOldFolder = fs::current_path();
    fs::current_path(FFolder);
  }
  void TearDown() override {
    fs::current_path(FOldFolder);
    fs::remove_all(FFolder);
  }
  static void Write(const fs::path& APath, const std::string& AText) {
    fs::create_directories(APath.parent_path());
    std::ofstream(APath) << AText;
  }
  static std::string Read(const fs::path& APath) {
    std::ifstream in(APath);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  fs::path FFolder, FOldFolder;
  TCustomFFmpegOpt FTask;
};

using CheckFileOverwrite_ = InTempFolder;

TEST_F(CheckFileOverwrite_, RefusesOnlyExistingLocalFiles) {
  Write(FFolder / "old.mp4", "x");
  Write(FFolder / "a:b" / "x.mp4", "x");
  const std::string old = (FFolder / "old.mp4").string();
  const std::string colon = (FFolder / "a:b" / "x.mp4").string();
  struct {
    std::string Name;
    int Yes, No;
    bool Result;
  } cases[] = {
      {(FFolder / "new.mp4").string(), 0, 0, true},
      {old, 0, 0, false},
      {"file:" + old, 0, 0, false},
      // A ":" inside a local path is no protocol prefix.
      {colon, 0, 0, false},
      {"old.mp4", 0, 0, false},
      {old, 1, 0, true},
      {old, 1, 1, false},
      {"pipe:1", 0, 0, true},
      {"udp://127.0.0.1:1234", 0, 0, true},
  };
  for (const auto& c : cases) {
    FTask.FileOverwrite = c.Yes;
    FTask.NoFileOverwrite = c.No;
    FTask.LastErrMsg.clear();
    EXPECT_EQ(CheckFileOverwrite(FTask, c.Name), c.Result)
        << c.Name << " y=" << c.Yes << " n=" << c.No;
    if (!c.Result) {
      EXPECT_EQ(FTask.LastErrMsg, "File \"" + c.Name + "\" already exists. Ignore.");
    }
  }
}

using SaveAttachment_ = InTempFolder;

// An attachment stream of input 0 holding "payload", with a "filename" tag.
TFormatContextPtr AttachmentInput(const char* ATag, const char* AData = "payload") {
  auto input = MakeFormatContext({{AVMEDIA_TYPE_VIDEO}, {AVMEDIA_TYPE_ATTACHMENT}});
  AVStream* stream = input->streams[1];
  if (ATag) AV.av_dict_set(&stream->metadata, "filename", ATag, 0);
  if (AData) {
    const size_t size = std::strlen(AData);
    stream->codecpar->extradata =
        static_cast<uint8_t*>(AV.av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(stream->codecpar->extradata, AData, size);
    stream->codecpar->extradata_size = static_cast<int>(size);
  }
  return input;
}

TEST_F(SaveAttachment_, TheTagGivesOnlyABaseNameInTheCurrentFolder) {
  auto input = AttachmentInput("../../escaped/font.ttf");
  SaveAttachment(FTask, input->streams[1], 0, "");
  EXPECT_EQ(Read(FFolder / "font.ttf"), "payload");
  EXPECT_FALSE(fs::exists(FFolder.parent_path().parent_path() / "escaped"));
}

// A tag that reads as a protocol ("pipe:N" writes into an open descriptor)
// still names a file in the current folder.
TEST_F(SaveAttachment_, TheTagNamesAFileNeverAProtocol) {
  auto input = AttachmentInput("pipe:1");
  SaveAttachment(FTask, input->streams[1], 0, "");
  EXPECT_EQ(Read(FFolder / "pipe:1"), "payload");
  // And an existing one is kept.
  auto other = AttachmentInput("pipe:1", "other");
  SaveAttachment(FTask, other->streams[1], 0, "");
  EXPECT_EQ(Read(FFolder / "pipe:1"), "payload");
}

TEST_F(SaveAttachment_, AGivenNameIsUsedAndAnExistingFileIsKept) {
  auto input = AttachmentInput("font.ttf");
  Write(FFolder / "sub" / "kept.bin", "old");
  SaveAttachment(FTask, input->streams[1], 0, (FFolder / "sub" / "kept.bin").string());
  EXPECT_EQ(Read(FFolder / "sub" / "kept.bin"), "old");
  SaveAttachment(FTask, input->streams[1], 0, (FFolder / "sub" / "new.bin").string());
  EXPECT_EQ(Read(FFolder / "sub" / "new.bin"), "payload");
  EXPECT_FALSE(fs::exists(FFolder / "font.ttf"));
}

TEST_F(SaveAttachment_, NoNameAnywhereIsFatalAndNoExtradataWritesNothing) {
  for (const char* tag : {static_cast<const char*>(nullptr), "", "dir/", ".."}) {
    auto input = AttachmentInput(tag);
    EXPECT_THROW(SaveAttachment(FTask, input->streams[1], 2, ""), FFmpegException) << tag;
    EXPECT_EQ(FTask.LastErrMsg, "No filename specified and no \"filename\" tag in stream #2:1.");
  }
  auto empty = AttachmentInput("font.ttf", nullptr);
  EXPECT_NO_THROW(SaveAttachment(FTask, empty->streams[1], 0, ""));
  EXPECT_TRUE(fs::is_empty(FFolder));
}

} // namespace
