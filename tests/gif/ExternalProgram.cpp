// Outside programs and temporary folders for the interop tests.
#include "ExternalProgram.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TTempFolder::TTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vexmora-gif-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  FPath = pattern;
}

TTempFolder::~TTempFolder() {
  std::error_code error;
  std::filesystem::remove_all(FPath, error);
}

std::string FindProgram(const std::string& AName) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string candidate = folders.substr(start, end - start) + "/" + AName;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

int RunProgram(const std::vector<std::string>& AArguments) {
  std::vector<char*> argv;
  for (const std::string& argument : AArguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

int RunProgramOutput(const std::vector<std::string>& AArguments, std::string& AOutput) {
  AOutput.clear();
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;
  std::vector<char*> argv;
  for (const std::string& argument : AArguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned != 0) {
    close(pipeEnds[0]);
    return -1;
  }
  char buffer[4096];
  for (;;) {
    ssize_t n = read(pipeEnds[0], buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    AOutput.append(buffer, static_cast<size_t>(n));
  }
  close(pipeEnds[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::vector<uint8_t> ReadFileBytes(const std::string& AFileName) {
  std::ifstream file(AFileName, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

void WriteFileBytes(const std::string& AFileName, const std::vector<uint8_t>& AData) {
  std::ofstream file(AFileName, std::ios::binary);
  file.write(reinterpret_cast<const char*>(AData.data()),
             static_cast<std::streamsize>(AData.size()));
}
