// The logger and the libraries' log callback (see FFLog.h).
#include "FFLog.h"
#include "FFText.h"

#include "LibAV.h"
#include "LibAVLog.h"
#include "MainThread.h"
#include "Thread.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <sys/time.h>
#include <unordered_map>
#include <vector>

namespace {

const char* const kLevelNames[] = {"Quiet",   "Panic", "Fatal",   "Error",
                                   "Warning", "Info",  "Verbose", "Debug"};

struct TLogLine {
  void* Sender;
  int ThreadID;
  TLogLevel Level;
  std::string Msg;
};

// What the logger unit holds for the whole program.
struct TLoggerUnit {
  // The libraries' lines reach the logger from the first use of any part of it.
  TLoggerUnit() { SetLibAVLogHandler(&FFLogCallback); }
  ~TLoggerUnit() { SetLibAVLogHandler(nullptr); }
  std::recursive_mutex LoggerLock;   // the logger's settings, its file and its deliveries
  std::recursive_mutex CallbackLock; // always taken before LoggerLock
  std::atomic<TFFLogger*> Instance{nullptr};
  std::string LogFile;
  bool LogToFile = false;
  std::ofstream File;
  bool FileFailed = false;
  // The callback's state: the last text, its repeats, each thread's partial line.
  std::string Previous;
  int RepeatCount = 0;
  std::unordered_map<int, std::string> Pending;
  // Lines on their way to OnLog, and whether a thread is handing them over.
  std::mutex LineLock;
  std::deque<TLogLine> Lines;
  bool Delivering = false;
  // Last, so that it dies first, while the file and locks above still live.
  std::unique_ptr<TFFLogger> Hidden;
};

TLoggerUnit& Unit() {
  static TLoggerUnit unit;
  return unit;
}


std::string TimeOfDay() {
  timeval now{};
  gettimeofday(&now, nullptr);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d %03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(now.tv_usec / 1000));
  return text;
}

} // namespace

const char* LogLevelName(TLogLevel ALevel) {
  return kLevelNames[static_cast<int>(ALevel)];
}

int LibraryLevelOf(TLogLevel ALevel) {
  return (static_cast<int>(ALevel) - 1) * 8;
}

TLogLevel LogLevelOf(int ALibraryLevel) {
  int ordinal = ALibraryLevel / 8 + 1;
  if (ordinal < 0) ordinal = 0;
  if (ordinal > 7) ordinal = 7;
  return static_cast<TLogLevel>(ordinal);
}

TFFLogger::TFFLogger() {
  auto& u = Unit();
  std::scoped_lock lock(u.CallbackLock, u.LoggerLock);
  TFFLogger* current = u.Instance.load();
  if (current && current == u.Hidden.get()) {
    u.Instance = nullptr;
    u.Hidden.reset();
  } else if (current) {
    throw std::logic_error("Allow creating only one instance of TFFLogger.");
  }
  FLogLevel = LogLevelOf(LibAVLogLevel());
  u.Instance = this;
}

TFFLogger::~TFFLogger() {
  auto& u = Unit();
  std::scoped_lock lock(u.CallbackLock, u.LoggerLock);
  if (u.Instance.load() == this) u.Instance = nullptr;
  TMainThread::Cancel(this);
  CloseFile();
}

TFFLogger& FFLogger() {
  auto& u = Unit();
  if (TFFLogger* logger = u.Instance.load()) return *logger;
  std::scoped_lock lock(u.CallbackLock, u.LoggerLock);
  if (TFFLogger* logger = u.Instance.load()) return *logger;
  u.Hidden = std::make_unique<TFFLogger>();
  u.Hidden->FAutoCreated = true;
  return *u.Hidden;
}

void TFFLogger::RecomputeMuted() {
  auto& u = Unit();
  FMuted = !(FActive && (FOnLog || (u.LogToFile && !u.LogFile.empty())));
}

void TFFLogger::SetActive(bool AValue) {
  std::lock_guard lock(Unit().LoggerLock);
  FActive = AValue;
  RecomputeMuted();
}

void TFFLogger::SetLogLevel(TLogLevel AValue) {
  if (FLogLevel.exchange(AValue) == AValue) return;
  SetLibAVLogLevel(LibraryLevelOf(AValue));
}

