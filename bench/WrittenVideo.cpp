// Reading a written file's video back (see WrittenVideo.h).
#include "WrittenVideo.h"

#include "FFErrors.h"
#include "LibAVOwners.h"

#include <algorithm>

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
      if (packet->pts != AV_NOPTS_VALUE) {
        first = std::min(first, packet->pts);
        end = std::max(end, packet->pts + std::max<int64_t>(packet->duration, 0));
      }
    }
    AV.av_packet_unref(packet.get());
  }
  if (end > first) video.Seconds = static_cast<double>(end - first) * av_q2d(base);
  video.Ok = true;
  return video;
}
