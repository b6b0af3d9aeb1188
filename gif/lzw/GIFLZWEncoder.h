// The LZW frame coder: a true LZW compressor over a hashed string table,
// with codes of at most 12 bits and a clear code once the table is full.
#pragma once

#include <array>
#include <cstdint>

#include "GIFEncoder.h"
#include "GIFHashTable.h"

class TLZWEncoder final : public TGIFEncoder {
protected:
  void Output(int ACode) override;
  void Clear() override;
  void Compress() override;

private:
  void Emit(int ACode) {
    PutCode(ACode);
    if (FClearFlag) {
      FCodeWidth = FInitialCodeWidth;
      FMaxCode = (1 << FInitialCodeWidth) - 1;
      FClearFlag = false;
    } else if (FNextFreeCode > FMaxCode) {
      ++FCodeWidth;
      FMaxCode = FCodeWidth == 12 ? 4096 : (1 << FCodeWidth) - 1;
    }
  }

  static constexpr uint32_t kNoChild = 0xFFFFFFFF;

  THashTable FHashTable;
  // Per prefix code, the pixel and code of the string last found or made
  // behind it: smooth pictures meet the same string again and again, and
  // this spares the table probe.
  std::array<uint32_t, 4096> FLastChild{};
  int FNextFreeCode = 0;
};
