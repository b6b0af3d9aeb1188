// File-to-file transcoding as users feel it, side by side with the ffmpeg
// program in the same run: the recorder's seven output option strings over
// a lavfi source shaped like the capture device (bgr0 video and s16 stereo
// sound at 44100 Hz, both in microseconds), at 800x600 and 1920x1080, 300
// frames each. Ours is this program started again in a child mode that
// runs one encoder task; the peer is ffmpeg given the same input graph and
// the same output string (adapted only where it refuses, and the bench says
// where). Both are child processes measured alike by wait4: CPU seconds,
// peak resident memory, and wall time from start to exit; the frames are
// read back from the written files. A last long run (10,000 frames at
// 320x240 into mkv) samples the resident memory of both every 1,000 frames:
// a tap in the shared input graph writes a line to the child's standard
// output at every 1,000th frame, and the bench reads the child's resident
// set when the line arrives.
#include "ChildProcess.h"
#include "EncoderRun.h"
#include "FFText.h"
#include "LibAVFolder.h"
#include "RecorderStrings.h"
#include "WrittenVideo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 30, kFrames = 300;
constexpr int kLongRate = 25, kLongFrames = 10000, kLongWidth = 320, kLongHeight = 240;
constexpr int kRssEvery = 1000;
const char* const kLongContainer = "mkv";

// The capture device's shape, as the engine's tests build it: testsrc2
// moves in every frame, so no encoder sees a still picture. With ATapEvery,
// a branch of the video writes "frame:K ..." to standard output (unbuffered)
// when frame (K + 1) x ATapEvery passes the graph; it costs next to nothing
// and the same in both programs.
std::string CaptureLikeGraph(int AWidth, int AHeight, int ARate, int ASeconds, int ATapEvery = 0) {
  std::string video = FormatText("testsrc2=size=%dx%d:rate=%d:duration=%d,format=bgr0", AWidth,
                                 AHeight, ARate, ASeconds);
  if (ATapEvery > 0)
    video += FormatText(",split[v][tap];[tap]select='not(mod(n+1\\,%d))',metadata=mode=add:"
                        "key=tap:value=1,metadata=mode=print:file=pipe\\\\:1:direct=1,"
                        "nullsink;[v]null",
                        ATapEvery);
  return video + FormatText(",settb=AVTB,setpts=PTS[out0];sine=frequency=440:sample_rate=44100:"
                            "duration=%d,aformat=sample_fmts=s16:channel_layouts=stereo,"
                            "asettb=AVTB[out1]",
                            ASeconds);
}

std::string InputOptions(int ARate) {
  return "-f lavfi -r " + std::to_string(ARate);
}

std::vector<std::string> SplitBlanks(const std::string& AText) {
  std::istringstream words(AText);
  std::vector<std::string> parts;
  for (std::string word; words >> word;)
    parts.push_back(word);
  return parts;
}

// What ffmpeg refuses in the recorder's strings, and what it gets instead.
struct TAdaptation {
  const char* From;
  const char* To;
  const char* Why;
};
const TAdaptation kAdaptations[] = {
    {"-c:a libfaac", "-c:a aac",
     "ffmpeg: \"Unknown encoder 'libfaac'\"; our engine takes libfaac for its aac encoder"},
};

std::string AdaptForPeer(std::string AOptions, std::vector<const TAdaptation*>& AUsed) {
  for (const TAdaptation& adaptation : kAdaptations)
    if (const size_t at = AOptions.find(adaptation.From); at != std::string::npos) {
      AOptions.replace(at, std::strlen(adaptation.From), adaptation.To);
      AUsed.push_back(&adaptation);
    }
  return AOptions;
}

// ---- Our side, in the child process ---------------------------------------------------------

// argv: --ours GRAPH INPUT-OPTIONS FILE OUTPUT-OPTIONS [hook]; with "hook" a
// video input hook draws a line of text into every frame.
int RunOursInChild(char** AArgs, bool ATextHook) {
  TEncoderRun run;
  if (!run.Load()) {
    std::fprintf(stderr, "%s\n", run.Error.c_str());
    return 1;
  }
  if (!run.Add(AArgs[1], AArgs[2], AArgs[3], AArgs[4], ATextHook)) {
    std::fprintf(stderr, "%s\n", run.Error.c_str());
    return 1;
  }
  run.Start();
  run.WaitForEnd(std::chrono::minutes(30));
  if (const std::string failure = run.Failure(); !failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
  }
  return 0;
}

// ---- The bench ------------------------------------------------------------------------------

