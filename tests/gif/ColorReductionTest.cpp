// Colour reduction: the palette each method gives, the octree's colours and
// reduction rules, and what the source and the result look like afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "ColorQuantizer.h"
#include "ColorReduction.h"
#include "GIFException.h"
#include "SystemPalettes.h"
#include "TestPictures.h"

namespace {

std::vector<TRGB> Colors(const TPalette& APalette) {
  std::vector<TRGB> colors;
  for (const TPaletteEntry& e : APalette)
    colors.push_back(EntryColor(e));
  return colors;
}

// The first ACount entries of a result's colour table; the rest must be black.
std::vector<TRGB> TableColors(const TBitmap& ABitmap, size_t ACount) {
  EXPECT_EQ(ABitmap.BitsPerPixel(), 8);
  EXPECT_EQ(ABitmap.Palette().size(), 256u);
  std::vector<TRGB> colors;
  for (size_t i = 0; i < ABitmap.Palette().size(); ++i) {
    const uint32_t quad = ABitmap.Palette()[i];
    if (i < ACount)
      colors.push_back({static_cast<int>(quad >> 16), static_cast<int>((quad >> 8) & 0xFF),
                        static_cast<int>(quad & 0xFF)});
    else
      EXPECT_EQ(quad, 0u) << "entry " << i;
  }
  return colors;
}

std::unique_ptr<TBitmap> Mixed(int AWidth = 24, int AHeight = 16) {
  return MakePicture(AWidth, AHeight, [](int x, int y) {
    return TRGB{(x * 53 + y * 7) % 256, (y * 31 + x) % 256, (x * y * 3) % 256};
  });
}

TEST(FixedPalettes, HoldTheirColors) {
  const std::vector<TRGB> stock = Colors(StockPalette());
  ASSERT_EQ(stock.size(), 20u);
  EXPECT_EQ(stock[0], (TRGB{0, 0, 0}));
  EXPECT_EQ(stock[7], (TRGB{192, 192, 192}));
  EXPECT_EQ(stock[8], (TRGB{192, 220, 192}));
  EXPECT_EQ(stock[9], (TRGB{166, 202, 240}));
  EXPECT_EQ(stock[10], (TRGB{255, 251, 240}));
  EXPECT_EQ(stock[11], (TRGB{160, 160, 164}));
  EXPECT_EQ(stock[12], (TRGB{128, 128, 128}));
  EXPECT_EQ(stock[19], (TRGB{255, 255, 255}));

  const TPalette netscape = CreateNetscapePalette();
  ASSERT_EQ(netscape.size(), 216u);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        EXPECT_EQ(EntryColor(netscape[static_cast<size_t>(36 * r + 6 * g + b)]),
                  (TRGB{51 * r, 51 * g, 51 * b}));

  const TPalette greys = CreateGrayScalePalette();
  ASSERT_EQ(greys.size(), 256u);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(EntryColor(greys[static_cast<size_t>(i)]), (TRGB{i, i, i}));
  EXPECT_EQ(Colors(CreateMonochromePalette()), (std::vector<TRGB>{{0, 0, 0}, {255, 255, 255}}));
  EXPECT_EQ(Colors(CreateFourGrayPalette()),
            (std::vector<TRGB>{{0, 0, 0}, {128, 128, 128}, {192, 192, 192}, {255, 255, 255}}));

  // The halftone palette: the static colours at both ends, the whole 6 x 6 x 6
  // cube between them.
  const std::vector<TRGB> halftone = Colors(CreateScreenHalftonePalette());
  ASSERT_EQ(halftone.size(), 256u);
  EXPECT_TRUE(std::equal(stock.begin(), stock.begin() + 10, halftone.begin()));
  EXPECT_TRUE(std::equal(stock.begin() + 10, stock.end(), halftone.end() - 10));
  for (const TRGB& cube : Colors(netscape))
    EXPECT_NE(std::find(halftone.begin() + 10, halftone.end() - 10, cube), halftone.end() - 10)
        << cube;
}

TEST(ReduceColors, EachMethodPutsItsPaletteIntoTheResult) {
  struct TCase {
    TGIFColorReduction Reduction;
    TPalette Palette;
  } const cases[] = {
      {crStock20, StockPalette()},
      {crHalftone, CreateScreenHalftonePalette()},
      {crFourGrays, CreateFourGrayPalette()},
      {crBlackWhite, CreateMonochromePalette()},
      {crGrays256, CreateGrayScalePalette()},
      {crNetscape216, CreateNetscapePalette()},
      {crCallerPalette, {{1, 2, 3, 0}, {200, 100, 50, 0}, {9, 9, 9, 0}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(int(c.Reduction));
    auto source = Mixed();
    const auto reduced = ReduceColors(*source, c.Reduction, dtNearest, c.Palette, 8);
    EXPECT_EQ(reduced->Width(), 24);
    EXPECT_EQ(reduced->Height(), 16);
    EXPECT_EQ(TableColors(*reduced, c.Palette.size()), Colors(c.Palette));
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 24; ++x)
        ASSERT_LT(Index8(*reduced, x, y), int(c.Palette.size()));
  }
}

TEST(ReduceColors, FixedPalettesMapToTheirNearestColors) {
  // A grey picture reduced to 256 greys, and cube colours to the cube,
  // come back exactly; black and white split at mid grey.
  auto greys = MakePicture(16, 16, [](int x, int y) {
    const int level = 16 * y + x;
    return TRGB{level, level, level};
  });
  auto reduced = ReduceColors(*greys, crGrays256, dtFloydSteinberg, {}, 8);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(Index8(*reduced, x, y), 16 * y + x);

  reduced = ReduceColors(*greys, crBlackWhite, dtNearest, {}, 8);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(Index8(*reduced, x, y), 16 * y + x >= 128 ? 1 : 0);

  auto cube = MakePicture(36, 6, [](int x, int y) {
    return TRGB{51 * (x / 6), 51 * (x % 6), 51 * y};
  });
  reduced = ReduceColors(*cube, crNetscape216, dtStucki, {}, 8);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 36; ++x)
      EXPECT_EQ(Index8(*reduced, x, y), 36 * (x / 6) + 6 * (x % 6) + y);
}

TEST(ReduceColors, NoneGivesATrueColorCopyAndLeavesTheSource) {
  TBitmap source(3, 2, 8);
  source.Palette() = {0x000000, 0x10FF20, 0x0000FF};
  source.ScanLine(0)[0] = 1;
  source.ScanLine(1)[2] = 2;
  const auto copy = ReduceColors(source, crNone, dtFloydSteinberg, {}, 8);
  EXPECT_EQ(copy->BitsPerPixel(), 24);
  EXPECT_EQ(Pixel24(*copy, 0, 0), (TRGB{0x10, 0xFF, 0x20}));
  EXPECT_EQ(Pixel24(*copy, 2, 1), (TRGB{0, 0, 0xFF}));
  EXPECT_EQ(Pixel24(*copy, 1, 1), (TRGB{0, 0, 0}));
  EXPECT_EQ(source.BitsPerPixel(), 8);
  EXPECT_EQ(source.ScanLine(0)[0], 1);
}

TEST(ReduceColors, OtherMethodsLeaveTheSourceAtTwentyFourBits) {
  for (int reduction = crStock20; reduction <= crCallerPalette + 1; ++reduction) {
    SCOPED_TRACE(reduction);
    TBitmap source(4, 4, 32);
    source.ScanLine(1)[4] = 200;
    ReduceColors(source, static_cast<TGIFColorReduction>(reduction), dtNearest, {{0, 0, 0, 0}}, 8);
    EXPECT_EQ(source.BitsPerPixel(), 24);
    EXPECT_EQ(Pixel24(source, 1, 1), (TRGB{0, 0, 200}));
  }
}

TEST(ReduceColors, UnknownMethodsModesAndEmptyPalettesGiveAnEmptyBitmap) {
  struct TCase {
    int Reduction, Mode;
    TPalette Palette;
  } const cases[] = {
      {10, dtNearest, {}},
      {255, dtNearest, {}},
      {crNetscape216, 7, {}},
      {crOctree, 200, {}},
      {crCallerPalette, dtFloydSteinberg, {}},
  };
  for (const TCase& c : cases) {
    auto source = Mixed();
    const auto reduced = ReduceColors(*source, static_cast<TGIFColorReduction>(c.Reduction),
                                      static_cast<TGIFDitherMode>(c.Mode), c.Palette, 8);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->Width(), 0) << c.Reduction << " " << c.Mode;
    EXPECT_EQ(reduced->Height(), 0);
  }
}

