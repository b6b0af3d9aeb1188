// The base of the engine's components: the about text, the version and the
// I/O time-outs that the encoder hands to its tasks.
#pragma once

#include <string>

class TFFBaseComponent {
public:
  virtual ~TFFBaseComponent() = default;

  std::string About;
  const std::string& Version() const {
    static const std::string version = "5.2";
    return version;
  }
  int ReadTimeout = 30000;  // milliseconds
  int WriteTimeout = 30000; // milliseconds
};
