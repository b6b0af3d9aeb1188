// The libraries' log output. The loader installs one callback in libavutil
// when it binds; the engine's logger, a layer above, plugs its handler in.
// Until it does, the libraries' lines are dropped.
#pragma once

#include <cstdarg>

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
