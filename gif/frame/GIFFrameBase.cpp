// The stored parts of a frame: reading and writing its blocks.
#include "GIFFrameBase.h"

#include "GIFError.h"
#include "GIFGraphicControl.h"
#include "GIFHeader.h"
#include "GIFImageData.h"
#include "GIFImageHost.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

void TGIFLocalColorMap::ReportWarning(int ASeverity, const std::string& AMessage) {
  if (TGIFImageHost* image = FFrame->Image()) image->ReportWarning(this, ASeverity, AMessage);
}

void TGIFLocalColorMap::BuildHistogram(TColormapHistogram& AHistogram) {
  for (uint8_t pixel : FFrame->PixelData())
    if (pixel < Count()) ++AHistogram[pixel].Count;
}

void TGIFLocalColorMap::MapIndices(const TColormapReverse& AMap) {
  FFrame->MapIndices(AMap);
}

void TGIFLocalColorMap::Changed() {
  FFrame->ColorMapChanged();
}

TGIFFrameBase::TGIFFrameBase(TGIFImageHost* AImage)
    : TGIFItem(AImage), FColorMap(this), FExtensions(this) {}

TGIFFrameBase::~TGIFFrameBase() {
  FExtensions.Clear();
}

void TGIFFrameBase::Clear() {
  FExtensions.Clear();
  FColorMap.Clear();
  FPixels.clear();
  FPixels.shrink_to_fit();
  FImageDescriptor.Width = 0;
  FImageDescriptor.Height = 0;
  FTransparent = false;
  FGraphicControlExtension = nullptr;
}

bool TGIFFrameBase::Empty() const {
  return FPixels.empty() || FImageDescriptor.Width == 0 || FImageDescriptor.Height == 0;
}

void TGIFFrameBase::SetInterlaced(bool AValue) {
  if (AValue)
    FImageDescriptor.PackedFields |= kInterlaceFlag;
  else
    FImageDescriptor.PackedFields &= static_cast<uint8_t>(~kInterlaceFlag);
}

int TGIFFrameBase::RequiredVersion() const {
  return FColorMap.Optimized() || FExtensions.Count() > 0 ? 2 : 1;
}

TGIFColorMap& TGIFFrameBase::ActiveColorMap() {
  if (FColorMap.Count() == 0 && FImage && FImage->Header().ColorMap().Count() > 0)
    return FImage->Header().ColorMap();
  return FColorMap;
}

uint8_t TGIFFrameBase::TransparentIndex() const {
  return FGraphicControlExtension ? FGraphicControlExtension->TransparentColorIndex() : 0;
}

void TGIFFrameBase::MapIndices(const TColormapReverse& AMap) {
  for (uint8_t& pixel : FPixels)
    pixel = AMap[pixel];
  if (FGraphicControlExtension)
    FGraphicControlExtension->FTransparentColorIndex =
        AMap[FGraphicControlExtension->FTransparentColorIndex];
}

void TGIFFrameBase::LoadFromStream(TGIFStream& AStream) {
  if (LoadDescriptor(AStream)) LoadImageData(AStream);
}

bool TGIFFrameBase::ScanFromStream(TGIFStream& AStream) {
  if (!LoadDescriptor(AStream)) return false;
  // What the decoder refuses before it decodes anything.
  CheckFrameSize(FImageDescriptor.Width, FImageDescriptor.Height);
  const int minCodeSize = ReadByte(AStream);
  if (minCodeSize >= 12) GIFError(kMsgClearCodeTooLarge);
  if (minCodeSize != kEndOfStream) SkipSubBlocks(AStream);
  return FImageDescriptor.Width > 0 && FImageDescriptor.Height > 0;
}

bool TGIFFrameBase::LoadDescriptor(TGIFStream& AStream) {
  Clear();
  FExtensions.LoadFromStream(AStream);

  int next = ReadByte(AStream);
  if (next == kEndOfStream) return false;
  AStream.Seek(-1, TSeekOrigin::soCurrent);
  if (next == kTrailerByte || next == 0) return false;

  uint8_t descriptor[10];
  ReadCheck(AStream, descriptor, sizeof(descriptor));
  FImageDescriptor.Separator = descriptor[0];
  FImageDescriptor.Left = GetWord(descriptor + 1);
  FImageDescriptor.Top = GetWord(descriptor + 3);
  FImageDescriptor.Width = GetWord(descriptor + 5);
  FImageDescriptor.Height = GetWord(descriptor + 7);
  FImageDescriptor.PackedFields = descriptor[9];
  if (FImageDescriptor.Width == 0 || FImageDescriptor.Height == 0) {
    if (FImage) {
      FImageDescriptor.Width = FImage->Header().Width();
      FImageDescriptor.Height = FImage->Header().Height();
    }
    ReportWarning(1, kMsgImageExceedsScreen);
  }

  if (FImageDescriptor.PackedFields & kLocalTableFlag)
    FColorMap.LoadFromStream(AStream, 2 << (FImageDescriptor.PackedFields & 7));
  return true;
}

void TGIFFrameBase::LoadImageData(TGIFStream& AStream) {
  FPixels = ReadImageData(AStream, FImageDescriptor.Width, FImageDescriptor.Height, Interlaced(),
                          FTransparent ? TransparentIndex() : 0,
                          [this](const std::string& AMessage) { ReportWarning(1, AMessage); });
}

void TGIFFrameBase::SaveToStream(TGIFStream& AStream) {
  FExtensions.SaveToStream(AStream);
  if (Empty()) return;

  uint8_t& packed = FImageDescriptor.PackedFields;
  if (FColorMap.Count() == 0) {
    packed &= kInterlaceFlag | 0x18;
  } else {
    packed = static_cast<uint8_t>(kLocalTableFlag | (FColorMap.Optimized() ? kSortFlag : 0) |
                                  ((FColorMap.BitsPerPixel() - 1) & 7));
  }
  // A descriptor always starts with the separator, whatever byte a damaged
  // file had in its place.
  uint8_t descriptor[10] = {kImageSeparator};
  PutWord(descriptor + 1, FImageDescriptor.Left);
  PutWord(descriptor + 3, FImageDescriptor.Top);
  PutWord(descriptor + 5, FImageDescriptor.Width);
  PutWord(descriptor + 7, FImageDescriptor.Height);
  descriptor[9] = packed;
  AStream.Write(descriptor, sizeof(descriptor));
  if (FColorMap.Count() > 0) FColorMap.SaveToStream(AStream);
  SaveImageData(AStream);
}

void TGIFFrameBase::SaveImageData(TGIFStream& AStream) {
  if (FPixels.size() < static_cast<size_t>(FImageDescriptor.Width) * FImageDescriptor.Height)
    GIFError("Pixel buffer smaller than the image");
  int bits = 0;
  int colorCount = 0;
  if (FColorMap.Count() > 0) {
    bits = FColorMap.BitsPerPixel();
    colorCount = FColorMap.Count();
  } else {
    bits = FImage ? FImage->GetBitsPerPixel() : 0;
    colorCount = 1 << bits;
  }
  TGIFCompression compression = FImage ? FImage->Compression() : TGIFCompression::ccLZW;
  WriteImageData(AStream, FPixels.data(), FImageDescriptor.Width, FImageDescriptor.Height,
                 Interlaced(), bits, colorCount, compression);
}
