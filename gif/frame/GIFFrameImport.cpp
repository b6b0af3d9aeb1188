// Frames made from other frames, bitmaps of any depth and other graphics.
// Icons and metafiles do not exist on this platform: a graphic hands its
// picture over as a bitmap.
#include <array>

#include "BitmapDepth.h"
#include "ColorReduction.h"
#include "GIFError.h"
#include "GIFGraphicControl.h"
#include "GIFMessages.h"
#include "GIFSettings.h"
#include "GIFSubImage.h"

namespace {

constexpr int kProgressRows = 32;

// The raw value of a mask pixel: the index at palette depths, the colour
// otherwise.
bool MaskSet(const TBitmap& AMask, int AX, int AY) {
  const int bits = AMask.BitsPerPixel();
  const uint8_t* row = AMask.ScanLine(AY);
  if (bits <= 8) {
    const int perByte = 8 / bits;
    const int shift = 8 - bits * (AX % perByte + 1);
    return ((row[AX / perByte] >> shift) & ((1 << bits) - 1)) != 0;
  }
  return BitmapPixelBGR(AMask, AX, AY) != 0;
}

// The colours of a true-colour picture in order of first appearance; the
// last eight seen are looked up first.
class TColorCache {
public:
  explicit TColorCache(TGIFColorMap& AMap) : FMap(AMap) {}

  uint8_t IndexOf(TColor AColor) {
    // From the most recent entry backwards, wrapping, until an empty entry
    // or the start again.
    int i = FLast;
    for (int n = 0; n < 8 && FUsed[static_cast<size_t>(i)]; ++n, i = (i + 7) % 8)
      if (FColors[static_cast<size_t>(i)] == AColor) return FIndices[static_cast<size_t>(i)];
    const int index = FMap.AddUnique(AColor);
    FLast = (FLast + 1) % 8;
    FColors[static_cast<size_t>(FLast)] = AColor;
    FIndices[static_cast<size_t>(FLast)] = static_cast<uint8_t>(index);
    FUsed[static_cast<size_t>(FLast)] = true;
    return static_cast<uint8_t>(index);
  }

private:
  TGIFColorMap& FMap;
  std::array<TColor, 8> FColors{};
  std::array<uint8_t, 8> FIndices{};
  std::array<bool, 8> FUsed{};
  int FLast = 7;
};

} // namespace

void TGIFSubImage::Assign(TGIFSubImage& ASource) {
  if (&ASource == this) return;
  Clear();
  if (ASource.Empty()) return;
  ImageDescriptor() = ASource.ImageDescriptor();
  PixelData() = ASource.PixelData();
  ColorMap().Assign(ASource.ColorMap());
  // The extensions travel through their stream form, so that this frame's
  // list holds its own (and its graphic control extension is this frame's).
  TGIFMemoryStream stream;
  ASource.Extensions().SaveToStream(stream);
  stream.SetPosition(0);
  Extensions().LoadFromStream(stream);
  if (ASource.FBitmap) FBitmap = std::make_unique<TBitmap>(*ASource.FBitmap);
}

void TGIFSubImage::Assign(const TBitmap& ABitmap, const TBitmap* AMask) {
  Clear();
  if (ABitmap.Empty()) return;
  SetBounds(Left(), Top(), ABitmap.Width(), ABitmap.Height());

  std::unique_ptr<TBitmap> bitmap;
  const int bits = ABitmap.BitsPerPixel();
  if (bits == 1 || bits == 4 || bits == 8) {
    bitmap = std::make_unique<TBitmap>(ABitmap);
  } else {
    TBitmap source(ABitmap);
    const TGIFFrameReduction reduction =
        FPicture
            ? FPicture->FrameReduction()
            : TGIFFrameReduction{DefaultColorReduction, DefaultDitherMode, DefaultReductionBits};
    bitmap = ReduceColors(source, reduction.Method, reduction.Dither, {}, reduction.Bits);
    // An unknown method, or the caller's palette that a frame has none of.
    if (bitmap->Empty()) GIFError(kMsgInvalidReduction);
  }

  auto progress = [this](TProgressStage AStage, int APercent) {
    if (FPicture) FPicture->ReportProgress(AStage, APercent, false, kMsgConverting);
  };
  progress(TProgressStage::psStarting, 0);
  try {
    ReadBitmap(*bitmap);
    if (AMask) TakeTransparency(*AMask);
  } catch (...) {
    progress(TProgressStage::psEnding, 0);
    throw;
  }
  progress(TProgressStage::psEnding, 100);
  FBitmap = std::move(bitmap);
}

void TGIFSubImage::ReadBitmap(const TBitmap& ABitmap) {
  const int width = Width();
  const int height = Height();
  const int bits = ABitmap.BitsPerPixel();
  uint8_t* pixels = PixelData().data();
  if (bits == 1 || bits == 4 || bits == 8) {
    TBitmap table;
    table.Palette() = ABitmap.Palette();
    ColorMap().ImportDIB(table);
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = ABitmap.ScanLine(y);
      uint8_t* target = pixels + static_cast<size_t>(y) * width;
      for (int x = 0; x < width; ++x)
        target[x] =
            static_cast<uint8_t>((row[x / perByte] >> (8 - bits * (x % perByte + 1))) & mask);
      if (y % kProgressRows == 0 && FPicture)
        FPicture->ReportProgress(TProgressStage::psRunning, y * 100 / height, false,
                                 kMsgConverting);
    }
    return;
  }
  // True colour: the colours become the local table as they first appear;
  // more than 256 raise the table's overflow.
  TColorCache cache(ColorMap());
  for (int y = 0; y < height; ++y) {
    uint8_t* target = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const uint32_t bgr = BitmapPixelBGR(ABitmap, x, y);
      const TColor color = ((bgr >> 16) & 0xFF) | (bgr & 0xFF00) | ((bgr & 0xFF) << 16);
      target[x] = cache.IndexOf(color);
    }
    if (y % kProgressRows == 0 && FPicture)
      FPicture->ReportProgress(TProgressStage::psRunning, y * 100 / height, false, kMsgConverting);
  }
}

void TGIFSubImage::TakeTransparency(const TBitmap& AMask) {
  ColorMap().Optimize();
  const int count = ColorMap().Count();
  if (count < 1 || count > 255) return;
  const int index = ColorMap().Add(0x000000);
  bool changed = false;
  const int width = std::min<int>(Width(), AMask.Width());
  const int height = std::min<int>(Height(), AMask.Height());
  for (int y = 0; y < height; ++y) {
    uint8_t* row = PixelData().data() + static_cast<size_t>(y) * Width();
    for (int x = 0; x < width; ++x)
      if (MaskSet(AMask, x, y)) {
        row[x] = static_cast<uint8_t>(index);
        changed = true;
      }
  }
  if (!changed) {
    ColorMap().Delete(index);
    return;
  }
  auto extension = std::make_unique<TGIFGraphicControlExtension>(this);
  TGIFGraphicControlExtension* control = extension.get();
  Extensions().Add(std::move(extension));
  control->SetTransparent(true);
  control->SetTransparentColorIndex(static_cast<uint8_t>(index));
}

void TGIFSubImage::Assign(TGraphic& AGraphic) {
  if (AGraphic.Empty()) {
    Clear();
    return;
  }
  TBitmap bitmap;
  AGraphic.AssignTo(bitmap);
  Assign(bitmap);
}

void TGIFSubImage::Assign(TPicture& APicture) {
  if (!APicture.Graphic()) {
    Clear();
    return;
  }
  Assign(*APicture.Graphic());
}
