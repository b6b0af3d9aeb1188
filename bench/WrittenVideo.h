// What a run wrote, read back through the libraries: the video stream's
// frames (its packets), its size and codec, the time they span, and how many
// of its decoded pictures differ from the picture before them.
#pragma once

#include <cstdint>
#include <string>

struct TWrittenVideo {
  bool Ok = false;
  std::string Error;
  std::string Codec;
  int Width = 0, Height = 0;
  int64_t Frames = 0;
  int64_t Distinct =
      0;              // decoded pictures unlike the one before (WrittenVideo.cpp; the first counts)
  double Seconds = 0; // from the first frame's time stamp to the last one's end
  bool HasAudio = false;
};

// The libraries must be loaded.
TWrittenVideo ReadVideoBack(const std::string& AFileName);
