// A frame's blocks in the file: descriptor, local table, extensions and
// image data, read and written as a whole.
#include <gtest/gtest.h>

#include "CodeStream.h"
#include "GIFException.h"
#include "GIFGraphicControl.h"
#include "GIFImageData.h"
#include "GIFMessages.h"
#include "GIFTestImage.h"
#include "GIFTextExtensions.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Concat(std::initializer_list<TBytes> AParts) {
  TBytes all;
  for (const TBytes& part : AParts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// "GIF89a", a screen of AWidth x AHeight, a 2-colour global table.
TBytes Header(uint16_t AWidth, uint16_t AHeight) {
  return {'G',
          'I',
          'F',
          '8',
          '9',
          'a',
          static_cast<uint8_t>(AWidth),
          static_cast<uint8_t>(AWidth >> 8),
          static_cast<uint8_t>(AHeight),
          static_cast<uint8_t>(AHeight >> 8),
          0x80,
          0,
          0,
          0,
          0,
          0,
          255,
          255,
          255};
}

TBytes Descriptor(uint16_t AWidth, uint16_t AHeight, uint8_t APacked = 0) {
  return {',',
          0,
          0,
          0,
          0,
          static_cast<uint8_t>(AWidth),
          static_cast<uint8_t>(AWidth >> 8),
          static_cast<uint8_t>(AHeight),
          static_cast<uint8_t>(AHeight >> 8),
          APacked};
}

// Four pixels 0, 1, 1, 0 at a minimum code size of 2, with and without the
// end code.
const TBytes kFourPixels = PackCodes(2, {4, 0, 1, 1, 0, 5});
const TBytes kFourPixelsNoEnd = PackCodes(2, {4, 0, 1, 1, 0});

TEST(FrameBlocksTest, FrameWithLocalTableAndExtensionsRoundTrips) {
  TGIFTestImage image;
  image.Header().ScreenDescriptor().ScreenWidth = 4;
  image.Header().ScreenDescriptor().ScreenHeight = 3;
  TBytes pixels = {0, 1, 2, 3, 4, 4, 4, 4, 2, 2, 1, 0};
  TGIFFrameBase& frame = image.AddFrame(4, 3, pixels);
  frame.ImageDescriptor().Left = 300;
  frame.ImageDescriptor().Top = 2;
  for (TColor color : {0x000000u, 0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFFFFFFu})
    frame.ColorMap().Add(color);
  auto gce = std::make_unique<TGIFGraphicControlExtension>(&frame);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(4);
  gce->SetDelay(50);
  frame.Extensions().Add(std::move(gce));
  auto comment = std::make_unique<TGIFCommentExtension>(&frame);
  comment->Text() = {"two", "lines"};
  frame.Extensions().Add(std::move(comment));

  TGIFTestImage reread;
  reread.Load(image.Save());
  ASSERT_EQ(reread.Frames.size(), 1u);
  TGIFFrameBase& copy = *reread.Frames[0];
  EXPECT_EQ(copy.Left(), 300);
  EXPECT_EQ(copy.Top(), 2);
  EXPECT_EQ(copy.PixelData(), pixels);
  EXPECT_EQ(copy.ColorMap().Count(), 8) << "five colours padded to eight";
  EXPECT_EQ(copy.ColorMap().GetColor(3), 0xFF0000u);
  ASSERT_EQ(copy.Extensions().Count(), 2);
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(copy.TransparentIndex(), 4);
  EXPECT_EQ(copy.GraphicControlExtension()->Delay(), 50);
  EXPECT_TRUE(reread.Warnings.empty());
}

TEST(FrameBlocksTest, RLECompressionWritesAFileThatReadsBackTheSame) {
  TGIFTestImage image;
  image.SetCompression(TGIFCompression::ccRLE);
  image.Header().ColorMap().Add(0);
  image.Header().ColorMap().Add(0xFFFFFF);
  TBytes pixels(5000);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = (i / 7) % 2;
  image.AddFrame(100, 50, pixels, true);
  TGIFTestImage reread;
  reread.Load(image.Save());
  ASSERT_EQ(reread.Frames.size(), 1u);
  EXPECT_TRUE(reread.Frames[0]->Interlaced());
  EXPECT_EQ(reread.Frames[0]->PixelData(), pixels);
}

TEST(FrameBlocksTest, ZeroWidthTakesTheLogicalScreenSizeAndWarns) {
  TGIFTestImage image;
  image.Load(Concat({Header(2, 2), Descriptor(0, 7), kFourPixels, {';'}}));
  ASSERT_EQ(image.Frames.size(), 1u);
  EXPECT_EQ(image.Frames[0]->Width(), 2);
  EXPECT_EQ(image.Frames[0]->Height(), 2);
  EXPECT_EQ(image.Frames[0]->PixelData(), (TBytes{0, 1, 1, 0}));
  EXPECT_EQ(image.Warnings, std::vector<std::string>{kMsgImageExceedsScreen});
}

TEST(FrameBlocksTest, HugeDeclaredSizeIsRefusedBeforeAnythingIsAllocated) {
  // A 30-byte file that declares 65535 x 65535 pixels.
  TBytes file = Concat({Header(1, 1), Descriptor(65535, 65535), {2, 0}});
  TGIFTestImage image;
  try {
    image.Load(file);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_NE(std::string(error.what()).find("65535 x 65535"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find(std::to_string(kGIFMaxFramePixels)), std::string::npos)
        << error.what();
  }
}

TEST(FrameBlocksTest, LargestAllowedFrameIsRead) {
  TGIFTestImage image;
  image.Load(Concat({Header(1, 1), Descriptor(8192, 8192), {8, 0, ';'}}));
  ASSERT_EQ(image.Frames.size(), 1u);
  EXPECT_EQ(image.Frames[0]->PixelData().size(), size_t{8192} * 8192);
}

TEST(FrameBlocksTest, CutImageDataKeepsTheFillValueAndWarns) {
  // Transparent index 1: pixels the data never reaches are 1.
  TBytes gce = {'!', 0xF9, 4, 1, 0, 0, 1, 0};
  TGIFTestImage image;
  image.Load(Concat({Header(3, 2), gce, Descriptor(3, 2), kFourPixelsNoEnd, {';'}}));
  ASSERT_EQ(image.Frames.size(), 1u);
  EXPECT_EQ(image.Frames[0]->PixelData(), (TBytes{0, 1, 1, 0, 1, 1}));
  EXPECT_EQ(image.Warnings, std::vector<std::string>{kMsgBitBufferUnderrun});
}

TEST(FrameBlocksTest, LocalTableFramesAreWrittenWithoutInterlacing) {
  TGIFTestImage image;
  TGIFFrameBase& frame = image.AddFrame(2, 3, {0, 1, 1, 0, 0, 0}, true);
  frame.ColorMap().Add(0);
  frame.ColorMap().Add(1);
  std::vector<uint8_t> data = image.Save();
  EXPECT_EQ(data[13 + 9], 0x80) << "local table of 2 entries, not interlaced";

  TGIFTestImage reread;
  reread.Load(data);
  EXPECT_FALSE(reread.Frames[0]->Interlaced());
  EXPECT_EQ(reread.Frames[0]->PixelData(), frame.PixelData());
}

TEST(FrameBlocksTest, ADamagedSeparatorIsWrittenBackAsTheSeparator) {
  // A stray byte after an extension ends the list and is read as the separator.
  TBytes damaged = Descriptor(2, 2);
  damaged[0] = 'X';
  TGIFTestImage image;
  image.Load(Concat({Header(2, 2), {'!', 0xFE, 0}, damaged, kFourPixels, {';'}}));
  ASSERT_EQ(image.Frames.size(), 1u);
  EXPECT_EQ(image.Frames[0]->ImageDescriptor().Separator, 'X');
  EXPECT_EQ(image.Warnings, std::vector<std::string>{kMsgInvalidExtensionIntroducer});

  TGIFTestImage reread;
  reread.Load(image.Save());
  EXPECT_TRUE(reread.Warnings.empty());
  EXPECT_EQ(reread.Frames[0]->PixelData(), (TBytes{0, 1, 1, 0}));
}

TEST(FrameBlocksTest, EmptyFrameWritesOnlyItsExtensions) {
  TGIFTestImage image;
  TGIFFrameBase& frame = image.AddFrame(0, 0, {});
  frame.Extensions().Add(std::make_unique<TGIFCommentExtension>(&frame));
  TGIFMemoryStream stream;
  frame.SaveToStream(stream);
  EXPECT_EQ(stream.Data(), (TBytes{'!', 0xFE, 0}));
  EXPECT_TRUE(frame.Empty());
}

TEST(FrameBlocksTest, ExtensionsBeforeTheTrailerMakeAFrameWithoutImage) {
  TGIFTestImage image;
  image.Load(Concat({Header(1, 1), {'!', 0xFE, 1, 'c', 0, ';'}}));
  ASSERT_EQ(image.Frames.size(), 1u);
  EXPECT_TRUE(image.Frames[0]->Empty());
  EXPECT_EQ(image.Frames[0]->Extensions().Count(), 1);
}

} // namespace