struct TMeasured {
  TChildResult Run;
  TWrittenVideo Video;
  int64_t Bytes = 0; // the written file's size
  std::string Error;
  double Fps() const { return Run.WallSeconds > 0 ? Video.Frames / Run.WallSeconds : 0; }
};

struct TJob {
  std::string Graph, InputOptions, OutputOptions, File, ErrorFile;
  TLineHandler OnLine;
  bool TextHook = false;                // ours: the video input hook draws text
  std::vector<std::string> PeerFilter;  // ffmpeg: arguments before the file
};

TMeasured Finish(const TChildResult& ARun, const TJob& AJob) {
  TMeasured measured;
  measured.Run = ARun;
  if (!ARun.Ok()) {
    measured.Error = ARun.Started ? LastLineOf(AJob.ErrorFile) : "could not start";
    if (measured.Error.empty()) measured.Error = "exit " + std::to_string(ARun.ExitCode);
  } else {
    measured.Video = ReadVideoBack(AJob.File);
    if (!measured.Video.Ok) measured.Error = measured.Video.Error;
  }
  std::error_code ignored;
  if (const uintmax_t bytes = std::filesystem::file_size(AJob.File, ignored); !ignored)
    measured.Bytes = static_cast<int64_t>(bytes);
  std::filesystem::remove(AJob.File, ignored); // raw video at 1920x1080 fills a disk fast
  return measured;
}

TMeasured RunOurs(const TJob& AJob) {
  std::vector<std::string> args = {SelfPath(), "--ours", AJob.Graph, AJob.InputOptions, AJob.File,
                                   AJob.OutputOptions};
  if (AJob.TextHook) args.push_back("hook");
  return Finish(RunChild(args, AJob.ErrorFile, AJob.OnLine), AJob);
}

TMeasured RunPeer(const TJob& AJob, int ARate) {
  std::vector<std::string> args = {"ffmpeg", "-nostdin", "-hide_banner", "-y"};
  args.insert(args.end(), {"-f", "lavfi", "-r", std::to_string(ARate), "-i", AJob.Graph});
  for (std::string& word : SplitBlanks(AJob.OutputOptions))
    args.push_back(std::move(word));
  args.insert(args.end(), AJob.PeerFilter.begin(), AJob.PeerFilter.end());
  args.push_back(AJob.File);
  return Finish(RunChild(args, AJob.ErrorFile, AJob.OnLine), AJob);
}

double Ratio(double AOurs, double APeer) {
  return APeer > 0 ? AOurs / APeer : 0;
}

double Megabytes(long AKb) {
  return static_cast<double>(AKb) / 1024;
}

std::string FirstLineOfFfmpegVersion() {
  std::string first;
  RunChild({"ffmpeg", "-version"}, "", [&](pid_t, const std::string& ALine) {
    if (first.empty()) first = ALine;
  });
  return first;
}

struct TRow {
  std::string Container;
  int Width, Height;
  TMeasured Ours, Peer;
};

void PrintRow(const TRow& ARow) {
  const std::string size = std::to_string(ARow.Width) + "x" + std::to_string(ARow.Height);
  if (!ARow.Ours.Error.empty() || !ARow.Peer.Error.empty()) {
    std::printf("%-5s %-9s failed: ours: %s | ffmpeg: %s\n", ARow.Container.c_str(), size.c_str(),
                ARow.Ours.Error.empty() ? "ok" : ARow.Ours.Error.c_str(),
                ARow.Peer.Error.empty() ? "ok" : ARow.Peer.Error.c_str());
    return;
  }
  const TChildResult& ours = ARow.Ours.Run;
  const TChildResult& peer = ARow.Peer.Run;
  std::printf(
      "%-5s %-9s %8.1f %8.1f %8.2f %8.2f %7.1f %7.1f %7.0f %7.0f %6.2f %6.2f %5lld/%-5lld "
      "%7.1f/%-7.1f\n",
      ARow.Container.c_str(), size.c_str(), ARow.Ours.Fps(), ARow.Peer.Fps(), ours.WallSeconds,
      peer.WallSeconds, ours.CpuSeconds(), peer.CpuSeconds(), Megabytes(ours.PeakRssKb),
      Megabytes(peer.PeakRssKb), Ratio(ours.WallSeconds, peer.WallSeconds),
      Ratio(ours.CpuSeconds(), peer.CpuSeconds()), static_cast<long long>(ARow.Ours.Video.Frames),
      static_cast<long long>(ARow.Peer.Video.Frames), Megabytes(ARow.Ours.Bytes / 1024),
      Megabytes(ARow.Peer.Bytes / 1024));
}

