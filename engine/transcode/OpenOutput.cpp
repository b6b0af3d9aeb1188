// Opening an output: its context, the streams it takes (chosen or mapped),
// attachments, times, the file itself, metadata and chapters; and the undo
// of an output that failed half way.
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFMetadata.h"
#include "FFOptions.h"
#include "FFStreamOptions.h"
#include "FFText.h"
#include "FileNames.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// What an output's opening changes in the task, so that a failure can put
// it back as it was.
class TOutputUndo {
public:
  explicit TOutputUndo(TTranscodeTask& ATask)
      : FTask(ATask), FFiles(ATask.OutputFiles.size()), FStreams(ATask.OutputStreams.size()) {
    for (const auto& ist : ATask.InputStreams)
      FDiscard.emplace_back(ist->Discard, ist->Stream->discard);
  }
  ~TOutputUndo() {
    if (FDone) return;
    // The graph outputs bound to a removed stream are bound to nothing.
    for (auto& graph : FTask.FilterGraphs)
      for (auto& output : graph->Outputs)
        for (size_t i = FStreams; i < FTask.OutputStreams.size(); ++i)
          if (output->Ost == FTask.OutputStreams[i].get()) output->Ost = nullptr;
    FTask.OutputStreams.resize(FStreams);
    for (size_t i = FFiles; i < FTask.OutputFiles.size(); ++i)
      if (FTask.OutputFiles[i]->Context.use_count() == 1) FTask.OutputFiles[i]->Context.reset();
    FTask.OutputFiles.resize(FFiles);
    Context.reset(); // closes the file
    if (FCreatedFile) DeleteFileIfEmpty(FFileName);
    for (size_t i = 0; i < FDiscard.size() && i < FTask.InputStreams.size(); ++i) {
      FTask.InputStreams[i]->Discard = FDiscard[i].first;
      FTask.InputStreams[i]->Stream->discard = FDiscard[i].second;
    }
  }
  TOutputUndo(const TOutputUndo&) = delete;
  TOutputUndo& operator=(const TOutputUndo&) = delete;

  void FileCreated(const std::string& AName) {
    FCreatedFile = true;
    FFileName = AName;
  }
  void Done() { FDone = true; }

  // The context being built, until the output record takes it.
  std::shared_ptr<AVFormatContext> Context;

private:
  TTranscodeTask& FTask;
  size_t FFiles, FStreams;
  std::vector<std::pair<bool, AVDiscard>> FDiscard;
  bool FCreatedFile = false;
  bool FDone = false;
  std::string FFileName;
};

// Whether the format keeps attached pictures (cover art) as such: its codec
// query answers with the tag "APIC".
bool TakesAttachedPictures(const AVOutputFormat* AFormat) {
  return AV.avformat_query_codec(AFormat, AFormat->video_codec, FF_COMPLIANCE_NORMAL) ==
         static_cast<int>(MKTAG('A', 'P', 'I', 'C'));
}

} // namespace

