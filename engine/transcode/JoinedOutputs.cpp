// Joined outputs: every further input of a join task becomes a part of the
// first output, with its own output file record and stream records that
// share the first part's muxer, streams and encoders.
#include "TranscodeTask.h"

#include "FFLog.h"
#include "FFText.h"
#include "FileNames.h"

namespace {

// A part's copy of an output stream: what it shares (stream, encoder, filter
// chain) is shared, what it owns (options, counters) is its own.
std::unique_ptr<TOutputStream> CopyForPart(const TOutputStream& ASource, int AFileIndex) {
  auto copy = std::make_unique<TOutputStream>();
  copy->FileIndex = AFileIndex;
  copy->Index = ASource.Index;
  copy->Stream = ASource.Stream;
  copy->Encoder = ASource.Encoder;
  copy->EncoderContext = ASource.EncoderContext;
  copy->MaxFrames = ASource.MaxFrames;
  copy->FrameRate = ASource.FrameRate;
  copy->ForceFps = ASource.ForceFps;
  copy->TopFieldFirst = ASource.TopFieldFirst;
  copy->FrameAspectRatio = ASource.FrameAspectRatio;
  copy->ForcedKeyFramesText = ASource.ForcedKeyFramesText;
  copy->AudioChannelsMap = ASource.AudioChannelsMap;
  copy->LogFilePrefix = ASource.LogFilePrefix;
  copy->BitstreamFilters = ASource.BitstreamFilters;
  copy->BitstreamFilterChain = ASource.BitstreamFilterChain;
  copy->Pass = ASource.Pass;
  copy->AvFilter = ASource.AvFilter;
  copy->SwsFlags = ASource.SwsFlags;
  AV.av_dict_copy(copy->EncoderOpts.Ref(), ASource.EncoderOpts.Get(), 0);
  AV.av_dict_copy(copy->SwrOpts.Ref(), ASource.SwrOpts.Get(), 0);
  AV.av_dict_copy(copy->ResampleOpts.Ref(), ASource.ResampleOpts.Get(), 0);
  copy->StreamCopy = ASource.StreamCopy;
  copy->AttachmentFileName = ASource.AttachmentFileName;
  copy->CopyInitialNonKeyframes = ASource.CopyInitialNonKeyframes;
  copy->CopyPriorStart = ASource.CopyPriorStart;
  copy->KeepPixFmt = ASource.KeepPixFmt;
  return copy;
}

} // namespace

TOutputStream* TTranscodeTask::FindUnboundOutputStream(AVMediaType AType) {
  for (size_t i = OutputStreams.size() - static_cast<size_t>(JoinedStreamCount);
       i < OutputStreams.size(); ++i) {
    TOutputStream& ost = *OutputStreams[i];
    if (ost.Stream->codecpar->codec_type == AType && ost.SourceIndex == -1) return &ost;
  }
  return nullptr;
}

