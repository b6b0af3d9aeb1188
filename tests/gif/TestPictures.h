// Pictures made by code for the codec's suites, and the colours a reduced
// bitmap shows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Bitmap.h"
#include "Palette.h"

struct TRGB {
  int Red, Green, Blue;
  bool operator==(const TRGB&) const = default;
};

inline std::ostream& operator<<(std::ostream& AStream, const TRGB& AColor) {
  return AStream << "(" << AColor.Red << ", " << AColor.Green << ", " << AColor.Blue << ")";
}

// A 24-bit picture whose pixel (x, y) is AColor(x, y).
inline std::unique_ptr<TBitmap> MakePicture(int AWidth, int AHeight,
                                            const std::function<TRGB(int, int)>& AColor) {
  auto bitmap = std::make_unique<TBitmap>(AWidth, AHeight, 24);
  for (int y = 0; y < AHeight; ++y) {
    uint8_t* row = bitmap->ScanLine(y);
    for (int x = 0; x < AWidth; ++x) {
      const TRGB c = AColor(x, y);
      row[3 * x] = static_cast<uint8_t>(c.Blue);
      row[3 * x + 1] = static_cast<uint8_t>(c.Green);
      row[3 * x + 2] = static_cast<uint8_t>(c.Red);
    }
  }
  return bitmap;
}

inline TRGB Pixel24(const TBitmap& ABitmap, int AX, int AY) {
  const uint8_t* p = ABitmap.ScanLine(AY) + 3 * AX;
  return {p[2], p[1], p[0]};
}

inline int Index8(const TBitmap& ABitmap, int AX, int AY) {
  return ABitmap.ScanLine(AY)[AX];
}

// The colour an 8-bit bitmap shows at (x, y) through its colour table.
inline TRGB Pixel8(const TBitmap& ABitmap, int AX, int AY) {
  const uint32_t quad = ABitmap.Palette().at(static_cast<size_t>(Index8(ABitmap, AX, AY)));
  return {static_cast<int>((quad >> 16) & 0xFF), static_cast<int>((quad >> 8) & 0xFF),
          static_cast<int>(quad & 0xFF)};
}

inline TRGB EntryColor(const TPaletteEntry& AEntry) {
  return {AEntry.Red, AEntry.Green, AEntry.Blue};
}
