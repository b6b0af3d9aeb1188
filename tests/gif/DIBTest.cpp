// Row access to bitmaps: row sizes, the reader's depth conversion at every
// depth, and the writer's rows, colour table and errors.
#include <gtest/gtest.h>

#include <random>

#include "BitmapDepth.h"
#include "DIB.h"
#include "Exception.h"
#include "GIFException.h"
#include "TestPictures.h"

namespace {

TEST(ScanlineBytes, PadsRowsToTheAlignment) {
  struct TCase {
    int Pixels, Bits, Alignment, Bytes;
  } const cases[] = {
      {3, 8, 32, 4},   {3, 24, 32, 12}, {0, 24, 32, 0}, {4, 24, 32, 12}, {5, 24, 32, 16},
      {1, 1, 32, 4},   {32, 1, 32, 4},  {33, 1, 32, 8}, {9, 4, 32, 8},   {3, 16, 32, 8},
      {3, 32, 32, 12}, {3, 8, 8, 3},    {3, 8, 16, 4},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ScanlineBytes(c.Pixels, c.Bits, c.Alignment), c.Bytes)
        << c.Pixels << " x " << c.Bits << " / " << c.Alignment;
}

TEST(TBitmapRows, FifteenBitRowsHoldSixteenBitWords) {
  TBitmap bitmap(64, 1, 15);
  EXPECT_EQ(bitmap.Stride(), 128);
  EXPECT_EQ(bitmap.Stride(), ScanlineBytes(64, 16, 32));
}

// A bitmap of each depth written byte by byte, and the colours its pixels
// stand for.
struct TDepthCase {
  int Bits;
  std::vector<uint32_t> Palette;
  std::vector<uint8_t> Row; // one row of four pixels, unpadded
  std::vector<TRGB> Colors;
};

std::vector<TDepthCase> DepthCases() {
  const std::vector<uint32_t> four{0x000000, 0xFF0000, 0x00FF80, 0x123456};
  std::vector<uint32_t> sixteen(16, 0);
  sixteen[5] = 0xA0B0C0;
  sixteen[10] = 0x0A0B0C;
  sixteen[15] = 0xFFFFFF;
  return {
      {1,
       {0x102030, 0xF0E0D0},
       {0b0110'0000},
       {{16, 32, 48}, {240, 224, 208}, {240, 224, 208}, {16, 32, 48}}},
      {4, sixteen, {0x5A, 0xF0}, {{160, 176, 192}, {10, 11, 12}, {255, 255, 255}, {0, 0, 0}}},
      {8, four, {3, 2, 1, 0}, {{0x12, 0x34, 0x56}, {0, 255, 128}, {255, 0, 0}, {0, 0, 0}}},
      // 15 bit: 0x7C00 red, 0x03E0 green, 0x001F blue, 0x0421 one step of each
      {15,
       {},
       {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x21, 0x04},
       {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {8, 8, 8}}},
      // 16 bit: 0xF800 red, 0x07E0 green, 0x001F blue, 0x0821 one step of each
      {16,
       {},
       {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x21, 0x08},
       {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {8, 4, 8}}},
      {24,
       {},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 252},
       {{3, 2, 1}, {6, 5, 4}, {9, 8, 7}, {252, 251, 250}}},
      {32,
       {},
       {1, 2, 3, 0xFF, 4, 5, 6, 0xFF, 7, 8, 9, 0xFF, 250, 251, 252, 0xFF},
       {{3, 2, 1}, {6, 5, 4}, {9, 8, 7}, {252, 251, 250}}},
  };
}

std::unique_ptr<TBitmap> MakeDepthBitmap(const TDepthCase& ACase) {
  auto bitmap = std::make_unique<TBitmap>(4, 2, ACase.Bits);
  bitmap->Palette() = ACase.Palette;
  for (int y = 0; y < 2; ++y)
    std::copy(ACase.Row.begin(), ACase.Row.end(), bitmap->ScanLine(y));
  return bitmap;
}

TEST(DIBReader, ReadsEveryDepthAsTrueColorAndGoesBackToTheSameBits) {
  for (const TDepthCase& c : DepthCases()) {
    SCOPED_TRACE(c.Bits);
    auto bitmap = MakeDepthBitmap(c);
    const std::vector<uint8_t> original = bitmap->Bits();
    {
      TDIBReader reader(*bitmap, pf24bit);
      EXPECT_EQ(GetPixelFormat(*bitmap), pf24bit);
      EXPECT_EQ(bitmap->Width(), 4);
      EXPECT_EQ(bitmap->Height(), 2);
      for (int y = 0; y < 2; ++y) {
        const uint8_t* row = reader.ScanLine(y);
        EXPECT_EQ(row, bitmap->ScanLine(y));
        for (int x = 0; x < 4; ++x)
          EXPECT_EQ(Pixel24(*bitmap, x, y), c.Colors[static_cast<size_t>(x)]) << "x " << x;
      }
    }
    SetPixelFormat(*bitmap, static_cast<TPixelFormat>(c.Bits));
    EXPECT_EQ(bitmap->Bits(), original);
    EXPECT_EQ(bitmap->Palette(), c.Palette);
  }
}

TEST(DIBReader, ConvertsBetweenAnyTwoDepths) {
  // Every depth's pixels read the same after a detour through every other
  // depth that can hold them.
  for (const TDepthCase& from : DepthCases()) {
    for (int bits : {8, 24, 32}) {
      SCOPED_TRACE(::testing::Message() << from.Bits << " -> " << bits);
      auto bitmap = MakeDepthBitmap(from);
      SetPixelFormat(*bitmap, static_cast<TPixelFormat>(bits));
      TDIBReader reader(*bitmap, pf24bit);
      for (int x = 0; x < 4; ++x) {
        const TRGB expected = from.Colors[static_cast<size_t>(x)];
        const TRGB actual = Pixel24(*bitmap, x, 1);
        if (bits == 8 && from.Bits > 8) {
          // Without a palette of its own the picture goes through the
          // halftone palette: the nearest of its colours.
          EXPECT_LE(std::abs(actual.Red - expected.Red), 26);
          EXPECT_LE(std::abs(actual.Green - expected.Green), 26);
          EXPECT_LE(std::abs(actual.Blue - expected.Blue), 26);
        } else {
          EXPECT_EQ(actual, expected) << "x " << x;
        }
      }
    }
  }
}

TEST(DIBReader, RandomPicturesRoundTripAtEveryDepth) {
  std::mt19937 random(11);
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TBitmap bitmap(37, 5, bits);
    if (bits <= 8) {
      // Distinct colours, so that the nearest entry of each is itself.
      for (uint32_t i = 0; i < (1u << bits); ++i)
        bitmap.Palette().push_back(i * 0x010305 + 7);
    }
    const int usedBits = bits == 15 ? 15 : bits;
    for (int y = 0; y < 5; ++y) {
      uint8_t* row = bitmap.ScanLine(y);
      const int bytes = (37 * (bits == 15 ? 16 : bits) + 7) / 8;
      for (int i = 0; i < bytes; ++i)
        row[i] = static_cast<uint8_t>(random());
      if (bits == 15)
        for (int x = 0; x < 37; ++x)
          row[2 * x + 1] &= 0x7F;
      if (bits == 32)
        for (int x = 0; x < 37; ++x)
          row[4 * x + 3] = 0xFF;
      // Bits past the last pixel of a packed row stay clear.
      const int tailBits = 37 * usedBits % 8;
      if (bits < 8 && tailBits) row[bytes - 1] &= static_cast<uint8_t>(0xFF << (8 - tailBits));
    }
    const std::vector<uint8_t> original = bitmap.Bits();
    SetPixelFormat(bitmap, pf24bit);
    SetPixelFormat(bitmap, pf32bit);
    SetPixelFormat(bitmap, static_cast<TPixelFormat>(bits));
    EXPECT_EQ(bitmap.Bits(), original);
  }
}

