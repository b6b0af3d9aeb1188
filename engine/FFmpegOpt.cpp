// The task's option state (see FFmpegOpt.h). Opening files and the transcode
// loop are stages of their own; until they are part of the engine these
// seams fail with a clear error rather than pretend to succeed.
#include "FFmpegOpt.h"

#include "FFOptions.h"
#include "LibAV.h"

#include <cerrno>
#include <stdexcept>

TCustomFFmpegOpt::TCustomFFmpegOpt() : TIOInterrupts(this) {}

TCustomFFmpegOpt::~TCustomFFmpegOpt() = default;

int TCustomFFmpegOpt::AddComplexFilterGraph(const std::string& ADescription) {
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

// ---- Seams to the stages that open files and run the loop -------------------

namespace {

// Parses one file's options into a record of its own and frees it again,
// also when a handler raises.
int ParseAndDiscard(TCustomFFmpegOpt& ATask, const std::string& AOptions,
                    const std::string& AFileName, const std::string& APresets) {
  ATask.InitOptionTable();
  TOptionsContext options;
  ATask.InitOptionsContext(options);
  struct TFree {
    TCustomFFmpegOpt& Task;
    TOptionsContext& Options;
    ~TFree() { Task.FreeOptionsContext(Options); }
  } free{ATask, options};
  return ATask.ParseOptions(options, AOptions, AFileName, APresets);
}

} // namespace

// The options are checked now, so that a bad option string is reported as
// such; opening the file is the stage that is missing.
int TCustomFFmpegOpt::AddInput(const std::string& AOptions, const std::string& AFileName,
                               const std::string& APresets) {
  const int result = ParseAndDiscard(*this, AOptions, AFileName, APresets);
  if (result < 0) return result;
  LastErrMsg =
      "Cannot open input \"" + AFileName + "\": opening inputs is not available in this build";
  return AVERROR(ENOSYS);
}

int TCustomFFmpegOpt::AddOutput(const std::string& AOptions, bool, const std::string& AFileName,
                                const std::string& APresets) {
  const int result = ParseAndDiscard(*this, AOptions, AFileName, APresets);
  if (result < 0) return result;
  LastErrMsg =
      "Cannot open output \"" + AFileName + "\": opening outputs is not available in this build";
  return AVERROR(ENOSYS);
}

void TCustomFFmpegOpt::Transcode() {
  FatalError("The transcode loop is not available in this build");
}
