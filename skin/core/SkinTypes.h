// Geometry and colour values shared by the skin library.
#pragma once

#include <cstdint>

// A colour as 0x00BBGGRR; values 0xFF0000nn name the system colour nn.
using TColor = int32_t;

struct TPoint {
  int X = 0;
  int Y = 0;
};

// Left and top inside, right and bottom outside, as window rectangles are.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};
