// Row access to bitmaps for the colour reduction and the frames: a reader
// that hands out the rows of an existing bitmap at a chosen depth, and a
// writer that builds a new 8- or 24-bit bitmap row by row and hands it to
// its target in one piece when it is done.
#pragma once

#include <cstdint>

#include "Bitmap.h"
#include "Palette.h"

// A bitmap's depth in bits per pixel.
enum TPixelFormat : int {
  pf1bit = 1,
  pf4bit = 4,
  pf8bit = 8,
  pf15bit = 15,
  pf16bit = 16,
  pf24bit = 24,
  pf32bit = 32
};

TPixelFormat GetPixelFormat(const TBitmap& ABitmap);
// Converts the bitmap's pixels in place; "Unsupported PixelFormat" for a
// depth outside the list above.
void SetPixelFormat(TBitmap& ABitmap, TPixelFormat APixelFormat);

// Bytes in a row of APixels pixels of ABitsPerPixel bits, padded to a
// multiple of AAlignment bits.
int ScanlineBytes(int APixels, int ABitsPerPixel, int AAlignment);

class TDIB {
public:
  TDIB(TBitmap& ABitmap, TPixelFormat APixelFormat)
      : FBitmap(ABitmap), FPixelFormat(APixelFormat) {}
  virtual ~TDIB() = default;
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  // The first byte of row ARow, row 0 at the top.
  virtual uint8_t* ScanLine(int ARow) = 0;

  TBitmap& Bitmap() const { return FBitmap; }
  TPixelFormat PixelFormat() const { return FPixelFormat; }

protected:
  TBitmap& FBitmap;
  TPixelFormat FPixelFormat;
};

// Converts the caller's bitmap to the pixel format in place and hands out
// its own rows.
class TDIBReader : public TDIB {
public:
  TDIBReader(TBitmap& ABitmap, TPixelFormat APixelFormat);
  uint8_t* ScanLine(int ARow) override;
};

// Builds an AWidth x AHeight bitmap of 8 bits (with a 256-entry colour
// table: the palette's first entries, the rest black) or 24 bits. The rows
// are made on the first ScanLine; UpdateBitmap, or the destructor, then
// replaces the target bitmap's picture with them. A writer that never handed
// out a row leaves its target untouched.
class TDIBWriter : public TDIB {
public:
  TDIBWriter(TBitmap& ABitmap, const TPalette& APalette, int AWidth, int AHeight,
             TPixelFormat APixelFormat);
  ~TDIBWriter() override;

  uint8_t* ScanLine(int ARow) override;
  void UpdateBitmap() noexcept;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

private:
  void CreateDIB();

  int FHeight;
  int FWidth;
  TPalette FPalette; // the first 256 entries of the caller's
  TBitmap FDIB;
  bool FHasDIB = false;
};
