// The stored parts of one frame and how the file holds them: the image
// descriptor, the local colour table, the pixels (one colour index per
// pixel, rows top to bottom) and the extensions in front of it. The frame
// class builds its drawing on top of this.
#pragma once

#include <cstdint>
#include <vector>

#include "GIFColorMap.h"
#include "GIFExtension.h"
#include "GIFItem.h"

class TGIFFrameBase;
class TGIFGraphicControlExtension;

// A frame's own colour table: warnings go to the picture, its pixels are the
// frame's.
class TGIFLocalColorMap : public TGIFColorMap {
public:
  explicit TGIFLocalColorMap(TGIFFrameBase* AFrame) : FFrame(AFrame) {}

  void ReportWarning(int ASeverity, const std::string& AMessage) override;
  void BuildHistogram(TColormapHistogram& AHistogram) override;
  void MapIndices(const TColormapReverse& AMap) override;
  void Optimize() override { DoOptimize(); }
  void Changed() override;

private:
  TGIFFrameBase* FFrame;
};

struct TImageDescriptor {
  uint8_t Separator = ',';
  uint16_t Left = 0;
  uint16_t Top = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t PackedFields = 0;
};

class TGIFFrameBase : public TGIFItem {
public:
  static constexpr uint8_t kLocalTableFlag = 0x80;
  static constexpr uint8_t kInterlaceFlag = 0x40;
  static constexpr uint8_t kSortFlag = 0x20;

  explicit TGIFFrameBase(TGIFImageHost* AImage);
  ~TGIFFrameBase() override;

  // Reads the extensions, the descriptor, the local table and the image data.
  void LoadFromStream(TGIFStream& AStream) override;
  // Reads the frame's blocks as LoadFromStream does but steps over the
  // image data without decoding it, so that a picture's layout is read
  // without its pixels: the frame is left empty. Answers whether the frame
  // holds an image; raises what LoadFromStream raises before it decodes.
  bool ScanFromStream(TGIFStream& AStream);
  // Writes the extensions and, unless the frame is empty, the descriptor,
  // the local table and the image data.
  void SaveToStream(TGIFStream& AStream) override;
  // Empties the extensions and the local table and frees the pixels.
  virtual void Clear();
  // 2 when the local table is sorted or the frame has any extension.
  int RequiredVersion() const override;

  // No pixel buffer, or a width or height of 0.
  bool Empty() const;
  TImageDescriptor& ImageDescriptor() { return FImageDescriptor; }
  const TImageDescriptor& ImageDescriptor() const { return FImageDescriptor; }
  uint16_t Left() const { return FImageDescriptor.Left; }
  uint16_t Top() const { return FImageDescriptor.Top; }
  uint16_t Width() const { return FImageDescriptor.Width; }
  uint16_t Height() const { return FImageDescriptor.Height; }
  bool Interlaced() const { return (FImageDescriptor.PackedFields & kInterlaceFlag) != 0; }
  void SetInterlaced(bool AValue);
  std::vector<uint8_t>& PixelData() { return FPixels; }
  const std::vector<uint8_t>& PixelData() const { return FPixels; }

  TGIFLocalColorMap& ColorMap() { return FColorMap; }
  const TGIFLocalColorMap& ColorMap() const { return FColorMap; }
  // The local table when it has entries, else the picture's global table
  // when that has entries, else the (empty) local table.
  TGIFColorMap& ActiveColorMap();
  TGIFExtensionList& Extensions() { return FExtensions; }

  // Mirrors the transparent flag of the graphic control extension.
  bool Transparent() const { return FTransparent; }
  TGIFGraphicControlExtension* GraphicControlExtension() const { return FGraphicControlExtension; }
  // The graphic control extension's index, or 0 without one.
  uint8_t TransparentIndex() const;
  // Renumbers the pixels and the transparent index through AMap.
  void MapIndices(const TColormapReverse& AMap);

protected:
  // The local colour table changed; palettes made from it are stale.
  virtual void ColorMapChanged() {}

private:
  friend class TGIFLocalColorMap;
  friend class TGIFGraphicControlExtension;

  // The extensions, the descriptor and the local table; false when the
  // frame has no image descriptor.
  bool LoadDescriptor(TGIFStream& AStream);
  void LoadImageData(TGIFStream& AStream);
  void SaveImageData(TGIFStream& AStream);

  TImageDescriptor FImageDescriptor;
  std::vector<uint8_t> FPixels;
  TGIFLocalColorMap FColorMap;
  bool FTransparent = false;
  TGIFGraphicControlExtension* FGraphicControlExtension = nullptr;
  // Last, so that the extensions die while the frame's other parts still
  // stand: a graphic control extension tells its frame when it goes.
  TGIFExtensionList FExtensions;
};
