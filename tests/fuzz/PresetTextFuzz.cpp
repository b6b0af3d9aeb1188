// Preset texts: key=value lines (with "<CRLF>" standing for a line break)
// applied to a task's options over two synthetic inputs.
#include "FuzzTask.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  LoadLibAVOrDie();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string text(reinterpret_cast<const char*>(AData), ASize);
  if (text.find("progress") != std::string::npos) return 0; // would write a file
  ResetProcessOptions();
  TFuzzTask task;
  TOptionsContext options;
  task.InitOptionsContext(options);
  task.ParsePresets(options, text, "preset.ffpreset");
  task.FreeOptionsContext(options);
  return 0;
}
