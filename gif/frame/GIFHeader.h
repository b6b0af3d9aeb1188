// The picture's header: signature and version, logical screen descriptor and
// global colour table; the global colour map; and the ";" trailer.
#pragma once

#include <cstdint>

#include "GIFColorMap.h"
#include "GIFItem.h"

class TGIFHeader;

// The global colour table: its warnings go to the picture, a change makes the
// picture's palette stale, and its pixels are those of every frame without a
// local table.
class TGIFGlobalColorMap : public TGIFColorMap {
public:
  explicit TGIFGlobalColorMap(TGIFHeader* AHeader) : FHeader(AHeader) {}

  void ReportWarning(int ASeverity, const std::string& AMessage) override;
  void BuildHistogram(TColormapHistogram& AHistogram) override;
  void MapIndices(const TColormapReverse& AMap) override;
  // Sorts by use only when the picture has frames.
  void Optimize() override;
  void Changed() override;

private:
  TGIFHeader* FHeader;
};

struct TLogicalScreenDescriptor {
  uint16_t ScreenWidth = 0;
  uint16_t ScreenHeight = 0;
  uint8_t PackedFields = 0;
  uint8_t BackgroundColorIndex = 0;
  uint8_t AspectRatio = 0;
};

class TGIFHeader : public TGIFItem {
public:
  explicit TGIFHeader(TGIFImageHost* AImage);

  // "GIF87a" or "GIF89a" as the picture's frames require, the descriptor and
  // the global table. A picture without frames raises.
  void SaveToStream(TGIFStream& AStream) override;
  // Accepts the signature in any letter case, also behind 4 bytes of prefix;
  // the version is not examined.
  void LoadFromStream(TGIFStream& AStream) override;
  void Assign(const TGIFHeader& ASource);
  // The descriptor is cleared and the map copied.
  void Assign(const TGIFColorMap& ASource);
  // An empty map and a zero descriptor.
  void Clear();
  int RequiredVersion() const override;
  // The global table's colour at the background index.
  TColor BackgroundColor();
  // Recomputes the descriptor's packed byte from the colour tables.
  void Prepare();

  TLogicalScreenDescriptor& ScreenDescriptor() { return FScreenDescriptor; }
  const TLogicalScreenDescriptor& ScreenDescriptor() const { return FScreenDescriptor; }
  uint16_t Width() const { return FScreenDescriptor.ScreenWidth; }
  uint16_t Height() const { return FScreenDescriptor.ScreenHeight; }
  TGIFGlobalColorMap& ColorMap() { return FColorMap; }
  const TGIFGlobalColorMap& ColorMap() const { return FColorMap; }

private:
  TLogicalScreenDescriptor FScreenDescriptor;
  TGIFGlobalColorMap FColorMap;
};

class TGIFTrailer : public TGIFItem {
public:
  using TGIFItem::TGIFItem;
  void SaveToStream(TGIFStream& AStream) override;
  // Checks that the picture ends with ";"; anything else only warns.
  void LoadFromStream(TGIFStream& AStream) override;
};
