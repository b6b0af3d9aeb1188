// A drawing surface over a 32-bit TBitmap with a movable origin and a clip
// rectangle: what the skin's drawing helpers and pictures paint on.
#pragma once

#include "Bitmap.h"
#include "SkinTypes.h"

#include <cstdint>
#include <optional>

// Reads one pixel of a 24- or 32-bit bitmap (or an 8-bit one with a palette)
// as a 32-bit B,G,R,X word; 0 outside the bitmap.
uint32_t BitmapPixel(const TBitmap& ABitmap, int AX, int AY);

class TSkinCanvas {
public:
  struct TState {
    TPoint Origin;
    TRect Clip;
  };

  // The target must be a 32-bit bitmap; the clip starts as the whole of it.
  explicit TSkinCanvas(TBitmap& ATarget);

  TBitmap& Target() { return FTarget; }
  TState SaveState() const { return {FOrigin, FClip}; }
  void RestoreState(const TState& AState) {
    FOrigin = AState.Origin;
    FClip = AState.Clip;
  }
  // Moves the origin: what is drawn at (0, 0) lands at the old (AX, AY).
  void MoveOrigin(int AX, int AY);
  // Narrows the clip to a rectangle given in the current coordinates.
  void IntersectClip(const TRect& ARect);

  void FillRect(const TRect& ARect, TColor AColor);
  void SetPixel(int AX, int AY, TColor AColor);
  // The pixel at a point in the current coordinates, as a colour.
  TColor Pixel(int AX, int AY) const;

  // Copies a part of a bitmap unscaled; pixels of the transparent colour are
  // left out.
  void Draw(int AX, int AY, const TBitmap& ASource, std::optional<TColor> ATransparent = {});
  void DrawPart(int AX, int AY, const TBitmap& ASource, const TRect& ASourceRect,
                std::optional<TColor> ATransparent = {});
  // Scales a part of a bitmap onto a rectangle, each target pixel taking the
  // nearest source pixel.
  void StretchDraw(const TRect& ADest, const TBitmap& ASource, const TRect& ASourceRect,
                   std::optional<TColor> ATransparent = {});

private:
  void PutPixel(int ATargetX, int ATargetY, uint32_t APixel);

  TBitmap& FTarget;
  TPoint FOrigin;
  TRect FClip;
};
