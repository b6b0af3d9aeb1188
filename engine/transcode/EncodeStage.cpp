// Encoding and writing: frames from the filter graphs' sinks, the video
// sync rule that duplicates or drops frames to keep the output's rate, the
// audio time line, subtitles, the last checks of the time stamps before the
// muxer, bitstream filters, and draining the encoders at the end.
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFText.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <libavutil/intreadwrite.h>

namespace {

constexpr AVRational kMicroseconds{1, AV_TIME_BASE};
// How far behind a real-time input the loop may fall and still encode the
// copies that fill a gap: more than the device's queue holds at 30 frames a
// second. Beyond it, copies it has no time for would put it further behind
// with every one, and the stop that ends the recording would cut off the
// time they should have filled.
constexpr int64_t kCopyLag = 250000;

// Whether a gap in the time stamps stays in the file as time: the muxer
// writes each packet's time (the swf muxer only counts frames).
bool KeepsGaps(const AVOutputFormat* AFormat) {
  return !(AFormat->flags & AVFMT_NOTIMESTAMPS) && std::strcmp(AFormat->name, "swf") != 0 &&
         std::strcmp(AFormat->name, "avm2") != 0;
}
const char* const kCheckLog =
    "Please check error log message(reported by FFLogger) to find out more detail information.";

// A new reference to AFrame in the frame the stream kept its last picture
// in, which is made once, not once a picture; false (nothing kept) when
// out of memory.
bool KeepLastPicture(TOutputStream& AOst, const AVFrame* AFrame) {
  if (AOst.LastPicture)
    AV.av_frame_unref(AOst.LastPicture.get());
  else
    AOst.LastPicture.reset(AV.av_frame_alloc());
  if (AOst.LastPicture && AV.av_frame_ref(AOst.LastPicture.get(), AFrame) >= 0) return true;
  AOst.LastPicture.reset();
  return false;
}

} // namespace

int TTranscodeTask::ReapFilters() {
  for (int i = FirstOst; i <= LastOst; ++i) {
    TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
    if (!ost.Filter || !ost.Filter->Filter || !ost.EncoderOpened || ost.Finished) continue;
    if (!ost.FilteredFrame) ost.FilteredFrame.reset(AV.av_frame_alloc());
    AVFrame* frame = ost.FilteredFrame.get();
    if (!frame) return AVERROR(ENOMEM);
    AVFilterContext* sink = ost.Filter->Filter;
    AVCodecContext* enc = ost.EncoderContext.get();
    const TOutputFile& file = *OutputFiles[static_cast<size_t>(ost.FileIndex)];
    for (;;) {
      const int result =
          AV.av_buffersink_get_frame_flags(sink, frame, AV_BUFFERSINK_FLAG_NO_REQUEST);
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
      if (result < 0) {
        FFLogger().Log(this, TLogLevel::llWarning,
                       ErrorToString("Error in av_buffersink_get_buffer_ref()", result));
        break;
      }
      if (frame->pts != AV_NOPTS_VALUE) {
        frame->pts =
            AV.av_rescale_q(frame->pts, AV.av_buffersink_get_time_base(sink), enc->time_base) -
            AV.av_rescale_q(file.StartTime, kMicroseconds, enc->time_base);
        if (file.StartTime && frame->pts < 0) {
          AV.av_frame_unref(frame);
          continue;
        }
      }
      switch (AV.av_buffersink_get_type(sink)) {
      case AVMEDIA_TYPE_AUDIO:
        if (!(ost.Encoder->capabilities & AV_CODEC_CAP_PARAM_CHANGE) &&
            frame->ch_layout.nb_channels != enc->ch_layout.nb_channels) {
          FFLogger().Log(this, TLogLevel::llError,
                         "Audio filter graph output is not normalized and encoder does not "
                         "support parameter changes");
          AV.av_frame_unref(frame);
          goto nextStream;
        }
        DoAudioOut(ost, frame);
        break;
      case AVMEDIA_TYPE_VIDEO:
        if (!ost.FrameAspectRatio) enc->sample_aspect_ratio = frame->sample_aspect_ratio;
        DoVideoOut(ost, PictureForEncoder(ost, frame));
        if (ost.ConvertedFrame) AV.av_frame_unref(ost.ConvertedFrame.get());
        break;
      default:
        FatalError("Never occur");
      }
      AV.av_frame_unref(frame);
    }
  nextStream:;
  }
  return 0;
}

