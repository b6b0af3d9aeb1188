// Creating an output's streams: the common part (encoder choice, encoder
// options, bitstream filters, tag, quality), the per-type settings, and the
// outputs of complex filter graphs.
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFOptions.h"
#include "FFStreamOptions.h"
#include "FFText.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A "tag" text: a number in any base, else up to four characters as a
// little-endian code (a shorter text gives only the characters there are).
uint32_t ParseCodecTag(const std::string& AText) {
  char* end = nullptr;
  const unsigned long number = std::strtoul(AText.c_str(), &end, 0);
  if (!AText.empty() && *end == '\0') return static_cast<uint32_t>(number);
  uint32_t tag = 0;
  for (size_t i = 0; i < 4 && i < AText.size(); ++i)
    tag |= static_cast<uint32_t>(static_cast<unsigned char>(AText[i])) << (8 * i);
  return tag;
}

// 64 comma-separated coefficients; fatal (through ATask) when one is missing.
uint16_t* ParseMatrix(TTaskOptions& ATask, const std::string& AText, const char* AWhat) {
  auto* matrix = static_cast<uint16_t*>(AV.av_mallocz(sizeof(uint16_t) * 64));
  if (!matrix) ATask.FatalErrorFmt("Could not allocate memory for %s matrix.", AWhat);
  const char* p = AText.c_str();
  for (int i = 0; i < 64; ++i) {
    matrix[i] = static_cast<uint16_t>(std::strtol(p, nullptr, 10));
    if (i == 63) break;
    p = std::strchr(p, ',');
    if (!p) {
      AV.av_free(matrix);
      ATask.FatalErrorFmt("Syntax error in matrix \"%s\" at coeff %d", AText.c_str(), i);
    }
    ++p;
  }
  return matrix;
}

} // namespace

void TTranscodeTask::ChooseEncoder(TOptionsContext& AOptions, AVFormatContext* AContext,
                                   TOutputStream& AOst) {
  std::string name;
  MatchPerStreamOption(*this, AOptions.CodecNames, AContext, AOst.Stream, name);
  AVCodecParameters* par = AOst.Stream->codecpar;
  if (name == "copy") {
    AOst.StreamCopy = true;
    return;
  }
  if (name.empty()) {
    par->codec_id = AV.av_guess_codec(AContext->oformat, nullptr, AContext->url, nullptr,
                                      par->codec_type);
    AOst.Encoder = AV.avcodec_find_encoder(par->codec_id);
    return;
  }
  // This generation's libraries have no "libfaac": their own AAC encoder
  // takes its place.
  if (name == "libfaac") name = "aac";
  AOst.Encoder = FindCodecByName(*this, name, par->codec_type, true);
  par->codec_id = AOst.Encoder->id;
}

void TTranscodeTask::CheckEncoderOptionValues(const TOutputStream& AOst) {
  // Set on a context of their own, so that the encoder starts from its
  // defaults when it opens.
  TCodecContextPtr probe(AV.avcodec_alloc_context3(AOst.Encoder));
  if (!probe) FatalError("Error allocating the encoding context.");
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = AV.av_dict_get(AOst.EncoderOpts.Get(), "", entry, AV_DICT_IGNORE_SUFFIX))) {
    const int result = AV.av_opt_set(probe.get(), entry->key, entry->value, AV_OPT_SEARCH_CHILDREN);
    if (result < 0 && result != AVERROR_OPTION_NOT_FOUND)
      FatalError(ErrorToString(
          FormatText("Error setting option %s to value %s", entry->key, entry->value), result));
  }
}

