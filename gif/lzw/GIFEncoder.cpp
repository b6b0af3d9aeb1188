// The base of the frame coders.
#include "GIFEncoder.h"

#include <algorithm>

#include "GIFError.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

void TGIFEncoder::Encode(TGIFStream& AStream, const uint8_t* APixels, int AWidth, int AHeight,
                         bool AInterlaced, int ABitsPerPixel, int AColorCount) {
  FColorCount = AColorCount;
  // Codes of more than 12 bits do not exist, and pixels are bytes.
  FBitsPerPixel = std::clamp(ABitsPerPixel, 2, 8);
  FWidth = AWidth;
  FHeight = AHeight;
  FInterlaced = AInterlaced;
  FPixels = APixels;
  WriteByte(AStream, static_cast<uint8_t>(FBitsPerPixel));

  FInitialCodeWidth = FBitsPerPixel + 1;
  FCodeWidth = FInitialCodeWidth;
  FMaxCode = (1 << FCodeWidth) - 1;
  FClearCode = 1 << (FInitialCodeWidth - 1);
  FEndCode = FClearCode + 1;
  FFirstFreeCode = FClearCode + 2;
  FBucket = 0;
  FBucketBits = 0;
  FRow = 0;
  FPass = 0;
  FWalkDone = false;

  TGIFWriter writer(AStream);
  FWriter = &writer;
  if (FPixels && FWidth > 0 && FHeight > 0) Compress();
  Output(FEndCode);
  writer.Flush();
  FWriter = nullptr;
  WriteByte(AStream, 0);
}

void TGIFEncoder::Clear() {
  FClearFlag = true;
  Output(FClearCode);
}

bool TGIFEncoder::NextSegment(const uint8_t*& ASegment, size_t& ACount) {
  if (FWalkDone) return false;
  if (!FInterlaced) {
    ASegment = FPixels;
    ACount = static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight);
    FWalkDone = true;
    return true;
  }
  ASegment = FPixels + static_cast<size_t>(FRow) * static_cast<size_t>(FWidth);
  ACount = static_cast<size_t>(FWidth);
  // Passes 0 to 3 start at rows 0, 4, 2, 1 and step by 8, 8, 4, 2.
  static constexpr int kStep[4] = {8, 8, 4, 2};
  static constexpr int kStart[4] = {0, 4, 2, 1};
  FRow += kStep[FPass];
  while (FRow >= FHeight) {
    if (FPass == 3) {
      FWalkDone = true;
      break;
    }
    ++FPass;
    FRow = kStart[FPass];
  }
  return true;
}

void TGIFEncoder::ColorNotInTable() {
  GIFError(kMsgColorNotInTable);
}
