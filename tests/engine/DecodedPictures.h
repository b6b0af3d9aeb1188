// The pictures of a written file's first video stream, decoded and turned
// into B,G,R,A rows, so that a test can look at what reached the file.
#pragma once

#include "LibAV.h"
#include "LibAVOwners.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct TDecodedPicture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Bgra;
  // Whether the pixel at (AX, AY) is close to the colour.
  bool Near(int AX, int AY, int ARed, int AGreen, int ABlue, int ATolerance = 60) const {
    const uint8_t* p = Bgra.data() + (static_cast<size_t>(AY) * Width + AX) * 4;
    return std::abs(p[2] - ARed) <= ATolerance && std::abs(p[1] - AGreen) <= ATolerance &&
           std::abs(p[0] - ABlue) <= ATolerance;
  }
};

inline std::vector<TDecodedPicture> DecodePictures(const std::string& AFileName) {
  AVFormatContext* raw = nullptr;
  if (AV.avformat_open_input(&raw, AFileName.c_str(), nullptr, nullptr) < 0)
    throw std::runtime_error("cannot open " + AFileName);
  TInputContextPtr input(raw);
  if (AV.avformat_find_stream_info(raw, nullptr) < 0) throw std::runtime_error("no stream info");
  const int index = AV.av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) throw std::runtime_error("no video stream");
  const AVCodecParameters* par = raw->streams[index]->codecpar;
  const AVCodec* codec = AV.avcodec_find_decoder(par->codec_id);
  TCodecContextPtr decoder(AV.avcodec_alloc_context3(codec));
  AV.avcodec_parameters_to_context(decoder.get(), par);
  if (AV.avcodec_open2(decoder.get(), codec, nullptr) < 0) throw std::runtime_error("no decoder");
  std::vector<TDecodedPicture> pictures;
  TFramePtr frame(AV.av_frame_alloc());
  TPacketPtr packet(AV.av_packet_alloc());
  auto receive = [&] {
    while (AV.avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      TDecodedPicture picture;
      picture.Width = frame->width;
      picture.Height = frame->height;
      picture.Bgra.resize(static_cast<size_t>(frame->width) * frame->height * 4);
      TSwsContextPtr scaler(AV.sws_getContext(
          frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
          frame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
      uint8_t* dest[4] = {picture.Bgra.data(), nullptr, nullptr, nullptr};
      const int lines[4] = {frame->width * 4, 0, 0, 0};
      AV.sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, dest, lines);
      pictures.push_back(std::move(picture));
      AV.av_frame_unref(frame.get());
    }
  };
  while (AV.av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == index) AV.avcodec_send_packet(decoder.get(), packet.get());
    AV.av_packet_unref(packet.get());
    receive();
  }
  AV.avcodec_send_packet(decoder.get(), nullptr);
  receive();
  return pictures;
}
