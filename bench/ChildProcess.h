// The benchmarks measure every run, ours and the peer's, the same way: as a
// child process started by the bench, its CPU time and peak memory taken
// from wait4's resource usage, its wall time from start to exit, and its
// standard output read line by line while it runs.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

struct TChildResult {
  bool Started = false;
  int ExitCode = -1; // -1 when it did not exit normally
  int Signal = 0;    // the signal that ended it, 0 none
  double WallSeconds = 0;
  double UserSeconds = 0, SystemSeconds = 0;
  long PeakRssKb = 0; // ru_maxrss
  bool Interrupted = false; // sent SIGINT at its time limit
  double CpuSeconds() const { return UserSeconds + SystemSeconds; }
  bool Ok() const { return Started && ExitCode == 0; }
};

// Called with each line the child writes to its standard output (without
// the line feed), in the bench's thread, while the child runs.
using TLineHandler = std::function<void(pid_t APid, const std::string& ALine)>;

// Runs AArgs (AArgs[0] is looked up in PATH) with its standard error written
// to AErrorFile (or /dev/null when empty) and waits for it. A child still
// running after ALimitSeconds (0: no limit) is sent SIGINT, once, and still
// waited for: programs that end cleanly on it finish their files.
TChildResult RunChild(const std::vector<std::string>& AArgs, const std::string& AErrorFile,
                      const TLineHandler& AOnLine = nullptr, double ALimitSeconds = 0);

// A child left running until it is stopped (SIGTERM) and reaped by its
// destructor; for helpers whose cost is not measured.
class TBackgroundChild {
public:
  TBackgroundChild() = default;
  ~TBackgroundChild() { Stop(); }
  TBackgroundChild(const TBackgroundChild&) = delete;
  TBackgroundChild& operator=(const TBackgroundChild&) = delete;
  bool Start(const std::vector<std::string>& AArgs);
  void Stop();

private:
  pid_t FPid = -1;
};

// The resident set of a running process, from /proc; 0 when unknown.
long ResidentKb(pid_t APid);
// User and system time of a running process so far, from /proc.
double ProcessCpuSeconds(pid_t APid);
// The running program's path, to start it again in a child mode.
std::string SelfPath();
// The last non-empty line of a text file, for a failed child's message.
std::string LastLineOf(const std::string& AFileName);
// A new folder for a bench's files, named APrefix and a unique part, in the
// system's temporary folder; empty when none can be made.
std::filesystem::path NewTemporaryFolder(const std::string& APrefix);
