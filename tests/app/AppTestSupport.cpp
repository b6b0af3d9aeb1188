// What the recorder's window suites share (see AppTestSupport.h).
#include "AppTestSupport.h"

#include "MainThread.h"

#include <QCoreApplication>
#include <QCursor>

#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

bool WaitFor(const std::function<bool()>& APredicate, std::chrono::milliseconds ALimit) {
  const auto until = std::chrono::steady_clock::now() + ALimit;
  while (!APredicate()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    TMainThread::Process();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void Serve(std::chrono::milliseconds ATime) {
  const auto until = std::chrono::steady_clock::now() + ATime;
  WaitFor([&] { return std::chrono::steady_clock::now() >= until; },
          ATime + std::chrono::seconds(1));
}

bool Xdotool(const std::vector<std::string>& AArgs) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>("xdotool"));
  for (const std::string& a : AArgs)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(20));
  Serve(std::chrono::milliseconds(50)); // what it caused reaches the window
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Click(QWidget* AWidget) {
  const QPoint at = AWidget->mapToGlobal(AWidget->rect().center());
  // "--sync" would wait for ever when the pointer is there already.
  return Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y())}) &&
         WaitFor([&] { return QCursor::pos() == at; }, std::chrono::seconds(5)) &&
         Xdotool({"click", "1"});
}

bool PressKey(const std::string& AKey) {
  return Xdotool({"key", AKey});
}
