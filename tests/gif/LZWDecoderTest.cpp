// The LZW decoder over hand-made code streams: row orders, the table's
// special codes, damaged and cut data.
#include <gtest/gtest.h>

#include "CodeStream.h"
#include "GIFException.h"
#include "GIFImageData.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

namespace {

using TBytes = std::vector<uint8_t>;

// Decodes image data into a frame filled with AFill; collects the warnings.
struct TDecoded {
  TBytes Pixels;
  std::vector<std::string> Warnings;
  int64_t StreamEnd = 0;
  std::string Error;
};

TDecoded Decode(const TBytes& AData, size_t AWidth, size_t AHeight, bool AInterlaced = false,
                uint8_t AFill = 0xEE) {
  TDecoded result;
  TGIFMemoryStream stream(AData);
  try {
    result.Pixels =
        ReadImageData(stream, AWidth, AHeight, AInterlaced, AFill,
                      [&](const std::string& AMessage) { result.Warnings.push_back(AMessage); });
  } catch (const GIFException& error) {
    result.Error = error.what();
  }
  result.StreamEnd = stream.Position();
  return result;
}

// Codes of a minimum code size of 2: clear 4, end 5, first free 6.
constexpr int kClear = 4;
constexpr int kEnd = 5;

TEST(LZWDecoderTest, InterlacedThreeRowsFillRowsZeroTwoOne) {
  TDecoded decoded = Decode(PackCodes(2, {kClear, 0, 1, 2, kEnd}), 1, 3, true);
  EXPECT_EQ(decoded.Pixels, (TBytes{0, 2, 1}));
  EXPECT_TRUE(decoded.Warnings.empty());
}

TEST(LZWDecoderTest, InterlacedRowsComeInFourPasses) {
  struct TCase {
    size_t Height;
    std::vector<uint8_t> Order;
  };
  for (const TCase& test :
       {TCase{2, {0, 1}}, TCase{4, {0, 2, 1, 3}}, TCase{5, {0, 4, 2, 1, 3}},
        TCase{10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}},
        TCase{17, {0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}}}) {
    // Row i of the stream holds the value i; min code size 5 holds 17 literals.
    std::vector<int> codes = {32};
    for (size_t i = 0; i < test.Height; ++i)
      codes.insert(codes.end(), 2, static_cast<int>(i));
    codes.push_back(33);
    TDecoded decoded = Decode(PackCodes(5, codes), 2, test.Height, true);
    ASSERT_EQ(decoded.Error, "");
    for (size_t i = 0; i < test.Height; ++i) {
      uint8_t row = test.Order[i];
      EXPECT_EQ(decoded.Pixels[row * 2], i) << "height " << test.Height << " row " << int(row);
      EXPECT_EQ(decoded.Pixels[row * 2 + 1], i);
    }
  }
}

TEST(LZWDecoderTest, CodeEqualToNextFreeRepeatsTheOldStringAndItsFirstPixel) {
  // 1, then 6 = next free: "1" + "1"; then 7 = next free: "1 1" + "1".
  TDecoded decoded = Decode(PackCodes(2, {kClear, 1, 6, 7, kEnd}), 6, 1);
  EXPECT_EQ(decoded.Pixels, (TBytes{1, 1, 1, 1, 1, 1}));
}

TEST(LZWDecoderTest, TableStringsDecodeToTheirPixels) {
  // 0, 1 makes 6 = "0 1"; 6 gives "0 1" and makes 7 = "1 0"; 7 gives "1 0".
  TDecoded decoded = Decode(PackCodes(2, {kClear, 0, 1, 6, 7, kEnd}), 6, 1);
  EXPECT_EQ(decoded.Pixels, (TBytes{0, 1, 0, 1, 1, 0}));
}

TEST(LZWDecoderTest, SeveralClearCodesInARowDecodeAsOne) {
  TDecoded once = Decode(PackCodes(2, {kClear, 2, 3, 6, kEnd}), 4, 1);
  TDecoded many = Decode(PackCodes(2, {kClear, kClear, kClear, 2, 3, 6, kEnd}), 4, 1);
  EXPECT_EQ(once.Pixels, (TBytes{2, 3, 2, 3}));
  EXPECT_EQ(many.Pixels, once.Pixels);
}

TEST(LZWDecoderTest, ClearInTheMiddleStartsANewTable) {
  TDecoded decoded = Decode(PackCodes(2, {kClear, 3, 2, kClear, 1, 6, kEnd}), 5, 1);
  EXPECT_EQ(decoded.Pixels, (TBytes{3, 2, 1, 1, 1}));
}

struct TDamagedCase {
  const char* Name;
  std::vector<int> Codes;
};

