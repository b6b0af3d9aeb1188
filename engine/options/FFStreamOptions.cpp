// Per-stream option resolution and the input-side stream helpers (see
// FFStreamOptions.h).
#include "FFStreamOptions.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFText.h"
#include "TaskOptions.h"

#include <cstring>
#include <new>

namespace {

bool IsOutput(const AVFormatContext* AContext) {
  return AContext->oformat != nullptr;
}

const AVOption* FindCodecOption(const AVClass* const* AClass, const char* AKey, int AFlags) {
  return AV.av_opt_find(const_cast<const AVClass**>(AClass), AKey, nullptr, AFlags,
                        AV_OPT_SEARCH_FAKE_OBJ);
}

} // namespace

int CheckStreamSpecifier(AVFormatContext* AContext, AVStream* AStream, const std::string& ASpec) {
  return AV.avformat_match_stream_specifier(AContext, AStream, ASpec.c_str());
}

void StreamSpecifierFatal(TTaskOptions& ATask, int ACode) {
  ATask.FatalError(ErrorToString("check_stream_specifier", ACode));
}

void MatchPerTypeCodecName(const TOptionsContext& AOptions, char AType, std::string& AName) {
  for (const TSpecifierOpt<std::string>& entry : AOptions.CodecNames)
    if (entry.Specifier.size() == 1 && entry.Specifier[0] == AType) AName = entry.Value;
}

TDictionary FilterCodecOptions(TTaskOptions& ATask, const AVDictionary* ADict,
                               AVCodecID ACodecId, AVFormatContext* AContext, AVStream* AStream,
                               const AVCodec* ACodec) {
  TDictionary result;
  int flags = IsOutput(AContext) ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM;
  if (!ACodec)
    ACodec =
        IsOutput(AContext) ? AV.avcodec_find_encoder(ACodecId) : AV.avcodec_find_decoder(ACodecId);
  char prefix = 0;
  switch (AStream->codecpar->codec_type) {
  case AVMEDIA_TYPE_VIDEO:
    prefix = 'v';
    flags |= AV_OPT_FLAG_VIDEO_PARAM;
    break;
  case AVMEDIA_TYPE_AUDIO:
    prefix = 'a';
    flags |= AV_OPT_FLAG_AUDIO_PARAM;
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    prefix = 's';
    flags |= AV_OPT_FLAG_SUBTITLE_PARAM;
    break;
  default:
    break;
  }
  const AVClass* codecClass = AV.avcodec_get_class();
  const AVDictionaryEntry* entry = nullptr;
  while (ADict && (entry = AV.av_dict_get(ADict, "", entry, AV_DICT_IGNORE_SUFFIX))) {
    std::string key = entry->key;
    if (const size_t colon = key.find(':'); colon != std::string::npos) {
      const int r = CheckStreamSpecifier(AContext, AStream, key.substr(colon + 1));
      if (r < 0) StreamSpecifierFatal(ATask, r);
      if (r == 0) continue;
      key.resize(colon);
    }
    if (FindCodecOption(&codecClass, key.c_str(), flags) ||
        (ACodec && ACodec->priv_class && FindCodecOption(&ACodec->priv_class, key.c_str(), flags)))
      result.Set(key.c_str(), entry->value);
    else if (prefix && key.size() > 1 && key[0] == prefix &&
             FindCodecOption(&codecClass, key.c_str() + 1, flags))
      result.Set(key.c_str() + 1, entry->value);
  }
  return result;
}

std::vector<TDictionary> FindStreamInfoOptions(TTaskOptions& ATask, AVFormatContext* AContext,
                                               const AVDictionary* ADict) {
  std::vector<TDictionary> result;
  if (AContext->nb_streams == 0) return result;
  try {
    result.reserve(AContext->nb_streams);
  } catch (const std::bad_alloc&) {
    AV.av_log(nullptr, AV_LOG_ERROR, "Could not alloc memory for stream options.\n");
    return result;
  }
  for (unsigned i = 0; i < AContext->nb_streams; ++i) {
    AVStream* stream = AContext->streams[i];
    result.push_back(
        FilterCodecOptions(ATask, ADict, stream->codecpar->codec_id, AContext, stream, nullptr));
  }
  return result;
}

const AVCodec* FindCodecByName(TTaskOptions& ATask, const std::string& AName, AVMediaType AType,
                               bool AEncoder) {
  const char* kind = AEncoder ? "encoder" : "decoder";
  const AVCodec* codec = AEncoder ? AV.avcodec_find_encoder_by_name(AName.c_str())
                                  : AV.avcodec_find_decoder_by_name(AName.c_str());
  if (!codec) {
    if (const AVCodecDescriptor* desc = AV.avcodec_descriptor_get_by_name(AName.c_str())) {
      codec = AEncoder ? AV.avcodec_find_encoder(desc->id) : AV.avcodec_find_decoder(desc->id);
      if (codec)
        FFLogger().Log(
            &ATask, TLogLevel::llVerbose,
            FormatText("Matched %s \"%s\" for codec \"%s\".", kind, codec->name, desc->name));
    }
  }
  if (!codec) ATask.FatalError(FormatText("Unknown %s \"%s\"", kind, AName.c_str()));
  if (codec->type != AType)
    ATask.FatalError(FormatText("Invalid %s type \"%s\"", kind, AName.c_str()));
  return codec;
}

