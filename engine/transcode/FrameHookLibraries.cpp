// Frame-hook libraries (see FrameHookLibraries.h).
#include "FrameHookLibraries.h"

#include "DynLib.h"
#include "LibAV.h"

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <unistd.h>

namespace {

constexpr size_t kMaxArguments = 64;

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string text(path, static_cast<size_t>(length));
  const size_t slash = text.rfind('/');
  return slash == std::string::npos ? "." : text.substr(0, slash);
}

// Where the library is looked for; a path that does not exist is kept, so
// that loading it fails with the system's own text.
std::string LibraryPath(const std::string& AName) {
  if (AName.find('/') != std::string::npos) return AName;
  const std::string beside = ProgramFolder() + "/" + AName;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return "./" + AName;
}

std::string RealPath(const std::string& APath) {
  char* real = realpath(APath.c_str(), nullptr);
  if (!real) return APath;
  std::string text(real);
  std::free(real);
  return text;
}

// The program's loaded libraries: real path -> handle, never closed.
struct TLibraryTable {
  std::mutex Lock;
  std::map<std::string, TDynLib> Libraries;
};

TLibraryTable& Table() {
  static TLibraryTable* table = new TLibraryTable; // outlives every task
  return *table;
}

// The entry point AName of the library, or null.
template <class T> T EntryPoint(const TDynLib& ALibrary, const char* AName) {
  std::string error;
  return reinterpret_cast<T>(ALibrary.Symbol(AName, error));
}

void LogError(const char* AFormat, const std::string& AText) {
  AV.av_log(nullptr, AV_LOG_ERROR, AFormat, AText.c_str());
}

} // namespace

int TFrameHookList::Add(int AArgc, char* AArgv[]) {
  if (AArgc < 1 || !AArgv || !AArgv[0]) return -2;
  const std::string name = AArgv[0];
  THook hook;
  {
    TLibraryTable& table = Table();
    std::lock_guard lock(table.Lock);
    const std::string path = LibraryPath(name);
    const std::string key = RealPath(path);
    auto found = table.Libraries.find(key);
    if (found == table.Libraries.end()) {
      TDynLib library;
      std::string error;
      if (!library.Open(path, error)) {
        LogError("%s\n", error);
        return -1;
      }
      found = table.Libraries.emplace(key, std::move(library)).first;
    }
    const TDynLib& library = found->second;
    hook.Configure = EntryPoint<TFrameHookConfigure>(library, "Configure");
    hook.Process = EntryPoint<TFrameHookProcess>(library, "Process");
    hook.Release = EntryPoint<TFrameHookRelease>(library, "Release");
  }
  if (!hook.Process) {
    LogError("Failed to find Process entrypoint in %s\n", name);
    return -2;
  }
  if (!hook.Configure && AArgc > 1) {
    LogError("Failed to find Configure entrypoint in %s\n", name);
    return -2;
  }
  try {
    FHooks.reserve(FHooks.size() + 1);
  } catch (const std::bad_alloc&) {
    return -12;
  }
  if (hook.Configure && hook.Configure(&hook.Context, AArgc, AArgv, AArgc - 1) != 0) {
    LogError("Failed to Configure %s\n", name);
    return -22;
  }
  FHooks.push_back(hook);
  return 0;
}

void TFrameHookList::Process(TFrameHookPicture& APicture, int APixelFormat, int AWidth, int AHeight,
                             int64_t APts) {
  for (const THook& hook : FHooks)
    hook.Process(hook.Context, &APicture, APixelFormat, AWidth, AHeight, APts);
}

void TFrameHookList::Release() {
  std::vector<THook> hooks;
  hooks.swap(FHooks);
  for (const THook& hook : hooks)
    if (hook.Release) hook.Release(hook.Context);
}

std::vector<std::string> SplitFrameHookArguments(const std::string& AText) {
  const char separator = AText.find('|') != std::string::npos ? '|' : ' ';
  std::vector<std::string> pieces;
  size_t at = 0;
  while (pieces.size() < kMaxArguments) {
    at = AText.find_first_not_of(separator, at);
    if (at == std::string::npos) break;
    const size_t end = AText.find(separator, at);
    pieces.push_back(AText.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return pieces;
}

std::vector<std::string> LoadedFrameHookLibraries() {
  TLibraryTable& table = Table();
  std::lock_guard lock(table.Lock);
  std::vector<std::string> paths;
  for (const auto& entry : table.Libraries)
    paths.push_back(entry.first);
  return paths;
}
