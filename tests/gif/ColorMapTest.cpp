// The colour map: growth, padding when written, lookups before and after
// the sort by use, the sort itself and its errors.
#include <gtest/gtest.h>

#include "GIFException.h"
#include "GIFGraphicControl.h"
#include "GIFMessages.h"
#include "GIFTestImage.h"

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kGreen = 0x00FF00;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kWhite = 0xFFFFFF;

TColor Grey(int AValue) {
  return static_cast<TColor>(AValue * 0x010101);
}

// A frame whose local map is under test.
class ColorMapTest : public ::testing::Test {
protected:
  TGIFFrameBase& Frame(std::vector<uint8_t> APixels) {
    int width = static_cast<int>(APixels.size());
    return Image.AddFrame(width, 1, std::move(APixels));
  }
  TGIFTestImage Image;
};

struct TPaddingCase {
  int Colors;
  int Written;
};

void PrintTo(const TPaddingCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Colors;
}

class ColorMapPaddingTest : public ::testing::TestWithParam<TPaddingCase> {};

TEST_P(ColorMapPaddingTest, WritesEntriesPaddedWithBlackToAPowerOfTwo) {
  TGIFTestImage image;
  TGIFColorMap& map = image.AddFrame(1, 1, {0}).ColorMap();
  for (int i = 0; i < GetParam().Colors; ++i)
    map.Add(Grey(255 - i));
  TGIFMemoryStream stream;
  map.SaveToStream(stream);

  const std::vector<uint8_t>& bytes = stream.Data();
  ASSERT_EQ(bytes.size(), static_cast<size_t>(GetParam().Written) * 3);
  EXPECT_EQ(1 << map.BitsPerPixel(), GetParam().Written);
  for (int i = 0; i < GetParam().Colors; ++i)
    EXPECT_EQ(bytes[static_cast<size_t>(i) * 3], 255 - i);
  for (size_t i = static_cast<size_t>(GetParam().Colors) * 3; i < bytes.size(); ++i)
    EXPECT_EQ(bytes[i], 0) << "padding byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Counts, ColorMapPaddingTest,
                         ::testing::Values(TPaddingCase{1, 2}, TPaddingCase{2, 2},
                                           TPaddingCase{3, 4}, TPaddingCase{5, 8},
                                           TPaddingCase{16, 16}, TPaddingCase{17, 32},
                                           TPaddingCase{129, 256}, TPaddingCase{256, 256}));

TEST_F(ColorMapTest, EmptyMapWritesNothing) {
  TGIFMemoryStream stream;
  Frame({0}).ColorMap().SaveToStream(stream);
  EXPECT_TRUE(stream.Data().empty());
}

TEST_F(ColorMapTest, CapacityGrowsTo16ThenByMultiplesOf32) {
  TGIFColorMap& map = Frame({0}).ColorMap();
  std::vector<std::pair<int, int>> countToCapacity = {{1, 16},  {16, 16},   {17, 32},
                                                      {33, 64}, {200, 224}, {256, 256}};
  int added = 0;
  for (auto [count, capacity] : countToCapacity) {
    while (added < count)
      map.Add(Grey(added++));
    EXPECT_EQ(map.Capacity(), capacity) << "after " << count << " colours";
  }
  map.SetCapacity(20);
  EXPECT_EQ(map.Capacity(), 256) << "never shrinks";
}

TEST_F(ColorMapTest, The257thColourOverflows) {
  TGIFColorMap& map = Frame({0}).ColorMap();
  for (int i = 0; i < 256; ++i)
    map.Add(Grey(i));
  try {
    map.Add(kRed);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), kMsgColorTableOverflow);
  }
  EXPECT_EQ(map.Count(), 256);
}

TEST_F(ColorMapTest, DuplicateColourFoundLastUntilOptimisedThenFirst) {
  // Uses 3, 2, 1: the sort keeps the order and only sets the flag.
  TGIFFrameBase& frame = Frame({0, 0, 0, 1, 1, 2});
  TGIFColorMap& map = frame.ColorMap();
  map.Add(kRed);
  map.Add(kGreen);
  map.Add(kRed);
  EXPECT_EQ(map.IndexOf(kRed), 2);
  EXPECT_EQ(map.AddUnique(kRed), 2);
  EXPECT_EQ(map.IndexOf(kBlue), -1);

  map.Optimize();
  EXPECT_TRUE(map.Optimized());
  EXPECT_EQ(map.Count(), 3);
  EXPECT_EQ(map.IndexOf(kRed), 0);
  EXPECT_EQ(frame.PixelData(), (std::vector<uint8_t>{0, 0, 0, 1, 1, 2}));
}

