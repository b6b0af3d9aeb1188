// The language-file reader on arbitrary bytes: it reads without fault, and a
// value never runs past the end of its line.
#include "LanguageFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const TLanguageFile file =
      TLanguageFile::FromText(std::string(reinterpret_cast<const char*>(AData), ASize));
  for (const char* key : {"btnOk.Caption", "btnOk.Hint", "lbl1.Caption"}) {
    const auto value = file.Read("Translations", key);
    if (value && value->find('\n') != std::string::npos) std::abort();
  }
  return 0;
}
