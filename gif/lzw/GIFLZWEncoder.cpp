// The LZW frame coder.
#include "GIFLZWEncoder.h"

namespace {

// The last code the table takes before it is cleared.
constexpr int kLastTableCode = 4094;

} // namespace

void TLZWEncoder::Output(int ACode) {
  Emit(ACode);
}

void TLZWEncoder::Clear() {
  TGIFEncoder::Clear();
  FHashTable.Clear();
  FLastChild.fill(kNoChild);
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
      uint32_t last = FLastChild[prefix];
      if ((last >> 12) == pixel) {
        prefix = last & 0xFFF;
        continue;
      }
      uint32_t key = (prefix << 8) | pixel;
      int slot = 0;
      uint16_t code = FHashTable.Lookup(key, slot);
      if (code != THashTable::kAbsent) {
        FLastChild[prefix] = (pixel << 12) | code;
        prefix = code;
        continue;
      }
      Emit(static_cast<int>(prefix));
      uint32_t parent = prefix;
      prefix = pixel;
      if (FNextFreeCode > kLastTableCode) {
        Clear();
      } else {
        FHashTable.Insert(key, static_cast<uint32_t>(FNextFreeCode), slot);
        FLastChild[parent] = (pixel << 12) | static_cast<uint32_t>(FNextFreeCode);
        ++FNextFreeCode;
      }
    }
    i = 0;
  } while (NextSegment(segment, count));
  Emit(static_cast<int>(prefix));
}
