// Filter graphs: the graph records, binding a complex graph's inputs to
// input streams, and configuring a graph from its description (the source
// and sink chains are built in FilterChains.cpp).
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFStreamOptions.h"
#include "FFText.h"

#include <cerrno>
#include <cstdlib>

namespace {

// The graph description's open pads, freed with the list.
struct TInOutList {
  AVFilterInOut* Head = nullptr;
  ~TInOutList() { AV.avfilter_inout_free(&Head); }
  int Count() const {
    int count = 0;
    for (const AVFilterInOut* i = Head; i; i = i->next)
      ++count;
    return count;
  }
};

AVMediaType PadType(const AVFilterInOut* AInOut, bool AInput) {
  const AVFilterContext* ctx = AInOut->filter_ctx;
  return AV.avfilter_pad_get_type(AInput ? ctx->input_pads : ctx->output_pads, AInOut->pad_idx);
}

// The filter the pad belongs to, with the pad's name when it has siblings.
std::string DescribeLink(const AVFilterInOut* AInOut, bool AInput) {
  const AVFilterContext* ctx = AInOut->filter_ctx;
  std::string name = ctx->filter->name;
  const unsigned pads = AInput ? ctx->nb_inputs : ctx->nb_outputs;
  if (pads > 1)
    name += std::string(":") +
            AV.avfilter_pad_get_name(AInput ? ctx->input_pads : ctx->output_pads, AInOut->pad_idx);
  return name;
}

// "key=value" pairs of ADict joined by ":".
std::string JoinedOptions(const AVDictionary* ADict) {
  std::string text;
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = AV.av_dict_get(ADict, "", entry, AV_DICT_IGNORE_SUFFIX))) {
    if (!text.empty()) text += ":";
    text += std::string(entry->key) + "=" + entry->value;
  }
  return text;
}

} // namespace

int TTranscodeTask::AddComplexFilterGraph(const std::string& ADescription) {
  try {
    auto graph = std::make_unique<TFilterGraph>();
    graph->Index = static_cast<int>(FilterGraphs.size());
    graph->GraphDesc = ADescription;
    FilterGraphs.push_back(std::move(graph));
  } catch (const std::bad_alloc&) {
    return AVERROR(ENOMEM);
  }
  return 0;
}

TFilterGraph& TTranscodeTask::InitSimpleFilterGraph(TInputStream& AIst, TOutputStream& AOst) {
  auto graph = std::make_unique<TFilterGraph>();
  graph->Index = static_cast<int>(FilterGraphs.size());
  auto output = std::make_unique<TOutputFilter>();
  output->Ost = &AOst;
  output->Graph = graph.get();
  AOst.Filter = output.get();
  auto input = std::make_unique<TInputFilter>();
  input->Ist = &AIst;
  input->Graph = graph.get();
  AIst.Filters.push_back(input.get());
  graph->Outputs.push_back(std::move(output));
  graph->Inputs.push_back(std::move(input));
  FilterGraphs.push_back(std::move(graph));
  return *FilterGraphs.back();
}

bool TTranscodeTask::StreamFeedsGraph(const TFilterGraph& AGraph, const TInputStream& AIst) {
  for (const auto& input : AGraph.Inputs)
    if (input->Ist == &AIst) return true;
  return false;
}

void TTranscodeTask::BindComplexInput(TFilterGraph& AGraph, AVFilterInOut* AIn) {
  const AVMediaType type = PadType(AIn, true);
  if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
    FatalError("Only video and audio filters supported currently.");
  TInputStream* ist = nullptr;
  if (AIn->name) {
    char* rest = nullptr;
    const long fileIndex = std::strtol(AIn->name, &rest, 0);
    if (fileIndex < 0 || fileIndex >= static_cast<long>(InputFiles.size()))
      FatalErrorFmt("Invalid file index %ld in filtergraph description %s.", fileIndex,
                    AGraph.GraphDesc.c_str());
    AVFormatContext* context = InputFiles[static_cast<size_t>(fileIndex)]->Context.get();
    const std::string spec = *rest == ':' ? rest + 1 : rest;
    for (unsigned i = 0; i < context->nb_streams && !ist; ++i) {
      AVStream* stream = context->streams[i];
      const AVMediaType streamType = stream->codecpar->codec_type;
      // A video pad may also be fed by subtitles, painted on a canvas.
      if (streamType != type && !(type == AVMEDIA_TYPE_VIDEO && streamType == AVMEDIA_TYPE_SUBTITLE))
        continue;
      const int match = CheckStreamSpecifier(context, stream, spec);
      if (match < 0) StreamSpecifierFatal(*this, match);
      if (match > 0)
        ist = InputStreams[static_cast<size_t>(InputFiles[static_cast<size_t>(fileIndex)]
                                                   ->FirstStreamIndex) +
                           i]
                  .get();
    }
    if (!ist)
      FatalErrorFmt("Stream specifier \"%s\" in filtergraph description %s matches no streams.",
                    spec.c_str(), AGraph.GraphDesc.c_str());
  } else {
    for (const auto& candidate : InputStreams)
      if (candidate->Stream->codecpar->codec_type == type && candidate->Discard) {
        ist = candidate.get();
        break;
      }
    if (!ist)
      FatalErrorFmt("Cannot find a matching stream for unlabeled input pad %d on filter %s",
                    AIn->pad_idx, AIn->filter_ctx->name);
  }
  ist->Discard = false;
  ++ist->DecodingNeeded;
  ist->Stream->discard = AVDISCARD_NONE;
  auto input = std::make_unique<TInputFilter>();
  input->Ist = ist;
  input->Graph = &AGraph;
  ist->Filters.push_back(input.get());
  AGraph.Inputs.push_back(std::move(input));
}

