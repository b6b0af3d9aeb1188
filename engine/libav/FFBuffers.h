// Memory of the libraries' allocator: arrays that grow zero-filled and whole
// files read into one buffer.
#pragma once

#include "LibAVOwners.h"

#include <cstdint>
#include <string>

// Grows AArray (from av_malloc or av_realloc, or null) to ANewCount elements
// of AElementSize bytes, zero-filling the new ones, and sets ACount; answers
// the array, unchanged when it already holds ANewCount. Raises "Array too
// big." or "Could not alloc buffer." (Exception); on failure AArray stays valid.
void* GrowArray(void* AArray, int AElementSize, int& ACount, int ANewCount);

template <class T> T* GrowArray(T* AArray, int& ACount, int ANewCount) {
  return static_cast<T*>(
      GrowArray(static_cast<void*>(AArray), static_cast<int>(sizeof(T)), ACount, ANewCount));
}

// Reads the file into ABuffer, one byte longer than the file and ending in a
// zero byte, and sets ASize to the file size + 1. Answers 0, or -1 when the
// file cannot be opened, AVERROR(EIO) on an I/O error, AVERROR(ENOMEM) without memory and
// AVERROR_EOF when the file ends early; each failure is logged.
int ReadWholeFile(const std::string& AFileName, TAVBuffer& ABuffer, int& ASize);
