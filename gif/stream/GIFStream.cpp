// Memory and file streams of the codec.
#include "GIFStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Exception.h"

namespace {

int64_t NewPosition(int64_t AOffset, TSeekOrigin AOrigin, int64_t ACurrent, int64_t ASize) {
  int64_t base = AOrigin == TSeekOrigin::soBeginning ? 0
                 : AOrigin == TSeekOrigin::soCurrent ? ACurrent
                                                     : ASize;
  int64_t result = base + AOffset;
  if (result < 0) throw Exception("Stream position before the start");
  return result;
}

} // namespace

TGIFMemoryStream::TGIFMemoryStream(const void* AData, size_t ASize)
    : FData(static_cast<const uint8_t*>(AData), static_cast<const uint8_t*>(AData) + ASize) {}

size_t TGIFMemoryStream::Read(void* ABuffer, size_t ACount) {
  if (FPosition >= Size()) return 0;
  size_t count = std::min(ACount, FData.size() - static_cast<size_t>(FPosition));
  std::memcpy(ABuffer, FData.data() + FPosition, count);
  FPosition += static_cast<int64_t>(count);
  return count;
}

void TGIFMemoryStream::Write(const void* ABuffer, size_t ACount) {
  if (ACount == 0) return;
  size_t end = static_cast<size_t>(FPosition) + ACount;
  if (end > FData.size()) FData.resize(end);
  std::memcpy(FData.data() + FPosition, ABuffer, ACount);
  FPosition = static_cast<int64_t>(end);
}

int64_t TGIFMemoryStream::Seek(int64_t AOffset, TSeekOrigin AOrigin) {
  FPosition = NewPosition(AOffset, AOrigin, FPosition, Size());
  return FPosition;
}

void TGIFMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

TGIFFileStream::TGIFFileStream(const std::string& AFileName, TFileMode AMode)
    : FFileName(AFileName) {
  FFile.reset(std::fopen(AFileName.c_str(), AMode == TFileMode::fmCreate ? "w+b" : "rb"));
  if (!FFile) throw Exception("Cannot open file \"" + AFileName + "\". " + std::strerror(errno));
}

size_t TGIFFileStream::Read(void* ABuffer, size_t ACount) {
  size_t count = std::fread(ABuffer, 1, ACount, FFile.get());
  if (count < ACount && std::ferror(FFile.get()))
    throw Exception("Stream read error: \"" + FFileName + "\"");
  return count;
}

void TGIFFileStream::Write(const void* ABuffer, size_t ACount) {
  if (std::fwrite(ABuffer, 1, ACount, FFile.get()) != ACount)
    throw Exception("Stream write error: \"" + FFileName + "\". " + std::strerror(errno));
}

int64_t TGIFFileStream::Seek(int64_t AOffset, TSeekOrigin AOrigin) {
  if (AOrigin == TSeekOrigin::soCurrent && AOffset == 0) return ftello(FFile.get());
  int64_t target = NewPosition(AOffset, AOrigin, ftello(FFile.get()),
                               AOrigin == TSeekOrigin::soEnd ? Size() : 0);
  if (fseeko(FFile.get(), target, SEEK_SET) != 0)
    throw Exception("Stream seek error: \"" + FFileName + "\". " + std::strerror(errno));
  return target;
}

int64_t TGIFFileStream::Size() {
  int64_t here = ftello(FFile.get());
  fseeko(FFile.get(), 0, SEEK_END);
  int64_t size = ftello(FFile.get());
  fseeko(FFile.get(), here, SEEK_SET);
  return size;
}

void TGIFFileStream::Flush() {
  if (std::fflush(FFile.get()) != 0)
    throw Exception("Stream write error: \"" + FFileName + "\". " + std::strerror(errno));
}
