// Fuzz target for whole pictures: the block loop, every frame rendered and
// composed on the logical screen by its disposal method (whatever the
// screen's size: the codec's bound refuses what it cannot hold), the
// composed bitmap, optimisation, and a picture that loads written and read
// again with the same frames. Pictures of many pixels are not written,
// optimised and composed again: that would take most of the run.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Exception.h"
#include "GIFFrameCompositor.h"
#include "GIFGraphicControl.h"
#include "GIFImage.h"
#include "GIFImageData.h"

namespace {

constexpr int64_t kMaxRewrittenPixels = int64_t{1} << 20;

int64_t FramePixels(TGIFImage& AImage) {
  int64_t pixels = 0;
  for (int i = 0; i < AImage.FrameCount(); ++i)
    pixels += static_cast<int64_t>(AImage.Frames(i).PixelData().size());
  return pixels;
}

void Compose(TGIFImage& AImage, TGIFDrawFlags AOptions) {
  if (AImage.Width() == 0 || AImage.Height() == 0) return;
  // The bound of the picture's own composed bitmap.
  CheckFrameSize(static_cast<size_t>(AImage.Width()), static_cast<size_t>(AImage.Height()));
  TBitmap screen(AImage.Width(), AImage.Height(), 32);
  TGIFCanvas canvas(screen);
  TGIFFrameCompositor compositor(AImage, canvas, canvas.ClipRect(), AOptions);
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
  // Keeping what lay under the picture costs a buffer of the screen's size:
  // half the inputs ask for it.
  const TGIFDrawFlags options =
      gdTransparent | ((ASize > 0 && (AData[ASize - 1] & 1)) ? gdKeepBackground : 0);
  TGIFImage image;
  try {
    TGIFMemoryStream stream(AData, ASize);
    image.LoadFromStream(stream);
  } catch (const Exception&) {
    return 0;
  }
  // Either may meet no colour table at all, or a screen beyond the bound.
  try {
    Compose(image, options);
  } catch (const Exception&) {
  }
  try {
    image.GetBitmap();
  } catch (const Exception&) {
  }
  if (FramePixels(image) > kMaxRewrittenPixels ||
      int64_t{image.Width()} * image.Height() > kMaxRewrittenPixels)
    return 0;

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
    Compose(optimised, options);
  } catch (const Exception&) {
  }
  return 0;
}
