// The transcode loop: one step at a time the output stream that lags most
// gets data from the input or filter graph that feeds it, until the stop
// flag or the end of every input; then the decoders and graphs are drained,
// the encoders flushed, the trailers written and every codec closed.
#include "TranscodeTask.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFText.h"
#include "FileNames.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <thread>

namespace {

// How long a stopped device may take to hand over what it took before the
// stop: a few frame intervals, and far less than anyone waits for a stop.
constexpr int64_t kStopGrace = 250000; // microseconds
// How long a stop's drain encodes every picture a device took before the
// stop. An encoder slower than real time may find a backlog it needs
// seconds for: past this time only the newest picture is encoded, at its
// own slot, and the time of those left out stays in the file as a gap.
constexpr int64_t kDrainBudget = 250000; // microseconds

const char* const kCheckLog =
    "Please check error log message(reported by FFLogger) to find out more detail information.";

// The text of the exception being handled; an FFmpegException's is the task's
// last error, AFatalText.
std::string RaisedText(const std::string& AFatalText) {
  try {
    throw;
  } catch (const FFmpegException& e) {
    return !AFatalText.empty() ? AFatalText : *e.what() ? e.what() : "Unknown error";
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& e) {
    return *e.what() ? e.what() : "Unknown error";
  } catch (...) {
    return "Unknown error";
  }
}

} // namespace

bool TTranscodeTask::RunTranscode() {
  LastErrMsg.clear();
  FRunError.clear();
  FStopAt = INT64_MAX;
  bool finished = false;
  int64_t timerStart = 0;
  try {
    const int init = TranscodeInit();
    if (init < 0) {
      if (LastErrMsg.empty())
        LastErrMsg = ErrorToString("transcode_init() error", init) + ". " + kCheckLog;
      throw FFmpegException(LastErrMsg);
    }
    if (TotalDuration < 0) TotalDuration = LongestOutputDuration > 0 ? LongestOutputDuration : -1;
    if (TotalDuration < 0 && LongestInputDuration > 0) TotalDuration = LongestInputDuration;

    timerStart = AV.av_gettime_relative();
    PartIndex = 0;
    SetJoinRange();
    TClockSpans pauses;
    while (!StopRequested()) {
      if (PassPause(pauses)) {
        for (const auto& [from, to] : pauses)
          CutPause(from, to);
        if (StopRequested()) break;
      }
      const int64_t now = AV.av_gettime_relative();
      if (!NeedOutput()) {
        FFLogger().Log(this, TLogLevel::llVerbose, "No more output streams to write to, finishing.");
        break;
      }
      const int result = TranscodeStep();
      if (result >= 0) {
        PrintReport(false, timerStart, now);
        continue;
      }
      if (result == AVERROR_EOF || result == AVERROR(EAGAIN)) continue;
      FRunError = ErrorToString("Error while filtering", result);
      FFLogger().Log(this, TLogLevel::llError, FRunError);
      break;
    }
    if (StopRequested()) DrainRealTimeInputs();
    // Drain: decoders, then what the graphs still hold, then the encoders.
    for (auto& ist : InputStreams)
      if (!InputFiles[static_cast<size_t>(ist->FileIndex)]->EndOfFile && ist->DecodingNeeded &&
          !ist->Flushed) {
        ist->Flushed = true;
        OutputPacket(*ist, nullptr);
      }
    FinishGraphs();
    // After what the graphs held: no older picture may follow the last one.
    if (StopRequested()) EndPicturesAtStop();
    FlushEncoders();
    finished = !StopRequested() && FRunError.empty();
  } catch (...) {
    // Whatever ends the loop, what was written is closed as a file.
    if (FRunError.empty()) FRunError = RaisedText(LastErrMsg);
  }
  // What was written stays readable, also after an error.
  const size_t trailers = JoinMode ? std::min<size_t>(1, OutputFiles.size()) : OutputFiles.size();
  for (size_t i = 0; i < trailers; ++i) {
    TOutputFile& output = *OutputFiles[i];
    if (!output.HeaderWritten) continue;
    StartWriteTimer();
    const int result = AV.av_write_trailer(output.Context.get());
    StopWriteTimer();
    output.HeaderWritten = false;
    if (result < 0 && FRunError.empty())
      FRunError = ErrorToString("Error writing the trailer of output file #" + std::to_string(i),
                                result);
  }
  try {
    PrintReport(true, timerStart, AV.av_gettime_relative());
  } catch (...) {
  }
  CloseEncoders();
  CloseDecoders();
  if (!FRunError.empty()) {
    LastErrMsg = FRunError;
    throw FFmpegException(FRunError);
  }
  return finished;
}

