// Start-up of a run: every output stream gets its parameters (copied from
// its input, or from its filter graph's sink for an encoder), the encoders
// and decoders open, forced key frames and two-pass files are prepared, the
// headers are written and the stream mapping is printed.
#include "TranscodeTask.h"

#include "FFBuffers.h"
#include "FFErrors.h"
#include "FFLog.h"
#include "FFText.h"
#include "FFValues.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

const char* const kCheckLog =
    "Please check error log message(reported by FFLogger) to find out more detail information.";

bool HasFlag(const AVOutputFormat* AFormat, int AFlag) {
  return AFormat && (AFormat->flags & AFlag);
}

} // namespace

TInputStream* TTranscodeTask::GetInputStream(const TOutputStream& AOst) const {
  return AOst.SourceIndex >= 0 ? InputStreams[static_cast<size_t>(AOst.SourceIndex)].get() : nullptr;
}

int TTranscodeTask::TranscodeInit() {
  for (auto& file : InputFiles)
    if (file->RateEmu)
      for (int i = 0; i < file->StreamCount; ++i)
        InputStreams[static_cast<size_t>(file->FirstStreamIndex + i)]->Start =
            AV.av_gettime_relative();

  for (size_t i = 0; i < OutputFiles.size(); ++i) {
    AVFormatContext* oc = OutputFiles[i]->Context.get();
    if (oc->nb_streams == 0 && !HasFlag(oc->oformat, AVFMT_NOSTREAMS)) {
      AV.av_dump_format(oc, static_cast<int>(i), oc->url, 1);
      LastErrMsg = FormatText("Output file #%d does not contain any stream", static_cast<int>(i));
      FFLogger().Log(this, TLogLevel::llError, LastErrMsg);
      return AVERROR(EINVAL);
    }
  }

  // Complex graphs had their outputs bound when the outputs opened.
  for (auto& graph : FilterGraphs) {
    if (!graph->Graph || graph->GraphDesc.empty()) continue;
    if (const int result = AV.avfilter_graph_config(graph->Graph.get(), nullptr); result < 0) {
      LastErrMsg = ErrorToString("Error configuring the filter graph \"" + graph->GraphDesc + "\"",
                                 result);
      FFLogger().Log(this, TLogLevel::llError, LastErrMsg);
      return result;
    }
  }

  std::string error;
  int result = 0;
  for (auto& ost : OutputStreams)
    if ((result = InitOutputStream(*ost, error)) < 0) break;

  // Encoders: in a join only the first part's, which the others share.
  if (result >= 0 && error.empty()) {
    const size_t owners = JoinMode ? static_cast<size_t>(JoinedStreamCount) : OutputStreams.size();
    for (size_t i = 0; i < owners && result >= 0; ++i)
      result = OpenEncoder(*OutputStreams[i], error);
  }
  if (result >= 0 && error.empty())
    for (auto& ist : InputStreams)
      if ((result = InitInputStream(*ist, error)) < 0) break;

  if (result >= 0 && error.empty())
    for (auto& file : InputFiles) {
      AVFormatContext* ic = file->Context.get();
      for (unsigned p = 0; p < ic->nb_programs; ++p) {
        AVProgram* program = ic->programs[p];
        bool allDiscarded = true;
        for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
          if (!InputStreams[static_cast<size_t>(file->FirstStreamIndex) +
                            program->stream_index[k]]
                   ->Discard)
            allDiscarded = false;
        program->discard = allDiscarded ? AVDISCARD_ALL : AVDISCARD_DEFAULT;
      }
    }

  if (result >= 0 && error.empty()) {
    const size_t headers = JoinMode ? 1 : OutputFiles.size();
    for (size_t i = 0; i < headers; ++i) {
      TOutputFile& output = *OutputFiles[i];
      AVFormatContext* oc = output.Context.get();
      oc->interrupt_callback = WriteInterrupt;
      TDictionary options;
      AV.av_dict_copy(options.Ref(), output.Options.Get(), 0);
      StartWriteTimer();
      result = AV.avformat_write_header(oc, options.Ref());
      StopWriteTimer();
      if (result < 0) {
        error = FormatText("Could not write header for output file #%d (incorrect codec "
                           "parameters ?): %s",
                           static_cast<int>(i), ErrorToString("", result).c_str());
        result = AVERROR(EINVAL);
        break;
      }
      output.HeaderWritten = true;
    }
  }

  DumpStreamMapping();
  if (!error.empty()) {
    // Logged only: the run's error names the start-up and points here.
    FFLogger().Log(this, TLogLevel::llError, error);
    return result < 0 ? result : AVERROR(EINVAL);
  }
  return result;
}

