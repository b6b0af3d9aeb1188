// The progress report on whole runs: the OnProgress events of a real-time
// run, the status lines the log gets with and without a handler, the
// "-progress" target's lines, an output that received nothing, and a slow
// handler that must not hold up the loop.
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "LoggedTest.h"
#include "MediaFiles.h"
#include "RecorderStrings.h"
#include "SanitizedBuild.h"
#include "TaskRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 15, kSeconds = 2, kFrames = kRate * kSeconds;

struct TEvent {
  TProgressInfo Info;
  std::chrono::steady_clock::duration At; // since the start
};

class ProgressReport : public TLoggedTestOf<testing::Test, TLogLevel::llInfo> {
protected:
  // A real-time run (-re) of the capture-shaped source into mkv.
  void Run(TTaskRun& ARun, const std::string& AFile, const std::string& AExtraOptions = "",
           const TOutputOptions* ARecord = nullptr) {
    ASSERT_TRUE(ARun.Add(LavfiCaptureLike(320, 240, "bgr0", kRate, true, kSeconds),
                         "-f lavfi -re -r 15", AFile,
                         RecorderContainers()[4].Options + AExtraOptions, ARecord))
        << ARun.Error;
    Started = std::chrono::steady_clock::now();
    ARun.Start();
    ASSERT_TRUE(ARun.WaitForEnd());
    ASSERT_EQ(ARun.Notices.size(), 2u);
    EXPECT_FALSE(ARun.Notices[0].Exception) << ARun.Notices[0].ExceptionMsg;
  }
  void Record(TTaskRun& ARun) {
    ARun.Encoder.OnProgress = [this](TCustomEncoder*, PProgressInfo AInfo) {
      Events.push_back({*AInfo, std::chrono::steady_clock::now() - Started});
    };
  }
  static bool IsStatusLine(const std::string& ALine) {
    return ALine.find("size=") != std::string::npos && ALine.find(" time=") != std::string::npos &&
           ALine.find(" bitrate=") != std::string::npos;
  }
  int StatusLines() const {
    int count = 0;
    for (const std::string& line : Log.Texts())
      if (IsStatusLine(line)) ++count;
    return count;
  }
  TTempFolder Folder;
  std::chrono::steady_clock::time_point Started;
  std::vector<TEvent> Events;
};

TEST_F(ProgressReport, EventsOfARealTimeRun) {
  TTaskRun run;
  Record(run);
  const std::string file = Folder.File("progress.mkv");
  Run(run, file);
  // A sanitized build on a busy machine can fall so far behind the source's
  // clock that the run catches up in less than two report intervals.
  ASSERT_GE(Events.size(), kSanitizedBuild ? 2u : 3u);
  EXPECT_GE(Events[0].At, 400ms) << "the first report only starts the clock";
  EXPECT_EQ(Events[0].Info.FPS, 0) << "no rate in the first second";
  for (size_t i = 0; i + 1 < Events.size(); ++i) {
    SCOPED_TRACE(i);
    const TProgressInfo& info = Events[i].Info;
    EXPECT_EQ(info.TaskIndex, 0);
    EXPECT_EQ(info.JoinIndex, 0);
    if (i > 0) {
      EXPECT_GE(info.FrameNumber, Events[i - 1].Info.FrameNumber);
      EXPECT_GE(info.CurrentTime, Events[i - 1].Info.CurrentTime);
      EXPECT_GE(Events[i].At - Events[i - 1].At, 300ms);
    }
  }
  if (Events.size() >= 3) {
    EXPECT_GT(Events[Events.size() - 2].Info.FrameNumber, Events[0].Info.FrameNumber);
  }
  const TProgressInfo& last = Events.back().Info;
  EXPECT_EQ(last.JoinIndex, -1);
  EXPECT_EQ(last.FrameNumber, kFrames);
  EXPECT_GT(last.FPS, 0);
  EXPECT_GT(last.BitRate, 0);
  const auto size = static_cast<double>(std::filesystem::file_size(file));
  EXPECT_NEAR(static_cast<double>(last.TotalSize), size, size * 0.03);
  EXPECT_NEAR(static_cast<double>(last.CurrentTime), kSeconds * 1e6, 0.2e6);
  // The handler stands in for the status line: only the last one is logged.
  EXPECT_EQ(StatusLines(), 1);
  const int summary = Log.Find("muxing overhead");
  ASSERT_GE(summary, 1);
  EXPECT_TRUE(IsStatusLine(Log.Texts()[static_cast<size_t>(summary) - 1]));
}

