// Media for the engine's tests (see MediaFiles.h).
#include "MediaFiles.h"

#include "FFText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

void Check(int ACode, const char* AWhat) {
  if (ACode >= 0) return;
  char text[256] = {};
  AV.av_strerror(ACode, text, sizeof text);
  throw std::runtime_error(std::string(AWhat) + ": " + text);
}

struct TEncoderStream {
  AVStream* Stream = nullptr;
  TCodecContextPtr Context;
  int64_t Next = 0; // the next frame's pts in the encoder's time base
};

TEncoderStream AddStream(AVFormatContext* AOutput, AVCodecID AId, const TMediaSpec& ASpec) {
  const AVCodec* codec = AV.avcodec_find_encoder(AId);
  if (!codec) throw std::runtime_error("no encoder for the test file");
  TEncoderStream s;
  s.Stream = AV.avformat_new_stream(AOutput, nullptr);
  s.Context.reset(AV.avcodec_alloc_context3(codec));
  AVCodecContext* c = s.Context.get();
  if (codec->type == AVMEDIA_TYPE_VIDEO) {
    c->width = ASpec.Width;
    c->height = ASpec.Height;
    c->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    c->time_base = av_inv_q(ASpec.FrameRate);
    c->framerate = ASpec.FrameRate;
    c->gop_size = ASpec.GopSize;
    c->max_b_frames = ASpec.BFrames;
  } else {
    c->sample_rate = ASpec.SampleRate;
    AV.av_channel_layout_default(&c->ch_layout, ASpec.Channels);
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->time_base = AVRational{1, ASpec.SampleRate};
  }
  if (AOutput->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(AV.avcodec_open2(c, codec, nullptr), "avcodec_open2");
  Check(AV.avcodec_parameters_from_context(s.Stream->codecpar, c), "parameters");
  s.Stream->time_base = c->time_base;
  return s;
}

void Drain(AVFormatContext* AOutput, TEncoderStream& AStream, AVFrame* AFrame,
           int64_t AOffset) {
  Check(AV.avcodec_send_frame(AStream.Context.get(), AFrame), "avcodec_send_frame");
  TPacketPtr packet(AV.av_packet_alloc());
  for (;;) {
    const int got = AV.avcodec_receive_packet(AStream.Context.get(), packet.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
    Check(got, "avcodec_receive_packet");
    AV.av_packet_rescale_ts(packet.get(), AStream.Context->time_base, AStream.Stream->time_base);
    const int64_t offset = AV.av_rescale_q(AOffset, AVRational{1, AV_TIME_BASE},
                                           AStream.Stream->time_base);
    if (packet->pts != AV_NOPTS_VALUE) packet->pts += offset;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts += offset;
    packet->stream_index = AStream.Stream->index;
    Check(AV.av_interleaved_write_frame(AOutput, packet.get()), "write");
  }
}

// A picture that moves with the frame number, so that frames differ.
void FillPicture(AVFrame* AFrame, int64_t ANumber) {
  const AVPixFmtDescriptor* desc = AV.av_pix_fmt_desc_get(static_cast<AVPixelFormat>(AFrame->format));
  for (int plane = 0; plane < AV_NUM_DATA_POINTERS && AFrame->data[plane]; ++plane) {
    const int rows = plane == 1 || plane == 2 ? -((-AFrame->height) >> desc->log2_chroma_h)
                                              : AFrame->height;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < AFrame->linesize[plane]; ++x)
        AFrame->data[plane][static_cast<size_t>(y) * AFrame->linesize[plane] + x] =
            static_cast<uint8_t>(x + y + ANumber * 3);
  }
}

// A 440 Hz tone in whatever sample format the encoder takes.
void FillTone(AVFrame* AFrame, int64_t AFirstSample) {
  const auto format = static_cast<AVSampleFormat>(AFrame->format);
  const bool planar = AV.av_sample_fmt_is_planar(format);
  const int channels = AFrame->ch_layout.nb_channels;
  const int bytes = AV.av_get_bytes_per_sample(format);
  for (int i = 0; i < AFrame->nb_samples; ++i)
    for (int ch = 0; ch < channels; ++ch) {
      const double v = 0.25 * std::sin(2 * 3.14159265358979 * 440 * (AFirstSample + i) /
                                       AFrame->sample_rate);
      uint8_t* p = planar ? AFrame->extended_data[ch] + static_cast<size_t>(i) * bytes
                          : AFrame->extended_data[0] + static_cast<size_t>(i * channels + ch) * bytes;
      switch (AV.av_get_packed_sample_fmt(format)) {
      case AV_SAMPLE_FMT_U8: *p = static_cast<uint8_t>(128 + v * 127); break;
      case AV_SAMPLE_FMT_S16: *reinterpret_cast<int16_t*>(p) = static_cast<int16_t>(v * 32767); break;
      case AV_SAMPLE_FMT_S32:
        *reinterpret_cast<int32_t*>(p) = static_cast<int32_t>(v * 2147483647.0);
        break;
      case AV_SAMPLE_FMT_FLT: *reinterpret_cast<float*>(p) = static_cast<float>(v); break;
      case AV_SAMPLE_FMT_DBL: *reinterpret_cast<double*>(p) = v; break;
      default: break;
      }
    }
}

} // namespace

