// Growing arrays and whole-file buffers (see FFBuffers.h).
#include "FFBuffers.h"

#include "Exception.h"
#include "LibAV.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

void* GrowArray(void* AArray, int AElementSize, int& ACount, int ANewCount) {
  if (ANewCount >= INT_MAX / AElementSize) throw Exception("Array too big.");
  if (ACount >= ANewCount) return AArray;
  void* grown = AV.av_realloc(AArray, static_cast<size_t>(ANewCount) * AElementSize);
  if (!grown) throw Exception("Could not alloc buffer.");
  std::memset(static_cast<uint8_t*>(grown) + static_cast<size_t>(ACount) * AElementSize, 0,
              static_cast<size_t>(ANewCount - ACount) * AElementSize);
  ACount = ANewCount;
  return grown;
}

int ReadWholeFile(const std::string& AFileName, TAVBuffer& ABuffer, int& ASize) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(AFileName.c_str(), "rb"), &std::fclose);
  if (!file) {
    AV.av_log(nullptr, AV_LOG_ERROR, "Cannot read file \"%s\"\n", AFileName.c_str());
    return -1;
  }
  long length = -1;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) length = std::ftell(file.get());
  if (length < 0 || length >= INT_MAX || std::fseek(file.get(), 0, SEEK_SET) != 0) {
    AV.av_log(nullptr, AV_LOG_ERROR, "IO error\n");
    return AVERROR(EIO);
  }
  TAVBuffer buffer(static_cast<uint8_t*>(AV.av_malloc(static_cast<size_t>(length) + 1)));
  if (!buffer) {
    AV.av_log(nullptr, AV_LOG_ERROR, "Could not allocate file buffer\n");
    return AVERROR(ENOMEM);
  }
  const size_t read = std::fread(buffer.get(), 1, static_cast<size_t>(length), file.get());
  if (read != static_cast<size_t>(length)) {
    if (std::ferror(file.get())) {
      AV.av_log(nullptr, AV_LOG_ERROR, "Error while reading file \"%s\"\n", AFileName.c_str());
      return AVERROR(EIO);
    }
    return AVERROR_EOF;
  }
  buffer[static_cast<size_t>(length)] = 0;
  ABuffer = std::move(buffer);
  ASize = static_cast<int>(length) + 1;
  return 0;
}
