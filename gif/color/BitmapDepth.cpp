// Pixel conversion between the bitmap depths.
#include "BitmapDepth.h"

#include <vector>

#include "Bitmap.h"
#include "ColorLookup.h"
#include "GIFException.h"
#include "SystemPalettes.h"

namespace {

bool IsPaletteDepth(int ABitsPerPixel) {
  return ABitsPerPixel <= 8;
}

uint8_t Expand5(unsigned AValue) {
  return static_cast<uint8_t>((AValue << 3) | (AValue >> 2));
}
uint8_t Expand6(unsigned AValue) {
  return static_cast<uint8_t>((AValue << 2) | (AValue >> 4));
}

// One row as palette indices (palette depths) or as B,G,R triples (others).
void ReadIndices(const uint8_t* ARow, int AWidth, int ABits, std::vector<int>& AIndices) {
  const int perByte = 8 / ABits;
  const int mask = (1 << ABits) - 1;
  for (int x = 0; x < AWidth; ++x) {
    const int shift = 8 - ABits * (x % perByte + 1);
    AIndices[static_cast<size_t>(x)] = (ARow[x / perByte] >> shift) & mask;
  }
}

void ReadColors(const uint8_t* ARow, int AWidth, int ABits, uint8_t* ABGR) {
  for (int x = 0; x < AWidth; ++x, ABGR += 3) {
    switch (ABits) {
    case 15: {
      const unsigned w = ARow[2 * x] | (ARow[2 * x + 1] << 8);
      ABGR[0] = Expand5(w & 31);
      ABGR[1] = Expand5((w >> 5) & 31);
      ABGR[2] = Expand5((w >> 10) & 31);
      break;
    }
    case 16: {
      const unsigned w = ARow[2 * x] | (ARow[2 * x + 1] << 8);
      ABGR[0] = Expand5(w & 31);
      ABGR[1] = Expand6((w >> 5) & 63);
      ABGR[2] = Expand5((w >> 11) & 31);
      break;
    }
    case 24:
      ABGR[0] = ARow[3 * x];
      ABGR[1] = ARow[3 * x + 1];
      ABGR[2] = ARow[3 * x + 2];
      break;
    default: // 32
      ABGR[0] = ARow[4 * x];
      ABGR[1] = ARow[4 * x + 1];
      ABGR[2] = ARow[4 * x + 2];
      break;
    }
  }
}

void WriteColors(const uint8_t* ABGR, int AWidth, int ABits, uint8_t* ARow) {
  for (int x = 0; x < AWidth; ++x, ABGR += 3) {
    switch (ABits) {
    case 15: {
      const unsigned w = (ABGR[0] >> 3) | ((ABGR[1] >> 3) << 5) | ((ABGR[2] >> 3) << 10);
      ARow[2 * x] = static_cast<uint8_t>(w);
      ARow[2 * x + 1] = static_cast<uint8_t>(w >> 8);
      break;
    }
    case 16: {
      const unsigned w = (ABGR[0] >> 3) | ((ABGR[1] >> 2) << 5) | ((ABGR[2] >> 3) << 11);
      ARow[2 * x] = static_cast<uint8_t>(w);
      ARow[2 * x + 1] = static_cast<uint8_t>(w >> 8);
      break;
    }
    case 24:
      ARow[3 * x] = ABGR[0];
      ARow[3 * x + 1] = ABGR[1];
      ARow[3 * x + 2] = ABGR[2];
      break;
    default: // 32; the unused byte is set, as image libraries expect of it
      ARow[4 * x] = ABGR[0];
      ARow[4 * x + 1] = ABGR[1];
      ARow[4 * x + 2] = ABGR[2];
      ARow[4 * x + 3] = 0xFF;
      break;
    }
  }
}

void WriteIndex(uint8_t* ARow, int AX, int ABits, int AIndex) {
  const int perByte = 8 / ABits;
  const int shift = 8 - ABits * (AX % perByte + 1);
  ARow[AX / perByte] = static_cast<uint8_t>(ARow[AX / perByte] | (AIndex << shift));
}

} // namespace

bool IsSupportedDepth(int ABitsPerPixel) {
  switch (ABitsPerPixel) {
  case 1:
  case 4:
  case 8:
  case 15:
  case 16:
  case 24:
  case 32:
    return true;
  default:
    return false;
  }
}

void ChangeBitmapDepth(TBitmap& ABitmap, int ABitsPerPixel) {
  const int oldBits = ABitmap.BitsPerPixel();
  if (!IsSupportedDepth(ABitsPerPixel) || !IsSupportedDepth(oldBits))
    throw GIFException("Unsupported PixelFormat");
  if (oldBits == ABitsPerPixel) return;
  const int width = ABitmap.Width(), height = ABitmap.Height();

  // The palette the new pixels index, as colour-table values.
  const std::vector<uint32_t> oldPalette = ABitmap.Palette();
  std::vector<uint32_t> newPalette = oldPalette;
  bool keepsIndices = false;
  if (IsPaletteDepth(ABitsPerPixel)) {
    const size_t capacity = size_t{1} << ABitsPerPixel;
    keepsIndices = !oldPalette.empty() && oldPalette.size() <= capacity;
    if (!keepsIndices) {
      newPalette.clear();
      for (const TPaletteEntry& e : DefaultPaletteForDepth(ABitsPerPixel))
        newPalette.push_back(PaletteEntryToRGBQuad(e));
    }
  }

  if (width <= 0 || height <= 0) {
    ABitmap.SetSize(width, height, ABitsPerPixel);
    ABitmap.Palette() = std::move(newPalette);
    return;
  }

  TBitmap converted(width, height, ABitsPerPixel);
  TPalette lookupPalette;
  for (uint32_t quad : newPalette)
    lookupPalette.push_back(RGBQuadToPaletteEntry(quad));
  TSlowColorLookup lookup(lookupPalette);
  std::vector<int> indices(static_cast<size_t>(width));
  std::vector<uint8_t> bgr(static_cast<size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    const uint8_t* source = ABitmap.ScanLine(y);
    uint8_t* target = converted.ScanLine(y);
    const bool sourceIndexed = IsPaletteDepth(oldBits);
    if (sourceIndexed) {
      ReadIndices(source, width, oldBits, indices);
      for (int x = 0; x < width; ++x) {
        const size_t i = static_cast<size_t>(indices[static_cast<size_t>(x)]);
        const uint32_t quad = i < oldPalette.size() ? oldPalette[i] : 0;
        bgr[3 * static_cast<size_t>(x)] = static_cast<uint8_t>(quad);
        bgr[3 * static_cast<size_t>(x) + 1] = static_cast<uint8_t>(quad >> 8);
        bgr[3 * static_cast<size_t>(x) + 2] = static_cast<uint8_t>(quad >> 16);
      }
    } else {
      ReadColors(source, width, oldBits, bgr.data());
    }
    if (!IsPaletteDepth(ABitsPerPixel)) {
      WriteColors(bgr.data(), width, ABitsPerPixel, target);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const size_t sx = static_cast<size_t>(x);
      int index;
      if (keepsIndices && sourceIndexed && static_cast<size_t>(indices[sx]) < newPalette.size()) {
        index = indices[sx];
      } else {
        uint8_t r, g, b;
        index = lookup.FindColor(bgr[3 * sx + 2], bgr[3 * sx + 1], bgr[3 * sx], r, g, b);
      }
      WriteIndex(target, x, ABitsPerPixel, index);
    }
  }
  converted.Palette() = std::move(newPalette);
  ABitmap.Swap(converted);
}
