// The task option object: fatal errors, the leftover-option check, and the
// read and write interrupt callbacks, against a clock of the test's own and
// against a real stalled TCP read.
#include "FFmpegOpt.h"
#include "LibAV.h"
#include "LibAVOwners.h"
#include "LibAVForTests.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <ostream>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

class TaskOptions : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    Log = std::make_unique<TLogCapture>(TLogLevel::llInfo);
  }
  void TearDown() override { Log.reset(); }
  TCustomFFmpegOpt Task;
  std::unique_ptr<TLogCapture> Log;
};

TEST_F(TaskOptions, FatalErrorsKeepTheTextLogItAndRaise) {
  try {
    Task.FatalErrorFmt("Invalid input file index: %d.", 3);
    ADD_FAILURE() << "nothing raised";
  } catch (const FFmpegException& e) {
    EXPECT_STREQ(e.what(), "Invalid input file index: 3.");
  }
  EXPECT_EQ(Task.LastErrMsg, "Invalid input file index: 3.");
  EXPECT_EQ(Log->LevelOf("Invalid input file index: 3."), TLogLevel::llFatal);

  EXPECT_THROW(Task.AbortExperimental(), FFmpegException);
  EXPECT_EQ(Task.LastErrMsg, "abort codec experimental");
}

TEST_F(TaskOptions, LeftoverOptionsAreFatalOnlyWhenStrict) {
  AVDictionary* dict = nullptr;
  Task.CheckOptionsUsed(dict);
  EXPECT_TRUE(Task.LastErrMsg.empty());
  AV.av_dict_set(&dict, "bogus_option", "1", 0);
  AV.av_dict_set(&dict, "another", "2", 0);
  try {
    Task.CheckOptionsUsed(dict);
    ADD_FAILURE() << "nothing raised";
  } catch (const FFmpegException& e) {
    EXPECT_STREQ(e.what(), "Option bogus_option not found.");
  }
  Task.LastErrMsg.clear();
  Task.StrictOptions = false;
  EXPECT_NO_THROW(Task.CheckOptionsUsed(dict));
  EXPECT_EQ(Task.LastErrMsg, "Option bogus_option not found.");
  AV.av_dict_free(&dict);
}

// ---- Interrupts against the test's clock -------------------------------------------

std::atomic<int64_t> gNow{1000000};
int64_t TestClock() {
  return gNow.load();
}

struct TInterruptCase {
  const char* Name;
  bool Write;
  int Timeout;     // milliseconds
  int64_t Start;   // the start time; kNoIOStartTime for none
  int64_t Elapsed; // microseconds the clock moves on
  bool Broken;
  int Result;
  const char* Logged; // null: nothing
};

