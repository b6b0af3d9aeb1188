// What the codec draws on: a rectangle type and a canvas over a 24- or
// 32-bit bitmap, with nearest-neighbour stretching, drawing through a mask,
// rectangle copies and fills, a change notice and a handle that tells a
// painter whether the canvas still exists.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Bitmap.h"
#include "GIFColorMap.h"

// Left and top inside, right and bottom outside.
struct TGIFRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TGIFRect&) const = default;
};

// The common part of two rectangles; an empty rectangle when they do not meet.
TGIFRect IntersectRect(const TGIFRect& A, const TGIFRect& B);

// The colour of one pixel of any bitmap depth as a B,G,R,X word (X = 0);
// palette depths through the bitmap's colour table (black beyond it).
uint32_t BitmapPixelBGR(const TBitmap& ABitmap, int AX, int AY);
// The same for pixel AX of ARow, a row of ABitmap.
uint32_t RowPixelBGR(const TBitmap& ABitmap, const uint8_t* ARow, int AX);

// Stretching rule (nearest neighbour, pixel centres): of a target span of D
// pixels showing a source span of S pixels, target pixel i shows source
// pixel floor((2i + 1) x S / (2D)). A span drawn at its own size is copied
// pixel for pixel.
int NearestSourcePixel(int ATargetIndex, int ATargetSpan, int ASourceSpan);

// A x B / C rounded to the nearest integer, as coordinates are scaled from
// one rectangle into another; A when C is 0.
int MulDiv(int A, int B, int C);

class TGIFCanvas {
public:
  // ATarget must hold 24 or 32 bits per pixel ("Unsupported PixelFormat"
  // otherwise). On a 32-bit target every pixel drawn gets 0xFF in its fourth
  // byte, so that a target cleared to 0 shows what was drawn as opaque.
  explicit TGIFCanvas(TBitmap& ATarget);
  TGIFCanvas(const TGIFCanvas&) = delete;
  TGIFCanvas& operator=(const TGIFCanvas&) = delete;

  TBitmap& Bitmap() const { return FTarget; }
  // The whole bitmap.
  TGIFRect ClipRect() const { return {0, 0, FTarget.Width(), FTarget.Height()}; }
  // Expires when the canvas is destroyed.
  std::weak_ptr<const void> Handle() const { return FHandle; }

  // Scales the whole of ASource (any depth) over ADest by the stretching
  // rule. With a mask (1 bit per pixel of the source's size, a set bit for a
  // transparent pixel) the target keeps its pixel wherever the bit is set.
  void StretchDraw(const TGIFRect& ADest, const TBitmap& ASource, const TBitmap* AMask = nullptr);
  // Scales ASourceRect of a bitmap over ADest by the same rule.
  void CopyRect(const TGIFRect& ADest, const TBitmap& ASource, const TGIFRect& ASourceRect);
  // AColor is $00BBGGRR.
  void FillRect(const TGIFRect& ARect, TColor AColor);
  // The pixel at (AX, AY) as a B,G,R,X word; 0 outside.
  uint32_t Pixel(int AX, int AY) const;

  // Tells OnChange that the picture on the canvas changed.
  void Changed();
  std::function<void()> OnChange;

private:
  void Blend(const TGIFRect& ADest, const TBitmap& ASource, const TGIFRect& ASourceRect,
             const TBitmap* AMask);

  TBitmap& FTarget;
  std::shared_ptr<const void> FHandle;
};
