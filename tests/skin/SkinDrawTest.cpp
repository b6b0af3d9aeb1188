// The drawing helpers on TBitmap: frame cutting, three-part strips, nine
// slices, gradients, regions, the parent's background, "..." shortening,
// points on rectangle edges and colour packing.
#include "SkinDraw.h"

#include <gtest/gtest.h>

namespace {

// A picture whose pixel (x, y) has red x and green y.
TBitmap Ramp(int AWidth, int AHeight) {
  TBitmap picture(AWidth, AHeight, 32);
  TSkinCanvas canvas(picture);
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x)
      canvas.SetPixel(x, y, MakeColor(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 1));
  return picture;
}

int Red(TColor AColor) {
  return AColor & 0xFF;
}
int Green(TColor AColor) {
  return (AColor >> 8) & 0xFF;
}

TColor At(TBitmap& ABitmap, int AX, int AY) {
  return TSkinCanvas(ABitmap).Pixel(AX, AY);
}

TBitmap Blank(int AWidth, int AHeight, TColor AColor = 0x000000) {
  TBitmap picture(AWidth, AHeight, 32);
  TSkinCanvas(picture).FillRect({0, 0, AWidth, AHeight}, AColor);
  return picture;
}

TEST(CutFrameTest, HundredPixelsInThreeFrames) {
  const TBitmap strip = Ramp(100, 4);
  const struct {
    int Frame;
    int FirstColumn;
  } cases[] = {{1, 0}, {2, 33}, {3, 67}};
  for (const auto& c : cases) {
    TBitmap frame;
    CutFrame(strip, frame, 3, c.Frame);
    ASSERT_EQ(frame.Width(), 33) << c.Frame;
    ASSERT_EQ(frame.Height(), 4);
    EXPECT_EQ(Red(At(frame, 0, 0)), c.FirstColumn) << c.Frame;
    EXPECT_EQ(Red(At(frame, 32, 3)), c.FirstColumn + 32) << c.Frame;
    EXPECT_EQ(Green(At(frame, 32, 3)), 3);
  }
}

TEST(CutFrameTest, EighteenFramesOfTheTitleButtons) {
  const TBitmap strip = Ramp(18 * 7, 5);
  TBitmap frame;
  CutFrame(strip, frame, 18, 13);
  ASSERT_EQ(frame.Width(), 7);
  EXPECT_EQ(Red(At(frame, 0, 0)), 12 * 7);
}

TEST(ThreePartStripTest, ANarrowRectangleTakesTheFirstFramesLeftColumns) {
  const TBitmap strip = Ramp(36, 3); // frames of 12 pixels
  TBitmap target = Blank(30, 5, 0xABCDEF);
  TSkinCanvas canvas(target);
  DrawThreePartStrip(strip, canvas, {4, 1, 14, 4}, 0, false);
  for (int x = 0; x < 30; ++x) {
    const TColor c = At(target, x, 2);
    if (x >= 4 && x < 14)
      EXPECT_EQ(Red(c), x - 4) << x;
    else
      EXPECT_EQ(c, 0xABCDEF) << x;
  }
}

TEST(ThreePartStripTest, EndsStayAndTheMiddleStretches) {
  const TBitmap strip = Ramp(36, 3);
  TBitmap target = Blank(60, 3, 0xABCDEF);
  TSkinCanvas canvas(target);
  DrawThreePartStrip(strip, canvas, {0, 0, 60, 3}, 0, false);
  EXPECT_EQ(Red(At(target, 0, 0)), 0);
  EXPECT_EQ(Red(At(target, 11, 0)), 11);
  EXPECT_EQ(Red(At(target, 48, 0)), 24); // the third frame from right - 12
  EXPECT_EQ(Red(At(target, 59, 0)), 35);
  for (int x = 12; x < 48; ++x) {
    const int r = Red(At(target, x, 1));
    EXPECT_TRUE(r >= 12 && r < 24) << x; // only the middle frame in between
  }
}

TEST(ThreePartStripTest, MaskedLeavesTheMaskColourOut) {
  TBitmap strip = Blank(9, 2, 0x00FF00);
  TSkinCanvas(strip).SetPixel(0, 0, 0x0000FF);
  TBitmap target = Blank(9, 2, 0x123456);
  TSkinCanvas canvas(target);
  DrawThreePartStrip(strip, canvas, {0, 0, 9, 2}, 0x0000FF, true);
  EXPECT_EQ(At(target, 0, 0), 0x123456);
  EXPECT_EQ(At(target, 1, 0), 0x00FF00);
}

