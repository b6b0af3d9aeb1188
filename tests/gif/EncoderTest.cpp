// The frame coders and the sub-block writer: exact output for the smallest
// frame, sub-block cuts, the LZW table's clear, the interlaced walk, colour
// checks, and run-length output decoding to the same pixels as LZW.
#include <gtest/gtest.h>

#include <random>

#include "CodeStream.h"
#include "Exception.h"
#include "GIFException.h"
#include "GIFImageData.h"
#include "GIFMessages.h"
#include "GIFWriter.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Encode(const TBytes& APixels, int AWidth, int AHeight, int ABits,
              TGIFCompression ACompression = TGIFCompression::ccLZW, bool AInterlaced = false,
              int AColorCount = -1) {
  TGIFMemoryStream stream;
  WriteImageData(stream, APixels.data(), AWidth, AHeight, AInterlaced, ABits,
                 AColorCount < 0 ? 1 << ABits : AColorCount, ACompression);
  return stream.Data();
}

TBytes DecodeData(const TBytes& AData, int AWidth, int AHeight, bool AInterlaced = false) {
  TGIFMemoryStream stream(AData);
  std::vector<std::string> warnings;
  TBytes pixels =
      ReadImageData(stream, static_cast<size_t>(AWidth), static_cast<size_t>(AHeight), AInterlaced,
                    0xEE, [&](const std::string& AMessage) { warnings.push_back(AMessage); });
  EXPECT_TRUE(warnings.empty()) << warnings.front();
  EXPECT_EQ(stream.Position(), stream.Size()) << "the terminator ends the data";
  return pixels;
}

TBytes Noise(size_t ACount, int ABits, unsigned ASeed) {
  std::mt19937 random(ASeed);
  TBytes pixels(ACount);
  for (uint8_t& pixel : pixels)
    pixel = static_cast<uint8_t>(random() & ((1u << ABits) - 1));
  return pixels;
}

// Runs of random colours with random lengths up to AMaxRun.
TBytes Runs(size_t ACount, int ABits, size_t AMaxRun, unsigned ASeed) {
  std::mt19937 random(ASeed);
  TBytes pixels;
  while (pixels.size() < ACount) {
    auto color = static_cast<uint8_t>(random() & ((1u << ABits) - 1));
    size_t run = std::min<size_t>(1 + random() % AMaxRun, ACount - pixels.size());
    pixels.insert(pixels.end(), run, color);
  }
  return pixels;
}

TEST(EncoderTest, OnePixelOfIndexZeroWithTwoColours) {
  EXPECT_EQ(Encode({0}, 1, 1, 1), (TBytes{0x02, 0x02, 0x44, 0x01, 0x00}));
  EXPECT_EQ(Encode({0}, 1, 1, 1, TGIFCompression::ccRLE), (TBytes{0x02, 0x02, 0x44, 0x01, 0x00}));
}

TEST(EncoderTest, FrameWithoutPixelsWritesOnlyTheEndCode) {
  TBytes data = Encode({}, 0, 0, 8);
  TCodeList codes = ReadCodes(data);
  EXPECT_EQ(codes.MinCodeSize, 8);
  EXPECT_EQ(codes.Codes, std::vector<int>{257});
  EXPECT_TRUE(codes.Terminated);
}

TEST(SubBlockWriterTest, CutsAt255BytesAndWritesTheRestOnFlush) {
  struct TCase {
    size_t Bytes;
    std::vector<size_t> Blocks;
  };
  for (const TCase& test :
       {TCase{0, {}}, TCase{1, {1}}, TCase{254, {254}}, TCase{255, {255}}, TCase{256, {255, 1}},
        TCase{510, {255, 255}}, TCase{600, {255, 255, 90}}}) {
    TGIFMemoryStream stream;
    TGIFWriter writer(stream);
    TBytes payload = Noise(test.Bytes, 8, 1);
    writer.Write(payload.data(), payload.size());
    writer.Flush();
    TBytes data = stream.Data();
    data.insert(data.begin(), 8);
    data.push_back(0);
    TCodeList list = ReadCodes(data);
    EXPECT_EQ(list.BlockSizes, test.Blocks) << test.Bytes << " bytes";
    EXPECT_EQ(data.size(), test.Bytes + test.Blocks.size() + 2);
  }
}