void TTranscodeTask::CloseEncoders() {
  // An encoder is freed with the last record that shares it; closed, it
  // takes no more frames.
  for (auto& ost : OutputStreams)
    ost->EncoderOpened = false;
}

void TTranscodeTask::CloseDecoders() {
  for (auto& ist : InputStreams) {
    if (!ist->DecoderOpened) continue;
    ist->DecoderOpened = false;
    ist->DecoderContext.reset();
  }
}

void TTranscodeTask::FreeTranscodeState() {
  std::vector<std::string> written;
  for (const auto& output : OutputFiles)
    if (!(output->Context->oformat->flags & AVFMT_NOFILE)) written.push_back(output->FileName);
  FilterGraphs.clear();
  OutputStreams.clear();
  OutputFiles.clear(); // closes every file
  for (const std::string& name : written)
    DeleteFileIfEmpty(name);
  InputStreams.clear();
  InputFiles.clear();
  FVStatsFile.reset();
  FSubtitleBuffer.clear();
  JoinMode = false;
  JoinedStreamCount = 0;
}

void TTranscodeTask::DrainRealTimeInputs() {
  // What a device took before the stop and still holds in its queue belongs
  // to the recording; what it takes later does not (ProcessInput drops it),
  // even when a busy loop notices the stop late.
  FStopAt = std::min(AV.av_gettime_relative(), StopRequestTime());
  for (size_t i = 0; i < InputFiles.size(); ++i) {
    const TInputFile& file = *InputFiles[i];
    if (!file.RealTime) continue;
    // A device that buffers (sound in whole buffers) hands over what it
    // holds when asked to pause; one that cannot says so, and goes on.
    [[maybe_unused]] const int paused = AV.av_read_pause(file.Context.get());
    // What was handed over at the pause may stand behind packets taken
    // after the stop: those are dropped and the queue is read on until it
    // is empty. A packet taken after the stop comes after everything taken
    // before it (a picture under way at the stop included); until one has
    // come, that picture is waited for (the first one too, when the stop
    // came before the loop read anything).
    bool pastStop = false;
    while (!file.EndOfFile && NeedOutput()) {
      const int result = ProcessInput(static_cast<int>(i));
      if (result == AVERROR_EOF) {
        pastStop = true;
        continue;
      }
      if (result == AVERROR(EAGAIN) && !pastStop &&
          AV.av_gettime_relative() - FStopAt < kStopGrace) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      if (result < 0) break; // empty queue, or an error
      FHoldPictures = AV.av_gettime_relative() - FStopAt > kDrainBudget;
      ReapFilters();
    }
  }
  FHoldPictures = false;
}

void TTranscodeTask::SetJoinRange() {
  if (JoinMode) {
    FirstOst = PartIndex * JoinedStreamCount;
    LastOst = FirstOst + JoinedStreamCount - 1;
  } else {
    FirstOst = 0;
    LastOst = static_cast<int>(OutputStreams.size()) - 1;
  }
}

bool TTranscodeTask::ReachedSizeLimit(const TOutputFile& AFile) const {
  AVIOContext* pb = AFile.Context->pb;
  return pb && AFile.LimitFileSize != UINT64_MAX &&
         static_cast<uint64_t>(AV.avio_seek(pb, 0, SEEK_CUR)) >= AFile.LimitFileSize;
}

