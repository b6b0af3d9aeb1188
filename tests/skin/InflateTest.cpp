// The skin reader's own inflater against zlib's writer, hand-made streams
// that cross the window's flush points, and every kind of malformed stream,
// each of which must end as bad data (and, inside an archive, result 2).
#include "Inflate.h"
#include "SkinArchive.h"
#include "SkinTestSupport.h"
#include "SkinWriter.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

class TSpanSource : public TInflateSource {
public:
  explicit TSpanSource(std::span<const uint8_t> ABytes) : FBytes(ABytes) {}
  size_t Read(uint8_t* ABuffer, size_t ACount) override {
    const size_t n = std::min(ACount, FBytes.size() - FPos);
    std::copy_n(FBytes.data() + FPos, n, ABuffer);
    FPos += n;
    return n;
  }

private:
  std::span<const uint8_t> FBytes;
  size_t FPos = 0;
};

TInflateResult InflateBytes(std::span<const uint8_t> AStream, std::vector<uint8_t>& AOut,
                            uint64_t ALimit = uint64_t{1} << 32) {
  AOut.clear();
  TSpanSource source(AStream);
  TMemorySink sink(AOut, ALimit);
  return Inflate(source, sink);
}

// --- zlib as the writer -----------------------------------------------------

struct TZlibCase {
  int Level;
  int Strategy;
  const char* Name;
};

class InflateZlibTest : public testing::TestWithParam<TZlibCase> {};

TEST_P(InflateZlibTest, DecodesZlibOutputByteEqual) {
  const std::vector<uint8_t> data = SampleData(300000, 7);
  const std::vector<uint8_t> stream = DeflateRaw(data, GetParam().Level, GetParam().Strategy);
  std::vector<uint8_t> out;
  ASSERT_EQ(InflateBytes(stream, out), TInflateResult::Done);
  EXPECT_EQ(out, data);
}

