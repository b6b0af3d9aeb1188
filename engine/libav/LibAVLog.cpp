// The libraries' log callback and its handler slot (see LibAVLog.h).
#include "LibAVLog.h"

#include "LibAV.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

std::atomic<TLibAVLogHandler> gHandler{nullptr};
std::atomic<int> gLevel{AV_LOG_INFO};
// The calling thread's innermost error-line scope.
thread_local TLibAVErrorLines* tErrorLines = nullptr;

void Callback(void* AClassObject, int ALevel, const char* AFormat, va_list AArgs) {
  if (tErrorLines && ALevel >= AV_LOG_PANIC && ALevel <= AV_LOG_ERROR && AFormat) {
    va_list copy;
    va_copy(copy, AArgs);
    tErrorLines->Add(AFormat, copy);
    va_end(copy);
  }
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

TLibAVErrorLines::TLibAVErrorLines() : FOuter(tErrorLines) {
  tErrorLines = this;
}

TLibAVErrorLines::~TLibAVErrorLines() {
  tErrorLines = FOuter;
}

std::vector<std::string> TLibAVErrorLines::Lines() const {
  std::vector<std::string> lines = FLines;
  if (!FPartial.empty()) lines.push_back(FPartial);
  return lines;
}

void TLibAVErrorLines::Add(const char* AFormat, va_list AArgs) noexcept {
  try {
    char text[1024];
    const int length = std::vsnprintf(text, sizeof text, AFormat, AArgs);
    if (length <= 0) return;
    FPartial.append(text, std::min<size_t>(static_cast<size_t>(length), sizeof text - 1));
    for (size_t end; (end = FPartial.find('\n')) != std::string::npos;) {
      if (end > 0) FLines.push_back(FPartial.substr(0, end));
      FPartial.erase(0, end + 1);
    }
  } catch (...) {
    // Nothing may unwind into the libraries' C code.
  }
}
