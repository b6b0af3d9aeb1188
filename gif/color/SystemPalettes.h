// The fixed palettes that a Windows screen supplied: the 20 static colours
// of the stock default palette and the 256-colour halftone palette built
// around them, plus the default colour tables for bitmaps of 1 and 4 bits.
#pragma once

#include "Palette.h"

// The stock default palette: 20 entries, flags 0.
const TPalette& StockPalette();

// The halftone palette of a screen: 256 entries, the static colours at
// 0-9 and 246-255.
const TPalette& HalftonePalette();

// The colour table a bitmap of 1, 4 or 8 bits per pixel gets when it is made
// from a true-colour picture without a palette of its own: black and white,
// the 16 VGA colours, or the halftone palette.
const TPalette& DefaultPaletteForDepth(int ABitsPerPixel);
