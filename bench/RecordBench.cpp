// The recording road as users feel it, side by side with the ffmpeg program
// recording through FFmpeg's own X11 screen device ("x11grab") in the same
// run: a private X server whose whole screen moves (a patterned window
// larger than the screen circles under it, 60 steps a second), recorded for
// 10 s with the recorder's output option strings: mp4 and mkv at 30 and 60
// frames per second and webm at 30 and 60 on a 1920x1080 screen, and mp4 at
// 30 on a 3840x2160 one. Ours is this program started again in a child mode
// that records as the recorder does: the "gdicapture" device opened with
// the recorder's input option string (whole screen, "Rec" label, cursor, no
// sound), one encoder task, Stop after 10 s. The peer is ffmpeg with x11grab
// at the same size and rate, cursor drawn, 10 s of input, and the same output
// string; it encodes what it took before it ends, however long that takes
// (it is told to stop when it runs 120 s over). The two take turns; each run
// is a child process of the bench measured by wait4 (CPU seconds, peak
// resident memory), and the X server's CPU time is read from /proc around
// each run. Prints frames written and the distinct pictures among them
// (decoded), the time the file spans, the frames the device lost or
// dropped, the task's dup and drop counts (ffmpeg's from its -progress
// output), CPU seconds per second of file and peak memory, then ours over
// the peer's; then each recording's time line against the time recorded,
// and how long its end took after the stop.
//
// usage: record_bench [--turns N] [CASE...]   (CASE: 30-mp4 30-mkv 60-mp4
// 60-mkv 30-webm 60-webm 4k30-mp4; all when none is named)
#include "CaptureDevice.h"
#include "ChildProcess.h"
#include "EncoderRun.h"
#include "FFText.h"
#include "GDICapture.h"
#include "LibAVFolder.h"
#include "RecorderStrings.h"
#include "ScreenThread.h"
#include "WrittenVideo.h"
#include "XvfbServer.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kSeconds = 10, kDefaultTurns = 2;
// How long a peer may run past its recording before it is told to stop.
constexpr double kPeerOvertime = 120;

struct TCaseSpec {
  const char* Name;
  int Width, Height, Rate;
  const char* Extension;
  bool Hook; // ours also with a video input hook that draws a line of text
};
const TCaseSpec kCases[] = {
    {"30-mp4", 1920, 1080, 30, "mp4", true},    {"30-mkv", 1920, 1080, 30, "mkv", true},
    {"60-mp4", 1920, 1080, 60, "mp4", true},    {"60-mkv", 1920, 1080, 60, "mkv", true},
    {"30-webm", 1920, 1080, 30, "webm", false}, {"60-webm", 1920, 1080, 60, "webm", false},
    {"4k30-mp4", 3840, 2160, 30, "mp4", false},
};

// The recorder's input option string for the whole screen with the cursor
// captured and no sound.
std::string RecorderInputOptions(int ARate, int AWidth, int AHeight) {
  return FormatText(" -f gdicapture  -capture_offset %d,%d -capture_flags +showframe+client+cursor "
                    " -s %dx%d -r %d ",
                    0, 0, AWidth, AHeight, ARate);
}

const TRecorderContainer& Container(const char* AExtension) {
  for (const TRecorderContainer& c : RecorderContainers())
    if (std::strcmp(c.Extension, AExtension) == 0) return c;
  return RecorderContainers().front();
}

std::vector<std::string> SplitBlanks(const std::string& AText) {
  std::istringstream words(AText);
  std::vector<std::string> parts;
  for (std::string word; words >> word;)
    parts.push_back(word);
  return parts;
}

// ---- Moving content, in a child process ------------------------------------------------------

constexpr int kSwing = 160; // pixels the pattern circles by
constexpr int kStepsPerSecond = 60;
constexpr int kStepsPerCircle = 240;

struct TXcbFree {
  void operator()(xcb_connection_t* AConnection) const { xcb_disconnect(AConnection); }
};

