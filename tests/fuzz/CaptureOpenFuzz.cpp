// The capture device's name ("video=...:audio=...") and options through a
// real open and close, on a private X server and the test sound device. The
// first line of the input is the name; each further line is "key=value".
// Slow (every open grabs the screen and starts the sound): a few hundred
// runs are a fair session.
#include "AlsaTestConfig.h"
#include "FuzzLibAV.h"
#include "LibAV.h"
#include "GDICapture.h"
#include "XvfbServer.h"

#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InstallAlsaTestConfig();
  LoadLibAVOrDie();
  RegisterGdiCaptureDevice();
  std::string error;
  if (!ProgramXvfb(error)) {
    std::fprintf(stderr, "no X server: %s\n", error.c_str());
    std::exit(1);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  std::istringstream lines(std::string(reinterpret_cast<const char*>(AData), ASize));
  std::string name, line;
  std::getline(lines, name);
  AVDictionary* options = nullptr;
  while (std::getline(lines, line)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    AV.av_dict_set(&options, line.substr(0, equals).c_str(), line.substr(equals + 1).c_str(), 0);
  }
  AVFormatContext* context = nullptr;
  if (AV.avformat_open_input(&context, name.c_str(), GdiCaptureInputFormat(), &options) >= 0)
    AV.avformat_close_input(&context);
  AV.av_dict_free(&options);
  return 0;
}
