// Reading a picture frame by frame: the count and the loop from the layout
// by the block loop's rules, each frame composed as the painter composes
// it, going back to the start, frames up to one the reader cannot read, and
// a screen beyond the frame bound refused.
#include <gtest/gtest.h>

#include "CodeStream.h"
#include "ExternalProgram.h"
#include "FrameBuilder.h"
#include "GIFException.h"
#include "GIFFrameReader.h"
#include "PictureTestSupport.h"

namespace {

using TBytes = std::vector<uint8_t>;

struct TComposed {
  std::vector<std::vector<uint8_t>> Frames; // RGBA
  std::vector<int> Delays;
  std::string Error;
};

TComposed ComposeAll(TGIFFrameReader& AReader) {
  TComposed composed;
  TBitmap canvas(AReader.Width(), AReader.Height(), 32);
  try {
    while (AReader.ComposeNext(canvas)) {
      composed.Frames.push_back(CanvasRGBA(canvas));
      composed.Delays.push_back(AReader.Delay());
    }
  } catch (const std::exception& AError) {
    composed.Error = AError.what();
  }
  return composed;
}

TBytes Splice(TBytes AFile, size_t AAt, size_t AErase, const TBytes& AInsert) {
  AFile.erase(AFile.begin() + static_cast<std::ptrdiff_t>(AAt),
              AFile.begin() + static_cast<std::ptrdiff_t>(AAt + AErase));
  AFile.insert(AFile.begin() + static_cast<std::ptrdiff_t>(AAt), AInsert.begin(), AInsert.end());
  return AFile;
}

TEST(FrameReaderTest, ComposesEachFrameAsThePainterDoesAndStartsOver) {
  auto image = EveryDisposal();
  const TBytes file = SavePicture(*image);
  TGIFFrameReader reader(file.data(), file.size());
  EXPECT_EQ(reader.Width(), 8);
  EXPECT_EQ(reader.Height(), 6);
  EXPECT_EQ(reader.FrameCount(), 7);
  EXPECT_EQ(reader.LoopCount(), -1);
  const std::vector<TBitmap> painted = ComposeFrames(*image);
  const TComposed first = ComposeAll(reader);
  EXPECT_EQ(first.Error, "");
  ASSERT_EQ(first.Frames.size(), painted.size());
  for (size_t i = 0; i < painted.size(); ++i) {
    EXPECT_EQ(CompareRGBA(CanvasRGBA(painted[i]), first.Frames[i], 8), "") << "frame " << i;
    EXPECT_EQ(first.Delays[i], 10 + static_cast<int>(i));
  }
  reader.Rewind();
  EXPECT_EQ(reader.Composed(), 0);
  const TComposed again = ComposeAll(reader);
  EXPECT_EQ(again.Frames, first.Frames);
}

struct TLayoutCase {
  const char* Name;
  // Changes the saved three-frame animation (its blocks: control, loop,
  // image, control, image, control, image, trailer).
  std::function<TBytes(const TBytes&, const std::vector<size_t>&)> Change;
  int Frames;
  int Loops;
  std::string Error; // what composing the last counted frame raises
};

class FrameReaderLayoutTest : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(FrameReaderLayoutTest, CountsTheFramesThatHoldAnImage) {
  auto image = std::make_unique<TGIFImage>();
  SetGlobalColors(*image, {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0), RGB(0, 0, 0)});
  for (uint8_t colour : {0, 1, 2}) {
    TGIFSubImage& frame = AddFrame(*image, colour, 0, 2, 2, std::vector<uint8_t>(4, colour));
    SetTiming(frame, 5, dmNoDisposal);
    if (colour == 0) AddLoop(frame, 4);
  }
  const TBytes saved = SavePicture(*image);
  const std::vector<size_t> blocks = BlockOffsets(saved);
  ASSERT_EQ(blocks.size(), 8u);
  const TBytes file = GetParam().Change(saved, blocks);
  TGIFFrameReader reader(file.data(), file.size());
  EXPECT_EQ(reader.FrameCount(), GetParam().Frames);
  EXPECT_EQ(reader.LoopCount(), GetParam().Loops);
  const TComposed composed = ComposeAll(reader);
  EXPECT_EQ(composed.Error, GetParam().Error);
  const size_t shown = static_cast<size_t>(GetParam().Frames) - (GetParam().Error.empty() ? 0 : 1);
  EXPECT_EQ(composed.Frames.size(), shown);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FrameReaderLayoutTest,
    ::testing::Values(
        TLayoutCase{"AsSaved", [](const TBytes& AFile, auto&) { return AFile; }, 3, 4, ""},
        TLayoutCase{"ZerosBetweenBlocks",
                    [](const TBytes& AFile, const std::vector<size_t>& ABlocks) {
                      return Splice(Splice(AFile, ABlocks[5], 0, {0, 0}), ABlocks[3], 0, {0});
                    },
                    3, 4, ""},
        // A stray byte where the third frame's blocks should start ends the frames.
        TLayoutCase{"StrayByte",
                    [](const TBytes& AFile, const std::vector<size_t>& ABlocks) {
                      return Splice(AFile, ABlocks[5], 0, {'x'});
                    },
                    2, 4, ""},
        // Extensions before the trailer make a frame without an image.
        TLayoutCase{"CommentBeforeTheTrailer",
                    [](const TBytes& AFile, const std::vector<size_t>& ABlocks) {
                      return Splice(AFile, ABlocks[7], 0, {'!', 0xFE, 2, 'h', 'i', 0});
                    },
                    3, 4, ""},
        // The layout cannot read an extension of an unknown label: the frames end there.
        TLayoutCase{"UnknownExtension",
                    [](const TBytes& AFile, const std::vector<size_t>& ABlocks) {
                      return Splice(AFile, ABlocks[5], 0, {'!', 0x42, 0});
                    },
                    2, 4, ""},
        // Damaged image data is only seen when the frame is decoded.
        TLayoutCase{"DamagedImageData",
                    [](const TBytes& AFile, const std::vector<size_t>& ABlocks) {
                      return Splice(AFile, ABlocks[6] + 10, ABlocks[7] - ABlocks[6] - 10,
                                    PackCodes(2, {4, 7, 5}));
                    },
                    3, 4, "Circular decoder table entry"},
        TLayoutCase{"NoLoopExtension",
                    [](const TBytes& AFile, const std::vector<size_t>& ABlocks) {
                      return Splice(AFile, ABlocks[1], ABlocks[2] - ABlocks[1], {});
                    },
                    3, -1, ""}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(FrameReaderTest, AScreenBeyondTheFrameBoundIsRefused) {
  const TBytes file = ReadFileBytes(VEXMORA_GIF_HOSTILE_FILES "/screen-65535.gif");
  try {
    TGIFFrameReader reader(file.data(), file.size());
    FAIL() << "read a screen of " << reader.Width() << " x " << reader.Height();
  } catch (const GIFException& AError) {
    EXPECT_STREQ(AError.what(),
                 "Image of 65535 x 65535 pixels exceeds the limit of 67108864 pixels per frame");
  }
}

} // namespace
