// Raw Deflate decoding for the skin reader. Every malformed or truncated
// stream ends in BadData: bits are only consumed while real input remains,
// table holes and the reserved symbols are refused, and a match may not reach
// before the first byte of output.
#include "Inflate.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int MaxCodeBits = 15;

constexpr std::array<uint16_t, 29> LengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                 15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> LengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> DistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> DistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                   4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                   9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<uint8_t, 19> CodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                     11, 4,  12, 3, 13, 2, 14, 1, 15};

constexpr size_t InputSize = 16 * 1024;
constexpr size_t WindowHalf = 32 * 1024;
constexpr size_t WindowFlushAt = 64 * 1024;
constexpr size_t LongestMatch = 258;
constexpr size_t WindowSize = WindowFlushAt + LongestMatch;

uint32_t ReverseBits(uint32_t ACode, int ALength) {
  uint32_t result = 0;
  for (int i = 0; i < ALength; ++i) {
    result = (result << 1) | (ACode & 1);
    ACode >>= 1;
  }
  return result;
}

struct TFixedTrees {
  THuffmanTree Literal;
  THuffmanTree Distance;
  TFixedTrees() {
    uint8_t lengths[288];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + 288, 8);
    Literal.Build(lengths, 288, MaxCodeBits, THuffmanTree::TExtra::Length);
    std::fill(lengths, lengths + 32, 5);
    Distance.Build(lengths, 32, MaxCodeBits, THuffmanTree::TExtra::Distance);
  }
};

const TFixedTrees& FixedTrees() {
  static const TFixedTrees trees;
  return trees;
}

// The failure that unwinds a decode; caught in Inflate.
struct TStop {
  TInflateResult Result;
};

// Least-significant-bit-first reader over the source, refilled through a
// 16 KiB buffer. Past the end of the source it pads with zero bits so that a
// short final code can still be looked up, but consuming a padding bit is a
// truncated stream.
class TBitReader {
public:
  explicit TBitReader(TInflateSource& ASource) : FSource(ASource), FBuffer(InputSize) {}

  uint32_t Peek(int ACount) {
    Fill(ACount);
    return static_cast<uint32_t>(FBits & ((uint64_t{1} << ACount) - 1));
  }

  void Drop(int ACount) {
    if (ACount > FRealBits) throw TStop{TInflateResult::BadData};
    FBits >>= ACount;
    FBitCount -= ACount;
    FRealBits -= ACount;
  }

  uint32_t Take(int ACount) {
    if (ACount == 0) return 0;
    const uint32_t value = Peek(ACount);
    Drop(ACount);
    return value;
  }

  void AlignToByte() { Drop(FBitCount & 7); }

  // Copies whole bytes once aligned: first those already in the bit buffer,
  // then straight from the input buffer.
  void TakeBytes(uint8_t* ADest, size_t ACount) {
    while (ACount > 0 && FBitCount >= 8) {
      *ADest++ = static_cast<uint8_t>(Take(8));
      --ACount;
    }
    while (ACount > 0) {
      if (FPos == FLength && !Refill()) throw TStop{TInflateResult::BadData};
      const size_t n = std::min(ACount, FLength - FPos);
      std::memcpy(ADest, FBuffer.data() + FPos, n);
      FPos += n;
      ADest += n;
      ACount -= n;
    }
  }

private:
  void Fill(int ACount) {
    while (FBitCount < ACount) {
      uint64_t byte = 0;
      if (FPos < FLength || Refill()) {
        byte = FBuffer[FPos++];
        FRealBits += 8;
      }
      FBits |= byte << FBitCount;
      FBitCount += 8;
    }
  }

  bool Refill() {
    if (FExhausted) return false;
    FPos = 0;
    FLength = FSource.Read(FBuffer.data(), FBuffer.size());
    if (FLength == 0) FExhausted = true;
    return FLength > 0;
  }

  TInflateSource& FSource;
  std::vector<uint8_t> FBuffer;
  size_t FPos = 0;
  size_t FLength = 0;
  bool FExhausted = false;
  uint64_t FBits = 0;
  int FBitCount = 0;
  int FRealBits = 0;
};