int TTranscodeTask::AddJoinedOutput(TOptionsContext& AOptions, int AInputIndex) {
  const int fileIndex = static_cast<int>(OutputFiles.size());
  const size_t first = OutputStreams.size() - static_cast<size_t>(JoinedStreamCount);
  for (size_t i = first; i < first + static_cast<size_t>(JoinedStreamCount); ++i)
    OutputStreams.push_back(CopyForPart(*OutputStreams[i], fileIndex));

  const TInputFile& input = *InputFiles[static_cast<size_t>(AInputIndex)];
  auto bind = [&](int ASource, TInputStream* ASync) -> bool {
    TInputStream& ist = *InputStreams[static_cast<size_t>(ASource)];
    const AVMediaType type = ist.Stream->codecpar->codec_type;
    TOutputStream* ost = FindUnboundOutputStream(type);
    if (!ost) return true; // the first part has no such stream: not taken
    ost->SourceIndex = ASource;
    ost->SyncIst = ASync ? ASync : &ist;
    ist.Discard = false;
    ist.Stream->discard = AVDISCARD_NONE;
    return true;
  };

  const AVOutputFormat* format = OutputFiles[0]->Context->oformat;
  if (AOptions.StreamMaps.empty()) {
    auto best = [&](AVMediaType AType, auto AScore) {
      int chosen = -1;
      int64_t bestScore = -1;
      for (int i = 0; i < input.StreamCount; ++i) {
        const TInputStream& ist = *InputStreams[static_cast<size_t>(input.FirstStreamIndex + i)];
        if (ist.Stream->codecpar->codec_type != AType) continue;
        const int64_t score = AScore(ist);
        if (score > bestScore) {
          bestScore = score;
          chosen = input.FirstStreamIndex + i;
        }
      }
      if (chosen >= 0) bind(chosen, nullptr);
    };
    if (!AOptions.VideoDisable && format->video_codec != AV_CODEC_ID_NONE) {
      const bool apic = AV.avformat_query_codec(format, format->video_codec, FF_COMPLIANCE_NORMAL) ==
                        static_cast<int>(MKTAG('A', 'P', 'I', 'C'));
      best(AVMEDIA_TYPE_VIDEO, [&](const TInputStream& ist) -> int64_t {
        const bool attached = ist.Stream->disposition & AV_DISPOSITION_ATTACHED_PIC;
        if (attached) return apic ? int64_t{ist.Stream->codecpar->width} * ist.Stream->codecpar->height : 1;
        return apic ? -1 : int64_t{ist.Stream->codecpar->width} * ist.Stream->codecpar->height;
      });
    }
    if (!AOptions.AudioDisable && format->audio_codec != AV_CODEC_ID_NONE)
      best(AVMEDIA_TYPE_AUDIO, [](const TInputStream& ist) -> int64_t {
        return ist.Stream->codecpar->ch_layout.nb_channels;
      });
    if (!AOptions.SubtitleDisable && format->subtitle_codec != AV_CODEC_ID_NONE)
      for (int i = 0; i < input.StreamCount; ++i)
        if (InputStreams[static_cast<size_t>(input.FirstStreamIndex + i)]
                ->Stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE) {
          bind(input.FirstStreamIndex + i, nullptr);
          break;
        }
  } else {
    for (const TStreamMap& map : AOptions.StreamMaps) {
      if (map.Disabled || !map.LinkLabel.empty() || map.FileIndex != AInputIndex) continue;
      const int source = input.FirstStreamIndex + map.StreamIndex;
      const AVMediaType type = InputStreams[static_cast<size_t>(source)]->Stream->codecpar->codec_type;
      if ((type == AVMEDIA_TYPE_VIDEO && AOptions.VideoDisable) ||
          (type == AVMEDIA_TYPE_AUDIO && AOptions.AudioDisable) ||
          (type == AVMEDIA_TYPE_SUBTITLE && AOptions.SubtitleDisable) ||
          (type == AVMEDIA_TYPE_DATA && AOptions.DataDisable))
        continue;
      if (type < AVMEDIA_TYPE_VIDEO || type > AVMEDIA_TYPE_ATTACHMENT) {
        LastErrMsg = FormatText("Cannot map stream #%d:%d - unsupported type.", map.FileIndex,
                                map.StreamIndex);
        return -1;
      }
      const TInputFile& syncFile = *InputFiles[static_cast<size_t>(map.SyncFileIndex)];
      bind(source, InputStreams[static_cast<size_t>(syncFile.FirstStreamIndex + map.SyncStreamIndex)]
                       .get());
    }
  }
  for (size_t i = OutputStreams.size() - static_cast<size_t>(JoinedStreamCount);
       i < OutputStreams.size(); ++i)
    if (OutputStreams[i]->SourceIndex == -1) {
      LastErrMsg = "Cannot join files with diffrent steams state";
      return -1;
    }

  const TOutputFile& firstFile = *OutputFiles[0];
  auto file = std::make_unique<TOutputFile>();
  file->Context = firstFile.Context;
  file->FileName = firstFile.FileName;
  AV.av_dict_copy(file->Options.Ref(), firstFile.Options.Get(), 0);
  file->FirstStreamIndex = static_cast<int>(OutputStreams.size()) - JoinedStreamCount;
  file->RecordingTime = firstFile.RecordingTime;
  file->StartTime = firstFile.StartTime;
  file->LimitFileSize = firstFile.LimitFileSize;
  file->Shortest = firstFile.Shortest;
  OutputFiles.push_back(std::move(file));
  return fileIndex;
}

int TTranscodeTask::JoinInputs(TOptionsContext& AOptions) {
  JoinedStreamCount = static_cast<int>(OutputFiles[0]->Context->nb_streams);
  for (int input = 1; input < static_cast<int>(InputFiles.size()); ++input) {
    if (AddJoinedOutput(AOptions, input) >= 0) continue;
    // Nothing of the task's outputs stays: records, muxer and an empty file.
    FFLogger().Log(this, TLogLevel::llFatal, LastErrMsg);
    const std::string fileName = OutputFiles[0]->FileName;
    for (auto& graph : FilterGraphs)
      for (auto& output : graph->Outputs)
        output->Ost = nullptr;
    FreeOutputStreams();
    OutputFiles.clear(); // the last owner of the muxer closes its file
    DeleteFileIfEmpty(fileName);
    JoinMode = false;
    JoinedStreamCount = 0;
    for (auto& ist : InputStreams) {
      ist->Discard = true;
      ist->Stream->discard = AVDISCARD_ALL;
    }
    return -1;
  }
  int64_t total = 0;
  for (const auto& file : InputFiles)
    if (file->Context->duration != AV_NOPTS_VALUE) total += file->Context->duration;
  TotalDuration = total == 0 ? -1 : total;
  return 0;
}