AVFrame* TTranscodeTask::PictureForEncoder(TOutputStream& AOst, AVFrame* AFrame) {
  TYuvConversion* conversion = AOst.Filter->Conversion.get();
  if (!conversion) return AFrame;
  if (!AOst.ConvertedFrame) AOst.ConvertedFrame.reset(AV.av_frame_alloc());
  const int result = AOst.ConvertedFrame ? conversion->Convert(*AFrame, AOst.ConvertedFrame.get())
                                         : AVERROR(ENOMEM);
  if (result < 0) FatalError(ErrorToString("Error converting the picture for the encoder", result));
  return AOst.ConvertedFrame.get();
}

void TTranscodeTask::DoVideoOut(TOutputStream& AOst, AVFrame* AFrame) {
  if (FHoldPictures) {
    if (!KeepLastPicture(AOst, AFrame)) FatalError("Video encoding failed");
    AOst.LastPictureWritten = false;
    return;
  }
  AVCodecContext* enc = AOst.EncoderContext.get();
  const TOutputFile& file = *OutputFiles[static_cast<size_t>(AOst.FileIndex)];
  const TInputStream* ist = GetInputStream(AOst);
  double duration = 0;
  if (ist && ist->Stream->start_time != AV_NOPTS_VALUE && AOst.FrameRate.num)
    duration = 1 / (av_q2d(AOst.FrameRate) * av_q2d(enc->time_base));

  int method = VideoSyncMethod;
  if (method == -1) {
    const int flags = file.Context->oformat->flags;
    method = (flags & AVFMT_VARIABLE_FPS) ? ((flags & AVFMT_NOTIMESTAMPS) ? 0 : 2) : 1;
  }
  if (method == 0 && AOst.SyncIst)
    AFrame->pts = std::llround(static_cast<double>(AOst.SyncIst->Pts - file.StartTime) /
                               AV_TIME_BASE / av_q2d(enc->time_base));
  const double pts =
      static_cast<double>(AFrame->pts == AV_NOPTS_VALUE ? AOst.SyncOpts : AFrame->pts);
  const double delta = pts - static_cast<double>(AOst.SyncOpts) + duration;
  int64_t frames = 1;
  switch (method) {
  case 0:
  case 255:
    AOst.SyncOpts = std::llround(pts);
    break;
  case 1:
    if (delta < -1.1)
      frames = 0;
    else if (delta > 1.1)
      frames = std::lround(delta);
    break;
  case 2:
    if (delta <= -0.6)
      frames = 0;
    else if (delta > 0.6)
      AOst.SyncOpts = std::llround(pts);
    break;
  default:
    FatalError("Never occur");
  }
  frames = std::min(frames, AOst.MaxFrames - AOst.FrameNumber);
  if (frames <= 0) {
    ++DropFrames;
    DupOrDropHappened = true;
    FFLogger().Log(this, TLogLevel::llVerbose, "*** drop!");
    return;
  }
  if (frames > 1) {
    if (frames > DtsErrorThreshold * 30) {
      FFLogger().LogFmt(this, TLogLevel::llError, "%lld frame duplication too large, skipping",
                        static_cast<long long>(frames - 1));
      ++DropFrames;
      return;
    }
    DupFrames += frames - 1;
    DupOrDropHappened = true;
    FFLogger().LogFmt(this, TLogLevel::llVerbose, "*** %lld dup!",
                      static_cast<long long>(frames - 1));
  }

  // The hooks draw on a copy of their own: a duplicated frame is drawn once
  // per copy, and the filters' frame stays as it was.
  const bool hooks = HasOutputHooks();
  const bool keepsGaps = KeepsGaps(file.Context->oformat);
  for (int64_t n = 0; n < frames; ++n) {
    // Copies left out leave their slots empty: the frame itself takes the
    // last slot of its run, and players hold the picture before it
    // meanwhile, so the timeline stays whole. Where a gap would be lost, a
    // stop cuts the run short instead.
    if (keepsGaps && n < frames - 1 && LeavesCopiesOut(AOst)) {
      AOst.SyncOpts += frames - 1 - n;
      DupFrames -= frames - 1 - n; // counted above, never written
      n = frames - 1;
    }
    if (!keepsGaps && n > 0 && StopRequested()) break;
    AFrame->pts = AOst.SyncOpts;
    if (!CheckRecordingTime(AOst)) return;
    const int64_t hookPts = AV.av_rescale_q(AFrame->pts, enc->time_base, kMicroseconds);
    if (AFrame->interlaced_frame) {
      const bool top =
          (enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) &&
                  AOst.TopFieldFirst >= 0
              ? AOst.TopFieldFirst != 0
              : AFrame->top_field_first != 0;
      AFrame->top_field_first = top;
      if (enc->codec_id == AV_CODEC_ID_MJPEG)
        enc->field_order = top ? AV_FIELD_TT : AV_FIELD_BB;
      else
        enc->field_order = top ? AV_FIELD_TB : AV_FIELD_BT;
    } else {
      enc->field_order = AV_FIELD_PROGRESSIVE;
    }
    AFrame->pict_type = AV_PICTURE_TYPE_NONE;
    // A fixed-quality encoder takes its quantiser from the picture: without
    // this every picture is coded at the best quality whatever was asked.
    AFrame->quality = enc->global_quality;
    if (IsForcedKeyFrame(AOst, AFrame->pts)) {
      FFLogger().LogFmt(this, TLogLevel::llDebug, "Forced keyframe at time %s",
                        FixedText(AFrame->pts * av_q2d(enc->time_base)).c_str());
      AFrame->pict_type = AV_PICTURE_TYPE_I;
    }
    if (hooks) {
      TFramePtr copy(AV.av_frame_clone(AFrame));
      if (!copy || FOutputHookFrames.MakeWritable(copy.get()) < 0)
        FatalError("Video encoding failed");
      ApplyOutputHooks(AOst, copy.get(), AOst.FrameNumber + 1, hookPts);
      EncodeAndWrite(AOst, copy.get());
    } else {
      EncodeAndWrite(AOst, AFrame);
    }
    ++AOst.SyncOpts;
    ++AOst.FrameNumber;
  }
  if (!VStatsFileName.empty() && AOst.LastFrameSize) DoVideoStats(AOst, AOst.LastFrameSize);
  KeepLastPicture(AOst, AFrame);
  AOst.LastPictureWritten = true;
}

