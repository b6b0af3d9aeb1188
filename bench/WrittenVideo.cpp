// Reading a written file's video back (see WrittenVideo.h).
#include "WrittenVideo.h"

#include "FFErrors.h"
#include "LibAVOwners.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Every fourth sample of every fourth row of a picture's first plane.
std::vector<uint8_t> Samples(const AVFrame& AFrame) {
  int linesizes[4] = {};
  AV.av_image_fill_linesizes(linesizes, static_cast<AVPixelFormat>(AFrame.format), AFrame.width);
  std::vector<uint8_t> samples;
  for (int y = 0; y < AFrame.height; y += 4) {
    const uint8_t* row = AFrame.data[0] + static_cast<ptrdiff_t>(y) * AFrame.linesize[0];
    for (int x = 0; x < linesizes[0]; x += 4)
      samples.push_back(row[x]);
  }
  return samples;
}

// A picture unlike the one before: the samples differ by more than one
// level on average. An encoder that repeats a picture may refine it a
// little each time; a picture of a screen that moved differs by far more.
bool Differs(const std::vector<uint8_t>& AOne, const std::vector<uint8_t>& AOther) {
  if (AOne.size() != AOther.size() || AOne.empty()) return true;
  uint64_t sum = 0;
  for (size_t i = 0; i < AOne.size(); ++i)
    sum += static_cast<uint64_t>(std::abs(AOne[i] - AOther[i]));
  return sum > AOne.size();
}

// Decodes a video stream and counts the pictures that differ from the one
// before.
class TDistinctCounter {
public:
  bool Open(const AVStream& AStream) {
    const AVCodec* decoder = AV.avcodec_find_decoder(AStream.codecpar->codec_id);
    FDecoder.reset(AV.avcodec_alloc_context3(decoder));
    FFrame.reset(AV.av_frame_alloc());
    return decoder && FDecoder && FFrame &&
           AV.avcodec_parameters_to_context(FDecoder.get(), AStream.codecpar) >= 0 &&
           AV.av_opt_set(FDecoder.get(), "threads", "auto", 0) >= 0 &&
           AV.avcodec_open2(FDecoder.get(), decoder, nullptr) >= 0;
  }
  // A packet, or null at the end.
  void Decode(const AVPacket* APacket, int64_t& ADistinct) {
    if (AV.avcodec_send_packet(FDecoder.get(), APacket) < 0 && APacket) return;
    while (AV.avcodec_receive_frame(FDecoder.get(), FFrame.get()) >= 0) {
      std::vector<uint8_t> samples = Samples(*FFrame);
      if (Differs(samples, FLast)) ++ADistinct;
      FLast = std::move(samples);
      AV.av_frame_unref(FFrame.get());
    }
  }

private:
  TCodecContextPtr FDecoder;
  TFramePtr FFrame;
  std::vector<uint8_t> FLast; // the picture before
};

} // namespace

TWrittenVideo ReadVideoBack(const std::string& AFileName) {
  TWrittenVideo video;
  AVFormatContext* raw = nullptr;
  if (const int opened = AV.avformat_open_input(&raw, AFileName.c_str(), nullptr, nullptr);
      opened < 0) {
    video.Error = ErrorToString(AFileName, opened);
    return video;
  }
  TInputContextPtr context(raw);
  if (const int found = AV.avformat_find_stream_info(raw, nullptr); found < 0) {
    video.Error = ErrorToString("stream info of " + AFileName, found);
    return video;
  }
  int index = -1;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVCodecParameters* par = raw->streams[i]->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO) video.HasAudio = true;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO || index >= 0) continue;
    index = static_cast<int>(i);
    video.Codec = AV.avcodec_get_name(par->codec_id);
    video.Width = par->width;
    video.Height = par->height;
  }
  if (index < 0) {
    video.Error = AFileName + " has no video";
    return video;
  }
  const AVRational base = raw->streams[index]->time_base;
  TDistinctCounter distinct;
  if (!distinct.Open(*raw->streams[index])) {
    video.Error = AFileName + ": no decoder for its video";
    return video;
  }
  int64_t first = INT64_MAX, end = INT64_MIN;
  TPacketPtr packet(AV.av_packet_alloc());
  for (;;) {
    const int result = AV.av_read_frame(raw, packet.get());
    if (result == AVERROR_EOF) break;
    if (result < 0) {
      video.Error = ErrorToString("reading " + AFileName, result);
      return video;
    }
    if (packet->stream_index == index) {
      ++video.Frames;
      distinct.Decode(packet.get(), video.Distinct);
      if (packet->pts != AV_NOPTS_VALUE) {
        first = std::min(first, packet->pts);
        end = std::max(end, packet->pts + std::max<int64_t>(packet->duration, 0));
      }
    }
    AV.av_packet_unref(packet.get());
  }
  distinct.Decode(nullptr, video.Distinct);
  if (end > first) video.Seconds = static_cast<double>(end - first) * av_q2d(base);
  video.Ok = true;
  return video;
}