// The sliding window: matches reach back into it, and its older half goes to
// the sink whenever the write position reaches 64 KiB.
class TWindow {
public:
  explicit TWindow(TInflateSink& ASink) : FSink(ASink), FData(WindowSize) {}

  void Put(uint8_t AByte) {
    FData[FPos++] = AByte;
    FlushIfFull();
  }

  void Copy(size_t ADistance, size_t ALength) {
    if (ADistance == 0 || ADistance > FPos) throw TStop{TInflateResult::BadData};
    uint8_t* out = FData.data() + FPos;
    const uint8_t* from = out - ADistance;
    if (ADistance < ALength) {
      for (size_t i = 0; i < ALength; ++i)
        out[i] = from[i];
    } else {
      std::memcpy(out, from, ALength);
    }
    FPos += ALength;
    FlushIfFull();
  }

  // Room for a stored copy before the next flush.
  size_t Room() const { return WindowFlushAt - FPos; }
  uint8_t* WritePointer() { return FData.data() + FPos; }
  void Advance(size_t ACount) {
    FPos += ACount;
    FlushIfFull();
  }

  void Finish() { Emit(FPos); }

private:
  void FlushIfFull() {
    if (FPos < WindowFlushAt) return;
    Emit(WindowHalf);
    std::memmove(FData.data(), FData.data() + WindowHalf, FPos - WindowHalf);
    FPos -= WindowHalf;
  }

  void Emit(size_t ACount) {
    if (ACount > 0 && !FSink.Write(FData.data(), ACount)) throw TStop{TInflateResult::TooLong};
  }

  TInflateSink& FSink;
  std::vector<uint8_t> FData;
  size_t FPos = 0;
};

uint32_t DecodeSymbol(TBitReader& AIn, const THuffmanTree& ATree) {
  const uint32_t entry = ATree.Lookup(AIn.Peek(ATree.Max()));
  if (entry == THuffmanTree::Unused) throw TStop{TInflateResult::BadData};
  AIn.Drop(static_cast<int>((entry >> 16) & 0xFF));
  return entry;
}

void DecodeBlock(TBitReader& AIn, TWindow& AOut, const THuffmanTree& ALiterals,
                 const THuffmanTree& ADistances) {
  for (;;) {
    const uint32_t entry = DecodeSymbol(AIn, ALiterals);
    const uint32_t symbol = entry & 0xFFFF;
    if (symbol < 256) {
      AOut.Put(static_cast<uint8_t>(symbol));
      continue;
    }
    if (symbol == 256) return;
    if (symbol > 285) throw TStop{TInflateResult::BadData};
    const size_t length = LengthBase[symbol - 257] + AIn.Take(static_cast<int>(entry >> 24));
    const uint32_t distEntry = DecodeSymbol(AIn, ADistances);
    const uint32_t distSymbol = distEntry & 0xFFFF;
    if (distSymbol > 29) throw TStop{TInflateResult::BadData};
    const size_t distance = DistanceBase[distSymbol] + AIn.Take(static_cast<int>(distEntry >> 24));
    AOut.Copy(distance, length);
  }
}

void StoredBlock(TBitReader& AIn, TWindow& AOut) {
  AIn.AlignToByte();
  // The complement of the length is not checked.
  size_t length = AIn.Take(32) & 0xFFFF;
  while (length > 0) {
    const size_t n = std::min(length, AOut.Room());
    AIn.TakeBytes(AOut.WritePointer(), n);
    AOut.Advance(n);
    length -= n;
  }
}

