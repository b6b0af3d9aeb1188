// "-target" (see FFTargets.h).
#include "FFTargets.h"

#include "FFLog.h"
#include "FFOptionHandlers.h"
#include "FFOptions.h"
#include "FFText.h"
#include "TaskOptions.h"

#include <cerrno>
#include <cmath>
#include <string>

namespace {

enum class TNorm { Unknown, PAL, NTSC, Film };

bool TakePrefix(std::string& AText, const char* APrefix) {
  const std::string prefix = APrefix;
  if (AText.compare(0, prefix.size(), prefix) != 0) return false;
  AText.erase(0, prefix.size());
  return true;
}

// The norm of the first video stream whose frame rate names one.
TNorm GuessNorm(TInputContexts AInputs) {
  for (AVFormatContext* input : AInputs)
    for (unsigned i = 0; input && i < input->nb_streams; ++i) {
      const AVStream* stream = input->streams[i];
      if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
      const AVRational rate =
          stream->r_frame_rate.den ? stream->r_frame_rate : stream->avg_frame_rate;
      if (rate.num <= 0 || rate.den <= 0) continue;
      const long milli = std::lround(av_q2d(rate) * 1000);
      if (milli == 25000) return TNorm::PAL;
      if (milli == 29970 || milli == 23976) return TNorm::NTSC;
    }
  return TNorm::Unknown;
}

// Applies the options of one target, stopping at the first failure.
class TTargetWriter {
public:
  TTargetWriter(TTaskOptions& ATask, TOptionsContext& AOptions)
      : FTask(ATask), FOptions(AOptions) {}
  int Result = 0;

  void VideoCodec(const char* AValue) { Keep(OptVideoCodec(FTask, &FOptions, "vcodec", AValue)); }
  void AudioCodec(const char* AValue) { Keep(OptAudioCodec(FTask, &FOptions, "acodec", AValue)); }
  void Option(const char* AName, const char* AValue) {
    Keep(ParseOption(FTask, &FOptions, AName, AValue));
  }
  void Codec(const char* AKey, const char* AValue) {
    Keep(FOptions.Group ? FOptions.Group->CodecOpts.Set(AKey, AValue) : AVERROR(EINVAL));
  }
  void Muxer(const char* AKey, const char* AValue) {
    Keep(FOptions.Group ? FOptions.Group->FormatOpts.Set(AKey, AValue) : AVERROR(EINVAL));
  }

private:
  void Keep(int AResult) {
    if (Result >= 0 && AResult < 0) Result = AResult;
  }
  TTaskOptions& FTask;
  TOptionsContext& FOptions;
};

} // namespace

int ApplyTarget(TTaskOptions& ATask, TOptionsContext& AOptions, TInputContexts AInputs,
                const char* AValue) {
  std::string target = AValue ? AValue : "";
  TNorm norm = TNorm::Unknown;
  if (TakePrefix(target, "pal-"))
    norm = TNorm::PAL;
  else if (TakePrefix(target, "ntsc-"))
    norm = TNorm::NTSC;
  else if (TakePrefix(target, "film-"))
    norm = TNorm::Film;
  else {
    norm = GuessNorm(AInputs);
    if (norm == TNorm::Unknown)
      ATask.FatalError("Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"
                       "Please prefix target with \"pal-\", \"ntsc-\" or \"film-\",\r\n"
                       "or set a framerate with \"-r xxx\".");
    FFLogger().Log(&ATask, TLogLevel::llInfo,
                   FormatText("Assuming %s for target.", norm == TNorm::PAL ? "PAL" : "NTSC"));
  }
  const bool ntsc = norm == TNorm::NTSC;
  const char* rate = norm == TNorm::PAL ? "25" : ntsc ? "30000/1001" : "24000/1001";
  const char* gop = ntsc ? "18" : "15";

  TTargetWriter w(ATask, AOptions);
  if (target == "vcd") {
    w.VideoCodec("mpeg1video");
    w.AudioCodec("mp2");
    w.Option("f", "vcd");
    w.Option("s", ntsc ? "352x240" : "352x288");
    w.Option("r", rate);
    w.Codec("g", gop);
    w.Codec("b:v", "1150000");
    w.Codec("maxrate", "1150000");
    w.Codec("minrate", "1150000");
    w.Codec("bufsize", "327680");
    w.Codec("b:a", "224000");
    w.Option("ar", "44100");
    w.Option("ac", "2");
    w.Muxer("packetsize", "2324");
    w.Muxer("muxrate", "1411200");
    // The delay the VCD standard asks of the system stream.
    AOptions.MuxPreload = 0.44f;
  } else if (target == "svcd") {
    w.VideoCodec("mpeg2video");
    w.AudioCodec("mp2");
    w.Option("f", "svcd");
    w.Option("s", ntsc ? "480x480" : "480x576");
    w.Option("r", rate);
    w.Option("pix_fmt", "yuv420p");
    w.Codec("g", gop);
    w.Codec("b:v", "2040000");
    w.Codec("maxrate", "2516000");
    w.Codec("minrate", "0");
    w.Codec("bufsize", "1835008");
    w.Codec("scan_offset", "1");
    w.Codec("b:a", "224000");
    w.Option("ar", "44100");
    w.Muxer("packetsize", "2324");
  } else if (target == "dvd") {
    w.VideoCodec("mpeg2video");
    w.AudioCodec("ac3");
    w.Option("f", "dvd");
    w.Option("s", ntsc ? "720x480" : "720x576");
    w.Option("r", rate);
    w.Option("pix_fmt", "yuv420p");
    w.Codec("g", gop);
    w.Codec("b:v", "6000000");
    w.Codec("maxrate", "9000000");
    w.Codec("minrate", "0");
    w.Codec("bufsize", "1835008");
    w.Codec("b:a", "448000");
    w.Option("ar", "48000");
    w.Muxer("packetsize", "2048");
    w.Muxer("muxrate", "10080000");
  } else if (target.compare(0, 2, "dv") == 0) {
    w.Option("f", "dv");
    w.Option("s", ntsc ? "720x480" : "720x576");
    w.Option("r", rate);
    w.Option("pix_fmt", target == "dv50" ? "yuv422p" : ntsc ? "yuv411p" : "yuv420p");
    w.Option("ar", "48000");
    w.Option("ac", "2");
  } else {
    return OptionFailure(ATask, "Unknown target: " + target);
  }
  return w.Result < 0 ? w.Result : 0;
}