TOutputStream& TTranscodeTask::NewOutputStream(TOptionsContext& AOptions, AVFormatContext* AContext,
                                               AVMediaType AType, int ASourceIndex) {
  AVStream* stream = AV.avformat_new_stream(AContext, nullptr);
  if (!stream) FatalError("Could not alloc stream.");
  stream->codecpar->codec_type = AType;
  const size_t position = AContext->nb_streams - 1;
  if (position < AOptions.StreamIdMap.size()) stream->id = AOptions.StreamIdMap[position];

  auto record = std::make_unique<TOutputStream>();
  TOutputStream& ost = *record;
  ost.FileIndex = static_cast<int>(OutputFiles.size());
  ost.Index = stream->index;
  ost.Stream = stream;
  OutputStreams.push_back(std::move(record));

  ChooseEncoder(AOptions, AContext, ost);
  ost.EncoderOpts = FilterCodecOptions(*this, AOptions.Group->CodecOpts.Get(),
                                       stream->codecpar->codec_id, AContext, stream, ost.Encoder);
  AVCodecContext* enc = AV.avcodec_alloc_context3(ost.Encoder);
  if (!enc) FatalError("Error allocating the encoding context.");
  ost.EncoderContext.reset(enc, [](AVCodecContext* AContext) { AV.avcodec_free_context(&AContext); });
  enc->codec_type = AType;
  CheckEncoderOptionValues(ost);

  MatchPerStreamOption(*this, AOptions.MaxFrames, AContext, stream, ost.MaxFrames);
  MatchPerStreamOption(*this, AOptions.CopyPriorStart, AContext, stream, ost.CopyPriorStart);

  MatchPerStreamOption(*this, AOptions.BitstreamFilters, AContext, stream, ost.BitstreamFilters);
  for (size_t at = 0; at < ost.BitstreamFilters.size();) {
    const size_t comma = ost.BitstreamFilters.find(',', at);
    const std::string filter = ost.BitstreamFilters.substr(
        at, comma == std::string::npos ? std::string::npos : comma - at);
    // "name=option=value:..." gives the filter its options.
    if (!AV.av_bsf_get_by_name(filter.substr(0, filter.find('=')).c_str()))
      FatalErrorFmt("Unknown bitstream filter \"%s\"", filter.c_str());
    if (comma == std::string::npos) break;
    at = comma + 1;
  }

  std::string tag;
  MatchPerStreamOption(*this, AOptions.CodecTags, AContext, stream, tag);
  if (!tag.empty()) enc->codec_tag = stream->codecpar->codec_tag = ParseCodecTag(tag);

  double qscale = -1;
  MatchPerStreamOption(*this, AOptions.QScale, AContext, stream, qscale);
  if (qscale >= 0) {
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = static_cast<int>(std::lround(FF_QP2LAMBDA * qscale));
  }
  if (AContext->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  TOptionGroup& group = *AOptions.Group;
  int64_t swsFlags = FFOptions().ScalerFlags;
  if (group.ScalerOpts) AV.av_opt_get_int(group.ScalerOpts.get(), "sws_flags", 0, &swsFlags);
  ost.SwsFlags = swsFlags;
  AV.av_dict_copy(ost.SwrOpts.Ref(), group.ResamplerOpts.Get(), 0);
  if (ost.Encoder && AV.av_get_exact_bits_per_sample(ost.Encoder->id) == 24)
    ost.SwrOpts.Set("output_sample_bits", "24");

  ost.SourceIndex = ASourceIndex;
  if (ASourceIndex >= 0) {
    TInputStream& ist = *InputStreams[static_cast<size_t>(ASourceIndex)];
    ost.SyncIst = &ist;
    ist.Discard = false;
    ist.Stream->discard = AVDISCARD_NONE;
  }

  switch (AType) {
  case AVMEDIA_TYPE_VIDEO:
    return NewVideoStream(AOptions, AContext, ASourceIndex);
  case AVMEDIA_TYPE_AUDIO:
    return NewAudioStream(AOptions, AContext, ASourceIndex);
  case AVMEDIA_TYPE_SUBTITLE:
    return NewSubtitleStream(AOptions, AContext, ASourceIndex);
  case AVMEDIA_TYPE_DATA:
    if (!ost.StreamCopy) FatalError("Data stream encoding not supported yet (only streamcopy)");
    return ost;
  case AVMEDIA_TYPE_ATTACHMENT:
    ost.StreamCopy = true;
    return ost;
  default:
    return ost;
  }
}

TOutputStream& TTranscodeTask::NewVideoStream(TOptionsContext& AOptions, AVFormatContext* AContext,
                                              int) {
  TOutputStream& ost = *OutputStreams.back();
  AVStream* stream = ost.Stream;
  AVCodecContext* enc = ost.EncoderContext.get();

  std::string text;
  MatchPerStreamOption(*this, AOptions.FrameRates, AContext, stream, text);
  if (!text.empty() && AV.av_parse_video_rate(&ost.FrameRate, text.c_str()) < 0)
    FatalErrorFmt("Invalid framerate value: %s", text.c_str());

  if (ost.StreamCopy) {
    MatchPerStreamOption(*this, AOptions.CopyInitialNonKeyframes, AContext, stream,
                         ost.CopyInitialNonKeyframes);
    return ost;
  }

  text.clear();
  MatchPerStreamOption(*this, AOptions.FrameSizes, AContext, stream, text);
  if (!text.empty() && AV.av_parse_video_size(&enc->width, &enc->height, text.c_str()) < 0)
    FatalErrorFmt("Invalid frame size: %s.", text.c_str());

  text.clear();
  MatchPerStreamOption(*this, AOptions.FrameAspectRatios, AContext, stream, text);
  if (!text.empty()) {
    AVRational ratio{0, 0};
    if (AV.av_parse_ratio(&ratio, text.c_str(), 255, 0, nullptr) < 0 || ratio.num <= 0 ||
        ratio.den <= 0)
      FatalErrorFmt("Invalid aspect ratio: %s", text.c_str());
    ost.FrameAspectRatio = static_cast<float>(av_q2d(ratio));
  }

  enc->bits_per_raw_sample = FrameBitsPerRawSample;
  text.clear();
  MatchPerStreamOption(*this, AOptions.FramePixFmts, AContext, stream, text);
  if (!text.empty() && text[0] == '+') {
    ost.KeepPixFmt = true;
    text.erase(0, 1);
  }
  if (!text.empty() && (enc->pix_fmt = AV.av_get_pix_fmt(text.c_str())) == AV_PIX_FMT_NONE)
    FatalErrorFmt("Unknown pixel format requested: %s.", text.c_str());
  stream->sample_aspect_ratio = enc->sample_aspect_ratio;

  if (IntraOnly) enc->gop_size = 0;
  text.clear();
  MatchPerStreamOption(*this, AOptions.IntraMatrices, AContext, stream, text);
  if (!text.empty()) enc->intra_matrix = ParseMatrix(*this, text, "intra");
  text.clear();
  MatchPerStreamOption(*this, AOptions.InterMatrices, AContext, stream, text);
  if (!text.empty()) enc->inter_matrix = ParseMatrix(*this, text, "inter");

  text.clear();
  MatchPerStreamOption(*this, AOptions.RcOverrides, AContext, stream, text);
  for (const char* p = text.c_str(); !text.empty() && *p;) {
    int start = 0, end = 0, q = 0;
    if (std::sscanf(p, "%d,%d,%d", &start, &end, &q) != 3)
      FatalError("error parsing rc_override");
    auto* grown = static_cast<RcOverride*>(AV.av_realloc_array(
        enc->rc_override, static_cast<size_t>(enc->rc_override_count) + 1, sizeof(RcOverride)));
    if (!grown) FatalError("Could not allocate memory for rc_override");
    enc->rc_override = grown;
    RcOverride& entry = enc->rc_override[enc->rc_override_count++];
    entry.start_frame = start;
    entry.end_frame = end;
    entry.qscale = q > 0 ? q : 0;
    entry.quality_factor = q > 0 ? 1.0f : -q / 100.0f;
    p = std::strchr(p, '/');
    if (!p) break;
    ++p;
  }

  enc->intra_dc_precision = IntraDcPrecision - 8;
  if (DoPsnr) enc->flags |= AV_CODEC_FLAG_PSNR;

  MatchPerStreamOption(*this, AOptions.Passes, AContext, stream, ost.Pass);
  if (ost.Pass & 1) {
    enc->flags |= AV_CODEC_FLAG_PASS1;
    ost.EncoderOpts.Set("flags", "+pass1", AV_DICT_APPEND);
  }
  if (ost.Pass & 2) {
    enc->flags |= AV_CODEC_FLAG_PASS2;
    ost.EncoderOpts.Set("flags", "+pass2", AV_DICT_APPEND);
  }
  MatchPerStreamOption(*this, AOptions.PassLogFiles, AContext, stream, ost.LogFilePrefix);
  MatchPerStreamOption(*this, AOptions.ForcedKeyFrames, AContext, stream,
                       ost.ForcedKeyFramesText);
  MatchPerStreamOption(*this, AOptions.ForceFps, AContext, stream, ost.ForceFps);
  MatchPerStreamOption(*this, AOptions.TopFieldFirst, AContext, stream, ost.TopFieldFirst);
  ost.AvFilter = "null";
  MatchPerStreamOption(*this, AOptions.Filters, AContext, stream, ost.AvFilter);
  return ost;
}

TOutputStream& TTranscodeTask::NewAudioStream(TOptionsContext& AOptions, AVFormatContext* AContext,
                                              int ASource) {
  TOutputStream& ost = *OutputStreams.back();
  AVStream* stream = ost.Stream;
  AVCodecContext* enc = ost.EncoderContext.get();
  if (ost.StreamCopy) return ost;

  int channels = 0;
  MatchPerStreamOption(*this, AOptions.AudioChannels, AContext, stream, channels);
  if (channels > 0) {
    AV.av_channel_layout_uninit(&enc->ch_layout);
    AV.av_channel_layout_default(&enc->ch_layout, channels);
  }
  std::string format;
  MatchPerStreamOption(*this, AOptions.SampleFmts, AContext, stream, format);
  if (!format.empty() && (enc->sample_fmt = AV.av_get_sample_fmt(format.c_str())) ==
                             AV_SAMPLE_FMT_NONE)
    FatalErrorFmt("Invalid sample format \"%s\"", format.c_str());
  MatchPerStreamOption(*this, AOptions.AudioSampleRates, AContext, stream, enc->sample_rate);
  ost.AvFilter = "anull";
  MatchPerStreamOption(*this, AOptions.Filters, AContext, stream, ost.AvFilter);

  const TInputStream* ist = ASource >= 0 ? InputStreams[static_cast<size_t>(ASource)].get() : nullptr;
  for (const TAudioChannelMap& map : AOptions.AudioChannelMaps) {
    const bool fromThis = map.ChannelIndex == -1 ||
                          (ist && ist->FileIndex == map.FileIndex &&
                           ist->Stream->index == map.StreamIndex);
    if (!fromThis || (map.OutFileIndex != -1 && map.OutFileIndex != ost.FileIndex) ||
        (map.OutStreamIndex != -1 && map.OutStreamIndex != stream->index))
      continue;
    if (ost.AudioChannelsMap.size() < 32)
      ost.AudioChannelsMap.push_back(map.ChannelIndex);
    else
      FFLogger().LogFmt(this, TLogLevel::llFatal, "Max channel mapping for output %d.%d reached",
                        ost.FileIndex, stream->index);
  }
  return ost;
}

TOutputStream& TTranscodeTask::NewSubtitleStream(TOptionsContext& AOptions,
                                                 AVFormatContext* AContext, int) {
  TOutputStream& ost = *OutputStreams.back();
  if (ost.StreamCopy) {
    MatchPerStreamOption(*this, AOptions.CopyInitialNonKeyframes, AContext, ost.Stream,
                         ost.CopyInitialNonKeyframes);
    return ost;
  }
  std::string size;
  MatchPerStreamOption(*this, AOptions.FrameSizes, AContext, ost.Stream, size);
  AVCodecContext* enc = ost.EncoderContext.get();
  if (!size.empty() && AV.av_parse_video_size(&enc->width, &enc->height, size.c_str()) < 0)
    FatalErrorFmt("Invalid frame size: %s.", size.c_str());
  return ost;
}

void TTranscodeTask::InitOutputFilter(TOutputFilter& AFilter, TOptionsContext& AOptions,
                                      AVFormatContext* AContext) {
  const AVFilterContext* ctx = AFilter.OutTmp->filter_ctx;
  const AVMediaType type = AV.avfilter_pad_get_type(ctx->output_pads, AFilter.OutTmp->pad_idx);
  if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
    FatalError("Only video and audio filters are supported currently.");
  TOutputStream& ost = NewOutputStream(AOptions, AContext, type, -1);
  ost.SourceIndex = -1;
  ost.Filter = &AFilter;
  AFilter.Ost = &ost;
  if (ost.StreamCopy)
    FatalErrorFmt("Streamcopy requested for output stream %d:%d, which is fed from a complex "
                  "filtergraph. Filtering and streamcopy cannot be used together.",
                  ost.FileIndex, ost.Index);
  if (ConfigureOutputFilter(*AFilter.Graph, AFilter, AFilter.OutTmp) < 0)
    FatalError("Error configuring filter.");
  AV.avfilter_inout_free(&AFilter.OutTmp);
}
