// The frame-hook libraries of a task ("-vhook"): shared objects that export
// "Configure", "Process" and "Release" (FrameHookModule.h). A task keeps one
// entry per "-vhook" option, each with the context its Configure made, and
// hands every decoded picture to them in the order they were added.
//
// Libraries are loaded once for the whole program, into a table keyed by
// their real path, and never closed: a context a task still holds must never
// outlive its code. A name with a slash is opened as it is; a bare name is
// looked for beside the program, then in the current folder (never through
// the system's search path, and without changing the current folder or any
// environment variable, which belong to the whole process).
//
// Threads: Add runs while the options are parsed (the thread that adds the
// output), Process and Release in the task's thread; the program-wide table
// has a lock of its own.
#pragma once

#include "FrameHookModule.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TFrameHookList {
public:
  TFrameHookList() = default;
  ~TFrameHookList() { Release(); }
  TFrameHookList(const TFrameHookList&) = delete;
  TFrameHookList& operator=(const TFrameHookList&) = delete;

  // AArgv[0] names the library, the rest are its arguments (AArgc in all).
  // Answers 0, or -2 (no arguments, or a needed entry point is missing), -1
  // (the library cannot be loaded), -12 (no memory), -22 (Configure refused).
  // Every failure is logged through the libraries' log; an entry that failed
  // is not added, but its library stays loaded for later use.
  int Add(int AArgc, char* AArgv[]);
  // Hands the picture to every entry's Process, in order.
  void Process(TFrameHookPicture& APicture, int APixelFormat, int AWidth, int AHeight,
               int64_t APts);
  // Calls each entry's Release (where the library has one) in order and
  // empties the list.
  void Release();
  bool Empty() const { return FHooks.empty(); }
  size_t Count() const { return FHooks.size(); }

private:
  struct THook {
    TFrameHookConfigure Configure = nullptr;
    TFrameHookProcess Process = nullptr;
    TFrameHookRelease Release = nullptr;
    void* Context = nullptr;
  };
  std::vector<THook> FHooks;
};

// The "-vhook" text split into the library and its arguments: at "|" when the
// text holds one (blanks then stay inside arguments), else at blanks; runs of
// separators count as one, and at most 64 pieces are taken.
std::vector<std::string> SplitFrameHookArguments(const std::string& AText);

// The real paths of the libraries the program has loaded so far.
std::vector<std::string> LoadedFrameHookLibraries();
