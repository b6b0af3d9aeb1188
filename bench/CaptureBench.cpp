// The capture road as users feel it, side by side with FFmpeg's own X11
// screen device ("x11grab") in the same run: a private 1920x1080 X server
// recorded at 30 and at 60 frames per second by each device, through
// avformat_open_input and av_read_frame alone, with the same size and rate
// and without the cursor. The two take turns, three recordings of 5 s each,
// so that both see the same load of a shared machine. Prints for each the
// time from avformat_open_input to the first packet (the median), the
// frames skipped in the first second of the recordings, frames delivered,
// and the CPU seconds per recorded second of this process and of the X
// server, then our figures over the peer's. A last pair of rows shows
// "gdicapture" with the recorder's own capture flags (the "Rec" label and
// the cursor).
#include "CaptureDevice.h"
#include "FFLoad.h"
#include "GDICapture.h"
#include "ScreenSource.h"
#include "ScreenThread.h"
#include "XvfbServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kSeconds = 5; // one recording
constexpr int kTurns = 3;
const char* const kRecorderFlags = "+showframe+client+cursor";

std::atomic<int> Dropped{0};  // "real-time buffer ... frame dropped!"
std::atomic<int64_t> Lost{0}; // "We lost %d frames."

void CountLog(void*, int ALevel, const char* AFormat, va_list AArgs) {
  char text[1024];
  std::vsnprintf(text, sizeof text, AFormat, AArgs);
  if (std::strstr(text, "frame dropped!")) Dropped.fetch_add(1);
  if (std::strncmp(text, "We lost ", 8) == 0) Lost.fetch_add(std::atoll(text + 8));
  if (ALevel <= AV_LOG_ERROR && !std::strstr(text, "frame dropped!"))
    std::fprintf(stderr, "%s", text);
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

double Milliseconds(TClock::duration ATime) {
  return std::chrono::duration<double, std::milli>(ATime).count();
}

// The sum of a device's recordings at one rate.
struct TRun {
  std::string Device;
  int Rate = 0;
  std::vector<double> OpenMs, FirstPacketMs;
  int64_t Delivered = 0, Expected = 0;
  int SkippedAtStart = 0;
  int DroppedFrames = 0;
  int64_t LostFrames = 0;
  TGrabStats Grabs; // the first grab: the slowest of the recordings'
  int Buffers = 0;  // frame buffers the device made (ours), the most of one recording
  double Seconds = 0, ProcessCpu = 0, ServerCpu = 0;
  double CpuPerSecond() const { return Seconds > 0 ? ProcessCpu / Seconds : 0; }
  double ServerCpuPerSecond() const { return Seconds > 0 ? ServerCpu / Seconds : 0; }
};

double Median(std::vector<double> AValues) {
  if (AValues.empty()) return 0;
  std::sort(AValues.begin(), AValues.end());
  return AValues[AValues.size() / 2];
}

// Grid slots of the first second that no frame's stamp fell in.
int SkippedInFirstSecond(const std::vector<int64_t>& AStamps, int ARate) {
  if (AStamps.empty()) return 0;
  std::set<int64_t> slots;
  for (const int64_t stamp : AStamps) {
    const int64_t slot = std::llround(static_cast<double>(stamp - AStamps[0]) * ARate / 1e6);
    if (slot < ARate) slots.insert(slot);
  }
  return static_cast<int>(*slots.rbegin() + 1 - static_cast<int64_t>(slots.size()));
}

bool Record(const std::string& ADevice, int ARate, const char* AFlags, pid_t AServer, int ADisplay,
            TRun& ARun) {
  const bool ours = ADevice == "gdicapture";
  AVDictionary* options = nullptr;
  AV.av_dict_set(&options, "framerate", std::to_string(ARate).c_str(), 0);
  AV.av_dict_set(&options, "video_size",
                 (std::to_string(kWidth) + "x" + std::to_string(kHeight)).c_str(), 0);
  const AVInputFormat* format = nullptr;
  std::string name;
  if (ours) {
    AV.av_dict_set(&options, "capture_flags", AFlags, 0);
    format = GdiCaptureInputFormat();
    name = "video=0";
  } else {
    AV.av_dict_set(&options, "draw_mouse", "0", 0);
    format = AV.av_find_input_format("x11grab");
    name = std::to_string(ADisplay);
    name.insert(name.begin(), ':');
    if (!format) {
      std::fprintf(stderr, "the libraries have no x11grab device\n");
      AV.av_dict_free(&options);
      return false;
    }
  }
  Dropped = 0;
  Lost = 0;
  ARun.Device = ADevice;
  if (ours && std::strcmp(AFlags, "0") != 0) ARun.Device.append(" ").append(AFlags);
  ARun.Rate = ARate;

  AVFormatContext* context = nullptr;
  const TClock::time_point openedAt = TClock::now();
  const int opened = AV.avformat_open_input(&context, name.c_str(), format, &options);
  AV.av_dict_free(&options);
  if (opened < 0) {
    std::fprintf(stderr, "%s did not open: %d\n", ADevice.c_str(), opened);
    return false;
  }
  ARun.OpenMs.push_back(Milliseconds(TClock::now() - openedAt));
  const AVRational timeBase = context->streams[0]->time_base;
  AVPacket* packet = AV.av_packet_alloc();
  std::vector<int64_t> stamps;
  double processBefore = 0, serverBefore = 0;
  TClock::time_point began{}, end{};
  for (;;) {
    const int result = AV.av_read_frame(context, packet);
    if (result == AVERROR(EAGAIN)) continue; // our device waited up to a second itself
    if (result < 0) {
      std::fprintf(stderr, "%s: read failed: %d\n", ADevice.c_str(), result);
      break;
    }
    const TClock::time_point now = TClock::now();
    if (stamps.empty()) {
      ARun.FirstPacketMs.push_back(Milliseconds(now - openedAt));
      began = now;
      end = began + std::chrono::seconds(kSeconds);
      processBefore = ProcessCpuSeconds();
      serverBefore = ChildCpuSeconds(AServer);
    }
    stamps.push_back(AV.av_rescale_q(packet->pts, timeBase, AVRational{1, 1000000}));
    AV.av_packet_unref(packet);
    if (now >= end) break;
  }
  const double seconds = std::chrono::duration<double>(TClock::now() - began).count();
  ARun.Seconds += seconds;
  ARun.ProcessCpu += ProcessCpuSeconds() - processBefore;
  ARun.ServerCpu += ChildCpuSeconds(AServer) - serverBefore;
  ARun.Delivered += static_cast<int64_t>(stamps.size());
  ARun.Expected += std::llround(seconds * ARate) + 1;
  ARun.SkippedAtStart += SkippedInFirstSecond(stamps, ARate);
  ARun.DroppedFrames += Dropped;
  ARun.LostFrames += Lost;
  if (ours) {
    const auto* device = static_cast<const TGdiCaptureContext*>(context->priv_data)->Device;
    if (device && device->ScreenThread) {
      const TGrabStats grabs = device->ScreenThread->GrabStats();
      ARun.Grabs.Count += grabs.Count;
      ARun.Grabs.TotalMicroseconds += grabs.TotalMicroseconds;
      ARun.Grabs.WorstMicroseconds =
          std::max(ARun.Grabs.WorstMicroseconds, grabs.WorstMicroseconds);
      ARun.Grabs.FirstMicroseconds =
          std::max(ARun.Grabs.FirstMicroseconds, grabs.FirstMicroseconds);
    }
    if (device && device->Screen)
      ARun.Buffers = std::max(ARun.Buffers, device->Screen->PoolCounts().Total);
  }
  AV.av_packet_free(&packet);
  AV.avformat_close_input(&context);
  return true;
}

void PrintRun(const TRun& ARun) {
  const double mean =
      ARun.Grabs.Count ? static_cast<double>(ARun.Grabs.TotalMicroseconds) / ARun.Grabs.Count / 1000
                       : 0;
  std::printf("%-36s %4d %8.1f %9.1f %8d %9lld %8lld %7d %5lld %11.4f %10.4f", ARun.Device.c_str(),
              ARun.Rate, Median(ARun.OpenMs), Median(ARun.FirstPacketMs), ARun.SkippedAtStart,
              static_cast<long long>(ARun.Delivered), static_cast<long long>(ARun.Expected),
              ARun.DroppedFrames, static_cast<long long>(ARun.LostFrames), ARun.CpuPerSecond(),
              ARun.ServerCpuPerSecond());
  if (ARun.Grabs.Count)
    std::printf("  grab %.2f/%.2f/%.2f ms, %d buffers",
                static_cast<double>(ARun.Grabs.FirstMicroseconds) / 1000, mean,
                static_cast<double>(ARun.Grabs.WorstMicroseconds) / 1000, ARun.Buffers);
  std::printf("\n");
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

  struct TPair {
    int Rate;
    TRun Ours, Peer;
    bool Ok = true;
  };
  std::vector<TPair> pairs;
  for (const int rate : {30, 60}) {
    TPair pair{rate, {}, {}};
    for (int turn = 0; turn < kTurns && pair.Ok; ++turn)
      pair.Ok = Record("gdicapture", rate, "0", server.Pid(), server.Display(), pair.Ours) &&
                Record("x11grab", rate, "", server.Pid(), server.Display(), pair.Peer);
    pairs.push_back(pair);
  }
  std::vector<TRun> recorder;
  for (const int rate : {30, 60}) {
    TRun run;
    bool ok = true;
    for (int turn = 0; turn < kTurns && ok; ++turn)
      ok = Record("gdicapture", rate, kRecorderFlags, server.Pid(), server.Display(), run);
    if (ok) recorder.push_back(run);
  }
  server.Stop();

  std::printf("%dx%d x 32-bit screen (Xvfb), no cursor, one process; each device %d recordings of "
              "%d s a rate, taking turns\n",
              kWidth, kHeight, kTurns, kSeconds);
  std::printf("%-36s %4s %8s %9s %8s %9s %8s %7s %5s %11s %10s\n", "device", "fps", "open ms",
              "1st pkt ms", "skipped", "delivered", "expected", "dropped", "lost", "CPU s/s own",
              "CPU s/s X");
  for (const TPair& pair : pairs) {
    if (!pair.Ok) continue;
    PrintRun(pair.Ours);
    PrintRun(pair.Peer);
  }
  for (const TRun& run : recorder)
    PrintRun(run);
  std::printf("\ngdicapture over x11grab (same run):\n");
  std::printf("%4s %14s %16s %14s\n", "fps", "CPU own ratio", "1st packet ratio", "CPU X ratio");
  for (const TPair& pair : pairs) {
    if (!pair.Ok) continue;
    const auto ratio = [](double AOurs, double APeer) { return APeer > 0 ? AOurs / APeer : 0.0; };
    std::printf("%4d %14.2f %16.2f %14.2f\n", pair.Rate,
                ratio(pair.Ours.CpuPerSecond(), pair.Peer.CpuPerSecond()),
                ratio(Median(pair.Ours.FirstPacketMs), Median(pair.Peer.FirstPacketMs)),
                ratio(pair.Ours.ServerCpuPerSecond(), pair.Peer.ServerCpuPerSecond()));
  }
  std::printf("open, 1st pkt: medians; skipped: slots of the first second's frame grid that no\n"
              "packet's stamp fell in, all recordings; grab: slowest first/mean/worst time of\n"
              "one grab, and the most frame buffers one recording made (ours)\n");
  return 0;
}
