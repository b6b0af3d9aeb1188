// The header: the signature search, the global table, the version chosen on
// save and the packed byte; the trailer check.
#include <gtest/gtest.h>

#include <cstring>

#include "GIFException.h"
#include "GIFMessages.h"
#include "GIFTestImage.h"
#include "GIFTextExtensions.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& AText) {
  return {AText.begin(), AText.end()};
}

// 7 descriptor bytes of a 3 x 2 screen with a 4-entry global table.
const std::string kDescriptor = std::string("\x03\x00\x02\x00\x81\x01\x00", 7);
const std::string kTable(12, '\x40');

struct TSignatureCase {
  const char* Name;
  std::string Prefix;
  const char* Signature;
  const char* Error; // nullptr: loads
};

void PrintTo(const TSignatureCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class SignatureTest : public ::testing::TestWithParam<TSignatureCase> {};

TEST_P(SignatureTest, AcceptsGIFInAnyCaseAndAfterFourBytes) {
  const TSignatureCase& test = GetParam();
  TGIFTestImage image;
  TGIFMemoryStream stream(Bytes(test.Prefix + test.Signature + kDescriptor + kTable));
  if (!test.Error) {
    image.Header().LoadFromStream(stream);
    EXPECT_EQ(image.Header().Width(), 3);
    EXPECT_EQ(image.Header().Height(), 2);
    EXPECT_EQ(image.Header().ColorMap().Count(), 4);
    EXPECT_EQ(stream.Position(), stream.Size());
    return;
  }
  try {
    image.Header().LoadFromStream(stream);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), test.Error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, SignatureTest,
    ::testing::Values(TSignatureCase{"GIF89a", "", "GIF89a", nullptr},
                      TSignatureCase{"GIF87a", "", "GIF87a", nullptr},
                      TSignatureCase{"LowerCase", "", "gif89a", nullptr},
                      TSignatureCase{"AnyVersion", "", "GiF1x!", nullptr},
                      TSignatureCase{"LengthPrefix", std::string("\x10\x00\x00\x00", 4), "GIF89a",
                                     nullptr},
                      TSignatureCase{"ThreeBytesInFront", "abc", "GIF89a", kMsgInvalidSignature},
                      TSignatureCase{"FiveBytesInFront", "abcde", "GIF89a", kMsgInvalidSignature},
                      TSignatureCase{"NotAGIF", "", "\x89PNG\r\n", kMsgInvalidSignature}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(HeaderTest, CutSignatureDescriptorOrTableRaisesPrematureEnd) {
  for (std::string data : {std::string("GIF8"), "GIF89a" + kDescriptor.substr(0, 6),
                           "GIF89a" + kDescriptor + kTable.substr(0, 11)}) {
    TGIFTestImage image;
    TGIFMemoryStream stream(Bytes(data));
    EXPECT_THROW(image.Header().LoadFromStream(stream), GIFException) << data.size();
  }
}

TEST(HeaderTest, TableSizeComesFromThePackedByteAndTheSortBitIsNotKept) {
  std::string descriptor = kDescriptor;
  descriptor[4] = static_cast<char>(0x80 | 0x08 | 0x07);
  TGIFTestImage image;
  TGIFMemoryStream stream(Bytes("GIF89a" + descriptor + std::string(768, '\x01')));
  image.Header().LoadFromStream(stream);
  EXPECT_EQ(image.Header().ColorMap().Count(), 256);
  EXPECT_FALSE(image.Header().ColorMap().Optimized());

  descriptor[4] = 0x07;
  TGIFMemoryStream noTable(Bytes("GIF89a" + descriptor));
  image.Header().LoadFromStream(noTable);
  EXPECT_EQ(image.Header().ColorMap().Count(), 0);
}

// A picture of one 2 x 1 frame over a 2-colour global table.
class HeaderSaveTest : public ::testing::Test {
protected:
  void SetUp() override {
    Image.Header().ScreenDescriptor().ScreenWidth = 2;
    Image.Header().ScreenDescriptor().ScreenHeight = 1;
    Image.Header().ColorMap().Add(0x000000);
    Image.Header().ColorMap().Add(0xFFFFFF);
    Image.AddFrame(2, 1, {0, 1});
  }
  std::string Signature() {
    std::vector<uint8_t> data = Image.Save();
    return std::string(data.begin(), data.begin() + 6);
  }
  TGIFTestImage Image;
};

TEST_F(HeaderSaveTest, PlainFramesAreWrittenAs87a) {
  EXPECT_EQ(Signature(), "GIF87a");
}

TEST_F(HeaderSaveTest, AnyExtensionMakesIt89a) {
  auto comment = std::make_unique<TGIFCommentExtension>(Image.Frames[0].get());
  comment->Text() = {"made here"};
  Image.Frames[0]->Extensions().Add(std::move(comment));
  EXPECT_EQ(Signature(), "GIF89a");
}

TEST_F(HeaderSaveTest, ASortedLocalTableMakesIt89a) {
  TGIFFrameBase& frame = *Image.Frames[0];
  frame.ColorMap().Add(0x0000FF);
  frame.ColorMap().Add(0x00FF00);
  frame.ColorMap().SetOptimized(true);
  EXPECT_EQ(Signature(), "GIF89a");
}

TEST_F(HeaderSaveTest, APictureWithoutFramesCannotBeWritten) {
  Image.Frames.clear();
  TGIFMemoryStream stream;
  try {
    Image.Header().SaveToStream(stream);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), kMsgUnsupportedVersion);
  }
}

TEST_F(HeaderSaveTest, PackedByteNamesTheGlobalTableAndItsSize) {
  for (int i = 2; i < 5; ++i)
    Image.Header().ColorMap().Add(static_cast<TColor>(i));
  Image.Header().ColorMap().SetOptimized(true);
  Image.Header().ScreenDescriptor().BackgroundColorIndex = 3;
  std::vector<uint8_t> data = Image.Save();
  // Table of 5 colours: 3 bits, resolution 2, sorted.
  EXPECT_EQ(data[10], 0x80 | (2 << 4) | 0x08 | 2);
  EXPECT_EQ(data[11], 3);
  EXPECT_EQ(data[13 + 5 * 3], 0) << "padding follows the five colours";

  TGIFTestImage reread;
  reread.Load(data);
  EXPECT_EQ(reread.Header().ColorMap().Count(), 8);
  EXPECT_EQ(reread.Header().BackgroundColor(), 3u);
  EXPECT_EQ(reread.Frames.size(), 1u);
  EXPECT_TRUE(reread.Warnings.empty());
}

TEST_F(HeaderSaveTest, WithoutAnyColourTableTheSizeBitsAreAllSet) {
  Image.Header().ColorMap().Clear();
  Image.Frames[0]->PixelData() = {0, 0};
  std::vector<uint8_t> data = Image.Save();
  EXPECT_EQ(data[10] & 0x87, 0x07);
}

TEST(HeaderTest, RequiresGIF89aForASortedTableOrAnAspectRatio) {
  TGIFTestImage image;
  EXPECT_EQ(image.Header().RequiredVersion(), 1);
  image.Header().ScreenDescriptor().AspectRatio = 49;
  EXPECT_EQ(image.Header().RequiredVersion(), 2);
  image.Header().ScreenDescriptor().AspectRatio = 0;
  image.Header().ColorMap().Add(1);
  image.Header().ColorMap().SetOptimized(true);
  EXPECT_EQ(image.Header().RequiredVersion(), 2);
}

TEST(HeaderTest, BackgroundOfAnEmptyTableRaises) {
  TGIFTestImage image;
  try {
    image.Header().BackgroundColor();
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), kMsgColorTableEmpty);
  }
}

TEST(HeaderTest, AssignFromAColourMapClearsTheDescriptor) {
  TGIFTestImage image;
  image.Header().ScreenDescriptor().ScreenWidth = 40;
  TGIFTestImage other;
  other.Header().ColorMap().Add(0x123456);
  image.Header().Assign(other.Header().ColorMap());
  EXPECT_EQ(image.Header().Width(), 0);
  EXPECT_EQ(image.Header().ColorMap().GetColor(0), 0x123456u);
}

TEST(TrailerTest, AnythingButTheTrailerByteWarns) {
  struct TCase {
    std::vector<uint8_t> Data;
    bool Warns;
  };
  for (const TCase& test : {TCase{{';'}, false}, TCase{{}, false}, TCase{{'x'}, true}}) {
    TGIFTestImage image;
    TGIFTrailer trailer(&image);
    TGIFMemoryStream stream(test.Data);
    trailer.LoadFromStream(stream);
    EXPECT_EQ(image.Warnings.size(), test.Warns ? 1u : 0u);
    if (test.Warns) {
      EXPECT_EQ(image.Warnings[0], kMsgInvalidTrailer);
    }
  }
}

} // namespace
