// A frame's bounds, pixels, palette, rendering and drawing.
#include "GIFSubImage.h"

#include <algorithm>

#include "ColorLookup.h"
#include "ColorReduction.h"
#include "Dither.h"
#include "GIFError.h"
#include "GIFGraphicControl.h"
#include "GIFHeader.h"
#include "GIFImageData.h"
#include "GIFMessages.h"
#include "GIFSettings.h"

namespace {

bool SameColors(const TPalette& A, const std::vector<uint32_t>& AQuads) {
  if (A.size() != AQuads.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (PaletteEntryToRGBQuad(A[i]) != AQuads[i]) return false;
  return true;
}

constexpr int kProgressRows = 32;

} // namespace

TGIFSubImage::TGIFSubImage(TGIFPictureHost* AImage) : TGIFFrameBase(AImage), FPicture(AImage) {}

TGIFSubImage::~TGIFSubImage() = default;

void TGIFSubImage::Clear() {
  TGIFFrameBase::Clear();
  FreeBitmap();
  FLocalPalette.clear();
}

void TGIFSubImage::LoadFromStream(TGIFStream& AStream) {
  TGIFFrameBase::LoadFromStream(AStream);
  if (IncrementalLoad && !Empty()) GetBitmap();
}

void TGIFSubImage::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  auto word = [](int AValue) { return static_cast<uint16_t>(std::clamp(AValue, 0, 0xFFFF)); };
  TImageDescriptor& descriptor = ImageDescriptor();
  const uint16_t width = word(AWidth);
  const uint16_t height = word(AHeight);
  if (width != descriptor.Width || height != descriptor.Height) {
    FreeBitmap();
    CheckFrameSize(width, height);
    PixelData().assign(size_t{width} * height, 0);
  }
  descriptor.Left = word(ALeft);
  descriptor.Top = word(ATop);
  descriptor.Width = width;
  descriptor.Height = height;
  if (!FImage) return;

  // A frame beyond the logical screen widens it.
  TLogicalScreenDescriptor& screen = FImage->Header().ScreenDescriptor();
  bool warned = false;
  if (descriptor.Left + descriptor.Width > screen.ScreenWidth) {
    if (screen.ScreenWidth > 0) {
      ReportWarning(1, kMsgWidthTooSmall);
      warned = true;
    }
    screen.ScreenWidth = word(descriptor.Left + descriptor.Width);
  }
  if (descriptor.Top + descriptor.Height > screen.ScreenHeight) {
    if (screen.ScreenHeight > 0) {
      ReportWarning(1, kMsgHeightTooSmall);
      warned = true;
    }
    screen.ScreenHeight = word(descriptor.Top + descriptor.Height);
  }
  if (warned) ReportWarning(1, kMsgImageExceedsScreen);
}

uint8_t TGIFSubImage::Pixels(int AX, int AY) {
  if (AX < 0 || AX >= Width()) GIFError(kMsgInvalidPixelCoordinates);
  return GetRow(AY)[AX];
}

void TGIFSubImage::SetPixels(int AX, int AY, uint8_t AIndex) {
  if (AX < 0 || AX >= Width()) GIFError(kMsgInvalidPixelCoordinates);
  GetRow(AY)[AX] = AIndex;
}

uint8_t* TGIFSubImage::GetRow(int AY) {
  if (Width() == 0 || Height() == 0) GIFError(kMsgImageEmpty);
  if (AY < 0 || AY >= Height()) GIFError(kMsgInvalidPixelCoordinates);
  const size_t size = size_t{Width()} * Height();
  if (PixelData().size() < size) PixelData().assign(size, 0);
  return PixelData().data() + static_cast<size_t>(AY) * Width();
}

TPalette TGIFSubImage::GetPalette() {
  if (FBitmap && !FBitmap->Palette().empty()) return QuadsPalette(FBitmap->Palette());
  if (!FLocalPalette.empty()) return FLocalPalette;
  if (FPicture && FPicture->ShouldDither()) {
    FLocalPalette = CreateNetscapePalette();
    return FLocalPalette;
  }
  if (ColorMap().Count() == 0) return FPicture ? FPicture->GetPalette() : TPalette{};
  FLocalPalette = ColorMap().ExportPalette();
  return FLocalPalette;
}

void TGIFSubImage::SetPalette(const TPalette& APalette) {
  if (APalette == FLocalPalette) return;
  FLocalPalette = APalette;
  if (FBitmap && !SameColors(APalette, FBitmap->Palette())) {
    FreeBitmap();
    if (FPicture) FPicture->FramePaletteChanged();
  }
}

void TGIFSubImage::ColorMapChanged() {
  SetPalette({});
  // A bitmap drawn with the picture's palette is stale too.
  FreeBitmap();
}

void TGIFSubImage::FreeBitmap() {
  FBitmap.reset();
  FMask.reset();
  FNeedMask = true;
}

TBitmap& TGIFSubImage::GetBitmap() {
  if (!FBitmap) Render();
  return *FBitmap;
}

bool TGIFSubImage::HasMask() {
  if (FNeedMask && Transparent()) {
    FreeBitmap();
    Render();
  }
  return FMask != nullptr;
}

