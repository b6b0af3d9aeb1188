// Palettes of the GIF codec: plain arrays of RGB entries owned by whoever
// made them, and the conversion to and from a bitmap's colour table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TPaletteEntry {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  // 0, or 4 for an entry that must not be matched to an existing system
  // colour; kept so that palettes carry what their builders asked for.
  uint8_t Flags = 0;

  bool operator==(const TPaletteEntry&) const = default;
};

using TPalette = std::vector<TPaletteEntry>;

// A bitmap colour-table value (0x00RRGGBB) and back; the flags are not kept.
inline uint32_t PaletteEntryToRGBQuad(const TPaletteEntry& AEntry) {
  return (uint32_t{AEntry.Red} << 16) | (uint32_t{AEntry.Green} << 8) | AEntry.Blue;
}

inline TPaletteEntry RGBQuadToPaletteEntry(uint32_t AQuad, uint8_t AFlags = 0) {
  return {static_cast<uint8_t>(AQuad >> 16), static_cast<uint8_t>(AQuad >> 8),
          static_cast<uint8_t>(AQuad), AFlags};
}

// A palette as a bitmap's colour table (at most 256 entries) and back.
inline std::vector<uint32_t> PaletteQuads(const TPalette& APalette) {
  std::vector<uint32_t> quads;
  for (std::size_t i = 0; i < APalette.size() && i < 256; ++i)
    quads.push_back(PaletteEntryToRGBQuad(APalette[i]));
  return quads;
}

inline TPalette QuadsPalette(const std::vector<uint32_t>& AQuads) {
  TPalette palette;
  for (uint32_t quad : AQuads)
    palette.push_back(RGBQuadToPaletteEntry(quad));
  return palette;
}
