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
  // A copy takes the picture (size, format, pixels, palette) into pixels of
  // its own, also from an attached bitmap; every bitmap keeps a canvas lock
  // of its own.
  TBitmap(const TBitmap& AOther)
      : FWidth(AOther.FWidth), FHeight(AOther.FHeight), FBitsPerPixel(AOther.FBitsPerPixel),
        FBits(AOther.OwnCopy()), FPalette(AOther.FPalette) {}
  TBitmap& operator=(const TBitmap& AOther) {
    if (this != &AOther) {
      FWidth = AOther.FWidth;
      FHeight = AOther.FHeight;
      FBitsPerPixel = AOther.FBitsPerPixel;
      FBits = AOther.OwnCopy();
      FPalette = AOther.FPalette;
      FExternal = nullptr;
    }
    return *this;
  }

  // A 15-bit pixel occupies a 16-bit word.
  static constexpr int RowStride(int AWidth, int ABitsPerPixel) {
    const int storedBits = ABitsPerPixel == 15 ? 16 : ABitsPerPixel;
    return ((AWidth * storedBits + 31) / 32) * 4;
  }

  void SetSize(int AWidth, int AHeight, int ABitsPerPixel) {
    FExternal = nullptr;
    FWidth = AWidth;
    FHeight = AHeight;
    FBitsPerPixel = ABitsPerPixel;
    FBits.assign(static_cast<size_t>(Stride()) * static_cast<size_t>(AHeight), 0);
  }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBitsPerPixel; }
  int Stride() const { return RowStride(FWidth, FBitsPerPixel); }
  uint8_t* ScanLine(int ARow) { return Pixels() + static_cast<size_t>(ARow) * Stride(); }
  const uint8_t* ScanLine(int ARow) const {
    return Pixels() + static_cast<size_t>(ARow) * Stride();
  }
  // The rows, top to bottom, Stride() bytes each: the bitmap's own, or the
  // attached memory.
  uint8_t* Pixels() { return FExternal ? FExternal : FBits.data(); }
  const uint8_t* Pixels() const { return FExternal ? FExternal : FBits.data(); }
  size_t PixelBytes() const { return static_cast<size_t>(Stride()) * static_cast<size_t>(FHeight); }
  // The bitmap's own pixels; empty while it is attached (use Pixels()).
  std::vector<uint8_t>& Bits() { return FBits; }
  const std::vector<uint8_t>& Bits() const { return FBits; }

  // Shows AWidth x AHeight pixels of ABitsPerPixel that live in memory the
  // bitmap does not own (rows of Stride() bytes from ABits), so that drawing
  // on it changes that memory. The memory must outlive the attachment, which
  // ends with Detach, SetSize or an assignment. The own pixels are freed.
  void Attach(uint8_t* ABits, int AWidth, int AHeight, int ABitsPerPixel) {
    FBits.clear();
    FBits.shrink_to_fit();
    FWidth = AWidth;
    FHeight = AHeight;
    FBitsPerPixel = ABitsPerPixel;
    FExternal = ABits;
  }
  // Ends an attachment; the bitmap is then empty.
  void Detach() {
    if (FExternal) SetSize(0, 0, FBitsPerPixel);
  }
  bool Attached() const { return FExternal != nullptr; }
  std::vector<uint32_t>& Palette() { return FPalette; }
  const std::vector<uint32_t>& Palette() const { return FPalette; }

  // Copies or exchanges the picture (size, depth, pixels, palette); each
  // bitmap keeps its own canvas lock.
  void Assign(const TBitmap& ASource) { *this = ASource; }
  void Swap(TBitmap& AOther) noexcept {
    std::swap(FExternal, AOther.FExternal);
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
  std::vector<uint8_t> OwnCopy() const {
    if (!FExternal) return FBits;
    return std::vector<uint8_t>(FExternal, FExternal + PixelBytes());
  }

  int FWidth = 0;
  int FHeight = 0;
  int FBitsPerPixel = 32;
  std::vector<uint8_t> FBits;
  uint8_t* FExternal = nullptr; // attached pixels, not owned
  std::vector<uint32_t> FPalette;
  std::recursive_mutex FCanvasLock;
};