void WriteMediaFile(const std::string& AFileName, const TMediaSpec& ASpec) {
  AVFormatContext* raw = nullptr;
  Check(AV.avformat_alloc_output_context2(&raw, nullptr, ASpec.Muxer, AFileName.c_str()),
        "output context");
  TFormatContextPtr output(raw);
  std::vector<TEncoderStream> streams;
  if (ASpec.Video != AV_CODEC_ID_NONE) streams.push_back(AddStream(raw, ASpec.Video, ASpec));
  if (ASpec.Audio != AV_CODEC_ID_NONE)
    for (int i = 0; i < ASpec.AudioStreams; ++i)
      streams.push_back(AddStream(raw, ASpec.Audio, ASpec));
  AVStream* subtitles = nullptr;
  if (ASpec.Subtitles) {
    subtitles = AV.avformat_new_stream(raw, nullptr);
    subtitles->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
    subtitles->codecpar->codec_id = AV_CODEC_ID_SUBRIP;
    subtitles->time_base = AVRational{1, 1000};
  }
  for (size_t i = 0; i < ASpec.Chapters.size(); ++i) {
    auto* chapter = static_cast<AVChapter*>(AV.av_mallocz(sizeof(AVChapter)));
    chapter->id = static_cast<int64_t>(i);
    chapter->time_base = AVRational{1, 1000};
    chapter->start = ASpec.Chapters[i].first / 1000;
    chapter->end = ASpec.Chapters[i].second / 1000;
    AV.av_dict_set(&chapter->metadata, "title", ("chapter " + std::to_string(i)).c_str(), 0);
    raw->chapters = static_cast<AVChapter**>(
        AV.av_realloc_array(raw->chapters, raw->nb_chapters + 1, sizeof(AVChapter*)));
    raw->chapters[raw->nb_chapters++] = chapter;
  }
  if (ASpec.Title) AV.av_dict_set(&raw->metadata, "title", ASpec.Title, 0);
  Check(AV.avio_open2(&raw->pb, AFileName.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), "open");
  Check(AV.avformat_write_header(raw, nullptr), "header");

  TFramePtr frame(AV.av_frame_alloc());
  for (TEncoderStream& s : streams) {
    AVCodecContext* c = s.Context.get();
    const bool video = c->codec_type == AVMEDIA_TYPE_VIDEO;
    const int64_t end = video ? static_cast<int64_t>(ASpec.Seconds) * ASpec.FrameRate.num /
                                    ASpec.FrameRate.den
                              : static_cast<int64_t>(ASpec.Seconds) * ASpec.SampleRate;
    while (s.Next < end) {
      AV.av_frame_unref(frame.get());
      if (video) {
        frame->format = c->pix_fmt;
        frame->width = c->width;
        frame->height = c->height;
      } else {
        frame->format = c->sample_fmt;
        frame->sample_rate = c->sample_rate;
        AV.av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
        frame->nb_samples = c->frame_size > 0 ? c->frame_size : 1024;
      }
      Check(AV.av_frame_get_buffer(frame.get(), 0), "frame buffer");
      if (video)
        FillPicture(frame.get(), s.Next);
      else
        FillTone(frame.get(), s.Next);
      frame->pts = s.Next;
      s.Next += video ? 1 : frame->nb_samples;
      Drain(raw, s, frame.get(), ASpec.StartTime);
    }
    Drain(raw, s, nullptr, ASpec.StartTime);
  }
  for (int second = 0; subtitles && second < ASpec.Seconds; ++second) {
    const std::string text = "cue " + std::to_string(second);
    TPacketPtr packet(AV.av_packet_alloc());
    Check(AV.av_new_packet(packet.get(), static_cast<int>(text.size())), "subtitle packet");
    std::memcpy(packet->data, text.data(), text.size());
    packet->stream_index = subtitles->index;
    packet->pts = packet->dts = AV.av_rescale_q(second * INT64_C(1000000) + ASpec.StartTime,
                                                AVRational{1, AV_TIME_BASE}, subtitles->time_base);
    packet->duration = AV.av_rescale_q(500000, AVRational{1, AV_TIME_BASE}, subtitles->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    Check(AV.av_interleaved_write_frame(raw, packet.get()), "write subtitle");
  }
  Check(AV.av_write_trailer(raw), "trailer");
  AV.avio_closep(&raw->pb);
}

TTempFolder::TTempFolder() {
  char pattern[] = "/tmp/vexmora-test-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
  FPath = pattern;
}

TTempFolder::~TTempFolder() {
  std::error_code error;
  // A test may have taken the write right away.
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, error);
  std::filesystem::remove_all(FPath, error);
}

