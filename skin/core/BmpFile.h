// Windows BMP files to and from TBitmap. Reading takes uncompressed pictures
// of 1, 4, 8, 16, 24 and 32 bits per pixel (with or without bit-field masks,
// bottom-up or top-down) and gives a 32-bit B,G,R,X bitmap; writing gives a
// bottom-up 24-bit file.
#pragma once

#include "Bitmap.h"

#include <cstdint>
#include <span>
#include <vector>

// False when the bytes are not a BMP file this reader takes, or are cut short.
bool LoadBmp(std::span<const uint8_t> AFile, TBitmap& ABitmap);

// A 24-bit BMP file of a 24- or 32-bit bitmap.
std::vector<uint8_t> SaveBmp(const TBitmap& ABitmap);
