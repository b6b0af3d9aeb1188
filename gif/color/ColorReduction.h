// Colour reduction: any bitmap to an 8-bit palette bitmap of at most 256
// colours. A palette is picked by one of the methods below, then every pixel
// is mapped to an index, to the nearest colour or through an error-diffusion
// ditherer.
#pragma once

#include <cstdint>
#include <memory>

#include "Bitmap.h"
#include "DIB.h"
#include "Dither.h"
#include "Palette.h"

enum TGIFColorReduction : uint8_t {
  crNone,         // no palette: the result is a 24-bit copy
  crStock20,      // the 20 colours of the stock default palette
  crHalftone,     // the screen's halftone palette
  crFourGrays,    // 0, 128, 192, 255
  crBlackWhite,   // black and white
  crGrays256,     // 256 greys
  crNetscape216,  // 6 x 6 x 6 colours of the levels 0, 51, ..., 255
  crOctree,       // 2^bits colours of the picture, from the octree quantiser
  crOctreeSystem, // the 20 static colours and 236 of the picture
  crCallerPalette // the caller's palette
};

// A new bitmap: 8 bits per pixel with the method's palette in the first
// entries of its 256-entry colour table, or for crNone a 24-bit copy of the
// source. ABits (0-8) sets the colour count of crOctree as a power of two;
// more raise "ColorBits must be 8 or less". An unknown method or dither mode,
// or an empty caller palette, gives an empty bitmap. Except with crNone the
// source is converted to 24 bits per pixel in place; rows are walked in
// serpentine order.
std::unique_ptr<TBitmap> ReduceColors(TBitmap& ABitmap, TGIFColorReduction AReduction,
                                      TGIFDitherMode ADitherMode, const TPalette& ACallerPalette,
                                      unsigned ABits);

// The fixed palettes of the methods.
TPalette CreateNetscapePalette();   // 216 entries, index 36 r + 6 g + b, levels 51 apart
TPalette CreateGrayScalePalette();  // 256 entries (i, i, i)
TPalette CreateMonochromePalette(); // black, white
TPalette CreateFourGrayPalette();   // 0, 128, 192, 255
TPalette CreateScreenHalftonePalette();

// AColorCount (at most 256) colours of the picture from an octree of
// AColorBits levels. With system colours the palette has 256 entries: the
// first and last ten are the stock palette's, the 236 between the picture's.
// Entries for which the picture has no colour repeat the palette's first
// entry, so that no pixel is ever mapped to them.
TPalette CreateOptimizedPalette(TDIBReader& AReader, int AColorCount, int AColorBits,
                                bool AWithSystemColors);
// The same over a bitmap, which is converted to 24 bits per pixel in place.
TPalette CreateOptimizedPaletteFromBitmap(TBitmap& ABitmap, int AColorCount, int AColorBits,
                                          bool AWithSystemColors);
