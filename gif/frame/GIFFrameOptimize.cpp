// What the picture's optimisation does to single frames: cropping
// transparent borders and merging pixels that repeat the previous frame.
#include "GIFError.h"
#include "GIFGraphicControl.h"
#include "GIFSubImage.h"

namespace {

bool SameColor(TGIFColorMap& AMapA, int AIndexA, TGIFColorMap& AMapB, int AIndexB) {
  if (&AMapA == &AMapB && AIndexA == AIndexB) return true;
  if (AIndexA >= AMapA.Count() || AIndexB >= AMapB.Count()) return false;
  const TGIFColor& a = AMapA.Entry(AIndexA);
  const TGIFColor& b = AMapB.Entry(AIndexB);
  return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
}

bool UsesIndex(const std::vector<uint8_t>& APixels, int AIndex) {
  for (uint8_t pixel : APixels)
    if (pixel == AIndex) return true;
  return false;
}

} // namespace

void TGIFSubImage::Crop() {
  if (!Transparent() || Empty()) return;
  const int width = Width();
  const int height = Height();
  const uint8_t transparent = TransparentIndex();
  const std::vector<uint8_t>& pixels = PixelData();
  int left = width, right = -1, top = height, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      if (row[x] == transparent) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) {
    Clear();
    return;
  }
  if (left == 0 && top == 0 && right == width - 1 && bottom == height - 1) return;

  const int newWidth = right - left + 1;
  const int newHeight = bottom - top + 1;
  std::vector<uint8_t> cropped(static_cast<size_t>(newWidth) * newHeight);
  for (int y = 0; y < newHeight; ++y)
    std::copy_n(pixels.data() + static_cast<size_t>(top + y) * width + left, newWidth,
                cropped.data() + static_cast<size_t>(y) * newWidth);
  TImageDescriptor& descriptor = ImageDescriptor();
  descriptor.Left = static_cast<uint16_t>(descriptor.Left + left);
  descriptor.Top = static_cast<uint16_t>(descriptor.Top + top);
  descriptor.Width = static_cast<uint16_t>(newWidth);
  descriptor.Height = static_cast<uint16_t>(newHeight);
  PixelData() = std::move(cropped);
  FreeBitmap();
}

int TGIFSubImage::MergeIndex(bool& AMade) {
  AMade = false;
  if (Transparent()) return TransparentIndex();
  TGIFColorMap& map = ActiveColorMap();
  if (map.Count() < 1 || map.Count() > 255) return -1;
  AMade = true;
  if (ColorMap().Count() == 0 && FPicture) {
    // Another frame over the global table may already have given up an
    // index to transparency; it serves here too when no pixel of this frame
    // shows it.
    for (int i = 0; i < FPicture->FrameCount(); ++i) {
      TGIFSubImage& other = FPicture->Frames(i);
      if (&other == this || !other.Transparent() || other.ColorMap().Count() > 0) continue;
      const int index = other.TransparentIndex();
      if (index < map.Count() && !UsesIndex(PixelData(), index)) return index;
    }
  }
  return map.Add(0x000000);
}

void TGIFSubImage::Merge(TGIFSubImage* APrevious) {
  if (!APrevious || Empty() || APrevious->Empty()) return;
  TGIFGraphicControlExtension* previousControl = APrevious->GraphicControlExtension();
  if (previousControl &&
      (previousControl->Disposal() == dmBackground || previousControl->Disposal() == dmPrevious))
    return;
  const TGIFRect overlap = IntersectRect(BoundsRect(), APrevious->BoundsRect());
  if (overlap.IsEmpty()) return;

  const bool wasTransparent = Transparent();
  int replacement = -1;
  bool made = false;
  bool haveIndex = false;
  TGIFColorMap& map = ActiveColorMap();
  TGIFColorMap& previousMap = APrevious->ActiveColorMap();
  const int previousTransparent = APrevious->Transparent() ? APrevious->TransparentIndex() : -1;
  for (int y = overlap.Top; y < overlap.Bottom; ++y) {
    uint8_t* row = PixelData().data() + static_cast<size_t>(y - Top()) * Width();
    const uint8_t* previousRow = APrevious->PixelData().data() +
                                 static_cast<size_t>(y - APrevious->Top()) * APrevious->Width();
    for (int x = overlap.Left; x < overlap.Right; ++x) {
      uint8_t& pixel = row[x - Left()];
      const uint8_t below = previousRow[x - APrevious->Left()];
      if (below == previousTransparent || (haveIndex && pixel == replacement)) continue;
      if (!SameColor(map, pixel, previousMap, below)) continue;
      if (!haveIndex) {
        // Made on first use, so that a frame with nothing to merge keeps its table.
        replacement = MergeIndex(made);
        haveIndex = true;
        if (replacement < 0) return;
        if (pixel == replacement) continue;
      }
      pixel = static_cast<uint8_t>(replacement);
    }
  }
  if (!haveIndex) return;
  if (!wasTransparent && made) {
    TGIFGraphicControlExtension* control = GraphicControlExtension();
    if (!control) {
      auto extension = std::make_unique<TGIFGraphicControlExtension>(this);
      control = extension.get();
      Extensions().Add(std::move(extension));
    }
    control->SetTransparent(true);
    control->SetTransparentColorIndex(static_cast<uint8_t>(replacement));
  }
  FreeBitmap();
}
