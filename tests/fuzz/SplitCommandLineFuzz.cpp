// The command-line splitter on arbitrary bytes: both passes agree, and the
// second stays inside the entries and bytes the first asked for.
#include "FFUtils.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string text(reinterpret_cast<const char*>(AData), ASize); // ends at a NUL, as C text
  int bytes = -1, count = -1;
  SplitCommandLine(text.c_str(), nullptr, nullptr, bytes, count);
  if (bytes < 0 || count < 1) std::abort();
  // Exactly what was asked for: the sanitizer catches a write past either.
  std::vector<char*> argv(static_cast<size_t>(count));
  std::vector<char> buffer(static_cast<size_t>(bytes));
  int bytes2 = -1, count2 = -1;
  SplitCommandLine(text.c_str(), argv.data(), buffer.data(), bytes2, count2);
  if (bytes2 != bytes || count2 != count) std::abort();
  if (argv[static_cast<size_t>(count - 1)] != nullptr) std::abort();
  const char* end = buffer.data() + buffer.size();
  for (int i = 0; i + 1 < count; ++i) {
    const char* arg = argv[static_cast<size_t>(i)];
    if (arg < buffer.data() || arg >= end) std::abort();
    if (!std::memchr(arg, '\0', static_cast<size_t>(end - arg))) std::abort();
  }
  return 0;
}
