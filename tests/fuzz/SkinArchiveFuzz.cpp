// Fuzz target: a skin archive from memory through UnzipSkinMember, without a
// password and with one (so that the encrypted path runs too).
#include "SkinArchive.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const TSkinMemorySource source({AData, ASize});
  std::vector<uint8_t> member;
  for (const char* password : {"", "pw"}) {
    const int result = UnzipSkinMember(source, "SKINDATA.SK2", member, password);
    if (result < 0 || result > 2 || (result != 0 && !member.empty())) std::abort();
  }
  return 0;
}
