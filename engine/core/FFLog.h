// The engine's single logger: the engine's own messages and the FFmpeg
// libraries' output (through the log callback) reach OnLog and, when asked,
// a log file.
//
// Handlers and threads: OnLog runs
// - with TriggerEventInMainThread on (the default): in the main thread; a
//   line logged in another thread is posted there, never waited for;
// - with it off: in a thread that logs, one call at a time. A line logged
//   while another thread's handler call runs is handed over by that thread
//   after the call returns, in the order the lines were logged.
// In both modes the handler runs with no lock of the logger held, so it may
// log again (that line is delivered after the handler returns, not inside
// it), stop the encoder's tasks and wait for them, or change the logger's
// properties. An exception it raises is dropped.
//
// Locks: the callback lock (the libraries' partial lines and repeat count)
// is always taken before the logger lock (settings, log file); the line
// queue has a lock of its own, taken last. None is held while OnLog runs.
#pragma once

#include "FFBaseComponent.h"

#include <atomic>
#include <cstdarg>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

enum class TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

// The level names of the log file.
const char* LogLevelName(TLogLevel ALevel);
// (ordinal - 1) x 8, the libraries' level of ALevel.
int LibraryLevelOf(TLogLevel ALevel);
// The libraries' level back to ours: divided by 8 toward zero, plus 1, kept in range.
TLogLevel LogLevelOf(int ALibraryLevel);

class TFFLogger;
using TLogEvent = std::function<void(void* ASender, int AThreadID, TLogLevel ALogLevel,
                                     const std::string& ALogMsg)>;

class TFFLogger : public TFFBaseComponent {
public:
  // The first logger created becomes the program's logger; a second one
  // while the first lives is refused with std::logic_error.
  TFFLogger();
  ~TFFLogger() override;
  TFFLogger(const TFFLogger&) = delete;
  TFFLogger& operator=(const TFFLogger&) = delete;

  void Log(void* ASender, TLogLevel ALevel, const std::string& AMsg);
  [[gnu::format(printf, 4, 5)]] void LogFmt(void* ASender, TLogLevel ALevel, const char* AFormat,
                                            ...);
  // One whole line of the libraries' output, already filtered by level:
  // written to the file and queued for OnLog. The caller hands the queue
  // over with Dispatch once it holds no lock.
  void QueueFromCallback(int AThreadID, int ALibraryLevel, const std::string& AMsg);
  void Dispatch();

  bool Active() const { return FActive; }
  void SetActive(bool AValue);
  TLogLevel LogLevel() const { return FLogLevel.load(); }
  void SetLogLevel(TLogLevel AValue);
  std::string LogFile() const;
  void SetLogFile(const std::string& AValue);
  bool LogToFile() const;
  void SetLogToFile(bool AValue);
  const TLogEvent& OnLog() const { return FOnLog; }
  void SetOnLog(TLogEvent AValue);
  // True: OnLog is posted to the main thread (from other threads); False: it
  // is called in the logging thread.
  std::atomic<bool> TriggerEventInMainThread{true};

  bool Muted() const { return FMuted.load(); }
  bool AutoCreated() const { return FAutoCreated; }

private:
  friend TFFLogger& FFLogger();
  void RecomputeMuted();
  void QueueLine(void* ASender, int AThreadID, TLogLevel ALevel, const std::string& AMsg);
  void DrainLines();
  void WriteToFile(int AThreadID, TLogLevel ALevel, const std::string& AMsg);
  void CloseFile();

  bool FAutoCreated = false;
  std::atomic<bool> FMuted{true};
  bool FActive = true;
  std::atomic<TLogLevel> FLogLevel{TLogLevel::llInfo};
  TLogEvent FOnLog;
};

// The program's logger; creates a hidden one when none exists.
TFFLogger& FFLogger();

// The handler of the libraries' log lines (LibAVLog.h).
void FFLogCallback(void* AClassObject, int ALevel, const char* AFormat, va_list AArgs) noexcept;
