// Reads a written file back through the libraries: its streams, how many
// frames and samples each holds (sound is decoded to count them), whether
// its time stamps are in order, and how long it lasts.
#pragma once

#include "LibAV.h"

#include <functional>
#include <string>
#include <vector>

struct TProbedStream {
  AVMediaType Type = AVMEDIA_TYPE_UNKNOWN;
  AVCodecID Codec = AV_CODEC_ID_NONE;
  int Width = 0, Height = 0;
  int64_t Packets = 0;
  int64_t Samples = 0;       // sound: decoded samples per channel
  bool DtsIncreasing = true; // every dts after the one before it
  bool PtsNotBeforeDts = true;
  double FirstPts = 0;       // seconds
  double EndPts = 0;         // seconds: the largest pts + duration
  double Duration = 0;       // seconds, as the container records it; 0 unknown
  std::vector<double> PacketTimes; // pts of each packet, seconds, in file order
};

struct TProbedFile {
  std::string Muxer;
  double Duration = 0; // seconds, as the container records it; 0 unknown
  std::vector<TProbedStream> Streams;
  const TProbedStream* Find(AVMediaType AType) const {
    for (const auto& s : Streams)
      if (s.Type == AType) return &s;
    return nullptr;
  }
};

// Raises std::runtime_error when the file cannot be opened or read.
TProbedFile ProbeFile(const std::string& AFileName);

// Decodes the first video stream of AFileName and hands each picture to
// AOnPicture in order, the decoder's last ones included, with the stream's
// time base as its own. Raises
// std::runtime_error when the file or its video cannot be read.
void ForEachVideoPicture(const std::string& AFileName,
                         const std::function<void(const AVFrame&)>& AOnPicture);
// AFrame's picture as one packed plane of AFormat, rows without padding,
// taken pixel for pixel (no filtering between neighbours).
std::vector<uint8_t> PackedPicture(const AVFrame& AFrame, AVPixelFormat AFormat);
