// The LZW frame coder: a true LZW compressor over a hashed string table,
// with codes of at most 12 bits and a clear code once the table is full.
#pragma once

#include "GIFEncoder.h"
#include "GIFHashTable.h"

class TLZWEncoder final : public TGIFEncoder {
protected:
  void Output(int ACode) override;
  void Clear() override;
  void Compress() override;

private:
  THashTable FHashTable;
  int FNextFreeCode = 0;
};
