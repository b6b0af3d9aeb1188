// Decoding and filtering of input packets: the streams' time-stamp
// bookkeeping, decoding through the send/receive calls, the input hooks,
// pushing frames into the filter graphs (reconfigured when the decoded
// format changes), subtitles and their picture canvas, stream copy, and the
// real-time pacing of "re".
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFText.h"

#include <cerrno>
#include <cstring>
#include <thread>

namespace {

constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

// The duration of one video packet in microseconds, from the packet or the
// codec's rate; 0 when neither tells.
int64_t VideoPacketDuration(const TInputStream& AIst, const AVPacket* APacket) {
  if (APacket && APacket->duration > 0)
    return AV.av_rescale_q(APacket->duration, AIst.Stream->time_base, kMicroseconds);
  const AVCodecContext* dec = AIst.DecoderContext.get();
  AVRational rate = dec && dec->framerate.num ? dec->framerate : AIst.Stream->avg_frame_rate;
  if (AIst.FrameRate.num) rate = AIst.FrameRate;
  if (!rate.num || !rate.den) return 0;
  return AV.av_rescale_q(1, av_inv_q(rate), kMicroseconds);
}

std::string LayoutName(const AVChannelLayout& ALayout) {
  char text[128] = "unknown";
  AV.av_channel_layout_describe(&ALayout, text, sizeof text);
  return text;
}

} // namespace

int TTranscodeTask::OutputPacket(TInputStream& AIst, AVPacket* APacket) {
  const AVMediaType type = AIst.Stream->codecpar->codec_type;
  if (!AIst.SawFirstTs) {
    const AVCodecContext* dec = AIst.DecoderContext.get();
    AIst.Dts = dec && AIst.Stream->avg_frame_rate.num
                   ? -dec->has_b_frames * AV_TIME_BASE / av_q2d(AIst.Stream->avg_frame_rate)
                   : 0;
    AIst.Pts = 0;
    if (APacket && APacket->pts != AV_NOPTS_VALUE && !AIst.DecodingNeeded) {
      AIst.Dts += AV.av_rescale_q(APacket->pts, AIst.Stream->time_base, kMicroseconds);
      AIst.Pts = AIst.Dts;
    }
    AIst.SawFirstTs = true;
  }
  if (AIst.NextDts == AV_NOPTS_VALUE) AIst.NextDts = AIst.Dts;
  if (AIst.NextPts == AV_NOPTS_VALUE) AIst.NextPts = AIst.Pts;
  if (APacket && APacket->dts != AV_NOPTS_VALUE) {
    AIst.NextDts = AIst.Dts = AV.av_rescale_q(APacket->dts, AIst.Stream->time_base, kMicroseconds);
    if (type != AVMEDIA_TYPE_VIDEO || !AIst.DecodingNeeded) AIst.NextPts = AIst.Pts = AIst.Dts;
  }

  if (AIst.DecodingNeeded && AIst.DecoderOpened) {
    AIst.Pts = AIst.NextPts;
    AIst.Dts = AIst.NextDts;
    bool gotOutput = false;
    int result = 0;
    switch (type) {
    case AVMEDIA_TYPE_AUDIO:
      result = DecodeAudio(AIst, APacket, gotOutput);
      break;
    case AVMEDIA_TYPE_VIDEO: {
      const int64_t duration = VideoPacketDuration(AIst, APacket);
      result = DecodeVideo(AIst, APacket, gotOutput);
      if (AIst.Dts != AV_NOPTS_VALUE && duration)
        AIst.NextDts += duration;
      else
        AIst.NextDts = AV_NOPTS_VALUE;
      if (gotOutput) AIst.NextPts += duration;
      break;
    }
    case AVMEDIA_TYPE_SUBTITLE:
      result = TranscodeSubtitles(AIst, APacket, gotOutput);
      break;
    default:
      return -1;
    }
    if (result < 0) return result;
  } else if (APacket) {
    RateEmuSleep(AIst);
    AIst.Dts = AIst.NextDts;
    const AVCodecParameters* par = AIst.Stream->codecpar;
    if (type == AVMEDIA_TYPE_AUDIO && par->sample_rate)
      AIst.NextDts += int64_t{AV_TIME_BASE} * par->frame_size / par->sample_rate;
    else if (type == AVMEDIA_TYPE_VIDEO)
      AIst.NextDts += VideoPacketDuration(AIst, APacket);
    AIst.Pts = AIst.Dts;
    AIst.NextPts = AIst.NextDts;
  }

  if (!APacket) return 0;
  for (int i = FirstOst; i <= LastOst; ++i) {
    TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
    if (ost.EncodingNeeded || !CheckOutputConstraints(AIst, ost)) continue;
    DoStreamCopy(AIst, ost, *APacket);
  }
  return 0;
}

