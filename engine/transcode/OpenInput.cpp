// Opening an input: its options routed to the format, the open and probe
// under the read time-out, the "ss" seek, and the input records.
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFOptions.h"
#include "FFStreamOptions.h"
#include "FFText.h"
#include "FileNames.h"
#include "InputFormatRegistry.h"
#include "LibAVLog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// The last value given for a per-stream option, whatever its specifier.
template <class T> const T* LastGiven(const TSpecifierOptList<T>& AList) {
  return AList.empty() ? nullptr : &AList.back().Value;
}

bool FormatHasOption(const AVInputFormat* AFormat, const char* AName) {
  if (!AFormat || !AFormat->priv_class) return false;
  const AVClass* cls = AFormat->priv_class;
  return AV.av_opt_find(&cls, AName, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

// A screen or sound input device stamps what it delivers with the time it
// was taken (a generated source such as lavfi is a device too, but not one
// of these).
bool IsRealTimeFormat(const AVInputFormat* AFormat) {
  if (!AFormat) return false;
  if (AFormat->name && FindRegisteredInputFormat(AFormat->name) == AFormat) return true;
  if (!AFormat->priv_class) return false;
  switch (AFormat->priv_class->category) {
  case AV_CLASS_CATEGORY_DEVICE_VIDEO_INPUT:
  case AV_CLASS_CATEGORY_DEVICE_AUDIO_INPUT:
    return true;
  default:
    return false;
  }
}

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

} // namespace

int TTranscodeTask::OpenFailure(const std::string& AText, int ACode) {
  LastErrMsg = AText;
  FFLogger().Log(this, TLogLevel::llFatal, AText);
  return ACode;
}

int TTranscodeTask::OpenInputFile(TOptionsContext& AOptions, const std::string& AOptionText,
                                  const std::string& AFileName, const std::string& APresets) {
  int result = ParseOptions(AOptions, AOptionText, AFileName, APresets);
  if (result < 0) return result;

  const AVInputFormat* format = nullptr;
  if (AOptions.Format) {
    format = FindInputFormat(AOptions.Format->c_str());
    if (!format)
      return OpenFailure(FormatText("Unknown input format: \"%s\"", AOptions.Format->c_str()),
                         AVERROR(EINVAL));
  }

  AVFormatContext* raw = AV.avformat_alloc_context();
  if (!raw) return OpenFailure("avformat_alloc_context() failed", AVERROR(ENOMEM));
  TFormatContextPtr allocated(raw);

  // What the format takes from the input's own options.
  TDictionary formatOpts;
  AV.av_dict_copy(formatOpts.Ref(), AOptions.Group->FormatOpts.Get(), 0);
  if (const int* rate = LastGiven(AOptions.AudioSampleRates))
    formatOpts.Set("sample_rate", std::to_string(*rate).c_str());
  if (const int* channels = LastGiven(AOptions.AudioChannels);
      channels && AOptions.Format && FormatHasOption(format, "channels"))
    formatOpts.Set("channels", std::to_string(*channels).c_str());
  if (const std::string* rate = LastGiven(AOptions.FrameRates);
      rate && AOptions.Format && FormatHasOption(format, "framerate"))
    formatOpts.Set("framerate", rate->c_str());
  if (const std::string* size = LastGiven(AOptions.FrameSizes))
    formatOpts.Set("video_size", size->c_str());
  if (const std::string* pixFmt = LastGiven(AOptions.FramePixFmts))
    formatOpts.Set("pixel_format", pixFmt->c_str());

  // Decoders named per media type are forced on the format.
  std::string videoCodec, audioCodec, subtitleCodec;
  MatchPerTypeCodecName(AOptions, 'v', videoCodec);
  MatchPerTypeCodecName(AOptions, 'a', audioCodec);
  MatchPerTypeCodecName(AOptions, 's', subtitleCodec);
  if (!videoCodec.empty())
    raw->video_codec_id = FindCodecByName(*this, videoCodec, AVMEDIA_TYPE_VIDEO, false)->id;
  if (!audioCodec.empty())
    raw->audio_codec_id = FindCodecByName(*this, audioCodec, AVMEDIA_TYPE_AUDIO, false)->id;
  if (!subtitleCodec.empty())
    raw->subtitle_codec_id =
        FindCodecByName(*this, subtitleCodec, AVMEDIA_TYPE_SUBTITLE, false)->id;

  raw->flags |= AVFMT_FLAG_NONBLOCK;
  raw->interrupt_callback = ReadInterrupt;

  const std::string libraryName = FFmpegFileName(AFileName);
  allocated.release(); // avformat_open_input frees it on failure
  {
    // A device names the value it refuses only in its log lines: they lead
    // the message, whose code says no more than "Invalid argument".
    TLibAVErrorLines errors;
    StartReadTimer();
    result = AV.avformat_open_input(&raw, libraryName.c_str(), format, formatOpts.Ref());
    StopReadTimer();
    if (result < 0) {
      std::string text;
      for (const std::string& line : errors.Lines())
        text += line + "\r\n";
      return OpenFailure(text + ErrorToString(AFileName, result), result);
    }
  }
  TInputContextPtr context(raw);

  CheckOptionsUsed(formatOpts.Get());
  for (unsigned i = 0; i < context->nb_streams; ++i)
    ChooseDecoder(*this, AOptions, context.get(), context->streams[i]);
  std::vector<TDictionary> probeOpts =
      FindStreamInfoOptions(*this, context.get(), AOptions.Group->CodecOpts.Get());
  DoBeforeFindStreamInfo(context.get());

  {
    std::vector<AVDictionary*> probeDicts;
    for (TDictionary& dict : probeOpts)
      probeDicts.push_back(dict.Get());
    StartReadTimer();
    result = AV.avformat_find_stream_info(context.get(),
                                          probeDicts.empty() ? nullptr : probeDicts.data());
    StopReadTimer();
    // The probe may have replaced or emptied the dictionaries it was given.
    for (size_t i = 0; i < probeOpts.size(); ++i)
      *probeOpts[i].Ref() = probeDicts[i];
  }
  if (result < 0)
    return OpenFailure(FormatText("%s: could not find codec parameters", AFileName.c_str()),
                       result);

  int64_t timestamp = AOptions.StartTime;
  if (context->start_time != AV_NOPTS_VALUE) timestamp += context->start_time;
  if (AOptions.StartTime != 0) {
    StartReadTimer();
    const int seek = AV.avformat_seek_file(context.get(), -1, INT64_MIN, timestamp, timestamp, 0);
    StopReadTimer();
    if (seek < 0)
      FFLogger().LogFmt(this, TLogLevel::llWarning, "%s: could not seek to position %0.3f",
                        AFileName.c_str(), static_cast<double>(timestamp) / AV_TIME_BASE);
  }

  const int fileIndex = static_cast<int>(InputFiles.size());
  const size_t streamsBefore = InputStreams.size();
  try {
    AddInputStreams(AOptions, context.get(), fileIndex);
  } catch (...) {
    InputStreams.resize(streamsBefore); // no half-built input stays behind
    throw;
  }
  AV.av_dump_format(context.get(), fileIndex, AFileName.c_str(), 0);

  if (context->duration != AV_NOPTS_VALUE &&
      context->duration - AOptions.StartTime > LongestInputDuration)
    LongestInputDuration = context->duration - AOptions.StartTime;

  auto file = std::make_unique<TInputFile>();
  file->FirstStreamIndex = static_cast<int>(InputStreams.size() - context->nb_streams);
  file->StreamCount = static_cast<int>(context->nb_streams);
  file->RateEmu = AOptions.RateEmu;
  file->TsOffset = AOptions.InputTsOffset - (CopyTs ? 0 : timestamp);
  file->RealTime = IsRealTimeFormat(context->iformat);
  AVFormatContext* opened = context.get();
  file->Context = std::move(context);
  InputFiles.push_back(std::move(file));

  for (const TSpecifierOpt<std::string>& dump : AOptions.DumpAttachment)
    for (unsigned i = 0; i < opened->nb_streams; ++i) {
      const int match = CheckStreamSpecifier(opened, opened->streams[i], dump.Specifier);
      if (match < 0) StreamSpecifierFatal(*this, match);
      if (match > 0) SaveAttachment(*this, opened->streams[i], fileIndex, dump.Value);
    }
  return fileIndex;
}

void TTranscodeTask::AddInputStreams(TOptionsContext& AOptions, AVFormatContext* AContext,
                                     int AFileIndex) {
  for (unsigned i = 0; i < AContext->nb_streams; ++i) {
    AVStream* stream = AContext->streams[i];
    auto ist = std::make_unique<TInputStream>();
    ist->FileIndex = AFileIndex;
    ist->Stream = stream;
    stream->discard = AVDISCARD_ALL;
    MatchPerStreamOption(*this, AOptions.TsScale, AContext, stream, ist->TsScale);

    std::string tag;
    MatchPerStreamOption(*this, AOptions.CodecTags, AContext, stream, tag);
    if (!tag.empty()) stream->codecpar->codec_tag = ParseCodecTag(tag);

    ist->Decoder = ChooseDecoder(*this, AOptions, AContext, stream);
    ist->DecoderOpts = FilterCodecOptions(*this, AOptions.Group->CodecOpts.Get(),
                                          stream->codecpar->codec_id, AContext, stream,
                                          ist->Decoder);
    MatchPerStreamOption(*this, AOptions.ReinitFilters, AContext, stream, ist->ReinitFilters);

    ist->DecoderContext.reset(AV.avcodec_alloc_context3(ist->Decoder));
    if (!ist->DecoderContext) FatalError("Error allocating the decoder context.");
    const int copied = AV.avcodec_parameters_to_context(ist->DecoderContext.get(), stream->codecpar);
    if (copied < 0) FatalError(ErrorToString("Error initializing the decoder context", copied));
    ist->DecoderContext->pkt_timebase = stream->time_base;
    AVCodecContext* dec = ist->DecoderContext.get();

    switch (stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
      ist->ResampleWidth = dec->width;
      ist->ResampleHeight = dec->height;
      ist->ResamplePixFmt = dec->pix_fmt;
      std::string rate;
      MatchPerStreamOption(*this, AOptions.FrameRates, AContext, stream, rate);
      if (!rate.empty() && AV.av_parse_video_rate(&ist->FrameRate, rate.c_str()) < 0)
        FatalErrorFmt("Error parsing framerate %s.", rate.c_str());
      MatchPerStreamOption(*this, AOptions.TopFieldFirst, AContext, stream, ist->TopFieldFirst);
      break;
    }
    case AVMEDIA_TYPE_AUDIO:
      MatchPerStreamOption(*this, AOptions.GuessLayoutMax, AContext, stream, ist->GuessLayoutMax);
      GuessInputChannelLayout(this, dec->ch_layout, ist->GuessLayoutMax, AFileIndex,
                              stream->index);
      ist->ResampleSampleFmt = dec->sample_fmt;
      ist->ResampleSampleRate = dec->sample_rate;
      ist->ResampleChannels = dec->ch_layout.nb_channels;
      ist->ResampleChannelLayout =
          dec->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? dec->ch_layout.u.mask : 0;
      break;
    case AVMEDIA_TYPE_DATA:
    case AVMEDIA_TYPE_SUBTITLE:
      MatchPerStreamOption(*this, AOptions.FixSubDuration, AContext, stream, ist->FixSubDuration);
      break;
    case AVMEDIA_TYPE_ATTACHMENT:
    case AVMEDIA_TYPE_UNKNOWN:
      break;
    default:
      FatalError("Never occur");
    }
    InputStreams.push_back(std::move(ist));
  }
}
