// The engine's registry of input devices (see InputFormatRegistry.h).
#include "InputFormatRegistry.h"

#include "LibAV.h"

#include <cstring>
#include <mutex>

namespace {
struct TRegistry {
  std::mutex Lock;
  std::vector<const AVInputFormat*> Formats;
};
TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}
} // namespace

bool RegisterInputFormatIfAbsent(const AVInputFormat* AFormat) {
  if (!AFormat || !AFormat->name) return false;
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  for (const AVInputFormat* known : r.Formats)
    if (std::strcmp(known->name, AFormat->name) == 0) return false;
  r.Formats.push_back(AFormat);
  return true;
}

const AVInputFormat* FindRegisteredInputFormat(const char* AName) {
  if (!AName) return nullptr;
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  for (const AVInputFormat* known : r.Formats)
    if (std::strcmp(known->name, AName) == 0) return known;
  return nullptr;
}

const AVInputFormat* FindInputFormat(const char* AName) {
  if (const AVInputFormat* own = FindRegisteredInputFormat(AName)) return own;
  return AV.av_find_input_format ? AV.av_find_input_format(AName) : nullptr;
}

std::vector<const AVInputFormat*> RegisteredInputFormats() {
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  return r.Formats;
}

bool RegisterProtocolIfAbsent(const char*) {
  return false;
}
