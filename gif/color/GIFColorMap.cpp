// The colour table and its sort by use.
#include "GIFColorMap.h"

#include <utility>

#include "GIFError.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

namespace {

constexpr int kMaxColors = 256;

// Most used first. The partition order decides where equal counts land, and
// with it the new index of each colour, so it stays this one.
void SortByUse(TUsageCount* AItems, int ALow, int AHigh) {
  int i = 0;
  do {
    i = ALow;
    int j = AHigh;
    int pivot = AItems[(ALow + AHigh) / 2].Count;
    do {
      while (AItems[i].Count > pivot)
        ++i;
      while (AItems[j].Count < pivot)
        --j;
      if (i <= j) {
        std::swap(AItems[i], AItems[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (ALow < j) SortByUse(AItems, ALow, j);
    ALow = i;
  } while (i < AHigh);
}

} // namespace

int BitsForColorCount(int ACount) {
  if (ACount <= 0) return 0;
  int bits = 1;
  while ((1 << bits) < ACount)
    ++bits;
  return bits;
}

TGIFColor TGIFColorMap::ColorToEntry(TColor AColor) {
  return TGIFColor{static_cast<uint8_t>(AColor), static_cast<uint8_t>(AColor >> 8),
                   static_cast<uint8_t>(AColor >> 16)};
}

TColor TGIFColorMap::EntryToColor(TGIFColor AEntry) {
  return static_cast<TColor>(AEntry.Red) | (static_cast<TColor>(AEntry.Green) << 8) |
         (static_cast<TColor>(AEntry.Blue) << 16);
}

void TGIFColorMap::Clear() {
  FColorMap.clear();
  FColorMap.shrink_to_fit();
  FCapacity = 0;
  FCount = 0;
  FOptimized = false;
}

void TGIFColorMap::SetCapacity(int ACapacity) {
  if (ACapacity < FCapacity) return;
  if (ACapacity <= 16)
    FCapacity = 16;
  else
    FCapacity = std::min((ACapacity + 31) / 32 * 32, kMaxColors);
  FColorMap.resize(static_cast<size_t>(FCapacity));
}

void TGIFColorMap::SaveToStream(TGIFStream& AStream) const {
  if (FCount == 0) return;
  AStream.Write(FColorMap.data(), static_cast<size_t>(FCount) * 3);
  int padding = (1 << BitsPerPixel()) - FCount;
  if (padding > 0) {
    std::vector<uint8_t> zeros(static_cast<size_t>(padding) * 3, 0);
    AStream.Write(zeros.data(), zeros.size());
  }
}

void TGIFColorMap::LoadFromStream(TGIFStream& AStream, int ACount) {
  Clear();
  if (ACount > kMaxColors) GIFError(kMsgColorTableOverflow);
  SetCapacity(ACount);
  ReadCheck(AStream, FColorMap.data(), static_cast<size_t>(ACount) * 3);
  FCount = ACount;
}

int TGIFColorMap::IndexOf(TColor AColor) const {
  TGIFColor wanted = ColorToEntry(AColor);
  auto same = [&](int AIndex) {
    const TGIFColor& entry = FColorMap[static_cast<size_t>(AIndex)];
    return entry.Red == wanted.Red && entry.Green == wanted.Green && entry.Blue == wanted.Blue;
  };
  if (FOptimized) {
    for (int i = 0; i < FCount; ++i)
      if (same(i)) return i;
  } else {
    for (int i = FCount - 1; i >= 0; --i)
      if (same(i)) return i;
  }
  return -1;
}

int TGIFColorMap::Add(TColor AColor) {
  if (FCount >= kMaxColors) GIFError(kMsgColorTableOverflow);
  if (FCount >= FCapacity) SetCapacity(FCount + 1);
  FColorMap[static_cast<size_t>(FCount)] = ColorToEntry(AColor);
  int index = FCount++;
  FOptimized = false;
  Changed();
  return index;
}

int TGIFColorMap::AddUnique(TColor AColor) {
  int index = IndexOf(AColor);
  return index >= 0 ? index : Add(AColor);
}

void TGIFColorMap::Delete(int AIndex) {
  if (AIndex < 0 || AIndex >= FCount) GIFError(kMsgInvalidColorIndex);
  FColorMap.erase(FColorMap.begin() + AIndex);
  FColorMap.resize(static_cast<size_t>(FCapacity));
  --FCount;
  FOptimized = false;
  Changed();
}

TColor TGIFColorMap::GetColor(int AIndex) {
  if (AIndex < 0 || AIndex >= FCount) {
    ReportWarning(1, kMsgInvalidColorIndex);
    if (FCount == 0) GIFError(kMsgColorTableEmpty);
    AIndex = 0;
  }
  return EntryToColor(FColorMap[static_cast<size_t>(AIndex)]);
}

void TGIFColorMap::ImportRGBQuads(const uint8_t* AQuads, int ACount) {
  Clear();
  if (ACount <= 0) return;
  ACount = std::min(ACount, kMaxColors);
  SetCapacity(ACount);
  for (int i = 0; i < ACount; ++i) {
    const uint8_t* quad = AQuads + static_cast<size_t>(i) * 4;
    FColorMap[static_cast<size_t>(i)] = TGIFColor{quad[2], quad[1], quad[0]};
  }
  FCount = ACount;
  Changed();
}

void TGIFColorMap::ImportPalette(const TPalette& APalette) {
  Clear();
  int count = std::min(static_cast<int>(APalette.size()), kMaxColors);
  if (count == 0) return;
  SetCapacity(count);
  for (int i = 0; i < count; ++i) {
    const TPaletteEntry& entry = APalette[static_cast<size_t>(i)];
    FColorMap[static_cast<size_t>(i)] = TGIFColor{entry.Red, entry.Green, entry.Blue};
  }
  FCount = count;
  Changed();
}

void TGIFColorMap::ImportDIB(TBitmap& ABitmap) {
  Clear();
  const std::vector<uint32_t>& table = ABitmap.Palette();
  int count = std::min(static_cast<int>(table.size()), kMaxColors);
  // Each value is a quad of blue, green, red and an unused byte.
  std::vector<uint8_t> quads(static_cast<size_t>(count) * 4);
  for (int i = 0; i < count; ++i) {
    uint32_t value = table[static_cast<size_t>(i)];
    for (int b = 0; b < 4; ++b)
      quads[static_cast<size_t>(i) * 4 + static_cast<size_t>(b)] =
          static_cast<uint8_t>(value >> (8 * b));
  }
  ImportRGBQuads(quads.data(), count);
  Changed();
}

TPalette TGIFColorMap::ExportPalette() const {
  TPalette palette;
  for (int i = 0; i < FCount; ++i) {
    const TGIFColor& entry = FColorMap[static_cast<size_t>(i)];
    palette.push_back(TPaletteEntry{entry.Red, entry.Green, entry.Blue, 4});
  }
  return palette;
}

void TGIFColorMap::Assign(const TGIFColorMap& ASource) {
  if (&ASource == this) return;
  Clear();
  FCapacity = ASource.FCapacity;
  FCount = ASource.FCount;
  FOptimized = ASource.FOptimized;
  FColorMap.assign(static_cast<size_t>(FCapacity), TGIFColor{});
  std::copy(ASource.FColorMap.begin(), ASource.FColorMap.begin() + FCount, FColorMap.begin());
  Changed();
}

bool TGIFColorMap::DoOptimize() {
  if (FCount <= 1) return false;
  FOptimized = true;

  TColormapHistogram histogram;
  for (int i = 0; i < kMaxColors; ++i)
    histogram[static_cast<size_t>(i)] = TUsageCount{0, i};
  BuildHistogram(histogram);
  SortByUse(histogram.data(), 0, FCount - 1);

  bool moved = false;
  for (int i = 0; i < FCount && !moved; ++i)
    moved = histogram[static_cast<size_t>(i)].Index != i;
  if (!moved) return true;

  TColormapReverse map;
  for (int i = 0; i < kMaxColors; ++i)
    map[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  for (int i = 0; i < FCount; ++i)
    map[static_cast<size_t>(histogram[static_cast<size_t>(i)].Index)] = static_cast<uint8_t>(i);
  MapIndices(map);

  std::vector<TGIFColor> sorted(FColorMap.size());
  int used = FCount;
  for (int i = 0; i < FCount; ++i) {
    sorted[static_cast<size_t>(i)] =
        FColorMap[static_cast<size_t>(histogram[static_cast<size_t>(i)].Index)];
    if (used == FCount && histogram[static_cast<size_t>(i)].Count == 0) used = i;
  }
  FColorMap.swap(sorted);
  FCount = used;
  Changed();
  return true;
}
