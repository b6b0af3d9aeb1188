// The four colour lookups.
#include "ColorLookup.h"

#include <algorithm>

TColorLookup::TColorLookup(const TPalette& /*APalette*/) {}

TSlowColorLookup::TSlowColorLookup(const TPalette& APalette) : TColorLookup(APalette) {
  const size_t count = std::min<size_t>(APalette.size(), 256);
  FEntries.assign(APalette.begin(), APalette.begin() + static_cast<std::ptrdiff_t>(count));
  FColors = static_cast<int>(count);
  for (int i = 0; i < FColors; ++i) {
    const TPaletteEntry& e = FEntries[static_cast<size_t>(i)];
    FByRed.push_back({e.Red, e.Green, e.Blue, i});
  }
  std::stable_sort(FByRed.begin(), FByRed.end(),
                   [](const TCandidate& a, const TCandidate& b) { return a.Red < b.Red; });
}

uint16_t TSlowColorLookup::FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue,
                                     uint8_t& AEntryRed, uint8_t& AEntryGreen,
                                     uint8_t& AEntryBlue) {
  if (FByRed.empty()) return 0;
  const int red = ARed, green = AGreen, blue = ABlue;
  int bestDistance = 3 * 255 * 255 + 1;
  int bestIndex = 0;
  auto consider = [&](const TCandidate& c) {
    const int dr = c.Red - red, dg = c.Green - green, db = c.Blue - blue;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance || (distance == bestDistance && c.Index < bestIndex)) {
      bestDistance = distance;
      bestIndex = c.Index;
    }
  };
  // Walk outwards from the first entry whose red is not below ours; a side
  // is done once its red distance alone exceeds the best distance (an equal
  // one may still tie with a lower index).
  const auto start = std::lower_bound(FByRed.begin(), FByRed.end(), red,
                                      [](const TCandidate& c, int r) { return c.Red < r; });
  auto up = start;
  auto down = start;
  bool upOpen = up != FByRed.end();
  bool downOpen = down != FByRed.begin();
  while (upOpen || downOpen) {
    if (upOpen) {
      const int dr = up->Red - red;
      if (dr * dr > bestDistance) {
        upOpen = false;
      } else {
        consider(*up);
        upOpen = ++up != FByRed.end();
      }
    }
    if (downOpen) {
      const int dr = red - (down - 1)->Red;
      if (dr * dr > bestDistance) {
        downOpen = false;
      } else {
        consider(*--down);
        downOpen = down != FByRed.begin();
      }
    }
  }
  const TPaletteEntry& e = FEntries[static_cast<size_t>(bestIndex)];
  AEntryRed = e.Red;
  AEntryGreen = e.Green;
  AEntryBlue = e.Blue;
  return static_cast<uint16_t>(bestIndex);
}

TNetscapeColorLookup::TNetscapeColorLookup(const TPalette& APalette) : TColorLookup(APalette) {
  FColors = 216;
}

uint16_t TNetscapeColorLookup::FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue,
                                         uint8_t& AEntryRed, uint8_t& AEntryGreen,
                                         uint8_t& AEntryBlue) {
  const int r = (ARed + 3) / 51, g = (AGreen + 3) / 51, b = (ABlue + 3) / 51;
  AEntryRed = static_cast<uint8_t>(51 * r);
  AEntryGreen = static_cast<uint8_t>(51 * g);
  AEntryBlue = static_cast<uint8_t>(51 * b);
  return static_cast<uint16_t>(r * 36 + g * 6 + b);
}

TGrayScaleLookup::TGrayScaleLookup(const TPalette& APalette) : TColorLookup(APalette) {
  FColors = 256;
}

uint16_t TGrayScaleLookup::FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue,
                                     uint8_t& AEntryRed, uint8_t& AEntryGreen,
                                     uint8_t& AEntryBlue) {
  const int level = (77 * ARed + 150 * AGreen + 29 * ABlue) >> 8;
  AEntryRed = AEntryGreen = AEntryBlue = static_cast<uint8_t>(level);
  return static_cast<uint16_t>(level);
}

TMonochromeLookup::TMonochromeLookup(const TPalette& APalette) : TColorLookup(APalette) {
  FColors = 2;
}

uint16_t TMonochromeLookup::FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue,
                                      uint8_t& AEntryRed, uint8_t& AEntryGreen,
                                      uint8_t& AEntryBlue) {
  const int luminance = 77 * ARed + 150 * AGreen + 29 * ABlue;
  if (luminance < 32513) {
    AEntryRed = AEntryGreen = AEntryBlue = 0;
    return 0;
  }
  AEntryRed = AEntryGreen = AEntryBlue = 255;
  return 1;
}