// Colour gradients with two kinds of tiles over them: fine XOR texture and
// rows of short bars like text, so that encoders meet both detail and flat
// areas.
void PatternPixel(int AX, int AY, int AWidth, int AHeight, uint8_t* APixel) {
  const int tile = (AX / 96 + AY / 64) % 3;
  uint8_t r = static_cast<uint8_t>(AX * 255 / (AWidth + 2 * kSwing));
  uint8_t g = static_cast<uint8_t>(AY * 255 / (AHeight + 2 * kSwing));
  uint8_t b = static_cast<uint8_t>((AX + AY) / 8);
  if (tile == 0) {
    const uint8_t texture = static_cast<uint8_t>((AX ^ AY) * 7);
    r ^= texture;
    b = texture;
  } else if (tile == 1 && AY % 16 < 10 && (AX / 6) % 7 != 0 && (AX * 31 + AY / 16 * 17) % 97 > 20) {
    r = g = b = 24;
  }
  APixel[0] = b;
  APixel[1] = g;
  APixel[2] = r;
  APixel[3] = 0;
}

// Runs until it is killed.
int RunAnimator() {
  std::unique_ptr<xcb_connection_t, TXcbFree> connection(xcb_connect(nullptr, nullptr));
  xcb_connection_t* c = connection.get();
  if (xcb_connection_has_error(c)) return 1;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const int width = screen->width_in_pixels + 2 * kSwing;
  const int height = screen->height_in_pixels + 2 * kSwing;
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, static_cast<uint16_t>(width),
                    static_cast<uint16_t>(height));
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pixmap, 0, nullptr);
  constexpr int kStrip = 32; // rows a request, well inside the largest request
  std::vector<uint8_t> rows(static_cast<size_t>(width) * 4 * kStrip);
  for (int top = 0; top < height; top += kStrip) {
    const int strip = std::min(kStrip, height - top);
    for (int y = 0; y < strip; ++y)
      for (int x = 0; x < width; ++x)
        PatternPixel(x, top + y, screen->width_in_pixels, screen->height_in_pixels,
                     &rows[(static_cast<size_t>(y) * width + x) * 4]);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<uint16_t>(width),
                  static_cast<uint16_t>(strip), 0, static_cast<int16_t>(top), 0, screen->root_depth,
                  static_cast<uint32_t>(width * 4 * strip), rows.data());
  }
  xcb_free_gc(c, gc);
  const xcb_window_t window = xcb_generate_id(c);
  const uint32_t values[] = {pixmap, 1};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, -kSwing, -kSwing,
                    static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(c, window);
  // Lowest of all, so that the recorder's label stays visible above it.
  const uint32_t below[] = {XCB_STACK_MODE_BELOW};
  xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, below);
  auto next = std::chrono::steady_clock::now();
  for (long step = 0;; ++step) {
    const double angle =
        2 * std::numbers::pi * static_cast<double>(step % kStepsPerCircle) / kStepsPerCircle;
    const uint32_t position[] = {
        static_cast<uint32_t>(static_cast<int>(std::lround(-kSwing + kSwing * std::cos(angle)))),
        static_cast<uint32_t>(static_cast<int>(std::lround(-kSwing + kSwing * std::sin(angle))))};
    xcb_configure_window(c, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
    // A round trip, so that moves never pile up in a busy server.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (xcb_connection_has_error(c)) return 1;
    next += std::chrono::microseconds(1000000 / kStepsPerSecond);
    std::this_thread::sleep_until(next);
  }
}

// ---- Our side, in the child process -----------------------------------------------------------

