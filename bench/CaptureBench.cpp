// The capture road as users feel it: a private 1920x1080 X server recorded
// through the "gdicapture" device alone (avformat_open_input, av_read_frame)
// for 10 s at 30 and at 60 frames per second, with the recorder's capture
// flags. Prints frames delivered, dropped and lost, the grab time per frame,
// and the CPU seconds per recorded second of this process and of the X
// server, next to a plain memcpy of one frame as the floor.
#include "CaptureDevice.h"
#include "FFLoad.h"
#include "GDICapture.h"
#include "ScreenThread.h"
#include "XvfbServer.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kSeconds = 10;
const char* const kFlags = "+showframe+client+cursor";

std::atomic<int> Dropped{0};  // "real-time buffer ... frame dropped!"
std::atomic<int64_t> Lost{0}; // "We lost %d frames."

void CountLog(void*, int, const char* AFormat, va_list AArgs) {
  char text[1024];
  std::vsnprintf(text, sizeof text, AFormat, AArgs);
  if (std::strstr(text, "frame dropped!")) Dropped.fetch_add(1);
  if (std::strncmp(text, "We lost ", 8) == 0) Lost.fetch_add(std::atoll(text + 8));
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& ATime) { return ATime.tv_sec + ATime.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// User and system time of another process, from /proc.
double ChildCpuSeconds(pid_t APid) {
  std::ifstream stat("/proc/" + std::to_string(APid) + "/stat");
  std::string line;
  std::getline(stat, line);
  // Past the command name in parentheses, utime and stime are fields 14 and 15.
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string ProgramFolder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  const std::string exe(path, static_cast<size_t>(length));
  return exe.substr(0, exe.rfind('/'));
}

struct TRun {
  int Rate = 0;
  int64_t Delivered = 0;
  int DroppedFrames = 0;
  int64_t LostFrames = 0;
  TGrabStats Grabs;
  double Seconds = 0, ProcessCpu = 0, ServerCpu = 0;
};

bool Record(int ARate, pid_t AServer, TRun& ARun) {
  AVDictionary* options = nullptr;
  AV.av_dict_set(&options, "framerate", std::to_string(ARate).c_str(), 0);
  AV.av_dict_set(&options, "capture_flags", kFlags, 0);
  AVFormatContext* context = nullptr;
  const int opened = AV.avformat_open_input(&context, "video=0", GdiCaptureInputFormat(), &options);
  AV.av_dict_free(&options);
  if (opened < 0) {
    std::fprintf(stderr, "the device did not open: %d\n", opened);
    return false;
  }
  Dropped = 0;
  Lost = 0;
  ARun.Rate = ARate;
  AVPacket* packet = AV.av_packet_alloc();
  const double processBefore = ProcessCpuSeconds(), serverBefore = ChildCpuSeconds(AServer);
  const TClock::time_point began = TClock::now(), end = began + std::chrono::seconds(kSeconds);
  while (TClock::now() < end) {
    const int result = AV.av_read_frame(context, packet);
    if (result == AVERROR(EAGAIN)) continue; // the device waited up to a second itself
    if (result < 0) {
      std::fprintf(stderr, "read failed: %d\n", result);
      break;
    }
    ++ARun.Delivered;
    AV.av_packet_unref(packet);
  }
  ARun.Seconds = std::chrono::duration<double>(TClock::now() - began).count();
  ARun.ProcessCpu = ProcessCpuSeconds() - processBefore;
  ARun.ServerCpu = ChildCpuSeconds(AServer) - serverBefore;
  ARun.DroppedFrames = Dropped;
  ARun.LostFrames = Lost;
  const auto* device = static_cast<const TGdiCaptureContext*>(context->priv_data)->Device;
  if (device && device->ScreenThread) ARun.Grabs = device->ScreenThread->GrabStats();
  AV.av_packet_free(&packet);
  AV.avformat_close_input(&context);
  return true;
}

// The floor: one frame copied by memcpy, in milliseconds.
double MemcpyMilliseconds() {
  const size_t bytes = static_cast<size_t>(kWidth) * kHeight * 4;
  std::vector<uint8_t> from(bytes, 1), to(bytes, 0);
  constexpr int kRounds = 200;
  const TClock::time_point began = TClock::now();
  for (int i = 0; i < kRounds; ++i) {
    from[static_cast<size_t>(i)] = static_cast<uint8_t>(i); // not the same copy twice
    std::memcpy(to.data(), from.data(), bytes);
  }
  const double total = std::chrono::duration<double, std::milli>(TClock::now() - began).count();
  volatile uint8_t keep = to[bytes / 2];
  (void)keep;
  return total / kRounds;
}

} // namespace

int main() {
  TFFLoader& loader = FFLoader();
  loader.SetLibraryPath(ProgramFolder() + "/LibAV");
  if (!loader.LoadLibs(loader.FullSet())) {
    std::fprintf(stderr, "%s\n", loader.GetLastErrMsg().c_str());
    return 1;
  }
  RegisterGdiCaptureDevice();
  AV.av_log_set_callback(CountLog);

  TXvfbServer server;
  std::string error;
  if (!server.Start(kWidth, kHeight, 24, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  std::vector<TRun> runs;
  for (const int rate : {30, 60}) {
    TRun run;
    if (Record(rate, server.Pid(), run)) runs.push_back(run);
  }
  server.Stop();

  std::printf("gdicapture: %dx%d x 32-bit screen (Xvfb), %d s a rate, capture_flags %s\n", kWidth,
              kHeight, kSeconds, kFlags);
  std::printf("%5s %10s %9s %8s %5s %10s %11s %12s %12s\n", "fps", "delivered", "expected",
              "dropped", "lost", "grab mean", "grab worst", "CPU s/s own", "CPU s/s X");
  for (const TRun& run : runs) {
    const double mean =
        run.Grabs.Count ? static_cast<double>(run.Grabs.TotalMicroseconds) / run.Grabs.Count / 1000
                        : 0;
    std::printf("%5d %10lld %9lld %8d %5lld %7.2f ms %8.2f ms %12.3f %12.3f\n", run.Rate,
                static_cast<long long>(run.Delivered),
                static_cast<long long>(run.Seconds * run.Rate + 1), run.DroppedFrames,
                static_cast<long long>(run.LostFrames), mean,
                static_cast<double>(run.Grabs.WorstMicroseconds) / 1000,
                run.ProcessCpu / run.Seconds, run.ServerCpu / run.Seconds);
  }
  const double copy = MemcpyMilliseconds();
  std::printf("floor: memcpy of one %d-byte frame %.2f ms (CPU s/s %.3f at 30 fps, %.3f at 60)\n",
              kWidth * kHeight * 4, copy, copy * 30 / 1000, copy * 60 / 1000);
  std::printf("grab = X server copy into shared memory + one copy into the packet (+ cursor)\n");
  return 0;
}
