// Fuzz target: an extracted "SKINDATA.SK2" member through the reader's chain
// walk (BMP pictures included), then a few look-ups.
#include "Exception.h"
#include "SkinFileReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  Tsk2SkinFileReader reader;
  try {
    reader.LoadMember({AData, ASize});
  } catch (const Exception&) {
    if (reader.Ready()) std::abort();
    return 0;
  }
  if (!reader.Ready()) std::abort();
  if (const TBitmap* picture = reader.GetBitmap("SKIN2_BUTTON"))
    if (picture->Bits().size() < static_cast<size_t>(picture->Stride()) * picture->Height())
      std::abort();
  (void)reader.GetInt("SKIN2_FORMCOLOR");
  (void)reader.GetBool("SKIN2_BUTTONTRANS");
  return 0;
}