std::string TFFLogger::LogFile() const {
  std::lock_guard lock(Unit().LoggerLock);
  return Unit().LogFile;
}

void TFFLogger::SetLogFile(const std::string& AValue) {
  auto& u = Unit();
  std::lock_guard lock(u.LoggerLock);
  if (u.LogFile == AValue) return;
  u.LogFile = AValue;
  CloseFile();
  RecomputeMuted();
}

bool TFFLogger::LogToFile() const {
  std::lock_guard lock(Unit().LoggerLock);
  return Unit().LogToFile;
}

void TFFLogger::SetLogToFile(bool AValue) {
  auto& u = Unit();
  std::lock_guard lock(u.LoggerLock);
  if (u.LogToFile == AValue) return;
  u.LogToFile = AValue;
  CloseFile();
  RecomputeMuted();
}

void TFFLogger::SetOnLog(TLogEvent AValue) {
  std::lock_guard lock(Unit().LoggerLock);
  FOnLog = std::move(AValue);
  RecomputeMuted();
}

void TFFLogger::Log(void* ASender, TLogLevel ALevel, const std::string& AMsg) {
  if (FMuted || ALevel > FLogLevel.load()) return;
  QueueLine(ASender, CurrentThreadId(), ALevel, AMsg);
  Dispatch();
}

void TFFLogger::LogFmt(void* ASender, TLogLevel ALevel, const char* AFormat, ...) {
  if (FMuted || ALevel > FLogLevel.load()) return;
  va_list args;
  va_start(args, AFormat);
  const std::string text = VFormatText(AFormat, args);
  va_end(args);
  QueueLine(ASender, CurrentThreadId(), ALevel, text);
  Dispatch();
}

void TFFLogger::QueueLine(void* ASender, int AThreadID, TLogLevel ALevel, const std::string& AMsg) {
  auto& u = Unit();
  std::lock_guard lock(u.LoggerLock);
  if (u.LogToFile && !u.LogFile.empty()) WriteToFile(AThreadID, ALevel, AMsg);
  if (!FOnLog) return;
  std::lock_guard lineLock(u.LineLock);
  u.Lines.push_back({ASender, AThreadID, ALevel, AMsg});
}

void TFFLogger::Dispatch() {
  if (TriggerEventInMainThread && !TMainThread::IsMainThread()) {
    // Posted, never waited for: a thread that logs must not stall on the
    // main thread, which may itself be waiting for that thread.
    auto& u = Unit();
    {
      std::lock_guard lineLock(u.LineLock);
      if (u.Lines.empty()) return;
    }
    TMainThread::Post([this] { DrainLines(); }, this);
    return;
  }
  DrainLines();
}

void TFFLogger::DrainLines() {
  auto& u = Unit();
  {
    std::lock_guard lineLock(u.LineLock);
    if (u.Delivering) return; // that thread hands ours over next
    u.Delivering = true;
  }
  for (;;) {
    TLogLine line;
    {
      // Emptiness and the end of delivering are one step, so a line queued
      // meanwhile is never left behind.
      std::lock_guard lineLock(u.LineLock);
      if (u.Lines.empty()) {
        u.Delivering = false;
        return;
      }
      line = std::move(u.Lines.front());
      u.Lines.pop_front();
    }
    TLogEvent handler;
    {
      std::lock_guard lock(u.LoggerLock);
      handler = FOnLog;
    }
    if (!handler) continue;
    try {
      handler(line.Sender, line.ThreadID, line.Level, line.Msg);
    } catch (...) {
      // A failing handler must not fail what was being logged, nor keep the
      // later lines from it.
    }
  }
}

void TFFLogger::QueueFromCallback(int AThreadID, int ALibraryLevel, const std::string& AMsg) {
  if (FMuted) return;
  QueueLine(this, AThreadID, LogLevelOf(ALibraryLevel), AMsg);
}

