// Child processes measured by wait4 (see ChildProcess.h).
#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double Seconds(const timeval& ATime) {
  return static_cast<double>(ATime.tv_sec) + static_cast<double>(ATime.tv_usec) / 1e6;
}

std::vector<char*> ArgvOf(const std::vector<std::string>& AArgs) {
  std::vector<char*> argv;
  for (const std::string& arg : AArgs)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Hands every whole line of AReadEnd to AOnLine until the writer closes it;
// past ADeadline (if any) the child gets SIGINT, once.
void ReadLines(int AReadEnd, pid_t APid, const TLineHandler& AOnLine,
               std::chrono::steady_clock::time_point ADeadline, bool& AInterrupted) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    if (ADeadline != std::chrono::steady_clock::time_point::max() && !AInterrupted) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          ADeadline - std::chrono::steady_clock::now());
      pollfd readable{AReadEnd, POLLIN, 0};
      if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) == 0) {
        kill(APid, SIGINT);
        AInterrupted = true;
        continue;
      }
    }
    const ssize_t got = read(AReadEnd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    pending.append(buffer, static_cast<size_t>(got));
    for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      if (AOnLine) AOnLine(APid, pending.substr(0, end));
      pending.erase(0, end + 1);
    }
  }
  if (!pending.empty() && AOnLine) AOnLine(APid, pending);
}

} // namespace

TChildResult RunChild(const std::vector<std::string>& AArgs, const std::string& AErrorFile,
                      const TLineHandler& AOnLine, double ALimitSeconds) {
  TChildResult result;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2,
                                   AErrorFile.empty() ? "/dev/null" : AErrorFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv = ArgvOf(AArgs);
  const auto startedAt = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return result;
  }
  result.Started = true;
  const auto deadline =
      ALimitSeconds > 0
          ? startedAt + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(ALimitSeconds))
          : std::chrono::steady_clock::time_point::max();
  ReadLines(pipeFds[0], pid, AOnLine, deadline, result.Interrupted);
  close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.WallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();
  result.UserSeconds = Seconds(usage.ru_utime);
  result.SystemSeconds = Seconds(usage.ru_stime);
  result.PeakRssKb = usage.ru_maxrss;
  if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
  return result;
}

bool TBackgroundChild::Start(const std::vector<std::string>& AArgs) {
  Stop();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv = ArgvOf(AArgs);
  const int spawned = posix_spawnp(&FPid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) FPid = -1;
  return FPid > 0;
}

void TBackgroundChild::Stop() {
  if (FPid <= 0) return;
  kill(FPid, SIGTERM);
  int status = 0;
  while (waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
  }
  FPid = -1;
}

long ResidentKb(pid_t APid) {
  std::ifstream status("/proc/" + std::to_string(APid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

double ProcessCpuSeconds(pid_t APid) {
  std::ifstream stat("/proc/" + std::to_string(APid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  // Past the command name in parentheses, utime and stime are fields 14 and 15.
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string SelfPath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::string LastLineOf(const std::string& AFileName) {
  std::ifstream file(AFileName);
  std::string line, last;
  while (std::getline(file, line)) {
    // ffmpeg ends its status lines with carriage returns.
    if (const size_t cr = line.find_last_of('\r'); cr != std::string::npos) line.erase(0, cr + 1);
    if (!line.empty()) last = line;
  }
  return last;
}

std::filesystem::path NewTemporaryFolder(const std::string& APrefix) {
  std::string name = (std::filesystem::temp_directory_path() / (APrefix + "-XXXXXX")).string();
  if (!mkdtemp(name.data())) return {};
  return name;
}