void TTranscodeTask::RateEmuSleep(TInputStream& AIst) {
  if (!InputFiles[static_cast<size_t>(AIst.FileIndex)]->RateEmu) return;
  const int64_t due = AIst.Dts;
  const int64_t now = AV.av_gettime_relative() - AIst.Start;
  if (due > now) std::this_thread::sleep_for(std::chrono::microseconds(due - now));
}

int TTranscodeTask::DecodeAudio(TInputStream& AIst, AVPacket* APacket, bool& AGotOutput) {
  AVCodecContext* dec = AIst.DecoderContext.get();
  if (!AIst.DecodedFrame) AIst.DecodedFrame.reset(AV.av_frame_alloc());
  AVFrame* frame = AIst.DecodedFrame.get();
  if (!frame) return AVERROR(ENOMEM);
  int result = AV.avcodec_send_packet(dec, APacket);
  if (result < 0 && result != AVERROR_EOF && result != AVERROR(EAGAIN)) return result;
  for (;;) {
    result = AV.avcodec_receive_frame(dec, frame);
    if (result == AVERROR(EAGAIN)) break;
    if (result == AVERROR_EOF) {
      SendEndOfStream(AIst);
      break;
    }
    if (result < 0) return result;
    if (dec->sample_rate <= 0) {
      AV.av_log(dec, AV_LOG_ERROR, "Sample rate %d invalid\n", dec->sample_rate);
      AV.av_frame_unref(frame);
      return AVERROR_INVALIDDATA;
    }
    if (frame->nb_samples < 1)
      FatalErrorFmt("the decoder \"%s\" return bad result.", AIst.Decoder->name);
    AGotOutput = true;
    const int64_t span = int64_t{AV_TIME_BASE} * frame->nb_samples / frame->sample_rate;
    AIst.NextPts += span;
    AIst.NextDts += span;
    if (HasAudioHooks() && (result = AV.av_frame_make_writable(frame)) < 0) return result;
    AudioInputHook(AIst, frame);
    RateEmuSleep(AIst);

    uint64_t mask = frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame->ch_layout.u.mask : 0;
    if (frame->format != AIst.ResampleSampleFmt || frame->sample_rate != AIst.ResampleSampleRate ||
        frame->ch_layout.nb_channels != AIst.ResampleChannels || mask != AIst.ResampleChannelLayout) {
      if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int channels = frame->ch_layout.nb_channels;
        AV.av_channel_layout_default(&frame->ch_layout, channels);
        if (frame->ch_layout.order != AV_CHANNEL_ORDER_NATIVE)
          FatalErrorFmt("Unable to find default channel layout for Input Stream #%d.%d",
                        AIst.FileIndex, AIst.Stream->index);
        mask = frame->ch_layout.u.mask;
      }
      AVChannelLayout old{};
      AV.av_channel_layout_from_mask(&old, AIst.ResampleChannelLayout);
      FFLogger().LogFmt(this, TLogLevel::llInfo,
                        "Input stream #%d:%d frame changed from rate:%d fmt:%s ch:%d chl:%s to "
                        "rate:%d fmt:%s ch:%d chl:%s",
                        AIst.FileIndex, AIst.Stream->index, AIst.ResampleSampleRate,
                        AV.av_get_sample_fmt_name(static_cast<AVSampleFormat>(AIst.ResampleSampleFmt)),
                        AIst.ResampleChannels, LayoutName(old).c_str(), frame->sample_rate,
                        AV.av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format)),
                        frame->ch_layout.nb_channels, LayoutName(frame->ch_layout).c_str());
      AV.av_channel_layout_uninit(&old);
      AIst.ResampleSampleFmt = frame->format;
      AIst.ResampleSampleRate = frame->sample_rate;
      AIst.ResampleChannels = frame->ch_layout.nb_channels;
      AIst.ResampleChannelLayout = mask;
      AV.av_channel_layout_uninit(&dec->ch_layout);
      AV.av_channel_layout_copy(&dec->ch_layout, &frame->ch_layout);
      for (TInputFilter* filter : AIst.Filters)
        if (ConfigureFilterGraph(*filter->Graph) < 0) FatalError("Error reinitializing filters!");
      for (int i = FirstOst; i <= LastOst; ++i) {
        TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
        if (ost.Filter && ost.Filter->Filter && ost.EncoderOpened &&
            TTranscodeTask::StreamFeedsGraph(*ost.Filter->Graph, AIst) &&
            !(ost.Encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
          AV.av_buffersink_set_frame_size(ost.Filter->Filter,
                                          static_cast<unsigned>(ost.EncoderContext->frame_size));
      }
    }

    // The frame's time: the decoder's (the stream's bookkeeping follows
    // it), else the stream's dts; then in 1/sample rate, continuous across
    // frames.
    AVRational base = AIst.Stream->time_base;
    if (frame->pts != AV_NOPTS_VALUE) {
      AIst.Dts = AIst.NextDts = AIst.Pts = AIst.NextPts =
          AV.av_rescale_q(frame->pts, base, kMicroseconds);
    } else {
      frame->pts = AIst.Dts;
      base = kMicroseconds;
    }
    const AVRational sampleBase{1, frame->sample_rate};
    frame->pts = AV.av_rescale_delta(base, frame->pts, sampleBase, frame->nb_samples,
                                     &AIst.FilterInRescaleDeltaLast, sampleBase);
    frame->time_base = sampleBase;
    if ((result = PushFrame(AIst, frame)) < 0) return result;
  }
  return 0;
}

