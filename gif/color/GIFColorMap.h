// The colour table of up to 256 RGB entries that the header (global table)
// and each frame (local table) own, with its growth, its stream form and the
// sort by use that optimising runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "GIFItem.h"
#include "GIFStream.h"
#include "Palette.h"

// A colour as $00BBGGRR: red in the low byte.
using TColor = uint32_t;

// One table entry, in file order.
struct TGIFColor {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
};

// Use count of one colour index, and the index it was counted for.
struct TUsageCount {
  int Count = 0;
  int Index = 0;
};
using TColormapHistogram = std::array<TUsageCount, 256>;
// Old index to new index.
using TColormapReverse = std::array<uint8_t, 256>;

// 0 for no colours; else the smallest b >= 1 with 2^b >= ACount.
int BitsForColorCount(int ACount);

class TGIFColorMap : public TGIFObject {
public:
  TGIFColorMap() = default;
  TGIFColorMap(const TGIFColorMap&) = delete;
  TGIFColorMap& operator=(const TGIFColorMap&) = delete;

  static TGIFColor ColorToEntry(TColor AColor);
  static TColor EntryToColor(TGIFColor AEntry);

  void Clear();
  // Grows the entries allocated: 16 for up to 16, else multiples of 32, at
  // most 256; never shrinks.
  void SetCapacity(int ACapacity);
  // The entries, padded with black ones up to the next power of two.
  void SaveToStream(TGIFStream& AStream) const;
  void LoadFromStream(TGIFStream& AStream, int ACount);

  // Optimised maps answer the first equal entry, others the last; -1 when none.
  int IndexOf(TColor AColor) const;
  int Add(TColor AColor);
  int AddUnique(TColor AColor);
  void Delete(int AIndex);
  // A bad index warns and takes entry 0; an empty map raises.
  TColor GetColor(int AIndex);
  // AQuads holds ACount quads of blue, green, red and an unused byte.
  void ImportRGBQuads(const uint8_t* AQuads, int ACount);
  // At most 256 entries of the palette.
  void ImportPalette(const TPalette& APalette);
  // The colour table of a palette bitmap (at most 256 entries).
  void ImportDIB(TBitmap& ABitmap);
  // Empty without colours; else one entry per colour, each marked 4 (not to
  // be matched to a system colour).
  TPalette ExportPalette() const;
  void Assign(const TGIFColorMap& ASource);

  int BitsPerPixel() const { return BitsForColorCount(FCount); }
  int Count() const { return FCount; }
  int Capacity() const { return FCapacity; }
  bool Optimized() const { return FOptimized; }
  void SetOptimized(bool AValue) { FOptimized = AValue; }
  const TGIFColor& Entry(int AIndex) const { return FColorMap[static_cast<size_t>(AIndex)]; }
  const TGIFColor* Data() const { return FColorMap.data(); }

  // What the owner of the map supplies: where warnings go, how the pixels
  // that use the map are counted and renumbered, and whom a change concerns.
  virtual void ReportWarning(int ASeverity, const std::string& AMessage) = 0;
  virtual void BuildHistogram(TColormapHistogram& AHistogram) = 0;
  virtual void MapIndices(const TColormapReverse& AMap) = 0;
  virtual void Optimize() = 0;
  virtual void Changed() = 0;

protected:
  // Sorts the entries by use, most used first, renumbers the pixels through
  // MapIndices and drops unused colours. True when the map has more than one entry.
  bool DoOptimize();

private:
  std::vector<TGIFColor> FColorMap;
  int FCapacity = 0;
  int FCount = 0;
  bool FOptimized = false;
};
