// The pictures of a written file's first video stream, decoded and turned
// into B,G,R,A rows, so that a test can look at what reached the file.
#pragma once

#include "LibAV.h"
#include "MediaProbe.h"

#include <cstdint>
#include <string>
#include <vector>

struct TDecodedPicture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Bgra;
  // Whether the pixel at (AX, AY) is close to the colour.
  bool Near(int AX, int AY, int ARed, int AGreen, int ABlue, int ATolerance = 60) const {
    const uint8_t* p = Bgra.data() + (static_cast<size_t>(AY) * Width + AX) * 4;
    return std::abs(p[2] - ARed) <= ATolerance && std::abs(p[1] - AGreen) <= ATolerance &&
           std::abs(p[0] - ABlue) <= ATolerance;
  }
};

inline std::vector<TDecodedPicture> DecodePictures(const std::string& AFileName) {
  std::vector<TDecodedPicture> pictures;
  ForEachVideoPicture(AFileName, [&](const AVFrame& AFrame) {
    TDecodedPicture picture;
    picture.Width = AFrame.width;
    picture.Height = AFrame.height;
    picture.Bgra = PackedPicture(AFrame, AV_PIX_FMT_BGRA);
    pictures.push_back(std::move(picture));
  });
  return pictures;
}
