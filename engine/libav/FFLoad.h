// The library loader: loads the FFmpeg libraries from a folder at run time
// and binds every entry point of LibAVFunctions.def into AV, all or nothing.
#pragma once

#include "DynLib.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TFFLoader;

// One row of a loader's table.
struct TLibraryItem {
  const char* Name;
  bool SystemLib; // loaded by name through the system's search, never from the folder
  int Version;    // the major version in the file name, -1 for none
  // Looks up every entry point of the library; raises on a missing one.
  void (*Bind)(const std::string& AFileName, const TDynLib& ALib);
  void (*Unbind)();
  // Runs once the library is bound (registrations, the log callback).
  void (*AfterBind)(TFFLoader& ALoader);
};

// A set of table rows, one bit a row.
using TLibrarySet = uint32_t;
constexpr TLibrarySet LibraryBit(int AIndex) {
  return TLibrarySet{1} << AIndex;
}

class TFFLoader {
public:
  explicit TFFLoader(std::span<const TLibraryItem> ATable);
  ~TFFLoader();
  TFFLoader(const TFFLoader&) = delete;
  TFFLoader& operator=(const TFFLoader&) = delete;

  void SetLibraryPath(const std::string& APath) { FLibraryPath = APath; }
  const std::string& LibraryPath() const { return FLibraryPath; }
  const std::string& GetLastErrMsg() const { return FLastErrMsg; }

  // "lib" + Name + ".so." + Version, or without the version when it is -1.
  std::string FileNameOf(int AIndex) const;
  int LibraryCount() const { return static_cast<int>(FTable.size()); }
  // Whether row AIndex is found by the system's search, never in the folder.
  bool IsSystemLib(int AIndex) const { return FTable[AIndex].SystemLib; }
  bool Load(int AIndex);
  bool LoadLibs(TLibrarySet ASet);
  bool IsLoaded(int AIndex) const;
  bool LibsLoaded(TLibrarySet ASet) const;
  // Raises "Library %s not loaded." for the first row of ASet not loaded.
  void CheckLibs(TLibrarySet ASet) const;
  void Unload(int AIndex);
  void UnloadLibs(TLibrarySet ASet);
  TLibrarySet FullSet() const { return (TLibrarySet{1} << FTable.size()) - 1; }

  // Looks AEntryName up in ALib; a missing required entry raises
  // "Load function %s@%s error: %s".
  static void BindEntryPoint(const std::string& ALibFileName, const TDynLib& ALib,
                             const char* AEntryName, bool AOptional, void*& AFunction);

  // Whether loading libavutil installs the engine's log callback.
  bool InstallLogCallback = true;
  // Whether destruction unloads what is loaded.
  bool UnloadOnDestroy = true;

private:
  struct TStatus {
    TDynLib Lib;
    bool Loaded = false;
  };
  void CheckSet(TLibrarySet ASet) const;

  std::span<const TLibraryItem> FTable;
  std::vector<TStatus> FStatus;
  std::string FLibraryPath;
  std::string FLastErrMsg;
};

// The program's loader over the FFmpeg libraries (TLibAVLib rows).
TFFLoader& FFLoader();
// The required entry points of LibAVFunctions.def that are not bound.
std::vector<std::string> MissingLibAVEntries();
// The libraries a decoder needs: avcodec, avformat, avutil, swresample, swscale, c.
TLibrarySet DecoderLibrarySet();
