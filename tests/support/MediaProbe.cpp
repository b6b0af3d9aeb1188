// Reading a written file back (see MediaProbe.h).
#include "MediaProbe.h"

#include "FFErrors.h"
#include "LibAVOwners.h"

#include <algorithm>
#include <stdexcept>

namespace {

void Check(int AResult, const std::string& AWhat) {
  if (AResult < 0) throw std::runtime_error(ErrorToString(AWhat, AResult));
}

} // namespace

TProbedFile ProbeFile(const std::string& AFileName) {
  AVFormatContext* raw = nullptr;
  Check(AV.avformat_open_input(&raw, AFileName.c_str(), nullptr, nullptr), AFileName);
  TInputContextPtr context(raw);
  Check(AV.avformat_find_stream_info(raw, nullptr), "stream info of " + AFileName);

  TProbedFile file;
  file.Muxer = raw->iformat->name;
  if (raw->duration != AV_NOPTS_VALUE) file.Duration = raw->duration / double(AV_TIME_BASE);
  std::vector<TCodecContextPtr> decoders(raw->nb_streams);
  std::vector<int64_t> lastDts(raw->nb_streams, AV_NOPTS_VALUE);
  std::vector<bool> seen(raw->nb_streams, false);
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVStream* st = raw->streams[i];
    TProbedStream s;
    s.Type = st->codecpar->codec_type;
    s.Codec = st->codecpar->codec_id;
    s.Width = st->codecpar->width;
    s.Height = st->codecpar->height;
    if (st->duration != AV_NOPTS_VALUE) s.Duration = st->duration * av_q2d(st->time_base);
    file.Streams.push_back(s);
    if (s.Type != AVMEDIA_TYPE_AUDIO) continue;
    const AVCodec* codec = AV.avcodec_find_decoder(s.Codec);
    if (!codec) throw std::runtime_error("no decoder for a sound stream");
    decoders[i].reset(AV.avcodec_alloc_context3(codec));
    Check(AV.avcodec_parameters_to_context(decoders[i].get(), st->codecpar), "decoder parameters");
    decoders[i]->pkt_timebase = st->time_base;
    Check(AV.avcodec_open2(decoders[i].get(), codec, nullptr), "sound decoder");
  }

  TPacketPtr packet(AV.av_packet_alloc());
  TFramePtr frame(AV.av_frame_alloc());
  auto drain = [&](unsigned AIndex) {
    while (AV.avcodec_receive_frame(decoders[AIndex].get(), frame.get()) >= 0) {
      file.Streams[AIndex].Samples += frame->nb_samples;
      AV.av_frame_unref(frame.get());
    }
  };
  for (;;) {
    const int result = AV.av_read_frame(raw, packet.get());
    if (result == AVERROR_EOF) break;
    Check(result, "reading " + AFileName);
    const unsigned index = static_cast<unsigned>(packet->stream_index);
    TProbedStream& s = file.Streams[index];
    const AVRational base = raw->streams[index]->time_base;
    ++s.Packets;
    if (packet->dts != AV_NOPTS_VALUE) {
      if (lastDts[index] != AV_NOPTS_VALUE && packet->dts <= lastDts[index])
        s.DtsIncreasing = false;
      lastDts[index] = packet->dts;
    }
    if (packet->pts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE && packet->pts < packet->dts)
      s.PtsNotBeforeDts = false;
    if (packet->pts != AV_NOPTS_VALUE) {
      const double pts = packet->pts * av_q2d(base);
      s.PacketTimes.push_back(pts);
      if (!seen[index] || pts < s.FirstPts) s.FirstPts = pts;
      seen[index] = true;
      s.EndPts = std::max(s.EndPts, pts + std::max<int64_t>(packet->duration, 0) * av_q2d(base));
    }
    if (decoders[index]) {
      if (AV.avcodec_send_packet(decoders[index].get(), packet.get()) >= 0) drain(index);
    }
    AV.av_packet_unref(packet.get());
  }
  for (unsigned i = 0; i < raw->nb_streams; ++i)
    if (decoders[i] && AV.avcodec_send_packet(decoders[i].get(), nullptr) >= 0) drain(i);
  return file;
}

void ForEachVideoPicture(const std::string& AFileName,
                         const std::function<void(const AVFrame&)>& AOnPicture) {
  AVFormatContext* raw = nullptr;
  Check(AV.avformat_open_input(&raw, AFileName.c_str(), nullptr, nullptr), AFileName);
  TInputContextPtr input(raw);
  Check(AV.avformat_find_stream_info(raw, nullptr), "stream info of " + AFileName);
  const int index = AV.av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  Check(index, "video stream of " + AFileName);
  const AVCodecParameters* par = raw->streams[index]->codecpar;
  const AVCodec* codec = AV.avcodec_find_decoder(par->codec_id);
  if (!codec) throw std::runtime_error("no decoder for the video of " + AFileName);
  TCodecContextPtr decoder(AV.avcodec_alloc_context3(codec));
  Check(AV.avcodec_parameters_to_context(decoder.get(), par), "decoder parameters");
  Check(AV.avcodec_open2(decoder.get(), codec, nullptr), "video decoder");
  TPacketPtr packet(AV.av_packet_alloc());
  TFramePtr frame(AV.av_frame_alloc());
  auto receive = [&] {
    while (AV.avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      frame->time_base = raw->streams[index]->time_base; // decoders leave it unset
      AOnPicture(*frame);
      AV.av_frame_unref(frame.get());
    }
  };
  while (AV.av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == index && AV.avcodec_send_packet(decoder.get(), packet.get()) >= 0)
      receive();
    AV.av_packet_unref(packet.get());
  }
  AV.avcodec_send_packet(decoder.get(), nullptr);
  receive();
}

std::vector<uint8_t> PackedPicture(const AVFrame& AFrame, AVPixelFormat AFormat) {
  int lines[4] = {};
  Check(AV.av_image_fill_linesizes(lines, AFormat, AFrame.width), "packed line size");
  std::vector<uint8_t> packed(static_cast<size_t>(lines[0]) * AFrame.height);
  TSwsContextPtr scaler(AV.sws_getContext(
      AFrame.width, AFrame.height, static_cast<AVPixelFormat>(AFrame.format), AFrame.width,
      AFrame.height, AFormat, SWS_POINT, nullptr, nullptr, nullptr));
  if (!scaler) throw std::runtime_error("no conversion to the packed format");
  uint8_t* planes[4] = {packed.data(), nullptr, nullptr, nullptr};
  AV.sws_scale(scaler.get(), AFrame.data, AFrame.linesize, 0, AFrame.height, planes, lines);
  return packed;
}