TEST(SubBlockWriterTest, OnlyWritesForwards) {
  TGIFMemoryStream stream;
  TGIFWriter writer(stream);
  uint8_t byte = 0;
  EXPECT_THROW(writer.Read(&byte, 1), Exception);
  EXPECT_THROW(writer.Seek(0, TSeekOrigin::soBeginning), Exception);
  try {
    writer.Seek(0, TSeekOrigin::soCurrent);
  } catch (const GIFException&) {
    FAIL() << "a plain stream error, not the codec's";
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), kMsgInvalidStreamOperation);
  }
}

// Pixels whose coded form takes exactly ABytes bytes of sub-block data. With
// a fixed code width some totals are never met, so the depth varies too.
struct TCodedPixels {
  TBytes Pixels;
  int Bits = 0;
};

TCodedPixels PixelsCodedInto(size_t ABytes, TGIFCompression ACompression) {
  for (int bits : {4, 3, 5, 2, 8}) {
    for (unsigned seed = 1; seed < 10; ++seed) {
      TBytes all = Noise(4000, bits, seed);
      for (size_t count = 1; count < all.size(); ++count) {
        TBytes pixels(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count));
        TCodeList list = ReadCodes(Encode(pixels, static_cast<int>(count), 1, bits, ACompression));
        size_t total = 0;
        for (size_t size : list.BlockSizes)
          total += size;
        if (total == ABytes) return {pixels, bits};
        if (total > ABytes) break;
      }
    }
  }
  return {};
}

TEST(EncoderTest, CodesOf255BytesFillOneSubBlockAnd256Two) {
  for (TGIFCompression compression : {TGIFCompression::ccLZW, TGIFCompression::ccRLE}) {
    for (auto [bytes, blocks] : {std::pair<size_t, std::vector<size_t>>{255, {255}},
                                 std::pair<size_t, std::vector<size_t>>{256, {255, 1}}}) {
      TCodedPixels coded = PixelsCodedInto(bytes, compression);
      ASSERT_FALSE(coded.Pixels.empty());
      int width = static_cast<int>(coded.Pixels.size());
      TBytes data = Encode(coded.Pixels, width, 1, coded.Bits, compression);
      EXPECT_EQ(ReadCodes(data).BlockSizes, blocks);
      EXPECT_EQ(data.size(), 1 + bytes + blocks.size() + 1) << "then only the terminator";
      EXPECT_EQ(DecodeData(data, width, 1), coded.Pixels);
    }
  }
}

TEST(EncoderTest, LZWClearsWhenTheNextCodeWouldBe4095AndNeverWidensBeyond12Bits) {
  for (int bits : {1, 2, 4, 8}) {
    TBytes pixels = Noise(300000, bits, 7);
    TBytes data = Encode(pixels, 600, 500, bits);
    TCodeList list = ReadCodes(data);
    ASSERT_GT(list.NextFreeAtClear.size(), 2u) << bits << " bits: the table fills";
    // The first clear opens the data; each later one comes with a full table.
    for (size_t i = 1; i < list.NextFreeAtClear.size(); ++i)
      EXPECT_EQ(list.NextFreeAtClear[i], 4095) << bits << " bits, clear " << i;
    EXPECT_EQ(*std::max_element(list.Widths.begin(), list.Widths.end()), 12);
    EXPECT_EQ(DecodeData(data, 600, 500), pixels);
  }
}