std::vector<TZlibCase> ZlibCases() {
  std::vector<TZlibCase> cases;
  static const char* const levels[] = {"L0", "L1", "L2", "L3", "L4", "L5", "L6", "L7", "L8", "L9"};
  for (int level = 0; level <= 9; ++level)
    cases.push_back({level, Z_DEFAULT_STRATEGY, levels[level]});
  cases.push_back({6, Z_FIXED, "Fixed"});
  cases.push_back({6, Z_RLE, "Rle"});
  cases.push_back({6, Z_HUFFMAN_ONLY, "HuffmanOnly"});
  cases.push_back({6, Z_FILTERED, "Filtered"});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(LevelsAndStrategies, InflateZlibTest, testing::ValuesIn(ZlibCases()),
                         [](const testing::TestParamInfo<TZlibCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

TEST(InflateTest, EmptyAndTinyStreamsFromZlib) {
  for (const size_t size : {size_t{0}, size_t{1}, size_t{257}, size_t{32768}, size_t{65536}}) {
    const std::vector<uint8_t> data = SampleData(size, 3);
    std::vector<uint8_t> out;
    ASSERT_EQ(InflateBytes(DeflateRaw(data), out), TInflateResult::Done) << size;
    EXPECT_EQ(out, data) << size;
  }
}

// --- Hand-made streams ------------------------------------------------------

void StoredBlock(TBitWriter& AWriter, const uint8_t* AData, uint16_t ALength, bool AFinal) {
  AWriter.Bits(AFinal ? 1 : 0, 1);
  AWriter.Bits(0, 2);
  AWriter.AlignToByte();
  AWriter.Bits(ALength, 16);
  AWriter.Bits(static_cast<uint16_t>(~ALength), 16);
  for (uint16_t i = 0; i < ALength; ++i)
    AWriter.Byte(AData[i]);
}

// 70,000 stored bytes in two stored blocks, then runs of distance-1,
// length-258 matches that overlap their own output and cross several window
// flushes.
TEST(InflateTest, LongStoredDataAndOverlappingMatchesAcrossFlushes) {
  const std::vector<uint8_t> stored = SampleData(70000, 11);
  TBitWriter writer;
  StoredBlock(writer, stored.data(), 65535, false);
  StoredBlock(writer, stored.data() + 65535, 70000 - 65535, false);
  writer.Bits(1, 1);
  writer.Bits(1, 2);
  writer.FixedSymbol('A');
  constexpr int Matches = 300;
  for (int i = 0; i < Matches; ++i) {
    writer.FixedSymbol(285); // length 258, no extra bits
    writer.FixedDistance(0); // distance 1
  }
  writer.FixedSymbol(256);

  std::vector<uint8_t> expected = stored;
  expected.insert(expected.end(), 1 + 258 * Matches, 'A');
  std::vector<uint8_t> out;
  ASSERT_EQ(InflateBytes(writer.Finish(), out), TInflateResult::Done);
  EXPECT_EQ(out, expected);
}

TEST(InflateTest, MatchReachingTheFullWindowDistance) {
  // 40,000 literals through stored blocks, then a copy from 32,768 back.
  const std::vector<uint8_t> stored = SampleData(40000, 5);
  TBitWriter writer;
  StoredBlock(writer, stored.data(), 40000, false);
  writer.Bits(1, 1);
  writer.Bits(1, 2);
  writer.FixedSymbol(285);
  writer.FixedDistance(29); // base 24577, 13 extra bits
  writer.Bits(32768 - 24577, 13);
  writer.FixedSymbol(256);
  std::vector<uint8_t> expected = stored;
  for (int i = 0; i < 258; ++i)
    expected.push_back(expected[expected.size() - 32768]);
  std::vector<uint8_t> out;
  ASSERT_EQ(InflateBytes(writer.Finish(), out), TInflateResult::Done);
  EXPECT_EQ(out, expected);
}

TEST(InflateTest, StopsAtTheSinkLimit) {
  const std::vector<uint8_t> data = SampleData(100000, 9);
  const std::vector<uint8_t> stream = DeflateRaw(data);
  std::vector<uint8_t> out;
  EXPECT_EQ(InflateBytes(stream, out, data.size() - 1), TInflateResult::TooLong);
  EXPECT_LE(out.size(), data.size() - 1);
  EXPECT_EQ(InflateBytes(stream, out, data.size()), TInflateResult::Done);
}

// --- Malformed streams --------------------------------------------------------

// A dynamic block header whose code-length code gives every one of the 19
// code-length symbols 5 bits, so that symbol s is written as the 5-bit code s.
void DynamicHeader(TBitWriter& AWriter, int AHlitBits, int AHdistBits) {
  AWriter.Bits(1, 1);
  AWriter.Bits(2, 2);
  AWriter.Bits(static_cast<uint32_t>(AHlitBits), 5);
  AWriter.Bits(static_cast<uint32_t>(AHdistBits), 5);
  AWriter.Bits(15, 4);
  for (int i = 0; i < 19; ++i)
    AWriter.Bits(5, 3);
}

// A dynamic block that declares the given literal/length and distance code
// lengths, then the body written by the callback.
std::vector<uint8_t>
DynamicStream(std::vector<uint8_t> ALiteralLengths, std::vector<uint8_t> ADistanceLengths,
              const std::function<void(TBitWriter&, const std::vector<uint32_t>&,
                                       const std::vector<uint32_t>&)>& ABody) {
  TBitWriter writer;
  DynamicHeader(writer, static_cast<int>(ALiteralLengths.size()) - 257,
                static_cast<int>(ADistanceLengths.size()) - 1);
  for (const uint8_t length : ALiteralLengths)
    writer.Code(length, 5);
  for (const uint8_t length : ADistanceLengths)
    writer.Code(length, 5);
  ABody(writer, CanonicalCodes(ALiteralLengths), CanonicalCodes(ADistanceLengths));
  return writer.Finish();
}

std::vector<uint8_t> FixedStream(const std::function<void(TBitWriter&)>& ABody) {
  TBitWriter writer;
  writer.Bits(1, 1);
  writer.Bits(1, 2);
  ABody(writer);
  return writer.Finish();
}

struct TMalformedCase {
  const char* Name;
  std::function<std::vector<uint8_t>()> Make;
};

std::vector<TMalformedCase> MalformedCases() {
  return {
      {"Empty", [] { return std::vector<uint8_t>{}; }},
      // Zero bits read as an endless run of empty stored blocks unless the
      // end of the input is noticed.
      {"ZeroByte", [] { return std::vector<uint8_t>{0}; }},
      {"ZeroBytes", [] { return std::vector<uint8_t>(64, 0); }},
      {"Truncated",
       [] {
         std::vector<uint8_t> stream = DeflateRaw(SampleData(50000, 2));
         stream.resize(stream.size() / 2);
         return stream;
       }},
      {"TruncatedStoredCopy",
       [] {
         TBitWriter writer;
         const uint8_t data[10] = {};
         StoredBlock(writer, data, 10, true);
         std::vector<uint8_t> stream = writer.Finish();
         stream[1] = 0xE8; // LEN claims 1000 bytes
         stream[2] = 0x03;
         return stream;
       }},
      {"ReservedBlockTypesUntilTheEnd",
       [] {
         TBitWriter writer;
         for (int i = 0; i < 20; ++i)
           writer.Bits(6, 3); // BFINAL 0, BTYPE 3
         return writer.Finish();
       }},
      {"TooManyLiteralCodes",
       [] {
         TBitWriter writer;
         DynamicHeader(writer, 30, 0); // 287 literal/length codes
         return writer.Finish();
       }},
      {"TooManyDistanceCodes",
       [] {
         TBitWriter writer;
         DynamicHeader(writer, 0, 30); // 31 distance codes
         return writer.Finish();
       }},
      {"OversubscribedCodeLengthCode",
       [] {
         TBitWriter writer;
         writer.Bits(1, 1);
         writer.Bits(2, 2);
         writer.Bits(0, 5);
         writer.Bits(0, 5);
         writer.Bits(15, 4);
         for (int i = 0; i < 19; ++i)
           writer.Bits(1, 3);
         return writer.Finish();
       }},
      {"RepeatCodeFirst",
       [] {
         TBitWriter writer;
         DynamicHeader(writer, 0, 0);
         writer.Code(16, 5);
         writer.Bits(0, 2);
         return writer.Finish();
       }},
      {"RepeatPastTheCounts",
       [] {
         TBitWriter writer;
         DynamicHeader(writer, 0, 0); // 257 + 1 lengths
         writer.Code(18, 5);
         writer.Bits(127, 7); // 138 zeros
         writer.Code(18, 5);
         writer.Bits(127, 7); // 276 in all: past 258
         return writer.Finish();
       }},
      {"OversubscribedLiteralCode",
       [] {
         std::vector<uint8_t> literals(257, 0);
         literals['a'] = literals['b'] = literals['c'] = 1;
         literals[256] = 1;
         return DynamicStream(literals, {1}, [](TBitWriter&, auto&, auto&) {});
       }},
      {"UnusedTableEntry",
       [] {
         std::vector<uint8_t> literals(257, 0);
         literals['A'] = 2;
         literals[256] = 2; // codes 00 and 01; 10 and 11 reach nothing
         return DynamicStream(literals, {1}, [](TBitWriter& AWriter, auto& ALiteral, auto&) {
           AWriter.Code(ALiteral['A'], 2);
           AWriter.Code(3, 2);
         });
       }},
      {"UnusedDistanceEntry",
       [] {
         std::vector<uint8_t> literals(258, 0);
         literals['A'] = 2;
         literals[256] = 2;
         literals[257] = 2;
         return DynamicStream(literals, {1}, [](TBitWriter& AWriter, auto& ALiteral, auto&) {
           AWriter.Code(ALiteral['A'], 2);
           AWriter.Code(ALiteral[257], 2);
           AWriter.Code(1, 1); // distance code '1': no symbol
         });
       }},
      {"EmptyLiteralCode",
       [] {
         return DynamicStream(std::vector<uint8_t>(257, 0), {0},
                              [](TBitWriter& AWriter, auto&, auto&) { AWriter.Bits(0, 8); });
       }},
      {"LiteralSymbol286",
       [] { return FixedStream([](TBitWriter& AWriter) { AWriter.FixedSymbol(286); }); }},
      {"LiteralSymbol287",
       [] { return FixedStream([](TBitWriter& AWriter) { AWriter.FixedSymbol(287); }); }},
      {"DistanceCode30",
       [] {
         return FixedStream([](TBitWriter& AWriter) {
           AWriter.FixedSymbol('A');
           AWriter.FixedSymbol(257);
           AWriter.FixedDistance(30);
         });
       }},
      {"DistanceCode31",
       [] {
         return FixedStream([](TBitWriter& AWriter) {
           AWriter.FixedSymbol('A');
           AWriter.FixedSymbol(257);
           AWriter.FixedDistance(31);
         });
       }},
      {"DistanceBeforeTheStart",
       [] {
         return FixedStream([](TBitWriter& AWriter) {
           AWriter.FixedSymbol('A');
           AWriter.FixedSymbol(257);
           AWriter.FixedDistance(1); // distance 2, one byte written
           AWriter.FixedSymbol(256);
         });
       }},
      {"MatchFirst",
       [] {
         return FixedStream([](TBitWriter& AWriter) {
           AWriter.FixedSymbol(257);
           AWriter.FixedDistance(0);
           AWriter.FixedSymbol(256);
         });
       }},
      {"NoEndOfBlock",
       [] {
         return FixedStream([](TBitWriter& AWriter) {
           for (int i = 0; i < 100; ++i)
             AWriter.FixedSymbol('x');
         });
       }},
  };
}

class InflateMalformedTest : public testing::TestWithParam<TMalformedCase> {};

TEST_P(InflateMalformedTest, EndsAsBadData) {
  const std::vector<uint8_t> stream = GetParam().Make();
  std::vector<uint8_t> out;
  EXPECT_EQ(InflateBytes(stream, out), TInflateResult::BadData);
}

// Inside an archive, a member that does not decode is result 2. (The member
// runs to the end of the file, so what follows the stream is read as more of
// it; the size is one that no case reaches.)
TEST_P(InflateMalformedTest, MakesTheMemberResultTwo) {
  const std::vector<uint8_t> archive =
      WriteSkinArchiveRaw(GetParam().Make(), 0x12345678u, 100000, {});
  std::vector<uint8_t> member;
  EXPECT_EQ(UnzipSkinMember(TSkinMemorySource(archive), "SKINDATA.SK2", member, ""),
            UnzipBadMember);
  EXPECT_TRUE(member.empty());
}

INSTANTIATE_TEST_SUITE_P(Streams, InflateMalformedTest, testing::ValuesIn(MalformedCases()),
                         [](const testing::TestParamInfo<TMalformedCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

TEST(InflateTest, CheckedTreeBuildRefusesLengthsAboveItsBits) {
  const uint8_t lengths[3] = {1, 8, 2};
  THuffmanTree tree;
  EXPECT_FALSE(tree.Build(lengths, 3, 7, THuffmanTree::TExtra::None));
  const uint8_t good[4] = {1, 2, 3, 3};
  ASSERT_TRUE(tree.Build(good, 4, 7, THuffmanTree::TExtra::None));
  EXPECT_EQ(tree.Max(), 3);
  // Symbol 0 has code 0 (1 bit): every even index of the 8-entry table.
  for (uint32_t i = 0; i < 8; i += 2)
    EXPECT_EQ(tree.Lookup(i), 0u | (1u << 16));
}

} // namespace