bool TTranscodeTask::NeedOutput() {
  for (int i = FirstOst; i <= LastOst; ++i) {
    TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
    if (ost.Finished) continue;
    const TOutputFile& file = *OutputFiles[static_cast<size_t>(ost.FileIndex)];
    // A file at its size limit takes nothing more, not even what the
    // encoders and graphs still hold when the run ends.
    if (ost.FrameNumber >= ost.MaxFrames || ReachedSizeLimit(file)) {
      for (unsigned j = 0; j < file.Context->nb_streams; ++j)
        CloseOutputStream(*OutputStreams[static_cast<size_t>(file.FirstStreamIndex) + j]);
      continue;
    }
    return true;
  }
  return false;
}

TOutputStream* TTranscodeTask::ChooseOutput() {
  int64_t least = INT64_MAX;
  TOutputStream* chosen = nullptr;
  for (int i = FirstOst; i <= LastOst; ++i) {
    TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
    // What the muxer saw last stands for the stream's position.
    const int64_t dts = ost.LastMuxDts == AV_NOPTS_VALUE
                            ? INT64_MIN
                            : AV.av_rescale_q(ost.LastMuxDts, ost.Stream->time_base,
                                              AVRational{1, AV_TIME_BASE});
    if (!ost.Unavailable && !ost.Finished && dts < least) {
      least = dts;
      chosen = &ost;
    }
  }
  return chosen;
}

bool TTranscodeTask::GotEAgain() const {
  for (int i = FirstOst; i <= LastOst; ++i)
    if (OutputStreams[static_cast<size_t>(i)]->Unavailable) return true;
  return false;
}

void TTranscodeTask::ResetEAgain() {
  for (auto& file : InputFiles)
    file->WouldBlock = false;
  for (int i = FirstOst; i <= LastOst; ++i)
    OutputStreams[static_cast<size_t>(i)]->Unavailable = false;
}

int TTranscodeTask::TranscodeStep() {
  TOutputStream* ost = ChooseOutput();
  if (!ost) {
    if (GotEAgain()) {
      ResetEAgain();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return 0;
    }
    // Nothing can feed the streams still open (their dts cannot be
    // compared): they end, so that the next pass finishes instead of asking
    // again for ever.
    for (int i = FirstOst; i <= LastOst; ++i)
      OutputStreams[static_cast<size_t>(i)]->Finished = true;
    FFLogger().Log(this, TLogLevel::llVerbose, "No more inputs to read from, finishing.");
    return AVERROR_EOF;
  }
  TInputStream* ist = nullptr;
  if (ost->Filter && ost->Filter->Graph) {
    const int result = TranscodeFromFilter(*ost->Filter->Graph, ist);
    if (result < 0) return result;
    if (!ist) return 0;
  } else {
    if (ost->SourceIndex < 0) {
      ost->Finished = true; // nothing can ever feed it
      return 0;
    }
    ist = InputStreams[static_cast<size_t>(ost->SourceIndex)].get();
  }
  const int result = ProcessInput(ist->FileIndex);
  if (result == AVERROR(EAGAIN)) {
    if (InputFiles[static_cast<size_t>(ist->FileIndex)]->WouldBlock) ost->Unavailable = true;
    return 0;
  }
  if (result == AVERROR_EOF) return 0;
  if (result < 0) return result;
  return ReapFilters();
}

int TTranscodeTask::TranscodeFromFilter(TFilterGraph& AGraph, TInputStream*& AIst) {
  AIst = nullptr;
  int result = AV.avfilter_graph_request_oldest(AGraph.Graph.get());
  if (result >= 0) return ReapFilters();
  if (result == AVERROR_EOF) {
    result = ReapFilters();
    for (auto& output : AGraph.Outputs)
      if (output->Ost) CloseOutputStream(*output->Ost);
    return result;
  }
  if (result != AVERROR(EAGAIN)) return result;
  unsigned best = 0;
  for (auto& input : AGraph.Inputs) {
    const TInputFile& file = *InputFiles[static_cast<size_t>(input->Ist->FileIndex)];
    if (file.WouldBlock || file.EndOfFile) continue;
    const unsigned failed = AV.av_buffersrc_get_nb_failed_requests(input->Filter);
    if (failed > best || !AIst) {
      if (failed > best) best = failed;
      AIst = input->Ist;
    }
  }
  if (!AIst)
    for (auto& output : AGraph.Outputs)
      if (output->Ost) output->Ost->Unavailable = true;
  return 0;
}