int TTranscodeTask::OpenOutputFile(TOptionsContext& AOptions, const std::string& AOptionText,
                                   bool AJoin, const std::string& AFileName,
                                   const std::string& APresets) {
  int result = ParseOptions(AOptions, AOptionText, AFileName, APresets);
  if (result < 0) return result;

  auto fail = [this](const std::string& AText) {
    LastErrMsg = AText;
    FFLogger().Log(this, TLogLevel::llFatal, AText);
    return -1;
  };
  if (JoinMode || (AJoin && InputFiles.size() > 1 && !OutputFiles.empty()))
    return fail("Cannot join more than one output file.");
  const bool join = AJoin && InputFiles.size() > 1;

  TOutputUndo undo(*this);
  if (ConfigureComplexFilterGraphs() < 0) return fail("Error configuring filters.");

  const std::string libraryName = FFmpegFileName(AFileName);
  AVFormatContext* raw = nullptr;
  result = AV.avformat_alloc_output_context2(
      &raw, nullptr, AOptions.Format ? AOptions.Format->c_str() : nullptr, libraryName.c_str());
  if (result < 0 || !raw) return fail(ErrorToString(AFileName, result < 0 ? result : AVERROR(ENOMEM)));
  undo.Context.reset(raw, TOutputContextFree());
  AVFormatContext* context = raw;
  context->interrupt_callback = WriteInterrupt;

  if (AOptions.RecordingTime != INT64_MAX && AOptions.RecordingTime > LongestOutputDuration)
    LongestOutputDuration = AOptions.RecordingTime;

  // Outputs of complex graphs without a label go to the first output.
  bool graphTypes[AVMEDIA_TYPE_NB] = {};
  for (auto& graph : FilterGraphs)
    for (auto& output : graph->Outputs) {
      if (!output->OutTmp || output->OutTmp->name) continue;
      const AVMediaType type =
          AV.avfilter_pad_get_type(output->OutTmp->filter_ctx->output_pads, output->OutTmp->pad_idx);
      if (type >= 0 && type < AVMEDIA_TYPE_NB) graphTypes[type] = true;
      InitOutputFilter(*output, AOptions, context);
    }

  if ((result = ChooseStreams(AOptions, context, join, graphTypes)) < 0) return result;
  if ((result = AddAttachments(AOptions, context)) < 0) return result;

  for (size_t i = OutputStreams.size() - context->nb_streams; i < OutputStreams.size(); ++i) {
    TOutputStream& ost = *OutputStreams[i];
    if (!ost.StreamCopy) continue;
    std::string flags;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = AV.av_dict_get(AOptions.Group->CodecOpts.Get(), "flags", entry,
                                   AV_DICT_IGNORE_SUFFIX))) {
      const char* colon = std::strchr(entry->key, ':');
      if (!colon || CheckStreamSpecifier(context, ost.Stream, colon + 1) > 0) flags = entry->value;
    }
    if (!flags.empty() &&
        AV.av_opt_set(ost.EncoderContext.get(), "flags", flags.c_str(), AV_OPT_SEARCH_CHILDREN) < 0)
      return fail("failed to set flags");
  }

  if (AOptions.StopTime != INT64_MAX && AOptions.RecordingTime != INT64_MAX) {
    AOptions.StopTime = INT64_MAX;
    FFLogger().Log(this, TLogLevel::llWarning, "-t and -to cannot be used together; using -t.");
  } else if (AOptions.StopTime != INT64_MAX) {
    if (AOptions.StopTime > AOptions.StartTime)
      AOptions.RecordingTime = AOptions.StopTime - AOptions.StartTime;
    else
      FFLogger().Log(this, TLogLevel::llWarning, "-to value smaller than -ss; ignoring -to.");
  }

  auto file = std::make_unique<TOutputFile>();
  file->Context = undo.Context;
  file->FileName = AFileName;
  file->FirstStreamIndex = static_cast<int>(OutputStreams.size() - context->nb_streams);
  file->RecordingTime = AOptions.RecordingTime;
  file->StartTime = AOptions.StartTime;
  file->LimitFileSize = static_cast<uint64_t>(AOptions.LimitFileSize);
  file->Shortest = AOptions.Shortest;
  AV.av_dict_copy(file->Options.Ref(), AOptions.Group->FormatOpts.Get(), 0);
  if (AOptions.RecordingTime != INT64_MAX) context->duration = AOptions.RecordingTime;
  OutputFiles.push_back(std::move(file));
  TOutputFile& output = *OutputFiles.back();

  if ((context->oformat->flags & AVFMT_NEEDNUMBER) &&
      !AV.av_filename_number_test(libraryName.c_str()))
    return fail(ErrorToString(AFileName, AVERROR(EINVAL)));

  if (!(context->oformat->flags & AVFMT_NOFILE)) {
    struct stat before {};
    const bool existed = stat(libraryName.c_str(), &before) == 0;
    StartWriteTimer();
    result = AV.avio_open2(&context->pb, libraryName.c_str(), AVIO_FLAG_WRITE, &WriteInterrupt,
                           output.Options.Ref());
    StopWriteTimer();
    if (result < 0) return fail(ErrorToString(AFileName, result));
    if (!existed) undo.FileCreated(libraryName);
  }
  if (AOptions.MuxPreload != 0)
    output.Options.Set("preload",
                       std::to_string(std::lround(AOptions.MuxPreload * AV_TIME_BASE)).c_str());
  context->max_delay = static_cast<int>(AOptions.MuxMaxDelay * AV_TIME_BASE);

  if ((result = ApplyMetadata(AOptions, output)) < 0) return result;

  const int index = static_cast<int>(OutputFiles.size()) - 1;
  if (join) {
    if (JoinInputs(AOptions) < 0) {
      // JoinInputs removed every output; nothing of this one is left either.
      undo.Done();
      return -1;
    }
    JoinMode = true;
  }
  undo.Done();
  return index;
}