std::string LavfiCaptureLike(int AWidth, int AHeight, const char* APixFmt, int ARate, bool ASound,
                             int ASeconds) {
  std::string graph = FormatText("testsrc2=size=%dx%d:rate=%d:duration=%d,format=%s,settb=AVTB,"
                                 "setpts=PTS[out0]",
                                 AWidth, AHeight, ARate, ASeconds, APixFmt);
  if (ASound)
    graph += FormatText(";sine=frequency=440:sample_rate=44100:duration=%d,"
                        "aformat=sample_fmts=s16:channel_layouts=stereo,asettb=AVTB[out1]",
                        ASeconds);
  return graph;
}

void WritePng(const std::string& AFileName, int ASize, uint8_t ARed, uint8_t AGreen, uint8_t ABlue,
              uint8_t AAlpha) {
  const AVCodec* codec = AV.avcodec_find_encoder(AV_CODEC_ID_PNG);
  TCodecContextPtr context(AV.avcodec_alloc_context3(codec));
  context->width = context->height = ASize;
  context->pix_fmt = AV_PIX_FMT_RGBA;
  context->time_base = AVRational{1, 25};
  Check(AV.avcodec_open2(context.get(), codec, nullptr), "png encoder");
  TFramePtr frame(AV.av_frame_alloc());
  frame->format = AV_PIX_FMT_RGBA;
  frame->width = frame->height = ASize;
  Check(AV.av_frame_get_buffer(frame.get(), 0), "png frame");
  for (int y = 0; y < ASize; ++y)
    for (int x = 0; x < ASize; ++x) {
      uint8_t* p = frame->data[0] + static_cast<size_t>(y) * frame->linesize[0] + 4 * x;
      p[0] = ARed;
      p[1] = AGreen;
      p[2] = ABlue;
      p[3] = AAlpha;
    }
  Check(AV.avcodec_send_frame(context.get(), frame.get()), "png encode");
  TPacketPtr packet(AV.av_packet_alloc());
  Check(AV.avcodec_receive_packet(context.get(), packet.get()), "png packet");
  std::ofstream(AFileName, std::ios::binary)
      .write(reinterpret_cast<const char*>(packet->data), packet->size);
}

// ---- Driving a graph ----------------------------------------------------------------------

TGraphDriver::TGraphDriver(TTranscodeTask& ATask) : FTask(ATask) {}

void TGraphDriver::OpenDecoders() {
  for (auto& ist : FTask.InputStreams) {
    if (ist->Filters.empty()) continue;
    Check(AV.avcodec_open2(ist->DecoderContext.get(), ist->Decoder, nullptr), "decoder");
  }
}

void TGraphDriver::Run(int AFileIndex, int APackets, bool AFinish) {
  TInputFile& file = *FTask.InputFiles[static_cast<size_t>(AFileIndex)];
  TPacketPtr packet(AV.av_packet_alloc());
  TFramePtr frame(AV.av_frame_alloc());
  for (int n = 0; n < APackets; ++n) {
    const int read = AV.av_read_frame(file.Context.get(), packet.get());
    if (read == AVERROR(EAGAIN)) { // a device with nothing queued yet
      --n;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    if (read < 0) break;
    TInputStream& ist =
        *FTask.InputStreams[static_cast<size_t>(file.FirstStreamIndex + packet->stream_index)];
    if (!ist.Filters.empty() && AV.avcodec_send_packet(ist.DecoderContext.get(), packet.get()) >= 0)
      while (AV.avcodec_receive_frame(ist.DecoderContext.get(), frame.get()) >= 0)
        Push(ist, frame.get());
    AV.av_packet_unref(packet.get());
  }
  if (!AFinish) return;
  for (auto& ist : FTask.InputStreams)
    for (TInputFilter* filter : ist->Filters)
      Check(AV.av_buffersrc_add_frame_flags(filter->Filter, nullptr, 0), "end of stream");
  Pull();
}

void TGraphDriver::Push(TInputStream& AIst, AVFrame* AFrame) {
  AFrame->pts = AFrame->best_effort_timestamp;
  for (TInputFilter* filter : AIst.Filters)
    Check(AV.av_buffersrc_add_frame_flags(filter->Filter, AFrame, AV_BUFFERSRC_FLAG_KEEP_REF),
          "push");
  AV.av_frame_unref(AFrame);
  Pull();
}

void TGraphDriver::Pull() {
  for (auto& graph : FTask.FilterGraphs)
    for (auto& output : graph->Outputs) {
      if (!output->Filter || !output->Ost) continue;
      for (;;) {
        TFramePtr frame(AV.av_frame_alloc());
        if (AV.av_buffersink_get_frame(output->Filter, frame.get()) < 0) break;
        // As the loop hands the sink's pictures to the encoder.
        if (output->Conversion) {
          TFramePtr converted(AV.av_frame_alloc());
          Check(output->Conversion->Convert(*frame, converted.get()), "convert");
          frame = std::move(converted);
        }
        Frames(*output->Ost).push_back(std::move(frame));
      }
    }
}

std::vector<TFramePtr>& TGraphDriver::Frames(const TOutputStream& AOst) {
  for (auto& entry : FFrames)
    if (entry.first == &AOst) return entry.second;
  FFrames.emplace_back(&AOst, std::vector<TFramePtr>{});
  return FFrames.back().second;
}
