// A small reader over giflib's DGifSlurp: the oracle the codec's files and
// image data are compared with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TGiflibFrame {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool Interlaced = false;
  // One colour index per pixel, rows top to bottom (giflib undoes interlacing).
  std::vector<uint8_t> Pixels;
  // Red, green, blue per entry; empty without a local table.
  std::vector<uint8_t> LocalColors;
  // From the frame's graphic control block: -1 without one.
  int Delay = -1;
  int Disposal = -1;
  int TransparentIndex = -1;
};

struct TGiflibPicture {
  // Empty when giflib read the data; else giflib's error text.
  std::string Error;
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> GlobalColors;
  std::vector<TGiflibFrame> Frames;
  // The loop count of an animation loop extension, or -1 without one.
  int Loops = -1;
};

TGiflibPicture ReadWithGiflib(const std::vector<uint8_t>& AData);
