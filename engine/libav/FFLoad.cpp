// The library loader (see FFLoad.h) and the FFmpeg library table.
#include "FFLoad.h"

#include "LibAV.h"
#include "LibAVLog.h"

#include <stdexcept>
#include <sys/stat.h>

TLibAVApi AV;

namespace {

bool FileExists(const std::string& APath) {
  struct stat info {};
  return stat(APath.c_str(), &info) == 0;
}

} // namespace

TFFLoader::TFFLoader(std::span<const TLibraryItem> ATable)
    : FTable(ATable), FStatus(ATable.size()) {}

TFFLoader::~TFFLoader() {
  if (!UnloadOnDestroy) {
    for (TStatus& status : FStatus)
      status.Lib.Release();
    return;
  }
  // Unloading in reverse order lets no library outlive one it needs.
  for (int i = static_cast<int>(FTable.size()) - 1; i >= 0; --i)
    Unload(i);
}

std::string TFFLoader::FileNameOf(int AIndex) const {
  const TLibraryItem& item = FTable[AIndex];
  std::string name = "lib";
  name.append(item.Name).append(".so");
  if (item.Version >= 0) name.append(".").append(std::to_string(item.Version));
  return name;
}

void TFFLoader::CheckSet(TLibrarySet ASet) const {
  if (ASet == 0) throw std::logic_error("empty library set");
}

bool TFFLoader::Load(int AIndex) {
  const TLibraryItem& item = FTable[AIndex];
  TStatus& status = FStatus[AIndex];
  const std::string fileName = FileNameOf(AIndex);
  if (!status.Lib.IsOpen()) {
    std::string folder;
    if (!FLibraryPath.empty() && !item.SystemLib) {
      folder = FLibraryPath;
      if (folder.back() != '/') folder += '/';
    }
    // A folder without the file leaves the system's search order to find it,
    // and a failure names the folder the library was expected in.
    const std::string path =
        !folder.empty() && FileExists(folder + fileName) ? folder + fileName : fileName;
    std::string error;
    if (!status.Lib.Open(path, error)) {
      FLastErrMsg = "Load library " + folder + fileName + " error: " + error;
      return false;
    }
  }
  if (!status.Loaded) {
    try {
      item.Bind(fileName, status.Lib);
      status.Loaded = true;
    } catch (const std::exception& e) {
      FLastErrMsg = e.what();
    }
  }
  if (!status.Loaded) {
    Unload(AIndex);
    return false;
  }
  if (item.AfterBind) {
    try {
      item.AfterBind(*this);
    } catch (const std::exception& e) {
      FLastErrMsg = e.what();
      Unload(AIndex);
      return false;
    }
  }
  return true;
}

bool TFFLoader::LoadLibs(TLibrarySet ASet) {
  CheckSet(ASet);
  for (size_t i = 0; i < FTable.size(); ++i) {
    if (!(ASet & LibraryBit(static_cast<int>(i)))) continue;
    if (IsLoaded(static_cast<int>(i))) continue;
    if (!Load(static_cast<int>(i))) {
      UnloadLibs(ASet);
      return false;
    }
  }
  return true;
}

bool TFFLoader::IsLoaded(int AIndex) const {
  return FStatus[AIndex].Lib.IsOpen() && FStatus[AIndex].Loaded;
}

bool TFFLoader::LibsLoaded(TLibrarySet ASet) const {
  CheckSet(ASet);
  for (size_t i = 0; i < FTable.size(); ++i)
    if ((ASet & LibraryBit(static_cast<int>(i))) && !IsLoaded(static_cast<int>(i))) return false;
  return true;
}

void TFFLoader::CheckLibs(TLibrarySet ASet) const {
  for (size_t i = 0; i < FTable.size(); ++i)
    if ((ASet & LibraryBit(static_cast<int>(i))) && !IsLoaded(static_cast<int>(i)))
      throw std::runtime_error(std::string("Library ") + FTable[i].Name + " not loaded.");
}

void TFFLoader::Unload(int AIndex) {
  TStatus& status = FStatus[AIndex];
  if (status.Loaded) {
    FTable[AIndex].Unbind();
    status.Loaded = false;
  }
  status.Lib.Close();
}

void TFFLoader::UnloadLibs(TLibrarySet ASet) {
  CheckSet(ASet);
  for (int i = static_cast<int>(FTable.size()) - 1; i >= 0; --i)
    if (ASet & LibraryBit(i)) Unload(i);
}

