// The recording road as users feel it, side by side with the ffmpeg program
// recording through FFmpeg's own X11 screen device ("x11grab") in the same
// run: a private 1920x1080 X server whose whole screen moves (a patterned
// window larger than the screen circles under it, 60 steps a second),
// recorded for 10 s at 30 and at 60 frames per second into mp4 and mkv with
// the recorder's output option strings. Ours is this program started again
// in a child mode that records as the recorder does: the "gdicapture"
// device opened with the recorder's input option string (whole screen,
// "Rec" label, cursor, no sound), one encoder task, Stop after 10 s. The
// peer is ffmpeg with x11grab at the same size and rate, cursor drawn, 10 s
// of input, and the same output string. The two take turns; each run is a
// child process of the bench measured by wait4 (CPU seconds, peak resident
// memory), and the X server's CPU time is read from /proc around each run.
// Prints frames written (read back), the frames the device lost or dropped,
// the task's dup and drop counts (ffmpeg's from its -progress output), CPU
// seconds per recorded second and peak memory, then ours over the peer's.
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

constexpr int kWidth = 1920, kHeight = 1080, kSeconds = 10, kTurns = 2;
const int kRates[] = {30, 60};
const char* const kContainers[] = {"mp4", "mkv"};

// The recorder's input option string for the whole screen with the cursor
// captured and no sound.
std::string RecorderInputOptions(int ARate) {
  return FormatText(" -f gdicapture  -capture_offset %d,%d -capture_flags +showframe+client+cursor "
                    " -s %dx%d -r %d ",
                    0, 0, kWidth, kHeight, ARate);
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
void PatternPixel(int AX, int AY, uint8_t* APixel) {
  const int tile = (AX / 96 + AY / 64) % 3;
  uint8_t r = static_cast<uint8_t>(AX * 255 / (kWidth + 2 * kSwing));
  uint8_t g = static_cast<uint8_t>(AY * 255 / (kHeight + 2 * kSwing));
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
        PatternPixel(x, top + y, &rows[(static_cast<size_t>(y) * width + x) * 4]);
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

// argv: --ours RATE FILE OUTPUT-OPTIONS. Writes one line: the frames the
// device lost ("We lost %d frames...") and dropped ("... frame dropped!"),
// the frames it grabbed, and the task's dup and drop counts.
int RunOursInChild(char** AArgs) {
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
  const int rate = std::atoi(AArgs[1]);
  if (!run.Add("video=0", RecorderInputOptions(rate), AArgs[2], AArgs[3])) {
    std::fprintf(stderr, "%s\n", run.Error.c_str());
    return 1;
  }
  run.Start();
  run.Serve(std::chrono::seconds(kSeconds));
  // The device's grab count while it is still open; the input closes with
  // the task's end.
  long long grabbed = 0;
  const TFFmpeg* task = run.Encoder.Task(0);
  if (!task->InputFiles.empty()) {
    const auto* context =
        static_cast<const TGdiCaptureContext*>(task->InputFiles[0]->Context->priv_data);
    if (context->Device && context->Device->ScreenThread)
      grabbed = context->Device->ScreenThread->GrabStats().Count;
  }
  run.Encoder.Stop(true);
  run.WaitForEnd(std::chrono::seconds(30));
  if (const std::string failure = run.Failure(); !failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
  }
  std::printf("lost=%lld dropped=%lld grabbed=%lld dup=%lld drop=%lld\n", lost.load(),
              dropped.load(), grabbed, static_cast<long long>(task->DupFrames),
              static_cast<long long>(task->DropFrames));
  return 0;
}

// ---- The bench --------------------------------------------------------------------------------

// The sums of one program's recordings at one rate into one container.
struct TTotals {
  int Runs = 0, Failed = 0;
  std::string Error;
  int64_t Frames = 0, Bytes = 0;
  double RecordedSeconds = 0; // frames written / rate
  double Cpu = 0, XCpu = 0, Wall = 0;
  long PeakRssKb = 0;
  long long Lost = 0, Dropped = 0, Grabbed = 0, Dup = 0, Drop = 0;
  double CpuPerSecond() const { return RecordedSeconds > 0 ? Cpu / RecordedSeconds : 0; }
  double XCpuPerSecond() const { return RecordedSeconds > 0 ? XCpu / RecordedSeconds : 0; }
  double Megabits() const { return RecordedSeconds > 0 ? Bytes * 8 / RecordedSeconds / 1e6 : 0; }
};

struct TCase {
  int Rate;
  const char* Extension;
  TTotals Ours, Peer;
};

// Reads what a child wrote back and adds the run to ATotals.
void AddRun(const TChildResult& ARun, double AXCpu, const std::string& AFile,
            const std::string& AErrorFile, int ARate, TTotals& ATotals) {
  std::error_code ignored;
  if (!ARun.Ok()) {
    ++ATotals.Failed;
    ATotals.Error = ARun.Started ? LastLineOf(AErrorFile) : "could not start";
    std::filesystem::remove(AFile, ignored);
    return;
  }
  const TWrittenVideo video = ReadVideoBack(AFile);
  const uintmax_t bytes = std::filesystem::file_size(AFile, ignored);
  std::filesystem::remove(AFile, ignored);
  if (!video.Ok) {
    ++ATotals.Failed;
    ATotals.Error = video.Error;
    return;
  }
  ++ATotals.Runs;
  ATotals.Frames += video.Frames;
  ATotals.Bytes += bytes == static_cast<uintmax_t>(-1) ? 0 : static_cast<int64_t>(bytes);
  ATotals.RecordedSeconds += static_cast<double>(video.Frames) / ARate;
  ATotals.Cpu += ARun.CpuSeconds();
  ATotals.XCpu += AXCpu;
  ATotals.Wall += ARun.WallSeconds;
  ATotals.PeakRssKb = std::max(ATotals.PeakRssKb, ARun.PeakRssKb);
}

void RecordOurs(int ARate, const TRecorderContainer& AContainer, pid_t AServer,
                const std::filesystem::path& AFolder, TTotals& ATotals) {
  const std::string file = (AFolder / (std::string("ours.") + AContainer.Extension)).string();
  const std::string errors = (AFolder / "ours.log").string();
  long long lost = 0, dropped = 0, grabbed = 0, dup = 0, drop = 0;
  const double xBefore = ProcessCpuSeconds(AServer);
  const TChildResult run = RunChild(
      {SelfPath(), "--ours", std::to_string(ARate), file,
       WithSize(AContainer.Options, kWidth, kHeight)},
      errors, [&](pid_t, const std::string& ALine) {
        std::sscanf(ALine.c_str(), "lost=%lld dropped=%lld grabbed=%lld dup=%lld drop=%lld", &lost,
                    &dropped, &grabbed, &dup, &drop);
      });
  AddRun(run, ProcessCpuSeconds(AServer) - xBefore, file, errors, ARate, ATotals);
  ATotals.Lost += lost;
  ATotals.Dropped += dropped;
  ATotals.Grabbed += grabbed;
  ATotals.Dup += dup;
  ATotals.Drop += drop;
}

void RecordPeer(int ARate, const TRecorderContainer& AContainer, const TXvfbServer& AServer,
                const std::filesystem::path& AFolder, TTotals& ATotals) {
  const std::string file = (AFolder / (std::string("ffmpeg.") + AContainer.Extension)).string();
  const std::string errors = (AFolder / "ffmpeg.log").string();
  std::vector<std::string> args = {"ffmpeg",       "-nostdin",
                                   "-hide_banner", "-y",
                                   "-progress",    "pipe:1",
                                   "-f",           "x11grab",
                                   "-framerate",   std::to_string(ARate),
                                   "-video_size",  FormatText("%dx%d", kWidth, kHeight),
                                   "-draw_mouse",  "1",
                                   "-t",           std::to_string(kSeconds),
                                   "-i",           FormatText(":%d.0+0,0", AServer.Display())};
  for (std::string& word : SplitBlanks(WithSize(AContainer.Options, kWidth, kHeight)))
    args.push_back(std::move(word));
  args.push_back(file);
  long long dup = 0, drop = 0;
  const double xBefore = ProcessCpuSeconds(AServer.Pid());
  const TChildResult run = RunChild(args, errors, [&](pid_t, const std::string& ALine) {
    if (ALine.rfind("dup_frames=", 0) == 0) dup = std::atoll(ALine.c_str() + 11);
    if (ALine.rfind("drop_frames=", 0) == 0) drop = std::atoll(ALine.c_str() + 12);
  });
  AddRun(run, ProcessCpuSeconds(AServer.Pid()) - xBefore, file, errors, ARate, ATotals);
  ATotals.Dup += dup;
  ATotals.Drop += drop;
}

void PrintTotals(const char* AProgram, const TCase& ACase, const TTotals& ATotals) {
  if (ATotals.Runs == 0) {
    std::printf("%4d %-4s %-7s failed: %s\n", ACase.Rate, ACase.Extension, AProgram,
                ATotals.Error.c_str());
    return;
  }
  const bool ours = std::strcmp(AProgram, "ours") == 0;
  const std::string device =
      ours ? FormatText("%5lld %5lld %7lld", ATotals.Lost, ATotals.Dropped, ATotals.Grabbed)
           : FormatText("%5s %5s %7s", "-", "-", "-");
  std::printf("%4d %-4s %-7s %7lld %6.1f %6.1f %s %5lld %5lld %7.2f %7.3f %7.3f %7.0f %6.1f",
              ACase.Rate, ACase.Extension, AProgram, static_cast<long long>(ATotals.Frames),
              ATotals.RecordedSeconds, ATotals.Megabits(), device.c_str(), ATotals.Dup,
              ATotals.Drop, ATotals.Cpu, ATotals.CpuPerSecond(), ATotals.XCpuPerSecond(),
              static_cast<double>(ATotals.PeakRssKb) / 1024, ATotals.Wall);
  if (ATotals.Failed) std::printf("  (%d failed: %s)", ATotals.Failed, ATotals.Error.c_str());
  std::printf("\n");
}

double Ratio(double AOurs, double APeer) {
  return APeer > 0 ? AOurs / APeer : 0;
}

int RunBench() {
  std::string error;
  if (!LoadLibAVBesideProgram(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  TXvfbServer server;
  if (!server.Start(kWidth, kHeight, 24, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  TBackgroundChild animator;
  if (!animator.Start({SelfPath(), "--animate"})) {
    std::fprintf(stderr, "the moving content did not start\n");
    return 1;
  }
  std::string folderTemplate =
      (std::filesystem::temp_directory_path() / "vexmora-record-bench-XXXXXX").string();
  if (!mkdtemp(folderTemplate.data())) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  const std::filesystem::path folder = folderTemplate;
  // What the moving content alone costs the X server.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const double idleBefore = ProcessCpuSeconds(server.Pid());
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double idleXCpu = (ProcessCpuSeconds(server.Pid()) - idleBefore) / 3;

  std::vector<TCase> cases;
  for (const int rate : kRates)
    for (const char* extension : kContainers)
      cases.push_back({rate, extension, {}, {}});
  for (int turn = 0; turn < kTurns; ++turn)
    for (TCase& c : cases) {
      const TRecorderContainer& container = Container(c.Extension);
      // Taking turns at going first, so that neither always meets a warmer
      // or a busier machine.
      if (turn % 2 == 0) {
        RecordOurs(c.Rate, container, server.Pid(), folder, c.Ours);
        RecordPeer(c.Rate, container, server, folder, c.Peer);
      } else {
        RecordPeer(c.Rate, container, server, folder, c.Peer);
        RecordOurs(c.Rate, container, server.Pid(), folder, c.Ours);
      }
    }
  animator.Stop();
  server.Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);

  std::printf("%dx%d x 24-bit Xvfb with the whole screen moving (%d steps a second); %d "
              "recordings of %d s each per row, taking turns\n",
              kWidth, kHeight, kStepsPerSecond, kTurns, kSeconds);
  std::printf("ours: this program in a child mode, \"gdicapture\" opened with the recorder's input "
              "string\n  \"%s\", Stop after %d s\n",
              RecorderInputOptions(30).c_str(), kSeconds);
  std::printf("ffmpeg: -f x11grab -framerate R -video_size %dx%d -draw_mouse 1 -t %d, the same "
              "output string (nothing adapted: without sound it refuses none of it)\n",
              kWidth, kHeight, kSeconds);
  std::printf("the X server's CPU for the moving content alone: %.3f s/s\n\n", idleXCpu);
  std::printf("%4s %-4s %-7s %7s %6s %6s %5s %5s %7s %5s %5s %7s %7s %7s %7s %6s\n", "fps", "cont",
              "program", "frames", "rec s", "Mbit/s", "lost", "dropd", "grabbed", "dup", "drop",
              "CPU s", "CPU s/s", "X s/s", "RSS MB", "wall s");
  for (const TCase& c : cases) {
    PrintTotals("ours", c, c.Ours);
    PrintTotals("ffmpeg", c, c.Peer);
  }
  std::printf("\nours over ffmpeg (same run):\n%4s %-4s %14s %12s %9s %9s\n", "fps", "cont",
              "CPU per rec s", "X CPU per s", "peak RSS", "Mbit/s");
  for (const TCase& c : cases)
    std::printf("%4d %-4s %14.2f %12.2f %9.2f %9.2f\n", c.Rate, c.Extension,
                Ratio(c.Ours.CpuPerSecond(), c.Peer.CpuPerSecond()),
                Ratio(c.Ours.XCpuPerSecond(), c.Peer.XCpuPerSecond()),
                Ratio(static_cast<double>(c.Ours.PeakRssKb), static_cast<double>(c.Peer.PeakRssKb)),
                Ratio(c.Ours.Megabits(), c.Peer.Megabits()));
  std::printf(
      "\nrec s: frames written / rate; Mbit/s: file size per recorded second (the same output\n"
      "string should give the same); lost, dropd: frames the device reported lost (\"We lost %%d\n"
      "frames\") and dropped (queue full); grabbed: its grabs until Stop; dup, drop: the task's\n"
      "(ffmpeg: its -progress counts); CPU: user+sys of the whole process (start-up included);\n"
      "X s/s: the X server's CPU per recorded second, the moving content's included; RSS: the\n"
      "peak of one run\n");
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--animate") == 0) return RunAnimator();
  if (argc == 5 && std::strcmp(argv[1], "--ours") == 0) return RunOursInChild(argv + 1);
  return RunBench();
}