TEST(DIBReader, SmallerPaletteDepthsKeepIndicesWhenThePaletteFits) {
  // A monochrome mask read at 8 bits keeps its 0 and 1.
  TBitmap mask(10, 1, 1);
  mask.Palette() = {0x000000, 0xFFFFFF};
  mask.ScanLine(0)[0] = 0b1000'0001;
  mask.ScanLine(0)[1] = 0b0100'0000;
  SetPixelFormat(mask, pf8bit);
  const std::vector<int> expected{1, 0, 0, 0, 0, 0, 0, 1, 0, 1};
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(Index8(mask, x, 0), expected[static_cast<size_t>(x)]);
  EXPECT_EQ(mask.Palette(), (std::vector<uint32_t>{0x000000, 0xFFFFFF}));
}

TEST(DIBReader, TrueColorToPaletteDepthsWithoutPaletteUsesTheDepthsDefaultTable) {
  auto picture = MakePicture(3, 1, [](int x, int) {
    const TRGB colors[] = {{250, 10, 5}, {20, 20, 20}, {230, 230, 240}};
    return colors[x];
  });
  struct TCase {
    TPixelFormat Format;
    size_t PaletteSize;
    std::vector<TRGB> Shown;
  } const cases[] = {
      {pf1bit, 2, {{0, 0, 0}, {0, 0, 0}, {255, 255, 255}}},
      {pf4bit, 16, {{255, 0, 0}, {0, 0, 0}, {255, 255, 255}}},
      {pf8bit, 256, {{255, 0, 0}, {24, 24, 24}, {231, 231, 231}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Format);
    TBitmap bitmap;
    bitmap.Assign(*picture);
    SetPixelFormat(bitmap, c.Format);
    EXPECT_EQ(bitmap.Palette().size(), c.PaletteSize);
    SetPixelFormat(bitmap, pf24bit);
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(Pixel24(bitmap, x, 0), c.Shown[static_cast<size_t>(x)]);
  }
}

TEST(DIBReader, EmptyBitmapOnlyTakesTheDepth) {
  TBitmap bitmap;
  SetPixelFormat(bitmap, pf1bit);
  EXPECT_EQ(GetPixelFormat(bitmap), pf1bit);
  EXPECT_EQ(bitmap.Width(), 0);
  TDIBReader reader(bitmap, pf24bit);
  EXPECT_EQ(GetPixelFormat(bitmap), pf24bit);
}

TEST(DIBReader, RowsOutsideThePictureAndUnknownDepthsAreRefused) {
  auto picture = MakePicture(2, 3, [](int, int) { return TRGB{1, 2, 3}; });
  TDIBReader reader(*picture, pf24bit);
  for (int row : {-1, 3}) {
    try {
      reader.ScanLine(row);
      ADD_FAILURE() << row;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Scan line index out of range");
    }
  }
  for (int bits : {0, 2, 12, 48}) {
    try {
      TDIBReader other(*picture, static_cast<TPixelFormat>(bits));
      ADD_FAILURE() << bits;
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), "Unsupported PixelFormat");
    }
  }
  EXPECT_EQ(GetPixelFormat(*picture), pf24bit);
}