int TTranscodeTask::DecodeVideo(TInputStream& AIst, AVPacket* APacket, bool& AGotOutput) {
  AVCodecContext* dec = AIst.DecoderContext.get();
  if (!AIst.DecodedFrame) AIst.DecodedFrame.reset(AV.av_frame_alloc());
  AVFrame* frame = AIst.DecodedFrame.get();
  if (!frame) return AVERROR(ENOMEM);
  if (APacket && AIst.Dts != AV_NOPTS_VALUE)
    APacket->dts = AV.av_rescale_q(AIst.Dts, kMicroseconds, AIst.Stream->time_base);
  int result = AV.avcodec_send_packet(dec, APacket);
  if (result < 0 && result != AVERROR_EOF && result != AVERROR(EAGAIN)) return result;
  for (;;) {
    result = AV.avcodec_receive_frame(dec, frame);
    if (result == AVERROR(EAGAIN)) break;
    if (result == AVERROR_EOF) {
      SendEndOfStream(AIst);
      break;
    }
    if (result < 0) return result;
    AGotOutput = true;
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
      frame->pts = frame->best_effort_timestamp;
      AIst.NextPts = AIst.Pts = AV.av_rescale_q(frame->pts, AIst.Stream->time_base, kMicroseconds);
    }
    if (!TakesGridSlot(AIst, *frame)) {
      AV.av_frame_unref(frame);
      continue;
    }
    if (AIst.TopFieldFirst >= 0) frame->top_field_first = AIst.TopFieldFirst;
    if (DebugTs)
      FFLogger().LogFmt(this, TLogLevel::llInfo,
                        "decoder -> ist_index:%d type:video frame_pts:%lld best_effort_ts:%lld "
                        "keyframe:%d frame_type:%d ",
                        AIst.Stream->index, static_cast<long long>(frame->pts),
                        static_cast<long long>(frame->best_effort_timestamp), frame->key_frame,
                        frame->pict_type);
    ++AIst.FrameNumber;
    // The input hooks make the picture writable themselves (never drawing
    // into one the decoder still refers to).
    PreProcessVideoFrame(AIst, frame);
    RateEmuSleep(AIst);
    if (AIst.Stream->sample_aspect_ratio.num)
      frame->sample_aspect_ratio = AIst.Stream->sample_aspect_ratio;

    if (frame->width != AIst.ResampleWidth || frame->height != AIst.ResampleHeight ||
        frame->format != AIst.ResamplePixFmt) {
      FFLogger().LogFmt(this, TLogLevel::llInfo,
                        "Input stream #%d:%d frame changed from size:%dx%d fmt:%s to size:%dx%d "
                        "fmt:%s",
                        AIst.FileIndex, AIst.Stream->index, AIst.ResampleWidth, AIst.ResampleHeight,
                        AV.av_get_pix_fmt_name(static_cast<AVPixelFormat>(AIst.ResamplePixFmt)),
                        frame->width, frame->height,
                        AV.av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format)));
      AIst.ResampleWidth = frame->width;
      AIst.ResampleHeight = frame->height;
      AIst.ResamplePixFmt = frame->format;
      if (AIst.ReinitFilters != 0)
        for (TInputFilter* filter : AIst.Filters)
          if (ConfigureFilterGraph(*filter->Graph) < 0) FatalError("Error reinitializing filters!");
    }
    if ((result = PushFrame(AIst, frame)) < 0) return result;
  }
  return 0;
}

