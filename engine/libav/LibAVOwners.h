// RAII owners of the libraries' objects that the engine and the capture
// device hold. Each frees with the libraries' own function, called through
// the bound entry points (AV).
#pragma once

#include "LibAV.h"

#include <memory>

// Frees with a function that takes the object (sws_freeContext(ctx)).
template <class T, auto TLibAVApi::*AFree> struct TLibAVFree {
  void operator()(T* AObject) const { (AV.*AFree)(AObject); }
};
// Frees with a function that takes the object's address and clears it
// (av_packet_free(&pkt)).
template <class T, auto TLibAVApi::*AFree> struct TLibAVFreeRef {
  void operator()(T* AObject) const { (AV.*AFree)(&AObject); }
};

using TPacketPtr = std::unique_ptr<AVPacket, TLibAVFreeRef<AVPacket, &TLibAVApi::av_packet_free>>;
using TFramePtr = std::unique_ptr<AVFrame, TLibAVFreeRef<AVFrame, &TLibAVApi::av_frame_free>>;
using TCodecContextPtr =
    std::unique_ptr<AVCodecContext,
                    TLibAVFreeRef<AVCodecContext, &TLibAVApi::avcodec_free_context>>;
// An input's format context, opened by avformat_open_input.
using TInputContextPtr =
    std::unique_ptr<AVFormatContext,
                    TLibAVFreeRef<AVFormatContext, &TLibAVApi::avformat_close_input>>;
// A format context that was only allocated, or an output's.
using TFormatContextPtr =
    std::unique_ptr<AVFormatContext,
                    TLibAVFree<AVFormatContext, &TLibAVApi::avformat_free_context>>;
// An output's format context with the file it writes: the file is closed
// (avio_closep) before the context is freed.
struct TOutputContextFree {
  void operator()(AVFormatContext* AContext) const {
    if (!AContext) return;
    if (AContext->oformat && !(AContext->oformat->flags & AVFMT_NOFILE))
      AV.avio_closep(&AContext->pb);
    AV.avformat_free_context(AContext);
  }
};

// An I/O context opened by avio_open2.
using TAVIOOutput =
    std::unique_ptr<AVIOContext, TLibAVFreeRef<AVIOContext, &TLibAVApi::avio_closep>>;
using TFilterGraphPtr =
    std::unique_ptr<AVFilterGraph, TLibAVFreeRef<AVFilterGraph, &TLibAVApi::avfilter_graph_free>>;
using TBsfContextPtr = std::unique_ptr<AVBSFContext, TLibAVFreeRef<AVBSFContext, &TLibAVApi::av_bsf_free>>;
using TExprPtr = std::unique_ptr<AVExpr, TLibAVFree<AVExpr, &TLibAVApi::av_expr_free>>;
using TSwsContextPtr = std::unique_ptr<SwsContext, TLibAVFree<SwsContext, &TLibAVApi::sws_freeContext>>;

// Memory of the libraries' allocator.
using TAVFree = TLibAVFree<void, &TLibAVApi::av_free>;
template <class T> using TAVMemoryPtr = std::unique_ptr<T, TAVFree>;
using TAVBuffer = std::unique_ptr<uint8_t[], TAVFree>;
