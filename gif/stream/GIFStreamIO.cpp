// Byte-level helpers of the codec's block readers and writers.
#include "GIFStreamIO.h"

#include "GIFError.h"
#include "GIFMessages.h"

void WriteByte(TGIFStream& AStream, uint8_t AByte) {
  AStream.Write(&AByte, 1);
}

int ReadByte(TGIFStream& AStream) {
  uint8_t value = 0;
  return AStream.Read(&value, 1) == 1 ? value : kEndOfStream;
}

int SkipZeros(TGIFStream& AStream) {
  int value = ReadByte(AStream);
  while (value == 0)
    value = ReadByte(AStream);
  return value;
}

void ReadCheck(TGIFStream& AStream, void* ABuffer, size_t ACount) {
  if (AStream.Read(ABuffer, ACount) != ACount) GIFError(kMsgPrematureEnd);
}

void WriteStrings(TGIFStream& AStream, const std::vector<std::string>& ALines) {
  for (const std::string& line : ALines) {
    for (size_t done = 0; done < line.size();) {
      size_t size = std::min<size_t>(line.size() - done, 255);
      WriteByte(AStream, static_cast<uint8_t>(size));
      AStream.Write(line.data() + done, size);
      done += size;
    }
  }
  WriteByte(AStream, 0);
}

void ReadStrings(TGIFStream& AStream, std::vector<std::string>& ALines) {
  ALines.clear();
  for (int size = ReadByte(AStream); size > 0; size = ReadByte(AStream)) {
    std::string line(static_cast<size_t>(size), '\0');
    ReadCheck(AStream, line.data(), line.size());
    ALines.push_back(std::move(line));
  }
}

void SkipSubBlocks(TGIFStream& AStream) {
  for (int size = ReadByte(AStream); size > 0; size = ReadByte(AStream))
    AStream.Seek(size, TSeekOrigin::soCurrent);
}
