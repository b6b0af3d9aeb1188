// Code-level views of GIF image data for the tests: packing hand-made code
// sequences into image data, and reading coder output back as codes. Both
// follow the code width the way every GIF decoder grows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Image data (minimum code size, sub-blocks of at most ABlockSize bytes,
// terminator) holding ACodes.
std::vector<uint8_t> PackCodes(int AMinCodeSize, const std::vector<int>& ACodes,
                               size_t ABlockSize = 255);

struct TCodeList {
  int MinCodeSize = 0;
  std::vector<int> Codes;
  std::vector<int> Widths;
  // The decoder's next free code each time a clear code arrives.
  std::vector<int> NextFreeAtClear;
  std::vector<size_t> BlockSizes;
  bool Terminated = false;
};

// Reads image data up to its end code (or the data's end).
TCodeList ReadCodes(const std::vector<uint8_t>& AImageData);
