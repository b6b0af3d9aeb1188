// read_packet's results (EAGAIN with and without waiting, EOF, a producer's
// error), read_close twice, open/close cycles without leaks, and the queue's
// bound while nobody reads.
#include "CaptureTestSupport.h"
#include "PauseFlags.h"
#include "XTestDisplay.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

class ReadPacketTest : public TCaptureTest {
protected:
  void TearDown() override {
    if (FHandle) UnregisterCapturePauseFlag(FHandle);
  }
  // Options of a device whose pause flag is up, so that it never queues.
  TOptionList PausedOptions() {
    FFlag = std::make_shared<std::atomic<int32_t>>(1);
    FHandle = RegisterCapturePauseFlag(FFlag);
    return {{"video_size", "64x48"},
            {"capture_flags", "0"},
            {"pause_pointer", std::to_string(FHandle)}};
  }
  TCapturePauseFlag FFlag;
  int32_t FHandle = 0;
};

TEST_F(ReadPacketTest, NonBlockingAnswersAgainAtOnce) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0", PausedOptions(), AVFMT_FLAG_NONBLOCK), 0);
  TPacketPtr packet = NewPacket();
  const auto began = steady_clock::now();
  EXPECT_EQ(input.ReadPacket(packet.get()), AVERROR(EAGAIN));
  EXPECT_LT(steady_clock::now() - began, milliseconds(500));
  EXPECT_TRUE(log.Contains("non-block, need read again")) << log.Text();
  EXPECT_TRUE(log.Contains("Count of GDI objects: 1, Count of USER objects: 0")) << log.Text();
}

TEST_F(ReadPacketTest, BlockingWaitsASecondThenAnswersAgain) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0", PausedOptions()), 0);
  TPacketPtr packet = NewPacket();
  const auto began = steady_clock::now();
  EXPECT_EQ(input.ReadPacket(packet.get()), AVERROR(EAGAIN));
  const auto waited = steady_clock::now() - began;
  EXPECT_GE(waited, milliseconds(900));
  EXPECT_LT(waited, milliseconds(5000));
  EXPECT_TRUE(log.Contains("wait timeout, need read again")) << log.Text();
}

TEST_F(ReadPacketTest, ClosedDeviceAnswersEndOfFileAndClosesTwice) {
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0", {{"video_size", "64x48"}}), 0);
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet));
  AVFormatContext* context = input.Get();
  EXPECT_EQ(context->iformat->read_close(context), 0);
  packet = NewPacket();
  EXPECT_EQ(input.ReadPacket(packet.get()), AVERROR_EOF);
  EXPECT_EQ(context->iformat->read_close(context), 0);
  input.Close(); // and the libraries' close calls it a third time
}

// At one frame an hour the grab thread sleeps for an hour after its first
// two frames; closing cuts that sleep short.
TEST_F(ReadPacketTest, ClosingDoesNotWaitOutTheGrabThreadsSleep) {
  TCaptureInput input;
  ASSERT_EQ(input.Open(
                "video=0",
                {{"video_size", "64x48"}, {"capture_flags", "showframe"}, {"framerate", "1/3600"}}),
            0);
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet));
  ASSERT_TRUE(input.NextPacket(0, packet));
  SleepFor(milliseconds(100)); // well into the sleep
  const auto began = steady_clock::now();
  input.Close();
  EXPECT_LT(steady_clock::now() - began, milliseconds(5000));
}

TEST_F(ReadPacketTest, AGrabFailureEndsTheInputWithItsError) {
  TXTestDisplay display;
  ASSERT_TRUE(display.IsOpen());
  TPatternWindow window(display, 100, 100, 200, 150);
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=" + std::to_string(window.Id()),
                       {{"capture_flags", "client"}, {"framerate", "50"}}),
            0)
      << log.Text();
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet));
  window.Destroy();
  ASSERT_TRUE(log.WaitFor("Failed to capture image: BitBlt() error", milliseconds(5000)))
      << log.Text();
  // Frames queued before the failure are not handed out any more.
  packet = NewPacket();
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(input.ReadPacket(packet.get()), AVERROR(EIO)) << "call " << i;
}

TEST_F(ReadPacketTest, OpenCloseCyclesLeaveNothingBehind) {
  const TOptionList options = {{"capture_offset", "10,10"},
                               {"capture_flags", "+showframe+client+cursor"},
                               {"video_size", "320x240"},
                               {"framerate", "15"}};
  const auto cycle = [&] {
    TCaptureInput input;
    ASSERT_EQ(input.Open("video=0:audio=-1", options), 0);
    TPacketPtr packet;
    ASSERT_TRUE(input.NextPacket(0, packet));
  };
  cycle(); // what is made once per process (ALSA's configuration, ...)
  ASSERT_FALSE(HasFatalFailure());
  const TResourceCounts before = CountResources();
  for (int i = 0; i < 20; ++i) {
    cycle();
    ASSERT_FALSE(HasFatalFailure()) << "cycle " << i;
  }
  EXPECT_EQ(CountResources(), before);
}

struct TBoundCase {
  const char* Label;
  const char* Name;
  TOptionList Options;
  bool Frames; // the limit counts frames, else bytes
  int64_t Limit;
};
void PrintTo(const TBoundCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class QueueBoundTest : public ReadPacketTest, public ::testing::WithParamInterface<TBoundCase> {};

// The consumer stops reading (a paused task); the producers keep going.
TEST_P(QueueBoundTest, HoldsNoMoreThanTheLimit) {
  const TBoundCase& c = GetParam();
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open(c.Name, c.Options, AVFMT_FLAG_NONBLOCK), 0) << log.Text();
  TPacketPtr packet = NewPacket();
  input.ReadPacket(packet.get()); // starts the capture
  ASSERT_TRUE(log.WaitFor("full! frame dropped!", milliseconds(5000))) << log.Text();
  SleepFor(milliseconds(300));
  // One look under the queue's lock: draining instead would race the
  // producers, which keep appending while the reads go on.
  const int64_t queued = c.Frames ? input.QueuedFrames() : input.QueuedBytes();
  EXPECT_GT(queued, 0);
  EXPECT_LE(queued, c.Limit);
}

// Frames are bounded in frames whatever "-rtbufsize" says (here less than
// one frame), sound in ten times its bytes.
INSTANTIATE_TEST_SUITE_P(Producers, QueueBoundTest,
                         ::testing::Values(TBoundCase{"Frames",
                                                      "video=0",
                                                      {{"video_size", "320x240"},
                                                       {"capture_flags", "0"},
                                                       {"framerate", "60"},
                                                       {"rtbufsize", "10000"}},
                                                      true,
                                                      TPacketQueue::kFrameLimit},
                                           // 192 kHz, 8 channels: a 64 KiB buffer every 21 ms.
                                           TBoundCase{"Sound",
                                                      "audio=-1",
                                                      {{"sample_rate", "192000"},
                                                       {"channels", "8"},
                                                       {"rtbufsize", "20000"}},
                                                      false,
                                                      200000 + 65536}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Label); });

} // namespace
