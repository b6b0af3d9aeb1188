// The failure of a task's option, open and transcode routines. The task has
// stored the same text as its last error before raising it.
#pragma once

#include "Exception.h"

class FFmpegException : public Exception {
public:
  using Exception::Exception;
};
