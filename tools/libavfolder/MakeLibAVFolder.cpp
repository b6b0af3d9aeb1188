// Lays the FFmpeg libraries into a program's LibAV folder as links. The
// names are the loader's own (one table decides what the engine loads and
// what the folder holds); each link points where the system's loader finds
// that name, the name itself and not the versioned file behind it, so that
// an upgrade of the libraries within their major versions keeps the folder
// good. Run by the build for the folder beside the programs.
#include "DynLib.h"
#include "FFLoad.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path folder = argv[1];
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
    return 1;
  }
  const TFFLoader& loader = FFLoader();
  for (int i = 0; i < loader.LibraryCount(); ++i) {
    if (loader.IsSystemLib(i)) continue;
    const std::string name = loader.FileNameOf(i);
    TDynLib lib;
    std::string text;
    if (!lib.Open(name, text)) {
      std::fprintf(stderr, "cannot find %s: %s\n", name.c_str(), text.c_str());
      return 1;
    }
    const fs::path target = lib.LoadedPath();
    // Kept loaded: what a library allocates for itself is no leak of ours.
    lib.Release();
    const fs::path link = folder / name;
    if (fs::is_symlink(link, error) && fs::read_symlink(link, error) == target) continue;
    fs::remove(link, error);
    fs::create_symlink(target, link, error);
    if (error) {
      std::fprintf(stderr, "cannot link %s to %s: %s\n", link.c_str(), target.c_str(),
                   error.message().c_str());
      return 1;
    }
  }
  return 0;
}