TEST(DIBWriter, RowZeroIsTheTopRowAndThePaletteFillsTheColourTable) {
  TBitmap target(1, 1, 32);
  const TPalette palette{{255, 0, 0, 4}, {0, 128, 255, 0}, {1, 2, 3, 0}};
  {
    TDIBWriter writer(target, palette, 5, 3, pf8bit);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        writer.ScanLine(y)[x] = static_cast<uint8_t>((x + y) % 3);
    EXPECT_EQ(target.Width(), 1) << "the target changes only when the writer is done";
  }
  EXPECT_EQ(target.Width(), 5);
  EXPECT_EQ(target.Height(), 3);
  EXPECT_EQ(GetPixelFormat(target), pf8bit);
  ASSERT_EQ(target.Palette().size(), 256u);
  EXPECT_EQ(target.Palette()[0], 0xFF0000u);
  EXPECT_EQ(target.Palette()[1], 0x0080FFu);
  EXPECT_EQ(target.Palette()[2], 0x010203u);
  for (size_t i = 3; i < 256; ++i)
    EXPECT_EQ(target.Palette()[i], 0u) << i;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(Index8(target, x, y), (x + y) % 3);
}

TEST(DIBWriter, WithoutPaletteTheColourTableIsBlack) {
  TBitmap target;
  {
    TDIBWriter writer(target, {}, 2, 2, pf8bit);
    writer.ScanLine(0)[0] = 7;
  }
  EXPECT_EQ(target.Palette(), std::vector<uint32_t>(256, 0));
  EXPECT_EQ(Index8(target, 0, 0), 7);
}

TEST(DIBWriter, WritesTrueColorRows) {
  TBitmap target;
  {
    TDIBWriter writer(target, {{9, 9, 9, 0}}, 3, 2, pf24bit);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        uint8_t* p = writer.ScanLine(y) + 3 * x;
        p[0] = static_cast<uint8_t>(x);
        p[1] = static_cast<uint8_t>(y);
        p[2] = 200;
      }
  }
  EXPECT_EQ(GetPixelFormat(target), pf24bit);
  EXPECT_TRUE(target.Palette().empty());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(Pixel24(target, x, y), (TRGB{200, y, x}));
}

TEST(DIBWriter, WriterThatHandedOutNoRowLeavesItsTargetAlone) {
  auto target = MakePicture(2, 2, [](int x, int y) { return TRGB{x, y, 9}; });
  const std::vector<uint8_t> before = target->Bits();
  { TDIBWriter writer(*target, {}, 8, 8, pf8bit); }
  EXPECT_EQ(GetPixelFormat(*target), pf24bit);
  EXPECT_EQ(target->Bits(), before);
}

TEST(DIBWriter, RefusesOtherDepthsEmptySizesAndRowsOutside) {
  TBitmap target;
  for (TPixelFormat format : {pf1bit, pf4bit, pf15bit, pf16bit, pf32bit}) {
    try {
      TDIBWriter writer(target, {}, 2, 2, format);
      ADD_FAILURE() << format;
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), "Unsupported PixelFormat");
    }
  }
  for (auto [width, height] : {std::pair{0, 2}, std::pair{2, 0}, std::pair{-1, 2}}) {
    try {
      TDIBWriter writer(target, {}, width, height, pf8bit);
      ADD_FAILURE() << width << " x " << height;
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), "Invalid image dimensions");
    }
  }
  TDIBWriter writer(target, {}, 2, 2, pf8bit);
  for (int row : {-1, 2}) {
    try {
      writer.ScanLine(row);
      ADD_FAILURE() << row;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Scan line index out of range");
    }
  }
}

} // namespace