TEST_F(ProgressReport, WithoutAHandlerTheLogGetsTheStatusLines) {
  TTaskRun run;
  Run(run, Folder.File("stats.mkv"));
  EXPECT_GE(StatusLines(), 2) << "one while running, and the last";
  TTaskRun quiet;
  Log.Clear();
  Run(quiet, Folder.File("nostats.mkv"), " -nostats");
  EXPECT_EQ(StatusLines(), 1) << "the last report is always logged";
}

TEST_F(ProgressReport, DuplicatesReachTheLogWhileAHandlerTakesTheReports) {
  TTaskRun run;
  Record(run);
  // Twice the source's rate: every frame is duplicated.
  Run(run, Folder.File("dup.mkv"), " -r 30");
  int dupLines = 0;
  for (const std::string& line : Log.Texts())
    if (IsStatusLine(line) && line.find(" dup=") != std::string::npos) ++dupLines;
  EXPECT_GE(dupLines, 2) << "during the run and in the last report";
  EXPECT_GE(Events.back().Info.FrameNumber, 2 * kFrames - 2);
}

TEST_F(ProgressReport, TheProgressTargetGetsKeyValueLines) {
  TTaskRun run;
  const std::string target = Folder.File("progress.txt");
  Run(run, Folder.File("target.mkv"), " -progress " + target);
  std::ifstream in(target);
  std::stringstream text;
  text << in.rdbuf();
  const std::string lines = text.str();
  EXPECT_NE(lines.find("progress=continue\n"), std::string::npos) << lines;
  ASSERT_GE(lines.size(), 13u);
  EXPECT_EQ(lines.substr(lines.size() - 13), "progress=end\n");
  const std::string end = lines.substr(lines.rfind("progress=continue"));
  for (const char* key : {"frame=30\n", "fps=", "stream_0_0_q=", "total_size=", "out_time_ms=",
                          "out_time=00:00:0", "dup_frames=0\n", "drop_frames=0\n"})
    EXPECT_NE(end.find(key), std::string::npos) << key;
}

TEST_F(ProgressReport, AnOutputThatReceivedNothingSaysSo) {
  TTaskRun run;
  Record(run);
  ASSERT_TRUE(run.Add(LavfiCaptureLike(320, 240, "bgr0", kRate, false, 1), "-f lavfi -r 15",
                      Folder.File("empty.avi"), " -c:v rawvideo -frames:v 0"))
      << run.Error;
  run.Start();
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_FALSE(Events.empty());
  const TProgressInfo& last = Events.back().Info;
  EXPECT_EQ(last.JoinIndex, -1);
  EXPECT_EQ(last.FrameNumber, -1);
  EXPECT_EQ(last.FPS, -1);
  EXPECT_EQ(last.CurrentTime, 0) << "no stream was written: no time";
  EXPECT_GE(Log.Find("time=00:00:00.000 "), 0);
  EXPECT_GE(Log.Find("muxing overhead unknown"), 0);
  EXPECT_EQ(Log.LevelOf("Output file is empty, nothing was encoded (check -ss / -t / -frames "
                        "parameters if used)"),
            TLogLevel::llWarning);
}

TEST_F(ProgressReport, ASlowHandlerDoesNotHoldUpTheLoop) {
  TTaskRun run;
  std::atomic<int> hooked{0};
  TOutputOptions record;
  TFFEncoder::InitOutputOptions(record);
  record.VideoInputHook = true;
  run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo) { ++hooked; };
  int calls = 0, framesDuringFirstCall = -1;
  run.Encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo AInfo) {
    ++calls;
    Events.push_back({*AInfo, {}});
    if (calls > 1) return;
    const int before = hooked.load();
    std::this_thread::sleep_for(1s);
    framesDuringFirstCall = hooked.load() - before;
  };
  Run(run, Folder.File("slow.mkv"), "", &record);
  // A loop held up by the handler passes no frame or one; a loaded sanitized
  // build may pass fewer than the source's rate.
  EXPECT_GE(framesDuringFirstCall, 3) << "the loop went on while the handler ran";
  EXPECT_EQ(Events.back().Info.JoinIndex, -1) << "the last report still arrives, last";
  EXPECT_EQ(Events.back().Info.FrameNumber, kFrames);
}

} // namespace
