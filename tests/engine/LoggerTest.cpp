// The logger: level mappings, line assembly and repeats in the libraries'
// callback, delivery to OnLog, and the log file's line format.
#include "FFLog.h"
#include "LibAV.h"
#include "LibAVForTests.h"
#include "MainThread.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace {

TEST(LogLevels, MapBothWays) {
  const std::pair<TLogLevel, int> forward[] = {
      {TLogLevel::llQuiet, -8},   {TLogLevel::llPanic, 0},    {TLogLevel::llFatal, 8},
      {TLogLevel::llError, 16},   {TLogLevel::llWarning, 24}, {TLogLevel::llInfo, 32},
      {TLogLevel::llVerbose, 40}, {TLogLevel::llDebug, 48}};
  for (auto [level, library] : forward) {
    EXPECT_EQ(LibraryLevelOf(level), library);
    EXPECT_EQ(LogLevelOf(library), level);
  }
  const std::pair<int, TLogLevel> back[] = {{20, TLogLevel::llError},   {-1, TLogLevel::llPanic},
                                            {-7, TLogLevel::llPanic},   {56, TLogLevel::llDebug},
                                            {-16, TLogLevel::llQuiet},  {-9, TLogLevel::llQuiet},
                                            {47, TLogLevel::llVerbose}, {1000, TLogLevel::llDebug}};
  for (auto [library, level] : back)
    EXPECT_EQ(LogLevelOf(library), level) << library;
  EXPECT_STREQ(LogLevelName(TLogLevel::llWarning), "Warning");
  EXPECT_STREQ(LogLevelName(TLogLevel::llQuiet), "Quiet");
}

struct TLine {
  void* Sender;
  int ThreadID;
  TLogLevel Level;
  std::string Text;
};

class Logger : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    Log = std::make_unique<TFFLogger>();
    Log->SetLogLevel(TLogLevel::llDebug);
    Log->SetOnLog([this](void* sender, int thread, TLogLevel level, const std::string& text) {
      Lines.push_back({sender, thread, level, text});
    });
    Flush();
    Lines.clear();
  }
  void TearDown() override {
    Flush();
    Log->SetLogLevel(TLogLevel::llInfo);
    Log.reset();
  }
  // Ends any partial line and repeat count the callback holds for this thread.
  void Flush() {
    AV.av_log(nullptr, AV_LOG_QUIET, "%s", "\n");
    AV.av_log(nullptr, AV_LOG_QUIET, "%s", "");
    TMainThread::Process();
    Lines.clear();
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& l : Lines)
      texts.push_back(l.Text);
    return texts;
  }
  std::unique_ptr<TFFLogger> Log;
  std::vector<TLine> Lines;
};

TEST_F(Logger, LibraryCallsAreAssembledIntoLines) {
  AV.av_log(nullptr, AV_LOG_INFO, "abc");
  EXPECT_TRUE(Lines.empty());
  AV.av_log(nullptr, AV_LOG_INFO, "de%c\n", 'f');
  AV.av_log(nullptr, AV_LOG_INFO, "x\ny");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"abcdef", "x"}));
  AV.av_log(nullptr, AV_LOG_INFO, "z\n");
  EXPECT_EQ(Lines.back().Text, "yz");
  EXPECT_EQ(Lines.back().Sender, Log.get());
  EXPECT_EQ(Lines.back().Level, TLogLevel::llInfo);
}

TEST_F(Logger, RepeatsAreCountedBeforeTheNextDifferentLine) {
  for (int i = 0; i < 3; ++i)
    AV.av_log(nullptr, AV_LOG_WARNING, "again\n");
  AV.av_log(nullptr, AV_LOG_WARNING, "other\n");
  // One repeat alone is dropped without a notice.
  AV.av_log(nullptr, AV_LOG_WARNING, "other\n");
  AV.av_log(nullptr, AV_LOG_WARNING, "last\n");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"again", "    Last message repeated 2 times",
                                               "other", "last"}));
}

TEST_F(Logger, LinesOfDifferentThreadsNeverMix) {
  AV.av_log(nullptr, AV_LOG_INFO, "main-");
  std::thread other([] { AV.av_log(nullptr, AV_LOG_INFO, "worker line\n"); });
  other.join();
  AV.av_log(nullptr, AV_LOG_INFO, "end\n");
  TMainThread::Process();
  // Whole lines, in the order they were completed: the worker's line was
  // queued first, and the main thread hands the queue over when it logs.
  EXPECT_EQ(Texts(), (std::vector<std::string>{"worker line", "main-end"}));
  EXPECT_NE(Lines[0].ThreadID, Lines[1].ThreadID);
}

