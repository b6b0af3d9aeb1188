// Picture optimisation: the size of an animation before and after the
// codec's Optimize (every option but colour reduction) and after
// "gifsicle -O2" on the same file, with the time each takes; inputs are
// unoptimised animations that ffmpeg and ImageMagick write. Prints figures;
// asserts nothing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "GIFImage.h"

namespace {

using TClock = std::chrono::steady_clock;

struct TInput {
  const char* Name;
  const char* Command; // %s: the file to write
};

// Full frames every time (ffmpeg's own cropping and transparency switched off).
const TInput Inputs[] = {
    {"testsrc2 320x240 30 frames",
     "ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=s=320x240:r=10:d=3 -gifflags 0 -y %s"},
    {"testsrc 320x240 30 frames",
     "ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=s=320x240:r=10:d=3 -gifflags 0 -y %s"},
    {"rose 4 frames (ImageMagick)",
     "convert rose: -colors 64 \\( +clone -fill red -draw \"rectangle 10,10 20,20\" \\) "
     "\\( +clone -fill blue -draw \"rectangle 30,5 40,15\" \\) \\( +clone -flip \\) "
     "-delay 20 -loop 0 %s"},
};

// Runs a command line; its wall time in seconds, or a negative value when it
// failed.
double Run(const std::string& ACommand) {
  const auto start = TClock::now();
  const int status = std::system((ACommand + " >/dev/null 2>&1").c_str());
  const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
  return status == 0 ? seconds : -1;
}

uintmax_t SizeOf(const std::string& AFile) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(AFile, error);
  return error ? 0 : size;
}

} // namespace

int main() {
  char pattern[] = "/tmp/vexmora-gif-optimize-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string folder = pattern;

  std::printf("%-30s %10s %10s %8s %10s %8s %8s %10s\n", "input", "bytes", "ours", "ms", "gifsicle",
              "ms", "ratio", "time ratio");
  for (const TInput& input : Inputs) {
    const std::string in = folder + "/in.gif";
    std::vector<char> command(1024);
    std::snprintf(command.data(), command.size(), input.Command, in.c_str());
    if (Run(command.data()) < 0) {
      std::printf("%-30s could not be made\n", input.Name);
      continue;
    }
    const std::string ours = folder + "/ours.gif";
    const auto start = TClock::now();
    double ourSeconds = -1;
    try {
      TGIFImage image;
      image.LoadFromFile(in);
      image.Optimize(ooAll & ~ooReduceColors, crNone, 8, dtNearest);
      image.SaveToFile(ours);
      ourSeconds = std::chrono::duration<double>(TClock::now() - start).count();
    } catch (const std::exception& AError) {
      std::printf("%-30s failed: %s\n", input.Name, AError.what());
      continue;
    }
    const std::string peer = folder + "/gifsicle.gif";
    const double peerSeconds = Run("gifsicle -O2 " + in + " -o " + peer);
    const uintmax_t before = SizeOf(in);
    const uintmax_t after = SizeOf(ours);
    const uintmax_t peerSize = peerSeconds < 0 ? 0 : SizeOf(peer);
    std::printf("%-30s %10ju %10ju %8.1f %10ju %8.1f %8.3f %10.3f\n", input.Name, before, after,
                ourSeconds * 1000, peerSize, peerSeconds * 1000,
                peerSize ? double(after) / double(peerSize) : 0.0,
                peerSeconds > 0 ? ourSeconds / peerSeconds : 0.0);
  }
  std::printf("ratio: our size / gifsicle's; time ratio: our time (load, optimise, save) / "
              "gifsicle's (a whole program run)\n");
  std::filesystem::remove_all(folder);
  return 0;
}
