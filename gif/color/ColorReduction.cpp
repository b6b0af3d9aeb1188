// The reduction road, its palettes and the octree palette.
#include "ColorReduction.h"

#include <algorithm>

#include "ColorLookup.h"
#include "ColorQuantizer.h"
#include "GIFException.h"
#include "SystemPalettes.h"

namespace {

// Pictures above this size get a 1-bit result bitmap until the reduced
// picture replaces it, so that no full-depth bitmap is held meanwhile.
constexpr int64_t LargePicturePixels = 500000;

constexpr uint8_t NoCollapse = 4;

TPaletteEntry Grey(int ALevel, uint8_t AFlags) {
  const auto level = static_cast<uint8_t>(ALevel);
  return {level, level, level, AFlags};
}

std::unique_ptr<TColorLookup> CreateLookup(TGIFColorReduction AReduction,
                                           const TPalette& APalette) {
  switch (AReduction) {
  case crBlackWhite:
    return std::make_unique<TMonochromeLookup>(APalette);
  case crGrays256:
    return std::make_unique<TGrayScaleLookup>(APalette);
  case crNetscape216:
    return std::make_unique<TNetscapeColorLookup>(APalette);
  default:
    return std::make_unique<TSlowColorLookup>(APalette);
  }
}

} // namespace

TPalette CreateNetscapePalette() {
  TPalette palette;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        palette.push_back({static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
                           static_cast<uint8_t>(51 * b), 0});
  return palette;
}

TPalette CreateGrayScalePalette() {
  TPalette palette;
  for (int i = 0; i < 256; ++i)
    palette.push_back(Grey(i, NoCollapse));
  return palette;
}

TPalette CreateMonochromePalette() {
  return {Grey(0, NoCollapse), Grey(255, NoCollapse)};
}

TPalette CreateFourGrayPalette() {
  return {Grey(0, NoCollapse), Grey(128, NoCollapse), Grey(192, NoCollapse), Grey(255, NoCollapse)};
}

TPalette CreateScreenHalftonePalette() {
  return HalftonePalette();
}

TPalette CreateOptimizedPalette(TDIBReader& AReader, int AColorCount, int AColorBits,
                                bool AWithSystemColors) {
  int count = std::clamp(AColorCount, 0, 256);
  int first = 0;
  if (AWithSystemColors) {
    count = 236;
    first = 10;
  }
  TColorQuantizer quantizer(count, AColorBits);
  quantizer.ProcessImage(AReader);
  const TPalette colors = quantizer.GetColorTable();

  TPalette palette(static_cast<size_t>(first + count + first), Grey(0, NoCollapse));
  if (AWithSystemColors) {
    const TPalette& stock = StockPalette();
    std::copy(stock.begin(), stock.begin() + 10, palette.begin());
    std::copy(stock.begin() + 10, stock.end(), palette.end() - 10);
  }
  const size_t used = std::min(colors.size(), static_cast<size_t>(count));
  std::copy(colors.begin(), colors.begin() + static_cast<std::ptrdiff_t>(used),
            palette.begin() + first);
  if (used > 0) {
    for (size_t i = static_cast<size_t>(first) + used; i < static_cast<size_t>(first + count);
         ++i) {
      palette[i].Red = palette[0].Red;
      palette[i].Green = palette[0].Green;
      palette[i].Blue = palette[0].Blue;
    }
  }
  return palette;
}

TPalette CreateOptimizedPaletteFromBitmap(TBitmap& ABitmap, int AColorCount, int AColorBits,
                                          bool AWithSystemColors) {
  TDIBReader reader(ABitmap, pf24bit);
  return CreateOptimizedPalette(reader, AColorCount, AColorBits, AWithSystemColors);
}

std::unique_ptr<TBitmap> ReduceColors(TBitmap& ABitmap, TGIFColorReduction AReduction,
                                      TGIFDitherMode ADitherMode, const TPalette& ACallerPalette,
                                      unsigned ABits) {
  auto result = std::make_unique<TBitmap>();
  if (AReduction == crNone) {
    result->Assign(ABitmap);
    SetPixelFormat(*result, pf24bit);
    return result;
  }
  const int width = ABitmap.Width(), height = ABitmap.Height();
  if (int64_t{width} * height > LargePicturePixels) SetPixelFormat(*result, pf1bit);

  TDIBReader reader(ABitmap, pf24bit);
  TPalette palette;
  switch (AReduction) {
  case crStock20:
    palette = StockPalette();
    break;
  case crHalftone:
    palette = CreateScreenHalftonePalette();
    break;
  case crFourGrays:
    palette = CreateFourGrayPalette();
    break;
  case crBlackWhite:
    palette = CreateMonochromePalette();
    break;
  case crGrays256:
    palette = CreateGrayScalePalette();
    break;
  case crNetscape216:
    palette = CreateNetscapePalette();
    break;
  case crOctree:
    if (ABits > 8) throw GIFException("ColorBits must be 8 or less");
    palette = CreateOptimizedPalette(reader, 1 << ABits, 8, false);
    break;
  case crOctreeSystem:
    palette = CreateOptimizedPaletteFromBitmap(ABitmap, 256, 8, true);
    break;
  case crCallerPalette:
    palette = ACallerPalette;
    break;
  default:
    return result;
  }

  const std::unique_ptr<TColorLookup> lookup = CreateLookup(AReduction, palette);
  if (lookup->Colors() == 0) return result;
  const std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(ADitherMode, width, *lookup);
  if (!ditherer) return result;

  TDIBWriter writer(*result, palette, width, height, pf8bit);
  for (int y = 0; y < height; ++y) {
    const uint8_t* source = reader.ScanLine(y);
    uint8_t* target = writer.ScanLine(y);
    for (int x = ditherer->Column(); x >= 0 && x < width; x = ditherer->Column()) {
      const uint8_t* pixel = source + 3 * static_cast<size_t>(x);
      uint8_t red, green, blue;
      target[x] = static_cast<uint8_t>(
          ditherer->DitherPixel(pixel[2], pixel[1], pixel[0], red, green, blue));
    }
    ditherer->NextRow();
  }
  writer.UpdateBitmap();
  return result;
}
