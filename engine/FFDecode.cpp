// The decoder component (see FFDecode.h).
#include "FFDecode.h"

#include "Exception.h"
#include "FFLoad.h"
#include "FFLog.h"
#include "FFText.h"
#include "FFUtils.h"
#include "FileNames.h"
#include "LibAV.h"

#include <cinttypes>
#include <cstdint>
#include <strings.h>

// ---- TCustomDecoder -------------------------------------------------------

TCustomDecoder::TCustomDecoder() : FOptions(std::make_unique<TFFOptions>()) {}

TCustomDecoder::~TCustomDecoder() {
  // A descendant has closed its own state already; this closes the file.
  try {
    TCustomDecoder::CloseFile();
  } catch (...) {
  }
}

void TCustomDecoder::SetLastError(TLogLevel ALevel, const std::string& AText) {
  FLastErrMsg = AText;
  FFLogger().Log(this, ALevel, AText);
}

void TCustomDecoder::AttachFormatContext(AVFormatContext* AContext) {
  if (AContext == FFormatContext) return;
  FFLoader().CheckLibs(DecoderLibrarySet());
  CloseFile();
  FOwned = false;
  FFormatContext = AContext;
  RefreshInfo();
}

void TCustomDecoder::CloseFile() {
  FFileName.clear();
  if (FFormatContext && FOwned) AV.avformat_close_input(&FFormatContext);
  FFormatContext = nullptr;
  FOwned = false;
  RefreshInfo();
}

void TCustomDecoder::RefreshInfo() {
  FFileSize = -1;
  FStreamCount = FProgramCount = -1;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
  if (!FFormatContext) return;

  const AVFormatContext* c = FFormatContext;
  if (c->iformat && (c->iformat->flags & AVFMT_NOFILE)) {
    FFileSize = 0;
  } else {
    FFileSize = c->pb ? AV.avio_size(c->pb) : 0;
    if (FFileSize < 0) FFileSize = 0;
    // A size the I/O cannot tell (a pipe, a protocol that does not say) is
    // taken from the file when the name is one.
    if (FFileSize == 0 && c->url) {
      const int64_t size = GetFileSizeByName(FFmpegToString(c->url));
      if (size > 0) FFileSize = size;
    }
  }

  FStreamCount = static_cast<int>(c->nb_streams);
  FProgramCount = static_cast<int>(c->nb_programs);
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  for (int i = 0; i < FStreamCount; ++i) {
    switch (c->streams[i]->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      if (FVideoStreamCount++ == 0) FFirstVideoStreamIndex = i;
      break;
    case AVMEDIA_TYPE_AUDIO:
      if (FAudioStreamCount++ == 0) FFirstAudioStreamIndex = i;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      if (FSubtitleStreamCount++ == 0) FFirstSubtitleStreamIndex = i;
      break;
    default:
      break;
    }
  }
}

