// Header, logical screen descriptor, global colour table and trailer.
#include "GIFHeader.h"

#include <cctype>
#include <cstring>

#include "GIFError.h"
#include "GIFFrameBase.h"
#include "GIFImageHost.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

namespace {

constexpr uint8_t kGlobalTableFlag = 0x80;
constexpr uint8_t kSortFlag = 0x08;

bool HasSignature(const uint8_t* AHeader) {
  return std::toupper(AHeader[0]) == 'G' && std::toupper(AHeader[1]) == 'I' &&
         std::toupper(AHeader[2]) == 'F';
}

// The frames whose pixels index the global table.
template <typename TVisit> void ForEachGlobalFrame(TGIFImageHost* AImage, TVisit AVisit) {
  if (!AImage) return;
  for (int i = 0; i < AImage->FrameCount(); ++i) {
    TGIFFrameBase& frame = AImage->Frame(i);
    if (frame.ColorMap().Count() == 0) AVisit(frame);
  }
}

} // namespace

void TGIFGlobalColorMap::ReportWarning(int ASeverity, const std::string& AMessage) {
  if (TGIFImageHost* image = FHeader->Image()) image->ReportWarning(this, ASeverity, AMessage);
}

void TGIFGlobalColorMap::BuildHistogram(TColormapHistogram& AHistogram) {
  ForEachGlobalFrame(FHeader->Image(), [&](TGIFFrameBase& AFrame) {
    for (uint8_t pixel : AFrame.PixelData())
      if (pixel < Count()) ++AHistogram[pixel].Count;
  });
}

void TGIFGlobalColorMap::MapIndices(const TColormapReverse& AMap) {
  ForEachGlobalFrame(FHeader->Image(), [&](TGIFFrameBase& AFrame) { AFrame.MapIndices(AMap); });
}

void TGIFGlobalColorMap::Optimize() {
  TGIFImageHost* image = FHeader->Image();
  if (image && image->FrameCount() > 0) DoOptimize();
}

void TGIFGlobalColorMap::Changed() {
  if (TGIFImageHost* image = FHeader->Image()) image->GlobalColorMapChanged();
}

TGIFHeader::TGIFHeader(TGIFImageHost* AImage) : TGIFItem(AImage), FColorMap(this) {}

void TGIFHeader::Prepare() {
  uint8_t packed = 0;
  int colorResolution = FImage ? FImage->GetColorResolution() : 0;
  int bits = 0;
  if (FColorMap.Count() > 0) {
    packed |= kGlobalTableFlag;
    if (FColorMap.Optimized()) packed |= kSortFlag;
    bits = FColorMap.BitsPerPixel();
  } else {
    bits = FImage ? FImage->GetBitsPerPixel() : 0;
  }
  packed |= static_cast<uint8_t>((colorResolution & 7) << 4);
  packed |= static_cast<uint8_t>((bits - 1) & 7);
  FScreenDescriptor.PackedFields = packed;
}

void TGIFHeader::SaveToStream(TGIFStream& AStream) {
  int version = FImage ? FImage->GetVersion() : 0;
  if (version != 1 && version != 2) GIFError(kMsgUnsupportedVersion);
  Prepare();
  uint8_t bytes[13];
  std::memcpy(bytes, version == 1 ? "GIF87a" : "GIF89a", 6);
  PutWord(bytes + 6, FScreenDescriptor.ScreenWidth);
  PutWord(bytes + 8, FScreenDescriptor.ScreenHeight);
  bytes[10] = FScreenDescriptor.PackedFields;
  bytes[11] = FScreenDescriptor.BackgroundColorIndex;
  bytes[12] = FScreenDescriptor.AspectRatio;
  AStream.Write(bytes, sizeof(bytes));
  if (FScreenDescriptor.PackedFields & kGlobalTableFlag) FColorMap.SaveToStream(AStream);
}

void TGIFHeader::LoadFromStream(TGIFStream& AStream) {
  int64_t start = AStream.Position();
  uint8_t header[6];
  ReadCheck(AStream, header, sizeof(header));
  if (!HasSignature(header)) {
    // Some containers put a 4-byte length in front of the picture.
    AStream.SetPosition(start + 4);
    ReadCheck(AStream, header, sizeof(header));
    if (!HasSignature(header)) GIFError(kMsgInvalidSignature);
  }

  uint8_t descriptor[7];
  ReadCheck(AStream, descriptor, sizeof(descriptor));
  FScreenDescriptor.ScreenWidth = GetWord(descriptor);
  FScreenDescriptor.ScreenHeight = GetWord(descriptor + 2);
  FScreenDescriptor.PackedFields = descriptor[4];
  FScreenDescriptor.BackgroundColorIndex = descriptor[5];
  FScreenDescriptor.AspectRatio = descriptor[6];
  if (FScreenDescriptor.PackedFields & kGlobalTableFlag)
    FColorMap.LoadFromStream(AStream, 2 << (FScreenDescriptor.PackedFields & 7));
  else
    FColorMap.Clear();
}

void TGIFHeader::Assign(const TGIFHeader& ASource) {
  if (&ASource == this) return;
  FScreenDescriptor = ASource.FScreenDescriptor;
  FColorMap.Assign(ASource.FColorMap);
}

void TGIFHeader::Assign(const TGIFColorMap& ASource) {
  FScreenDescriptor = TLogicalScreenDescriptor{};
  FColorMap.Assign(ASource);
}

void TGIFHeader::Clear() {
  FColorMap.Clear();
  FScreenDescriptor = TLogicalScreenDescriptor{};
}

int TGIFHeader::RequiredVersion() const {
  return FColorMap.Optimized() || FScreenDescriptor.AspectRatio != 0 ? 2 : 1;
}

TColor TGIFHeader::BackgroundColor() {
  return FColorMap.GetColor(FScreenDescriptor.BackgroundColorIndex);
}

void TGIFTrailer::SaveToStream(TGIFStream& AStream) {
  WriteByte(AStream, ';');
}

void TGIFTrailer::LoadFromStream(TGIFStream& AStream) {
  int value = ReadByte(AStream);
  if (value != kEndOfStream && value != ';') ReportWarning(1, kMsgInvalidTrailer);
}
