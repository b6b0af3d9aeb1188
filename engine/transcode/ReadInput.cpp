// Reading one packet of an input: would-block and end of input, the time
// stamp corrections (start time, wrap, offset, scale, discontinuities), the
// spans a pause cut out of a real-time input, and the switch of a join task
// from one input to the next.
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFText.h"

#include <cerrno>

int TTranscodeTask::ProcessInput(int AFileIndex) {
  TInputFile& file = *InputFiles[static_cast<size_t>(AFileIndex)];
  AVFormatContext* ic = file.Context.get();
  TPacketPtr packet(AV.av_packet_alloc());
  if (!packet) return AVERROR(ENOMEM);

  StartReadTimer();
  int result = AV.av_read_frame(ic, packet.get());
  StopReadTimer();
  if (result == AVERROR(EAGAIN)) {
    file.WouldBlock = true;
    return result;
  }
  if (result < 0) {
    if (result != AVERROR_EOF) {
      const std::string text = ErrorToString(ic->url ? ic->url : "", result);
      if (ExitOnError) FatalError(text);
      FFLogger().Log(this, TLogLevel::llError, text);
      // A device that fails ends the recording, and the run says so.
      if (file.RealTime && FRunError.empty()) FRunError = text;
    }
    file.EndOfFile = true;
    if (JoinMode && AFileIndex < static_cast<int>(InputFiles.size()) - 1) {
      JoinSwitch(AFileIndex);
      return 0;
    }
    for (int i = 0; i < file.StreamCount; ++i) {
      TInputStream& ist = *InputStreams[static_cast<size_t>(file.FirstStreamIndex + i)];
      if (ist.DecodingNeeded && !ist.Flushed) {
        ist.Flushed = true;
        OutputPacket(ist, nullptr);
      }
      for (int k = FirstOst; k <= LastOst; ++k) {
        TOutputStream& ost = *OutputStreams[static_cast<size_t>(k)];
        if (ost.SourceIndex == file.FirstStreamIndex + i &&
            (ost.StreamCopy || ost.Stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE))
          CloseOutputStream(ost);
      }
    }
    return AVERROR(EAGAIN);
  }

  ResetEAgain();
  if (DoPktDump) AV.av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, packet.get(), DoHexDump, ic->streams[packet->stream_index]);
  if (packet->stream_index >= file.StreamCount) {
    ReportNewStream(AFileIndex, *packet);
    return 0;
  }
  TInputStream& ist = *InputStreams[static_cast<size_t>(file.FirstStreamIndex + packet->stream_index)];
  if (ist.Discard) return 0;
  AVStream* st = ist.Stream;

  int64_t takenAt = INT64_MIN;
  if (file.RealTime && packet->pts != AV_NOPTS_VALUE) {
    // 0: taken during a pause; AVERROR_EOF: taken after the stop.
    const int64_t us = AV.av_rescale_q(packet->pts, st->time_base, AVRational{1, AV_TIME_BASE});
    if (const int cut = CutRealTimePacket(file, ist, packet.get()); cut <= 0) return cut;
    takenAt = us + file.ClockOffset;
  }

  if (!ist.WrapCorrectionDone && ic->start_time != AV_NOPTS_VALUE && st->pts_wrap_bits < 64) {
    if (ist.NextDts == AV_NOPTS_VALUE && file.TsOffset == -ic->start_time &&
        (ic->iformat->flags & AVFMT_TS_DISCONT)) {
      int64_t newStart = INT64_MAX;
      for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream* s = ic->streams[i];
        if (s->discard == AVDISCARD_ALL || s->start_time == AV_NOPTS_VALUE) continue;
        newStart = std::min(newStart, AV.av_rescale_q(s->start_time, s->time_base,
                                                      AVRational{1, AV_TIME_BASE}));
      }
      if (newStart != INT64_MAX && newStart > ic->start_time) {
        AV.av_log(ic, AV_LOG_VERBOSE, "Correcting start time by %lld\n",
                  static_cast<long long>(newStart - ic->start_time));
        file.TsOffset = -newStart;
      }
    }
    const int64_t stime = AV.av_rescale_q(ic->start_time, AVRational{1, AV_TIME_BASE}, st->time_base);
    const int64_t stime2 = stime + (int64_t{1} << st->pts_wrap_bits);
    ist.WrapCorrectionDone = true;
    if (stime2 > stime && packet->dts != AV_NOPTS_VALUE &&
        packet->dts > stime + (int64_t{1} << (st->pts_wrap_bits - 1))) {
      packet->dts -= int64_t{1} << st->pts_wrap_bits;
      ist.WrapCorrectionDone = false;
    }
    if (stime2 > stime && packet->pts != AV_NOPTS_VALUE &&
        packet->pts > stime + (int64_t{1} << (st->pts_wrap_bits - 1))) {
      packet->pts -= int64_t{1} << st->pts_wrap_bits;
      ist.WrapCorrectionDone = false;
    }
  }

  const int64_t offset = AV.av_rescale_q(file.TsOffset, AVRational{1, AV_TIME_BASE}, st->time_base);
  if (packet->dts != AV_NOPTS_VALUE) packet->dts += offset;
  if (packet->pts != AV_NOPTS_VALUE) packet->pts += offset;
  if (packet->pts != AV_NOPTS_VALUE) packet->pts = std::llround(packet->pts * ist.TsScale);
  if (packet->dts != AV_NOPTS_VALUE) packet->dts = std::llround(packet->dts * ist.TsScale);

  if (packet->dts != AV_NOPTS_VALUE && ist.NextDts != AV_NOPTS_VALUE && !CopyTs) {
    const int64_t dts = AV.av_rescale_q(packet->dts, st->time_base, AVRational{1, AV_TIME_BASE});
    const int64_t delta = dts - ist.NextDts;
    if (ic->iformat->flags & AVFMT_TS_DISCONT) {
      const int64_t threshold = static_cast<int64_t>(DtsDeltaThreshold * AV_TIME_BASE);
      if (delta < -threshold ||
          (delta > threshold && st->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) ||
          dts + 1 < ist.Pts) {
        file.TsOffset -= delta;
        FFLogger().LogFmt(this, TLogLevel::llDebug, "timestamp discontinuity %lld, new offset= %lld",
                          static_cast<long long>(delta), static_cast<long long>(file.TsOffset));
        const int64_t shift = AV.av_rescale_q(delta, AVRational{1, AV_TIME_BASE}, st->time_base);
        packet->dts -= shift;
        if (packet->pts != AV_NOPTS_VALUE) packet->pts -= shift;
      }
    } else {
      const int64_t threshold = static_cast<int64_t>(DtsErrorThreshold * AV_TIME_BASE);
      auto invalid = [&](int64_t ADelta, int64_t ATime) {
        return ADelta < -threshold ||
               (ADelta > threshold && st->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) ||
               ATime + 1 < ist.Pts;
      };
      if (invalid(delta, dts)) {
        FFLogger().LogFmt(this, TLogLevel::llWarning, "DTS %lld, next:%lld st:%d invalid dropping",
                          static_cast<long long>(packet->dts), static_cast<long long>(ist.NextDts),
                          packet->stream_index);
        packet->dts = AV_NOPTS_VALUE;
      }
      if (packet->pts != AV_NOPTS_VALUE) {
        const int64_t pts = AV.av_rescale_q(packet->pts, st->time_base, AVRational{1, AV_TIME_BASE});
        if (invalid(pts - ist.NextDts, pts)) {
          FFLogger().LogFmt(this, TLogLevel::llWarning, "PTS %lld, next:%lld invalid dropping st:%d",
                            static_cast<long long>(packet->pts),
                            static_cast<long long>(ist.NextDts), packet->stream_index);
          packet->pts = AV_NOPTS_VALUE;
        }
      }
    }
  }

  if (packet->pts != AV_NOPTS_VALUE)
    for (int i = 0; i < file.StreamCount; ++i) {
      TInputStream& other = *InputStreams[static_cast<size_t>(file.FirstStreamIndex + i)];
      if (&other != &ist && other.Sub2Video.Frame)
        Sub2VideoHeartbeat(other, AV.av_rescale_q(packet->pts, st->time_base, AVRational{1, AV_TIME_BASE}));
    }

  if (takenAt != INT64_MIN && packet->pts != AV_NOPTS_VALUE) {
    file.LastTakenAt = takenAt;
    file.LastTakenTs = AV.av_rescale_q(packet->pts, st->time_base, AVRational{1, AV_TIME_BASE});
  }
  result = OutputPacket(ist, packet.get());
  if (result < 0) {
    const std::string text = ErrorToString(
        FormatText("Error while decoding stream #%d:%d", ist.FileIndex, st->index), result);
    if (ExitOnError) FatalError(text);
    FFLogger().Log(this, TLogLevel::llError, text);
  }
  return 0;
}