bool TTranscodeTask::TakesGridSlot(TInputStream& AIst, const AVFrame& AFrame) {
  // A device takes its first two pictures back to back, and a late one may
  // round onto the slot of the one after it: a second picture for a slot
  // would be written a slot late, and every later one with it, so that the
  // pictures lag the sound. The first one keeps the slot.
  const TInputFile& file = *InputFiles[static_cast<size_t>(AIst.FileIndex)];
  if (!file.RealTime || AIst.FrameRate.num <= 0 || AIst.FrameRate.den <= 0 ||
      AFrame.pts == AV_NOPTS_VALUE)
    return true;
  const int64_t slot =
      AV.av_rescale_q(AFrame.pts, AIst.Stream->time_base, av_inv_q(AIst.FrameRate));
  if (AIst.LastGridSlot != AV_NOPTS_VALUE && slot <= AIst.LastGridSlot) return false;
  AIst.LastGridSlot = slot;
  return true;
}

int TTranscodeTask::PushFrame(TInputStream& AIst, AVFrame* AFrame) {
  // Each source keeps its own reference: the frame's memory is never reused
  // while a graph still holds it.
  if (!AFrame->sample_aspect_ratio.num) AFrame->sample_aspect_ratio = AIst.Stream->sample_aspect_ratio;
  for (TInputFilter* filter : AIst.Filters) {
    if (!filter->Filter) continue;
    const int result = AV.av_buffersrc_add_frame_flags(
        filter->Filter, AFrame, AV_BUFFERSRC_FLAG_KEEP_REF | AV_BUFFERSRC_FLAG_PUSH);
    if (result < 0 && result != AVERROR_EOF)
      FatalError(ErrorToString("Failed to inject frame into filter network", result));
  }
  AV.av_frame_unref(AFrame);
  return 0;
}

void TTranscodeTask::SendEndOfStream(TInputFilter& AFilter) {
  // A source that already ended answers so; nothing else can fail here.
  if (!AFilter.Filter) return;
  [[maybe_unused]] const int ended = AV.av_buffersrc_add_frame_flags(AFilter.Filter, nullptr, 0);
}

