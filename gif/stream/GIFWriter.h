// The sub-block writer: cuts the coders' output into data sub-blocks of at
// most 255 bytes, each behind its size byte.
#pragma once

#include <array>
#include <cstdint>

#include "GIFStream.h"

class TGIFWriter : public TGIFStream {
public:
  explicit TGIFWriter(TGIFStream& AStream) : FStream(AStream) {}

  void PutByte(uint8_t AByte) {
    FBuffer[FFill++] = AByte;
    if (FFill == FBuffer.size()) Flush();
  }
  void Write(const void* ABuffer, size_t ACount) override;
  // The writer only writes forwards.
  size_t Read(void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  int64_t Size() override;
  // Writes the last, possibly shorter, sub-block. The coders call it once
  // their data is complete; a writer given up after a failure writes nothing
  // more.
  void Flush();

private:
  TGIFStream& FStream;
  // The size byte, then up to 255 data bytes.
  std::array<uint8_t, 256> FBuffer{};
  size_t FFill = 1;
};