int TTranscodeTask::ChooseStreams(TOptionsContext& AOptions, AVFormatContext* AContext, bool AJoin,
                                  const bool AGraphTypes[AVMEDIA_TYPE_NB]) {
  // In a join only the first input's streams take part; the other parts bind
  // their own (AddJoinedOutput).
  const size_t candidates = AJoin ? InputFiles[0]->StreamCount : InputStreams.size();
  if (AOptions.StreamMaps.empty()) {
    const AVOutputFormat* format = AContext->oformat;
    const auto pick = [&](AVMediaType AType, auto AScore) {
      int best = -1;
      int64_t bestScore = -1;
      for (size_t i = 0; i < candidates; ++i) {
        const TInputStream& ist = *InputStreams[i];
        if (ist.Stream->codecpar->codec_type != AType) continue;
        const int64_t score = AScore(ist);
        if (score > bestScore) {
          bestScore = score;
          best = static_cast<int>(i);
        }
      }
      if (best >= 0) NewOutputStream(AOptions, AContext, AType, best);
    };
    if (!AOptions.VideoDisable && !AGraphTypes[AVMEDIA_TYPE_VIDEO] &&
        format->video_codec != AV_CODEC_ID_NONE) {
      const bool apic = TakesAttachedPictures(format);
      pick(AVMEDIA_TYPE_VIDEO, [&](const TInputStream& ist) -> int64_t {
        const bool attached = ist.Stream->disposition & AV_DISPOSITION_ATTACHED_PIC;
        if (apic && attached) return -1;
        if (attached) return 1;
        return int64_t{ist.Stream->codecpar->width} * ist.Stream->codecpar->height;
      });
    }
    if (!AOptions.AudioDisable && !AGraphTypes[AVMEDIA_TYPE_AUDIO] &&
        format->audio_codec != AV_CODEC_ID_NONE)
      pick(AVMEDIA_TYPE_AUDIO, [](const TInputStream& ist) -> int64_t {
        return ist.Stream->codecpar->ch_layout.nb_channels;
      });
    std::string subtitleCodec;
    MatchPerTypeCodecName(AOptions, 's', subtitleCodec);
    if (!AOptions.SubtitleDisable && !AGraphTypes[AVMEDIA_TYPE_SUBTITLE] &&
        (format->subtitle_codec != AV_CODEC_ID_NONE || !subtitleCodec.empty()))
      for (size_t i = 0; i < candidates; ++i)
        if (InputStreams[i]->Stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE) {
          NewOutputStream(AOptions, AContext, AVMEDIA_TYPE_SUBTITLE, static_cast<int>(i));
          break;
        }
    return 0;
  }

  for (const TStreamMap& map : AOptions.StreamMaps) {
    if (map.Disabled) continue;
    if (!map.LinkLabel.empty()) {
      TOutputFilter* found = nullptr;
      for (auto& graph : FilterGraphs)
        for (auto& output : graph->Outputs)
          if (!found && output->OutTmp && output->OutTmp->name &&
              map.LinkLabel == output->OutTmp->name)
            found = output.get();
      if (!found) {
        LastErrMsg = FormatText("Output with label \"%s\" does not exist in any defined filter "
                                "graph, or was already used elsewhere.",
                                map.LinkLabel.c_str());
        FFLogger().Log(this, TLogLevel::llFatal, LastErrMsg);
        return -1;
      }
      InitOutputFilter(*found, AOptions, AContext);
      continue;
    }
    if (AJoin && map.FileIndex != 0) continue;
    const TInputFile& file = *InputFiles[static_cast<size_t>(map.FileIndex)];
    const int source = file.FirstStreamIndex + map.StreamIndex;
    const TInputStream& ist = *InputStreams[static_cast<size_t>(source)];
    const AVMediaType type = ist.Stream->codecpar->codec_type;
    if ((type == AVMEDIA_TYPE_VIDEO && AOptions.VideoDisable) ||
        (type == AVMEDIA_TYPE_AUDIO && AOptions.AudioDisable) ||
        (type == AVMEDIA_TYPE_SUBTITLE && AOptions.SubtitleDisable) ||
        (type == AVMEDIA_TYPE_DATA && AOptions.DataDisable))
      continue;
    switch (type) {
    case AVMEDIA_TYPE_VIDEO:
    case AVMEDIA_TYPE_AUDIO:
    case AVMEDIA_TYPE_SUBTITLE:
    case AVMEDIA_TYPE_DATA:
    case AVMEDIA_TYPE_ATTACHMENT: {
      TOutputStream& ost = NewOutputStream(AOptions, AContext, type, source);
      const TInputFile& syncFile = *InputFiles[static_cast<size_t>(map.SyncFileIndex)];
      ost.SyncIst =
          InputStreams[static_cast<size_t>(syncFile.FirstStreamIndex + map.SyncStreamIndex)].get();
      break;
    }
    default:
      LastErrMsg = FormatText("Cannot map stream #%d:%d - unsupported type.", map.FileIndex,
                              map.StreamIndex);
      FFLogger().Log(this, TLogLevel::llFatal, LastErrMsg);
      return -1;
    }
  }
  return 0;
}

