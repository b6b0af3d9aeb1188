// The task's files and its run (see FFmpegOpt.h).
#include "FFmpegOpt.h"

#include "FFOptions.h"
#include "LibAV.h"

#include <cerrno>
#include <new>

TCustomFFmpegOpt::TCustomFFmpegOpt() = default;

TCustomFFmpegOpt::~TCustomFFmpegOpt() = default;

namespace {

// A fresh options record for one file, freed again however the call ends.
class TFileOptions {
public:
  explicit TFileOptions(TTaskOptions& ATask) : FTask(ATask) {
    FTask.InitOptionTable();
    FTask.InitOptionsContext(Options);
  }
  ~TFileOptions() { FTask.FreeOptionsContext(Options); }
  TFileOptions(const TFileOptions&) = delete;
  TFileOptions& operator=(const TFileOptions&) = delete;
  TOptionsContext Options;

private:
  TTaskOptions& FTask;
};

// Runs a stage that answers a code, turning what it raises into one: the
// fatal-error routine has set LastErrMsg already.
template <class TStage> int AnswerCode(TTaskOptions& ATask, TStage&& AStage) {
  try {
    return AStage();
  } catch (const FFmpegException&) {
    return AVERROR(EINVAL);
  } catch (const std::bad_alloc&) {
    ATask.LastErrMsg = "Out of memory";
    return AVERROR(ENOMEM);
  } catch (const std::exception& e) {
    ATask.LastErrMsg = e.what();
    return AVERROR(EINVAL);
  }
}

} // namespace

int TCustomFFmpegOpt::AddInput(const std::string& AOptions, const std::string& AFileName,
                               const std::string& APresets) {
  return AnswerCode(*this, [&] {
    TFileOptions file(*this);
    return OpenInputFile(file.Options, AOptions, AFileName, APresets);
  });
}

int TCustomFFmpegOpt::AddOutput(const std::string& AOptions, bool AJoin,
                                const std::string& AFileName, const std::string& APresets) {
  return AnswerCode(*this, [&] {
    TFileOptions file(*this);
    const int result = OpenOutputFile(file.Options, AOptions, AJoin, AFileName, APresets);
    if (result >= 0) ++FOutputCount;
    return result;
  });
}

void TCustomFFmpegOpt::Transcode() {
  FFinished = false;
  FFinished = RunTranscode();
}
