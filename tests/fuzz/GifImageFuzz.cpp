// Fuzz target for whole pictures: the block loop, every frame rendered and
// composed on the logical screen by its disposal method, optimisation, and
// a picture that loads written and read again with the same frames. Large
// screens and frames only load: composing them would take most of the run.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Exception.h"
#include "GIFFrameCompositor.h"
#include "GIFGraphicControl.h"
#include "GIFImage.h"

namespace {

constexpr int64_t kMaxComposedPixels = int64_t{1} << 20;

int64_t FramePixels(TGIFImage& AImage) {
  int64_t pixels = 0;
  for (int i = 0; i < AImage.FrameCount(); ++i)
    pixels += static_cast<int64_t>(AImage.Frames(i).PixelData().size());
  return pixels;
}

void Compose(TGIFImage& AImage) {
  if (int64_t{AImage.Width()} * AImage.Height() > kMaxComposedPixels || AImage.Width() == 0 ||
      AImage.Height() == 0)
    return;
  TBitmap screen(AImage.Width(), AImage.Height(), 32);
  TGIFCanvas canvas(screen);
  TGIFFrameCompositor compositor(AImage, canvas, canvas.ClipRect(),
                                 gdTransparent | gdKeepBackground);
  int oldDisposal = dmNoDisposal;
  for (int i = 0; i < AImage.FrameCount(); ++i) {
    if (AImage.Frames(i).Empty()) continue;
    TGIFGraphicControlExtension* control = AImage.Frames(i).GraphicControlExtension();
    const int disposal = control ? control->Disposal() : static_cast<int>(dmNone);
    compositor.Paint(i, disposal, oldDisposal);
    oldDisposal = disposal;
  }
}

std::vector<std::vector<uint8_t>> ImagePixels(TGIFImage& AImage) {
  std::vector<std::vector<uint8_t>> pixels;
  for (int i = 0; i < AImage.FrameCount(); ++i)
    if (!AImage.Frames(i).Empty()) pixels.push_back(AImage.Frames(i).PixelData());
  return pixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TGIFImage image;
  try {
    TGIFMemoryStream stream(AData, ASize);
    image.LoadFromStream(stream);
  } catch (const Exception&) {
    return 0;
  }
  if (FramePixels(image) > kMaxComposedPixels) return 0;
  try {
    Compose(image);
  } catch (const Exception&) {
    // No colour table at all, or a colour index the table lacks.
  }

  std::vector<uint8_t> saved;
  try {
    TGIFMemoryStream stream;
    image.SaveToStream(stream);
    saved = stream.Data();
  } catch (const Exception&) {
    return 0;
  }
  TGIFImage reread;
  TGIFMemoryStream again(saved);
  reread.LoadFromStream(again);
  if (ImagePixels(reread) != ImagePixels(image)) __builtin_trap();

  try {
    image.Optimize(ooAll & ~ooReduceColors, crNone, 8, dtNearest);
    TGIFMemoryStream stream;
    image.SaveToStream(stream);
    TGIFImage optimised;
    TGIFMemoryStream back(stream.Data());
    optimised.LoadFromStream(back);
    Compose(optimised);
  } catch (const Exception&) {
  }
  return 0;
}
