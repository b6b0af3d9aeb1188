// The frame: bounds and their warnings, pixel access, palettes, rendering
// with its mask (direct and dithered), drawing (stretched, tiled,
// transparent), conversion from bitmaps of every depth, cropping and
// merging.
#include <gtest/gtest.h>

#include "ColorReduction.h"
#include "FrameBuilder.h"
#include "GIFException.h"
#include "GIFSubImage.h"
#include "TestPictures.h"

namespace {

using TStrings = std::vector<std::string>;

std::string ErrorOf(const std::function<void()>& AAction) {
  try {
    AAction();
  } catch (const std::exception& AError) {
    return AError.what();
  }
  return "";
}

uint32_t BGR(int ARed, int AGreen, int ABlue) {
  return static_cast<uint32_t>(ABlue | (AGreen << 8) | (ARed << 16));
}

struct TBoundsCase {
  const char* Name;
  int ScreenWidth, ScreenHeight;
  int Left, Top, Width, Height;
  int ExpectedWidth, ExpectedHeight;
  TStrings Warnings;
};

class FrameBoundsTest : public ::testing::TestWithParam<TBoundsCase> {};

TEST_P(FrameBoundsTest, WidenTheScreenWithWarningsWhenItHadASize) {
  const TBoundsCase& test = GetParam();
  TWatchedImage picture;
  picture.Image.Header().ScreenDescriptor().ScreenWidth = static_cast<uint16_t>(test.ScreenWidth);
  picture.Image.Header().ScreenDescriptor().ScreenHeight = static_cast<uint16_t>(test.ScreenHeight);
  TGIFSubImage frame(&picture.Image);
  frame.SetBounds(test.Left, test.Top, test.Width, test.Height);
  EXPECT_EQ(picture.Image.Width(), test.ExpectedWidth);
  EXPECT_EQ(picture.Image.Height(), test.ExpectedHeight);
  EXPECT_EQ(picture.Warnings, test.Warnings);
  EXPECT_EQ(frame.PixelData().size(), size_t(test.Width) * test.Height);
  EXPECT_EQ(frame.BoundsRect(),
            (TGIFRect{test.Left, test.Top, test.Left + test.Width, test.Top + test.Height}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameBoundsTest,
    ::testing::Values(TBoundsCase{"WiderThanScreen",
                                  25,
                                  40,
                                  10,
                                  0,
                                  20,
                                  5,
                                  30,
                                  40,
                                  {"Image width too small for contained frames",
                                   "Image exceeds Logical Screen size"}},
                      TBoundsCase{"HigherThanScreen",
                                  40,
                                  25,
                                  0,
                                  10,
                                  5,
                                  20,
                                  40,
                                  30,
                                  {"Image height too small for contained frames",
                                   "Image exceeds Logical Screen size"}},
                      TBoundsCase{"NoScreenYet", 0, 0, 10, 10, 20, 20, 30, 30, {}},
                      TBoundsCase{"Inside", 40, 40, 5, 5, 10, 10, 40, 40, {}}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(FrameTest, PixelAccessChecksItsCoordinates) {
  TGIFImage image;
  TGIFSubImage& frame = AddFrame(image, 0, 0, 3, 2, {0, 1, 2, 3, 4, 5});
  EXPECT_EQ(frame.Pixels(2, 1), 5);
  frame.SetPixels(0, 1, 9);
  EXPECT_EQ(frame.GetRow(1)[0], 9);
  for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {3, 0}, {0, -1}, {0, 2}})
    EXPECT_EQ(ErrorOf([&] { frame.Pixels(x, y); }), "Invalid pixel coordinates") << x << "," << y;

  TGIFSubImage empty(&image);
  EXPECT_EQ(ErrorOf([&] { empty.GetRow(0); }), "Image is empty");
  // A frame with a size but no pixels gets them on first access.
  TGIFSubImage sized(&image);
  sized.SetBounds(0, 0, 2, 2);
  sized.PixelData().clear();
  EXPECT_EQ(sized.Pixels(1, 1), 0);
  EXPECT_EQ(sized.PixelData().size(), 4u);
}

TEST(FrameTest, FrameWithoutLocalTableTakesTheGlobalColoursAndPalette) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(10, 20, 30), RGB(200, 100, 50)});
  TGIFSubImage& frame = AddFrame(image, 0, 0, 2, 1, {1, 0});
  ASSERT_EQ(frame.GetPalette().size(), 2u);
  EXPECT_EQ(frame.GetPalette()[1], (TPaletteEntry{200, 100, 50, 4}));
  TBitmap& bitmap = frame.GetBitmap();
  EXPECT_EQ(bitmap.BitsPerPixel(), 8);
  EXPECT_EQ(Pixel8(bitmap, 0, 0), (TRGB{200, 100, 50}));
  EXPECT_EQ(Pixel8(bitmap, 1, 0), (TRGB{10, 20, 30}));