// argv: --ours RATE WIDTH HEIGHT FILE OUTPUT-OPTIONS [hook]; with "hook" a
// video input hook draws a line of text into every frame. Writes one line:
// the frames the device lost ("We lost %d frames...") and dropped ("...
// frame dropped!"), the frames it grabbed, the task's dup and drop counts,
// the seconds recorded (from the first grab to the stop) and how long the
// stop took until the file was complete.
int RunOursInChild(char** AArgs, bool ATextHook) {
  // The logger folds a line repeated at once into "Last message repeated N
  // times", so the count of a repeat goes to the line before it.
  std::atomic<long long> lost{0}, dropped{0};
  long long lastLost = 0;
  bool lastDropped = false;
  TEncoderRun run([&](const std::string& ALine) {
    if (const size_t at = ALine.find("We lost "); at != std::string::npos) {
      lastLost = std::atoll(ALine.c_str() + at + 8);
      lastDropped = false;
      lost += lastLost;
    } else if (ALine.find("frame dropped!") != std::string::npos) {
      lastLost = 0;
      lastDropped = true;
      ++dropped;
    } else if (const size_t repeat = ALine.find("Last message repeated ");
               repeat != std::string::npos) {
      const long long times = std::atoll(ALine.c_str() + repeat + 22);
      lost += lastLost * times;
      if (lastDropped) dropped += times;
    } else {
      lastLost = 0;
      lastDropped = false;
    }
  });
  if (!run.Load()) {
    std::fprintf(stderr, "%s\n", run.Error.c_str());
    return 1;
  }
  RegisterGdiCaptureDevice();
  const int rate = std::atoi(AArgs[1]), width = std::atoi(AArgs[2]), height = std::atoi(AArgs[3]);
  if (!run.Add("video=0", RecorderInputOptions(rate, width, height), AArgs[4], AArgs[5],
               ATextHook)) {
    std::fprintf(stderr, "%s\n", run.Error.c_str());
    return 1;
  }
  run.Start();
  run.Serve(std::chrono::seconds(kSeconds));
  // The device's figures while it is still open; the input closes with the
  // task's end.
  long long grabbed = 0;
  int64_t started = 0;
  const TFFmpeg* task = run.Encoder.Task(0);
  if (!task->InputFiles.empty()) {
    const auto* context =
        static_cast<const TGdiCaptureContext*>(task->InputFiles[0]->Context->priv_data);
    if (context->Device && context->Device->ScreenThread) {
      grabbed = context->Device->ScreenThread->GrabStats().Count;
      started = context->Device->StartTime;
    }
  }
  const int64_t stopAt = CaptureClock();
  run.Encoder.Stop(true);
  run.WaitForEnd(std::chrono::seconds(60));
  const double stopSeconds = static_cast<double>(CaptureClock() - stopAt) / 1e6;
  if (const std::string failure = run.Failure(); !failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
  }
  std::printf("lost=%lld dropped=%lld grabbed=%lld dup=%lld drop=%lld recorded=%.3f stop=%.3f\n",
              lost.load(), dropped.load(), grabbed, static_cast<long long>(task->DupFrames),
              static_cast<long long>(task->DropFrames),
              started ? static_cast<double>(stopAt - started) / 1e6 : 0.0, stopSeconds);
  return 0;
}

// ---- The bench --------------------------------------------------------------------------------

// The sums of one program's recordings of one case.
struct TTotals {
  int Runs = 0, Failed = 0, Interrupted = 0;
  std::string Error;
  int64_t Frames = 0, Distinct = 0, Bytes = 0;
  double FileSeconds = 0;     // the time the files span
  double RecordedSeconds = 0; // ours: first grab to stop; ffmpeg: its 10 s
  double StopSeconds = 0;     // ours: Stop to the file's end; ffmpeg: its run past 10 s
  double Cpu = 0, XCpu = 0, Wall = 0;
  long PeakRssKb = 0;
  long long Lost = 0, Dropped = 0, Grabbed = 0, Dup = 0, Drop = 0;
  double PerFileSecond(double AValue) const { return FileSeconds > 0 ? AValue / FileSeconds : 0; }
  double CpuPerSecond() const { return PerFileSecond(Cpu); }
  double Timeline() const { return RecordedSeconds > 0 ? FileSeconds / RecordedSeconds : 0; }
};

struct TCase {
  TCaseSpec Spec;
  TTotals Ours, Peer;
  TTotals OursHook; // ours with a video input hook that draws a line of text
};