TEST(PointInRectTest, EdgesAreInside) {
  const TRect r{10, 20, 30, 40};
  const struct {
    TPoint P;
    bool Inside;
  } cases[] = {{{10, 20}, true},  {{30, 40}, true},  {{10, 40}, true},
               {{30, 20}, true},  {{20, 30}, true},  {{9, 30}, false},
               {{31, 30}, false}, {{20, 19}, false}, {{20, 41}, false}};
  for (const auto& c : cases)
    EXPECT_EQ(PointInRect(c.P, r), c.Inside) << c.P.X << "," << c.P.Y;
}

TEST(GradientTest, TwoRowsAreJustTheEndColours) {
  TBitmap target = Blank(4, 2);
  TSkinCanvas canvas(target);
  DrawVerticalGradient(canvas, {0, 0, 4, 2}, 0x102030, 0x607080);
  EXPECT_EQ(At(target, 0, 0), 0x102030);
  EXPECT_EQ(At(target, 3, 1), 0x607080);
}

TEST(GradientTest, RowsStepFromTheRowBelowTheTop) {
  TBitmap target = Blank(1, 6);
  TSkinCanvas canvas(target);
  DrawVerticalGradient(canvas, {0, 0, 1, 6}, MakeColor(0, 0, 0), MakeColor(100, 0, 0));
  // Row y (1..4) takes round(100 / 6 * (y - 1)), halves to even.
  const int expected[6] = {0, 0, 17, 33, 50, 100};
  for (int y = 0; y < 6; ++y)
    EXPECT_EQ(Red(At(target, 0, y)), expected[y]) << y;
}

TEST(GradientTest, ColumnsStepFromTheLeftColumn) {
  TBitmap target = Blank(6, 1);
  TSkinCanvas canvas(target);
  DrawHorizontalGradient(canvas, {0, 0, 6, 1}, MakeColor(0, 0, 0), MakeColor(100, 0, 0));
  // Column x (1..4) takes round(100 / 6 * x).
  const int expected[6] = {0, 17, 33, 50, 67, 100};
  for (int x = 0; x < 6; ++x)
    EXPECT_EQ(Red(At(target, x, 0)), expected[x]) << x;
}

TEST(GradientTest, AnEmptyRectangleDrawsNothing) {
  TBitmap target = Blank(3, 3, 0x111111);
  TSkinCanvas canvas(target);
  DrawVerticalGradient(canvas, {0, 1, 3, 1}, 0xFFFFFF, 0xFFFFFF);
  DrawHorizontalGradient(canvas, {1, 0, 1, 3}, 0xFFFFFF, 0xFFFFFF);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(At(target, x, y), 0x111111);
}

TEST(GradientTest, SystemColoursAreResolved) {
  TBitmap target = Blank(1, 2);
  TSkinCanvas canvas(target);
  DrawVerticalGradient(canvas, {0, 0, 1, 2}, static_cast<TColor>(0xFF00000F), 0);
  EXPECT_EQ(At(target, 0, 0), ColorToRGB(static_cast<TColor>(0xFF00000F)));
}

TEST(NineSliceTest, CornersKeepTheirSizeAndTheMiddleStretches) {
  const TBitmap picture = Ramp(5, 5); // hw = hh = 2; middle column and row 2
  TBitmap target = Blank(20, 12, 0xABCDEF);
  TSkinCanvas canvas(target);
  DrawNineSlice(picture, canvas, {0, 0, 20, 12}, false);
  EXPECT_EQ(At(target, 0, 0), At(const_cast<TBitmap&>(picture), 0, 0));
  EXPECT_EQ(At(target, 1, 1), At(const_cast<TBitmap&>(picture), 1, 1));
  EXPECT_EQ(At(target, 19, 0), At(const_cast<TBitmap&>(picture), 4, 0));
  EXPECT_EQ(At(target, 19, 11), At(const_cast<TBitmap&>(picture), 4, 4));
  EXPECT_EQ(At(target, 0, 11), At(const_cast<TBitmap&>(picture), 0, 4));
  for (int x = 2; x < 19; ++x)
    for (int y = 2; y < 11; ++y)
      EXPECT_EQ(At(target, x, y), At(const_cast<TBitmap&>(picture), 2, 2)) << x << "," << y;
  EXPECT_EQ(At(target, 10, 0), At(const_cast<TBitmap&>(picture), 2, 0));
  EXPECT_EQ(At(target, 0, 6), At(const_cast<TBitmap&>(picture), 0, 2));
}