void TTranscodeTask::EndPicturesAtStop() {
  for (int i = FirstOst; i <= LastOst; ++i) {
    TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
    TFramePtr picture = std::move(ost.LastPicture);
    if (!picture || !ost.EncoderOpened || ost.Finished) continue;
    if (!ost.LastPictureWritten) DoVideoOut(ost, picture.get()); // copies it again
    const int64_t stop = StopSlot(ost);
    if (stop == AV_NOPTS_VALUE || stop - 1 <= ost.SyncOpts - 1 ||
        !KeepsGaps(OutputFiles[static_cast<size_t>(ost.FileIndex)]->Context->oformat))
      continue;
    // The copies between are left out (a stop was asked for): the picture
    // stands at its slot and at the last one, and players hold it between.
    picture->pts = stop - 1;
    DoVideoOut(ost, picture.get());
  }
}

int64_t TTranscodeTask::StopSlot(const TOutputStream& AOst) const {
  if (!AOst.SyncIst || !AOst.EncoderContext || FStopAt == INT64_MAX) return AV_NOPTS_VALUE;
  const TInputFile& file = *InputFiles[static_cast<size_t>(AOst.SyncIst->FileIndex)];
  if (!file.RealTime || file.LastTakenAt == INT64_MIN) return AV_NOPTS_VALUE;
  // The stop as the input would have stamped a packet taken then.
  int64_t stop = file.LastTakenTs + (FStopAt - file.LastTakenAt);
  // A pause between the last packet and the stop (a stop while paused) is
  // no time of the file.
  for (const auto& [from, to] : file.Cuts)
    stop -= std::max<int64_t>(0, std::min(to, FStopAt) - std::max(from, file.LastTakenAt));
  const AVRational base = AOst.EncoderContext->time_base;
  return AV.av_rescale_q(stop, kMicroseconds, base) -
         AV.av_rescale_q(OutputFiles[static_cast<size_t>(AOst.FileIndex)]->StartTime, kMicroseconds,
                         base);
}

bool TTranscodeTask::LeavesCopiesOut(const TOutputStream& AOst) const {
  if (StopRequested()) return true;
  const TInputStream* source = AOst.SyncIst;
  if (!source) return false;
  const TInputFile& file = *InputFiles[static_cast<size_t>(source->FileIndex)];
  return file.RealTime && file.LastTakenAt != INT64_MIN &&
         AV.av_gettime_relative() - file.LastTakenAt > kCopyLag;
}