int TTranscodeTask::ConfigureFilterGraph(TFilterGraph& AGraph) {
  const bool first = !AGraph.Graph;
  const bool simple = AGraph.GraphDesc.empty();
  const std::string description = simple ? AGraph.Outputs.at(0)->Ost->AvFilter : AGraph.GraphDesc;

  // The old graph owned the source and sink contexts.
  for (auto& input : AGraph.Inputs)
    input->Filter = nullptr;
  for (auto& output : AGraph.Outputs)
    output->Filter = nullptr;
  AGraph.Graph.reset(AV.avfilter_graph_alloc());
  if (!AGraph.Graph) return AVERROR(ENOMEM);
  AVFilterGraph* graph = AGraph.Graph.get();

  if (simple) {
    TOutputStream& ost = *AGraph.Outputs[0]->Ost;
    graph->scale_sws_opts = AV.av_strdup(
        FormatText("flags=0x%X", static_cast<unsigned>(ost.SwsFlags)).c_str());
    const std::string swr = JoinedOptions(ost.SwrOpts.Get());
    if (!swr.empty()) AV.av_opt_set(graph, "aresample_swr_opts", swr.c_str(), 0);
  }

  TInOutList inputs, outputs;
  int result = AV.avfilter_graph_parse2(graph, description.c_str(), &inputs.Head, &outputs.Head);
  if (result < 0) {
    // The description names what failed to load (a watermark picture, say).
    LastErrMsg = ErrorToString("Error parsing the filter graph \"" + description + "\"", result);
    FFLogger().Log(this, TLogLevel::llError, LastErrMsg);
    return result;
  }

  if (simple && (inputs.Count() != 1 || outputs.Count() != 1)) {
    LastErrMsg = FormatText("Simple filtergraph \"%s\" does not have exactly one input and output.",
                            description.c_str());
    FFLogger().Log(this, TLogLevel::llError, LastErrMsg);
    return AVERROR(EINVAL);
  }

  if (!simple && first)
    for (AVFilterInOut* in = inputs.Head; in; in = in->next)
      BindComplexInput(AGraph, in);

  {
    size_t i = 0;
    for (AVFilterInOut* in = inputs.Head; in; in = in->next, ++i) {
      if (i >= AGraph.Inputs.size()) return AVERROR(EINVAL);
      if ((result = ConfigureInputFilter(AGraph, *AGraph.Inputs[i], in)) < 0) return result;
    }
  }

  if (simple || !first) {
    size_t i = 0;
    for (AVFilterInOut* out = outputs.Head; out; out = out->next, ++i) {
      if (i >= AGraph.Outputs.size()) return AVERROR(EINVAL);
      if ((result = ConfigureOutputFilter(AGraph, *AGraph.Outputs[i], out)) < 0) return result;
    }
    if ((result = AV.avfilter_graph_config(graph, nullptr)) < 0) {
      LastErrMsg =
          ErrorToString("Error configuring the filter graph \"" + description + "\"", result);
      FFLogger().Log(this, TLogLevel::llError, LastErrMsg);
      return result;
    }
  } else {
    // Kept pending until an output takes each pad.
    while (AVFilterInOut* out = outputs.Head) {
      outputs.Head = out->next;
      out->next = nullptr;
      auto output = std::make_unique<TOutputFilter>();
      output->Graph = &AGraph;
      output->OutTmp = out;
      AGraph.Outputs.push_back(std::move(output));
    }
  }
  AGraph.Reconfiguration = true;
  return 0;
}

int TTranscodeTask::ConfigureComplexFilterGraphs() {
  for (auto& graph : FilterGraphs) {
    if (graph->Graph) continue;
    if (const int result = ConfigureFilterGraph(*graph); result < 0) return result;
  }
  return 0;
}

int TTranscodeTask::ConfigureInputFilter(TFilterGraph& AGraph, TInputFilter& AFilter,
                                         AVFilterInOut* AIn) {
  AFilter.Name = DescribeLink(AIn, true);
  switch (PadType(AIn, true)) {
  case AVMEDIA_TYPE_VIDEO:
    return ConfigureInputVideoFilter(AGraph, AFilter, AIn);
  case AVMEDIA_TYPE_AUDIO:
    return ConfigureInputAudioFilter(AGraph, AFilter, AIn);
  default:
    FatalError("Only video and audio filters supported currently.");
  }
}

int TTranscodeTask::ConfigureOutputFilter(TFilterGraph& AGraph, TOutputFilter& AFilter,
                                          AVFilterInOut* AOut) {
  AFilter.Name = DescribeLink(AOut, false);
  switch (PadType(AOut, false)) {
  case AVMEDIA_TYPE_VIDEO:
    return ConfigureOutputVideoFilter(AGraph, AFilter, AOut);
  case AVMEDIA_TYPE_AUDIO:
    return ConfigureOutputAudioFilter(AGraph, AFilter, AOut);
  default:
    FatalError("Only video and audio filters are supported currently.");
  }
}
