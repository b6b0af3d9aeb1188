// Metadata specifiers and copies between synthetic input and output files.
#include "FFMetadata.h"
#include "FFmpegOpt.h"
#include "SyntheticFormats.h"

#include <gtest/gtest.h>

namespace {

struct TSpecCase {
  const char* Spec;
  int Result;
  char Type;
  const char* StreamSpec;
  int Index;
  const char* Error;
};

void PrintTo(const TSpecCase& ACase, std::ostream* AOut) {
  *AOut << '"' << ACase.Spec << '"';
}

class ParseMetadataSpecCases : public testing::TestWithParam<TSpecCase> {};

TEST_P(ParseMetadataSpecCases, SplitsTypeStreamSpecifierAndIndex) {
  const TSpecCase& c = GetParam();
  TCustomFFmpegOpt task;
  char type = '?';
  std::string streamSpec = "unset";
  int index = -7;
  EXPECT_EQ(ParseMetadataSpec(task, c.Spec, type, streamSpec, index), c.Result);
  if (c.Result == 0) {
    EXPECT_EQ(type, c.Type);
    EXPECT_EQ(streamSpec, c.StreamSpec);
    EXPECT_EQ(index, c.Index);
  } else {
    EXPECT_EQ(task.LastErrMsg, c.Error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Specs, ParseMetadataSpecCases,
    testing::Values(TSpecCase{"", 0, 'g', "unset", -7, nullptr},
                    TSpecCase{"g", 0, 'g', "unset", -7, nullptr},
                    TSpecCase{"s", 0, 's', "", -7, nullptr},
                    TSpecCase{"s:a:1", 0, 's', "a:1", -7, nullptr},
                    TSpecCase{"c:2", 0, 'c', "unset", 2, nullptr},
                    TSpecCase{"p:10", 0, 'p', "unset", 10, nullptr},
                    TSpecCase{"c", 0, 'c', "unset", -7, nullptr},
                    TSpecCase{"sa", -1, 0, nullptr, 0, "Invalid metadata specifier a."},
                    TSpecCase{"x:1", -1, 0, nullptr, 0, "Invalid metadata type x."}),
    [](const testing::TestParamInfo<TSpecCase>& AInfo) {
      return "Case" + std::to_string(AInfo.index);
    });

void SetTag(AVDictionary** ADict, const char* AKey, const char* AValue) {
  AV.av_dict_set(ADict, AKey, AValue, 0);
}

std::string Tag(const AVDictionary* ADict, const char* AKey) {
  const AVDictionaryEntry* entry = AV.av_dict_get(ADict, AKey, nullptr, 0);
  return entry ? entry->value : "<none>";
}

// Chapters the libraries free with the file.
void AddChapters(AVFormatContext* AContext, int ACount) {
  AContext->chapters =
      static_cast<AVChapter**>(AV.av_mallocz(sizeof(AVChapter*) * static_cast<size_t>(ACount)));
  for (int i = 0; i < ACount; ++i) {
    AContext->chapters[i] = static_cast<AVChapter*>(AV.av_mallocz(sizeof(AVChapter)));
    SetTag(&AContext->chapters[i]->metadata, "title", ("chapter " + std::to_string(i)).c_str());
  }
  AContext->nb_chapters = static_cast<unsigned>(ACount);
}

// An input with global tags, two chapters and tagged video and audio
// streams; an output with video and audio streams and a title of its own.
class CopyMetadataTest : public testing::Test {
protected:
  void SetUp() override {
    FInput = MakeFormatContext({{AVMEDIA_TYPE_VIDEO}, {AVMEDIA_TYPE_AUDIO}});
    SetTag(&FInput->metadata, "title", "in title");
    SetTag(&FInput->metadata, "artist", "in artist");
    SetTag(&FInput->streams[0]->metadata, "language", "eng");
    SetTag(&FInput->streams[1]->metadata, "language", "fre");
    AddChapters(FInput.get(), 2);
    FOutput = MakeFormatContext({{AVMEDIA_TYPE_VIDEO}, {AVMEDIA_TYPE_AUDIO}}, "matroska");
    SetTag(&FOutput->metadata, "title", "out title");
  }
  int Copy(const char* AOut, const char* AIn, bool AWithInput = true) {
    return CopyMetadata(FTask, AOut, AIn, FOptions, AWithInput ? FInput.get() : nullptr,
                        FOutput.get());
  }
  std::tuple<int, int, int> Manual() const {
    return {FOptions.MetadataGlobalManual, FOptions.MetadataStreamsManual,
            FOptions.MetadataChaptersManual};
  }
  TCustomFFmpegOpt FTask;
  TOptionsContext FOptions;
  TFormatContextPtr FInput, FOutput;
};

TEST_F(CopyMetadataTest, GlobalToGlobalKeepsTheOutputsOwnKeys) {
  EXPECT_EQ(Copy("g", "g"), 0);
  EXPECT_EQ(Tag(FOutput->metadata, "title"), "out title");
  EXPECT_EQ(Tag(FOutput->metadata, "artist"), "in artist");
  EXPECT_EQ(Manual(), std::make_tuple(1, 0, 0));
}

TEST_F(CopyMetadataTest, StreamSourcesAndDestinations) {
  // The first matching input stream is the source.
  EXPECT_EQ(Copy("g", "s"), 0);
  EXPECT_EQ(Tag(FOutput->metadata, "language"), "eng");
  // Every matching output stream receives.
  EXPECT_EQ(Copy("s:a", "s:a"), 0);
  EXPECT_EQ(Tag(FOutput->streams[1]->metadata, "language"), "fre");
  EXPECT_EQ(Tag(FOutput->streams[0]->metadata, "language"), "<none>");
  EXPECT_EQ(Copy("s", "c:1"), 0);
  EXPECT_EQ(Tag(FOutput->streams[0]->metadata, "title"), "chapter 1");
  EXPECT_EQ(Tag(FOutput->streams[1]->metadata, "title"), "chapter 1");
  EXPECT_EQ(Manual(), std::make_tuple(1, 1, 1));
}

TEST_F(CopyMetadataTest, FailuresSetTheMessage) {
  struct {
    const char* Out;
    const char* In;
    const char* Error;
  } cases[] = {
      {"g", "c:2", "Invalid chapter index 2 while processing metadata maps."},
      {"g", "c:-1", "Invalid chapter index -1 while processing metadata maps."},
      {"c:0", "g", "Invalid chapter index 0 while processing metadata maps."},
      {"g", "p:0", "Invalid program index 0 while processing metadata maps."},
      {"g", "s:s", "Stream specifier s does not match  any streams."},
      {"g", "q", "Invalid metadata type q."},
      {"sv", "g", "Invalid metadata specifier v."},
  };
  for (const auto& c : cases) {
    FTask.LastErrMsg.clear();
    EXPECT_EQ(Copy(c.Out, c.In), -1) << c.Out << " <- " << c.In;
    EXPECT_EQ(FTask.LastErrMsg, c.Error);
  }
  for (const auto& [out, in] : {std::pair{"g", "s:zz"}, std::pair{"s:zz", "g"}}) {
    EXPECT_LT(Copy(out, in), 0);
    EXPECT_EQ(FTask.LastErrMsg.rfind("check_stream_specifier: ", 0), 0u) << FTask.LastErrMsg;
  }
}

TEST_F(CopyMetadataTest, WithoutAnInputOnlyTheManualFlagsAreSet) {
  EXPECT_EQ(Copy("s", "", false), 0);
  EXPECT_EQ(Manual(), std::make_tuple(0, 1, 0));
  EXPECT_EQ(Copy("", "", false), 0);
  EXPECT_EQ(Manual(), std::make_tuple(1, 1, 1));
  EXPECT_EQ(Tag(FOutput->metadata, "artist"), "<none>");
}

} // namespace
