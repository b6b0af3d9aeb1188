// The row reader and the row writer of bitmaps.
#include "DIB.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "BitmapDepth.h"
#include "Exception.h"
#include "GIFException.h"

TPixelFormat GetPixelFormat(const TBitmap& ABitmap) {
  return static_cast<TPixelFormat>(ABitmap.BitsPerPixel());
}

void SetPixelFormat(TBitmap& ABitmap, TPixelFormat APixelFormat) {
  ChangeBitmapDepth(ABitmap, APixelFormat);
}

int ScanlineBytes(int APixels, int ABitsPerPixel, int AAlignment) {
  const int64_t bits = int64_t{APixels} * ABitsPerPixel + AAlignment - 1;
  return static_cast<int>(bits / AAlignment * AAlignment / 8);
}

TDIBReader::TDIBReader(TBitmap& ABitmap, TPixelFormat APixelFormat) : TDIB(ABitmap, APixelFormat) {
  SetPixelFormat(ABitmap, APixelFormat);
}

uint8_t* TDIBReader::ScanLine(int ARow) {
  if (ARow < 0 || ARow >= FBitmap.Height()) throw Exception("Scan line index out of range");
  return FBitmap.ScanLine(ARow);
}

TDIBWriter::TDIBWriter(TBitmap& ABitmap, const TPalette& APalette, int AWidth, int AHeight,
                       TPixelFormat APixelFormat)
    : TDIB(ABitmap, APixelFormat), FHeight(AHeight), FWidth(AWidth),
      FPalette(APalette.begin(), APalette.begin() + static_cast<std::ptrdiff_t>(
                                                        std::min<size_t>(APalette.size(), 256))) {
  if (APixelFormat != pf8bit && APixelFormat != pf24bit)
    throw GIFException("Unsupported PixelFormat");
  if (AWidth <= 0 || AHeight <= 0) throw GIFException("Invalid image dimensions");
}

TDIBWriter::~TDIBWriter() {
  UpdateBitmap();
}

void TDIBWriter::CreateDIB() {
  const int64_t rowBytes = int64_t{FWidth} * FPixelFormat / 8 + 4;
  if (rowBytes > std::numeric_limits<int>::max() / 8 ||
      rowBytes * FHeight > std::numeric_limits<std::ptrdiff_t>::max() / 2)
    throw Exception("Failed to allocate memory for GIF DIB");
  try {
    FDIB.SetSize(FWidth, FHeight, FPixelFormat);
    if (FPixelFormat == pf8bit) {
      std::vector<uint32_t>& table = FDIB.Palette();
      table.assign(256, 0);
      for (size_t i = 0; i < FPalette.size(); ++i)
        table[i] = PaletteEntryToRGBQuad(FPalette[i]);
    }
  } catch (const std::bad_alloc&) {
    throw Exception("Failed to allocate memory for GIF DIB");
  } catch (const std::length_error&) {
    throw Exception("Failed to allocate memory for GIF DIB");
  }
  FHasDIB = true;
}

uint8_t* TDIBWriter::ScanLine(int ARow) {
  if (!FHasDIB) CreateDIB();
  if (ARow < 0 || ARow >= FHeight) throw Exception("Scan line index out of range");
  return FDIB.ScanLine(ARow);
}

void TDIBWriter::UpdateBitmap() noexcept {
  if (!FHasDIB) return;
  FBitmap.Swap(FDIB);
  FHasDIB = false;
}
