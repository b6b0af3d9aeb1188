// The one conversion every recording makes, done by libyuv's vector code
// instead of the general scaler: 32-bit B,G,R pictures (what the capture
// device gives on a 24- or 32-bit screen) into yuv420p of the same size.
// A simple graph whose only work would be that conversion hands its sink's
// pictures over as they came (FilterChains.cpp), and the loop converts each
// here on its way to the encoder (EncodeStage.cpp). The colours are those of
// the scaler's default, BT.601 in limited range; the chroma of each 2x2
// block is its average, where the scaler filters over more rows.
#pragma once

#include "LibAV.h"
#include "PicturePool.h"

class TYuvConversion {
public:
  static constexpr AVPixelFormat kTarget = AV_PIX_FMT_YUV420P;
  // Whether pictures of AFormat can be converted here.
  static bool Converts(AVPixelFormat AFormat);

  // Converts ASource into the empty AOut: a pooled picture of the same
  // size with ASource's properties. Answers 0 or an AVERROR code.
  int Convert(const AVFrame& ASource, AVFrame* AOut);

private:
  TPicturePool FPictures;
};
