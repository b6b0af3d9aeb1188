// The task's hooks and preview: what the loop hands the application of each
// decoded and each encoded picture and sound block, the frame-hook libraries
// ("-vhook") and their options. Everything here runs in the task's thread.
//
// Pictures are hooked in place: the loop hands over frames it has made
// writable, so what a hook draws is what gets filtered and encoded. A
// deinterlacing filter ("-deinterlace" puts one first in the graph) works
// after the input hooks, so they see the frame as it was decoded.
#include "FFLog.h"
#include "FFValues.h"
#include "FFmpeg.h"
#include "LibAV.h"

#include <cstring>
#include <exception>

namespace {

TFrameHookPicture PictureOf(const AVFrame* AFrame) {
  TFrameHookPicture picture{};
  for (int i = 0; i < 8; ++i) {
    picture.data[i] = AFrame->data[i];
    picture.linesize[i] = AFrame->linesize[i];
  }
  return picture;
}

// Planar sound interleaved into ABuffer, or back from it.
void Interleave(const AVFrame* AFrame, int ABytes, int AChannels, uint8_t* ABuffer) {
  const int samples = AFrame->nb_samples;
  for (int c = 0; c < AChannels; ++c) {
    const uint8_t* from = AFrame->extended_data[c];
    uint8_t* to = ABuffer + c * ABytes;
    for (int s = 0; s < samples; ++s, from += ABytes, to += ABytes * AChannels)
      std::memcpy(to, from, static_cast<size_t>(ABytes));
  }
}

void Deinterleave(const uint8_t* ABuffer, int ABytes, int AChannels, AVFrame* AFrame) {
  const int samples = AFrame->nb_samples;
  for (int c = 0; c < AChannels; ++c) {
    const uint8_t* from = ABuffer + c * ABytes;
    uint8_t* to = AFrame->extended_data[c];
    for (int s = 0; s < samples; ++s, to += ABytes, from += ABytes * AChannels)
      std::memcpy(to, from, static_cast<size_t>(ABytes));
  }
}

} // namespace

void TCustomFFmpeg::LogHandlerError(const char* AEvent, const char* AText) {
  FFLogger().Log(this, TLogLevel::llError,
                 std::string("Error occurs ") + AEvent + " event: " + AText);
}

// ---- Options ----------------------------------------------------------------

int TCustomFFmpeg::OptVHook(TOptionsContext*, const char*, const char* AValue) {
  const std::string text = AValue ? AValue : "";
  std::vector<std::string> pieces = SplitFrameHookArguments(text);
  std::vector<char*> argv;
  for (std::string& piece : pieces)
    argv.push_back(piece.data());
  argv.push_back(nullptr);
  if (FFrameHooks.Add(static_cast<int>(pieces.size()), argv.data()) != 0)
    FatalError("Failed to add video hook function: " + text);
  FFrameHooksAdded = true;
  return 0;
}

int TCustomFFmpeg::OptVideoHookBitsPixel(TOptionsContext*, const char* AName, const char* AValue) {
  try {
    SetHookBitsPixel(ParseIntOption(AName, AValue ? AValue : ""));
  } catch (const std::exception& e) {
    FFLogger().Log(this, TLogLevel::llError, e.what());
    return AVERROR(EINVAL);
  }
  return 0;
}

// ---- Input side ---------------------------------------------------------------

void TCustomFFmpeg::PreProcessVideoFrame(TInputStream& AIst, AVFrame* AFrame) {
  if (!OnFrameInputHook && !OnVideoInputHook && !FFrameHooksAdded) return;
  // The loop counted the frame and set the stream's time before calling.
  const int number = AIst.FrameNumber;
  const int64_t pts = AIst.Pts;
  // The video input hook draws into the frame itself when no conversion is
  // needed; the decoder's picture is kept aside so that a drawing the
  // handler takes back (Update cleared, or an exception) can be undone.
  // With a frame input hook before it, that hook's changes would be undone
  // too: the video hook then draws on a copy.
  const bool inPlace = OnVideoInputHook && !OnFrameInputHook;
  TFramePtr original(inPlace ? AV.av_frame_clone(AFrame) : nullptr);
  if (FInputHookFrames.MakeWritable(AFrame) < 0) {
    FFLogger().Log(this, TLogLevel::llError, "memory malloc error in pre_process_video_frame().");
    return;
  }
  if (OnFrameInputHook) CallFrameHook(OnFrameInputHook, AFrame, number, pts);
  if (OnVideoInputHook) {
    FInputConverter.SetDrawInPlace(inPlace && original);
    bool updated = false;
    CallVideoHook(OnVideoInputHook, FInputConverter, AFrame, number, pts, &updated);
    // The bitmap must not outlive the frame it may show.
    FInputConverter.Bitmap().Detach();
    if (!updated && original) {
      AV.av_frame_unref(AFrame);
      AV.av_frame_move_ref(AFrame, original.get());
    }
  } else if (FFrameHooksAdded) {
    TFrameHookPicture picture = PictureOf(AFrame);
    FFrameHooks.Process(picture, AFrame->format, AFrame->width, AFrame->height, pts);
  }
}