TEST_F(ColorMapTest, OptimiseSortsByUseRenumbersPixelsAndDropsUnusedColours) {
  TGIFFrameBase& frame = Frame({0, 1, 1, 1, 2, 2, 1, 2, 2, 2});
  TGIFColorMap& map = frame.ColorMap();
  for (TColor color : {kRed, kGreen, kBlue, kWhite})
    map.Add(color);
  auto gce = std::make_unique<TGIFGraphicControlExtension>(&frame);
  gce->SetTransparentColorIndex(2);
  frame.Extensions().Add(std::move(gce));

  map.Optimize();
  ASSERT_EQ(map.Count(), 3) << "white is never used";
  EXPECT_EQ(map.GetColor(0), kBlue);
  EXPECT_EQ(map.GetColor(1), kGreen);
  EXPECT_EQ(map.GetColor(2), kRed);
  EXPECT_EQ(frame.PixelData(), (std::vector<uint8_t>{2, 1, 1, 1, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(frame.TransparentIndex(), 0) << "the transparent index follows its colour";
  EXPECT_FALSE(map.IndexOf(kWhite) >= 0);
}

TEST_F(ColorMapTest, OptimiseOfOneColourChangesNothing) {
  TGIFColorMap& map = Frame({0}).ColorMap();
  map.Add(kRed);
  map.Optimize();
  EXPECT_FALSE(map.Optimized());
}

TEST_F(ColorMapTest, GlobalMapSortsThePixelsOfFramesWithoutALocalTable) {
  Image.Header().ColorMap().Add(kRed);
  Image.Header().ColorMap().Add(kGreen);
  TGIFFrameBase& global = Frame({1, 1, 0});
  TGIFFrameBase& local = Frame({1, 1, 0});
  local.ColorMap().Add(kRed);
  local.ColorMap().Add(kGreen);
  int changes = Image.GlobalChanges;

  Image.Header().ColorMap().Optimize();
  EXPECT_EQ(Image.Header().ColorMap().GetColor(0), kGreen);
  EXPECT_EQ(global.PixelData(), (std::vector<uint8_t>{0, 0, 1}));
  EXPECT_EQ(local.PixelData(), (std::vector<uint8_t>{1, 1, 0})) << "its own table, left alone";
  EXPECT_GT(Image.GlobalChanges, changes);
}

TEST_F(ColorMapTest, BadIndexWarnsAndTakesEntryZeroButAnEmptyMapRaises) {
  TGIFColorMap& map = Frame({0}).ColorMap();
  map.Add(kBlue);
  EXPECT_EQ(map.GetColor(7), kBlue);
  EXPECT_EQ(Image.Warnings, std::vector<std::string>{kMsgInvalidColorIndex});

  map.Delete(0);
  EXPECT_THROW(map.GetColor(0), GIFException);
  try {
    map.Delete(0);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), kMsgInvalidColorIndex);
  }
}

TEST_F(ColorMapTest, DeleteMovesTheLaterEntriesDown) {
  TGIFColorMap& map = Frame({0}).ColorMap();
  for (TColor color : {kRed, kGreen, kBlue})
    map.Add(color);
  map.SetOptimized(true);
  map.Delete(1);
  EXPECT_EQ(map.Count(), 2);
  EXPECT_EQ(map.GetColor(1), kBlue);
  EXPECT_FALSE(map.Optimized());
}

TEST_F(ColorMapTest, ShortTableRaisesPrematureEnd) {
  TGIFMemoryStream stream(std::vector<uint8_t>(11, 7));
  try {
    Frame({0}).ColorMap().LoadFromStream(stream, 4);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), kMsgPrematureEnd);
  }
}

TEST_F(ColorMapTest, EntriesAreRedGreenBlueAndColoursRedInTheLowByte) {
  TGIFColor entry = TGIFColorMap::ColorToEntry(0x123456);
  EXPECT_EQ(entry.Red, 0x56);
  EXPECT_EQ(entry.Green, 0x34);
  EXPECT_EQ(entry.Blue, 0x12);
  EXPECT_EQ(TGIFColorMap::EntryToColor(entry), 0x123456u);

  TGIFColorMap& map = Frame({0}).ColorMap();
  const uint8_t quads[] = {0x10, 0x20, 0x30, 0xFF, 0x01, 0x02, 0x03, 0x00};
  map.ImportRGBQuads(quads, 2);
  ASSERT_EQ(map.Count(), 2);
  EXPECT_EQ(map.GetColor(0), 0x102030u) << "quads are blue, green, red";
  EXPECT_EQ(map.GetColor(1), 0x010203u);
}

TEST_F(ColorMapTest, PalettesComeInAndGoOut) {
  TGIFColorMap& map = Frame({0}).ColorMap();
  EXPECT_TRUE(map.ExportPalette().empty());

  TPalette palette(300);
  for (size_t i = 0; i < palette.size(); ++i)
    palette[i] = TPaletteEntry{static_cast<uint8_t>(i), 2, 3, 0};
  map.ImportPalette(palette);
  ASSERT_EQ(map.Count(), 256);
  EXPECT_EQ(map.GetColor(255), 0x0302FFu);

  TPalette exported = map.ExportPalette();
  ASSERT_EQ(exported.size(), 256u);
  EXPECT_EQ(exported[7], (TPaletteEntry{7, 2, 3, 4}));

  TBitmap bitmap(2, 2, 8);
  bitmap.Palette() = {0x00102030, 0x00405060};
  map.ImportDIB(bitmap);
  ASSERT_EQ(map.Count(), 2);
  EXPECT_EQ(map.Entry(1).Red, 0x40);
  EXPECT_EQ(map.Entry(1).Blue, 0x60);
}

TEST_F(ColorMapTest, AssignCopiesEntriesCountAndSortFlag) {
  TGIFColorMap& source = Frame({0}).ColorMap();
  for (int i = 0; i < 20; ++i)
    source.Add(Grey(i));
  source.SetOptimized(true);
  TGIFColorMap& target = Frame({0}).ColorMap();
  target.Add(kRed);
  target.Assign(source);
  EXPECT_EQ(target.Count(), 20);
  EXPECT_EQ(target.Capacity(), 32);
  EXPECT_TRUE(target.Optimized());
  EXPECT_EQ(target.GetColor(19), Grey(19));
}

TEST(BitsForColorCountTest, SmallestPowerOfTwoThatHoldsTheCount) {
  std::vector<std::pair<int, int>> cases = {{0, 0},   {1, 1},   {2, 1},  {3, 2},  {4, 2},
                                            {5, 3},   {8, 3},   {9, 4},  {16, 4}, {17, 5},
                                            {128, 7}, {129, 8}, {256, 8}};
  for (auto [count, bits] : cases)
    EXPECT_EQ(BitsForColorCount(count), bits) << count;
}

} // namespace