  // A local table wins over the global one.
  frame.ColorMap().Add(RGB(1, 2, 3));
  frame.ColorMap().Add(RGB(4, 5, 6));
  EXPECT_FALSE(frame.HasBitmap()) << "a change of the local table leaves a stale bitmap";
  EXPECT_EQ(Pixel8(frame.GetBitmap(), 0, 0), (TRGB{4, 5, 6}));
}

TEST(FrameTest, PaletteOfAPictureWithoutAnyTableIsRefused) {
  TGIFImage image;
  TGIFSubImage& frame = AddFrame(image, 0, 0, 1, 1, {0});
  EXPECT_EQ(ErrorOf([&] { frame.GetBitmap(); }), "No global or local color table defined");
}

TEST(FrameTest, MaskMarksExactlyTheTransparentPixels) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 255, 0)});
  // 17 columns, so that the mask's rows span three bytes.
  std::vector<uint8_t> pixels(17 * 3);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(i % 3);
  TGIFSubImage& frame = AddFrame(image, 0, 0, 17, 3, pixels);
  SetTransparentIndex(frame, 2);
  ASSERT_TRUE(frame.HasMask());
  const TBitmap& mask = *frame.Mask();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 17; ++x) {
      const bool set = (mask.ScanLine(y)[x >> 3] >> (7 - (x & 7))) & 1;
      EXPECT_EQ(set, pixels[size_t(y) * 17 + x] == 2) << x << "," << y;
    }

  TGIFSubImage& opaque = AddFrame(image, 0, 0, 2, 1, {0, 1});
  SetTransparentIndex(opaque, 2);
  EXPECT_FALSE(opaque.HasMask()) << "a transparent frame without transparent pixels has no mask";
}

TEST(FrameTest, DrawingThroughTheMaskLeavesTransparentPixelsAlone) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(255, 0, 0), RGB(0, 0, 255)});
  TGIFSubImage& frame = AddFrame(image, 0, 0, 2, 2, {0, 1, 1, 0});
  SetTransparentIndex(frame, 1);
  TBitmap target(2, 2, 24);
  TGIFCanvas canvas(target);
  canvas.FillRect(canvas.ClipRect(), RGB(0, 200, 0));
  int changes = 0;
  canvas.OnChange = [&] { ++changes; };
  frame.Draw(canvas, canvas.ClipRect(), false, true);
  EXPECT_EQ(canvas.Pixel(0, 0), BGR(255, 0, 0));
  EXPECT_EQ(canvas.Pixel(1, 0), BGR(0, 200, 0));
  EXPECT_EQ(canvas.Pixel(0, 1), BGR(0, 200, 0));
  EXPECT_EQ(canvas.Pixel(1, 1), BGR(255, 0, 0));
  EXPECT_GE(changes, 1);

  frame.Draw(canvas, canvas.ClipRect(), false, false);
  EXPECT_EQ(canvas.Pixel(1, 0), BGR(0, 0, 255)) << "drawn opaque when transparency is not asked";
}

TEST(FrameTest, StretchingTakesTheNearestSourcePixelByPixelCentres) {
  TGIFImage image;
  std::vector<TColor> colors;
  for (int i = 0; i < 6; ++i)
    colors.push_back(RGB(40 * i, 0, 0));
  SetGlobalColors(image, colors);
  // 3 x 2 frame, indices 0..5, shown over 7 x 5 and over 2 x 1.
  TGIFSubImage& frame = AddFrame(image, 0, 0, 3, 2, {0, 1, 2, 3, 4, 5});
  for (auto [width, height] : std::vector<std::pair<int, int>>{{7, 5}, {2, 1}, {3, 2}}) {
    TBitmap target(width, height, 32);
    TGIFCanvas canvas(target);
    frame.Draw(canvas, canvas.ClipRect(), false, false);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const int sx = (2 * x + 1) * 3 / (2 * width);
        const int sy = (2 * y + 1) * 2 / (2 * height);
        EXPECT_EQ(canvas.Pixel(x, y), BGR(40 * (sy * 3 + sx), 0, 0))
            << width << "x" << height << " at " << x << "," << y;
      }
  }
}