TEST(ReduceColors, ColorBitsAboveEightAreRefused) {
  auto source = Mixed();
  try {
    ReduceColors(*source, crOctree, dtNearest, {}, 9);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "ColorBits must be 8 or less");
  }
  try {
    TColorQuantizer quantizer(256, 9);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "ColorBits must be 8 or less");
  }
}

TEST(ReduceColors, AnEmptySourceIsRefusedByTheWriter) {
  TBitmap empty;
  try {
    ReduceColors(empty, crNetscape216, dtNearest, {}, 8);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Invalid image dimensions");
  }
}

// A picture of exactly 256 colours, each in a run of pixels.
std::unique_ptr<TBitmap> TwoHundredFiftySixColors() {
  return MakePicture(64, 32, [](int x, int y) {
    const int k = (y / 2) * 16 + x / 4;
    return TRGB{(k * 37) % 256, (k * 101 + 13) % 256, k};
  });
}

TEST(Octree, PicturesOfAtMost256ColorsComeBackExactly) {
  for (int mode = dtNearest; mode <= dtBurkes; ++mode) {
    SCOPED_TRACE(mode);
    auto source = TwoHundredFiftySixColors();
    auto reference = TwoHundredFiftySixColors();
    const auto reduced = ReduceColors(*source, crOctree, static_cast<TGIFDitherMode>(mode), {}, 8);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x)
        ASSERT_EQ(Pixel8(*reduced, x, y), Pixel24(*reference, x, y));
  }
}

