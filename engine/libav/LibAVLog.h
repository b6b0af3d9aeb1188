// The libraries' log output. The loader installs one callback in libavutil
// when it binds; the engine's logger, a layer above, plugs its handler in.
// Until it does, the libraries' lines are dropped.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

// What receives every line the libraries log at or below the library level.
// It must not throw: it is called from the libraries' C code.
using TLibAVLogHandler = void (*)(void* AClassObject, int ALevel, const char* AFormat,
                                  va_list AArgs) noexcept;

void SetLibAVLogHandler(TLibAVLogHandler AHandler);

// The libraries' level (AV_LOG_*): lines above it are dropped before the
// handler sees them. Applied to libavutil at once when it is bound, else when
// it binds.
void SetLibAVLogLevel(int ALevel);
int LibAVLogLevel();

// Called by the loader once libavutil is bound.
void InstallLibAVLogCallback();

// While it lives, keeps the error lines (AV_LOG_ERROR and worse) that the
// libraries log in the calling thread, whatever the log level lets through:
// what an open that failed said of its cause, for the caller's message.
// Scopes nest; the innermost one keeps the lines.
class TLibAVErrorLines {
public:
  TLibAVErrorLines();
  ~TLibAVErrorLines();
  TLibAVErrorLines(const TLibAVErrorLines&) = delete;
  TLibAVErrorLines& operator=(const TLibAVErrorLines&) = delete;

  // The lines so far, in order, without their line feeds.
  std::vector<std::string> Lines() const;
  // Called by the callback with one piece of a line.
  void Add(const char* AFormat, va_list AArgs) noexcept;

private:
  TLibAVErrorLines* FOuter;
  std::vector<std::string> FLines;
  std::string FPartial; // a line whose end has not come yet
};