// A copy at the source's own size takes every pixel (the fourth byte too)
// that lies inside both bitmaps and leaves the rest of the target alone,
// whichever edges the rectangles cross.
TEST(FrameTest, SameSizeCopyTakesWhatLiesInsideBothBitmaps) {
  TBitmap source(5, 4, 32);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      for (int b = 0; b < 4; ++b)
        source.ScanLine(y)[4 * x + b] = static_cast<uint8_t>(16 * y + 4 * x + b + 1);
  const std::vector<std::pair<TGIFRect, TGIFRect>> copies{
      {{0, 0, 5, 4}, {0, 0, 5, 4}},   // whole onto whole
      {{-2, -1, 3, 3}, {0, 0, 5, 4}}, // the target's left and top edges cut it
      {{3, 2, 8, 6}, {0, 0, 5, 4}},   // its right and bottom edges
      {{1, 1, 4, 3}, {2, 1, 5, 3}},   // a part from inside the source
      {{0, 0, 4, 4}, {-1, -2, 3, 2}}, // from beyond the source's top left
      {{2, 0, 6, 3}, {3, 2, 7, 5}},   // beyond its bottom right
      {{7, 0, 9, 2}, {0, 0, 2, 2}},   // wholly outside the target
  };
  for (const auto& [dest, from] : copies) {
    TBitmap target(6, 5, 32);
    std::fill(target.Bits().begin(), target.Bits().end(), uint8_t{0xEE});
    TGIFCanvas(target).CopyRect(dest, source, from);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) {
        const int sx = x - dest.Left + from.Left;
        const int sy = y - dest.Top + from.Top;
        const bool copied = x >= dest.Left && x < dest.Right && y >= dest.Top && y < dest.Bottom &&
                            sx >= 0 && sx < 5 && sy >= 0 && sy < 4;
        for (int b = 0; b < 4; ++b)
          EXPECT_EQ(target.ScanLine(y)[4 * x + b],
                    copied ? source.ScanLine(sy)[4 * sx + b] : uint8_t{0xEE})
              << "copy to " << dest.Left << "," << dest.Top << " from " << from.Left << ","
              << from.Top << " at " << x << "," << y;
      }
  }
}

TEST(FrameTest, FramesArePlacedByTheirOffsetScaledOrTiled) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 255, 255)});
  image.Header().ScreenDescriptor().ScreenWidth = 4;
  image.Header().ScreenDescriptor().ScreenHeight = 4;
  TGIFSubImage& frame = AddFrame(image, 2, 0, 2, 2, {1, 1, 1, 1});

  TBitmap scaled(8, 8, 32);
  TGIFCanvas scaledCanvas(scaled);
  frame.Draw(scaledCanvas, scaledCanvas.ClipRect(), false, false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(scaled.ScanLine(y)[4 * x + 3] != 0, x >= 4 && y < 4) << x << "," << y;

  // Tiled: cells of the logical screen's size, the frame unscaled in each.
  TBitmap tiled(8, 8, 32);
  TGIFCanvas tiledCanvas(tiled);
  frame.Draw(tiledCanvas, tiledCanvas.ClipRect(), true, false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(tiled.ScanLine(y)[4 * x + 3] != 0, x % 4 >= 2 && y % 4 < 2) << x << "," << y;
}

// Palette bitmaps: their table becomes the local table and their indices the pixels.
struct TDepthCase {
  int Bits;
  std::vector<uint8_t> Row; // packed, first pixel in the highest bits
  std::vector<uint8_t> Indices;
};

class PaletteBitmapImportTest : public ::testing::TestWithParam<TDepthCase> {};

TEST_P(PaletteBitmapImportTest, TakesTheTableAndTheIndices) {
  const TDepthCase& test = GetParam();
  const int width = static_cast<int>(test.Indices.size());
  TBitmap bitmap(width, 2, test.Bits);
  for (int y = 0; y < 2; ++y)
    std::copy(test.Row.begin(), test.Row.end(), bitmap.ScanLine(y));
  for (int i = 0; i < (1 << test.Bits) && i < 16; ++i)
    bitmap.Palette().push_back(BGR(i * 16, 255 - i * 16, i));

  TGIFImage image;
  TGIFSubImage& frame = AddFrame(image, 0, 0, 1, 1, {0});
  frame.Assign(bitmap);
  EXPECT_EQ(frame.Width(), width);
  EXPECT_EQ(frame.Height(), 2);
  ASSERT_EQ(frame.ColorMap().Count(), static_cast<int>(bitmap.Palette().size()));
  for (int i = 0; i < frame.ColorMap().Count(); ++i)
    EXPECT_EQ(frame.ColorMap().GetColor(i), RGB(i * 16, 255 - i * 16, i)) << i;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < width; ++x)
      EXPECT_EQ(frame.Pixels(x, y), test.Indices[size_t(x)]) << x;
}

