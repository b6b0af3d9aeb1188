// Raising the codec's exception with one of its texts.
#pragma once

#include <string>

#include "GIFException.h"

[[noreturn]] inline void GIFError(const std::string& AMessage) {
  throw GIFException(AMessage);
}