TEST(Octree, FewerColorsThanAskedForGiveThePicturesOwnColorsFirst) {
  const std::vector<TRGB> picture{
      {250, 0, 0}, {0, 0, 250}, {17, 34, 51}, {240, 240, 240}, {3, 3, 3}};
  auto source = MakePicture(5, 3, [&](int x, int) { return picture[static_cast<size_t>(x)]; });
  const auto reduced = ReduceColors(*source, crOctree, dtNearest, {}, 4);
  const std::vector<TRGB> table = TableColors(*reduced, 16);
  std::vector<TRGB> firstEntries(table.begin(), table.begin() + 5);
  for (const TRGB& c : picture)
    EXPECT_NE(std::find(firstEntries.begin(), firstEntries.end(), c), firstEntries.end()) << c;
  // No pixel is mapped to an entry beyond them.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_LT(Index8(*reduced, x, y), 5);
      EXPECT_EQ(Pixel8(*reduced, x, y), picture[static_cast<size_t>(x)]);
    }
}

TEST(Octree, BitsSetTheNumberOfColors) {
  for (unsigned bits : {0u, 1u, 3u, 6u}) {
    SCOPED_TRACE(bits);
    auto source = Mixed(64, 48);
    const auto reduced = ReduceColors(*source, crOctree, dtFloydSteinberg, {}, bits);
    const size_t count = size_t{1} << bits;
    TableColors(*reduced, count);
    std::set<int> used;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x)
        used.insert(Index8(*reduced, x, y));
    EXPECT_LE(*used.rbegin(), int(count) - 1);
  }
}