void TTranscodeTask::JoinSwitch(int AFileIndex) {
  const TInputFile& file = *InputFiles[static_cast<size_t>(AFileIndex)];
  for (int i = 0; i < file.StreamCount; ++i) {
    TInputStream& ist = *InputStreams[static_cast<size_t>(file.FirstStreamIndex + i)];
    if (ist.DecodingNeeded && !ist.Flushed) {
      ist.Flushed = true;
      OutputPacket(ist, nullptr);
    }
  }
  // What the ending part's graphs still hold goes out before the switch.
  for (auto& graph : FilterGraphs)
    for (int i = 0; i < file.StreamCount; ++i)
      if (StreamFeedsGraph(*graph, *InputStreams[static_cast<size_t>(file.FirstStreamIndex + i)])) {
        DrainGraph(*graph);
        break;
      }
  for (int i = 0; i < file.StreamCount; ++i) {
    TInputStream& ist = *InputStreams[static_cast<size_t>(file.FirstStreamIndex + i)];
    if (ist.Released) continue;
    ist.Released = true;
    ist.DecoderOpened = false;
    ist.DecoderContext.reset();
    ist.DecodedFrame.reset();
    ist.Pool.reset();
    ist.Sub2Video.Frame.reset();
  }
  const int n = JoinedStreamCount;
  ++PartIndex;
  SetJoinRange();
  OpenRangeEncoders();
  // The next part goes on from the previous one's counters.
  for (int k = n * PartIndex; k < static_cast<int>(OutputStreams.size()); ++k) {
    TOutputStream& next = *OutputStreams[static_cast<size_t>(k)];
    const TOutputStream& previous = *OutputStreams[static_cast<size_t>(k - n)];
    next.FrameNumber = previous.FrameNumber;
    next.SyncOpts = previous.SyncOpts;
    next.LastMuxPts = previous.LastMuxPts;
    next.LastMuxDts = previous.LastMuxDts;
    if (next.SyncIst && previous.SyncIst) next.SyncIst->Pts = previous.SyncIst->Pts;
  }
  // It starts where the longest stream of the ending part ended.
  double end = 0;
  for (int k = n * (PartIndex - 1); k < n * PartIndex && k < static_cast<int>(OutputStreams.size());
       ++k) {
    TOutputStream& previous = *OutputStreams[static_cast<size_t>(k)];
    if (previous.LastMuxPts != AV_NOPTS_VALUE)
      end = std::max(end, previous.LastMuxPts * av_q2d(previous.Stream->time_base));
    previous.Finished = true;
  }
  InputFiles[static_cast<size_t>(AFileIndex) + 1]->TsOffset += std::llround(end * AV_TIME_BASE);
}
