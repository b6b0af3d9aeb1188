// The run-length frame coder: a code stream that every LZW decoder reads,
// but whose table codes only ever stand for runs of one colour. After a
// clear, the codes first free + n - 2 are made to mean runs of n pixels.
#pragma once

#include <cstdint>

#include "GIFEncoder.h"

class TRLEEncoder final : public TGIFEncoder {
protected:
  void Clear() override;
  void Compress() override;

private:
  void OutputPlain(int ACode);
  // Codes needed for a run of ACount pixels without a clear.
  static uint64_t Triangle(uint64_t ACount, uint64_t AMaxCodes);
  void ResetOutClear();
  void FlushFromClear(uint64_t ACount);
  void FlushClearOrRepeat(uint64_t ACount);
  void FlushWithTable(uint64_t ACount);
  void Flush(uint64_t ACount);

  int FRunPixel = -1;
  int FOutCount = 0;
  int FOutBump = 0;
  int FOutBumpInit = 0;
  int FOutClear = 0;
  int FOutClearInit = 0;
  int FRunTableMax = 0;
  int FRunTablePixel = -1;
  int FMaxCodes = 0;
};