void DynamicBlock(TBitReader& AIn, TWindow& AOut) {
  const int literalCount = static_cast<int>(AIn.Take(5)) + 257;
  const int distanceCount = static_cast<int>(AIn.Take(5)) + 1;
  const int codeLengthCount = static_cast<int>(AIn.Take(4)) + 4;
  if (literalCount > 286 || distanceCount > 30) throw TStop{TInflateResult::BadData};

  uint8_t codeLengths[19] = {};
  for (int i = 0; i < codeLengthCount; ++i)
    codeLengths[CodeLengthOrder[i]] = static_cast<uint8_t>(AIn.Take(3));
  THuffmanTree codeLengthTree;
  if (!codeLengthTree.Build(codeLengths, 19, 7, THuffmanTree::TExtra::None))
    throw TStop{TInflateResult::BadData};

  uint8_t lengths[286 + 30] = {};
  const int total = literalCount + distanceCount;
  for (int i = 0; i < total;) {
    const uint32_t symbol = DecodeSymbol(AIn, codeLengthTree) & 0xFFFF;
    if (symbol < 16) {
      lengths[i++] = static_cast<uint8_t>(symbol);
      continue;
    }
    uint8_t value = 0;
    int repeat = 0;
    if (symbol == 16) {
      if (i == 0) throw TStop{TInflateResult::BadData};
      value = lengths[i - 1];
      repeat = 3 + static_cast<int>(AIn.Take(2));
    } else if (symbol == 17) {
      repeat = 3 + static_cast<int>(AIn.Take(3));
    } else {
      repeat = 11 + static_cast<int>(AIn.Take(7));
    }
    if (i + repeat > total) throw TStop{TInflateResult::BadData};
    std::fill(lengths + i, lengths + i + repeat, value);
    i += repeat;
  }

  THuffmanTree literals;
  THuffmanTree distances;
  if (!literals.Build(lengths, literalCount, MaxCodeBits, THuffmanTree::TExtra::Length) ||
      !distances.Build(lengths + literalCount, distanceCount, MaxCodeBits,
                       THuffmanTree::TExtra::Distance))
    throw TStop{TInflateResult::BadData};
  DecodeBlock(AIn, AOut, literals, distances);
}

} // namespace

bool THuffmanTree::Build(const uint8_t* ALengths, int ACount, int ACodeBits, TExtra AExtra) {
  int counts[MaxCodeBits + 1] = {};
  for (int i = 0; i < ACount; ++i) {
    if (ALengths[i] > ACodeBits) return false;
    ++counts[ALengths[i]];
  }
  int max = 0;
  int left = 1;
  for (int len = 1; len <= MaxCodeBits; ++len) {
    left <<= 1;
    left -= counts[len];
    if (left < 0) return false;
    if (counts[len] > 0) max = len;
  }
  uint32_t nextCode[MaxCodeBits + 2] = {};
  uint32_t code = 0;
  counts[0] = 0;
  for (int len = 1; len <= MaxCodeBits; ++len) {
    code = (code + counts[len - 1]) << 1;
    nextCode[len] = code;
  }

  FMax = max;
  FCodeBits = ACodeBits;
  FTable.assign(size_t{1} << max, Unused);
  for (int symbol = 0; symbol < ACount; ++symbol) {
    const int len = ALengths[symbol];
    if (len == 0) continue;
    uint32_t extra = 0;
    if (AExtra == TExtra::Length && symbol >= 257 && symbol <= 285)
      extra = LengthExtra[symbol - 257];
    else if (AExtra == TExtra::Distance && symbol < 30)
      extra = DistanceExtra[symbol];
    const uint32_t entry =
        static_cast<uint32_t>(symbol) | (static_cast<uint32_t>(len) << 16) | (extra << 24);
    for (size_t index = ReverseBits(nextCode[len]++, len); index < FTable.size();
         index += size_t{1} << len)
      FTable[index] = entry;
  }
  return true;
}

bool TMemorySink::Write(const uint8_t* AData, size_t ACount) {
  if (FOutput.size() + ACount > FLimit) return false;
  FOutput.insert(FOutput.end(), AData, AData + ACount);
  return true;
}

TInflateResult Inflate(TInflateSource& ASource, TInflateSink& ASink) {
  const TFixedTrees& fixed = FixedTrees();
  TBitReader in(ASource);
  TWindow out(ASink);
  try {
    for (;;) {
      const bool final = in.Take(1) != 0;
      switch (in.Take(2)) {
      case 0:
        StoredBlock(in, out);
        break;
      case 1:
        DecodeBlock(in, out, fixed.Literal, fixed.Distance);
        break;
      case 2:
        DynamicBlock(in, out);
        break;
      default:
        // A reserved block type contributes nothing.
        break;
      }
      if (final) {
        out.Finish();
        return TInflateResult::Done;
      }
    }
  } catch (const TStop& stop) {
    return stop.Result;
  }
}
