// Fuzz target: the skin reader's inflater on any raw Deflate stream, with an
// output limit taken from the first two bytes.
#include "Inflate.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

class TBytes : public TInflateSource {
public:
  TBytes(const uint8_t* AData, size_t ASize) : FData(AData), FSize(ASize) {}
  size_t Read(uint8_t* ABuffer, size_t ACount) override {
    // Small reads, so that the input buffer is refilled mid-stream.
    const size_t n = std::min({ACount, FSize - FPos, size_t{977}});
    std::copy_n(FData + FPos, n, ABuffer);
    FPos += n;
    return n;
  }

private:
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 2) return 0;
  const uint64_t limit = (uint64_t{AData[0]} | (uint64_t{AData[1]} << 8)) * 64;
  TBytes source(AData + 2, ASize - 2);
  std::vector<uint8_t> out;
  TMemorySink sink(out, limit);
  const TInflateResult result = Inflate(source, sink);
  if (out.size() > limit) std::abort();
  (void)result;
  return 0;
}
