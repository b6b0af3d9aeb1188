// The benchmarks' text hook (see HookText.h).
#include "HookText.h"

#include "Bitmap.h"
#include "FFText.h"

#include <cstring>

namespace {

constexpr int kScale = 3;

// Rows of five bits, the leftmost pixel in bit 4.
struct TGlyph {
  char Char;
  uint8_t Rows[7];
};
const TGlyph kGlyphs[] = {
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
    {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {30, 1, 1, 14, 1, 1, 30}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
    {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},
    {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {':', {0, 12, 12, 0, 12, 12, 0}},    {'.', {0, 0, 0, 0, 0, 12, 12}},
    {'V', {17, 17, 17, 17, 17, 10, 4}},  {'e', {0, 0, 14, 17, 31, 16, 14}},
    {'x', {0, 0, 17, 10, 4, 10, 17}},    {'m', {0, 0, 26, 21, 21, 17, 17}},
    {'o', {0, 0, 14, 17, 17, 17, 14}},   {'r', {0, 0, 22, 25, 16, 16, 16}},
    {'a', {0, 0, 14, 1, 15, 17, 15}},    {'f', {6, 9, 8, 28, 8, 8, 8}},
};

const TGlyph* GlyphOf(char AChar) {
  for (const TGlyph& glyph : kGlyphs)
    if (glyph.Char == AChar) return &glyph;
  return nullptr;
}

// One pixel of the colour (white or black) in the bitmap's layout.
void Plot(TBitmap& ABitmap, int AX, int AY, bool AWhite) {
  if (AX < 0 || AY < 0 || AX >= ABitmap.Width() || AY >= ABitmap.Height()) return;
  uint8_t* row = ABitmap.ScanLine(AY);
  const uint8_t value = AWhite ? 0xFF : 0x00;
  switch (ABitmap.BitsPerPixel()) {
  case 8:
    row[AX] = value;
    break;
  case 15:
  case 16:
    row[2 * AX] = row[2 * AX + 1] = value;
    break;
  case 24:
    std::memset(row + 3 * AX, value, 3);
    break;
  default:
    std::memset(row + 4 * AX, value, 4);
  }
}

void DrawGlyphs(TBitmap& ABitmap, int AX, int AY, const std::string& AText, bool AWhite) {
  int x = AX;
  for (char c : AText) {
    if (const TGlyph* glyph = GlyphOf(c))
      for (int row = 0; row < 7; ++row)
        for (int column = 0; column < 5; ++column)
          if (glyph->Rows[row] & (16 >> column))
            for (int dy = 0; dy < kScale; ++dy)
              for (int dx = 0; dx < kScale; ++dx)
                Plot(ABitmap, x + column * kScale + dx, AY + row * kScale + dy, AWhite);
    x += 6 * kScale;
  }
}

} // namespace

void DrawTextLine(TBitmap& ABitmap, int AX, int AY, const std::string& AText) {
  DrawGlyphs(ABitmap, AX + 2, AY + 2, AText, false);
  DrawGlyphs(ABitmap, AX, AY, AText, true);
}

void SetTextHook(TCustomEncoder& AEncoder) {
  AEncoder.OnVideoInputHook = [](TCustomEncoder*, PHookInfo AInfo) {
    const long long ms = AInfo->PTS / 1000;
    const std::string text =
        FormatText("Vexmora %02lld:%02lld:%02lld.%03lld frame %d", ms / 3600000, ms / 60000 % 60,
                   ms / 1000 % 60, ms % 1000, AInfo->FrameNumber);
    DrawTextLine(*AInfo->Bitmap, 16, AInfo->Bitmap->Height() - 48, text);
  };
}
