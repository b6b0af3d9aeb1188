// The one exception class the GIF codec raises: a failure with its message.
#pragma once

#include "Exception.h"

class GIFException : public Exception {
public:
  using Exception::Exception;
};
