// BMP decoding and encoding for skin pictures. Sizes and offsets in the file
// are checked against the file's length before any pixel is read.
#include "BmpFile.h"

#include "SkinColor.h"

#include <cstring>

namespace {

constexpr int64_t MaxPixels = int64_t{1} << 24;

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Scales a masked field to 8 bits.
uint8_t Field(uint32_t AValue, uint32_t AMask) {
  if (AMask == 0) return 0;
  int shift = 0;
  while (((AMask >> shift) & 1) == 0)
    ++shift;
  int bits = 0;
  while (shift + bits < 32 && ((AMask >> (shift + bits)) & 1))
    ++bits;
  const uint32_t v = (AValue & AMask) >> shift;
  const uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  return static_cast<uint8_t>((uint64_t{v} * 255 + max / 2) / max);
}

void PutLE16(std::vector<uint8_t>& AOut, uint32_t AValue) {
  AOut.push_back(static_cast<uint8_t>(AValue));
  AOut.push_back(static_cast<uint8_t>(AValue >> 8));
}
void PutLE32(std::vector<uint8_t>& AOut, uint32_t AValue) {
  PutLE16(AOut, AValue & 0xFFFF);
  PutLE16(AOut, AValue >> 16);
}

} // namespace

bool LoadBmp(std::span<const uint8_t> AFile, TBitmap& ABitmap) {
  const size_t size = AFile.size();
  const uint8_t* f = AFile.data();
  if (size < 14 + 12 || f[0] != 'B' || f[1] != 'M') return false;
  const uint32_t pixelOffset = U32(f + 10);
  const uint32_t headerSize = U32(f + 14);
  if (headerSize < 12 || headerSize > size - 14) return false;

  int64_t width = 0;
  int64_t height = 0;
  int bpp = 0;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  int paletteEntrySize = 4;
  if (headerSize == 12) {
    width = U16(f + 18);
    height = static_cast<int16_t>(U16(f + 20));
    bpp = U16(f + 24);
    paletteEntrySize = 3;
  } else {
    if (headerSize < 40) return false;
    width = static_cast<int32_t>(U32(f + 18));
    height = static_cast<int32_t>(U32(f + 22));
    bpp = U16(f + 28);
    compression = U32(f + 30);
    colorsUsed = U32(f + 46);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width * height > MaxPixels) return false;

  // Masks for 16 and 32 bits: from the header or the three words after it.
  uint32_t masks[3] = {0, 0, 0};
  if (compression == 3) {
    if (bpp != 16 && bpp != 32) return false;
    const size_t at = headerSize >= 52 ? 14 + 40 : 14 + headerSize;
    if (at + 12 > size) return false;
    for (int i = 0; i < 3; ++i)
      masks[i] = U32(f + at + 4 * i);
  } else if (compression != 0) {
    return false;
  } else if (bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else if (bpp == 32) {
    masks[0] = 0x00FF0000;
    masks[1] = 0x0000FF00;
    masks[2] = 0x000000FF;
  }

  std::vector<uint32_t> palette;
  if (bpp <= 8) {
    if (bpp != 1 && bpp != 4 && bpp != 8) return false;
    uint32_t count = colorsUsed == 0 || colorsUsed > (1u << bpp) ? (1u << bpp) : colorsUsed;
    const size_t at = 14 + headerSize;
    const size_t available = (size - at) / paletteEntrySize;
    if (count > available) count = static_cast<uint32_t>(available);
    palette.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = f + at + i * paletteEntrySize;
      palette[i] = PackPixel(e[2], e[1], e[0]);
    }
  } else if (bpp != 16 && bpp != 24 && bpp != 32) {
    return false;
  }

  const uint64_t stride = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
  if (pixelOffset > size || (size - pixelOffset) / stride < static_cast<uint64_t>(height))
    return false;

  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  ABitmap.SetSize(w, h, 32);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = f + pixelOffset + stride * static_cast<uint64_t>(topDown ? y : h - 1 - y);
    auto* out = reinterpret_cast<uint32_t*>(ABitmap.ScanLine(y));
    for (int x = 0; x < w; ++x) {
      uint32_t pixel = 0;
      switch (bpp) {
      case 1:
      case 4:
      case 8: {
        const int bitPos = x * bpp;
        const int index = (row[bitPos / 8] >> (8 - bpp - bitPos % 8)) & ((1 << bpp) - 1);
        pixel = static_cast<size_t>(index) < palette.size() ? palette[index] : PackPixel(0, 0, 0);
        break;
      }
      case 16: {
        const uint32_t v = U16(row + 2 * x);
        pixel = PackPixel(Field(v, masks[0]), Field(v, masks[1]), Field(v, masks[2]));
        break;
      }
      case 24:
        pixel = PackPixel(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        break;
      default: {
        const uint32_t v = U32(row + 4 * x);
        pixel = PackPixel(Field(v, masks[0]), Field(v, masks[1]), Field(v, masks[2]));
        break;
      }
      }
      out[x] = pixel;
    }
  }
  return true;
}

std::vector<uint8_t> SaveBmp(const TBitmap& ABitmap) {
  const int w = ABitmap.Width();
  const int h = ABitmap.Height();
  const uint32_t stride = static_cast<uint32_t>(TBitmap::RowStride(w, 24));
  const uint32_t imageSize = stride * static_cast<uint32_t>(h);
  std::vector<uint8_t> out;
  out.reserve(54 + imageSize);
  out.push_back('B');
  out.push_back('M');
  PutLE32(out, 54 + imageSize);
  PutLE32(out, 0);
  PutLE32(out, 54);
  PutLE32(out, 40);
  PutLE32(out, static_cast<uint32_t>(w));
  PutLE32(out, static_cast<uint32_t>(h));
  PutLE16(out, 1);
  PutLE16(out, 24);
  PutLE32(out, 0);
  PutLE32(out, imageSize);
  PutLE32(out, 2835);
  PutLE32(out, 2835);
  PutLE32(out, 0);
  PutLE32(out, 0);
  const int inBytes = ABitmap.BitsPerPixel() / 8;
  for (int y = h - 1; y >= 0; --y) {
    const uint8_t* row = ABitmap.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      out.push_back(row[inBytes * x]);
      out.push_back(row[inBytes * x + 1]);
      out.push_back(row[inBytes * x + 2]);
    }
    for (uint32_t pad = static_cast<uint32_t>(w) * 3; pad < stride; ++pad)
      out.push_back(0);
  }
  return out;
}
