// The sub-block writer.
#include "GIFWriter.h"

#include "Exception.h"
#include "GIFMessages.h"

void TGIFWriter::Write(const void* ABuffer, size_t ACount) {
  const uint8_t* bytes = static_cast<const uint8_t*>(ABuffer);
  for (size_t i = 0; i < ACount; ++i)
    PutByte(bytes[i]);
}

size_t TGIFWriter::Read(void*, size_t) {
  throw Exception(kMsgInvalidStreamOperation);
}

int64_t TGIFWriter::Seek(int64_t, TSeekOrigin) {
  throw Exception(kMsgInvalidStreamOperation);
}

int64_t TGIFWriter::Size() {
  throw Exception(kMsgInvalidStreamOperation);
}

void TGIFWriter::Flush() {
  if (FFill <= 1) return;
  FBuffer[0] = static_cast<uint8_t>(FFill - 1);
  FStream.Write(FBuffer.data(), FFill);
  FFill = 1;
}