TEST(Octree, ReducesTheDeepestBranchesIntoTheirMeanColor) {
  // Two colours that part only in the second-lowest bit of blue and one far
  // away, two colours allowed: the close pair merges into its mean (the
  // division truncates), the far one stays.
  auto source = MakePicture(3, 1, [](int x, int) {
    const TRGB colors[] = {{0, 0, 0}, {0, 0, 3}, {255, 255, 255}};
    return colors[x];
  });
  TDIBReader reader(*source, pf24bit);
  TColorQuantizer quantizer(2, 8);
  quantizer.ProcessImage(reader);
  EXPECT_EQ(quantizer.LeafCount(), 2);
  EXPECT_EQ(Colors(quantizer.GetColorTable()), (std::vector<TRGB>{{0, 0, 1}, {255, 255, 255}}));
}

TEST(Octree, ShallowTreesGroupColorsByTheirHighBits) {
  // One level: a leaf per octant of the colour cube, in child order.
  auto source = MakePicture(4, 1, [](int x, int) {
    const TRGB colors[] = {{200, 10, 10}, {10, 20, 30}, {30, 40, 50}, {220, 30, 30}};
    return colors[x];
  });
  TDIBReader reader(*source, pf24bit);
  TColorQuantizer quantizer(256, 1);
  quantizer.ProcessImage(reader);
  EXPECT_EQ(Colors(quantizer.GetColorTable()), (std::vector<TRGB>{{20, 30, 40}, {210, 20, 20}}));
}

TEST(Octree, ManyColorsStayWithinTheLimit) {
  std::mt19937 random(5);
  auto source = MakePicture(200, 150, [&](int, int) {
    return TRGB{int(random() % 256), int(random() % 256), int(random() % 256)};
  });
  for (int colors : {1, 7, 64, 256}) {
    TDIBReader reader(*source, pf24bit);
    TColorQuantizer quantizer(colors, 8);
    quantizer.ProcessImage(reader);
    EXPECT_LE(quantizer.LeafCount(), colors);
    EXPECT_GE(quantizer.LeafCount(), 1);
    EXPECT_EQ(quantizer.GetColorTable().size(), size_t(quantizer.LeafCount()));
  }
}

TEST(Octree, ReadsOnlyTrueColorRows) {
  TBitmap source(4, 4, 24);
  TDIBReader reader(source, pf8bit);
  TColorQuantizer quantizer(16, 8);
  EXPECT_THROW(quantizer.ProcessImage(reader), GIFException);
}

TEST(Octree, SystemColorsTakeBothEndsOfTheTable) {
  auto source = TwoHundredFiftySixColors();
  auto reference = TwoHundredFiftySixColors();
  const auto reduced = ReduceColors(*source, crOctreeSystem, dtNearest, {}, 8);
  const std::vector<TRGB> table = TableColors(*reduced, 256);
  const std::vector<TRGB> stock = Colors(StockPalette());
  EXPECT_TRUE(std::equal(stock.begin(), stock.begin() + 10, table.begin()));
  EXPECT_TRUE(std::equal(stock.begin() + 10, stock.end(), table.end() - 10));
  // 236 colours of the picture's 256: most pixels keep their colour.
  int exact = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x)
      exact += Pixel8(*reduced, x, y) == Pixel24(*reference, x, y);
  EXPECT_GT(exact, 64 * 32 * 3 / 4);
}

TEST(Octree, OptimizedPaletteFromABitmapConvertsIt) {
  TBitmap source(2, 1, 32);
  source.ScanLine(0)[0] = 9;
  const TPalette palette = CreateOptimizedPaletteFromBitmap(source, 4, 8, false);
  EXPECT_EQ(source.BitsPerPixel(), 24);
  ASSERT_EQ(palette.size(), 4u);
  EXPECT_EQ(Colors(palette), (std::vector<TRGB>{{0, 0, 0}, {0, 0, 9}, {0, 0, 0}, {0, 0, 0}}));
}

} // namespace
