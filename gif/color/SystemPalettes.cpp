// The stock and halftone palettes, written down once.
#include "SystemPalettes.h"

#include <array>
#include <cstddef>

namespace {

// Windows' stock default palette (the DEFAULT_PALETTE stock object): the 20
// static colours of a 256-colour screen, red, green, blue. The first ten sit
// at the bottom of the system palette, the last ten at its top.
constexpr std::array<std::array<uint8_t, 3>, 20> StockColors{{
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0xC0, 0xDC, 0xC0}, {0xA6, 0xCA, 0xF0}, {0xFF, 0xFB, 0xF0}, {0xA0, 0xA0, 0xA4},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
}};

// Windows' halftone palette keeps the static colours at both ends and fills
// the 236 entries between them with the 6x6x6 cube of the levels 0, 51, 102,
// 153, 204, 255 and extra grey levels. Its exact order is not published;
// ours is the cube with red varying fastest at 10-225, then these 20 greys,
// spaced evenly between the cube's own greys, at 226-245.
constexpr std::array<uint8_t, 20> HalftoneGreys{12,  24,  36,  49,  61,  73,  85,  97,  109, 121,
                                                134, 146, 158, 170, 182, 194, 206, 219, 231, 243};

TPaletteEntry Stock(int AIndex) {
  const auto& c = StockColors[static_cast<size_t>(AIndex)];
  return {c[0], c[1], c[2], 0};
}

TPalette MakeStockPalette() {
  TPalette palette;
  for (int i = 0; i < 20; ++i)
    palette.push_back(Stock(i));
  return palette;
}

TPalette MakeHalftonePalette() {
  TPalette palette;
  for (int i = 0; i < 10; ++i)
    palette.push_back(Stock(i));
  for (int b = 0; b < 6; ++b)
    for (int g = 0; g < 6; ++g)
      for (int r = 0; r < 6; ++r)
        palette.push_back({static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                           static_cast<uint8_t>(b * 51), 0});
  for (uint8_t grey : HalftoneGreys)
    palette.push_back({grey, grey, grey, 0});
  for (int i = 10; i < 20; ++i)
    palette.push_back(Stock(i));
  return palette;
}

TPalette MakeVGAPalette() {
  TPalette palette;
  for (int i = 0; i < 8; ++i)
    palette.push_back(Stock(i));
  for (int i = 12; i < 20; ++i)
    palette.push_back(Stock(i));
  return palette;
}

} // namespace

const TPalette& StockPalette() {
  static const TPalette palette = MakeStockPalette();
  return palette;
}

const TPalette& HalftonePalette() {
  static const TPalette palette = MakeHalftonePalette();
  return palette;
}

const TPalette& DefaultPaletteForDepth(int ABitsPerPixel) {
  static const TPalette monochrome{Stock(0), Stock(19)};
  static const TPalette vga = MakeVGAPalette();
  if (ABitsPerPixel == 1) return monochrome;
  if (ABitsPerPixel == 4) return vga;
  return HalftonePalette();
}
