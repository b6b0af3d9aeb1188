// The LZW image-data decoder.
#include "GIFLZWDecoder.h"

#include <cstring>

#include "GIFError.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

TLZWDecoder::TLZWDecoder(TGIFStream& AStream, TGIFWarningHandler AWarning)
    : FStream(AStream), FWarning(std::move(AWarning)) {}

void TLZWDecoder::Warn(const char* AMessage) {
  if (FWarning) FWarning(AMessage);
}

void TLZWDecoder::ResetTable() {
  FCodeSize = FMinCodeSize + 1;
  FMaxCode = 2 * FClearCode;
  FNextFree = FClearCode + 2;
}

bool TLZWDecoder::NextSubBlock() {
  if (FNoMoreData) return false;
  int size = ReadByte(FStream);
  if (size == kEndOfStream) {
    // The terminator is missing: the file was cut.
    FNoMoreData = true;
    if (!FDataEndReported) Warn(kMsgPrematureEnd);
    FDataEndReported = true;
    return false;
  }
  if (size == 0) {
    FZeroBlockSeen = true;
    FNoMoreData = true;
    return false;
  }
  // Only the bytes that came are decoded; a cut block leaves nothing stale.
  FBlockSize = FStream.Read(FBlock.data(), static_cast<size_t>(size));
  FBlockPos = 0;
  if (FBlockSize < static_cast<size_t>(size)) {
    FNoMoreData = true;
    FDataEndReported = true;
    Warn(kMsgPrematureEnd);
  }
  return FBlockSize > 0;
}

bool TLZWDecoder::FillBits(bool AWarnOnUnderrun) {
  while (FBitCount < FCodeSize) {
    if (FBlockPos < FBlockSize) {
      while (FBitCount <= 56 && FBlockPos < FBlockSize) {
        FBits |= static_cast<uint64_t>(FBlock[FBlockPos++]) << FBitCount;
        FBitCount += 8;
      }
    } else if (!NextSubBlock()) {
      if (AWarnOnUnderrun && !FDataEndReported) Warn(kMsgBitBufferUnderrun);
      FDataEndReported = true;
      return false;
    }
  }
  return true;
}

void TLZWDecoder::NextRow() {
  if (!FInterlaced) {
    ++FRow;
    return;
  }
  // Rows 0, 8, 16, ... then 4, 12, ... then 2, 6, ... then 1, 3, 5, ...;
  // a pass whose first row lies below the frame is passed over.
  FRow += FStep;
  while (FRow >= FRowCount && FPass < 4) {
    if (FPass > 0) FStep /= 2;
    ++FPass;
    FRow = FStep / 2;
  }
}

bool TLZWDecoder::Put(const uint8_t* APixels, size_t ACount) {
  while (ACount > 0) {
    size_t count = std::min(ACount, FRowLeft);
    std::memcpy(FOut, APixels, count);
    APixels += count;
    ACount -= count;
    FOut += count;
    FRowLeft -= count;
    if (FRowLeft == 0) {
      if (++FRowsDone == FRowCount) return false;
      NextRow();
      FOut = FPixels + FRow * FRowLength;
      FRowLeft = FRowLength;
    }
  }
  return true;
}

bool TLZWDecoder::WriteDirect(int ACode, size_t ALength) {
  // Exactly ALength pixels go out, whatever the table holds.
  uint8_t* first = FOut;
  uint8_t* pixel = FOut + ALength;
  int code = ACode;
  if (code == FNextFree) {
    *--pixel = static_cast<uint8_t>(FFirstCode);
    code = FOldCode;
  }
  while (pixel > first + 1) {
    *--pixel = FSuffix[static_cast<size_t>(code)];
    code = FPrefix[static_cast<size_t>(code)];
  }
  *first = static_cast<uint8_t>(code);
  FFirstCode = code;
  FOut += ALength;
  FRowLeft -= ALength;
  if (FRowLeft > 0) return true;
  if (++FRowsDone == FRowCount) return false;
  NextRow();
  FOut = FPixels + FRow * FRowLength;
  FRowLeft = FRowLength;
  return true;
}

void TLZWDecoder::WriteThroughStack(int ACode, bool& AMore) {
  uint8_t* const stackEnd = FStack.data() + FStack.size();
  uint8_t* top = stackEnd;
  int code = ACode;
  if (code == FNextFree) {
    *--top = static_cast<uint8_t>(FFirstCode);
    code = FOldCode;
  }
  while (code >= FClearCode) {
    if (top == FStack.data() || FPrefix[static_cast<size_t>(code)] == code)
      GIFError(kMsgCircularTableEntry);
    *--top = FSuffix[static_cast<size_t>(code)];
    code = FPrefix[static_cast<size_t>(code)];
  }
  if (top == FStack.data()) GIFError(kMsgCircularTableEntry);
  FFirstCode = code;
  *--top = static_cast<uint8_t>(code);
  AMore = Put(top, static_cast<size_t>(stackEnd - top));
}

void TLZWDecoder::Decode(uint8_t* APixels, size_t AWidth, size_t AHeight, bool AInterlaced) {
  int minCodeSize = ReadByte(FStream);
  if (minCodeSize == kEndOfStream) return;
  if (minCodeSize >= 12) GIFError(kMsgClearCodeTooLarge);
  FMinCodeSize = minCodeSize;
  FClearCode = 1 << minCodeSize;
  FEndCode = FClearCode + 1;
  ResetTable();
  for (int i = 0; i < FClearCode; ++i)
    FLength[static_cast<size_t>(i)] = 1;

  FPixels = APixels;
  FInterlaced = AInterlaced && AHeight > 1;
  // Without interlacing the frame is one long row.
  FRowLength = FInterlaced ? AWidth : AWidth * AHeight;
  FRowCount = FInterlaced ? AHeight : 1;
  FOut = FPixels;
  FRowLeft = FRowLength;
  bool more = AWidth > 0 && AHeight > 0;

  while (more) {
    int code = ReadCode(true);
    if (code == kNoData || code == FEndCode) break;
    if (code == FClearCode) {
      ResetTable();
      do
        code = ReadCode(true);
      while (code == FClearCode);
      if (code == kNoData || code == FEndCode) break;
      // After a clear only a literal can stand: the table is empty.
      if (code > FClearCode) GIFError(kMsgCircularTableEntry);
      FFirstCode = FOldCode = code;
      uint8_t pixel = static_cast<uint8_t>(code);
      more = Put(&pixel, 1);
      continue;
    }

    // A code beyond the next free one would follow entries never made.
    if (code > FNextFree) GIFError(kMsgCircularTableEntry);
    size_t length = code == FNextFree ? FLength[static_cast<size_t>(FOldCode)] + 1u
                                      : FLength[static_cast<size_t>(code)];
    if (length <= FRowLeft)
      more = WriteDirect(code, length);
    else
      WriteThroughStack(code, more);

    if (FNextFree < kTableSize) {
      FPrefix[static_cast<size_t>(FNextFree)] = static_cast<uint16_t>(FOldCode);
      FSuffix[static_cast<size_t>(FNextFree)] = static_cast<uint8_t>(FFirstCode);
      FLength[static_cast<size_t>(FNextFree)] =
          static_cast<uint16_t>(FLength[static_cast<size_t>(FOldCode)] + 1);
      ++FNextFree;
      if (FNextFree >= FMaxCode && FMaxCode < kTableSize) {
        FMaxCode *= 2;
        ++FCodeSize;
      }
    }
    FOldCode = code;
  }

  // Whatever follows the pixels up to the terminator is not picture data;
  // the next block starts behind it.
  if (!FNoMoreData) SkipSubBlocks(FStream);
}