// ---- Output side --------------------------------------------------------------

void TCustomFFmpeg::ApplyOutputHooks(TOutputStream&, AVFrame* AFrame, int AFrameNumber,
                                     int64_t APts) {
  bool converted = false;
  if (OnVideoOutputHook)
    converted = CallVideoHook(OnVideoOutputHook, FPreviewConverter, AFrame, AFrameNumber, APts);
  if (OnFrameOutputHook) CallFrameHook(OnFrameOutputHook, AFrame, AFrameNumber, APts);
  if (FPreviewFlags.load() != 0) DoPreview(AFrame, converted, APts, AFrameNumber);
}

// ---- One hook call ------------------------------------------------------------

bool TCustomFFmpeg::CallVideoHook(TTaskVideoHook& AHook, TFormatConverter& AConverter,
                                  AVFrame* AFrame, int AFrameNumber, int64_t APts, bool* AUpdated) {
  const auto format = static_cast<AVPixelFormat>(AFrame->format);
  bool converted = AConverter.PictureToBitmap(AFrame->data, AFrame->linesize, format,
                                              AFrame->height, AFrame->width, true);
  if (!converted) {
    FFLogger().Log(this, TLogLevel::llError, AConverter.LastError());
    AHook = nullptr;
    return false;
  }
  THookInfo info;
  info.Bitmap = &AConverter.Bitmap();
  info.FrameNumber = AFrameNumber;
  info.PTS = APts;
  info.Update = true;
  info.StopHook = false;
  if (!CallGuarded("VideoHook", [&] { AHook(this, info); })) info.Update = false;
  if (info.Update) {
    // Back into the frame: its own rows when the bitmap had its layout, else
    // through the converter's picture, whatever the formats. A padded or odd
    // sized frame of the bitmap's own format needs the second road too.
    bool written = AConverter.CopyBitmapToPicture();
    if (written && AConverter.Converted())
      written = AConverter.BitmapToPicture(AFrame->data, AFrame->linesize, format, AFrame->height,
                                           AFrame->width);
    if (!written) {
      FFLogger().Log(this, TLogLevel::llError, AConverter.LastError());
      info.StopHook = true;
      converted = false;
    }
  } else if (FPreviewFlags.load() != 0) {
    converted = false; // the bitmap may show a drawing the frame does not have
  }
  if (info.StopHook) AHook = nullptr;
  if (AUpdated) *AUpdated = info.Update && converted;
  return converted;
}

void TCustomFFmpeg::CallFrameHook(const TTaskFrameHook& AHook, AVFrame* AFrame, int AFrameNumber,
                                  int64_t APts) {
  // The handler may change the pixels; the planes themselves belong to the
  // frame's buffers, so pointers it changes are not taken back.
  TFrameHookPicture picture = PictureOf(AFrame);
  TFrameHookInfo info;
  info.FrameNumber = AFrameNumber;
  info.Picture = &picture;
  info.PixelFormat = AFrame->format;
  info.Width = AFrame->width;
  info.Height = AFrame->height;
  info.PTS = APts;
  CallGuarded("FrameHook", [&] { AHook(this, info); });
}

// ---- Sound --------------------------------------------------------------------