void TGIFSubImage::Render() {
  auto bitmap = std::make_unique<TBitmap>();
  if (Empty()) {
    bitmap->SetSize(Width(), Height(), 8);
    bitmap->Palette() = PaletteQuads(GetPalette());
    FBitmap = std::move(bitmap);
    return;
  }
  auto progress = [this](TProgressStage AStage, int APercent, bool ARedraw) {
    if (FPicture) FPicture->ReportProgress(AStage, APercent, ARedraw, kMsgRendering);
  };
  progress(TProgressStage::psStarting, 0, false);
  try {
    const int width = Width();
    const int height = Height();
    const TPalette palette = GetPalette();
    bitmap->SetSize(width, height, 8);
    bitmap->Palette() = PaletteQuads(palette);

    const bool buildMask = FNeedMask && Transparent();
    FNeedMask = false;
    const int transparentIndex = Transparent() ? TransparentIndex() : -1;
    TBitmap mask;
    if (buildMask) {
      mask.SetSize(width, height, 1);
      mask.Palette() = {0x000000, 0xFFFFFF};
    }
    bool anyTransparent = false;
    // Pixel AX of a row whose mask bits start at AMaskRow (null without a mask).
    auto markTransparent = [&](uint8_t* AMaskRow, int AX) {
      anyTransparent = true;
      if (AMaskRow) AMaskRow[AX >> 3] |= static_cast<uint8_t>(0x80 >> (AX & 7));
    };

    const uint8_t* pixels = PixelData().data();
    if (FPicture && FPicture->ShouldDither()) {
      // Floyd-Steinberg over the 6 x 6 x 6 palette, the frame's colours from
      // its active table; transparent pixels pass without spreading error.
      TNetscapeColorLookup lookup(palette);
      TFloydSteinbergDitherer ditherer(width, lookup);
      const TGIFColorMap& map = ActiveColorMap();
      for (int y = 0; y < height; ++y) {
        const uint8_t* source = pixels + static_cast<size_t>(y) * width;
        uint8_t* target = bitmap->ScanLine(y);
        uint8_t* maskRow = buildMask ? mask.ScanLine(y) : nullptr;
        for (int x = ditherer.Column(); x >= 0 && x < width; x = ditherer.Column()) {
          const uint8_t index = source[x];
          if (index == transparentIndex) {
            markTransparent(maskRow, x);
            target[x] = 0;
            ditherer.SkipPixel();
            continue;
          }
          const TGIFColor color = index < map.Count() ? map.Entry(index) : TGIFColor{};
          uint8_t red, green, blue;
          target[x] = static_cast<uint8_t>(
              ditherer.DitherPixel(color.Red, color.Green, color.Blue, red, green, blue));
        }
        ditherer.NextRow();
        if (y % kProgressRows == 0) progress(TProgressStage::psRunning, y * 100 / height, false);
      }
    } else {
      for (int y = 0; y < height; ++y) {
        const uint8_t* source = pixels + static_cast<size_t>(y) * width;
        std::copy_n(source, width, bitmap->ScanLine(y));
        uint8_t* maskRow = buildMask ? mask.ScanLine(y) : nullptr;
        if (transparentIndex >= 0)
          for (int x = 0; x < width; ++x)
            if (source[x] == transparentIndex) markTransparent(maskRow, x);
        if (y % kProgressRows == 0) progress(TProgressStage::psRunning, y * 100 / height, false);
      }
    }

    FMask.reset();
    if (buildMask && anyTransparent) FMask = std::make_unique<TBitmap>(std::move(mask));
    FBitmap = std::move(bitmap);
    const bool paletteModified = FPicture && FPicture->PaletteModified();
    progress(TProgressStage::psEnding, 100, paletteModified);
    if (paletteModified) FPicture->NotifyChanged();
  } catch (...) {
    progress(TProgressStage::psEnding, 0, false);
    throw;
  }
}

void TGIFSubImage::Draw(TGIFCanvas& ACanvas, const TGIFRect& ARect, bool ATile, bool ATransparent) {
  // HasMask may render the bitmap again, so the bitmap is taken after it.
  const TBitmap* mask = ATransparent && Transparent() && HasMask() ? FMask.get() : nullptr;
  const TBitmap& source = GetBitmap();
  const int screenWidth = FImage ? FImage->Header().Width() : Width();
  const int screenHeight = FImage ? FImage->Header().Height() : Height();
  if (ATile && screenWidth > 0 && screenHeight > 0) {
    for (int y = ARect.Top + Top(); y < ARect.Bottom; y += screenHeight)
      for (int x = ARect.Left + Left(); x < ARect.Right; x += screenWidth)
        ACanvas.StretchDraw({x, y, x + Width(), y + Height()}, source, mask);
  } else {
    const TGIFRect target{ARect.Left + MulDiv(Left(), ARect.Width(), screenWidth),
                          ARect.Top + MulDiv(Top(), ARect.Height(), screenHeight),
                          ARect.Left + MulDiv(Left() + Width(), ARect.Width(), screenWidth),
                          ARect.Top + MulDiv(Top() + Height(), ARect.Height(), screenHeight)};
    ACanvas.StretchDraw(target, source, mask);
  }
  ACanvas.Changed();
}

void TGIFSubImage::AssignTo(TBitmap& ADest) {
  ADest.Assign(GetBitmap());
}