// Reads what a child wrote back and adds the run to ATotals; false when it
// failed. A peer told to stop at its time limit ends its file and exits
// with 255: its run counts.
bool AddRun(const TChildResult& ARun, double AXCpu, const std::string& AFile,
            const std::string& AErrorFile, TTotals& ATotals) {
  std::error_code ignored;
  const bool stoppedInTime = ARun.Interrupted && ARun.Started && ARun.Signal == 0;
  if (!ARun.Ok() && !stoppedInTime) {
    ++ATotals.Failed;
    ATotals.Error = ARun.Started ? LastLineOf(AErrorFile) : "could not start";
    std::filesystem::remove(AFile, ignored);
    return false;
  }
  const TWrittenVideo video = ReadVideoBack(AFile);
  const uintmax_t bytes = std::filesystem::file_size(AFile, ignored);
  std::filesystem::remove(AFile, ignored);
  if (!video.Ok) {
    ++ATotals.Failed;
    ATotals.Error = video.Error;
    return false;
  }
  ++ATotals.Runs;
  ATotals.Interrupted += ARun.Interrupted;
  ATotals.Frames += video.Frames;
  ATotals.Distinct += video.Distinct;
  ATotals.Bytes += bytes == static_cast<uintmax_t>(-1) ? 0 : static_cast<int64_t>(bytes);
  ATotals.FileSeconds += video.Seconds;
  ATotals.Cpu += ARun.CpuSeconds();
  ATotals.XCpu += AXCpu;
  ATotals.Wall += ARun.WallSeconds;
  ATotals.PeakRssKb = std::max(ATotals.PeakRssKb, ARun.PeakRssKb);
  return true;
}

void RecordOurs(const TCaseSpec& ACase, pid_t AServer, const std::filesystem::path& AFolder,
                TTotals& ATotals, bool ATextHook = false) {
  const TRecorderContainer& container = Container(ACase.Extension);
  const std::string file = (AFolder / (std::string("ours.") + ACase.Extension)).string();
  const std::string errors = (AFolder / "ours.log").string();
  long long lost = 0, dropped = 0, grabbed = 0, dup = 0, drop = 0;
  double recorded = 0, stop = 0;
  const double xBefore = ProcessCpuSeconds(AServer);
  std::vector<std::string> args = {SelfPath(),
                                   "--ours",
                                   std::to_string(ACase.Rate),
                                   std::to_string(ACase.Width),
                                   std::to_string(ACase.Height),
                                   file,
                                   WithSize(container.Options, ACase.Width, ACase.Height)};
  if (ATextHook) args.push_back("hook");
  const TChildResult run = RunChild(args, errors, [&](pid_t, const std::string& ALine) {
    std::sscanf(ALine.c_str(),
                "lost=%lld dropped=%lld grabbed=%lld dup=%lld drop=%lld recorded=%lf stop=%lf",
                &lost, &dropped, &grabbed, &dup, &drop, &recorded, &stop);
  });
  if (!AddRun(run, ProcessCpuSeconds(AServer) - xBefore, file, errors, ATotals)) return;
  ATotals.Lost += lost;
  ATotals.Dropped += dropped;
  ATotals.Grabbed += grabbed;
  ATotals.Dup += dup;
  ATotals.Drop += drop;
  ATotals.RecordedSeconds += recorded;
  ATotals.StopSeconds += stop;
}