bool TTranscodeTask::IsForcedKeyFrame(TOutputStream& AOst, int64_t APts) {
  if (AOst.ForcedKeyFramesIndex < AOst.ForcedKeyFrames.size() &&
      AOst.ForcedKeyFrames[AOst.ForcedKeyFramesIndex] <= APts) {
    ++AOst.ForcedKeyFramesIndex;
    return true;
  }
  if (!AOst.ForcedKeyFramesExpr) return false;
  double* values = AOst.ForcedKeyFramesValues; // n, n_forced, prev_forced_n, prev_forced_t, t
  values[4] = APts * av_q2d(AOst.EncoderContext->time_base);
  const double result = AV.av_expr_eval(AOst.ForcedKeyFramesExpr.get(), values, nullptr);
  FFLogger().LogFmt(this, TLogLevel::llDebug,
                    "force_key_frame: n:%f n_forced:%f prev_forced_n:%f t:%f prev_forced_t:%f -> "
                    "res:%f",
                    values[0], values[1], values[2], values[4], values[3], result);
  const bool forced = result != 0;
  if (forced) {
    values[2] = values[0];
    values[3] = values[4];
    values[1] += 1;
  }
  values[0] += 1;
  return forced;
}

void TTranscodeTask::DoAudioOut(TOutputStream& AOst, AVFrame* AFrame) {
  if (!CheckRecordingTime(AOst)) return;
  if (AFrame->pts == AV_NOPTS_VALUE || AudioSyncMethod < 0) AFrame->pts = AOst.SyncOpts;
  AOst.SyncOpts = AFrame->pts + AFrame->nb_samples;
  if (HasAudioHooks()) {
    if (AV.av_frame_make_writable(AFrame) < 0)
      FatalError("Audio encoding failed (avcodec_encode_audio2)");
    AudioOutputHook(AOst, AFrame);
  }
  EncodeAndWrite(AOst, AFrame);
}

