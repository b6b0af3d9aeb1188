// Extension blocks: text sub-blocks, the graphic control extension and its
// frame, application extensions and their registry, and the extension list.
#include <gtest/gtest.h>

#include "GIFAppExtensions.h"
#include "GIFException.h"
#include "GIFGraphicControl.h"
#include "GIFMessages.h"
#include "GIFTestImage.h"
#include "GIFTextExtensions.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Bytes(const std::string& AText) {
  return {AText.begin(), AText.end()};
}

// A frame whose extension list reads the bytes under test.
class ExtensionTest : public ::testing::Test {
protected:
  TGIFFrameBase& Frame() { return Image.AddFrame(1, 1, {0}); }

  // Loads AData into a fresh frame's extension list; answers where the stream stopped.
  int64_t LoadList(const TBytes& AData) {
    TGIFMemoryStream stream(AData);
    List = &Frame().Extensions();
    List->LoadFromStream(stream);
    return stream.Position();
  }

  template <typename TExtension> TExtension* At(int AIndex) {
    return dynamic_cast<TExtension*>(List->Extensions(AIndex));
  }

  std::string ErrorOf(const TBytes& AData) {
    try {
      LoadList(AData);
    } catch (const GIFException& error) {
      return error.what();
    }
    return "no exception";
  }

  TBytes Saved(TGIFExtension& AExtension) {
    TGIFMemoryStream stream;
    AExtension.SaveToStream(stream);
    return stream.Data();
  }

  TGIFTestImage Image;
  TGIFExtensionList* List = nullptr;
};

TEST_F(ExtensionTest, LongCommentLineIsCutInto255ByteSubBlocksAndReadBackAsLines) {
  TGIFCommentExtension comment(&Frame());
  std::string line;
  for (int i = 0; i < 600; ++i)
    line += static_cast<char>('a' + i % 26);
  comment.Text() = {line, "", "end"};
  TBytes data = Saved(comment);

  ASSERT_EQ(data.size(), 2 + 1 + 255 + 1 + 255 + 1 + 90 + 1 + 3 + 1u);
  EXPECT_EQ(data[0], '!');
  EXPECT_EQ(data[1], 0xFE);
  EXPECT_EQ(data[2], 255);
  EXPECT_EQ(data[2 + 256], 255);
  EXPECT_EQ(data[2 + 512], 90);
  EXPECT_EQ(data[2 + 512 + 91], 3) << "the empty line wrote nothing; \"end\" starts a block";
  EXPECT_EQ(data.back(), 0);

  LoadList(data);
  auto* reread = At<TGIFCommentExtension>(0);
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(reread->Text(), (std::vector<std::string>{line.substr(0, 255), line.substr(255, 255),
                                                      line.substr(510), "end"}));
}

TEST_F(ExtensionTest, CommentWhoseSubBlockIsCutRaises) {
  EXPECT_EQ(ErrorOf(Bytes("!\xFE\x05"
                          "abc")),
            kMsgPrematureEnd);
}

TEST_F(ExtensionTest, PlainTextKeepsItsBlockAndText) {
  TGIFTextExtension text(&Frame());
  for (uint8_t i = 0; i < 12; ++i)
    text.TextBlock()[i] = static_cast<uint8_t>(i + 1);
  text.Text() = {"Hello"};
  TBytes data = Saved(text);
  EXPECT_EQ(data, Bytes(std::string("!\x01\x0C\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C"
                                    "\x05Hello\x00",
                                    22)));
  LoadList(data);
  auto* reread = At<TGIFTextExtension>(0);
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(reread->TextBlock(), text.TextBlock());
  EXPECT_EQ(reread->Text(), text.Text());
}