AVRational TTranscodeTask::CopyTimeBase(const TInputStream& AIst, const TOutputStream& AOst) const {
  const AVStream* in = AIst.Stream;
  const AVFormatContext* oc = OutputFiles[static_cast<size_t>(AOst.FileIndex)]->Context.get();
  const char* format = oc->oformat->name;
  // What a decoder of the stream would take as its time base: one field.
  const AVCodecContext* dec = AIst.DecoderContext.get();
  int ticks = dec && dec->ticks_per_frame > 0 ? dec->ticks_per_frame : 1;
  AVRational codecBase{0, 1};
  if (dec && dec->framerate.num && dec->framerate.den)
    codecBase = AVRational{dec->framerate.den, dec->framerate.num * ticks};
  const double stream = av_q2d(in->time_base), codec = av_q2d(codecBase);
  const AVRational real = in->r_frame_rate;
  AVRational base = in->time_base;
  if (std::strcmp(format, "avi") == 0) {
    if ((CopyTb < 0 && real.num && av_q2d(real) >= av_q2d(in->avg_frame_rate) &&
         0.5 / av_q2d(real) > stream && 0.5 / av_q2d(real) > codec && stream < 1.0 / 500 &&
         codec < 1.0 / 500) ||
        (CopyTb == 2 && real.num)) {
      base = AVRational{real.den, 2 * real.num};
    } else if (codecBase.num &&
               ((CopyTb < 0 && codec * ticks > 2 * stream && stream < 1.0 / 500) || CopyTb == 0)) {
      base = AVRational{codecBase.num * ticks, codecBase.den * 2};
    }
  } else if (!(oc->oformat->flags & AVFMT_VARIABLE_FPS)) {
    static const char* const kOwnRate[] = {"mov", "mp4", "3gp", "3g2", "psp", "ipod", "f4v"};
    const bool own = std::any_of(std::begin(kOwnRate), std::end(kOwnRate),
                                 [&](const char* AName) { return std::strcmp(format, AName) == 0; });
    if (!own && codecBase.num &&
        ((CopyTb < 0 && codec * ticks > stream && stream < 1.0 / 500) || CopyTb == 0))
      base = AVRational{codecBase.num * ticks, codecBase.den};
  }
  if (in->codecpar->codec_tag == MKTAG('t', 'm', 'c', 'd') && codec < 1 && codec > 0 &&
      codec > 1.0 / 121)
    base = codecBase;
  if (AOst.FrameRate.num) base = av_inv_q(AOst.FrameRate);
  AV.av_reduce(&base.num, &base.den, base.num, base.den, INT_MAX);
  return base;
}