void TTranscodeTask::EncodeAndWrite(TOutputStream& AOst, const AVFrame* AFrame) {
  AVCodecContext* enc = AOst.EncoderContext.get();
  const bool video = enc->codec_type == AVMEDIA_TYPE_VIDEO;
  int result = AV.avcodec_send_frame(enc, AFrame);
  if (result < 0 && result != AVERROR_EOF)
    FatalError(video ? "Video encoding failed" : "Audio encoding failed (avcodec_encode_audio2)");
  TPacketPtr packet(AV.av_packet_alloc());
  for (;;) {
    result = AV.avcodec_receive_packet(enc, packet.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
    if (result < 0)
      FatalError(video ? "Video encoding failed" : "Audio encoding failed (avcodec_encode_audio2)");
    if (video && packet->pts == AV_NOPTS_VALUE &&
        !(AOst.Encoder->capabilities & AV_CODEC_CAP_DELAY))
      packet->pts = AOst.SyncOpts;
    // The encoder's quality, picture type and error of the packet.
    size_t statsSize = 0;
    if (const uint8_t* stats =
            AV.av_packet_get_side_data(packet.get(), AV_PKT_DATA_QUALITY_STATS, &statsSize);
        stats && statsSize >= 4) {
      AOst.Quality = static_cast<int>(AV_RL32(stats));
      if (statsSize >= 5) AOst.PictType = stats[4];
      if (statsSize >= 16 && stats[5] > 0) AOst.LumaError = AV_RL64(stats + 8);
      for (size_t p = 0; p < 3 && p < stats[5] && statsSize >= 16 + 8 * p; ++p)
        AOst.PlaneErrors[p] = static_cast<int64_t>(AV_RL64(stats + 8 + 8 * p));
    }
    if (video) AOst.LastFrameSize = packet->size;
    AV.av_packet_rescale_ts(packet.get(), enc->time_base, AOst.Stream->time_base);
    if (video)
      VideoSize += packet->size;
    else
      AudioSize += packet->size;
    if (AOst.LogFile && enc->stats_out) std::fputs(enc->stats_out, AOst.LogFile.get());
    WriteFrame(AOst, packet.get());
    AV.av_packet_unref(packet.get());
    if (video && !AFrame && !VStatsFileName.empty()) DoVideoStats(AOst, AOst.LastFrameSize);
  }
}

void TTranscodeTask::DoSubtitleOut(TOutputStream& AOst, TInputStream& AIst, AVSubtitle& ASubtitle) {
  (void)AIst;
  if (ASubtitle.pts == AV_NOPTS_VALUE) {
    FFLogger().Log(this, TLogLevel::llError, "Subtitle packets must have a pts");
    if (ExitOnError) FatalError("Subtitle packets must have a pts");
    return;
  }
  if (FSubtitleBuffer.empty()) FSubtitleBuffer.resize(1 << 20);
  AVCodecContext* enc = AOst.EncoderContext.get();
  const TOutputFile& file = *OutputFiles[static_cast<size_t>(AOst.FileIndex)];
  const int passes = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE ? 2 : 1;
  const unsigned rects = ASubtitle.num_rects;
  for (int pass = 0; pass < passes; ++pass) {
    AOst.SyncOpts = AV.av_rescale_q(ASubtitle.pts - file.StartTime, kMicroseconds, enc->time_base);
    if (!CheckRecordingTime(AOst)) return;
    AVSubtitle subtitle = ASubtitle;
    subtitle.pts +=
        AV.av_rescale_q(ASubtitle.start_display_time, AVRational{1, 1000}, kMicroseconds);
    subtitle.end_display_time -= ASubtitle.start_display_time;
    subtitle.start_display_time = 0;
    if (pass == 1) subtitle.num_rects = 0;
    const int size = AV.avcodec_encode_subtitle(
        enc, FSubtitleBuffer.data(), static_cast<int>(FSubtitleBuffer.size()), &subtitle);
    if (size < 0) FatalError("Subtitle encoding failed");
    TPacketPtr packet(AV.av_packet_alloc());
    if (AV.av_new_packet(packet.get(), size) < 0) FatalError("Subtitle encoding failed");
    std::copy_n(FSubtitleBuffer.data(), size, packet->data);
    packet->pts = AV.av_rescale_q(subtitle.pts, kMicroseconds, AOst.Stream->time_base);
    packet->duration =
        AV.av_rescale_q(subtitle.end_display_time, AVRational{1, 1000}, AOst.Stream->time_base);
    if (enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE)
      packet->pts += 90 * (pass == 0 ? ASubtitle.start_display_time : ASubtitle.end_display_time);
    packet->dts = packet->pts;
    SubtitleSize += size;
    WriteFrame(AOst, packet.get());
  }
  ASubtitle.num_rects = rects;
}

void TTranscodeTask::WriteFrame(TOutputStream& AOst, AVPacket* APacket) {
  const AVMediaType type = AOst.Stream->codecpar->codec_type;
  if ((type == AVMEDIA_TYPE_VIDEO && VideoSyncMethod == 255) ||
      (type == AVMEDIA_TYPE_AUDIO && AudioSyncMethod < 0))
    APacket->pts = APacket->dts = AV_NOPTS_VALUE;

  if (type != AVMEDIA_TYPE_VIDEO || !AOst.EncodingNeeded) {
    if (AOst.FrameNumber >= AOst.MaxFrames) return;
    ++AOst.FrameNumber;
  }

  if (AOst.BitstreamFilterChain)
    FilterAndWrite(AOst, APacket);
  else
    WritePacketNow(AOst, APacket);
}

void TTranscodeTask::FilterAndWrite(TOutputStream& AOst, AVPacket* APacket) {
  AVBSFContext* bsf = AOst.BitstreamFilterChain.get();
  int result = AV.av_bsf_send_packet(bsf, APacket);
  TPacketPtr filtered(AV.av_packet_alloc());
  while (result >= 0) {
    result = AV.av_bsf_receive_packet(bsf, filtered.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
    if (result < 0) break;
    WritePacketNow(AOst, filtered.get());
    AV.av_packet_unref(filtered.get());
  }
  const std::string text =
      ErrorToString(FormatText("Failed to open bitstream filter %s for stream %d with codec %s",
                               AOst.BitstreamFilters.c_str(), AOst.Index,
                               AOst.Encoder ? AOst.Encoder->name : "copy"),
                    result);
  if (ExitOnError) FatalError(text);
  FFLogger().Log(this, TLogLevel::llError, text);
}

void TTranscodeTask::WritePacketNow(TOutputStream& AOst, AVPacket* APacket) {
  const AVMediaType type = AOst.Stream->codecpar->codec_type;
  AVFormatContext* oc = OutputFiles[static_cast<size_t>(AOst.FileIndex)]->Context.get();
  if ((type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO) &&
      APacket->dts != AV_NOPTS_VALUE && AOst.LastMuxDts != AV_NOPTS_VALUE) {
    // The muxer refuses a dts that does not move forward, also after a dts
    // of 0, and a pts before its dts.
    const int64_t max = AOst.LastMuxDts + !(oc->oformat->flags & AVFMT_TS_NONSTRICT);
    if (max > APacket->dts) {
      AV.av_log(
          oc, max - APacket->dts <= 2 && type != AVMEDIA_TYPE_VIDEO ? AV_LOG_DEBUG : AV_LOG_WARNING,
          "st:%d PTS: %lld DTS: %lld < %lld invalid, clipping\n", AOst.Index,
          static_cast<long long>(APacket->pts), static_cast<long long>(APacket->dts),
          static_cast<long long>(max));
      if (APacket->pts >= APacket->dts) APacket->pts = std::max(APacket->pts, max);
      APacket->dts = max;
    }
  }
  if (APacket->pts != AV_NOPTS_VALUE && APacket->dts != AV_NOPTS_VALUE &&
      APacket->pts < APacket->dts)
    APacket->pts = APacket->dts;
  APacket->stream_index = AOst.Index;
  if (APacket->dts != AV_NOPTS_VALUE) AOst.LastMuxDts = APacket->dts;
  if (APacket->pts != AV_NOPTS_VALUE)
    AOst.LastMuxPts = std::max(AOst.LastMuxPts == AV_NOPTS_VALUE ? INT64_MIN : AOst.LastMuxPts,
                               APacket->pts + std::max<int64_t>(APacket->duration, 0));
  AOst.DataSize += static_cast<uint64_t>(APacket->size);
  ++AOst.PacketsWritten;
  if (DebugTs)
    FFLogger().LogFmt(this, TLogLevel::llInfo, "muxer <- type:%s pkt_pts:%lld pkt_dts:%lld size:%d",
                      AV.av_get_media_type_string(type), static_cast<long long>(APacket->pts),
                      static_cast<long long>(APacket->dts), APacket->size);
  StartWriteTimer();
  const int result = AV.av_interleaved_write_frame(oc, APacket);
  StopWriteTimer();
  if (result < 0)
    FatalError(ErrorToString("av_interleaved_write_frame()", result) + ". " + kCheckLog);
}

void TTranscodeTask::FlushEncoders() {
  for (int i = FirstOst; i <= LastOst; ++i) {
    TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
    if (ost.EncoderFlushed) continue;
    ost.EncoderFlushed = true;
    if (ReachedSizeLimit(*OutputFiles[static_cast<size_t>(ost.FileIndex)])) continue;
    const AVCodecContext* enc = ost.EncoderContext.get();
    const bool holds = ost.EncodingNeeded && ost.EncoderOpened &&
                       (enc->codec_type == AVMEDIA_TYPE_VIDEO ||
                        (enc->codec_type == AVMEDIA_TYPE_AUDIO && enc->frame_size > 1));
    if (holds) EncodeAndWrite(ost, nullptr);
    // A bitstream filter gives what it holds (a packet it rechunks or
    // merges) once it is told the stream ends; copied streams have them too.
    if (ost.BitstreamFilterChain) FilterAndWrite(ost, nullptr);
  }
}

void TTranscodeTask::DoVideoStats(TOutputStream& AOst, int AFrameSize) {
  const AVCodecContext* enc = AOst.EncoderContext.get();
  if (enc->codec_type != AVMEDIA_TYPE_VIDEO) return;
  if (!FVStatsFile) {
    FVStatsFile.reset(std::fopen(VStatsFileName.c_str(), "w"));
    if (!FVStatsFile) FatalError("fopen fail: " + VStatsFileName);
  }
  FILE* file = FVStatsFile.get();
  std::fprintf(file, "frame= %5d q= %2.1f ", AOst.FrameNumber,
               AOst.Quality / static_cast<double>(FF_QP2LAMBDA));
  if ((enc->flags & AV_CODEC_FLAG_PSNR) && AOst.LumaError >= 0)
    std::fprintf(file, "PSNR= %6.2f ",
                 -10.0 * std::log10(static_cast<double>(AOst.LumaError) /
                                    (enc->width * enc->height * 255.0 * 255.0)));
  std::fprintf(file, "f_size= %6d ", AFrameSize);
  double seconds =
      AOst.LastMuxPts == AV_NOPTS_VALUE ? 0 : AOst.LastMuxPts * av_q2d(AOst.Stream->time_base);
  if (seconds < 0.01) seconds = 0.01;
  std::fprintf(file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
               VideoSize / 1024.0, seconds, AFrameSize * 8 / av_q2d(enc->time_base) / 1000.0,
               VideoSize * 8 / seconds / 1000.0);
  std::fprintf(file, "type= %c\n",
               AV.av_get_picture_type_char(static_cast<AVPictureType>(AOst.PictType)));
}
