// The ditherers: where one pixel's error goes (each kernel's weights in both
// row directions), how well block means survive, and that pictures already
// in the palette pass unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "ColorReduction.h"
#include "Dither.h"
#include "SystemPalettes.h"
#include "TestPictures.h"

namespace {

struct TSpread {
  int Row;    // rows below the pixel
  int Offset; // pixels ahead in the direction of the pixel's row
  int Weight;
};

struct TKernel {
  TGIFDitherMode Mode;
  const char* Name;
  int Divisor;
  std::vector<TSpread> Spread;
};

const std::vector<TKernel>& Kernels() {
  static const std::vector<TKernel> kernels{
      {dtFloydSteinberg, "FloydSteinberg", 16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}},
      {dtStucki,
       "Stucki",
       42,
       {{0, 1, 8},
        {0, 2, 4},
        {1, -2, 2},
        {1, -1, 4},
        {1, 0, 8},
        {1, 1, 4},
        {1, 2, 2},
        {2, -2, 1},
        {2, -1, 2},
        {2, 0, 4},
        {2, 1, 2},
        {2, 2, 1}}},
      {dtSierra,
       "Sierra",
       32,
       {{0, 1, 5},
        {0, 2, 3},
        {1, -2, 2},
        {1, -1, 4},
        {1, 0, 5},
        {1, 1, 4},
        {1, 2, 2},
        {2, -1, 2},
        {2, 0, 3},
        {2, 1, 2}}},
      {dtJaJuNi,
       "JaJuNi",
       48,
       {{0, 1, 7},
        {0, 2, 5},
        {1, -2, 3},
        {1, -1, 5},
        {1, 0, 7},
        {1, 1, 5},
        {1, 2, 3},
        {2, -2, 1},
        {2, -1, 3},
        {2, 0, 5},
        {2, 1, 3},
        {2, 2, 1}}},
      {dtSteveArche,
       "SteveArche",
       200,
       {{0, 2, 32},
        {1, -3, 12},
        {1, -1, 26},
        {1, 1, 30},
        {1, 3, 16},
        {2, -2, 12},
        {2, 0, 26},
        {2, 2, 12},
        {3, -3, 5},
        {3, -1, 12},
        {3, 1, 12},
        {3, 3, 5}}},
      {dtBurkes,
       "Burkes",
       32,
       {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}},
  };
  return kernels;
}

// Greys 0-99 and 150-255: a grey in the gap is off by up to 25, every other
// grey is matched exactly, so that the shares a pixel's neighbours receive
// leave no error of their own and nothing spreads further.
TPalette GapPalette() {
  TPalette palette;
  for (int level = 0; level < 256; ++level)
    if (level < 100 || level >= 150)
      palette.push_back(
          {static_cast<uint8_t>(level), static_cast<uint8_t>(level), static_cast<uint8_t>(level)});
  return palette;
}

constexpr int Background = 200;

struct TImpulse {
  int Level; // the pixel's grey
  int Error; // what the palette leaves of it
  int Row;   // 0 is walked left to right, 1 right to left
  int Column;
};

// The greys of the reduced picture.
std::vector<std::vector<int>> ReduceImpulse(TGIFDitherMode AMode, const TImpulse& AImpulse,
                                            int AWidth, int AHeight) {
  auto picture = MakePicture(AWidth, AHeight, [&](int x, int y) {
    const int level = x == AImpulse.Column && y == AImpulse.Row ? AImpulse.Level : Background;
    return TRGB{level, level, level};
  });
  const auto reduced = ReduceColors(*picture, crCallerPalette, AMode, GapPalette(), 8);
  std::vector<std::vector<int>> greys(static_cast<size_t>(AHeight));
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x) {
      const TRGB c = Pixel8(*reduced, x, y);
      EXPECT_TRUE(c.Red == c.Green && c.Green == c.Blue);
      greys[static_cast<size_t>(y)].push_back(c.Red);
    }
  return greys;
}

const TImpulse Impulses[] = {
    {124, 25, 0, 7},  // nearest 99
    {126, -24, 0, 7}, // nearest 150
    {124, 25, 1, 7},
    {126, -24, 1, 8},
};

