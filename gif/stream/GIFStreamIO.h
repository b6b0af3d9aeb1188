// Byte-level helpers every block reader and writer of the codec uses: single
// bytes, exact reads, little-endian numbers, and the text sub-blocks of the
// comment and plain text extensions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GIFStream.h"

// What ReadByte answers when the stream has no byte left.
inline constexpr int kEndOfStream = -1;

void WriteByte(TGIFStream& AStream, uint8_t AByte);
// The next byte (0-255), or kEndOfStream.
int ReadByte(TGIFStream& AStream);
// The next byte that is not 0 (the zero bytes between blocks are passed
// over), or kEndOfStream.
int SkipZeros(TGIFStream& AStream);
// Reads exactly ACount bytes; fewer raise "Premature end of data".
void ReadCheck(TGIFStream& AStream, void* ABuffer, size_t ACount);

inline uint16_t GetWord(const uint8_t* ABytes) {
  return static_cast<uint16_t>(ABytes[0] | (ABytes[1] << 8));
}
inline void PutWord(uint8_t* ABytes, uint16_t AValue) {
  ABytes[0] = static_cast<uint8_t>(AValue);
  ABytes[1] = static_cast<uint8_t>(AValue >> 8);
}

// Each line as sub-blocks of at most 255 characters (an empty line writes
// nothing), then the terminator 0.
void WriteStrings(TGIFStream& AStream, const std::vector<std::string>& ALines);
// Replaces ALines with one line per sub-block, up to a terminator or the end
// of the stream; a sub-block the stream cannot fill raises.
void ReadStrings(TGIFStream& AStream, std::vector<std::string>& ALines);
// Moves past data sub-blocks up to and including their terminator (or the
// end of the stream).
void SkipSubBlocks(TGIFStream& AStream);
