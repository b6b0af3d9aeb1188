// The private X server (see XvfbServer.h).
#include "XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 10000;
constexpr int kStopRepeatMs = 500;
constexpr int kStopPollMs = 5;
}

bool TXvfbServer::Start(int AWidth, int AHeight, int ADepth, std::string& AError) {
  Stop();
  // Xvfb picks a free display itself and writes its number to this pipe once
  // it accepts clients.
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    AError = "pipe failed";
    return false;
  }
  const int readEnd = pipeFds[0], writeEnd = pipeFds[1];
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The child's copy without close-on-exec, at a number of its own.
  constexpr int kChildFd = 3;
  posix_spawn_file_actions_adddup2(&actions, writeEnd, kChildFd);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const std::string screen =
      std::to_string(AWidth) + "x" + std::to_string(AHeight) + "x" + std::to_string(ADepth);
  const std::string fd = std::to_string(kChildFd);
  const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-noreset",     "-nolisten",
                        "tcp",  "-screen",    "0",        screen.c_str(), nullptr};
  pid_t pid = -1;
  const int spawned =
      posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(writeEnd);
  if (spawned != 0) {
    close(readEnd);
    AError = "Xvfb could not be started";
    return false;
  }
  FPid = pid;

  std::string digits;
  pollfd wait{readEnd, POLLIN, 0};
  for (;;) {
    if (poll(&wait, 1, kStartTimeoutMs) <= 0) break;
    char c = 0;
    if (read(readEnd, &c, 1) != 1 || c == '\n') break;
    digits += c;
  }
  close(readEnd);
  if (digits.empty()) {
    Stop();
    AError = "Xvfb reported no display";
    return false;
  }
  FDisplay = std::atoi(digits.c_str());
  setenv("DISPLAY", (":" + digits).c_str(), 1);
  return true;
}

void TXvfbServer::Stop() {
  if (FPid <= 0) return;
  kill(FPid, SIGCONT);
  // A terminate signal that comes while the server is still setting itself
  // up can be forgotten by it: ask again now and then, and kill a server that
  // has not ended after a while, so that no program hangs on its way out.
  int status = 0;
  bool ended = false;
  for (int tick = 0; tick < kStopTimeoutMs / kStopPollMs && !ended; ++tick) {
    if (tick % (kStopRepeatMs / kStopPollMs) == 0) kill(FPid, SIGTERM);
    const pid_t got = waitpid(FPid, &status, WNOHANG);
    ended = got == FPid || (got < 0 && errno != EINTR);
    if (!ended) usleep(kStopPollMs * 1000);
  }
  if (!ended) {
    kill(FPid, SIGKILL);
    while (waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  FPid = -1;
  FDisplay = -1;
}

void TXvfbServer::Suspend() const {
  if (FPid > 0) kill(FPid, SIGSTOP);
}

void TXvfbServer::Resume() const {
  if (FPid > 0) kill(FPid, SIGCONT);
}

TXvfbServer* ProgramXvfb(std::string& AError) {
  static std::unique_ptr<TXvfbServer> server;
  static std::string error;
  if (!server && error.empty()) {
    auto started = std::make_unique<TXvfbServer>();
    if (started->Start(1920, 1080, 24, error)) server = std::move(started);
  }
  AError = error;
  return server.get();
}
