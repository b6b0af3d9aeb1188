// The task's option state (see FFmpegOpt.h). Opening files and the transcode
// loop are stages of their own; until they are part of the engine these
// seams fail with a clear error rather than pretend to succeed.
#include "FFmpegOpt.h"

#include <cerrno>
#include <stdexcept>

extern "C" {
#include <libavutil/error.h>
}

int TCustomFFmpegOpt::AddInput(const std::string&, const std::string& AFileName,
                               const std::string&) {
  LastErrMsg =
      "Cannot open input \"" + AFileName + "\": opening inputs is not available in this build";
  return AVERROR(ENOSYS);
}

int TCustomFFmpegOpt::AddOutput(const std::string&, bool, const std::string& AFileName,
                                const std::string&) {
  LastErrMsg =
      "Cannot open output \"" + AFileName + "\": opening outputs is not available in this build";
  return AVERROR(ENOSYS);
}

void TCustomFFmpegOpt::Transcode() {
  throw std::runtime_error("The transcode loop is not available in this build");
}