void TFFLoader::BindEntryPoint(const std::string& ALibFileName, const TDynLib& ALib,
                               const char* AEntryName, bool AOptional, void*& AFunction) {
  std::string error;
  AFunction = ALib.Symbol(AEntryName, error);
  if (!AFunction && !AOptional)
    throw std::runtime_error(std::string("Load function ") + AEntryName + "@" + ALibFileName +
                             " error: " + error);
}

// ---- The FFmpeg table ----------------------------------------------------

namespace {

struct TEntry {
  TLibAVLib Lib;
  const char* Name;
  bool Optional;
  void** Slot;
};

template <typename F> void** SlotOf(F& AFunction) {
  return reinterpret_cast<void**>(&AFunction);
}

const TEntry kEntries[] = {
#define LIBAV_FN(lib, name) {TLibAVLib::lib, #name, false, SlotOf(AV.name)},
#define LIBAV_OPT_FN(lib, name) {TLibAVLib::lib, #name, true, SlotOf(AV.name)},
#include "LibAVFunctions.def"
#undef LIBAV_FN
#undef LIBAV_OPT_FN
};

template <TLibAVLib L> void BindLib(const std::string& AFileName, const TDynLib& ALib) {
  for (const TEntry& entry : kEntries) {
    if (entry.Lib != L) continue;
    void* address = nullptr;
    TFFLoader::BindEntryPoint(AFileName, ALib, entry.Name, entry.Optional, address);
    *entry.Slot = address;
  }
}

template <TLibAVLib L> void UnbindLib() {
  for (const TEntry& entry : kEntries)
    if (entry.Lib == L) *entry.Slot = nullptr;
}

void AfterAvutil(TFFLoader& ALoader) {
  if (ALoader.InstallLogCallback) InstallLibAVLogCallback();
}
void AfterAvformat(TFFLoader&) {
  AV.avformat_network_init();
}
void AfterAvdevice(TFFLoader&) {
  AV.avdevice_register_all();
}

void BindNothing(const std::string&, const TDynLib&) {}
void UnbindNothing() {}

#define ROW(lib, version, after)                                                                   \
  { #lib, false, version, BindLib < TLibAVLib::lib>, UnbindLib < TLibAVLib::lib>, after }

const TLibraryItem kLibAVTable[kLibAVLibCount] = {
    ROW(avutil, LIBAVUTIL_VERSION_MAJOR, AfterAvutil),
    ROW(swresample, LIBSWRESAMPLE_VERSION_MAJOR, nullptr),
    ROW(swscale, LIBSWSCALE_VERSION_MAJOR, nullptr),
    ROW(avcodec, LIBAVCODEC_VERSION_MAJOR, nullptr),
    ROW(avformat, LIBAVFORMAT_VERSION_MAJOR, AfterAvformat),
    ROW(postproc, LIBPOSTPROC_VERSION_MAJOR, nullptr),
    ROW(avfilter, LIBAVFILTER_VERSION_MAJOR, nullptr),
    ROW(avdevice, LIBAVDEVICE_VERSION_MAJOR, AfterAvdevice),
    // The C library: the runtime the engine once called through; nothing to bind.
    {"c", true, 6, BindNothing, UnbindNothing, nullptr},
};
#undef ROW

} // namespace

TFFLoader& FFLoader() {
  // The FFmpeg libraries stay until the process ends: their own threads and
  // exit handlers may still run while static objects are destroyed.
  static TFFLoader loader(kLibAVTable);
  [[maybe_unused]] static const bool kept = (loader.UnloadOnDestroy = false, true);
  return loader;
}

std::vector<std::string> MissingLibAVEntries() {
  std::vector<std::string> missing;
  for (const TEntry& entry : kEntries)
    if (!entry.Optional && !*entry.Slot) missing.emplace_back(entry.Name);
  return missing;
}

TLibrarySet DecoderLibrarySet() {
  auto bit = [](TLibAVLib lib) { return LibraryBit(static_cast<int>(lib)); };
  return bit(TLibAVLib::avcodec) | bit(TLibAVLib::avformat) | bit(TLibAVLib::avutil) |
         bit(TLibAVLib::swresample) | bit(TLibAVLib::swscale) | bit(TLibAVLib::c);
}
