// The chains around a filter graph's open pads: the source in front of each
// input pad (buffer or abuffer, with the forced-rate, resampling and volume
// steps) and the sink behind each output pad (buffersink or abuffersink,
// with the scaling, channel-mapping and format steps the encoder needs).
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFText.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <string>
#include <vector>

namespace {

// Creates AFilterName as AName with AArgs in AGraph; 0 or an AVERROR code.
int CreateFilter(AVFilterContext** AContext, AVFilterGraph* AGraph, const char* AFilterName,
                 const std::string& AName, const std::string& AArgs) {
  const AVFilter* filter = AV.avfilter_get_by_name(AFilterName);
  if (!filter) return AVERROR_FILTER_NOT_FOUND;
  return AV.avfilter_graph_create_filter(AContext, filter, AName.c_str(),
                                         AArgs.empty() ? nullptr : AArgs.c_str(), nullptr, AGraph);
}

// Puts a filter between ALast (pad APad) and what follows; ALast becomes it.
int InsertFilter(AVFilterContext*& ALast, unsigned& APad, AVFilterGraph* AGraph,
                 const char* AFilterName, const std::string& AName, const std::string& AArgs) {
  AVFilterContext* filter = nullptr;
  int result = CreateFilter(&filter, AGraph, AFilterName, AName, AArgs);
  if (result < 0) return result;
  if ((result = AV.avfilter_link(ALast, APad, filter, 0)) < 0) return result;
  ALast = filter;
  APad = 0;
  return 0;
}

std::string Join(const std::vector<std::string>& AItems) {
  std::string text;
  for (const std::string& item : AItems) {
    if (!text.empty()) text += "|";
    text += item;
  }
  return text;
}

std::string LayoutText(const AVChannelLayout& ALayout) {
  char text[128] = {};
  if (AV.av_channel_layout_describe(&ALayout, text, sizeof text) < 0) return {};
  return text;
}

bool Supports(const AVPixelFormat* AList, AVPixelFormat AFormat) {
  for (; AList && *AList != AV_PIX_FMT_NONE; ++AList)
    if (*AList == AFormat) return true;
  return false;
}

// The encoder's pixel format when it takes it, else the best it offers.
AVPixelFormat ChoosePixelFormat(TTranscodeTask& ATask, const AVCodec* ACodec,
                                AVPixelFormat AWanted) {
  if (!ACodec || !ACodec->pix_fmts || Supports(ACodec->pix_fmts, AWanted)) return AWanted;
  const AVPixFmtDescriptor* desc = AV.av_pix_fmt_desc_get(AWanted);
  const int hasAlpha = desc && desc->nb_components % 2 == 0;
  const AVPixelFormat best =
      AV.avcodec_find_best_pix_fmt_of_list(ACodec->pix_fmts, AWanted, hasAlpha, nullptr);
  if (AWanted != AV_PIX_FMT_NONE)
    FFLogger().LogFmt(&ATask, TLogLevel::llWarning,
                      "Incompatible pixel format \"%s\" for codec \"%s\", auto-selecting format "
                      "\"%s\"",
                      AV.av_get_pix_fmt_name(AWanted), ACodec->name, AV.av_get_pix_fmt_name(best));
  return best;
}

// The pixel formats the sink may offer the encoder; empty for any.
std::vector<AVPixelFormat> SinkPixelFormats(TTranscodeTask& ATask, TOutputStream& AOst,
                                            AVFilterGraph* AGraph) {
  const AVCodecContext* enc = AOst.EncoderContext.get();
  if (!enc) return {};
  if (AOst.KeepPixFmt) {
    AV.avfilter_graph_set_auto_convert(AGraph, AVFILTER_AUTO_CONVERT_NONE);
    if (enc->pix_fmt == AV_PIX_FMT_NONE) return {};
    return {enc->pix_fmt};
  }
  if (enc->pix_fmt != AV_PIX_FMT_NONE)
    return {ChoosePixelFormat(ATask, AOst.Encoder, enc->pix_fmt)};
  if (!AOst.Encoder || !AOst.Encoder->pix_fmts) return {};
  if ((AOst.Encoder->id == AV_CODEC_ID_MJPEG || AOst.Encoder->id == AV_CODEC_ID_LJPEG) &&
      enc->strict_std_compliance <= FF_COMPLIANCE_UNOFFICIAL) {
    if (AOst.Encoder->id == AV_CODEC_ID_MJPEG)
      return {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P};
    return {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUV420P,
            AV_PIX_FMT_YUV422P,  AV_PIX_FMT_YUV444P,  AV_PIX_FMT_BGRA};
  }
  // The MJPEG encoder lists the limited-range formats too, but takes them
  // only at unofficial strictness: offer its full-range ones.
  const bool fullRangeOnly = AOst.Encoder->id == AV_CODEC_ID_MJPEG;
  std::vector<AVPixelFormat> formats;
  for (const AVPixelFormat* f = AOst.Encoder->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
    if (!fullRangeOnly || *f == AV_PIX_FMT_YUVJ420P || *f == AV_PIX_FMT_YUVJ422P ||
        *f == AV_PIX_FMT_YUVJ444P)
      formats.push_back(*f);
  return formats;
}

std::string PixelFormatText(const std::vector<AVPixelFormat>& AFormats) {
  std::vector<std::string> names;
  for (AVPixelFormat f : AFormats)
    names.emplace_back(AV.av_get_pix_fmt_name(f));
  return Join(names);
}

// Whether the sink chain's only work would be the conversion of the one
// input's pictures to yuv420p at their own size, which TYuvConversion then
// does instead: a simple graph without filters of its own, the scaler's
// default flags (anything else asked of it stays its work), no size change,
// and yuv420p as the format the graph would pick from AFormats for them.
bool FitsYuvConversion(const TFilterGraph& AGraph, const TOutputStream& AOst,
                       const std::vector<AVPixelFormat>& AFormats) {
  if (!AGraph.GraphDesc.empty() || AOst.AvFilter != "null" || AGraph.Inputs.size() != 1 ||
      AOst.KeepPixFmt || AOst.SwsFlags != SWS_BICUBIC || AFormats.empty())
    return false;
  const TInputStream& ist = *AGraph.Inputs[0]->Ist;
  const auto from = static_cast<AVPixelFormat>(ist.ResamplePixFmt);
  const AVCodecContext* enc = AOst.EncoderContext.get();
  if (!TYuvConversion::Converts(from) || (enc->width && enc->width != ist.ResampleWidth) ||
      (enc->height && enc->height != ist.ResampleHeight))
    return false;
  // As the graph negotiates: the best of the list for the source's format.
  std::vector<AVPixelFormat> list = AFormats;
  list.push_back(AV_PIX_FMT_NONE);
  const AVPixFmtDescriptor* desc = AV.av_pix_fmt_desc_get(from);
  const int hasAlpha = desc && desc->nb_components % 2 == 0;
  return AV.avcodec_find_best_pix_fmt_of_list(list.data(), from, hasAlpha, nullptr) ==
         TYuvConversion::kTarget;
}

// The encoder's sample format when it takes it, else its first one.
void CorrectSampleFormat(TTranscodeTask& ATask, AVCodecContext* AContext, const AVCodec* ACodec) {
  if (!ACodec || !ACodec->sample_fmts || AContext->sample_fmt == AV_SAMPLE_FMT_NONE) return;
  for (const AVSampleFormat* f = ACodec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == AContext->sample_fmt) return;
  const AVSampleFormat first = ACodec->sample_fmts[0];
  const AVCodecDescriptor* desc = AV.avcodec_descriptor_get(ACodec->id);
  if (desc && (desc->props & AV_CODEC_PROP_LOSSLESS) &&
      AV.av_get_bytes_per_sample(AContext->sample_fmt) > AV.av_get_bytes_per_sample(first))
    FFLogger().Log(&ATask, TLogLevel::llError, "Conversion will not be lossless.");
  if (const char* name = AV.av_get_sample_fmt_name(AContext->sample_fmt))
    FFLogger().LogFmt(&ATask, TLogLevel::llWarning,
                      "Incompatible sample format \"%s\" for codec \"%s\", auto-selecting format "
                      "\"%s\"",
                      name, ACodec->name, AV.av_get_sample_fmt_name(first));
  AContext->sample_fmt = first;
}

// The "-x is forwarded to lavfi" note of the options that became filters.
void LogForwarded(void* ASender, const char* AOption, const char* AFilter, const std::string& AArgs) {
  FFLogger().LogFmt(ASender, TLogLevel::llInfo, "%s is forwarded to lavfi similarly to -af %s=%s.",
                    AOption, AFilter, AArgs.c_str());
}

} // namespace

// ---- Sources ----------------------------------------------------------------------------

int TTranscodeTask::Sub2VideoPrepare(TInputStream& AIst) {
  AVCodecContext* dec = AIst.DecoderContext.get();
  int width = dec->width, height = dec->height;
  if (!width || !height) {
    for (const auto& other : InputStreams)
      if (other->FileIndex == AIst.FileIndex &&
          other->Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        width = std::max(width, other->Stream->codecpar->width);
        height = std::max(height, other->Stream->codecpar->height);
      }
    if (!width || !height) {
      width = std::max(width, 720);
      height = std::max(height, 576);
    }
    FFLogger().LogFmt(this, TLogLevel::llInfo, "sub2video: using %dx%d canvas", width, height);
  }
  dec->width = AIst.ResampleWidth = AIst.Sub2Video.Width = width;
  dec->height = AIst.ResampleHeight = AIst.Sub2Video.Height = height;
  dec->pix_fmt = AV_PIX_FMT_BGRA;
  AIst.ResamplePixFmt = AV_PIX_FMT_BGRA;
  AIst.Sub2Video.Frame.reset(AV.av_frame_alloc());
  AVFrame* frame = AIst.Sub2Video.Frame.get();
  if (!frame) return AVERROR(ENOMEM);
  frame->width = width;
  frame->height = height;
  frame->format = AV_PIX_FMT_BGRA;
  if (const int result = AV.av_frame_get_buffer(frame, 32); result < 0) return result;
  for (int y = 0; y < height; ++y)
    std::fill_n(frame->data[0] + static_cast<size_t>(y) * frame->linesize[0],
                static_cast<size_t>(width) * 4, 0);
  return 0;
}

int TTranscodeTask::ConfigureInputVideoFilter(TFilterGraph& AGraph, TInputFilter& AFilter,
                                              AVFilterInOut* AIn) {
  TInputStream& ist = *AFilter.Ist;
  AVStream* stream = ist.Stream;
  const AVCodecContext* dec = ist.DecoderContext.get();
  const TInputFile& file = *InputFiles[static_cast<size_t>(ist.FileIndex)];
  const bool forced = ist.FrameRate.num > 0 && ist.FrameRate.den > 0;
  // A real-time input keeps its own time base: its frames are put on the
  // forced rate's grid by their time stamps, so a lost frame leaves a hole.
  const bool gridByTime = forced && file.RealTime;
  const AVRational timeBase =
      forced && !gridByTime ? av_inv_q(ist.FrameRate) : stream->time_base;

  AVRational frameRate = forced ? ist.FrameRate : stream->r_frame_rate;
  if (!forced && dec->ticks_per_frame > 1 && dec->framerate.num > 0 && dec->framerate.den > 0 &&
      frameRate.num > 0 && frameRate.den > 0 &&
      av_q2d(dec->framerate) < 0.7 * av_q2d(frameRate) && stream->avg_frame_rate.den > 0 &&
      std::abs(av_q2d(stream->avg_frame_rate) / av_q2d(frameRate) - 1) > 0.1)
    frameRate = dec->framerate;

  if (stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE && !ist.Sub2Video.Frame)
    if (const int result = Sub2VideoPrepare(ist); result < 0) return result;

  AVRational aspect = stream->sample_aspect_ratio.num ? stream->sample_aspect_ratio
                                                      : dec->sample_aspect_ratio;
  if (!aspect.den) aspect = AVRational{0, 1};

  std::string args = FormatText("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                                ist.ResampleWidth, ist.ResampleHeight, ist.ResamplePixFmt,
                                timeBase.num, timeBase.den, aspect.num, aspect.den);
  if (frameRate.num && frameRate.den)
    args += FormatText(":frame_rate=%d/%d", frameRate.num, frameRate.den);
  const int fileIndex = ist.FileIndex, streamIndex = stream->index;
  int result = CreateFilter(&AFilter.Filter, AGraph.Graph.get(), "buffer",
                            FormatText("graph %d input from stream %d:%d", AGraph.Index,
                                       fileIndex, streamIndex),
                            args);
  if (result < 0) return result;

  AVFilterContext* last = AFilter.Filter;
  unsigned pad = 0;
  if (gridByTime) {
    result = InsertFilter(last, pad, AGraph.Graph.get(), "settb",
                          FormatText("force CFR for input from stream %d:%d", fileIndex,
                                     streamIndex),
                          FormatText("expr=%d/%d", ist.FrameRate.den, ist.FrameRate.num));
  } else if (forced) {
    result = InsertFilter(last, pad, AGraph.Graph.get(), "setpts",
                          FormatText("force CFR for input from stream %d:%d", fileIndex,
                                     streamIndex),
                          "N");
  }
  if (result < 0) return result;
  return AV.avfilter_link(last, pad, AIn->filter_ctx, static_cast<unsigned>(AIn->pad_idx));
}

int TTranscodeTask::ConfigureInputAudioFilter(TFilterGraph& AGraph, TInputFilter& AFilter,
                                              AVFilterInOut* AIn) {
  TInputStream& ist = *AFilter.Ist;
  const int fileIndex = ist.FileIndex, streamIndex = ist.Stream->index;
  std::string args = FormatText("time_base=1/%d:sample_rate=%d:sample_fmt=%s",
                                ist.ResampleSampleRate, ist.ResampleSampleRate,
                                AV.av_get_sample_fmt_name(
                                    static_cast<AVSampleFormat>(ist.ResampleSampleFmt)));
  const AVChannelLayout& layout = ist.DecoderContext->ch_layout;
  if (layout.order != AV_CHANNEL_ORDER_UNSPEC)
    args += ":channel_layout=" + LayoutText(layout);
  else
    args += FormatText(":channels=%d", ist.ResampleChannels);
  int result = CreateFilter(&AFilter.Filter, AGraph.Graph.get(), "abuffer",
                            FormatText("graph %d input from stream %d:%d", AGraph.Index,
                                       fileIndex, streamIndex),
                            args);
  if (result < 0) return result;

  AVFilterContext* last = AFilter.Filter;
  unsigned pad = 0;
  if (AudioSyncMethod > 0) {
    std::string resample = FormatText("async=%d", AudioSyncMethod);
    if (AudioDriftThreshold != 0.1f) resample += ":min_hard_comp=" + FixedText(AudioDriftThreshold);
    if (!AGraph.Reconfiguration) resample += ":first_pts=0";
    LogForwarded(this, "-async", "aresample", resample);
    result = InsertFilter(last, pad, AGraph.Graph.get(), "aresample",
                          FormatText("graph %d %s for input stream %d:%d", AGraph.Index,
                                     "aresample", fileIndex, streamIndex),
                          resample);
    if (result < 0) return result;
  }
  if (AudioVolume != 256) {
    FFLogger().Log(this, TLogLevel::llWarning,
                   "-vol has been deprecated. Use the volume audio filter instead.");
    const std::string volume = FixedText(AudioVolume / 256.0);
    LogForwarded(this, "-vol", "volume", volume);
    result = InsertFilter(last, pad, AGraph.Graph.get(), "volume",
                          FormatText("graph %d %s for input stream %d:%d", AGraph.Index, "volume",
                                     fileIndex, streamIndex),
                          volume);
    if (result < 0) return result;
  }
  return AV.avfilter_link(last, pad, AIn->filter_ctx, static_cast<unsigned>(AIn->pad_idx));
}

// ---- Sinks ------------------------------------------------------------------------------

int TTranscodeTask::ConfigureOutputVideoFilter(TFilterGraph& AGraph, TOutputFilter& AFilter,
                                               AVFilterInOut* AOut) {
  TOutputStream& ost = *AFilter.Ost;
  AVFilterGraph* graph = AGraph.Graph.get();
  const int fileIndex = ost.FileIndex, streamIndex = ost.Index;
  int result = CreateFilter(&AFilter.Filter, graph, "buffersink",
                            FormatText("output stream %d:%d", fileIndex, streamIndex), "");
  if (result < 0) return result;

  AVFilterContext* last = AOut->filter_ctx;
  unsigned pad = static_cast<unsigned>(AOut->pad_idx);
  const AVCodecContext* enc = ost.EncoderContext.get();
  std::vector<AVPixelFormat> formats = SinkPixelFormats(*this, ost, graph);
  AFilter.Conversion.reset();
  if (FitsYuvConversion(AGraph, ost, formats)) {
    // The sink keeps the source's format, whatever reaches it, and the
    // scaler has nothing left to do.
    const auto from = static_cast<AVPixelFormat>(AGraph.Inputs[0]->Ist->ResamplePixFmt);
    AFilter.Conversion = std::make_unique<TYuvConversion>();
    formats = {from};
    FFLogger().LogFmt(this, TLogLevel::llVerbose,
                      "Output stream #%d:%d takes its %s pictures as yuv420p from libyuv",
                      fileIndex, streamIndex, AV.av_get_pix_fmt_name(from));
  } else if (enc && (enc->width || enc->height)) {
    result = InsertFilter(last, pad, graph, "scale",
                          FormatText("scaler for output stream %d:%d", fileIndex, streamIndex),
                          FormatText("%d:%d:flags=0x%X", enc->width, enc->height,
                                     static_cast<unsigned>(ost.SwsFlags)));
    if (result < 0) return result;
  }
  if (!formats.empty()) {
    result =
        InsertFilter(last, pad, graph, "format",
                     FormatText("pixel format for output stream %d:%d", fileIndex, streamIndex),
                     "pix_fmts=" + PixelFormatText(formats));
    if (result < 0) return result;
  }
  return AV.avfilter_link(last, pad, AFilter.Filter, 0);
}

int TTranscodeTask::ConfigureOutputAudioFilter(TFilterGraph& AGraph, TOutputFilter& AFilter,
                                               AVFilterInOut* AOut) {
  TOutputStream& ost = *AFilter.Ost;
  AVFilterGraph* graph = AGraph.Graph.get();
  const int fileIndex = ost.FileIndex, streamIndex = ost.Index;
  int result = CreateFilter(&AFilter.Filter, graph, "abuffersink",
                            FormatText("output stream %d:%d", fileIndex, streamIndex), "");
  if (result < 0) return result;

  AVFilterContext* last = AOut->filter_ctx;
  unsigned pad = static_cast<unsigned>(AOut->pad_idx);
  if (!ost.AudioChannelsMap.empty()) {
    AVChannelLayout mapped{};
    AV.av_channel_layout_default(&mapped, static_cast<int>(ost.AudioChannelsMap.size()));
    std::string pan = LayoutText(mapped);
    AV.av_channel_layout_uninit(&mapped);
    for (size_t i = 0; i < ost.AudioChannelsMap.size(); ++i)
      if (ost.AudioChannelsMap[i] != -1)
        pan += FormatText("|c%d=c%d", static_cast<int>(i), ost.AudioChannelsMap[i]);
    LogForwarded(this, "-map_channel", "pan", pan);
    result = InsertFilter(last, pad, graph, "pan",
                          FormatText("%s for output stream %d:%d", "pan", fileIndex, streamIndex),
                          pan);
    if (result < 0) return result;
  }

  std::string formats, rates, layouts;
  if (AVCodecContext* enc = ost.EncoderContext.get()) {
    if (enc->ch_layout.nb_channels > 0 && enc->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      const int channels = enc->ch_layout.nb_channels;
      AV.av_channel_layout_uninit(&enc->ch_layout);
      AV.av_channel_layout_default(&enc->ch_layout, channels);
    }
    CorrectSampleFormat(*this, enc, ost.Encoder);
    std::vector<std::string> items;
    if (enc->sample_fmt != AV_SAMPLE_FMT_NONE)
      formats = AV.av_get_sample_fmt_name(enc->sample_fmt);
    else if (ost.Encoder && ost.Encoder->sample_fmts) {
      for (const AVSampleFormat* f = ost.Encoder->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        items.emplace_back(AV.av_get_sample_fmt_name(*f));
      formats = Join(items);
    }
    items.clear();
    if (enc->sample_rate)
      rates = std::to_string(enc->sample_rate);
    else if (ost.Encoder && ost.Encoder->supported_samplerates) {
      for (const int* r = ost.Encoder->supported_samplerates; *r; ++r)
        items.push_back(std::to_string(*r));
      rates = Join(items);
    }
    items.clear();
    if (enc->ch_layout.nb_channels > 0)
      layouts = LayoutText(enc->ch_layout);
    else if (ost.Encoder && ost.Encoder->ch_layouts) {
      for (const AVChannelLayout* l = ost.Encoder->ch_layouts; l->nb_channels; ++l)
        items.push_back(LayoutText(*l));
      layouts = Join(items);
    }
  }
  if (!formats.empty() || !rates.empty() || !layouts.empty()) {
    std::string args;
    if (!formats.empty()) args += "sample_fmts=" + formats + ":";
    if (!rates.empty()) args += "sample_rates=" + rates + ":";
    if (!layouts.empty()) args += "channel_layouts=" + layouts + ":";
    args.pop_back();
    result = InsertFilter(last, pad, graph, "aformat",
                          FormatText("audio format for output stream %d:%d", fileIndex,
                                     streamIndex),
                          args);
    if (result < 0) return result;
  }
  return AV.avfilter_link(last, pad, AFilter.Filter, 0);
}
