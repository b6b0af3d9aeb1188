// The pictures of a written file's first video stream, decoded and turned
// into B,G,R,A rows, so that a test can look at what reached the file.
#pragma once

#include "LibAV.h"
#include "LibAVOwners.h"
#include "MediaProbe.h"

#include <cstdint>
#include <stdexcept>
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
    picture.Bgra.resize(static_cast<size_t>(AFrame.width) * AFrame.height * 4);
    TSwsContextPtr scaler(AV.sws_getContext(
        AFrame.width, AFrame.height, static_cast<AVPixelFormat>(AFrame.format), AFrame.width,
        AFrame.height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
    uint8_t* dest[4] = {picture.Bgra.data(), nullptr, nullptr, nullptr};
    const int lines[4] = {AFrame.width * 4, 0, 0, 0};
    AV.sws_scale(scaler.get(), AFrame.data, AFrame.linesize, 0, AFrame.height, dest, lines);
    pictures.push_back(std::move(picture));
  });
  return pictures;
}
