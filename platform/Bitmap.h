// A device-independent bitmap: what the hooks, the capture device and the
// codec hand around. Rows are stored top to bottom, each padded to 32 bits
// as a DIB row; 1, 4 and 8 bit hold palette indices (the leftmost pixel in
// the highest bits of a byte), 15/16 bit are RGB555/RGB565 in 16-bit
// little-endian words, 24 bit is B,G,R and 32 bit is B,G,R,X. Palette
// entries are 0x00RRGGBB, as a DIB colour table's B,G,R,0 bytes read
// little-endian.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

class TBitmap {
public:
  TBitmap() = default;
  TBitmap(int AWidth, int AHeight, int ABitsPerPixel) { SetSize(AWidth, AHeight, ABitsPerPixel); }
  // A copy takes the picture (size, format, pixels, palette); every bitmap
  // keeps a canvas lock of its own.
  TBitmap(const TBitmap& AOther)
      : FWidth(AOther.FWidth), FHeight(AOther.FHeight), FBitsPerPixel(AOther.FBitsPerPixel),
        FBits(AOther.FBits), FPalette(AOther.FPalette) {}
  TBitmap& operator=(const TBitmap& AOther) {
    if (this != &AOther) {
      FWidth = AOther.FWidth;
      FHeight = AOther.FHeight;
      FBitsPerPixel = AOther.FBitsPerPixel;
      FBits = AOther.FBits;
      FPalette = AOther.FPalette;
    }
    return *this;
  }

  // A 15-bit pixel occupies a 16-bit word.
  static constexpr int RowStride(int AWidth, int ABitsPerPixel) {
    const int storedBits = ABitsPerPixel == 15 ? 16 : ABitsPerPixel;
    return ((AWidth * storedBits + 31) / 32) * 4;
  }

  void SetSize(int AWidth, int AHeight, int ABitsPerPixel) {
    FWidth = AWidth;
    FHeight = AHeight;
    FBitsPerPixel = ABitsPerPixel;
    FBits.assign(static_cast<size_t>(Stride()) * static_cast<size_t>(AHeight), 0);
  }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBitsPerPixel; }
  int Stride() const { return RowStride(FWidth, FBitsPerPixel); }
  uint8_t* ScanLine(int ARow) { return FBits.data() + static_cast<size_t>(ARow) * Stride(); }
  const uint8_t* ScanLine(int ARow) const {
    return FBits.data() + static_cast<size_t>(ARow) * Stride();
  }
  std::vector<uint8_t>& Bits() { return FBits; }
  const std::vector<uint8_t>& Bits() const { return FBits; }
  std::vector<uint32_t>& Palette() { return FPalette; }
  const std::vector<uint32_t>& Palette() const { return FPalette; }

  // Copies or exchanges the picture (size, depth, pixels, palette); each
  // bitmap keeps its own canvas lock.
  void Assign(const TBitmap& ASource) { *this = ASource; }
  void Swap(TBitmap& AOther) noexcept {
    std::swap(FWidth, AOther.FWidth);
    std::swap(FHeight, AOther.FHeight);
    std::swap(FBitsPerPixel, AOther.FBitsPerPixel);
    FBits.swap(AOther.FBits);
    FPalette.swap(AOther.FPalette);
  }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }

  // The canvas lock: held while a handler in another thread draws on it.
  void Lock() { FCanvasLock.lock(); }
  void Unlock() { FCanvasLock.unlock(); }

private:
  int FWidth = 0;
  int FHeight = 0;
  int FBitsPerPixel = 32;
  std::vector<uint8_t> FBits;
  std::vector<uint32_t> FPalette;
  std::recursive_mutex FCanvasLock;
};