TEST_F(ExtensionTest, GraphicControlFieldsRoundTripAndMakeTheFrameTransparent) {
  TGIFGraphicControlExtension gce(&Frame());
  gce.SetDisposal(dmPrevious);
  gce.SetDelay(0x1234);
  gce.SetUserInput(true);
  gce.SetTransparent(true);
  gce.SetTransparentColorIndex(0);
  TBytes data = Saved(gce);
  EXPECT_EQ(data, (TBytes{'!', 0xF9, 4, (3 << 2) | 2 | 1, 0x34, 0x12, 0, 0}));

  LoadList(data);
  auto* reread = At<TGIFGraphicControlExtension>(0);
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(reread->Disposal(), dmPrevious);
  EXPECT_EQ(reread->Delay(), 0x1234);
  EXPECT_TRUE(reread->UserInput());
  EXPECT_TRUE(reread->Transparent());
  EXPECT_EQ(reread->Frame()->GraphicControlExtension(), reread);
  EXPECT_TRUE(reread->Frame()->Transparent());
}

TEST_F(ExtensionTest, CutGraphicControlWarnsAndKeepsTheBytesRead) {
  LoadList({'!', 0xF9, 4, 1, 10});
  auto* gce = At<TGIFGraphicControlExtension>(0);
  ASSERT_NE(gce, nullptr);
  EXPECT_EQ(Image.Warnings, std::vector<std::string>{kMsgPrematureEnd});
  EXPECT_TRUE(gce->Transparent());
  EXPECT_EQ(gce->Delay(), 10);
}

TEST_F(ExtensionTest, TransparentIndexOutsideTheActiveMapWarnsAndStoresZero) {
  Image.Header().ColorMap().Add(0);
  Image.Header().ColorMap().Add(0xFFFFFF);
  TGIFGraphicControlExtension gce(&Frame());
  gce.SetTransparentColorIndex(1);
  EXPECT_EQ(gce.TransparentColorIndex(), 1);
  EXPECT_TRUE(Image.Warnings.empty());
  gce.SetTransparentColorIndex(2);
  EXPECT_EQ(gce.TransparentColorIndex(), 0);
  EXPECT_EQ(Image.Warnings, std::vector<std::string>{kMsgInvalidColorIndex});
}

TEST_F(ExtensionTest, FreeingTheGraphicControlMakesItsFrameOpaque) {
  TGIFFrameBase& frame = Frame();
  auto gce = std::make_unique<TGIFGraphicControlExtension>(&frame);
  auto second = std::make_unique<TGIFGraphicControlExtension>(&frame);
  EXPECT_EQ(frame.GraphicControlExtension(), gce.get()) << "the first one is the frame's";
  gce->SetTransparent(true);
  EXPECT_TRUE(frame.Transparent());
  gce.reset();
  EXPECT_FALSE(frame.Transparent());
  EXPECT_EQ(frame.GraphicControlExtension(), nullptr);
}

TEST_F(ExtensionTest, LoopExtensionRoundTripsWithAndWithoutBufferSize) {
  TGIFAppExtNSLoop loop(&Frame());
  loop.SetLoops(3);
  TBytes data = Saved(loop);
  TBytes expected = {'!', 0xFF, 11};
  for (char c : std::string("NETSCAPE2.0"))
    expected.push_back(static_cast<uint8_t>(c));
  TBytes loopBlock = {3, 1, 3, 0, 0};
  expected.insert(expected.end(), loopBlock.begin(), loopBlock.end());
  EXPECT_EQ(data, expected);

  loop.SetBufferSize(0x01020304);
  LoadList(Saved(loop));
  auto* reread = At<TGIFAppExtNSLoop>(0);
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(reread->Loops(), 3);
  EXPECT_EQ(reread->BufferSize(), 0x01020304u);
}

TBytes AppExtension(const std::string& AIdentifier, const TBytes& ASubBlocks, int ABlockSize = 11) {
  TBytes data = {'!', 0xFF, static_cast<uint8_t>(ABlockSize)};
  for (int i = 0; i < ABlockSize; ++i)
    data.push_back(i < static_cast<int>(AIdentifier.size()) ? AIdentifier[i] : '#');
  data.insert(data.end(), ASubBlocks.begin(), ASubBlocks.end());
  return data;
}

TEST_F(ExtensionTest, AnimextsIsALoopToo) {
  LoadList(AppExtension("ANIMEXTS1.0", {3, 1, 7, 0, 0}));
  auto* loop = At<TGIFAppExtNSLoop>(0);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->Loops(), 7);
  EXPECT_EQ(Saved(*loop), AppExtension("ANIMEXTS1.0", {3, 1, 7, 0, 0}));
}

