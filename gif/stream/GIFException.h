// The one exception class the GIF codec raises: a failure with its message.
#pragma once

#include "Graphic.h"

// A graphic's failure, so that callers of the picture registry catch it with
// the other picture formats' failures.
class GIFException : public EInvalidGraphic {
public:
  using EInvalidGraphic::EInvalidGraphic;
};
