// One frame of a picture: its stored parts (GIFFrameBase.h) and, made on
// demand, a bitmap and a transparency mask for drawing. It renders itself
// (directly with its own palette, or dithered over the 6 x 6 x 6 palette),
// draws itself stretched or tiled, opaque or through its mask, converts
// bitmaps of any depth into GIF pixels, and is cropped and merged by the
// picture's optimisation.
#pragma once

#include <memory>

#include "Bitmap.h"
#include "GIFCanvas.h"
#include "GIFFrameBase.h"
#include "GIFPictureHost.h"
#include "Graphic.h"
#include "Palette.h"
#include "PictureFormats.h"

class TGIFSubImage : public TGIFFrameBase {
public:
  explicit TGIFSubImage(TGIFPictureHost* AImage);
  ~TGIFSubImage() override;

  // The picture the frame belongs to; null for a frame of none.
  TGIFPictureHost* Picture() const { return FPicture; }

  // Also frees the bitmap and the mask.
  void Clear() override;
  // With IncrementalLoad on, the bitmap is built at once.
  void LoadFromStream(TGIFStream& AStream) override;

  TGIFRect BoundsRect() const { return {Left(), Top(), Left() + Width(), Top() + Height()}; }
  // A change of width or height frees the bitmap, the mask and the pixels
  // and makes zero-filled pixels of the new size. A frame reaching beyond the
  // logical screen widens or heightens it, with warnings when the screen
  // already had a size.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  void SetLeft(int AValue) { SetBounds(AValue, Top(), Width(), Height()); }
  void SetTop(int AValue) { SetBounds(Left(), AValue, Width(), Height()); }
  void SetWidth(int AValue) { SetBounds(Left(), Top(), AValue, Height()); }
  void SetHeight(int AValue) { SetBounds(Left(), Top(), Width(), AValue); }

  // "Invalid pixel coordinates" outside the frame.
  uint8_t Pixels(int AX, int AY);
  void SetPixels(int AX, int AY, uint8_t AIndex);
  // Row AY of the pixels, made when absent; "Image is empty" for a frame of
  // width or height 0.
  uint8_t* GetRow(int AY);

  // The bitmap's palette, else the stored one; else the 6 x 6 x 6 palette
  // when the picture dithers, else the picture's when the frame has no
  // table of its own, else one made from the local table.
  TPalette GetPalette();
  // Another palette frees a bitmap drawn with a different one.
  void SetPalette(const TPalette& APalette);

  // The frame rendered; made on first use.
  TBitmap& GetBitmap();
  bool HasBitmap() const { return FBitmap != nullptr; }
  // Rebuilds the bitmap when a transparent frame still needs its mask;
  // true when a mask exists.
  bool HasMask();
  // 1 bit per pixel, a set bit for a transparent pixel; null without a mask.
  const TBitmap* Mask() const { return FMask.get(); }
  // Frees the bitmap and the mask; the mask is built again with the next bitmap.
  void FreeBitmap();

  // The frame's rectangle scaled into ARect (or tiled over it in steps of
  // the logical screen), through the mask when ATransparent is asked and
  // the frame is transparent. Transparent pixels leave the canvas as it was.
  void Draw(TGIFCanvas& ACanvas, const TGIFRect& ARect, bool ATile, bool ATransparent);
  void AssignTo(TBitmap& ADest);

  // Descriptor, transparency, pixels, local table, extensions and a copy of
  // the bitmap. An empty source clears the frame.
  void Assign(TGIFSubImage& ASource);
  // A bitmap of 1, 4 or 8 bits per pixel gives its palette and indices; any
  // other is reduced by the picture's colour reduction first. A mask of the
  // bitmap's size (any depth; a pixel that is not 0 is transparent) gives
  // the frame a transparent index.
  void Assign(const TBitmap& ABitmap, const TBitmap* AMask = nullptr);
  // Another graphic through a bitmap it hands over.
  void Assign(TGraphic& AGraphic);
  void Assign(TPicture& APicture);

  // A transparent frame loses its transparent borders; one that is all
  // transparent becomes empty.
  void Crop();
  // Pixels that show what the previous frame already shows become
  // transparent.
  void Merge(TGIFSubImage* APrevious);

protected:
  // The local table changed: its palette is stale.
  void ColorMapChanged() override;

private:
  void Render();
  void ReadBitmap(const TBitmap& ABitmap);
  void TakeTransparency(const TBitmap& AMask);
  // The transparent index Merge writes; -1 when the frame cannot have one.
  int MergeIndex(bool& AMade);

  TGIFPictureHost* FPicture;
  std::unique_ptr<TBitmap> FBitmap;
  std::unique_ptr<TBitmap> FMask;
  bool FNeedMask = true;
  TPalette FLocalPalette;
};
