// The skin reader's own Deflate decoder (raw streams, no zlib or gzip
// wrapper): single-level Huffman lookup tables and a 64 KiB sliding window
// flushed in 32 KiB halves into a capped sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A canonical Huffman code as one lookup table indexed by the next max bits
// of the stream (least-significant bit first). Each entry holds the symbol in
// bits 0-15, the code length in bits 16-23 and the number of extra bits that
// follow the code in bits 24-31; entries that no code reaches hold all ones.
class THuffmanTree {
public:
  static constexpr uint32_t Unused = 0xFFFFFFFFu;
  enum class TExtra { None, Length, Distance };

  // Builds the table from the code lengths of symbols 0..n-1. ACodeBits is
  // the longest length the tree may hold (7 for the code-length code, 15
  // otherwise). Returns false for an over-subscribed set of lengths or a
  // length above ACodeBits; an incomplete code is allowed (its holes stay
  // Unused and fail when decoded).
  bool Build(const uint8_t* ALengths, int ACount, int ACodeBits, TExtra AExtra);

  int Max() const { return FMax; }
  int CodeBits() const { return FCodeBits; }
  uint32_t Lookup(uint32_t ABits) const { return FTable[ABits & ((1u << FMax) - 1)]; }

private:
  int FMax = 0;
  int FCodeBits = 0;
  std::vector<uint32_t> FTable{Unused};
};

// Where the decoded bytes go. Write answers false once the bytes would pass
// the sink's limit; the decoder then stops.
class TInflateSink {
public:
  virtual ~TInflateSink() = default;
  virtual bool Write(const uint8_t* AData, size_t ACount) = 0;
};

// Where the compressed bytes come from, in order. Read answers how many bytes
// it gave; 0 means the source is exhausted.
class TInflateSource {
public:
  virtual ~TInflateSource() = default;
  virtual size_t Read(uint8_t* ABuffer, size_t ACount) = 0;
};

enum class TInflateResult {
  Done,    // the final block ended and every byte reached the sink
  BadData, // the stream is malformed or ends before its final block
  TooLong, // the sink refused bytes past its limit
};

// Decodes one raw Deflate stream from ASource into ASink.
TInflateResult Inflate(TInflateSource& ASource, TInflateSink& ASink);

// A sink that appends to a vector and refuses to grow it past a limit.
class TMemorySink : public TInflateSink {
public:
  TMemorySink(std::vector<uint8_t>& AOutput, uint64_t ALimit) : FOutput(AOutput), FLimit(ALimit) {}
  bool Write(const uint8_t* AData, size_t ACount) override;

private:
  std::vector<uint8_t>& FOutput;
  uint64_t FLimit;
};