// Resident memory of a child, read when its graph's tap says that another
// kRssEvery frames went in.
struct TRssSamples {
  std::vector<std::pair<long long, long>> Samples; // frame, kB
  TLineHandler Handler() {
    return [this](pid_t APid, const std::string& ALine) {
      if (ALine.rfind("frame:", 0) != 0) return;
      const long long frame = (std::atoll(ALine.c_str() + 6) + 1) * kRssEvery;
      Samples.emplace_back(frame, ResidentKb(APid));
    };
  }
};

void HookSection(const std::filesystem::path& AFolder);

int RunBench() {
  std::string error;
  if (!LoadLibAVBesideProgram(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::filesystem::path folder = NewTemporaryFolder("vexmora-transcode-bench");
  if (folder.empty()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }

  std::printf("peer: %s\n", FirstLineOfFfmpegVersion().c_str());
  std::printf("ours: this program in a child mode (one encoder task, worker thread, the main\n"
              "thread serviced as the recorder does); peer: ffmpeg with the same input graph\n"
              "and output string. Each run is a child process of the bench, timed from start to\n"
              "exit; CPU (user+sys) and peak RSS from wait4. Frames read back from the files.\n");
  std::vector<const TAdaptation*> used;
  for (const TRecorderContainer& c : RecorderContainers())
    AdaptForPeer(c.Options, used);
  for (const TAdaptation* adaptation : used)
    std::printf("adapted for ffmpeg: \"%s\" -> \"%s\" (%s)\n", adaptation->From, adaptation->To,
                adaptation->Why);
  std::printf("input: -f lavfi -r %d, testsrc2 bgr0 + sine s16 stereo 44100, %d frames\n\n", kRate,
              kFrames);
  std::printf("%-5s %-9s %8s %8s %8s %8s %7s %7s %7s %7s %6s %6s %11s %15s\n", "cont", "size",
              "fps our", "fps ffm", "wall our", "wall ffm", "CPU our", "CPU ffm", "RSS our",
              "RSS ffm", "wall", "CPU", "frames", "file MB");
  std::printf("%-5s %-9s %8s %8s %8s %8s %7s %7s %7s %7s %6s %6s %11s %15s\n", "", "", "", "", "s",
              "s", "s", "s", "MB", "MB", "o/f", "o/f", "our/ffm", "our/ffm");
  std::fflush(stdout);

  int turn = 0;
  for (const auto& [width, height] : {std::pair{800, 600}, std::pair{1920, 1080}})
    for (const TRecorderContainer& c : RecorderContainers()) {
      TJob job;
      job.Graph = CaptureLikeGraph(width, height, kRate, kFrames / kRate);
      job.InputOptions = InputOptions(kRate);
      job.OutputOptions = WithSize(c.Options, width, height);
      job.File = (folder / (std::string("ours.") + c.Extension)).string();
      job.ErrorFile = (folder / "ours.log").string();
      TJob peerJob = job;
      std::vector<const TAdaptation*> unused;
      peerJob.OutputOptions = AdaptForPeer(job.OutputOptions, unused);
      peerJob.File = (folder / (std::string("ffmpeg.") + c.Extension)).string();
      peerJob.ErrorFile = (folder / "ffmpeg.log").string();
      TRow row{c.Extension, width, height, {}, {}};
      // Taking turns at going first, so that neither always meets a warmer
      // or a busier machine.
      if (turn++ % 2 == 0) {
        row.Ours = RunOurs(job);
        row.Peer = RunPeer(peerJob, kRate);
      } else {
        row.Peer = RunPeer(peerJob, kRate);
        row.Ours = RunOurs(job);
      }
      PrintRow(row);
      std::fflush(stdout);
    }

  // The long run: does memory stay flat?
  const TRecorderContainer* longContainer = nullptr;
  for (const TRecorderContainer& c : RecorderContainers())
    if (std::strcmp(c.Extension, kLongContainer) == 0) longContainer = &c;
  TJob job;
  job.Graph =
      CaptureLikeGraph(kLongWidth, kLongHeight, kLongRate, kLongFrames / kLongRate, kRssEvery);
  job.InputOptions = InputOptions(kLongRate);
  job.OutputOptions = WithSize(longContainer->Options, kLongWidth, kLongHeight);
  job.File = (folder / "ours-long.mkv").string();
  job.ErrorFile = (folder / "ours-long.log").string();
  TRssSamples oursRss, peerRss;
  job.OnLine = oursRss.Handler();
  TJob peerJob = job;
  std::vector<const TAdaptation*> unused;
  peerJob.OutputOptions = AdaptForPeer(job.OutputOptions, unused);
  peerJob.File = (folder / "ffmpeg-long.mkv").string();
  peerJob.ErrorFile = (folder / "ffmpeg-long.log").string();
  peerJob.OnLine = peerRss.Handler();
  const TMeasured ours = RunOurs(job);
  const TMeasured peer = RunPeer(peerJob, kLongRate);

  std::printf("\nlong run: %s at %dx%d, %d frames at %d fps; resident memory (VmRSS) read by the\n"
              "bench when the input graph's tap reports each %d frames (the encoder lags the\n"
              "graph by its delay, a few dozen frames)\n",
              kLongContainer, kLongWidth, kLongHeight, kLongFrames, kLongRate, kRssEvery);
  if (!ours.Error.empty() || !peer.Error.empty()) {
    std::printf("failed: ours: %s | ffmpeg: %s\n", ours.Error.empty() ? "ok" : ours.Error.c_str(),
                peer.Error.empty() ? "ok" : peer.Error.c_str());
  } else {
    std::printf("%12s %12s %12s %12s\n", "frame ours", "RSS MB ours", "frame ffm", "RSS MB ffm");
    const size_t rows = std::max(oursRss.Samples.size(), peerRss.Samples.size());
    for (size_t i = 0; i < rows; ++i) {
      const auto cell = [&](const TRssSamples& ASamples) {
        if (i >= ASamples.Samples.size()) return std::string(25, ' ');
        return FormatText("%12lld %12.1f", ASamples.Samples[i].first,
                          Megabytes(ASamples.Samples[i].second));
      };
      std::printf("%s %s\n", cell(oursRss).c_str(), cell(peerRss).c_str());
    }
    const auto growth = [](const TRssSamples& ASamples) {
      return ASamples.Samples.size() < 2
                 ? 0.0
                 : Megabytes(ASamples.Samples.back().second - ASamples.Samples.front().second);
    };
    std::printf("growth first->last sample: ours %.1f MB, ffmpeg %.1f MB; peak RSS: ours %.1f MB, "
                "ffmpeg %.1f MB\n",
                growth(oursRss), growth(peerRss), Megabytes(ours.Run.PeakRssKb),
                Megabytes(peer.Run.PeakRssKb));
    std::printf("frames written: ours %lld, ffmpeg %lld; fps ours %.1f, ffmpeg %.1f; CPU s ours "
                "%.1f, ffmpeg %.1f (ratio %.2f); wall ratio %.2f\n",
                static_cast<long long>(ours.Video.Frames),
                static_cast<long long>(peer.Video.Frames), ours.Fps(), peer.Fps(),
                ours.Run.CpuSeconds(), peer.Run.CpuSeconds(),
                Ratio(ours.Run.CpuSeconds(), peer.Run.CpuSeconds()),
                Ratio(ours.Run.WallSeconds, peer.Run.WallSeconds));
  }
  std::printf("\nfps: frames read back / wall s; ratios: ours over ffmpeg, same run; RSS: peak;\n"
              "file MB: the written file (the same output string should give the same size)\n");
  HookSection(folder);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}

// ---- The video input hook ---------------------------------------------------------------------

constexpr int kHookTurns = 3, kHookWidth = 1920, kHookHeight = 1080;
const char* const kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The cost of a video input hook that draws a line of text, at 1920x1080:
// our task with and without the hook, beside ffmpeg with and without a
// drawtext filter that draws a like line, all four taking turns. The hook's
// cost per frame is the difference of each pair.
void HookSection(const std::filesystem::path& AFolder) {
  std::printf("\nvideo input hook drawing a line of text, %dx%d, %d frames, %d turns each "
              "(medians)\n",
              kHookWidth, kHookHeight, kFrames, kHookTurns);
  std::printf("ours: the hook draws \"Vexmora hh:mm:ss.zzz frame N\" (5x7 font x3, shadowed) into "
              "the 32-bit bitmap\nffmpeg: -vf drawtext with DejaVuSans 20 px, a like line, "
              "shadowed\n");
  std::printf("%-5s %-12s %8s %8s %7s %11s %11s\n", "cont", "program", "wall s", "CPU s", "frames",
              "+wall ms/f", "+CPU ms/f");
  const bool font = std::filesystem::exists(kFont);
  for (const char* extension : {"mp4", "mkv"}) {
    const TRecorderContainer* container = nullptr;
    for (const TRecorderContainer& c : RecorderContainers())
      if (std::strcmp(c.Extension, extension) == 0) container = &c;
    TJob plain;
    plain.Graph = CaptureLikeGraph(kHookWidth, kHookHeight, kRate, kFrames / kRate);
    plain.InputOptions = InputOptions(kRate);
    plain.OutputOptions = WithSize(container->Options, kHookWidth, kHookHeight);
    plain.File = (AFolder / (std::string("hook.") + extension)).string();
    plain.ErrorFile = (AFolder / "hook.log").string();
    std::vector<const TAdaptation*> unused;
    TJob peer = plain;
    peer.OutputOptions = AdaptForPeer(plain.OutputOptions, unused);
    TJob hooked = plain, peerText = peer;
    hooked.TextHook = true;
    peerText.PeerFilter = {
        "-vf", FormatText("drawtext=fontfile=%s:text='Vexmora %%{pts\\:hms} frame "
                          "%%{n}':x=16:y=h-48:fontsize=20:fontcolor=white:shadowcolor=black:"
                          "shadowx=2:shadowy=2",
                          kFont)};
    // Wall and CPU seconds of each turn, and the frames of the last.
    struct TSeries {
      std::vector<double> Wall, Cpu;
      int64_t Frames = 0;
      std::string Error;
      void Add(const TMeasured& AMeasured) {
        if (!AMeasured.Error.empty()) {
          Error = AMeasured.Error;
          return;
        }
        Wall.push_back(AMeasured.Run.WallSeconds);
        Cpu.push_back(AMeasured.Run.CpuSeconds());
        Frames = AMeasured.Video.Frames;
      }
      static double Median(std::vector<double> AValues) {
        if (AValues.empty()) return 0;
        std::sort(AValues.begin(), AValues.end());
        return AValues[AValues.size() / 2];
      }
    } ours, oursHook, ffmpeg, ffmpegText;
    for (int turn = 0; turn < kHookTurns; ++turn) {
      // Each turn starts with another of the four.
      for (int k = 0; k < 4; ++k)
        switch ((turn + k) % 4) {
        case 0: ours.Add(RunOurs(plain)); break;
        case 1: oursHook.Add(RunOurs(hooked)); break;
        case 2: ffmpeg.Add(RunPeer(peer, kRate)); break;
        default:
          if (font) ffmpegText.Add(RunPeer(peerText, kRate));
        }
    }
    const auto row = [&](const char* AProgram, const TSeries& ASeries, const TSeries* ABase) {
      if (!ASeries.Error.empty() || ASeries.Wall.empty()) {
        std::printf("%-5s %-12s failed: %s\n", extension, AProgram,
                    ASeries.Error.empty() ? "not run" : ASeries.Error.c_str());
        return;
      }
      const double wall = TSeries::Median(ASeries.Wall), cpu = TSeries::Median(ASeries.Cpu);
      std::printf("%-5s %-12s %8.2f %8.2f %7lld", extension, AProgram, wall, cpu,
                  static_cast<long long>(ASeries.Frames));
      if (ABase && !ABase->Wall.empty() && ASeries.Frames > 0)
        std::printf(" %11.2f %11.2f",
                    (wall - TSeries::Median(ABase->Wall)) * 1000 / static_cast<double>(ASeries.Frames),
                    (cpu - TSeries::Median(ABase->Cpu)) * 1000 / static_cast<double>(ASeries.Frames));
      std::printf("\n");
    };
    row("ours", ours, nullptr);
    row("ours+hook", oursHook, &ours);
    row("ffmpeg", ffmpeg, nullptr);
    if (font)
      row("ffmpeg+text", ffmpegText, &ffmpeg);
    else
      std::printf("%-5s %-12s not run: no %s\n", extension, "ffmpeg+text", kFont);
    std::fflush(stdout);
  }
  std::printf("+wall, +CPU: what the text costs per frame over the same program without it\n");
}

int RunHookBench() {
  std::string error;
  if (!LoadLibAVBesideProgram(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::string folderTemplate =
      (std::filesystem::temp_directory_path() / "vexmora-hook-bench-XXXXXX").string();
  if (!mkdtemp(folderTemplate.data())) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  const std::filesystem::path folder = folderTemplate;
  std::printf("peer: %s\n", FirstLineOfFfmpegVersion().c_str());
  HookSection(folder);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if ((argc == 6 || argc == 7) && std::strcmp(argv[1], "--ours") == 0)
    return RunOursInChild(argv + 1, argc == 7 && std::strcmp(argv[6], "hook") == 0);
  if (argc == 2 && std::strcmp(argv[1], "--hook") == 0) return RunHookBench();
  return RunBench();
}