const AVCodec* ChooseDecoder(TTaskOptions& ATask, const TOptionsContext& AOptions,
                             AVFormatContext* AContext, AVStream* AStream) {
  std::string name;
  MatchPerStreamOption(ATask, AOptions.CodecNames, AContext, AStream, name);
  if (name.empty()) return AV.avcodec_find_decoder(AStream->codecpar->codec_id);
  const AVCodec* codec = FindCodecByName(ATask, name, AStream->codecpar->codec_type, false);
  AStream->codecpar->codec_id = codec->id;
  return codec;
}

bool GuessInputChannelLayout(void* ASender, AVChannelLayout& ALayout, int AGuessLayoutMax,
                             int AFileIndex, int AStreamIndex) {
  if (ALayout.order != AV_CHANNEL_ORDER_UNSPEC) return true;
  const int channels = ALayout.nb_channels;
  if (channels > AGuessLayoutMax) return false;
  AVChannelLayout guess{};
  AV.av_channel_layout_default(&guess, channels);
  // The default of an unusual count is only "so many unknown channels".
  if (guess.order == AV_CHANNEL_ORDER_UNSPEC || guess.nb_channels == 0) return false;
  AV.av_channel_layout_uninit(&ALayout);
  ALayout = guess;
  char name[256];
  if (AV.av_channel_layout_describe(&ALayout, name, sizeof name) < 0) name[0] = '\0';
  FFLogger().Log(ASender, TLogLevel::llWarning,
                 FormatText("Guessed Channel Layout for  Input Stream #%d.%d : %s", AFileIndex,
                            AStreamIndex, name));
  return true;
}

bool CheckFileOverwrite(TTaskOptions& ATask, const std::string& AFileName) {
  if (ATask.FileOverwrite && !ATask.NoFileOverwrite) return true;
  // The libraries' own lookup decides what is a local file, so a ":" inside a
  // path is not taken for a protocol.
  const char* protocol = AV.avio_find_protocol_name(AFileName.c_str());
  if (!protocol || std::strcmp(protocol, "file") != 0) return true;
  if (AV.avio_check(AFileName.c_str(), 0) != 0) return true;
  ATask.LastErrMsg = FormatText("File \"%s\" already exists. Ignore.", AFileName.c_str());
  FFLogger().Log(&ATask, TLogLevel::llWarning, ATask.LastErrMsg);
  return false;
}

void SaveAttachment(TTaskOptions& ATask, AVStream* AStream, int AInputIndex,
                    const std::string& AFileName) {
  const AVCodecParameters* par = AStream->codecpar;
  if (!par->extradata || par->extradata_size <= 0) {
    FFLogger().Log(
        &ATask, TLogLevel::llWarning,
        FormatText("No extradata to dump in stream #%d:%d.", AInputIndex, AStream->index));
    return;
  }
  std::string fileName = AFileName;
  if (fileName.empty()) {
    // Only the tag's base name: the input must not choose where we write.
    const AVDictionaryEntry* tag = AV.av_dict_get(AStream->metadata, "filename", nullptr, 0);
    if (tag) {
      fileName = tag->value;
      fileName.erase(0, fileName.find_last_of('/') + 1);
      if (fileName == "." || fileName == "..") fileName.clear();
    }
    if (fileName.empty())
      ATask.FatalError(FormatText("No filename specified and no \"filename\" tag in stream #%d:%d.",
                                  AInputIndex, AStream->index));
    // Nor by a protocol prefix ("pipe:5" would write into an open file).
    fileName.insert(0, "file:");
  }
  if (!CheckFileOverwrite(ATask, fileName)) return;
  AVIOContext* raw = nullptr;
  ATask.StartWriteTimer();
  const int opened =
      AV.avio_open2(&raw, fileName.c_str(), AVIO_FLAG_WRITE, ATask.WriteIOInterrupt(), nullptr);
  TAVIOOutput out(raw);
  if (opened < 0) {
    ATask.StopWriteTimer();
    FFLogger().Log(&ATask, TLogLevel::llError,
                   FormatText("Could not open file %s for writing.", fileName.c_str()));
    return;
  }
  AV.avio_write(out.get(), par->extradata, par->extradata_size);
  AV.avio_flush(out.get());
  out.reset();
  ATask.StopWriteTimer();
}