TEST(ErrorDiffusion, OnePixelsErrorReachesExactlyItsKernelInBothDirections) {
  constexpr int width = 16, height = 6;
  for (const TKernel& kernel : Kernels()) {
    for (const TImpulse& impulse : Impulses) {
      SCOPED_TRACE(::testing::Message()
                   << kernel.Name << ", error " << impulse.Error << " on row " << impulse.Row);
      std::vector<std::vector<int>> expected(height, std::vector<int>(width, Background));
      expected[impulse.Row][impulse.Column] = impulse.Level - impulse.Error;
      const int direction = impulse.Row % 2 == 0 ? 1 : -1;
      for (const TSpread& s : kernel.Spread) {
        // The shares are rounded by adding half the divisor and truncating
        // toward zero.
        const int share = (impulse.Error * s.Weight + kernel.Divisor / 2) / kernel.Divisor;
        expected[impulse.Row + s.Row][impulse.Column + s.Offset * direction] += share;
      }
      EXPECT_EQ(ReduceImpulse(kernel.Mode, impulse, width, height), expected);
    }
  }
}

TEST(ErrorDiffusion, NearestSpreadsNothing) {
  for (const TImpulse& impulse : Impulses) {
    std::vector<std::vector<int>> expected(6, std::vector<int>(16, Background));
    expected[impulse.Row][impulse.Column] = impulse.Level - impulse.Error;
    EXPECT_EQ(ReduceImpulse(dtNearest, impulse, 16, 6), expected);
  }
}

// A picture of one colour left over per channel: an error row written one
// column off, or shares left over from an earlier row, change the next
// rows' pattern from what a fresh start gives.
TEST(ErrorDiffusion, ErrorsOfEveryRowStartFromWhatThatRowLeft) {
  for (const TKernel& kernel : Kernels()) {
    SCOPED_TRACE(kernel.Name);
    // Row 0 alone carries an error; everything below matches exactly.
    auto picture = MakePicture(12, 8, [](int x, int y) {
      const int level = y == 0 ? 124 : Background;
      (void)x;
      return TRGB{level, level, level};
    });
    const auto reduced = ReduceColors(*picture, crCallerPalette, kernel.Mode, GapPalette(), 8);
    // The shares of row 0 reach at most the rows its kernel reaches.
    int lastRow = 0;
    for (const TSpread& s : kernel.Spread)
      lastRow = std::max(lastRow, s.Row);
    for (int y = lastRow + 1; y < 8; ++y)
      for (int x = 0; x < 12; ++x)
        EXPECT_EQ(Pixel8(*reduced, x, y).Red, Background) << x << ", " << y;
  }
}

// Smooth fields over 8 x 8 blocks: one in colour, one in grey.
TRGB ColorGradient(int x, int y) {
  return {x * 2, y * 255 / 95, (x + y) * 255 / 222};
}
TRGB GreyGradient(int x, int y) {
  const int level = (x + y) * 255 / 222;
  return {level, level, level};
}

// The largest difference of a block's mean from the source's, over blocks and
// channels.
double WorstBlockMean(TGIFColorReduction AReduction, TGIFDitherMode AMode,
                      TRGB (*AGradient)(int, int)) {
  auto source = MakePicture(128, 96, AGradient);
  const auto reduced = ReduceColors(*source, AReduction, AMode, {}, 8);
  double worst = 0;
  for (int by = 0; by < 96; by += 8)
    for (int bx = 0; bx < 128; bx += 8) {
      double difference[3] = {};
      for (int y = by; y < by + 8; ++y)
        for (int x = bx; x < bx + 8; ++x) {
          const TRGB s = AGradient(x, y), r = Pixel8(*reduced, x, y);
          difference[0] += r.Red - s.Red;
          difference[1] += r.Green - s.Green;
          difference[2] += r.Blue - s.Blue;
        }
      for (double d : difference)
        worst = std::max(worst, std::abs(d) / 64);
    }
  return worst;
}

TEST(ErrorDiffusion, BlockMeansOfAGradientSurvive) {
  // The nearest colour alone misses the means by about half a palette step.
  struct TCase {
    TGIFColorReduction Reduction;
    TRGB (*Gradient)(int, int);
    double Tolerance;
  } const cases[] = {{crNetscape216, ColorGradient, 8},
                     {crFourGrays, GreyGradient, 12},
                     {crBlackWhite, GreyGradient, 20}};
  for (const TCase& c : cases) {
    EXPECT_GT(WorstBlockMean(c.Reduction, dtNearest, c.Gradient), 2 * c.Tolerance);
    for (const TKernel& kernel : Kernels())
      EXPECT_LE(WorstBlockMean(c.Reduction, kernel.Mode, c.Gradient), c.Tolerance)
          << kernel.Name << " over reduction " << int(c.Reduction);
  }
}

