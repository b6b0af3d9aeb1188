// The libraries' log callback and its handler slot (see LibAVLog.h).
#include "LibAVLog.h"

#include "LibAV.h"

#include <atomic>

namespace {

std::atomic<TLibAVLogHandler> gHandler{nullptr};
std::atomic<int> gLevel{AV_LOG_INFO};

void Callback(void* AClassObject, int ALevel, const char* AFormat, va_list AArgs) {
  if (ALevel > gLevel.load()) return;
  if (TLibAVLogHandler handler = gHandler.load()) handler(AClassObject, ALevel, AFormat, AArgs);
}

} // namespace

void SetLibAVLogHandler(TLibAVLogHandler AHandler) {
  gHandler = AHandler;
}

void SetLibAVLogLevel(int ALevel) {
  gLevel = ALevel;
  if (AV.av_log_set_level) AV.av_log_set_level(ALevel);
}

int LibAVLogLevel() {
  return gLevel.load();
}

void InstallLibAVLogCallback() {
  AV.av_log_set_callback(Callback);
  AV.av_log_set_level(gLevel.load());
}
