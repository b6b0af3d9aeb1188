// Skin files written for the widgets' suites: solid-coloured pictures, so
// that every section and button can be told apart by its colour.
#pragma once

#include "SkinWriter.h"

#include <cstdint>
#include <vector>

struct TTitleSkin {
  bool FiveSections = false;
  int TitleHeight = 30;
  int ButtonWidth = 16; // one of the 18 frames of the title buttons
  int ButtonHeight = 14;
  int ButtonPosX = 4;
  int ButtonPosY = 6;
  int IconPosX = 4;
  bool TitleNeedsRegion = false;
};

// Colours of the sections TITLEBAR1 to TITLEBAR5, and of frame n (1-18) of
// the title buttons.
constexpr uint32_t SectionColor(int ASection) {
  constexpr uint32_t colors[] = {0x0000C0, 0x00C000, 0xC00000, 0x00C0C0, 0xC0C000};
  return colors[ASection - 1];
}
constexpr uint32_t ButtonFrameColor(int AFrame) {
  return static_cast<uint32_t>(0x101010 * (AFrame % 15) + 0x000040 + AFrame);
}
constexpr int SectionWidth(int ASection) {
  constexpr int widths[] = {10, 4, 12, 6, 14};
  return widths[ASection - 1];
}

// A skin with the title pictures, the title buttons and the metrics of the
// description; TITLEBAR1 carries the key colour in its top-left corner.
std::vector<uint8_t> TitleSkinArchive(const TTitleSkin& ASkin);
