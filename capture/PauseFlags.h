// The pause flags a program registers for the device's "pause_pointer"
// option. The option names a registered flag by its handle, never by an
// address, so an option string cannot make the device read arbitrary memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

// While the flag is non-zero the device grabs no frame and drops its sound.
using TCapturePauseFlag = std::shared_ptr<std::atomic<int32_t>>;

// Registers AFlag; answers its handle, which is never 0 (0 means no flag).
int32_t RegisterCapturePauseFlag(TCapturePauseFlag AFlag);
// A device already open keeps its flag; later opens refuse the handle.
void UnregisterCapturePauseFlag(int32_t AHandle);
// The flag of AHandle, or null when none is registered under it.
TCapturePauseFlag FindCapturePauseFlag(int32_t AHandle);
