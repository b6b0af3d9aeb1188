// RAII owners of the libraries' objects that the engine and the capture
// device hold. Each frees with the libraries' own function, through the
// bound entry points.
#pragma once

#include "LibAV.h"

#include <memory>

// Packets and frames (av_packet_free, av_frame_free).
struct TPacketFree {
  void operator()(AVPacket* APacket) const { AV.av_packet_free(&APacket); }
};
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;

struct TFrameFree {
  void operator()(AVFrame* AFrame) const { AV.av_frame_free(&AFrame); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;

// Codec contexts (avcodec_free_context).
struct TCodecContextFree {
  void operator()(AVCodecContext* AContext) const { AV.avcodec_free_context(&AContext); }
};
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextFree>;

// An input's format context, opened by avformat_open_input (avformat_close_input).
struct TInputContextClose {
  void operator()(AVFormatContext* AContext) const { AV.avformat_close_input(&AContext); }
};
using TInputContextPtr = std::unique_ptr<AVFormatContext, TInputContextClose>;

// A format context that was only allocated, or an output's (avformat_free_context).
struct TFormatContextFree {
  void operator()(AVFormatContext* AContext) const { AV.avformat_free_context(AContext); }
};
using TFormatContextPtr = std::unique_ptr<AVFormatContext, TFormatContextFree>;

// An I/O context opened by avio_open2 (avio_closep).
struct TAVIOClose {
  void operator()(AVIOContext* AContext) const { AV.avio_closep(&AContext); }
};
using TAVIOOutput = std::unique_ptr<AVIOContext, TAVIOClose>;

// Filter graphs (avfilter_graph_free).
struct TFilterGraphFree {
  void operator()(AVFilterGraph* AGraph) const { AV.avfilter_graph_free(&AGraph); }
};
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphFree>;

// Scaler contexts (sws_freeContext).
struct TSwsFree {
  void operator()(SwsContext* AContext) const { AV.sws_freeContext(AContext); }
};
using TSwsContextPtr = std::unique_ptr<SwsContext, TSwsFree>;

// Memory of the libraries' allocator (av_free).
struct TAVFree {
  void operator()(void* APointer) const { AV.av_free(APointer); }
};
template <class T> using TAVMemoryPtr = std::unique_ptr<T, TAVFree>;
using TAVBuffer = std::unique_ptr<uint8_t[], TAVFree>;
