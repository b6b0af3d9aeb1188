// The one exception class the GIF codec raises, and the helper that raises it.
#pragma once

#include <string>

#include "Exception.h"

class GIFException : public Exception {
public:
  using Exception::Exception;
};

[[noreturn]] inline void GIFError(const std::string& AMessage) {
  throw GIFException(AMessage);
}
