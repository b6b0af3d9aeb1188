// The registry of pause flags (see PauseFlags.h).
#include "PauseFlags.h"

#include <map>
#include <mutex>

namespace {
struct TPauseFlagRegistry {
  std::mutex Lock;
  std::map<int32_t, TCapturePauseFlag> Flags;
  int32_t LastHandle = 0;
};
TPauseFlagRegistry& Registry() {
  static TPauseFlagRegistry registry;
  return registry;
}
} // namespace

int32_t RegisterCapturePauseFlag(TCapturePauseFlag AFlag) {
  if (!AFlag) return 0;
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  do {
    r.LastHandle = r.LastHandle == INT32_MAX ? 1 : r.LastHandle + 1;
  } while (r.Flags.contains(r.LastHandle));
  r.Flags.emplace(r.LastHandle, std::move(AFlag));
  return r.LastHandle;
}

void UnregisterCapturePauseFlag(int32_t AHandle) {
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  r.Flags.erase(AHandle);
}

TCapturePauseFlag FindCapturePauseFlag(int32_t AHandle) {
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  const auto found = r.Flags.find(AHandle);
  return found == r.Flags.end() ? nullptr : found->second;
}
