// Collects what reaches the logger during a test: the engine's own lines and
// the libraries' lines, in the order logged, from any thread.
#pragma once

#include "FFLog.h"
#include "LibAV.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TLogCapture {
public:
  explicit TLogCapture(TLogLevel ALevel = TLogLevel::llDebug)
      : FLogger(std::make_unique<TFFLogger>()) {
    FLogger->TriggerEventInMainThread = false;
    FLogger->SetLogLevel(ALevel);
    Flush();
    FLogger->SetOnLog([this](void*, int, TLogLevel ALogLevel, const std::string& AText) {
      std::lock_guard lock(FLock);
      FLines.push_back({ALogLevel, AText});
    });
  }
  ~TLogCapture() {
    Flush();
    FLogger->SetOnLog(nullptr);
    FLogger->SetLogLevel(TLogLevel::llInfo);
  }
  TLogCapture(const TLogCapture&) = delete;
  TLogCapture& operator=(const TLogCapture&) = delete;

  TFFLogger& Logger() { return *FLogger; }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(FLock);
    std::vector<std::string> texts;
    for (const auto& line : FLines)
      texts.push_back(line.Text);
    return texts;
  }
  // How many lines are exactly AText.
  int Count(const std::string& AText) const {
    const auto texts = Texts();
    return static_cast<int>(std::count(texts.begin(), texts.end(), AText));
  }
  // The index of the first line holding AText, or -1.
  int Find(const std::string& AText) const {
    const auto texts = Texts();
    for (size_t i = 0; i < texts.size(); ++i)
      if (texts[i].find(AText) != std::string::npos) return static_cast<int>(i);
    return -1;
  }
  TLogLevel LevelOf(const std::string& AText) const {
    std::lock_guard lock(FLock);
    for (const auto& line : FLines)
      if (line.Text == AText) return line.Level;
    return TLogLevel::llQuiet;
  }
  void Clear() {
    std::lock_guard lock(FLock);
    FLines.clear();
  }

private:
  // Ends a partial line of the libraries' output and its repeat count.
  static void Flush() {
    if (!AV.av_log) return;
    AV.av_log(nullptr, AV_LOG_QUIET, "%s", "\n");
    AV.av_log(nullptr, AV_LOG_QUIET, "%s", "");
  }

  struct TLine {
    TLogLevel Level;
    std::string Text;
  };
  std::unique_ptr<TFFLogger> FLogger;
  mutable std::mutex FLock;
  std::vector<TLine> FLines;
};