TEST_F(ExtensionTest, LoopSubBlocksOfOtherIdsAreSkippedAndShortOnesRaise) {
  LoadList(AppExtension("NETSCAPE2.0", {4, 3, 9, 9, 9, 3, 1, 2, 0, 0}));
  ASSERT_NE(At<TGIFAppExtNSLoop>(0), nullptr);
  EXPECT_EQ(At<TGIFAppExtNSLoop>(0)->Loops(), 2);

  EXPECT_EQ(ErrorOf(AppExtension("NETSCAPE2.0", {2, 1, 5, 0})), kMsgInvalidData);
  EXPECT_EQ(ErrorOf(AppExtension("NETSCAPE2.0", {4, 2, 5, 5, 5, 0})), kMsgInvalidData);
}

TEST_F(ExtensionTest, UnknownApplicationKeepsItsSubBlocksAndWritesThemBack) {
  TBytes data = AppExtension("XMP DataXMP", {3, 'a', 'b', 'c', 1, 'd', 0});
  int64_t end = LoadList(data);
  auto* unknown = At<TGIFUnknownAppExtension>(0);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->Blocks(), (std::vector<TBytes>{{'a', 'b', 'c'}, {'d'}}));
  EXPECT_EQ(Saved(*unknown), data);
  EXPECT_EQ(end, static_cast<int64_t>(data.size()));
}

TEST_F(ExtensionTest, TenByteIdentifierIsAnUnknownApplication) {
  LoadList(AppExtension("SHORTID123", {1, 'x', 0}, 10));
  auto* unknown = At<TGIFUnknownAppExtension>(0);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->Identifier()[9], '3');
  EXPECT_EQ(unknown->Identifier()[10], 0);
  EXPECT_EQ(unknown->Blocks(), (std::vector<TBytes>{{'x'}}));
}

TEST_F(ExtensionTest, ApplicationBlockSizesNoClassTakesRaise) {
  EXPECT_EQ(ErrorOf(AppExtension("NETSCAPE", {0}, 8)), kMsgUnsupportedAppBlockSize);
  EXPECT_EQ(ErrorOf(AppExtension("NETSCAPE2.0+", {3, 1, 0, 0, 0}, 12)),
            kMsgUnsupportedAppBlockSize);
}

TEST_F(ExtensionTest, ListStopsBeforeTheImageSeparator) {
  TBytes data = {'!', 0xFE, 2, 'h', 'i', 0, '!', 0xF9, 4, 0, 0, 0, 0, 0, ',', 1, 2};
  EXPECT_EQ(LoadList(data), 14);
  EXPECT_EQ(List->Count(), 2);
  EXPECT_NE(At<TGIFCommentExtension>(0), nullptr);
  EXPECT_NE(At<TGIFGraphicControlExtension>(1), nullptr);
}

TEST_F(ExtensionTest, UnknownLabelRaises) {
  EXPECT_EQ(ErrorOf({'!', 0x42, 1, 1, 0}), kMsgUnknownExtension);
  EXPECT_EQ(ErrorOf({'!'}), kMsgUnknownExtension);
}

TEST_F(ExtensionTest, StrayByteBetweenExtensionsWarnsAndEndsTheList) {
  EXPECT_EQ(LoadList({'!', 0xFE, 0, 'x', ','}), 3);
  EXPECT_EQ(List->Count(), 1);
  EXPECT_EQ(Image.Warnings, std::vector<std::string>{kMsgInvalidExtensionIntroducer});
}

TEST_F(ExtensionTest, AnExtensionChecksItsOwnIntroducerAndLabel) {
  TGIFGraphicControlExtension gce(&Frame());
  TGIFMemoryStream wrongIntroducer(TBytes{'?', 0xF9, 4, 0, 0, 0, 0, 0});
  TGIFMemoryStream wrongLabel(TBytes{'!', 0xFE, 4, 0, 0, 0, 0, 0});
  try {
    gce.LoadFromStream(wrongIntroducer);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), kMsgInvalidExtensionIntroducer);
  }
  try {
    gce.LoadFromStream(wrongLabel);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), kMsgExtensionLabelMismatch);
  }
}

} // namespace
