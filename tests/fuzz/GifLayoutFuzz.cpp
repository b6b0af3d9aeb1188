// Fuzz target for the file layout reader: header, extension blocks, image
// descriptors, colour tables and image data, through the codec's items. A
// picture that loads is written and read again; its frames must keep their
// pixels. Huge pictures only load: coding them again would take most of the
// run.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Exception.h"
#include "GIFTestImage.h"

namespace {

constexpr size_t kMaxRoundTripPixels = size_t{1} << 22;

std::vector<std::vector<uint8_t>> FramePixels(TGIFTestImage& AImage) {
  std::vector<std::vector<uint8_t>> pixels;
  for (auto& frame : AImage.Frames)
    if (!frame->Empty()) pixels.push_back(frame->PixelData());
  return pixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TGIFTestImage image;
  try {
    TGIFMemoryStream stream(AData, ASize);
    image.Load(stream);
  } catch (const Exception&) {
    return 0;
  }
  size_t pixels = 0;
  for (auto& frame : image.Frames)
    pixels += frame->PixelData().size();
  if (pixels > kMaxRoundTripPixels) return 0;
  std::vector<uint8_t> saved;
  try {
    saved = image.Save();
  } catch (const Exception&) {
    // Pixels beyond their colour table, or a picture without frames.
    return 0;
  }
  TGIFTestImage reread;
  reread.Load(saved);
  if (FramePixels(reread) != FramePixels(image)) __builtin_trap();
  return 0;
}