void TTranscodeTask::CloseOutputStream(TOutputStream& AOst) {
  AOst.Finished = true;
  TOutputFile& file = *OutputFiles[static_cast<size_t>(AOst.FileIndex)];
  if (file.Shortest && AOst.EncoderContext) {
    const int64_t end = AV.av_rescale_q(AOst.SyncOpts - AOst.FirstPts,
                                        AOst.EncoderContext->time_base, AVRational{1, AV_TIME_BASE});
    file.RecordingTime = std::min(file.RecordingTime, end);
  }
}

bool TTranscodeTask::CheckRecordingTime(TOutputStream& AOst) {
  const TOutputFile& file = *OutputFiles[static_cast<size_t>(AOst.FileIndex)];
  if (file.RecordingTime != INT64_MAX &&
      AV.av_compare_ts(AOst.SyncOpts - AOst.FirstPts, AOst.EncoderContext->time_base,
                       file.RecordingTime, AVRational{1, AV_TIME_BASE}) >= 0) {
    CloseOutputStream(AOst);
    return false;
  }
  return true;
}

void TTranscodeTask::ReportNewStream(int AFileIndex, const AVPacket& APacket) {
  TInputFile& file = *InputFiles[static_cast<size_t>(AFileIndex)];
  if (APacket.stream_index < file.ReportedStreamCount) return;
  AVFormatContext* ic = file.Context.get();
  const AVStream* st = ic->streams[APacket.stream_index];
  AV.av_log(ic, AV_LOG_WARNING, "New %s stream %d:%d at pos:%lld and DTS:%ss\n",
            AV.av_get_media_type_string(st->codecpar->codec_type), AFileIndex,
            APacket.stream_index, static_cast<long long>(APacket.pos),
            FixedText(APacket.dts * av_q2d(st->time_base)).c_str());
  file.ReportedStreamCount = APacket.stream_index + 1;
}

void TTranscodeTask::DrainGraph(TFilterGraph& AGraph) {
  if (!AGraph.Graph) return;
  for (auto& input : AGraph.Inputs)
    SendEndOfStream(*input);
  // Frames a filter still holds (a rate converter's last one, a resampler's
  // tail) come out only when asked for.
  while (AV.avfilter_graph_request_oldest(AGraph.Graph.get()) >= 0)
    ReapFilters();
  ReapFilters();
}

void TTranscodeTask::FinishGraphs() {
  // Before the encoders are flushed: a stop leaves frames inside the graphs.
  for (auto& graph : FilterGraphs)
    DrainGraph(*graph);
}

void TTranscodeTask::OpenRangeEncoders() {
  // The parts share the first part's encoders, which stay open across the
  // switch: an encoder cannot be opened again once it was flushed, so the
  // next part's frames continue its time line instead, and the encoders are
  // flushed once, at the end of the last part.
  for (int i = FirstOst; i <= LastOst; ++i) {
    TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
    const TOutputStream& owner = *OutputStreams[static_cast<size_t>(i % JoinedStreamCount)];
    ost.EncoderOpened = owner.EncoderOpened;
    if (!ost.EncodingNeeded || !ost.EncoderOpened ||
        ost.EncoderContext->codec_type != AVMEDIA_TYPE_AUDIO || !ost.Filter || !ost.Filter->Filter)
      continue;
    if (!(ost.Encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
      AV.av_buffersink_set_frame_size(ost.Filter->Filter,
                                      static_cast<unsigned>(ost.EncoderContext->frame_size));
  }
}