INSTANTIATE_TEST_SUITE_P(Depths, PaletteBitmapImportTest,
                         ::testing::Values(TDepthCase{1, {0b10110000}, {1, 0, 1, 1}},
                                           TDepthCase{4, {0x3A, 0x50}, {3, 10, 5}},
                                           TDepthCase{8, {7, 0, 15}, {7, 0, 15}}));

TEST(FrameTest, TrueColourImportCollectsColoursInOrderOfFirstAppearance) {
  TGIFImage image;
  image.ColorReduction = crNone;
  // Ten colours in turn: more than the cache of eight holds, so colours come
  // back after they left it.
  auto bitmap = MakePicture(30, 2, [](int x, int y) { return TRGB{((x + y) % 10) * 20, 7, 9}; });
  TGIFSubImage& frame = AddFrame(image, 0, 0, 1, 1, {0});
  frame.Assign(*bitmap);
  ASSERT_EQ(frame.ColorMap().Count(), 10) << "a colour that left the cache was added again";
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(frame.ColorMap().GetColor(i), RGB(i * 20, 7, 9));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 30; ++x)
      EXPECT_EQ(frame.Pixels(x, y), (x + y) % 10);
}

TEST(FrameTest, TrueColourImportWithoutReductionOverflowsPast256Colours) {
  TGIFImage image;
  image.ColorReduction = crNone;
  auto bitmap = MakePicture(300, 1, [](int x, int) { return TRGB{x % 256, x / 256, 0}; });
  TGIFSubImage frame(&image);
  EXPECT_EQ(ErrorOf([&] { frame.Assign(*bitmap); }), "Color table overflow");
}

TEST(FrameTest, TrueColourImportReducesByThePicturesMethod) {
  TGIFImage image; // crNetscape216 by default
  auto bitmap = MakePicture(4, 1, [](int x, int) { return TRGB{x * 60, 255, 10}; });
  TGIFSubImage& frame = AddFrame(image, 0, 0, 1, 1, {0});
  frame.Assign(*bitmap);
  for (int x = 0; x < 4; ++x) {
    const TColor color = frame.ColorMap().GetColor(frame.Pixels(x, 0));
    const int red = (x * 60 + 3) / 51 * 51;
    EXPECT_EQ(color, RGB(red, 255, 0)) << x;
  }
}

TEST(FrameTest, MaskGivesTheFrameATransparentIndex) {
  TGIFImage image;
  image.ColorReduction = crNone;
  auto bitmap = MakePicture(4, 1, [](int x, int) { return TRGB{x < 2 ? 255 : 0, 0, 255}; });
  TBitmap mask(4, 1, 1);
  mask.Palette() = {0, 0xFFFFFF};
  mask.ScanLine(0)[0] = 0b01000000; // pixel 1
  TGIFSubImage& frame = AddFrame(image, 0, 0, 1, 1, {0});
  frame.Assign(*bitmap, &mask);
  ASSERT_TRUE(frame.Transparent());
  ASSERT_NE(frame.GraphicControlExtension(), nullptr);
  const int index = frame.TransparentIndex();
  EXPECT_EQ(index, frame.ColorMap().Count() - 1) << "a black entry added for transparency";
  EXPECT_EQ(frame.ColorMap().GetColor(index), RGB(0, 0, 0));
  EXPECT_EQ(frame.Pixels(1, 0), index);
  EXPECT_NE(frame.Pixels(0, 0), index);
  EXPECT_EQ(frame.ColorMap().GetColor(frame.Pixels(0, 0)), RGB(255, 0, 255));
  EXPECT_EQ(frame.ColorMap().GetColor(frame.Pixels(3, 0)), RGB(0, 0, 255));

  // A mask with nothing set leaves the frame opaque and its table as it was.
  TBitmap clear(4, 1, 1);
  TGIFSubImage& other = AddFrame(image, 0, 0, 1, 1, {0});
  other.Assign(*bitmap, &clear);
  EXPECT_FALSE(other.Transparent());
  EXPECT_EQ(other.ColorMap().Count(), 2);
}

