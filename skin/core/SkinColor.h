// Colour packing: 0x00BBGGRR colour values, system colours, and the 32-bit
// B,G,R,X pixels of TBitmap.
#pragma once

#include "SkinTypes.h"

#include <cstdint>

struct TColorParts {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
};

constexpr TColor MakeColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue) {
  return static_cast<TColor>(ARed | (AGreen << 8) | (ABlue << 16));
}

// A system colour (0xFF0000nn) as the classic desktop's RGB value; any other
// colour as its low three bytes.
TColor ColorToRGB(TColor AColor);

// The three bytes of a colour, system colours resolved first.
TColorParts SplitColor(TColor AColor);

// A 32-bit pixel in memory order B,G,R,X, read as a little-endian word.
constexpr uint32_t PackPixel(uint8_t ARed, uint8_t AGreen, uint8_t ABlue) {
  return 0xFF000000u | (static_cast<uint32_t>(ARed) << 16) | (static_cast<uint32_t>(AGreen) << 8) |
         ABlue;
}

uint32_t ColorToPixel(TColor AColor);

constexpr TColor PixelToColor(uint32_t APixel) {
  return MakeColor(static_cast<uint8_t>(APixel >> 16), static_cast<uint8_t>(APixel >> 8),
                   static_cast<uint8_t>(APixel));
}

constexpr bool SameRGB(uint32_t APixelA, uint32_t APixelB) {
  return ((APixelA ^ APixelB) & 0x00FFFFFFu) == 0;
}
