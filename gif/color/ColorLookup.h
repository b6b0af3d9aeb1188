// Colour lookups: for one red, green, blue triple, the palette index to use
// and the colour that entry holds. A general nearest-colour search over any
// palette, and direct computations for the codec's fixed palettes.
#pragma once

#include <cstdint>
#include <vector>

#include "Palette.h"

class TColorLookup {
public:
  explicit TColorLookup(const TPalette& APalette);
  virtual ~TColorLookup() = default;
  TColorLookup(const TColorLookup&) = delete;
  TColorLookup& operator=(const TColorLookup&) = delete;

  // The palette index for the colour; AEntryRed, AEntryGreen, AEntryBlue receive the colour
  // of that entry.
  virtual uint16_t FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                             uint8_t& AEntryGreen, uint8_t& AEntryBlue) = 0;

  // The number of palette entries served.
  int Colors() const { return FColors; }

protected:
  int FColors = 0;
};

// The entry nearest by squared RGB distance; of equally near entries the
// lowest index wins. Serves the first 256 entries of any palette.
class TSlowColorLookup : public TColorLookup {
public:
  explicit TSlowColorLookup(const TPalette& APalette);
  uint16_t FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                     uint8_t& AEntryGreen, uint8_t& AEntryBlue) override;

private:
  struct TCandidate {
    int Red, Green, Blue, Index;
  };
  TPalette FEntries;
  // The entries ordered by red, so that a search can stop once the red
  // distance alone exceeds the best match found.
  std::vector<TCandidate> FByRed;
};

// The 216 colours of 6 levels per channel, index 36 r + 6 g + b.
class TNetscapeColorLookup : public TColorLookup {
public:
  explicit TNetscapeColorLookup(const TPalette& APalette);
  uint16_t FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                     uint8_t& AEntryGreen, uint8_t& AEntryBlue) override;
};

// 256 grey levels by luminance.
class TGrayScaleLookup : public TColorLookup {
public:
  explicit TGrayScaleLookup(const TPalette& APalette);
  uint16_t FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                     uint8_t& AEntryGreen, uint8_t& AEntryBlue) override;
};

// Black or white by luminance.
class TMonochromeLookup : public TColorLookup {
public:
  explicit TMonochromeLookup(const TPalette& APalette);
  uint16_t FindColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                     uint8_t& AEntryGreen, uint8_t& AEntryBlue) override;
};
