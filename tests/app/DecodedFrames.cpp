// The pictures of a written file (see DecodedFrames.h).
#include "DecodedFrames.h"

#include "LibAVOwners.h"

#include <cstring>

std::vector<TBitmap> DecodedFrames(const std::string& AFile) {
  std::vector<TBitmap> frames;
  AVFormatContext* raw = nullptr;
  if (AV.avformat_open_input(&raw, AFile.c_str(), nullptr, nullptr) != 0) return frames;
  TInputContextPtr in(raw);
  if (AV.avformat_find_stream_info(raw, nullptr) < 0) return frames;
  const int index = AV.av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return frames;
  const AVCodecParameters* par = raw->streams[index]->codecpar;
  const AVCodec* codec = AV.avcodec_find_decoder(par->codec_id);
  TCodecContextPtr decoder(AV.avcodec_alloc_context3(codec));
  AV.avcodec_parameters_to_context(decoder.get(), par);
  if (AV.avcodec_open2(decoder.get(), codec, nullptr) != 0) return frames;
  TPacketPtr packet(AV.av_packet_alloc());
  TFramePtr frame(AV.av_frame_alloc());
  auto take = [&] {
    while (AV.avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      if (frame->format == AV_PIX_FMT_BGR24) {
        TBitmap bitmap(frame->width, frame->height, 24);
        // A bottom-up picture has a negative line size: rows are taken as given.
        for (int y = 0; y < frame->height; ++y)
          std::memcpy(bitmap.ScanLine(y), frame->data[0] + y * frame->linesize[0],
                      static_cast<size_t>(frame->width) * 3);
        frames.push_back(std::move(bitmap));
      }
      AV.av_frame_unref(frame.get());
    }
  };
  while (AV.av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == index && AV.avcodec_send_packet(decoder.get(), packet.get()) >= 0)
      take();
    AV.av_packet_unref(packet.get());
  }
  AV.avcodec_send_packet(decoder.get(), nullptr);
  take();
  return frames;
}