TEST_F(Logger, AContextGivesItsNameAndAddressAndAMessageOfTheLibraryArrives) {
  AVFormatContext* context = AV.avformat_alloc_context();
  AV.av_log(context, AV_LOG_ERROR, "opened\n");
  AV.avformat_free_context(context);
  // A message the library itself logs.
  EXPECT_LT(AV.av_image_check_size(0, 0, 0, nullptr), 0);
  ASSERT_EQ(Lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(Lines[0].Text, std::regex(R"(\[NULL @ 0x[0-9a-f]+\]opened)")))
      << Lines[0].Text;
  EXPECT_EQ(Lines[0].Level, TLogLevel::llError);
  EXPECT_NE(Lines[1].Text.find("0x0"), std::string::npos) << Lines[1].Text;

  // A context whose class is null is logged without a prefix.
  struct {
    const AVClass* Class = nullptr;
  } classless;
  AV.av_log(&classless, AV_LOG_ERROR, "bare\n");
  EXPECT_EQ(Lines.back().Text, "bare");
}

TEST_F(Logger, LongLinesAreNotCut) {
  const std::string longText(5000, 'q');
  AV.av_log(nullptr, AV_LOG_INFO, "%s\n", longText.c_str());
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_EQ(Lines[0].Text, longText);
}

TEST_F(Logger, LevelsFilterTheEnginesAndTheLibrariesMessages) {
  Log->SetLogLevel(TLogLevel::llWarning);
  EXPECT_EQ(AV.av_log_get_level(), 24);
  AV.av_log(nullptr, AV_LOG_INFO, "dropped\n");
  AV.av_log(nullptr, AV_LOG_WARNING, "kept\n");
  Log->Log(nullptr, TLogLevel::llInfo, "engine dropped");
  Log->Log(nullptr, TLogLevel::llQuiet, "engine quiet");
  Log->LogFmt(nullptr, TLogLevel::llError, "engine %d", 7);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"kept", "engine quiet", "engine 7"}));
  EXPECT_EQ(Lines[1].Level, TLogLevel::llQuiet);
}

TEST_F(Logger, OnLogRunsInTheMainThreadOrInTheLoggingThread) {
  std::thread::id handlerThread;
  Log->SetOnLog([&](void*, int, TLogLevel, const std::string&) {
    handlerThread = std::this_thread::get_id();
  });
  std::thread posted([&] { Log->Log(nullptr, TLogLevel::llInfo, "posted"); });
  posted.join(); // returns without the main thread having run anything
  EXPECT_EQ(handlerThread, std::thread::id{});
  TMainThread::Process();
  EXPECT_EQ(handlerThread, std::this_thread::get_id());

  Log->TriggerEventInMainThread = false;
  std::thread::id worker;
  std::thread direct([&] {
    worker = std::this_thread::get_id();
    Log->Log(nullptr, TLogLevel::llInfo, "direct");
  });
  direct.join();
  EXPECT_EQ(handlerThread, worker);
}

TEST_F(Logger, IsMutedWithoutAHandlerOrFileAndOnlyOneInstanceLives) {
  EXPECT_FALSE(Log->Muted());
  Log->SetOnLog(nullptr);
  EXPECT_TRUE(Log->Muted());
  EXPECT_TRUE(Log->Active());
  EXPECT_THROW(TFFLogger second, std::logic_error);
  EXPECT_EQ(&FFLogger(), Log.get());
}

TEST_F(Logger, WritesFileLinesInItsFormatAndSurvivesAnUnwritableFile) {
  const std::string path = testing::TempDir() + "/vexmora_log_test.log";
  std::remove(path.c_str());
  Log->SetOnLog(nullptr);
  Log->SetLogFile(path);
  Log->SetLogToFile(true);
  EXPECT_FALSE(Log->Muted());
  Log->Log(nullptr, TLogLevel::llWarning, "to the file");
  AV.av_log(nullptr, AV_LOG_ERROR, "from the library\n");
  Log->SetLogToFile(false); // closes the file

  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  const std::regex line(R"(\d\d:\d\d:\d\d \d{3} \[[0-9a-f]{8}\] (\w+): ([^\r\n]*)\r\n)");
  const std::string text = content.str();
  std::vector<std::string> seen;
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it)
    seen.push_back((*it)[1].str() + ": " + (*it)[2].str());
  EXPECT_EQ(seen, (std::vector<std::string>{"Warning: to the file", "Error: from the library"}))
      << text;
  std::remove(path.c_str());

  Log->SetLogFile("/nonexistent-folder/vexmora.log");
  Log->SetLogToFile(true);
  EXPECT_NO_THROW(Log->Log(nullptr, TLogLevel::llError, "lost"));
  EXPECT_NO_THROW(AV.av_log(nullptr, AV_LOG_ERROR, "lost too\n"));
  Log->SetLogToFile(false);
}

} // namespace
