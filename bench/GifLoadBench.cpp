// Reading GIF files that ask for far more memory than they hold (a huge
// logical screen, many frames on a large one): the peak memory and the time
// of each file read through the codec's Qt plugin by QImageReader, through
// Qt's own GIF reader beside it, and through the codec alone (the picture
// loaded, and then also its composed bitmap made). Each road runs in a child process
// limited to 4 GB of address space, so that a runaway allocation ends as a
// failure rather than taking the machine. Prints figures; asserts nothing.
//   gif_load_bench [FOLDER]   every *.gif of FOLDER; by default the files
//                             that tests/fuzz/make-gif-seeds.py --hostile writes
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImageReader>
#include <QLibraryInfo>

#include "ChildProcess.h"
#include "GIFImage.h"
#include "GIFQtRegistration.h"

namespace {

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point AStart) {
  return std::chrono::duration<double, std::milli>(TClock::now() - AStart).count();
}

// QImageReader through the codec's plugin (AOurs) or through Qt's own.
int ReadWithQt(const std::string& AFile, bool AOurs) {
  int argc = 1;
  char name[] = "gif_load_bench";
  char* argv[] = {name, nullptr};
  QGuiApplication application(argc, argv);
  if (AOurs)
    RegisterGIFQt();
  else
    QCoreApplication::setLibraryPaths({QLibraryInfo::path(QLibraryInfo::PluginsPath)});
  const auto start = TClock::now();
  QImageReader reader(QString::fromStdString(AFile), "gif");
  const int count = reader.imageCount();
  int frames = 0;
  QImage image;
  while (reader.read(&image))
    ++frames;
  std::printf("%d of %d frames%s%s in %.0f ms\n", frames, count, frames == 0 ? ": " : "",
              frames == 0 ? reader.errorString().toStdString().c_str() : "",
              MillisecondsSince(start));
  return 0;
}

// The picture loaded, and with ABitmap also its composed bitmap made.
int ReadWithCodec(const std::string& AFile, bool ABitmap) {
  const auto start = TClock::now();
  try {
    TGIFImage picture;
    picture.LoadFromFile(AFile);
    TBitmap* bitmap = ABitmap ? picture.GetBitmap() : nullptr;
    std::printf("%d frames%s in %.0f ms\n", picture.FrameCount(),
                bitmap ? (", bitmap " + std::to_string(bitmap->Width()) + "x" +
                          std::to_string(bitmap->Height()))
                             .c_str()
                       : "",
                MillisecondsSince(start));
  } catch (const std::exception& AError) {
    std::printf("refused: %s in %.0f ms\n", AError.what(), MillisecondsSince(start));
  }
  return 0;
}

int RunRoad(const std::string& ARoad, const std::string& AFile) {
  const rlimit limit{4000000ull * 1024, 4000000ull * 1024};
  setrlimit(RLIMIT_AS, &limit);
  if (ARoad == "plugin") return ReadWithQt(AFile, true);
  if (ARoad == "qt") return ReadWithQt(AFile, false);
  return ReadWithCodec(AFile, ARoad == "bitmap");
}

std::vector<std::string> Files(const std::string& AFolder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(AFolder))
    if (entry.path().extension() == ".gif") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--road") == 0) return RunRoad(argv[2], argv[3]);
  // Offscreen: the bench needs no display, and Qt's readers need none.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::filesystem::path runtime = NewTemporaryFolder("vexmora-gif-load-run");
  if (runtime.empty()) return 1;
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

  std::string folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    folder = NewTemporaryFolder("vexmora-gif-load").string();
    if (folder.empty()) return 1;
    const std::string command =
        std::string("python3 ") + VEXMORA_GIF_SEEDS_SCRIPT + " --hostile " + folder;
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "cannot write the files: %s\n", command.c_str());
      return 1;
    }
  }

  std::printf("%-18s %-7s %9s %9s  %s\n", "file", "road", "peak MB", "wall ms", "result");
  const std::string errors = folder + "/road.err";
  const char* roads[] = {"plugin", "qt", "codec", "bitmap"};
  for (const std::string& file : Files(folder)) {
    long peak[4] = {};
    double wall[4] = {};
    int road = 0;
    for (const char* name : roads) {
      std::string result;
      const TChildResult child = RunChild({SelfPath(), "--road", name, file}, errors,
                                          [&](pid_t, const std::string& ALine) { result = ALine; });
      // Qt's readers say on standard error why they refused a file.
      const std::string reason = LastLineOf(errors);
      if (!reason.empty()) result += " (" + reason + ")";
      if (!child.Ok())
        result = child.Signal ? "died of signal " + std::to_string(child.Signal) + " (" +
                                    strsignal(child.Signal) + ")"
                              : "failed";
      peak[road] = child.PeakRssKb;
      wall[road++] = child.WallSeconds;
      std::printf("%-18s %-7s %9.1f %9.0f  %s\n", std::filesystem::path(file).filename().c_str(),
                  name, static_cast<double>(child.PeakRssKb) / 1024, child.WallSeconds * 1000,
                  result.c_str());
    }
    if (peak[1] > 0 && wall[1] > 0)
      std::printf("%-18s plugin/qt peak memory %.2f, wall time %.2f\n", "",
                  static_cast<double>(peak[0]) / static_cast<double>(peak[1]), wall[0] / wall[1]);
  }
  std::filesystem::remove(errors);
  std::filesystem::remove_all(runtime);
  if (argc == 1) std::filesystem::remove_all(folder);
  return 0;
}
