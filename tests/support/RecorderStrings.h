// The recorder's own output option strings for its seven containers, as the
// main window builds them with sound on (320x240, quality 6, 768 kbit/s),
// and the codecs a file written with each reads back with.
#pragma once

#include "LibAV.h"

#include <string>
#include <vector>

struct TRecorderContainer {
  const char* Extension;
  const char* Options;
  const char* VideoEncoder, *AudioEncoder;
  AVCodecID VideoCodec, AudioCodec; // as the written file says
  const char* Muxer;
};

inline const std::vector<TRecorderContainer>& RecorderContainers() {
  static const std::vector<TRecorderContainer> containers = {
      {"mp4",
       " -c:v mpeg4 -c:a libfaac -s 320x240 -ac 2  -sn -b:v 768k -qscale 6  -threads 4   -async 1 "
       "-vsync 1 ",
       "mpeg4", "aac", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, "mp4"},
      {"swf", " -s 320x240 -c:a libmp3lame -ac 2  -sn -b:v 768k -qscale 6   -async 1 -vsync 1 ",
       "flv", "libmp3lame", AV_CODEC_ID_FLV1, AV_CODEC_ID_MP3, "swf"},
      {"flv", " -s 320x240 -c:a libmp3lame -ac 2  -sn -b:v 768k -qscale 6   -async 1 -vsync 1 ",
       "flv", "libmp3lame", AV_CODEC_ID_FLV1, AV_CODEC_ID_MP3, "flv"},
      {"wmv",
       " -s 320x240 -c:v wmv2 -c:a wmav2 -ac 2  -sn -b:v 768k -qscale 6   -async 1 -vsync 1 ",
       "wmv2", "wmav2", AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV2, "asf"},
      {"mkv",
       " -s 320x240 -pix_fmt yuv420p  -c:v libx264  -ac 2  -sn -b:v 768k -qscale 6   -async 1 "
       "-vsync 1 ",
       "libx264", "libvorbis", AV_CODEC_ID_H264, AV_CODEC_ID_VORBIS, "matroska"},
      {"avi",
       " -s 320x240 -c:v rawvideo -pix_fmt bgr24 -ac 2  -sn -b:v 768k -qscale 6   -async 1 -vsync "
       "1 ",
       "rawvideo", "libmp3lame", AV_CODEC_ID_RAWVIDEO, AV_CODEC_ID_MP3, "avi"},
      {"webm",
       " -s 320x240 -f webm  -c:v libvpx -pix_fmt yuv420p -c:a libvorbis -ac 2  -b:a 128k -ar "
       "44100 -sn -b:v 768k "
       "-qscale 6   -async 1 -vsync 1 ",
       "libvpx", "libvorbis", AV_CODEC_ID_VP8, AV_CODEC_ID_VORBIS, "webm"},
  };
  return containers;
}

// AOptions with the size "320x240" replaced by AWidth x AHeight.
inline std::string WithSize(std::string AOptions, int AWidth, int AHeight) {
  const std::string size = std::to_string(AWidth) + "x" + std::to_string(AHeight);
  if (const size_t at = AOptions.find("320x240"); at != std::string::npos)
    AOptions.replace(at, 7, size);
  return AOptions;
}
