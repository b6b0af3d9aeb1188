// Format contexts with streams but no media, built through the libraries for
// tests of the option routines that look at a file's streams.
#pragma once

#include "LibAVForTests.h"
#include "LibAVOwners.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

struct TStreamSketch {
  AVMediaType Type;
  AVCodecID CodecId = AV_CODEC_ID_NONE;
  int Channels = 0;           // audio only
  AVRational FrameRate{0, 1}; // video only
};

// An input (or, with AMuxer, an output) context holding the sketched streams.
inline TFormatContextPtr MakeFormatContext(const std::vector<TStreamSketch>& AStreams,
                                           const char* AMuxer = nullptr) {
  LoadLibAVForTest();
  TFormatContextPtr context(AV.avformat_alloc_context());
  if (!context) throw std::bad_alloc();
  if (AMuxer) context->oformat = AV.av_guess_format(AMuxer, nullptr, nullptr);
  for (const TStreamSketch& sketch : AStreams) {
    AVStream* stream = AV.avformat_new_stream(context.get(), nullptr);
    if (!stream) throw std::bad_alloc();
    stream->codecpar->codec_type = sketch.Type;
    stream->codecpar->codec_id = sketch.CodecId;
    if (sketch.Channels > 0)
      AV.av_channel_layout_default(&stream->codecpar->ch_layout, sketch.Channels);
    stream->avg_frame_rate = sketch.FrameRate;
    stream->r_frame_rate = sketch.FrameRate;
  }
  return context;
}
