// The spans cut out of a real-time input, applied to each of its packets as
// it is read: what was taken during a pause is dropped and what was taken
// after it moves back by the pause, so that every stream loses the same
// span; what was taken after a stop is not recorded. A picture is kept or
// dropped by the time it was taken; sound, whose packets span a while, is
// cut sample by sample where its samples are plain bytes.
#include "TranscodeTask.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

// The sample frames of APacket when its sound is plain samples of whole
// bytes, which can be cut anywhere between two frames; else 0.
int PlainSampleFrames(AVCodecParameters& APar, const AVPacket& APacket) {
  if (APar.codec_type != AVMEDIA_TYPE_AUDIO || APar.sample_rate <= 0 || APacket.size <= 0) return 0;
  const int bits = AV.av_get_exact_bits_per_sample(APar.codec_id);
  if (bits <= 0 || bits % 8) return 0;
  const int frames = AV.av_get_audio_frame_duration2(&APar, APacket.size);
  return frames > 0 && APacket.size % frames == 0 ? frames : 0;
}

// Moves APacket's time stamps by ADelta (its stream's time base).
void Move(AVPacket& APacket, int64_t ADelta) {
  if (APacket.pts != AV_NOPTS_VALUE) APacket.pts += ADelta;
  if (APacket.dts != AV_NOPTS_VALUE) APacket.dts += ADelta;
}

} // namespace

void TTranscodeTask::CutPause(int64_t APausedAt, int64_t AResumedAt) {
  if (AResumedAt <= APausedAt) return;
  // The span stays on the clock: a packet is placed on it when it is read,
  // also when the pause came before the input's first packet.
  for (const auto& file : InputFiles) {
    if (!file->RealTime) continue;
    // Whole frame intervals of the input's pictures: what follows the pause
    // keeps its place on the frame grid, so no picture lands on the slot of
    // the last one before the pause (to be written a slot late, and the
    // pictures with it, while the sound goes on in time).
    int64_t to = AResumedAt;
    for (int i = 0; i < file->StreamCount; ++i) {
      const TInputStream& ist = *InputStreams[static_cast<size_t>(file->FirstStreamIndex + i)];
      if (ist.Stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
      const AVRational rate = ist.FrameRate.num > 0 && ist.FrameRate.den > 0 ? ist.FrameRate
                                                                       : ist.Stream->avg_frame_rate;
      if (rate.num <= 0 || rate.den <= 0) continue;
      const int64_t frames = AV.av_rescale_rnd(AResumedAt - APausedAt, rate.num,
                                               int64_t{rate.den} * AV_TIME_BASE, AV_ROUND_UP);
      to = APausedAt +
           AV.av_rescale_rnd(frames, int64_t{rate.den} * AV_TIME_BASE, rate.num, AV_ROUND_NEAR_INF);
      break;
    }
    file->Cuts.emplace_back(APausedAt, to);
  }
}

int TTranscodeTask::CutRealTimePacket(TInputFile& AFile, const TInputStream& AIst,
                                      AVPacket* APacket) {
  const AVStream* st = AIst.Stream;
  AVCodecParameters& par = *st->codecpar;
  const int64_t us = AV.av_rescale_q(APacket->pts, st->time_base, kMicroseconds);
  // A packet is read after all it holds was taken: the smallest clock less
  // its end maps the input's time onto the clock.
  int64_t span = 0;
  const int frames = PlainSampleFrames(par, *APacket);
  if (par.codec_type == AVMEDIA_TYPE_AUDIO && par.sample_rate > 0) {
    const int samples = frames ? frames : AV.av_get_audio_frame_duration2(&par, APacket->size);
    if (samples > 0) span = int64_t{samples} * AV_TIME_BASE / par.sample_rate;
  }
  AFile.ClockOffset = std::min(AFile.ClockOffset, AV.av_gettime_relative() - us - span);
  const int64_t taken = us + AFile.ClockOffset; // its first sample, on the clock
  const auto movedBefore = [&](int64_t AClock) {
    int64_t moved = 0;
    for (const auto& [from, to] : AFile.Cuts)
      if (AClock >= to) moved += to - from;
    return AV.av_rescale_q(moved, kMicroseconds, st->time_base);
  };

  if (!frames) {
    if (taken > FStopAt) return AVERROR_EOF;
    for (const auto& [from, to] : AFile.Cuts)
      if (taken >= from && taken < to) return 0;
    Move(*APacket, -movedBefore(taken));
    return 1;
  }

  // Sample frame i was taken at taken + i / rate.
  const int64_t rate = par.sample_rate;
  const auto firstAtOrAfter = [&](int64_t AClock) -> int64_t {
    if (AClock <= taken) return 0;
    return std::min<int64_t>(frames,
                             AV.av_rescale_rnd(AClock - taken, rate, AV_TIME_BASE, AV_ROUND_UP));
  };
  std::vector<std::pair<int64_t, int64_t>> dropped; // sample frames [from, to)
  for (const auto& [from, to] : AFile.Cuts)
    if (const int64_t a = firstAtOrAfter(from), b = firstAtOrAfter(to); a < b)
      dropped.emplace_back(a, b);
  const int64_t afterStop = FStopAt == INT64_MAX ? frames : firstAtOrAfter(FStopAt + 1);
  if (afterStop < frames) dropped.emplace_back(afterStop, frames);
  if (dropped.empty()) {
    Move(*APacket, -movedBefore(taken));
    return 1;
  }
  std::sort(dropped.begin(), dropped.end());

  // What is left of the packet closes up: on the cut time line its pieces
  // follow one another.
  std::vector<std::pair<int64_t, int64_t>> kept;
  int64_t at = 0;
  for (const auto& [from, to] : dropped) {
    if (from > at) kept.emplace_back(at, from);
    at = std::max(at, to);
  }
  if (at < frames) kept.emplace_back(at, frames);
  if (kept.empty()) return afterStop == 0 ? AVERROR_EOF : 0;

  if (const int result = AV.av_packet_make_writable(APacket); result < 0) return result;
  const int64_t frameBytes = APacket->size / frames;
  int64_t size = 0;
  for (const auto& [from, to] : kept) {
    std::memmove(APacket->data + size, APacket->data + from * frameBytes,
                 static_cast<size_t>((to - from) * frameBytes));
    size += (to - from) * frameBytes;
  }
  AV.av_shrink_packet(APacket, static_cast<int>(size));
  const int64_t first = kept.front().first;
  const int64_t firstUs = us + AV.av_rescale(first, AV_TIME_BASE, rate);
  const int64_t pts =
      AV.av_rescale_q(firstUs, kMicroseconds, st->time_base) -
      movedBefore(taken + AV.av_rescale_rnd(first, AV_TIME_BASE, rate, AV_ROUND_UP));
  Move(*APacket, pts - APacket->pts);
  if (APacket->duration > 0)
    APacket->duration = AV.av_rescale_q(AV.av_rescale(size / frameBytes, AV_TIME_BASE, rate),
                                        kMicroseconds, st->time_base);
  return 1;
}
