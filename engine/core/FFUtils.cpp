// Small engine helpers (see FFUtils.h).
#include "FFUtils.h"

#include "MainThread.h"

#include <sys/stat.h>

void CallInMainThread(const std::function<void()>& AMethod) {
  TMainThread::Call(AMethod);
}

void PumpMessages() {
  TMainThread::PumpMessages();
}

int64_t GetFileSizeByName(const std::string& AFileName) {
  struct stat info {};
  if (AFileName.empty() || stat(AFileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<int64_t>(info.st_size);
}

std::string Trim(const std::string& AText) {
  size_t first = 0, last = AText.size();
  while (first < last && static_cast<unsigned char>(AText[first]) <= ' ')
    ++first;
  while (last > first && static_cast<unsigned char>(AText[last - 1]) <= ' ')
    --last;
  return AText.substr(first, last - first);
}

void SplitString(std::string& AText, const std::string& ADelimiter, bool ARemove,
                 std::string& AHead) {
  const auto at = ADelimiter.empty() ? std::string::npos : AText.find(ADelimiter);
  if (at == std::string::npos) {
    AHead = AText;
    if (ARemove) AText.clear();
    return;
  }
  AHead = AText.substr(0, at);
  if (ARemove) AText.erase(0, at + ADelimiter.size());
}

void SplitCommandLine(const char* AText, char** AArgv, char* ABuffer, int& AByteCount,
                      int& AArgCount) {
  AByteCount = 0;
  AArgCount = 0;
  const char* s = AText ? AText : "";
  char* out = ABuffer;
  auto put = [&](char c) {
    if (out) *out++ = c;
    ++AByteCount;
  };
  for (;;) {
    while (*s == ' ' || *s == '\t')
      ++s;
    if (*s == '\0') break;
    if (AArgv) AArgv[AArgCount] = out;
    ++AArgCount;
    bool inQuote = false;
    for (;;) {
      bool copyChar = true;
      unsigned slashes = 0;
      while (*s == '\\') {
        ++s;
        ++slashes;
      }
      if (*s == '"') {
        if (slashes % 2 == 0) {
          if (inQuote && s[1] == '"')
            ++s; // a doubled quote inside quotes is a literal quote
          else
            copyChar = false;
          inQuote = !inQuote;
        }
        slashes /= 2;
      }
      while (slashes--)
        put('\\');
      if (*s == '\0' || (!inQuote && (*s == ' ' || *s == '\t'))) break;
      if (copyChar) put(*s);
      ++s;
    }
    put('\0');
  }
  // The closing null entry tells the option parser that a value is missing.
  if (AArgv) AArgv[AArgCount] = nullptr;
  ++AArgCount;
}
