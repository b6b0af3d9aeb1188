// A task's option parsing, strict and not, over two synthetic inputs, with
// the options that act on opened inputs ("-map", "-map_channel", "-target",
// "-metadata"). The first byte picks the mode; the rest is the option text.
#include "FuzzTask.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  LoadLibAVOrDie();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(AData) + 1, ASize - 1);
  // "-progress" opens its target for writing: a fuzzer must not write files.
  if (text.find("progress") != std::string::npos) return 0;
  ResetProcessOptions();
  TFuzzTask task;
  task.StrictOptions = AData[0] & 1;
  TOptionsContext options;
  task.InitOptionsContext(options);
  const int result =
      task.ParseOptions(options, text, AData[0] & 2 ? "output.mkv" : "input.avi", "");
  // A parse answers 0 or a failure that says why, in both modes.
  if (result > 0 || (result < 0 && task.LastErrMsg.empty())) std::abort();
  task.FreeOptionsContext(options);
  return 0;
}