void PrintTo(const TDamagedCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class DamagedCodeTest : public ::testing::TestWithParam<TDamagedCase> {};

TEST_P(DamagedCodeTest, RaisesCircularTableEntry) {
  TDecoded decoded = Decode(PackCodes(2, GetParam().Codes), 64, 64);
  EXPECT_EQ(decoded.Error, kMsgCircularTableEntry);
}

INSTANTIATE_TEST_SUITE_P(Codes, DamagedCodeTest,
                         ::testing::Values(
                             // 7 lies beyond the next free code 6.
                             TDamagedCase{"AboveNextFree", {kClear, 0, 7, kEnd}},
                             // Read naively, this builds entry 7 with itself as prefix.
                             TDamagedCase{"SelfReference", {kClear, 0, 7, 7, 7, 7, kEnd}},
                             TDamagedCase{"TableCodeFirstAfterClear", {kClear, 6, 6, 6, kEnd}},
                             TDamagedCase{"UnmadeCodeFirstAfterClear", {kClear, 7, 1, kEnd}},
                             TDamagedCase{"UnmadeCodeAfterALaterClear",
                                          {kClear, 0, 1, kClear, 6, kEnd}},
                             TDamagedCase{"FirstCodeWithoutClear", {6, 6, kEnd}}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(LZWDecoderTest, MinimumCodeSizeOf12OrMoreRaises) {
  EXPECT_EQ(Decode({12, 1, 0, 0}, 1, 1).Error, kMsgClearCodeTooLarge);
  EXPECT_EQ(Decode({255, 1, 0, 0}, 1, 1).Error, kMsgClearCodeTooLarge);
  EXPECT_EQ(Decode(PackCodes(11, {2048, 7, 2049}), 1, 1).Pixels, TBytes{7});
}

TEST(LZWDecoderTest, DataWithoutEndCodeWarnsAndKeepsTheFill) {
  // Ends on a byte border, so no padding bits are left to read as codes.
  TDecoded decoded = Decode(PackCodes(2, {kClear, 0, 1, 1, 0}), 6, 1);
  EXPECT_EQ(decoded.Pixels, (TBytes{0, 1, 1, 0, 0xEE, 0xEE}));
  EXPECT_EQ(decoded.Warnings, std::vector<std::string>{kMsgBitBufferUnderrun});
}

TEST(LZWDecoderTest, EndCodeBeforeThePixelsAreCompleteEndsQuietly) {
  TDecoded decoded = Decode(PackCodes(2, {kClear, 1, 2, kEnd}), 4, 1);
  EXPECT_EQ(decoded.Pixels, (TBytes{1, 2, 0xEE, 0xEE}));
  EXPECT_TRUE(decoded.Warnings.empty());
}

TEST(LZWDecoderTest, MissingTerminatorWarnsPrematureEnd) {
  TBytes data = PackCodes(2, {kClear, 0, 1, 1, 0});
  data.pop_back();
  TDecoded decoded = Decode(data, 6, 1);
  EXPECT_EQ(decoded.Pixels, (TBytes{0, 1, 1, 0, 0xEE, 0xEE}));
  EXPECT_EQ(decoded.Warnings, std::vector<std::string>{kMsgPrematureEnd});
}

TEST(LZWDecoderTest, MissingCodeSizeLeavesTheFill) {
  TDecoded decoded = Decode({}, 2, 1);
  EXPECT_EQ(decoded.Pixels, (TBytes{0xEE, 0xEE}));
  EXPECT_EQ(decoded.Error, "");
}

TEST(LZWDecoderTest, CutLastSubBlockDecodesOnlyTheBytesThatCame) {
  // 24 pixels in 3-byte sub-blocks; the file ends one byte into the last
  // block, whose size byte still promises more.
  std::vector<int> codes = {kClear};
  for (int i = 0; i < 24; ++i)
    codes.push_back(i % 4);
  TBytes whole = PackCodes(2, codes, 3);
  size_t last = 1;
  while (last + 1 + whole[last] < whole.size() - 1)
    last += 1 + whole[last];
  ASSERT_GE(whole[last], 2);
  TBytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(last + 2));
  // The same bytes with an honest size byte and a terminator.
  TBytes honest = cut;
  honest[last] = 1;
  honest.push_back(0);

  TDecoded fromCut = Decode(cut, 24, 1);
  TDecoded fromHonest = Decode(honest, 24, 1);
  EXPECT_EQ(fromCut.Pixels, fromHonest.Pixels) << "nothing stale becomes a pixel";
  EXPECT_EQ(fromCut.Warnings, std::vector<std::string>{kMsgPrematureEnd});
  EXPECT_EQ(fromCut.Pixels.back(), 0xEE);
}

TEST(LZWDecoderTest, SubBlocksAfterTheEndCodeAreSkipped) {
  TBytes data = PackCodes(2, {kClear, 3, kEnd});
  data.pop_back();
  data.insert(data.end(), {4, 9, 9, 9, 9, 1, 9, 0, ';'});
  TDecoded decoded = Decode(data, 1, 1);
  EXPECT_EQ(decoded.Pixels, TBytes{3});
  EXPECT_EQ(decoded.StreamEnd, static_cast<int64_t>(data.size()) - 1) << "stops on the ';'";
}

TEST(LZWDecoderTest, CodesBeyondTheLastPixelAreSkippedToTheTerminator) {
  TBytes data = PackCodes(2, {kClear, 3, 3, 3, 3, 3, 3, kEnd});
  data.push_back(';');
  TDecoded decoded = Decode(data, 2, 1);
  EXPECT_EQ(decoded.Pixels, (TBytes{3, 3}));
  EXPECT_EQ(decoded.StreamEnd, static_cast<int64_t>(data.size()) - 1);
}

TEST(LZWDecoderTest, EmptyFrameStillPassesOverItsData) {
  TBytes data = PackCodes(2, {kClear, 3, kEnd});
  data.push_back(';');
  TDecoded decoded = Decode(data, 0, 5);
  EXPECT_TRUE(decoded.Pixels.empty());
  EXPECT_EQ(decoded.StreamEnd, static_cast<int64_t>(data.size()) - 1);
}

TEST(LZWDecoderTest, SizesBeyondTheBoundAreRefused) {
  TDecoded decoded = Decode(PackCodes(2, {kClear, 3, kEnd}), 65535, 65535);
  EXPECT_NE(decoded.Error.find("65535 x 65535"), std::string::npos) << decoded.Error;
  EXPECT_EQ(decoded.StreamEnd, 0) << "refused before reading";
  EXPECT_NO_THROW(CheckFrameSize(8192, 8192));
  EXPECT_THROW(CheckFrameSize(8192, 8193), GIFException);
}

} // namespace