TEST(NineSliceTest, ASmallDestinationCutsTheCornersToHalfItsSize) {
  const TBitmap picture = Ramp(21, 21); // corners of 10 and 9
  TBitmap target = Blank(8, 6, 0xABCDEF);
  TSkinCanvas canvas(target);
  DrawNineSlice(picture, canvas, {0, 0, 8, 6}, false);
  // At most 4 x 3 of each corner, keeping the outer edge.
  EXPECT_EQ(At(target, 3, 2), At(const_cast<TBitmap&>(picture), 3, 2));
  EXPECT_EQ(At(target, 7, 5), At(const_cast<TBitmap&>(picture), 20, 20));
  EXPECT_EQ(At(target, 4, 3), At(const_cast<TBitmap&>(picture), 17, 18));
}

TEST(NineSliceTest, TransparentLeavesMagentaOutAndEvenSizesStillFill) {
  TBitmap picture = Blank(4, 4, 0x00FF00);
  TSkinCanvas(picture).SetPixel(0, 0, 0xFF00FF);
  TBitmap target = Blank(10, 10, 0x123456);
  TSkinCanvas canvas(target);
  DrawNineSlice(picture, canvas, {0, 0, 10, 10}, true);
  EXPECT_EQ(At(target, 0, 0), 0x123456);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      if (x || y) {
        EXPECT_EQ(At(target, x, y), 0x00FF00) << x << "," << y;
      }
}

TEST(RegionTest, RunsOfNonTransparentPixelsPerRow) {
  TBitmap picture = Blank(6, 2, 0xFF00FF);
  TSkinCanvas canvas(picture);
  canvas.FillRect({1, 0, 3, 1}, 0x000000);
  canvas.SetPixel(5, 0, 0x010101);
  canvas.FillRect({0, 1, 6, 2}, 0x000000);
  const std::vector<TRect> region = RegionFromBitmap(picture, 0xFF00FF);
  const std::vector<TRect> expected = {{1, 0, 3, 1}, {5, 0, 6, 1}, {0, 1, 6, 2}};
  EXPECT_EQ(region, expected);
}

TEST(ParentBackgroundTest, ThePartOfTheParentUnderTheControl) {
  TControlParent parent;
  parent.ControlPos = {10, 5};
  parent.ParentClient = {0, 0, 14, 100};
  parent.EraseBackground = [](TSkinCanvas& ACanvas) {
    ACanvas.FillRect({0, 0, 100, 100}, 0x0000FF);
  };
  parent.Paint = [](TSkinCanvas& ACanvas) { ACanvas.SetPixel(11, 6, 0x00FF00); };
  TBitmap control = Blank(8, 4, 0x000000);
  TSkinCanvas canvas(control);
  PaintParentBackground(canvas, &parent);
  EXPECT_EQ(At(control, 0, 0), 0x0000FF);
  EXPECT_EQ(At(control, 1, 1), 0x00FF00);
  EXPECT_EQ(At(control, 4, 0), 0x000000); // past the parent's client area
  // The canvas is as it was afterwards.
  canvas.SetPixel(0, 0, 0xFFFFFF);
  EXPECT_EQ(At(control, 0, 0), 0xFFFFFF);

  TBitmap orphan = Blank(2, 2, 0x000000);
  TSkinCanvas orphanCanvas(orphan);
  PaintParentBackground(orphanCanvas, nullptr);
  EXPECT_EQ(At(orphan, 0, 0), 0x000000);
}

TEST(EllipsisTextTest, ShortensToTheFirstPrefixThatReachesTheLimit) {
  // Every character (code point) is 10 pixels wide.
  const TTextWidth measure = [](const std::string& AText) {
    int width = 0;
    for (const char c : AText)
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) width += 10;
    return width;
  };
  const struct {
    const char* Text;
    int Limit;
    const char* Expected;
  } cases[] = {
      {"Short", 50, "Short"},
      {"Short", 100, "Short"},
      {"Recorder", 60, "Rec..."},
      {"Recorder", 65, "Reco..."},
      {"Recorder", 0, "R..."},
      {"Ab", 15, "A..."},
      {"\xC3\xA9t\xC3\xA9 long", 55, "\xC3\xA9t\xC3\xA9..."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EllipsisText(measure, c.Text, c.Limit), c.Expected) << c.Text << " " << c.Limit;
}

TEST(ColorTest, PackingAndSplitting) {
  EXPECT_EQ(MakeColor(0x11, 0x22, 0x33), 0x332211);
  const TColorParts parts = SplitColor(0x332211);
  EXPECT_EQ(parts.Red, 0x11);
  EXPECT_EQ(parts.Green, 0x22);
  EXPECT_EQ(parts.Blue, 0x33);
  const TColorParts face = SplitColor(static_cast<TColor>(0xFF00000F)); // button face
  EXPECT_EQ(MakeColor(face.Red, face.Green, face.Blue),
            ColorToRGB(static_cast<TColor>(0xFF00000F)));
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF000005)), 0xFFFFFF); // window
}

} // namespace