TEST(FrameTest, DitheredRenderingUsesTheCubeAndSkipsTransparentPixels) {
  TGIFImage image;
  image.DrawOptions = gdDither; // dithers whatever the display
  ASSERT_TRUE(image.ShouldDither());
  SetGlobalColors(image, {RGB(51, 102, 153), RGB(255, 255, 255), RGB(0, 0, 0)});
  TGIFSubImage& frame = AddFrame(image, 0, 0, 3, 2, {0, 1, 2, 2, 1, 0});
  SetTransparentIndex(frame, 2);
  TBitmap& bitmap = frame.GetBitmap();
  ASSERT_EQ(bitmap.Palette().size(), 216u);
  // Colours on the cube come out exact, so no error spreads.
  EXPECT_EQ(Index8(bitmap, 0, 0), 1 * 36 + 2 * 6 + 3);
  EXPECT_EQ(Index8(bitmap, 1, 0), 215);
  EXPECT_EQ(Index8(bitmap, 1, 1), 215);
  EXPECT_EQ(Index8(bitmap, 2, 1), 1 * 36 + 2 * 6 + 3);
  ASSERT_TRUE(frame.HasMask());
  EXPECT_EQ(frame.Mask()->ScanLine(0)[0], 0b00100000);
  EXPECT_EQ(frame.Mask()->ScanLine(1)[0], 0b10000000);
}

TEST(FrameTest, CropCutsTransparentBordersAndEmptiesAnAllTransparentFrame) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 255, 255)});
  // 4 x 3 with one opaque pixel at (2, 1) and one at (1, 2).
  TGIFSubImage& frame = AddFrame(image, 5, 6, 4, 3, {0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0});
  SetTransparentIndex(frame, 0);
  frame.Crop();
  EXPECT_EQ(frame.BoundsRect(), (TGIFRect{6, 7, 8, 9}));
  EXPECT_EQ(frame.PixelData(), (std::vector<uint8_t>{0, 1, 1, 0}));

  TGIFSubImage& clear = AddFrame(image, 0, 0, 2, 2, {0, 0, 0, 0});
  SetTransparentIndex(clear, 0);
  clear.Crop();
  EXPECT_TRUE(clear.Empty());

  TGIFSubImage& opaque = AddFrame(image, 0, 0, 2, 1, {0, 1});
  opaque.Crop();
  EXPECT_EQ(opaque.Width(), 2) << "only transparent frames are cropped";
}

TEST(FrameTest, MergeTurnsRepeatedPixelsTransparent) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 255, 0)});
  TGIFSubImage& first = AddFrame(image, 0, 0, 3, 1, {1, 1, 2});
  TGIFSubImage& second = AddFrame(image, 1, 0, 2, 1, {1, 1});
  second.Merge(&first);
  ASSERT_TRUE(second.Transparent());
  const int index = second.TransparentIndex();
  EXPECT_EQ(index, 3) << "a black entry added to the global table";
  EXPECT_EQ(second.PixelData(), (std::vector<uint8_t>{static_cast<uint8_t>(index), 1}));
}

TEST(FrameTest, MergeLeavesAFrameAfterARestoringFrameAlone) {
  for (int disposal : {dmBackground, dmPrevious}) {
    TGIFImage image;
    SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 0, 0)});
    TGIFSubImage& first = AddFrame(image, 0, 0, 2, 1, {1, 1});
    SetTiming(first, 0, disposal);
    TGIFSubImage& second = AddFrame(image, 0, 0, 2, 1, {1, 1});
    second.Merge(&first);
    EXPECT_FALSE(second.Transparent()) << disposal;
    EXPECT_EQ(second.PixelData(), (std::vector<uint8_t>{1, 1})) << disposal;
  }
}

TEST(FrameTest, MergeBorrowsAnotherFramesTransparentIndexOnlyWhenUnused) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 255, 0)});
  TGIFSubImage& first = AddFrame(image, 0, 0, 2, 1, {1, 1});
  SetTransparentIndex(first, 2);
  // This frame shows colour 2 itself: borrowing 2 as its transparent index
  // would hide that pixel.
  TGIFSubImage& second = AddFrame(image, 0, 0, 2, 1, {1, 2});
  second.Merge(&first);
  ASSERT_TRUE(second.Transparent());
  EXPECT_NE(second.TransparentIndex(), 2);
  EXPECT_EQ(second.Pixels(1, 0), 2);
}

} // namespace