int TTranscodeTask::AddAttachments(TOptionsContext& AOptions, AVFormatContext* AContext) {
  for (const std::string& name : AOptions.Attachments) {
    auto fail = [&](const char* AFormat) {
      LastErrMsg = FormatText(AFormat, name.c_str());
      FFLogger().Log(this, TLogLevel::llFatal, LastErrMsg);
      return -1;
    };
    AVIOContext* raw = nullptr;
    StartReadTimer();
    const int opened = AV.avio_open2(&raw, name.c_str(), AVIO_FLAG_READ, &ReadInterrupt, nullptr);
    StopReadTimer();
    if (opened < 0) return fail("Could not open attachment file %s.");
    TAVIOOutput in(raw);
    const int64_t size = AV.avio_size(raw);
    if (size <= 0) return fail("Could not get size of the attachment %s.");
    if (size > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
      return fail("Attachment %s too large to fit into memory.");
    auto* data = static_cast<uint8_t*>(AV.av_mallocz(static_cast<size_t>(size) +
                                                     AV_INPUT_BUFFER_PADDING_SIZE));
    if (!data) return fail("Attachment %s too large to fit into memory.");
    StartReadTimer();
    const int read = AV.avio_read(raw, data, static_cast<int>(size));
    StopReadTimer();
    if (read != size) {
      AV.av_free(data);
      return fail("Could not open attachment file %s.");
    }
    TOutputStream& ost = NewOutputStream(AOptions, AContext, AVMEDIA_TYPE_ATTACHMENT, -1);
    ost.StreamCopy = false;
    ost.Finished = true;
    ost.AttachmentFileName = name;
    AVCodecParameters* par = ost.Stream->codecpar;
    par->extradata = data;
    par->extradata_size = static_cast<int>(size);
    const size_t slash = name.find_last_of('/');
    AV.av_dict_set(&ost.Stream->metadata, "filename",
                   slash == std::string::npos ? name.c_str() : name.c_str() + slash + 1,
                   AV_DICT_DONT_OVERWRITE);
  }
  return 0;
}

int TTranscodeTask::ApplyMetadata(TOptionsContext& AOptions, TOutputFile& AOutput) {
  AVFormatContext* context = AOutput.Context.get();
  auto fail = [this](const std::string& AText) {
    LastErrMsg = AText;
    FFLogger().Log(this, TLogLevel::llFatal, AText);
    return -1;
  };

  for (const TSpecifierOpt<std::string>& map : AOptions.MetadataMap) {
    char* rest = nullptr;
    const long inputIndex = std::strtol(map.Value.c_str(), &rest, 0);
    if (inputIndex >= static_cast<long>(InputFiles.size()))
      return fail(FormatText("Invalid input file index %ld while processing metadata maps",
                             inputIndex));
    AVFormatContext* input =
        inputIndex >= 0 ? InputFiles[static_cast<size_t>(inputIndex)]->Context.get() : nullptr;
    if (CopyMetadata(*this, map.Specifier, *rest ? rest + 1 : rest, AOptions, input, context) < 0)
      return -1;
  }

  int chapters = AOptions.ChaptersInputFile;
  if (chapters >= static_cast<int>(InputFiles.size()) && chapters != INT_MAX)
    return fail(FormatText("Invalid input file index %d in chapter mapping.", chapters));
  if (chapters == INT_MAX) {
    chapters = -1;
    for (size_t i = 0; i < InputFiles.size(); ++i)
      if (InputFiles[i]->Context->nb_chapters) {
        chapters = static_cast<int>(i);
        break;
      }
  }
  if (chapters >= 0 &&
      CopyChapters(*InputFiles[static_cast<size_t>(chapters)], AOutput,
                   !AOptions.MetadataChaptersManual) < 0)
    return fail("Could not copy the chapters.");

  if (!AOptions.MetadataGlobalManual && !InputFiles.empty()) {
    AV.av_dict_copy(&context->metadata, InputFiles[0]->Context->metadata, AV_DICT_DONT_OVERWRITE);
    if (AOutput.RecordingTime != INT64_MAX) AV.av_dict_set(&context->metadata, "duration", nullptr, 0);
    AV.av_dict_set(&context->metadata, "creation_time", nullptr, 0);
  }
  if (!AOptions.MetadataStreamsManual)
    for (size_t i = static_cast<size_t>(AOutput.FirstStreamIndex); i < OutputStreams.size(); ++i) {
      TOutputStream& ost = *OutputStreams[i];
      if (ost.SourceIndex < 0) continue;
      AV.av_dict_copy(&ost.Stream->metadata,
                      InputStreams[static_cast<size_t>(ost.SourceIndex)]->Stream->metadata,
                      AV_DICT_DONT_OVERWRITE);
    }

  for (const TSpecifierOpt<std::string>& entry : AOptions.Metadata) {
    const size_t equals = entry.Value.find('=');
    if (equals == std::string::npos)
      return fail(FormatText("No \"=\" character in metadata string %s.", entry.Value.c_str()));
    const std::string key = entry.Value.substr(0, equals);
    const std::string value = entry.Value.substr(equals + 1);
    const char* text = value.empty() ? nullptr : value.c_str();
    char type = 'g';
    std::string streamSpec;
    int index = 0;
    if (ParseMetadataSpec(*this, entry.Specifier, type, streamSpec, index) < 0) return -1;
    if (type == 's') {
      for (unsigned i = 0; i < context->nb_streams; ++i) {
        const int match = CheckStreamSpecifier(context, context->streams[i], streamSpec);
        if (match < 0) return fail(ErrorToString("check_stream_specifier", match));
        if (match > 0) AV.av_dict_set(&context->streams[i]->metadata, key.c_str(), text, 0);
      }
    } else if (type == 'g') {
      AV.av_dict_set(&context->metadata, key.c_str(), text, 0);
    } else if (type == 'c') {
      if (index < 0 || static_cast<unsigned>(index) >= context->nb_chapters)
        return fail(FormatText("Invalid chapter index %d in metadata specifier.", index));
      AV.av_dict_set(&context->chapters[index]->metadata, key.c_str(), text, 0);
    } else {
      return fail(FormatText("Invalid metadata specifier %s.", entry.Specifier.c_str()));
    }
  }
  return 0;
}

int TTranscodeTask::CopyChapters(const TInputFile& AInput, TOutputFile& AOutput,
                                 bool ACopyMetadata) {
  const AVFormatContext* in = AInput.Context.get();
  AVFormatContext* out = AOutput.Context.get();
  for (unsigned i = 0; i < in->nb_chapters; ++i) {
    const AVChapter* chapter = in->chapters[i];
    const int64_t offset = AV.av_rescale_q(AOutput.StartTime - AInput.TsOffset,
                                           AVRational{1, AV_TIME_BASE}, chapter->time_base);
    const int64_t length = AOutput.RecordingTime == INT64_MAX
                               ? INT64_MAX
                               : AV.av_rescale_q(AOutput.RecordingTime, AVRational{1, AV_TIME_BASE},
                                                 chapter->time_base);
    if (chapter->end < offset) continue;
    if (length != INT64_MAX && chapter->start > offset + length) break;
    auto* copy = static_cast<AVChapter*>(AV.av_mallocz(sizeof(AVChapter)));
    if (!copy) return AVERROR(ENOMEM);
    copy->id = chapter->id;
    copy->time_base = chapter->time_base;
    copy->start = std::max<int64_t>(0, chapter->start - offset);
    copy->end = std::min(length, chapter->end - offset);
    if (ACopyMetadata) AV.av_dict_copy(&copy->metadata, chapter->metadata, 0);
    auto* grown = static_cast<AVChapter**>(AV.av_realloc_array(
        out->chapters, static_cast<size_t>(out->nb_chapters) + 1, sizeof(AVChapter*)));
    if (!grown) {
      AV.av_dict_free(&copy->metadata);
      AV.av_free(copy);
      return AVERROR(ENOMEM);
    }
    out->chapters = grown;
    out->chapters[out->nb_chapters++] = copy;
  }
  return 0;
}
