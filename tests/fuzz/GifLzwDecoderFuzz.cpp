// Fuzz target for the LZW image-data decoder. The first four bytes choose
// the frame (width, height, interlacing); the rest is image data. Whatever
// decodes is coded again with both frame coders and must decode to the same
// pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "GIFException.h"
#include "GIFImageData.h"

namespace {

std::vector<uint8_t> RoundTrip(const std::vector<uint8_t>& APixels, int AWidth, int AHeight,
                               bool AInterlaced, TGIFCompression ACompression) {
  TGIFMemoryStream coded;
  WriteImageData(coded, APixels.data(), AWidth, AHeight, AInterlaced, 8, 256, ACompression);
  coded.SetPosition(0);
  return ReadImageData(coded, static_cast<size_t>(AWidth), static_cast<size_t>(AHeight),
                       AInterlaced, 0, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 4) return 0;
  int width = 1 + AData[0] + ((AData[1] & 1) << 8);
  int height = 1 + AData[2];
  bool interlaced = (AData[3] & 1) != 0;
  TGIFMemoryStream stream(AData + 4, ASize - 4);
  std::vector<uint8_t> pixels;
  try {
    pixels = ReadImageData(stream, static_cast<size_t>(width), static_cast<size_t>(height),
                           interlaced, 0, [](const std::string&) {});
  } catch (const GIFException&) {
    return 0;
  }
  for (TGIFCompression compression : {TGIFCompression::ccLZW, TGIFCompression::ccRLE})
    if (RoundTrip(pixels, width, height, interlaced, compression) != pixels) __builtin_trap();
  return 0;
}
