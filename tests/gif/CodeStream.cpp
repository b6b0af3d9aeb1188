// Packing and reading GIF codes for the tests.
#include "CodeStream.h"

#include <algorithm>

namespace {

// The decoder's table bookkeeping: width growth and the next free code.
struct TWidthTracker {
  explicit TWidthTracker(int AMinCodeSize) : Clear(1 << AMinCodeSize), MinCodeSize(AMinCodeSize) {
    Reset();
  }
  void Reset() {
    Width = MinCodeSize + 1;
    NextFree = Clear + 2;
    FirstAfterClear = true;
  }
  void Take(int ACode) {
    if (ACode == Clear) {
      Reset();
      return;
    }
    if (ACode == Clear + 1) return;
    if (!FirstAfterClear && NextFree < 4096) {
      ++NextFree;
      if (NextFree == (1 << Width) && Width < 12) ++Width;
    }
    FirstAfterClear = false;
  }
  int Clear;
  int MinCodeSize;
  int Width = 0;
  int NextFree = 0;
  bool FirstAfterClear = true;
};

} // namespace

std::vector<uint8_t> PackCodes(int AMinCodeSize, const std::vector<int>& ACodes,
                               size_t ABlockSize) {
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int count = 0;
  TWidthTracker tracker(AMinCodeSize);
  for (int code : ACodes) {
    bits |= static_cast<uint32_t>(code) << count;
    count += tracker.Width;
    while (count >= 8) {
      bytes.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
    tracker.Take(code);
  }
  if (count > 0) bytes.push_back(static_cast<uint8_t>(bits));

  std::vector<uint8_t> data{static_cast<uint8_t>(AMinCodeSize)};
  for (size_t i = 0; i < bytes.size(); i += ABlockSize) {
    size_t size = std::min(ABlockSize, bytes.size() - i);
    data.push_back(static_cast<uint8_t>(size));
    data.insert(data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                bytes.begin() + static_cast<std::ptrdiff_t>(i + size));
  }
  data.push_back(0);
  return data;
}

TCodeList ReadCodes(const std::vector<uint8_t>& AImageData) {
  TCodeList list;
  if (AImageData.empty()) return list;
  list.MinCodeSize = AImageData[0];
  std::vector<uint8_t> bytes;
  size_t position = 1;
  while (position < AImageData.size()) {
    size_t size = AImageData[position++];
    if (size == 0) {
      list.Terminated = true;
      break;
    }
    list.BlockSizes.push_back(size);
    size = std::min(size, AImageData.size() - position);
    bytes.insert(bytes.end(), AImageData.begin() + static_cast<std::ptrdiff_t>(position),
                 AImageData.begin() + static_cast<std::ptrdiff_t>(position + size));
    position += size;
  }

  TWidthTracker tracker(list.MinCodeSize);
  size_t bit = 0;
  while (bit + static_cast<size_t>(tracker.Width) <= bytes.size() * 8) {
    int code = 0;
    for (int i = 0; i < tracker.Width; ++i, ++bit)
      code |= ((bytes[bit / 8] >> (bit % 8)) & 1) << i;
    list.Codes.push_back(code);
    list.Widths.push_back(tracker.Width);
    if (code == tracker.Clear) list.NextFreeAtClear.push_back(tracker.NextFree);
    if (code == tracker.Clear + 1) break;
    tracker.Take(code);
  }
  return list;
}
