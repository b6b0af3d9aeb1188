// The engine's single logger: the engine's own messages and the FFmpeg
// libraries' output (through the log callback) reach OnLog and, when asked,
// a log file.
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
  // One whole line of the libraries' output, already filtered by level.
  void LogFromCallback(int AThreadID, int ALibraryLevel, const std::string& AMsg);

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
  void Deliver(void* ASender, int AThreadID, TLogLevel ALevel, const std::string& AMsg);
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
