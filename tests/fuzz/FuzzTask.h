// What the option fuzz targets share: a task whose open inputs are two small
// synthetic files, and the reset of what an option may change for the whole
// process.
#pragma once

#include "FFLog.h"
#include "FFmpegOpt.h"
#include "FuzzLibAV.h"
#include "LibAVOwners.h"

#include <climits>
#include <cstdlib>
#include <vector>

// Input 0: video at 25 per second, stereo audio, subtitles; input 1: 5.1
// audio and NTSC-rate video. Enough for maps, channel maps and targets.
class TFuzzTask : public TCustomFFmpegOpt {
public:
  TFuzzTask() {
    FInputs.push_back(Make({{AVMEDIA_TYPE_VIDEO, 0, {25, 1}},
                            {AVMEDIA_TYPE_AUDIO, 2, {0, 1}},
                            {AVMEDIA_TYPE_SUBTITLE, 0, {0, 1}}}));
    FInputs.push_back(Make({{AVMEDIA_TYPE_AUDIO, 6, {0, 1}},
                            {AVMEDIA_TYPE_VIDEO, 0, {30000, 1001}}}));
  }
  std::vector<AVFormatContext*> InputContexts() const override {
    return {FInputs[0].get(), FInputs[1].get()};
  }

private:
  struct TSketch {
    AVMediaType Type;
    int Channels;
    AVRational Rate;
  };
  static TFormatContextPtr Make(const std::vector<TSketch>& AStreams) {
    TFormatContextPtr context(AV.avformat_alloc_context());
    if (!context) std::abort();
    for (const TSketch& sketch : AStreams) {
      AVStream* stream = AV.avformat_new_stream(context.get(), nullptr);
      if (!stream) std::abort();
      stream->codecpar->codec_type = sketch.Type;
      if (sketch.Channels > 0)
        AV.av_channel_layout_default(&stream->codecpar->ch_layout, sketch.Channels);
      stream->avg_frame_rate = stream->r_frame_rate = sketch.Rate;
    }
    return context;
  }
  std::vector<TFormatContextPtr> FInputs;
};

// Options such as "-max_alloc", "-cpuflags" and "-loglevel" act on the whole
// process: each run starts from the same state.
inline void ResetProcessOptions() {
  AV.av_max_alloc(INT_MAX);
  AV.av_force_cpu_flags(-1);
  FFLogger().SetLogLevel(TLogLevel::llQuiet);
}
