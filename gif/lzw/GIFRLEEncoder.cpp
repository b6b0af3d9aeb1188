// The run-length frame coder.
#include "GIFRLEEncoder.h"

#include <cmath>

void TRLEEncoder::OutputPlain(int ACode) {
  FClearFlag = false;
  Output(ACode);
  ++FOutCount;
  // The decoder widens its codes once its table reaches the next power of two.
  if (FOutCount >= FOutBump) {
    FOutBump += 1 << FCodeWidth;
    ++FCodeWidth;
  }
  if (FOutCount >= FOutClear) Clear();
}

void TRLEEncoder::Clear() {
  FOutBump = FOutBumpInit;
  FOutClear = FOutClearInit;
  FOutCount = 0;
  FRunTableMax = 0;
  TGIFEncoder::Clear();
  FCodeWidth = FInitialCodeWidth;
}

uint64_t TRLEEncoder::Triangle(uint64_t ACount, uint64_t AMaxCodes) {
  uint64_t codes = 0;
  uint64_t perRepeat = AMaxCodes * (AMaxCodes + 1) / 2;
  while (ACount >= perRepeat) {
    codes += AMaxCodes;
    ACount -= perRepeat;
  }
  if (ACount > 0) {
    auto k = static_cast<uint64_t>(std::sqrt(static_cast<double>(ACount)));
    while (k > 0 && k * (k + 1) >= 2 * ACount)
      --k;
    while (k * (k + 1) < 2 * ACount)
      ++k;
    codes += k;
  }
  return codes;
}

void TRLEEncoder::ResetOutClear() {
  FOutClear = FOutClearInit;
  if (FOutCount >= FOutClear) Clear();
}

void TRLEEncoder::FlushFromClear(uint64_t ACount) {
  FOutClear = FMaxCodes;
  FRunTablePixel = FRunPixel;
  uint64_t step = 1;
  while (ACount > 0) {
    if (step == 1) {
      FRunTableMax = 1;
      OutputPlain(FRunPixel);
      --ACount;
    } else if (ACount < step) {
      ++FRunTableMax;
      OutputPlain(ACount == 1 ? FRunPixel : FFirstFreeCode + static_cast<int>(ACount) - 2);
      ACount = 0;
    } else {
      FRunTableMax = static_cast<int>(step);
      OutputPlain(FFirstFreeCode + static_cast<int>(step) - 2);
      ACount -= step;
    }
    step = FOutCount == 0 ? 1 : step + 1;
  }
  ResetOutClear();
}

void TRLEEncoder::FlushClearOrRepeat(uint64_t ACount) {
  if (1 + Triangle(ACount, static_cast<uint64_t>(FMaxCodes)) < ACount) {
    Clear();
    FlushFromClear(ACount);
  } else {
    for (; ACount > 0; --ACount)
      OutputPlain(FRunPixel);
  }
}

void TRLEEncoder::FlushWithTable(uint64_t ACount) {
  const auto maxCodes = static_cast<uint64_t>(FMaxCodes);
  const auto tableMax = static_cast<uint64_t>(FRunTableMax);
  uint64_t repeats = ACount / tableMax;
  uint64_t left = ACount % tableMax;
  uint64_t leftCodes = left > 0 ? 1 : 0;
  if (static_cast<uint64_t>(FOutCount) + repeats + leftCodes > maxCodes) {
    repeats = maxCodes - static_cast<uint64_t>(FOutCount);
    left = ACount - repeats * tableMax;
    leftCodes = 1 + Triangle(left, maxCodes);
  }
  if (1 + Triangle(ACount, maxCodes) < repeats + leftCodes) {
    Clear();
    FlushFromClear(ACount);
    return;
  }
  FOutClear = FMaxCodes;
  for (; repeats > 0; --repeats)
    OutputPlain(FFirstFreeCode + FRunTableMax - 2);
  if (left > 0) {
    if (FClearFlag)
      FlushFromClear(left);
    else if (left == 1)
      OutputPlain(FRunPixel);
    else
      OutputPlain(FFirstFreeCode + static_cast<int>(left) - 2);
  }
  ResetOutClear();
}

void TRLEEncoder::Flush(uint64_t ACount) {
  if (ACount == 1)
    OutputPlain(FRunPixel);
  else if (FClearFlag)
    FlushFromClear(ACount);
  else if (FRunTableMax < 2 || FRunTablePixel != FRunPixel)
    FlushClearOrRepeat(ACount);
  else
    FlushWithTable(ACount);
}

void TRLEEncoder::Compress() {
  FOutBumpInit = FClearCode - 1;
  FOutClearInit = FBitsPerPixel > 3 ? FClearCode - 2 : 9;
  FMaxCodes = 4095 - FFirstFreeCode;
  Clear();
  uint64_t runLength = 0;
  FRunPixel = -1;
  const uint8_t* segment = nullptr;
  size_t count = 0;
  while (NextSegment(segment, count)) {
    for (size_t i = 0; i < count; ++i) {
      int pixel = segment[i];
      if (pixel >= FColorCount) ColorNotInTable();
      if (runLength > 0 && pixel != FRunPixel) {
        Flush(runLength);
        runLength = 0;
      }
      if (pixel == FRunPixel) {
        ++runLength;
      } else {
        FRunPixel = pixel;
        runLength = 1;
      }
    }
  }
  if (runLength > 0) Flush(runLength);
}
