// The LZW frame coder.
#include "GIFLZWEncoder.h"

namespace {

// The last code the table takes before it is cleared.
constexpr int kLastTableCode = 4094;
constexpr int kMaxCodeWidth = 12;

} // namespace

void TLZWEncoder::Output(int ACode) {
  PutCode(ACode);
  if (FClearFlag) {
    FCodeWidth = FInitialCodeWidth;
    FMaxCode = (1 << FInitialCodeWidth) - 1;
    FClearFlag = false;
  } else if (FNextFreeCode > FMaxCode) {
    ++FCodeWidth;
    FMaxCode = FCodeWidth == kMaxCodeWidth ? 4096 : (1 << FCodeWidth) - 1;
  }
}

void TLZWEncoder::Clear() {
  TGIFEncoder::Clear();
  FHashTable.Clear();
  FNextFreeCode = FClearCode + 2;
}

void TLZWEncoder::Compress() {
  Clear();
  const uint8_t* segment = nullptr;
  size_t count = 0;
  if (!NextSegment(segment, count)) return;
  const uint32_t colorCount = static_cast<uint32_t>(FColorCount);
  if (segment[0] >= colorCount) ColorNotInTable();
  uint32_t prefix = segment[0];
  size_t i = 1;
  do {
    for (; i < count; ++i) {
      uint32_t pixel = segment[i];
      if (pixel >= colorCount) ColorNotInTable();
      uint32_t key = (prefix << 8) | pixel;
      uint16_t code = FHashTable.Lookup(key);
      if (code != THashTable::kAbsent) {
        prefix = code;
        continue;
      }
      Output(static_cast<int>(prefix));
      prefix = pixel;
      if (FNextFreeCode > kLastTableCode) {
        Clear();
      } else {
        FHashTable.Insert(key, static_cast<uint32_t>(FNextFreeCode));
        ++FNextFreeCode;
      }
    }
    i = 0;
  } while (NextSegment(segment, count));
  Output(static_cast<int>(prefix));
}