void RecordPeer(const TCaseSpec& ACase, const TXvfbServer& AServer,
                const std::filesystem::path& AFolder, TTotals& ATotals) {
  const TRecorderContainer& container = Container(ACase.Extension);
  const std::string file = (AFolder / (std::string("ffmpeg.") + ACase.Extension)).string();
  const std::string errors = (AFolder / "ffmpeg.log").string();
  std::vector<std::string> args = {"ffmpeg",       "-nostdin",
                                   "-hide_banner", "-y",
                                   "-progress",    "pipe:1",
                                   "-f",           "x11grab",
                                   "-framerate",   std::to_string(ACase.Rate),
                                   "-video_size",  FormatText("%dx%d", ACase.Width, ACase.Height),
                                   "-draw_mouse",  "1",
                                   "-t",           std::to_string(kSeconds),
                                   "-i",           FormatText(":%d.0+0,0", AServer.Display())};
  for (std::string& word : SplitBlanks(WithSize(container.Options, ACase.Width, ACase.Height)))
    args.push_back(std::move(word));
  args.push_back(file);
  long long dup = 0, drop = 0;
  const double xBefore = ProcessCpuSeconds(AServer.Pid());
  const TChildResult run = RunChild(
      args, errors,
      [&](pid_t, const std::string& ALine) {
        if (ALine.rfind("dup_frames=", 0) == 0) dup = std::atoll(ALine.c_str() + 11);
        if (ALine.rfind("drop_frames=", 0) == 0) drop = std::atoll(ALine.c_str() + 12);
      },
      kSeconds + kPeerOvertime);
  if (!AddRun(run, ProcessCpuSeconds(AServer.Pid()) - xBefore, file, errors, ATotals)) return;
  ATotals.Dup += dup;
  ATotals.Drop += drop;
  ATotals.RecordedSeconds += kSeconds;
  ATotals.StopSeconds += run.WallSeconds - kSeconds;
}

std::string CaseLabel(const TCaseSpec& ACase) {
  return FormatText("%4d %4dp %-4s", ACase.Rate, ACase.Height, ACase.Extension);
}

void PrintTotals(const char* AProgram, const TCase& ACase, const TTotals& ATotals) {
  const std::string label = CaseLabel(ACase.Spec);
  if (ATotals.Runs == 0) {
    std::printf("%s %-7s failed: %s\n", label.c_str(), AProgram, ATotals.Error.c_str());
    return;
  }
  const bool ours = std::strncmp(AProgram, "ours", 4) == 0;
  const std::string device =
      ours ? FormatText("%5lld %5lld %7lld", ATotals.Lost, ATotals.Dropped, ATotals.Grabbed)
           : FormatText("%5s %5s %7s", "-", "-", "-");
  std::printf("%s %-7s %7lld %7lld %6.1f %6.1f %s %5lld %5lld %7.2f %7.3f %7.3f %7.0f %6.1f",
              label.c_str(), AProgram, static_cast<long long>(ATotals.Frames),
              static_cast<long long>(ATotals.Distinct), ATotals.FileSeconds,
              ATotals.PerFileSecond(static_cast<double>(ATotals.Bytes) * 8 / 1e6), device.c_str(),
              ATotals.Dup, ATotals.Drop, ATotals.Cpu, ATotals.CpuPerSecond(),
              ATotals.PerFileSecond(ATotals.XCpu), static_cast<double>(ATotals.PeakRssKb) / 1024,
              ATotals.Wall);
  if (ATotals.Failed) std::printf("  (%d failed: %s)", ATotals.Failed, ATotals.Error.c_str());
  if (ATotals.Interrupted) std::printf("  (%d told to stop)", ATotals.Interrupted);
  std::printf("\n");
}

void PrintTimeline(const char* AProgram, const TCase& ACase, const TTotals& ATotals) {
  if (ATotals.Runs == 0) return;
  std::printf("%s %-7s %9.3f %8lld %6lld %7.2f %7.3f\n", CaseLabel(ACase.Spec).c_str(), AProgram,
              ATotals.Timeline(), static_cast<long long>(ATotals.Distinct), ATotals.Dup,
              ATotals.StopSeconds / ATotals.Runs, ATotals.CpuPerSecond());
}

double Ratio(double AOurs, double APeer) {
  return APeer > 0 ? AOurs / APeer : 0;
}

