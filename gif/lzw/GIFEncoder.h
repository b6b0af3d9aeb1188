// The base of the two frame coders: the minimum code size byte, the walk over
// the pixels (plain or interlaced), the packing of variable-width codes
// least significant bit first, and the sub-block writer they go through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "GIFStream.h"
#include "GIFWriter.h"

class TGIFEncoder {
public:
  virtual ~TGIFEncoder() = default;

  // Writes one frame's image data: the minimum code size byte, the codes in
  // sub-blocks, and the terminator. Every pixel must be below AColorCount,
  // else "Color not in color table" is raised.
  void Encode(TGIFStream& AStream, const uint8_t* APixels, int AWidth, int AHeight,
              bool AInterlaced, int ABitsPerPixel, int AColorCount);

protected:
  virtual void Output(int ACode) { PutCode(ACode); }
  // Sends the clear code in the current width and marks the clear.
  virtual void Clear();
  virtual void Compress() = 0;

  void PutCode(int ACode) {
    FBucket = FBucketBits == 0 ? static_cast<uint32_t>(ACode)
                               : (static_cast<uint32_t>(ACode) << FBucketBits) |
                                     (FBucket & ((1u << FBucketBits) - 1));
    FBucketBits += FCodeWidth;
    while (FBucketBits > 7) {
      FWriter->PutByte(static_cast<uint8_t>(FBucket));
      FBucket >>= 8;
      FBucketBits -= 8;
    }
    if (ACode == FEndCode) {
      while (FBucketBits > 0) {
        FWriter->PutByte(static_cast<uint8_t>(FBucket));
        FBucket >>= 8;
        FBucketBits -= 8;
      }
      FBucketBits = 0;
    }
  }

  // The next stretch of pixels in walk order: the whole frame when it is not
  // interlaced, else one row. False when the walk has ended.
  bool NextSegment(const uint8_t*& ASegment, size_t& ACount);
  [[noreturn]] static void ColorNotInTable();

  int FColorCount = 0;
  int FBitsPerPixel = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool FInterlaced = false;
  const uint8_t* FPixels = nullptr;
  TGIFWriter* FWriter = nullptr;
  uint32_t FBucket = 0;
  int FBucketBits = 0;
  bool FClearFlag = false;
  int FCodeWidth = 0;
  int FInitialCodeWidth = 0;
  int FMaxCode = 0;
  int FClearCode = 0;
  int FEndCode = 0;
  int FFirstFreeCode = 0;

private:
  int FRow = 0;
  int FPass = 0;
  bool FWalkDone = false;
};