TEST(ErrorDiffusion, PicturesInThePaletteComeOutUnchangedWithEveryDitherer) {
  std::mt19937 random(3);
  TPalette palette(200);
  for (TPaletteEntry& e : palette)
    e = {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
         static_cast<uint8_t>(random())};
  std::vector<int> chosen(40 * 30);
  for (int& i : chosen)
    i = static_cast<int>(random() % palette.size());
  for (int mode = dtNearest; mode <= dtBurkes; ++mode) {
    SCOPED_TRACE(mode);
    auto picture = MakePicture(40, 30, [&](int x, int y) {
      return EntryColor(palette[static_cast<size_t>(chosen[static_cast<size_t>(y * 40 + x)])]);
    });
    const auto reduced =
        ReduceColors(*picture, crCallerPalette, static_cast<TGIFDitherMode>(mode), palette, 8);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        ASSERT_EQ(Pixel8(*reduced, x, y),
                  EntryColor(palette[static_cast<size_t>(chosen[static_cast<size_t>(y * 40 + x)])]))
            << x << ", " << y;
  }
}

TEST(ErrorDiffusion, NearestGivesWhatTheLookupGivesEachPixel) {
  auto picture = MakePicture(33, 17, [](int x, int y) {
    return TRGB{(x * 37 + y * 11) % 256, (x * 5 + y * 91) % 256, (x * y * 7) % 256};
  });
  auto copy = MakePicture(33, 17, [](int x, int y) {
    return TRGB{(x * 37 + y * 11) % 256, (x * 5 + y * 91) % 256, (x * y * 7) % 256};
  });
  const auto reduced = ReduceColors(*picture, crStock20, dtNearest, {}, 8);
  TSlowColorLookup lookup(StockPalette());
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 33; ++x) {
      const TRGB c = Pixel24(*copy, x, y);
      uint8_t r, g, b;
      EXPECT_EQ(Index8(*reduced, x, y),
                lookup.FindColor(static_cast<uint8_t>(c.Red), static_cast<uint8_t>(c.Green),
                                 static_cast<uint8_t>(c.Blue), r, g, b));
    }
}

TEST(ErrorDiffusion, OnePixelWideAndOneRowPicturesDither) {
  for (int mode = dtNearest; mode <= dtBurkes; ++mode) {
    SCOPED_TRACE(mode);
    for (auto [width, height] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{2, 2}}) {
      auto picture = MakePicture(width, height, [](int x, int y) {
        return TRGB{60 + 20 * y, 130, 200 - 9 * x};
      });
      const auto reduced =
          ReduceColors(*picture, crBlackWhite, static_cast<TGIFDitherMode>(mode), {}, 8);
      ASSERT_EQ(reduced->Width(), width);
      ASSERT_EQ(reduced->Height(), height);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          EXPECT_LE(Index8(*reduced, x, y), 1);
    }
  }
}

TEST(DitherEngine, RowsAlternateDirectionStartingLeftToRight) {
  TMonochromeLookup lookup({});
  for (int mode = dtNearest; mode <= dtBurkes; ++mode) {
    auto ditherer = CreateDitherer(static_cast<TGIFDitherMode>(mode), 3, lookup);
    ASSERT_TRUE(ditherer);
    std::vector<int> columns;
    for (int row = 0; row < 3; ++row) {
      while (ditherer->Column() >= 0 && ditherer->Column() < 3) {
        columns.push_back(ditherer->Column());
        uint8_t r, g, b;
        ditherer->DitherPixel(128, 128, 128, r, g, b);
      }
      ditherer->NextRow();
    }
    EXPECT_EQ(columns, (std::vector<int>{0, 1, 2, 2, 1, 0, 0, 1, 2})) << mode;
  }
  EXPECT_FALSE(CreateDitherer(static_cast<TGIFDitherMode>(7), 3, lookup));
}

} // namespace