TEST(EncoderTest, InterlacedWalkWritesEveryRowOnceInPassOrder) {
  struct TCase {
    int Height;
    std::vector<uint8_t> Order;
  };
  for (const TCase& test :
       {TCase{1, {0}}, TCase{2, {0, 1}}, TCase{3, {0, 2, 1}}, TCase{4, {0, 2, 1, 3}},
        TCase{9, {0, 8, 4, 2, 6, 1, 3, 5, 7}}, TCase{12, {0, 8, 4, 2, 6, 10, 1, 3, 5, 7, 9, 11}}}) {
    // Row r holds the value r; reading the data without interlacing shows the walk.
    TBytes pixels;
    for (int row = 0; row < test.Height; ++row)
      pixels.insert(pixels.end(), 3, static_cast<uint8_t>(row));
    for (TGIFCompression compression : {TGIFCompression::ccLZW, TGIFCompression::ccRLE}) {
      TBytes data = Encode(pixels, 3, test.Height, 4, compression, true);
      TBytes walk = DecodeData(data, 3, test.Height, false);
      for (int i = 0; i < test.Height; ++i)
        EXPECT_EQ(walk[static_cast<size_t>(i) * 3], test.Order[static_cast<size_t>(i)])
            << "height " << test.Height << " position " << i;
      EXPECT_EQ(DecodeData(data, 3, test.Height, true), pixels);
    }
  }
}

TEST(EncoderTest, PixelNotBelowTheColourCountRaises) {
  struct TCase {
    TBytes Pixels;
    int ColorCount;
  };
  for (TGIFCompression compression : {TGIFCompression::ccLZW, TGIFCompression::ccRLE}) {
    for (const TCase& test :
         {TCase{{5}, 5}, TCase{{0, 1, 2, 3, 4, 4}, 4}, TCase{{1, 1, 7, 1}, 2}}) {
      try {
        Encode(test.Pixels, static_cast<int>(test.Pixels.size()), 1, 3, compression, false,
               test.ColorCount);
        FAIL() << "no exception";
      } catch (const GIFException& error) {
        EXPECT_STREQ(error.what(), kMsgColorNotInTable);
      }
    }
  }
}

struct TPictureCase {
  const char* Name;
  int Bits;
  int Width;
  int Height;
  size_t MaxRun; // 0: noise
  bool Interlaced;
};

void PrintTo(const TPictureCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class CoderAgreementTest : public ::testing::TestWithParam<TPictureCase> {};

TEST_P(CoderAgreementTest, RunLengthAndLZWDecodeToTheSamePixels) {
  const TPictureCase& test = GetParam();
  size_t count = static_cast<size_t>(test.Width) * static_cast<size_t>(test.Height);
  TBytes pixels =
      test.MaxRun == 0 ? Noise(count, test.Bits, 3) : Runs(count, test.Bits, test.MaxRun, 3);
  TBytes lzw =
      Encode(pixels, test.Width, test.Height, test.Bits, TGIFCompression::ccLZW, test.Interlaced);
  TBytes rle =
      Encode(pixels, test.Width, test.Height, test.Bits, TGIFCompression::ccRLE, test.Interlaced);
  EXPECT_EQ(DecodeData(lzw, test.Width, test.Height, test.Interlaced), pixels);
  EXPECT_EQ(DecodeData(rle, test.Width, test.Height, test.Interlaced), pixels);
  for (int width : ReadCodes(rle).Widths)
    ASSERT_LE(width, 12);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, CoderAgreementTest,
    ::testing::Values(TPictureCase{"OneBitNoise", 1, 97, 41, 0, false},
                      TPictureCase{"TwoBitRuns", 2, 200, 30, 12, false},
                      TPictureCase{"ThreeBitRuns", 3, 50, 50, 40, true},
                      TPictureCase{"FourBitNoise", 4, 64, 64, 0, true},
                      TPictureCase{"FiveBitShortRuns", 5, 120, 33, 3, false},
                      TPictureCase{"EightBitRuns", 8, 320, 200, 25, false},
                      TPictureCase{"EightBitLongRuns", 8, 1000, 300, 5000, true},
                      TPictureCase{"EightBitNoise", 8, 256, 256, 0, false},
                      // One colour: runs far longer than the run table reaches.
                      TPictureCase{"OneColourHuge", 8, 2000, 2000, 10000000, false},
                      TPictureCase{"OneColourTwoBits", 2, 3000, 700, 10000000, false}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

} // namespace