void TTranscodeTask::SendEndOfStream(TInputStream& AIst) {
  for (TInputFilter* filter : AIst.Filters)
    SendEndOfStream(*filter);
}

void TTranscodeTask::PushCanvas(TInputStream& AIst) {
  for (TInputFilter* filter : AIst.Filters)
    if (filter->Filter) {
      const int result = AV.av_buffersrc_add_frame_flags(
          filter->Filter, AIst.Sub2Video.Frame.get(),
          AV_BUFFERSRC_FLAG_KEEP_REF | AV_BUFFERSRC_FLAG_PUSH);
      if (result < 0 && result != AVERROR_EOF)
        FatalError(ErrorToString("Failed to inject frame into filter network", result));
    }
}

int TTranscodeTask::TranscodeSubtitles(TInputStream& AIst, AVPacket* APacket, bool& AGotOutput) {
  AVSubtitle subtitle{};
  int got = 0;
  AVPacket empty{};
  AVPacket* packet = APacket ? APacket : &empty;
  const int result = AV.avcodec_decode_subtitle2(AIst.DecoderContext.get(), &subtitle, &got, packet);
  if (result < 0 || !got) {
    if (!APacket) {
      Sub2VideoUpdate(AIst, nullptr);
      SendEndOfStream(AIst);
    }
    return result < 0 ? result : 0;
  }
  AGotOutput = true;
  Sub2VideoUpdate(AIst, &subtitle);
  if (subtitle.num_rects) {
    RateEmuSleep(AIst);
    for (int i = FirstOst; i <= LastOst; ++i) {
      TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
      if (ost.EncodingNeeded && GetInputStream(ost) == &AIst &&
          ost.Stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
        DoSubtitleOut(ost, AIst, subtitle);
    }
  }
  AV.avsubtitle_free(&subtitle);
  return 0;
}

void TTranscodeTask::Sub2VideoUpdate(TInputStream& AIst, const AVSubtitle* ASubtitle) {
  AVFrame* canvas = AIst.Sub2Video.Frame.get();
  if (!canvas) return;
  if (AV.av_frame_make_writable(canvas) < 0) return;
  for (int y = 0; y < canvas->height; ++y)
    std::memset(canvas->data[0] + static_cast<size_t>(y) * canvas->linesize[0], 0,
                static_cast<size_t>(canvas->width) * 4);
  int64_t pts, end;
  if (ASubtitle) {
    pts = AV.av_rescale_q(ASubtitle->pts + ASubtitle->start_display_time * int64_t{1000},
                          kMicroseconds, AIst.Stream->time_base);
    end = AV.av_rescale_q(ASubtitle->pts + ASubtitle->end_display_time * int64_t{1000},
                          kMicroseconds, AIst.Stream->time_base);
    for (unsigned i = 0; i < ASubtitle->num_rects; ++i) {
      const AVSubtitleRect* rect = ASubtitle->rects[i];
      if (rect->type != SUBTITLE_BITMAP) {
        FFLogger().Log(this, TLogLevel::llWarning, "sub2video: non-bitmap subtitle");
        continue;
      }
      if (rect->x < 0 || rect->y < 0 || rect->x + rect->w > canvas->width ||
          rect->y + rect->h > canvas->height) {
        FFLogger().Log(this, TLogLevel::llWarning, "sub2video: rectangle overflowing");
        continue;
      }
      const auto* palette = reinterpret_cast<const uint32_t*>(rect->data[1]);
      for (int y = 0; y < rect->h; ++y) {
        const uint8_t* source = rect->data[0] + static_cast<size_t>(y) * rect->linesize[0];
        auto* row = reinterpret_cast<uint32_t*>(canvas->data[0] +
                                                static_cast<size_t>(rect->y + y) * canvas->linesize[0]) +
                    rect->x;
        for (int x = 0; x < rect->w; ++x)
          row[x] = palette[source[x]];
      }
    }
  } else {
    pts = AIst.Sub2Video.EndPts;
    end = INT64_MAX;
  }
  canvas->pts = pts;
  AIst.Sub2Video.LastPts = pts;
  AIst.Sub2Video.EndPts = end;
  PushCanvas(AIst);
}

void TTranscodeTask::Sub2VideoHeartbeat(TInputStream& AIst, int64_t APts) {
  AVFrame* canvas = AIst.Sub2Video.Frame.get();
  if (!canvas) return;
  const int64_t t = AV.av_rescale_q(APts, kMicroseconds, AIst.Stream->time_base) - 1;
  if (AIst.Sub2Video.LastPts != AV_NOPTS_VALUE && t <= AIst.Sub2Video.LastPts) return;
  if (t >= AIst.Sub2Video.EndPts) Sub2VideoUpdate(AIst, nullptr);
  unsigned failed = 0;
  for (TInputFilter* filter : AIst.Filters)
    if (filter->Filter) failed += AV.av_buffersrc_get_nb_failed_requests(filter->Filter);
  if (!failed) return;
  canvas->pts = t;
  AIst.Sub2Video.LastPts = t;
  PushCanvas(AIst);
}

bool TTranscodeTask::CheckOutputConstraints(const TInputStream& AIst,
                                            const TOutputStream& AOst) const {
  if (GetInputStream(AOst) != &AIst) return false;
  const TOutputFile& file = *OutputFiles[static_cast<size_t>(AOst.FileIndex)];
  return !(file.StartTime && AIst.Pts < file.StartTime);
}

void TTranscodeTask::DoStreamCopy(TInputStream& AIst, TOutputStream& AOst, const AVPacket& APacket) {
  const TOutputFile& file = *OutputFiles[static_cast<size_t>(AOst.FileIndex)];
  const AVRational base = AOst.Stream->time_base;
  const int64_t start = AV.av_rescale_q(file.StartTime, kMicroseconds, base);
  if (!AOst.PacketsWritten) {
    if (!(APacket.flags & AV_PKT_FLAG_KEY) && !AOst.CopyInitialNonKeyframes) return;
    if (!AOst.CopyPriorStart && APacket.pts != AV_NOPTS_VALUE &&
        AV.av_rescale_q(APacket.pts, AIst.Stream->time_base, kMicroseconds) < file.StartTime)
      return;
  }
  if (file.RecordingTime != INT64_MAX && AIst.Pts >= file.RecordingTime + file.StartTime) {
    CloseOutputStream(AOst);
    return;
  }
  switch (AOst.Stream->codecpar->codec_type) {
  case AVMEDIA_TYPE_AUDIO: AudioSize += APacket.size; break;
  case AVMEDIA_TYPE_VIDEO: VideoSize += APacket.size; ++AOst.SyncOpts; break;
  case AVMEDIA_TYPE_SUBTITLE: SubtitleSize += APacket.size; break;
  default: break;
  }
  TPacketPtr copy(AV.av_packet_clone(&APacket));
  if (!copy) return;
  const AVRational in = AIst.Stream->time_base;
  copy->pts = APacket.pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : AV.av_rescale_q(APacket.pts, in, base) - start;
  copy->dts = APacket.dts == AV_NOPTS_VALUE ? AV.av_rescale_q(AIst.Dts, kMicroseconds, base) - start
                                            : AV.av_rescale_q(APacket.dts, in, base) - start;
  if (AOst.Stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && APacket.dts != AV_NOPTS_VALUE) {
    int duration = AV.av_get_audio_frame_duration2(AIst.Stream->codecpar, APacket.size);
    if (!duration) duration = AIst.Stream->codecpar->frame_size;
    if (duration > 0) {
      int64_t last = AV_NOPTS_VALUE;
      copy->dts = copy->pts =
          AV.av_rescale_delta(in, APacket.dts, AVRational{1, AIst.Stream->codecpar->sample_rate},
                              duration, &last, base) -
          start;
    }
  }
  copy->duration = AV.av_rescale_q(APacket.duration, in, base);
  WriteFrame(AOst, copy.get());
}