// Records every case of one screen size, taking turns.
bool RunScreen(int AWidth, int AHeight, std::vector<TCase*>& ACases, int ATurns,
               const std::filesystem::path& AFolder) {
  std::string error;
  TXvfbServer server;
  if (!server.Start(AWidth, AHeight, 24, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  TBackgroundChild animator;
  if (!animator.Start({SelfPath(), "--animate"})) {
    std::fprintf(stderr, "the moving content did not start\n");
    return false;
  }
  // What the moving content alone costs the X server.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const double idleBefore = ProcessCpuSeconds(server.Pid());
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double idleXCpu = (ProcessCpuSeconds(server.Pid()) - idleBefore) / 3;
  for (int turn = 0; turn < ATurns; ++turn)
    for (TCase* c : ACases) {
      // Taking turns at going first, so that none always meets a warmer
      // or a busier machine.
      const int programs = c->Spec.Hook ? 3 : 2;
      for (int k = 0; k < programs; ++k)
        switch ((turn + k) % programs) {
        case 0:
          RecordOurs(c->Spec, server.Pid(), AFolder, c->Ours);
          break;
        case 1:
          RecordPeer(c->Spec, server, AFolder, c->Peer);
          break;
        default:
          RecordOurs(c->Spec, server.Pid(), AFolder, c->OursHook, true);
        }
    }
  animator.Stop();
  server.Stop();
  std::printf("%dx%d x 24-bit Xvfb: the X server's CPU for the moving content alone: %.3f s/s\n",
              AWidth, AHeight, idleXCpu);
  return true;
}

int RunBench(const std::vector<std::string>& ANames, int ATurns) {
  std::string error;
  if (!LoadLibAVBesideProgram(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<TCase> cases;
  for (const TCaseSpec& spec : kCases)
    if (ANames.empty() || std::find(ANames.begin(), ANames.end(), spec.Name) != ANames.end())
      cases.push_back({spec, {}, {}, {}});
  if (cases.empty()) {
    std::fprintf(stderr, "no such case\n");
    return 2;
  }
  const std::filesystem::path folder = NewTemporaryFolder("vexmora-record-bench");
  if (folder.empty()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  std::printf("the whole screen moving (60 steps a second); %d recordings of %d s each per row, "
              "taking turns\n",
              ATurns, kSeconds);
  // One X server for each screen size, in the order the cases come.
  for (size_t i = 0; i < cases.size(); ++i) {
    const TCaseSpec& first = cases[i].Spec;
    bool done = false;
    for (size_t j = 0; j < i; ++j)
      done |= cases[j].Spec.Width == first.Width && cases[j].Spec.Height == first.Height;
    if (done) continue;
    std::vector<TCase*> screen;
    for (TCase& c : cases)
      if (c.Spec.Width == first.Width && c.Spec.Height == first.Height) screen.push_back(&c);
    if (!RunScreen(first.Width, first.Height, screen, ATurns, folder)) return 1;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);

  std::printf("ours: this program in a child mode, \"gdicapture\" opened with the recorder's input "
              "string\n  \"%s\" (size and rate of the row), Stop after %d s\n",
              RecorderInputOptions(30, 1920, 1080).c_str(), kSeconds);
  std::printf("ffmpeg: -f x11grab -framerate R -video_size WxH -draw_mouse 1 -t %d, the same "
              "output string (nothing adapted: without sound it refuses none of it)\n\n",
              kSeconds);
  std::printf("%4s %5s %-4s %-7s %7s %7s %6s %6s %5s %5s %7s %5s %5s %7s %7s %7s %7s %6s\n", "fps",
              "size", "cont", "program", "frames", "distnct", "file s", "Mbit/s", "lost", "dropd",
              "grabbed", "dup", "drop", "CPU s", "CPU s/s", "X s/s", "RSS MB", "wall s");
  for (const TCase& c : cases) {
    PrintTotals("ours", c, c.Ours);
    if (c.Spec.Hook) PrintTotals("ours+hk", c, c.OursHook);
    PrintTotals("ffmpeg", c, c.Peer);
  }
  std::printf("\nours over ffmpeg (same run):\n%4s %5s %-4s %14s %9s %12s %9s %9s\n", "fps", "size",
              "cont", "CPU per file s", "distinct", "X CPU per s", "peak RSS", "Mbit/s");
  for (const TCase& c : cases)
    std::printf("%s %14.2f %9.2f %12.2f %9.2f %9.2f\n", CaseLabel(c.Spec).c_str(),
                Ratio(c.Ours.CpuPerSecond(), c.Peer.CpuPerSecond()),
                Ratio(static_cast<double>(c.Ours.Distinct), static_cast<double>(c.Peer.Distinct)),
                Ratio(c.Ours.PerFileSecond(c.Ours.XCpu), c.Peer.PerFileSecond(c.Peer.XCpu)),
                Ratio(static_cast<double>(c.Ours.PeakRssKb), static_cast<double>(c.Peer.PeakRssKb)),
                Ratio(c.Ours.PerFileSecond(static_cast<double>(c.Ours.Bytes)),
                      c.Peer.PerFileSecond(static_cast<double>(c.Peer.Bytes))));
  std::printf("\nthe time line: the file's time over the time recorded, distinct pictures, dups, "
              "the stop, CPU\n%4s %5s %-4s %-7s %9s %8s %6s %7s %7s\n",
              "fps", "size", "cont", "program", "file/rec", "distinct", "dup", "stop s", "CPU s/s");
  for (const TCase& c : cases) {
    PrintTimeline("ours", c, c.Ours);
    PrintTimeline("ffmpeg", c, c.Peer);
  }
  bool hooks = false;
  for (const TCase& c : cases)
    hooks |= c.Spec.Hook;
  if (hooks) {
    std::printf("\nthe video input hook (a line of text drawn into every frame), ours+hk over "
                "ours:\n%4s %5s %-4s %14s %14s %9s %9s\n",
                "fps", "size", "cont", "+CPU ms/frame", "CPU per file s", "+lost", "+dup");
    for (const TCase& c : cases) {
      if (!c.Spec.Hook) continue;
      const auto perFrame = [](const TTotals& ATotals) {
        return ATotals.Frames > 0 ? ATotals.Cpu * 1000 / static_cast<double>(ATotals.Frames) : 0;
      };
      std::printf("%s %14.2f %14.2f %9lld %9lld\n", CaseLabel(c.Spec).c_str(),
                  perFrame(c.OursHook) - perFrame(c.Ours),
                  Ratio(c.OursHook.CpuPerSecond(), c.Ours.CpuPerSecond()),
                  c.OursHook.Lost - c.Ours.Lost, c.OursHook.Dup - c.Ours.Dup);
    }
  }
  std::printf(
      "\nframes: packets written; distinct: decoded pictures unlike the one before; file s: the\n"
      "time the files span; Mbit/s: file size per second of file (the same output string\n"
      "should give the same); lost, dropd: frames the device reported lost (\"We lost %%d\n"
      "frames\") and dropped (queue full); grabbed: its grabs until Stop; dup, drop: the task's\n"
      "(ffmpeg: its -progress counts); CPU: user+sys of the whole process (start-up included),\n"
      "per second of file; X s/s: the X server's CPU per second of file, the moving content's\n"
      "included; RSS: the peak of one run; file/rec: the files' time over the time recorded\n"
      "(ours: first grab to Stop; ffmpeg: its 10 s); stop s: the mean time from the stop to a\n"
      "complete file (ours: Stop(True) until the task's end; ffmpeg: its run past 10 s, its\n"
      "start-up included)\n");
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--animate") == 0) return RunAnimator();
  if ((argc == 7 || argc == 8) && std::strcmp(argv[1], "--ours") == 0)
    return RunOursInChild(argv + 1, argc == 8 && std::strcmp(argv[7], "hook") == 0);
  int turns = kDefaultTurns;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--turns") == 0 && i + 1 < argc)
      turns = std::max(1, std::atoi(argv[++i]));
    else
      names.emplace_back(argv[i]);
  }
  return RunBench(names, turns);
}
