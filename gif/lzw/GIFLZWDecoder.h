// The LZW image-data decoder: variable-width codes packed least significant
// bit first into data sub-blocks, decoded into one byte per pixel, in plain
// or interlaced row order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "GIFStream.h"

using TGIFWarningHandler = std::function<void(const std::string& AMessage)>;

class TLZWDecoder {
public:
  TLZWDecoder(TGIFStream& AStream, TGIFWarningHandler AWarning);

  // Reads the minimum code size and the data sub-blocks and fills APixels
  // (AWidth x AHeight bytes, rows top to bottom). Pixels the data does not
  // reach keep what APixels held. Afterwards the stream stands behind the
  // data's terminator. Damaged data raises GIFException; data that ends
  // early only warns.
  void Decode(uint8_t* APixels, size_t AWidth, size_t AHeight, bool AInterlaced);

private:
  static constexpr int kTableSize = 4096;
  static constexpr int kNoData = -1;

  void ResetTable();
  // The next code of the current width, or kNoData when the data has ended.
  int ReadCode(bool AWarnOnUnderrun) {
    if (FBitCount < FCodeSize) {
      // The first code is a clear, whatever the data holds.
      if (FPendingClear) {
        FPendingClear = false;
        return FClearCode;
      }
      if (!FillBits(AWarnOnUnderrun)) return kNoData;
    }
    int code = static_cast<int>(FBits & ((1u << FCodeSize) - 1));
    FBits >>= FCodeSize;
    FBitCount -= FCodeSize;
    return code;
  }
  // Brings at least the current width into the bit buffer; false when the
  // data ends before.
  bool FillBits(bool AWarnOnUnderrun);
  // Writes a code's string into the current row when it fits there.
  bool WriteDirect(int ACode, size_t ALength);
  // Writes it through the pixel stack, across rows.
  void WriteThroughStack(int ACode, bool& AMore);
  bool NextSubBlock();
  void Warn(const char* AMessage);
  // Copies decoded pixels to the frame; false once the frame is full.
  bool Put(const uint8_t* APixels, size_t ACount);
  void NextRow();

  TGIFStream& FStream;
  TGIFWarningHandler FWarning;

  // Codes
  int FMinCodeSize = 0;
  int FCodeSize = 0;
  int FClearCode = 0;
  int FEndCode = 0;
  int FMaxCode = 0;
  int FNextFree = 0;
  int FFirstCode = 0;
  int FOldCode = 0;
  std::array<uint16_t, kTableSize> FPrefix{};
  std::array<uint8_t, kTableSize> FSuffix{};
  // Pixels in each code's string, so that a string is written straight
  // into the frame, last pixel first.
  std::array<uint16_t, kTableSize> FLength{};
  // A string is at most one pixel per table entry long.
  std::array<uint8_t, kTableSize + 1> FStack{};

  // Bits
  std::array<uint8_t, 255> FBlock{};
  size_t FBlockSize = 0;
  size_t FBlockPos = 0;
  uint64_t FBits = 0;
  int FBitCount = 0;
  bool FPendingClear = true;
  bool FZeroBlockSeen = false;
  bool FNoMoreData = false;
  bool FDataEndReported = false;

  // Pixels
  uint8_t* FPixels = nullptr;
  size_t FRowLength = 0;
  size_t FRowCount = 0;
  size_t FRow = 0;
  // Where the current row's next pixel goes, and how many the row still takes.
  uint8_t* FOut = nullptr;
  size_t FRowLeft = 0;
  size_t FRowsDone = 0;
  bool FInterlaced = false;
  int FPass = 0;
  size_t FStep = 8;
};
