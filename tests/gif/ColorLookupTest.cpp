// The colour lookups: the direct formulas of the fixed palettes at their
// thresholds, and the nearest-colour search against an exhaustive one.
#include <gtest/gtest.h>

#include <random>

#include "ColorLookup.h"
#include "ColorReduction.h"
#include "TestPictures.h"

namespace {

struct TLookupCase {
  TRGB Input;
  int Index;
  TRGB Color;
};

void ExpectLookup(TColorLookup& ALookup, const TLookupCase& ACase) {
  uint8_t r = 1, g = 2, b = 3;
  const int index = ALookup.FindColor(static_cast<uint8_t>(ACase.Input.Red),
                                      static_cast<uint8_t>(ACase.Input.Green),
                                      static_cast<uint8_t>(ACase.Input.Blue), r, g, b);
  EXPECT_EQ(index, ACase.Index) << ACase.Input;
  EXPECT_EQ((TRGB{r, g, b}), ACase.Color) << ACase.Input;
}

TEST(NetscapeLookup, LevelsChangeAtTheirThresholds) {
  TNetscapeColorLookup lookup({});
  EXPECT_EQ(lookup.Colors(), 216);
  const TLookupCase cases[] = {
      {{47, 47, 47}, 0, {0, 0, 0}},
      {{48, 48, 48}, 43, {51, 51, 51}},
      {{98, 0, 0}, 36, {51, 0, 0}},
      {{99, 0, 0}, 72, {102, 0, 0}},
      {{0, 149, 0}, 12, {0, 102, 0}},
      {{0, 150, 0}, 18, {0, 153, 0}},
      {{0, 0, 200}, 3, {0, 0, 153}},
      {{0, 0, 201}, 4, {0, 0, 204}},
      {{251, 251, 251}, 172, {204, 204, 204}},
      {{252, 252, 252}, 215, {255, 255, 255}},
      {{255, 255, 255}, 215, {255, 255, 255}},
      {{48, 0, 255}, 41, {51, 0, 255}},
  };
  for (const TLookupCase& c : cases)
    ExpectLookup(lookup, c);
}

TEST(NetscapeLookup, EveryEntryOfTheCubePaletteFindsItself) {
  TNetscapeColorLookup lookup({});
  const TPalette palette = CreateNetscapePalette();
  ASSERT_EQ(palette.size(), 216u);
  for (size_t i = 0; i < palette.size(); ++i)
    ExpectLookup(lookup, {EntryColor(palette[i]), static_cast<int>(i), EntryColor(palette[i])});
}

TEST(GrayScaleLookup, LevelIsTheWeightedLuminance) {
  TGrayScaleLookup lookup({});
  EXPECT_EQ(lookup.Colors(), 256);
  const TLookupCase cases[] = {
      {{255, 0, 0}, 76, {76, 76, 76}},
      {{0, 255, 0}, 149, {149, 149, 149}},
      {{0, 0, 255}, 28, {28, 28, 28}},
      {{255, 255, 255}, 255, {255, 255, 255}},
      {{0, 0, 0}, 0, {0, 0, 0}},
      {{100, 100, 100}, 100, {100, 100, 100}},
      {{10, 200, 30}, 123, {123, 123, 123}},
  };
  for (const TLookupCase& c : cases)
    ExpectLookup(lookup, c);
}

TEST(MonochromeLookup, SplitsAtHalfTheLuminanceScale) {
  TMonochromeLookup lookup({});
  EXPECT_EQ(lookup.Colors(), 2);
  const TLookupCase cases[] = {
      {{127, 127, 127}, 0, {0, 0, 0}},       // 32512
      {{128, 128, 128}, 1, {255, 255, 255}}, // 32768
      {{127, 127, 128}, 1, {255, 255, 255}}, // 32541
      {{255, 0, 0}, 0, {0, 0, 0}},
      {{0, 255, 0}, 1, {255, 255, 255}},
      {{0, 0, 0}, 0, {0, 0, 0}},
  };
  for (const TLookupCase& c : cases)
    ExpectLookup(lookup, c);
}

TEST(SlowColorLookup, NearestEntryAndLowestIndexOnTies) {
  const TPalette palette{{0, 0, 0, 0},       {100, 100, 100, 0}, {200, 0, 0, 0},
                         {100, 100, 100, 0}, {0, 0, 10, 0},      {0, 0, 30, 0}};
  TSlowColorLookup lookup(palette);
  EXPECT_EQ(lookup.Colors(), 6);
  const TLookupCase cases[] = {
      {{100, 100, 100}, 1, {100, 100, 100}}, // an exact duplicate at 3 loses
      {{0, 0, 20}, 4, {0, 0, 10}},           // 10 from entries 4 and 5
      {{0, 0, 5}, 0, {0, 0, 0}},             // 5 from entries 0 and 4
      {{190, 20, 0}, 2, {200, 0, 0}},
      {{255, 255, 255}, 1, {100, 100, 100}},
  };
  for (const TLookupCase& c : cases)
    ExpectLookup(lookup, c);
}

TEST(SlowColorLookup, ServesAtMostTheFirst256Entries) {
  TPalette palette(300, {0, 0, 0, 0});
  palette[299] = {255, 255, 255, 0};
  TSlowColorLookup lookup(palette);
  EXPECT_EQ(lookup.Colors(), 256);
  ExpectLookup(lookup, {{255, 255, 255}, 0, {0, 0, 0}});
}

TEST(SlowColorLookup, EmptyPaletteHasNoColors) {
  TSlowColorLookup lookup({});
  EXPECT_EQ(lookup.Colors(), 0);
}

// The search stops early by the red distance; it must still give what a
// search over every entry gives, ties included.
TEST(SlowColorLookup, AgreesWithAnExhaustiveSearch) {
  std::mt19937 random(7);
  auto level = [&](int AMax) { return static_cast<uint8_t>(random() % (AMax + 1)); };
  for (int round = 0; round < 40; ++round) {
    TPalette palette(1 + random() % 256);
    // Few distinct levels in some rounds, so that ties are common.
    const int maxLevel = round % 2 ? 255 : 3;
    for (TPaletteEntry& e : palette)
      e = {level(maxLevel), level(maxLevel), level(maxLevel), 0};
    TSlowColorLookup lookup(palette);
    for (int i = 0; i < 500; ++i) {
      const TRGB c{level(maxLevel), level(maxLevel), level(maxLevel)};
      int best = 0, bestDistance = 1 << 30;
      for (size_t k = 0; k < palette.size(); ++k) {
        const int dr = palette[k].Red - c.Red, dg = palette[k].Green - c.Green,
                  db = palette[k].Blue - c.Blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
          bestDistance = distance;
          best = static_cast<int>(k);
        }
      }
      ExpectLookup(lookup, {c, best, EntryColor(palette[static_cast<size_t>(best)])});
    }
  }
}

} // namespace