void TFFLogger::WriteToFile(int AThreadID, TLogLevel ALevel, const std::string& AMsg) {
  auto& u = Unit();
  if (u.FileFailed) return;
  if (!u.File.is_open()) {
    u.File.open(u.LogFile, std::ios::binary | std::ios::app);
    if (!u.File.is_open()) {
      // Retried only after LogFile or LogToFile changes.
      u.FileFailed = true;
      return;
    }
  }
  char id[16];
  std::snprintf(id, sizeof id, "%.8x", static_cast<unsigned>(AThreadID));
  u.File << TimeOfDay() << " [" << id << "] " << LogLevelName(ALevel) << ": " << AMsg << "\r\n";
  u.File.flush();
  if (!u.File) {
    u.File.close();
    u.FileFailed = true;
  }
}

void TFFLogger::CloseFile() {
  auto& u = Unit();
  if (u.File.is_open()) u.File.close();
  u.File.clear();
  u.FileFailed = false;
}

namespace {

// "[name @ address]" of a logging context, with its parent's in front.
std::string ContextPrefix(void* AClassObject) {
  std::string prefix;
  const AVClass* avc = *static_cast<const AVClass* const*>(AClassObject);
  if (!avc) return prefix;
  auto nameOf = [](const AVClass* cls, void* object) {
    const char* name = cls->item_name ? cls->item_name(object) : cls->class_name;
    return name ? name : "";
  };
  char text[512];
  if (avc->parent_log_context_offset) {
    void* parent = *reinterpret_cast<void**>(static_cast<char*>(AClassObject) +
                                             avc->parent_log_context_offset);
    if (parent && *static_cast<const AVClass* const*>(parent)) {
      const AVClass* parentClass = *static_cast<const AVClass* const*>(parent);
      std::snprintf(text, sizeof text, "[%s @ %p] ", nameOf(parentClass, parent), parent);
      prefix += text;
    }
  }
  std::snprintf(text, sizeof text, "[%s @ %p]", nameOf(avc, AClassObject), AClassObject);
  prefix += text;
  return prefix;
}

std::string FormatArgs(const char* AFormat, va_list AArgs) {
  char small[2048];
  va_list attempt;
  va_copy(attempt, AArgs);
  const int length = std::vsnprintf(small, sizeof small, AFormat, attempt);
  va_end(attempt);
  if (length < 0) return {};
  if (static_cast<size_t>(length) < sizeof small) return std::string(small, length);
  std::vector<char> large(static_cast<size_t>(length) + 1);
  va_copy(attempt, AArgs);
  std::vsnprintf(large.data(), large.size(), AFormat, attempt);
  va_end(attempt);
  return std::string(large.data(), length);
}

void HandleCallback(void* AClassObject, int ALevel, const char* AFormat, va_list AArgs) {
  auto& u = Unit();
  std::unique_lock lock(u.CallbackLock);
  TFFLogger& logger = FFLogger();
  if (logger.Muted()) return;
  const int threadId = CurrentThreadId();
  std::string& pending = u.Pending[threadId];

  std::string text;
  if (AClassObject && pending.empty()) text = ContextPrefix(AClassObject);
  bool hasArgs = AFormat && std::strcmp(AFormat, "%s") != 0;
  if (AFormat && !hasArgs) {
    va_list probe;
    va_copy(probe, AArgs);
    hasArgs = va_arg(probe, const char*) != nullptr;
    va_end(probe);
  }
  if (hasArgs) text += FormatArgs(AFormat, AArgs);

  if (!text.empty() && text.back() == '\n' && text == u.Previous) {
    ++u.RepeatCount;
    return;
  }
  if (u.RepeatCount > 1)
    logger.QueueFromCallback(threadId, ALevel,
                           "    Last message repeated " + std::to_string(u.RepeatCount) + " times");
  u.RepeatCount = 0;
  u.Previous = text;
  pending += text;
  for (auto at = pending.find('\n'); at != std::string::npos; at = pending.find('\n')) {
    std::string line = pending.substr(0, at);
    pending.erase(0, at + 1);
    logger.QueueFromCallback(threadId, ALevel, line);
  }
  if (pending.empty()) u.Pending.erase(threadId);
  lock.unlock();
  // The lines were queued in order under the lock; the handler runs without it.
  logger.Dispatch();
}

} // namespace

void FFLogCallback(void* AClassObject, int ALevel, const char* AFormat, va_list AArgs) noexcept {
  try {
    HandleCallback(AClassObject, ALevel, AFormat, AArgs);
  } catch (...) {
    // Nothing may unwind into the libraries' C code.
  }
}