int TTranscodeTask::InitOutputStream(TOutputStream& AOst, std::string& AError) {
  AVStream* st = AOst.Stream;
  AVCodecParameters* par = st->codecpar;
  AVCodecContext* enc = AOst.EncoderContext.get();
  TInputStream* ist = GetInputStream(AOst);
  auto fail = [&](const std::string& AText, int ACode) {
    LastErrMsg = AText;
    FFLogger().Log(this, TLogLevel::llError, AText);
    return ACode;
  };

  if (par->codec_type == AVMEDIA_TYPE_ATTACHMENT && !AOst.StreamCopy) return 0;

  if (AOst.StreamCopy) {
    if (!ist) return fail("Stream copy needs an input stream", AVERROR(EINVAL));
    const AVCodecParameters* in = ist->Stream->codecpar;
    if (static_cast<int64_t>(in->extradata_size) + AV_INPUT_BUFFER_PADDING_SIZE > INT_MAX)
      return fail("icodec.extradata_size is invalid (too large)", AVERROR(EINVAL));
    const uint32_t wantedTag = par->codec_tag;
    if (const int r = AV.avcodec_parameters_copy(par, in); r < 0)
      return fail("av_mallocz() failed", r);
    // The input's tag only when the muxer's tags agree with it.
    const AVOutputFormat* format = OutputFiles[static_cast<size_t>(AOst.FileIndex)]->Context->oformat;
    if (wantedTag) {
      par->codec_tag = wantedTag;
    } else if (format->codec_tag) {
      unsigned tag = 0;
      if (AV.av_codec_get_id(format->codec_tag, in->codec_tag) != in->codec_id &&
          AV.av_codec_get_tag2(format->codec_tag, in->codec_id, &tag))
        par->codec_tag = 0;
    }
    st->time_base = CopyTimeBase(*ist, AOst);
    st->avg_frame_rate = ist->Stream->avg_frame_rate;

    switch (par->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      if (AudioVolume != 256)
        return fail("-acodec copy and -vol are incompatible (frames are not decoded)",
                    AVERROR(EINVAL));
      if (HasAudioHooks())
        return fail("-acodec copy and AudioHook are incompatible (frames are not decoded)",
                    AVERROR(EINVAL));
      if ((par->block_align == 1 || par->block_align == 1152 || par->block_align == 576) &&
          par->codec_id == AV_CODEC_ID_MP3)
        par->block_align = 0;
      if (par->codec_id == AV_CODEC_ID_AC3) par->block_align = 0;
      break;
    case AVMEDIA_TYPE_VIDEO: {
      if (HasVideoHooks())
        return fail("-vcodec copy and VideoHook are incompatible (frames are not decoded)",
                    AVERROR(EINVAL));
      if (HasFrameHooks())
        return fail("-vcodec copy and FrameHook are incompatible (frames are not decoded)",
                    AVERROR(EINVAL));
      if (HasHookLibraries())
        return fail("-vcodec copy and -vhook are incompatible (frames are not decoded)",
                    AVERROR(EINVAL));
      if (HasPreview())
        return fail("-vcodec copy and PostHooks are incompatible (frames are not decoded)",
                    AVERROR(EINVAL));
      AVRational sar = ist->Stream->sample_aspect_ratio.num ? ist->Stream->sample_aspect_ratio
                                                           : par->sample_aspect_ratio;
      if (!sar.num) sar = AVRational{0, 1};
      par->sample_aspect_ratio = st->sample_aspect_ratio = sar;
      break;
    }
    case AVMEDIA_TYPE_SUBTITLE:
    case AVMEDIA_TYPE_DATA:
    case AVMEDIA_TYPE_ATTACHMENT:
      break;
    default:
      return fail("invalid codec_type of output stream", -1);
    }
    return 0;
  }

  if (!AOst.Encoder) {
    AError = FormatText("Encoder (codec %s) not found for output stream #%d:%d",
                        AV.avcodec_get_name(par->codec_id), AOst.FileIndex, AOst.Index);
    return AVERROR(EINVAL);
  }
  if (ist) ++ist->DecodingNeeded;
  AOst.EncodingNeeded = 1;

  if ((par->codec_type == AVMEDIA_TYPE_VIDEO || par->codec_type == AVMEDIA_TYPE_AUDIO) &&
      !AOst.Filter) {
    if (!ist) return fail("No input stream for output stream", AVERROR(EINVAL));
    TFilterGraph& graph = InitSimpleFilterGraph(*ist, AOst);
    // The graph's own message names the cause (a watermark picture, say).
    LastErrMsg.clear();
    if (ConfigureFilterGraph(graph) < 0)
      FatalError(LastErrMsg.empty() ? "Error opening filters!"
                                    : "Error opening filters! " + LastErrMsg);
  }
  AVFilterContext* sink = AOst.Filter ? AOst.Filter->Filter : nullptr;

  switch (par->codec_type) {
  case AVMEDIA_TYPE_VIDEO: {
    if (!AOst.FrameRate.num && sink) AOst.FrameRate = AV.av_buffersink_get_frame_rate(sink);
    if (!AOst.FrameRate.num && ist) AOst.FrameRate = ist->FrameRate;
    if (!AOst.FrameRate.num && ist) AOst.FrameRate = ist->Stream->r_frame_rate;
    if (!AOst.FrameRate.num || !AOst.FrameRate.den) AOst.FrameRate = AVRational{25, 1};
    if (AOst.Encoder->supported_framerates && !AOst.ForceFps)
      AOst.FrameRate = AOst.Encoder->supported_framerates[AV.av_find_nearest_q_idx(
          AOst.FrameRate, AOst.Encoder->supported_framerates)];
    enc->time_base = av_inv_q(AOst.FrameRate);
    if (!enc->time_base.num || !enc->time_base.den)
      enc->time_base = AV.av_buffersink_get_time_base(sink);
    enc->framerate = AOst.FrameRate;
    const AVOutputFormat* format = OutputFiles[static_cast<size_t>(AOst.FileIndex)]->Context->oformat;
    if (av_q2d(enc->time_base) < 0.001 && VideoSyncMethod != 0 &&
        (VideoSyncMethod == 1 || (VideoSyncMethod == -1 && !HasFlag(format, AVFMT_VARIABLE_FPS))))
      AV.av_log(OutputFiles[static_cast<size_t>(AOst.FileIndex)]->Context.get(), AV_LOG_WARNING,
                "Frame rate very high for a muxer not efficiently supporting it.\nPlease consider "
                "specifying a lower framerate, a different muxer or -vsync 2\n");
    enc->width = AV.av_buffersink_get_w(sink);
    enc->height = AV.av_buffersink_get_h(sink);
    enc->pix_fmt = AOst.Filter->Conversion
                       ? TYuvConversion::kTarget
                       : static_cast<AVPixelFormat>(AV.av_buffersink_get_format(sink));
    if (AOst.FrameAspectRatio > 0)
      enc->sample_aspect_ratio = AV.av_d2q(AOst.FrameAspectRatio * enc->height / enc->width, 255);
    else
      enc->sample_aspect_ratio = AV.av_buffersink_get_sample_aspect_ratio(sink);
    st->sample_aspect_ratio = enc->sample_aspect_ratio;
    if (!ist || enc->width != ist->ResampleWidth || enc->height != ist->ResampleHeight ||
        enc->pix_fmt != ist->ResamplePixFmt)
      enc->bits_per_raw_sample = FrameBitsPerRawSample;
    if (AOst.ForcedKeyFramesText.rfind("expr:", 0) == 0) {
      AVExpr* expression = nullptr;
      static const char* const kNames[] = {"n", "n_forced", "prev_forced_n", "prev_forced_t", "t",
                                           nullptr};
      const int parsed = AV.av_expr_parse(&expression, AOst.ForcedKeyFramesText.c_str() + 5,
                                          kNames, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
      if (parsed < 0)
        return fail(FormatText("Invalid force_key_frames expression \"%s\"",
                               AOst.ForcedKeyFramesText.c_str() + 5),
                    parsed);
      AOst.ForcedKeyFramesExpr.reset(expression);
      AOst.ForcedKeyFramesValues[0] = AOst.ForcedKeyFramesValues[1] = 0;
      AOst.ForcedKeyFramesValues[2] = AOst.ForcedKeyFramesValues[3] = NAN;
    } else if (!AOst.ForcedKeyFramesText.empty()) {
      ParseForcedKeyFrames(AOst);
    }
    break;
  }
  case AVMEDIA_TYPE_AUDIO:
    enc->sample_fmt = static_cast<AVSampleFormat>(AV.av_buffersink_get_format(sink));
    enc->sample_rate = AV.av_buffersink_get_sample_rate(sink);
    AV.av_channel_layout_uninit(&enc->ch_layout);
    AV.av_buffersink_get_ch_layout(sink, &enc->ch_layout);
    enc->time_base = AVRational{1, enc->sample_rate};
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    enc->time_base = AVRational{1, 1000};
    if (!enc->width && ist) {
      enc->width = ist->DecoderContext->width;
      enc->height = ist->DecoderContext->height;
    }
    break;
  default:
    return fail("invalid codec_type of output stream", -1);
  }

  if (enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) {
    const std::string name = FormatText("%s-%d.log",
                                        AOst.LogFilePrefix.empty() ? "ffencoder2pass"
                                                                   : AOst.LogFilePrefix.c_str(),
                                        AOst.Index);
    if (std::strcmp(AOst.Encoder->name, "libx264") == 0) {
      AOst.EncoderOpts.Set("stats", name.c_str(), AV_DICT_DONT_OVERWRITE);
    } else {
      if (enc->flags & AV_CODEC_FLAG_PASS2) {
        TAVBuffer buffer;
        int size = 0;
        const int read = ReadWholeFile(name, buffer, size);
        if (read == AVERROR(ENOMEM))
          return fail(FormatText("Could not allocate file buffer: Error reading log file \"%s\" "
                                 "for pass-2 encoding",
                                 name.c_str()),
                      read);
        if (read < 0)
          return fail(FormatText("Error reading log file \"%s\" for pass-2 encoding", name.c_str()),
                      -1);
        enc->stats_in = reinterpret_cast<char*>(buffer.release());
      }
      if (enc->flags & AV_CODEC_FLAG_PASS1) {
        FILE* file = std::fopen(name.c_str(), "wb");
        if (!file)
          return fail(FormatText("Cannot write log file %s for pass-1 encoding", name.c_str()), -1);
        AOst.LogFile.reset(file, &std::fclose);
      }
    }
  }
  return 0;
}

int TTranscodeTask::OpenEncoder(TOutputStream& AOst, std::string& AError) {
  AVStream* st = AOst.Stream;
  if (!AOst.EncodingNeeded) {
    // The muxer reads a copy's parameters from the stream; nothing to open,
    // but its packets go through the bitstream filters too.
    return AOst.StreamCopy ? InitBitstreamFilters(AOst, AError) : 0;
  }
  AVCodecContext* enc = AOst.EncoderContext.get();
  TInputStream* ist = GetInputStream(AOst);
  if (ist && ist->DecoderContext->subtitle_header) {
    const int size = ist->DecoderContext->subtitle_header_size;
    enc->subtitle_header = static_cast<uint8_t*>(AV.av_mallocz(static_cast<size_t>(size) + 1));
    if (!enc->subtitle_header) {
      AError = "av_malloc failed";
      return AVERROR(ENOMEM);
    }
    std::memcpy(enc->subtitle_header, ist->DecoderContext->subtitle_header,
                static_cast<size_t>(size));
    enc->subtitle_header_size = size;
  }
  TDictionary options;
  AV.av_dict_copy(options.Ref(), AOst.EncoderOpts.Get(), 0);
  if (std::strcmp(AOst.Encoder->name, "mjpeg") == 0)
    options.Set("threads", "1");
  else if (!options.Value("threads"))
    options.Set("threads", "auto");
  int result = AV.avcodec_open2(enc, AOst.Encoder, options.Ref());
  if (result < 0) {
    if (result == AVERROR_EXPERIMENTAL) AbortExperimental();
    AError = FormatText("Error while opening encoder for output stream #%d:%d (%s) - maybe "
                        "incorrect parameters such as bit_rate, rate, width or height. %s",
                        AOst.FileIndex, AOst.Index,
                        AV.av_get_media_type_string(enc->codec_type), kCheckLog);
    return result;
  }
  AOst.EncoderOpened = true;
  if (enc->codec_type == AVMEDIA_TYPE_AUDIO && AOst.Filter && AOst.Filter->Filter &&
      !(AOst.Encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
    AV.av_buffersink_set_frame_size(AOst.Filter->Filter, static_cast<unsigned>(enc->frame_size));
  CheckOptionsUsed(options.Get());
  if (enc->bit_rate && enc->bit_rate < 1000)
    FFLogger().Log(this, TLogLevel::llWarning,
                   "The bitrate parameter is set too low. It takes bits/s as argument, not "
                   "kbits/s");
  ExtraSize += enc->extradata_size;

  if ((result = AV.avcodec_parameters_from_context(st->codecpar, enc)) < 0) {
    AError = ErrorToString("Error initializing the output stream codec parameters", result);
    return result;
  }
  st->time_base = enc->time_base;
  if (enc->codec_type == AVMEDIA_TYPE_VIDEO) st->avg_frame_rate = AOst.FrameRate;
  return InitBitstreamFilters(AOst, AError);
}

int TTranscodeTask::InitBitstreamFilters(TOutputStream& AOst, std::string& AError) {
  AVStream* st = AOst.Stream;
  int result = 0;
  if (!AOst.BitstreamFilters.empty()) {
    AVBSFContext* bsf = nullptr;
    if ((result = AV.av_bsf_list_parse_str(AOst.BitstreamFilters.c_str(), &bsf)) < 0 ||
        (result = AV.avcodec_parameters_copy(bsf->par_in, st->codecpar)) < 0) {
      AV.av_bsf_free(&bsf);
      AError = ErrorToString("Error initializing bitstream filter " + AOst.BitstreamFilters, result);
      return result;
    }
    bsf->time_base_in = st->time_base;
    if ((result = AV.av_bsf_init(bsf)) < 0) {
      AV.av_bsf_free(&bsf);
      AError = ErrorToString("Error initializing bitstream filter " + AOst.BitstreamFilters, result);
      return result;
    }
    AV.avcodec_parameters_copy(st->codecpar, bsf->par_out);
    AOst.BitstreamFilterChain.reset(bsf, [](AVBSFContext* b) { AV.av_bsf_free(&b); });
  }
  return 0;
}

int TTranscodeTask::InitInputStream(TInputStream& AIst, std::string& AError) {
  AIst.NextPts = AIst.NextDts = AV_NOPTS_VALUE;
  if (!AIst.DecodingNeeded) return 0;
  if (!AIst.Decoder) {
    AError = FormatText("Decoder (codec %s) not found for input stream #%d:%d",
                        AV.avcodec_get_name(AIst.Stream->codecpar->codec_id), AIst.FileIndex,
                        AIst.Stream->index);
    return AVERROR(EINVAL);
  }
  AVCodecContext* dec = AIst.DecoderContext.get();
  if (AIst.Decoder->type == AVMEDIA_TYPE_VIDEO && (AIst.Decoder->capabilities & AV_CODEC_CAP_DR1) &&
      !DoDeinterlace) {
    AIst.Pool = std::make_unique<TFramePool>();
    AIst.Pool->Install(dec);
  }
  TDictionary options;
  AV.av_dict_copy(options.Ref(), AIst.DecoderOpts.Get(), 0);
  if (!options.Value("threads")) options.Set("threads", "auto");
  const int result = AV.avcodec_open2(dec, AIst.Decoder, options.Ref());
  if (result < 0) {
    if (result == AVERROR_EXPERIMENTAL) AbortExperimental();
    AError = ErrorToString(FormatText("Error while opening decoder for input stream #%d:%d",
                                      AIst.FileIndex, AIst.Stream->index),
                           result);
    return result;
  }
  AIst.DecoderOpened = true;
  CheckOptionsUsed(options.Get());
  return 0;
}

void TTranscodeTask::ParseForcedKeyFrames(TOutputStream& AOst) {
  const AVCodecContext* enc = AOst.EncoderContext.get();
  const AVFormatContext* oc = OutputFiles[static_cast<size_t>(AOst.FileIndex)]->Context.get();
  std::vector<int64_t> times;
  std::string text = AOst.ForcedKeyFramesText;
  for (size_t at = 0; at <= text.size();) {
    const size_t comma = text.find(',', at);
    const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (item.rfind("chapters", 0) == 0) {
      const int64_t offset =
          item.size() > 8 ? ParseTimeOption("force_key_frames", item.substr(8), true) : 0;
      for (unsigned c = 0; c < oc->nb_chapters; ++c)
        times.push_back(AV.av_rescale_q(oc->chapters[c]->start, oc->chapters[c]->time_base,
                                        enc->time_base) +
                        AV.av_rescale_q(offset, AVRational{1, AV_TIME_BASE}, enc->time_base));
    } else if (!item.empty()) {
      times.push_back(AV.av_rescale_q(ParseTimeOption("force_key_frames", item, true),
                                      AVRational{1, AV_TIME_BASE}, enc->time_base));
    }
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  std::sort(times.begin(), times.end());
  AOst.ForcedKeyFrames = std::move(times);
}

void TTranscodeTask::DumpStreamMapping() {
  const size_t outputs = JoinMode ? std::min<size_t>(1, OutputFiles.size()) : OutputFiles.size();
  for (size_t i = 0; i < outputs; ++i) {
    AVFormatContext* oc = OutputFiles[i]->Context.get();
    AV.av_dump_format(oc, static_cast<int>(i), oc->url, 1);
  }
  FFLogger().Log(this, TLogLevel::llInfo, "Stream mapping:");
  const bool severalGraphs = FilterGraphs.size() > 1;
  for (const auto& ist : InputStreams)
    for (const TInputFilter* filter : ist->Filters) {
      if (filter->Graph->GraphDesc.empty()) continue;
      std::string line = FormatText("  Stream #%d:%d (%s) -> %s", ist->FileIndex, ist->Stream->index,
                                    ist->Decoder ? ist->Decoder->name : "?", filter->Name.c_str());
      if (severalGraphs) line += FormatText(" (graph %d)", filter->Graph->Index);
      FFLogger().Log(this, TLogLevel::llInfo, line);
    }
  for (const auto& ost : OutputStreams) {
    std::string line;
    if (!ost->AttachmentFileName.empty()) {
      line = FormatText("  File %s -> Stream #%d:%d", ost->AttachmentFileName.c_str(),
                        ost->FileIndex, ost->Index);
    } else if (ost->Filter && !ost->Filter->Graph->GraphDesc.empty()) {
      line = "  " + ost->Filter->Name;
      if (severalGraphs) line += FormatText(" (graph %d)", ost->Filter->Graph->Index);
      line += FormatText(" -> Stream #%d:%d (%s)", ost->FileIndex, ost->Index,
                         ost->Encoder ? ost->Encoder->name : "?");
    } else if (const TInputStream* ist = GetInputStream(*ost)) {
      line = FormatText("  Stream #%d:%d -> #%d:%d", ist->FileIndex, ist->Stream->index,
                        ost->FileIndex, ost->Index);
      if (ost->SyncIst && ost->SyncIst != ist)
        line += FormatText(" [sync #%d:%d]", ost->SyncIst->FileIndex, ost->SyncIst->Stream->index);
      if (ost->StreamCopy)
        line += " (copy)";
      else
        line += FormatText(" (%s -> %s)", ist->Decoder ? ist->Decoder->name : "?",
                           ost->Encoder ? ost->Encoder->name : "?");
      line += FormatText(" (%s)", AV.av_get_media_type_string(ost->Stream->codecpar->codec_type));
    } else {
      continue;
    }
    FFLogger().Log(this, TLogLevel::llInfo, line);
  }
}