void TCustomFFmpeg::AudioInputHook(TInputStream& AIst, AVFrame* AFrame) {
  if (!OnAudioInputHook) return;
  const int64_t pts = AFrame->pts != AV_NOPTS_VALUE
                          ? AV.av_rescale_q(AFrame->pts, AIst.Stream->time_base, AV_TIME_BASE_Q)
                          : AIst.Dts;
  CallAudioHook(OnAudioInputHook, AFrame, pts);
}

void TCustomFFmpeg::AudioOutputHook(TOutputStream& AOst, AVFrame* AFrame) {
  if (!OnAudioOutputHook) return;
  const int64_t pts =
      AFrame->pts == AV_NOPTS_VALUE
          ? AV_NOPTS_VALUE
          : AV.av_rescale_q(AFrame->pts, AOst.EncoderContext->time_base, AV_TIME_BASE_Q);
  CallAudioHook(OnAudioOutputHook, AFrame, pts);
}

void TCustomFFmpeg::CallAudioHook(const TTaskAudioHook& AHook, AVFrame* AFrame, int64_t APts) {
  const auto format = static_cast<AVSampleFormat>(AFrame->format);
  const int channels = AFrame->ch_layout.nb_channels;
  const int bytes = AV.av_get_bytes_per_sample(format);
  if (channels < 1 || bytes < 1 || AFrame->nb_samples < 1) return;
  const int size = channels * AFrame->nb_samples * bytes;
  if (!AV.av_sample_fmt_is_planar(format) || channels == 1) {
    // One plane holds every sample: handed on as it is.
    CallGuarded("AudioHook", [&] {
      AHook(this, APts, AFrame->extended_data[0], size, AFrame->sample_rate, channels,
            AV.av_get_packed_sample_fmt(format));
    });
    return;
  }
  // Planar sound with several channels: the hook gets one packed block that
  // holds them all, and what it changes goes back into the planes (unless
  // it failed).
  FAudioBuffer.resize(static_cast<size_t>(size));
  Interleave(AFrame, bytes, channels, FAudioBuffer.data());
  if (CallGuarded("AudioHook", [&] {
        AHook(this, APts, FAudioBuffer.data(), size, AFrame->sample_rate, channels,
              AV.av_get_packed_sample_fmt(format));
      }))
    Deinterleave(FAudioBuffer.data(), bytes, channels, AFrame);
}

// ---- Preview ------------------------------------------------------------------

void TCustomFFmpeg::DoPreview(AVFrame* AFrame, bool AConverted, int64_t APts, int AFrameNumber) {
  const uint8_t flags = FPreviewFlags.load();
  const bool forced = FPreviewFlagsChanged.exchange(false);
  const int64_t now = AV.av_gettime_relative();
  // The first picture is shown at once.
  if (FLastPreviewTime != INT64_MIN && now - FLastPreviewTime <= PreviewInterval) return;
  auto convert = [&]() {
    if (AConverted && !forced) return true;
    if (FPreviewConverter.PictureToBitmap(AFrame->data, AFrame->linesize,
                                          static_cast<AVPixelFormat>(AFrame->format),
                                          AFrame->height, AFrame->width, true))
      return true;
    FFLogger().Log(this, TLogLevel::llError, FPreviewConverter.LastError());
    return false;
  };
  if ((flags & 2) && OnPreviewBitmap) {
    if (convert()) {
      TPreviewInfo info;
      info.Bitmap = &FPreviewConverter.Bitmap();
      info.FrameNumber = AFrameNumber;
      info.PTS = APts;
      CallGuarded("PreviewBitmap", [&] { OnPreviewBitmap(this, info); });
    } else {
      ChangePreviewFlags(2, false);
    }
    FLastPreviewTime = now;
  } else if (flags & 1) {
    // ShowFrame waits for the main thread: no lock is held here.
    if (convert()) {
      bool shown = false;
      // A window that fails ends the preview as if closed.
      CallGuarded("Preview", [&] {
        if (!FPreviewer) FPreviewer = std::make_unique<TPreviewer>();
        shown = FPreviewer->ShowFrame(FPreviewConverter.Bitmap(), AFrameNumber, APts);
      });
      if (!shown) ChangePreviewFlags(1, false); // closed by the user, or no window here
    } else {
      ChangePreviewFlags(1, false);
    }
    FLastPreviewTime = now;
  }
  if (!(FPreviewFlags.load() & 1)) FPreviewer.reset();
}
