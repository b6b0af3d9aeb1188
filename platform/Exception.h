// The base of the failures raised inside the system: an exception with a message.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
