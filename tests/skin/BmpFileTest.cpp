// BMP pictures as skin files carry them: the depths and layouts the reader
// takes, and files it refuses without reading past their end.
#include "BmpFile.h"
#include "SkinCanvas.h"
#include "SkinColor.h"

#include <gtest/gtest.h>

namespace {

void Put16(std::vector<uint8_t>& A, uint32_t V) {
  A.push_back(static_cast<uint8_t>(V));
  A.push_back(static_cast<uint8_t>(V >> 8));
}
void Put32(std::vector<uint8_t>& A, uint32_t V) {
  Put16(A, V & 0xFFFF);
  Put16(A, V >> 16);
}

// A BMP file with a 40-byte header, the given palette or masks and rows
// (bottom-up unless the height is negative).
std::vector<uint8_t> Bmp(int AWidth, int AHeight, int ABpp, uint32_t ACompression,
                         const std::vector<uint32_t>& AExtra,
                         const std::vector<std::vector<uint8_t>>& ARows) {
  std::vector<uint8_t> out = {'B', 'M'};
  const uint32_t offset = 14 + 40 + static_cast<uint32_t>(AExtra.size()) * 4;
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(AWidth));
  Put32(out, static_cast<uint32_t>(AHeight));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(ABpp));
  Put32(out, ACompression);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, ACompression == 3 ? 0 : static_cast<uint32_t>(AExtra.size()));
  Put32(out, 0);
  for (const uint32_t v : AExtra)
    Put32(out, v);
  for (const auto& row : ARows)
    out.insert(out.end(), row.begin(), row.end());
  return out;
}

TColor At(const TBitmap& ABitmap, int AX, int AY) {
  return PixelToColor(BitmapPixel(ABitmap, AX, AY));
}

TEST(BmpFileTest, TwentyFourBitRoundTrip) {
  TBitmap picture(5, 3, 32);
  TSkinCanvas canvas(picture);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      canvas.SetPixel(x, y,
                      MakeColor(static_cast<uint8_t>(x * 50), static_cast<uint8_t>(y * 90), 7));
  TBitmap back;
  ASSERT_TRUE(LoadBmp(SaveBmp(picture), back));
  ASSERT_EQ(back.Width(), 5);
  ASSERT_EQ(back.Height(), 3);
  EXPECT_EQ(back.BitsPerPixel(), 32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(At(back, x, y), At(picture, x, y)) << x << "," << y;
}

TEST(BmpFileTest, PaletteDepthsAndBitOrder) {
  // Palette entries are B,G,R,0: index 1 is red, index 2 green.
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  TBitmap one;
  ASSERT_TRUE(LoadBmp(Bmp(3, 1, 1, 0, palette, {{0xA0, 0, 0, 0}}), one)); // 1 0 1
  EXPECT_EQ(At(one, 0, 0), 0x0000FF);
  EXPECT_EQ(At(one, 1, 0), 0x000000);
  EXPECT_EQ(At(one, 2, 0), 0x0000FF);
  TBitmap four;
  ASSERT_TRUE(LoadBmp(Bmp(3, 1, 4, 0, palette, {{0x12, 0x30, 0, 0}}), four));
  EXPECT_EQ(At(four, 0, 0), 0x0000FF);
  EXPECT_EQ(At(four, 1, 0), 0x00FF00);
  EXPECT_EQ(At(four, 2, 0), 0xFF0000);
  TBitmap eight;
  ASSERT_TRUE(LoadBmp(Bmp(2, 2, 8, 0, palette, {{2, 9, 0, 0}, {1, 3, 0, 0}}), eight));
  EXPECT_EQ(At(eight, 0, 0), 0x0000FF); // the last row of the file is the top
  EXPECT_EQ(At(eight, 1, 0), 0xFF0000);
  EXPECT_EQ(At(eight, 0, 1), 0x00FF00);
  EXPECT_EQ(At(eight, 1, 1), 0x000000); // an index past the palette is black
}

TEST(BmpFileTest, MaskedAndTopDownPictures) {
  TBitmap rgb565;
  // Masks 565: pure red then pure blue.
  ASSERT_TRUE(
      LoadBmp(Bmp(2, -1, 16, 3, {0xF800, 0x07E0, 0x001F}, {{0x00, 0xF8, 0x1F, 0x00}}), rgb565));
  EXPECT_EQ(At(rgb565, 0, 0), 0x0000FF);
  EXPECT_EQ(At(rgb565, 1, 0), 0xFF0000);
  TBitmap rgb32;
  ASSERT_TRUE(
      LoadBmp(Bmp(1, -2, 32, 0, {}, {{0x10, 0x20, 0x30, 0}, {0x40, 0x50, 0x60, 0}}), rgb32));
  EXPECT_EQ(At(rgb32, 0, 0), 0x102030);
  EXPECT_EQ(At(rgb32, 0, 1), 0x405060);
}

TEST(BmpFileTest, RefusesWhatItCannotRead) {
  const std::vector<uint8_t> good =
      Bmp(4, 2, 24, 0, {}, {std::vector<uint8_t>(12, 1), std::vector<uint8_t>(12, 2)});
  TBitmap out;
  ASSERT_TRUE(LoadBmp(good, out));
  const auto refused = [&](std::vector<uint8_t> AFile) { return !LoadBmp(AFile, out); };
  EXPECT_TRUE(refused({}));
  EXPECT_TRUE(refused(std::vector<uint8_t>(good.begin(), good.end() - 1))); // last row cut
  std::vector<uint8_t> spoiled = good;
  spoiled[0] = 'X';
  EXPECT_TRUE(refused(spoiled));
  spoiled = good;
  spoiled[30] = 1; // run-length compression
  EXPECT_TRUE(refused(spoiled));
  spoiled = good;
  spoiled[28] = 7; // 7 bits per pixel
  EXPECT_TRUE(refused(spoiled));
  spoiled = good;
  spoiled[10] = 0xFF; // pixels past the end
  spoiled[11] = 0xFF;
  EXPECT_TRUE(refused(spoiled));
  spoiled = good;
  spoiled[18] = 0xFF; // a width whose rows cannot be there
  spoiled[19] = 0xFF;
  spoiled[20] = 0xFF;
  EXPECT_TRUE(refused(spoiled));
  spoiled = good;
  spoiled[14] = 0xF0; // a header larger than the file
  EXPECT_TRUE(refused(spoiled));
}

} // namespace
