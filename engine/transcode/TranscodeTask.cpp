// The task's transcode state (see TranscodeTask.h).
#include "TranscodeTask.h"

TTranscodeTask::TTranscodeTask() : TIOInterrupts(this) {}

// The graphs go first: their records point into the streams.
TTranscodeTask::~TTranscodeTask() {
  FilterGraphs.clear();
  OutputStreams.clear();
  OutputFiles.clear();
  InputStreams.clear();
  InputFiles.clear();
}

std::vector<AVFormatContext*> TTranscodeTask::InputContexts() const {
  std::vector<AVFormatContext*> contexts;
  for (const auto& file : InputFiles)
    contexts.push_back(file->Context.get());
  return contexts;
}