void PrintTo(const TInterruptCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class Interrupts : public TaskOptions, public testing::WithParamInterface<TInterruptCase> {};

TEST_P(Interrupts, AnswerAndLogOnce) {
  const TInterruptCase& c = GetParam();
  Task.SetInterruptClock(&TestClock);
  gNow = 5000000;
  (c.Write ? Task.WriteTimeout : Task.ReadTimeout) = c.Timeout;
  (c.Write ? Task.WriteStartTime : Task.ReadStartTime) = c.Start == -1 ? gNow.load() : c.Start;
  Task.IOBroken = c.Broken;
  gNow += c.Elapsed;
  const AVIOInterruptCB& cb = c.Write ? Task.WriteInterrupt : Task.ReadInterrupt;
  for (int poll = 0; poll < 5; ++poll)
    EXPECT_EQ(cb.callback(cb.opaque), c.Result) << "poll " << poll;
  const auto texts = Log->Texts();
  if (!c.Logged) {
    EXPECT_TRUE(texts.empty()) << texts.front();
    return;
  }
  ASSERT_EQ(texts.size(), 1u) << "a repeated poll logs once";
  EXPECT_EQ(texts[0], c.Logged);
  EXPECT_EQ(Log->LevelOf(c.Logged), TLogLevel::llInfo);
}

// A start of -1 stands for "now, before the clock moves on".
INSTANTIATE_TEST_SUITE_P(
    Cases, Interrupts,
    testing::Values(
        TInterruptCase{"NotTimed", false, 1000, kNoIOStartTime, 60000000, false, 0, nullptr},
        TInterruptCase{"WithinTimeout", false, 1000, -1, 1000000, false, 0, nullptr},
        TInterruptCase{"ReadTimeout", false, 1000, -1, 1000001, false, 1,
                       "connecting/reading timeout"},
        TInterruptCase{"WriteTimeout", true, 30000, -1, 30000001, false, 1,
                       "connecting/writing timeout"},
        TInterruptCase{"ZeroTimeoutNeverTimesOut", false, 0, -1, 3600000000, false, 0, nullptr},
        TInterruptCase{"NegativeTimeoutNeverTimesOut", true, -5, -1, 3600000000, false, 0, nullptr},
        TInterruptCase{"ReadCanceled", false, 1000, 0, 0, false, 1, "connecting/reading canceled"},
        TInterruptCase{"CancelWithoutTimeout", true, 0, 0, 0, false, 1,
                       "connecting/writing canceled"},
        TInterruptCase{"Broken", false, 0, kNoIOStartTime, 0, true, 1, "reading/writing broken"},
        TInterruptCase{"BrokenWrite", true, 1000, -1, 0, true, 1, "reading/writing broken"}),
    [](const testing::TestParamInfo<TInterruptCase>& AInfo) { return AInfo.param.Name; });

TEST_F(TaskOptions, EachTimedOperationReportsItsOwnTimeout) {
  Task.SetInterruptClock(&TestClock);
  Task.ReadTimeout = 100;
  gNow = 10000000;
  Task.StartReadTimer();
  EXPECT_EQ(Task.ReadInterrupt.callback(Task.ReadInterrupt.opaque), 0);
  gNow += 200000;
  EXPECT_EQ(Task.ReadInterrupt.callback(Task.ReadInterrupt.opaque), 1);
  EXPECT_EQ(Task.WriteInterrupt.callback(Task.WriteInterrupt.opaque), 0) << "the write side is not timed";
  Task.StartReadTimer();
  EXPECT_EQ(Task.ReadInterrupt.callback(Task.ReadInterrupt.opaque), 0) << "a new operation starts a new time-out";
  gNow += 200000;
  EXPECT_EQ(Task.ReadInterrupt.callback(Task.ReadInterrupt.opaque), 1);
  Task.StopReadTimer();
  EXPECT_EQ(Task.ReadInterrupt.callback(Task.ReadInterrupt.opaque), 0);
  EXPECT_EQ(Log->Count("connecting/reading timeout"), 2);
}

// ---- A real stalled read --------------------------------------------------------

// A TCP listener on 127.0.0.1 that accepts one connection and never sends.
class TSilentListener {
public:
  TSilentListener() {
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (FSocket < 0 || bind(FSocket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(FSocket, 1) != 0 ||
        getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("no listener");
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Run(); });
  }
  ~TSilentListener() {
    FStop = true;
    FThread.join();
    if (FPeer >= 0) close(FPeer);
    close(FSocket);
  }
  int Port() const { return FPort; }
  bool Accepted() const { return FPeer >= 0; }

private:
  void Run() {
    // Bounded: the test ends the listener at the latest after its read.
    for (int round = 0; round < 600 && !FStop; ++round) {
      pollfd fd{FSocket, POLLIN, 0};
      if (FPeer < 0 && poll(&fd, 1, 50) == 1)
        FPeer = accept(FSocket, nullptr, nullptr);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  int FSocket = -1;
  std::atomic<int> FPeer{-1};
  int FPort = 0;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};


TEST_F(TaskOptions, AStalledReadEndsWithTheTimeoutText) {
  AV.avformat_network_init();
  TSilentListener listener;
  const std::string url = "tcp://127.0.0.1:" + std::to_string(listener.Port());
  Task.ReadTimeout = 300;

  // Through the I/O layer: the connection opens, the read stalls.
  AVIOContext* io = nullptr;
  Task.StartReadTimer();
  ASSERT_GE(AV.avio_open2(&io, url.c_str(), AVIO_FLAG_READ, &Task.ReadInterrupt, nullptr), 0);
  uint8_t byte = 0;
  const auto begin = std::chrono::steady_clock::now();
  const int read = AV.avio_read(io, &byte, 1);
  const auto waited = std::chrono::steady_clock::now() - begin;
  AV.avio_closep(&io);
  EXPECT_EQ(read, AVERROR_EXIT);
  EXPECT_LT(waited, std::chrono::seconds(20)) << "the read did not hang";
  EXPECT_EQ(Log->Count("connecting/reading timeout"), 1);

  // Through the demuxer, as an input is opened: probing stalls the same way.
  Log->Clear();
  AVFormatContext* context = AV.avformat_alloc_context();
  ASSERT_NE(context, nullptr);
  context->interrupt_callback = Task.ReadInterrupt;
  Task.StartReadTimer();
  const int opened = AV.avformat_open_input(&context, url.c_str(), nullptr, nullptr);
  TInputContextPtr owner(opened >= 0 ? context : nullptr);
  EXPECT_EQ(opened, AVERROR_EXIT);
  EXPECT_EQ(Log->Count("connecting/reading timeout"), 1);
}

TEST_F(TaskOptions, ACancelFromAnotherThreadEndsAReadThatHasNoTimeout) {
  AV.avformat_network_init();
  TSilentListener listener;
  const std::string url = "tcp://127.0.0.1:" + std::to_string(listener.Port());
  Task.ReadTimeout = 0;
  AVIOContext* io = nullptr;
  Task.StartReadTimer();
  ASSERT_GE(AV.avio_open2(&io, url.c_str(), AVIO_FLAG_READ, &Task.ReadInterrupt, nullptr), 0);
  std::atomic<bool> done{false};
  std::thread canceler([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Task.ReadStartTime = 0;
    // Should the cancel go unseen, the read must still end for the test to fail.
    for (int i = 0; i < 200 && !done; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Task.IOBroken = true;
  });
  uint8_t byte = 0;
  const int read = AV.avio_read(io, &byte, 1);
  done = true;
  canceler.join();
  AV.avio_closep(&io);
  EXPECT_EQ(read, AVERROR_EXIT);
  EXPECT_EQ(Log->Count("connecting/reading canceled"), 1);
  EXPECT_EQ(Log->Count("reading/writing broken"), 0);
}

} // namespace