bool TCustomDecoder::IsVideoStream(int AIndex) {
  if (!FFormatContext) {
    SetLastError(TLogLevel::llWarning, "file not loaded.");
    return false;
  }
  if (AIndex < 0 || AIndex >= static_cast<int>(FFormatContext->nb_streams)) {
    SetLastError(TLogLevel::llError, FormatText("stream index #%d is invalid.", AIndex));
    return false;
  }
  return FFormatContext->streams[AIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

// ---- TFFDecoder -----------------------------------------------------------

TFFDecoder::TFFDecoder() : FConverter(std::make_unique<TFormatConverter>()) {
  ResetAudioState();
}

TFFDecoder::~TFFDecoder() {
  try {
    TFFDecoder::CloseFile();
  } catch (...) {
  }
}

void TFFDecoder::ResetDecodeState() {
  const int64_t last = FDecode.LastPTS;
  FDecode = TDecodeState{};
  FDecode.LastPTS = last;
}

void TFFDecoder::ResetAudioState() {
  // Without the libraries loaded the sizes stay 0, as before any file.
  FAudio = FAudioOut;
  FAudio.BytesPerSample =
      AV.av_get_bytes_per_sample ? AV.av_get_bytes_per_sample(FAudio.SampleFormat) : 0;
  FAudio.BytesPerSecond = FAudio.BytesPerSample * FAudio.SampleRate * FAudio.Channels;
  FAudioOut.BytesPerSample = FAudio.BytesPerSample;
  FAudioOut.BytesPerSecond = FAudio.BytesPerSecond;
}

void TFFDecoder::FreeResampler() {
  if (FResampler) AV.swr_free(&FResampler);
}

void TFFDecoder::CloseFile() {
  FCurrentStreamIndex = -1;
  FFrameRate = AVRational{0, 0};
  ResetDecodeState();
  ResetAudioState();
  FreeResampler();
  // The codec contexts are the decoder's own: freed, not only closed.
  FVideoContext.reset();
  FAudioContext.reset();
  TCustomDecoder::CloseFile();
}

int64_t TFFDecoder::TimeTarget(int64_t ATarget) const {
  if (ATarget != 0 || FFrameRate.den == 0 || !FFormatContext || FCurrentStreamIndex < 0 ||
      FCurrentStreamIndex >= static_cast<int>(FFormatContext->nb_streams) ||
      FFormatContext->streams[FCurrentStreamIndex]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
    return ATarget;
  const int64_t frame = FFrameRate.num != 0 ? INT64_C(1000000) * FFrameRate.den / FFrameRate.num
                                            : INT64_C(1000000) / 25;
  return -(frame / 2);
}

bool TFFDecoder::Seek(int AFlags, int64_t ATarget) {
  if (!FFormatContext) {
    SetLastError(TLogLevel::llWarning, "file not loaded.");
    return false;
  }
  if (!FOwned) {
    const std::string text = "file cannot be seeked, handle is readonly.";
    SetLastError(TLogLevel::llWarning, text);
    throw Exception(text);
  }
  if (FFormatContext->iformat && strcasecmp(FFormatContext->iformat->name, "image2") == 0) {
    SetLastError(TLogLevel::llInfo, "\"image2\" format cannot to be seeked.");
    return false;
  }
  AVIOContext* pb = FFormatContext->pb;
  if (pb)
    FFLogger().LogFmt(this, TLogLevel::llDebug, "%s.%s: current position %" PRId64 " bytes",
                      ClassName(), "Seek()", AV.avio_seek(pb, 0, SEEK_CUR));

  const bool byBytes = (AFlags & kSeekByte) != 0;
  int64_t target = ATarget;
  // A byte position is where the caller says: the half-frame step and the
  // stream's time base are for times only.
  if (!byBytes) {
    target = TimeTarget(ATarget);
    int64_t offset;
    if (FCurrentStreamIndex < 0 ||
        FCurrentStreamIndex >= static_cast<int>(FFormatContext->nb_streams)) {
      offset = FFormatContext->start_time;
    } else {
      const AVStream* stream = FFormatContext->streams[FCurrentStreamIndex];
      target = AV.av_rescale_q(target, AVRational{1, AV_TIME_BASE}, stream->time_base);
      offset = stream->start_time;
    }
    if (offset != AV_NOPTS_VALUE) target += offset;
  }

  if (FVideoContext) AV.avcodec_flush_buffers(FVideoContext.get());
  if (FAudioContext) AV.avcodec_flush_buffers(FAudioContext.get());
  FVideoEOF = FAudioEOF = false;
  ResetDecodeState();
  ResetAudioState();

  const int stream =
      FCurrentStreamIndex < static_cast<int>(FFormatContext->nb_streams) ? FCurrentStreamIndex : -1;
  const int flags = AFlags & 0xF;
  int result = AV.avformat_seek_file(FFormatContext, stream, INT64_MIN, target, INT64_MAX, flags);
  if (result < 0)
    result = AV.avformat_seek_file(FFormatContext, stream, INT64_MIN, target, INT64_MAX,
                                   flags ^ kSeekBackward);
  if (result < 0) {
    if (byBytes)
      SetLastError(TLogLevel::llError,
                   FormatText("%s.%s: could not seek to position %" PRId64 " bytes", ClassName(),
                              "Seek()", ATarget));
    else
      SetLastError(TLogLevel::llError,
                   FormatText("%s.%s: could not seek to position %0.3f seconds", ClassName(),
                              "Seek()", static_cast<double>(ATarget) / 1000000));
    return false;
  }
  if (pb)
    FFLogger().LogFmt(this, TLogLevel::llDebug, "%s.%s: seek to position %" PRId64 " bytes",
                      ClassName(), "Seek()", AV.avio_seek(pb, 0, SEEK_CUR));
  return true;
}
