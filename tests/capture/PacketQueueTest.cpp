// The packet queue: its drop rule at the thresholds, in frames whatever
// their size, the bound on sound whatever the option gives, and the order and
// event of its packets.
#include "PacketQueue.h"
#include "CaptureTestSupport.h"
#include "LibAVForTests.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TPacketPtr PacketOf(int ASize, int64_t APts = 0) {
  TPacketPtr packet = NewPacket();
  EXPECT_EQ(AV.av_new_packet(packet.get(), ASize), 0);
  packet->pts = APts;
  return packet;
}

class PacketQueueTest : public ::testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
};

struct TDropCase {
  int Frames; // queued, of kFrameLimit (8)
  int Percent;
  // The answers of four tests in a row; their thresholds are 75, 87, 100, 62.
  bool Drops[4];
};
void PrintTo(const TDropCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Frames << " frames";
}

class DropRuleTest : public PacketQueueTest, public ::testing::WithParamInterface<TDropCase> {};

TEST_P(DropRuleTest, DropsAtOrAboveTheTurnsThreshold) {
  const TDropCase& c = GetParam();
  TLogCapture log;
  TPacketQueue queue;
  for (int i = 0; i < c.Frames; ++i)
    queue.AppendFrame(PacketOf(100));
  int drops = 0;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(queue.ShouldDropFrame(), c.Drops[i]) << "test " << i + 1;
    drops += c.Drops[i];
  }
  const std::string message =
      "real-time buffer " + std::to_string(c.Percent) + "% full! frame dropped!";
  EXPECT_EQ(log.Count(message), drops) << log.Text();
}

INSTANTIATE_TEST_SUITE_P(Thresholds, DropRuleTest,
                         ::testing::Values(TDropCase{0, 0, {false, false, false, false}},
                                           TDropCase{4, 50, {false, false, false, false}},
                                           TDropCase{5, 62, {false, false, false, true}},
                                           TDropCase{6, 75, {true, false, false, true}},
                                           TDropCase{7, 87, {true, true, false, true}},
                                           TDropCase{8, 100, {true, true, true, true}},
                                           TDropCase{9, 112, {true, true, true, true}}),
                         [](const auto& AInfo) {
                           return "Frames" + std::to_string(AInfo.param.Frames);
                         });

// Frames count as frames whatever their size: ten times the default
// "-rtbufsize" is less than one 3840x2160 frame. Sound has its own bound.
TEST_F(PacketQueueTest, HoldsFramesOfAnySizeAndSoundBesideThem) {
  TLogCapture log;
  TPacketQueue queue;
  queue.SetLimit(0); // the default: 30412800 bytes of sound
  constexpr int k4K = 3840 * 2160 * 4;
  for (int i = 0; i < 4; ++i) {
    for (int test = 0; test < 4; ++test)
      EXPECT_FALSE(queue.ShouldDropFrame()) << "frame " << i << ", test " << test;
    queue.AppendFrame(PacketOf(k4K));
  }
  EXPECT_EQ(queue.FrameCount(), 4);
  EXPECT_FALSE(queue.ShouldDropSound());
  queue.Append(PacketOf(65536));
  EXPECT_EQ(queue.FrameCount(), 4);
  EXPECT_EQ(queue.BufferedBytes(), 4LL * k4K + 65536);
  EXPECT_FALSE(log.Contains("full!")) << log.Text();
}

struct TLimitCase {
  const char* Label;
  unsigned MaxPictureBuffer;
  uint64_t Limit;
  int PacketSize;
  int Percent; // what a drop reports with that packet queued
};
void PrintTo(const TLimitCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class DropLimitTest : public PacketQueueTest, public ::testing::WithParamInterface<TLimitCase> {};

// Whatever "-rtbufsize" gives: no division by zero, no overflow.
TEST_P(DropLimitTest, SoundTakesTenTimesTheBufferOption) {
  const TLimitCase& c = GetParam();
  TLogCapture log;
  TPacketQueue queue;
  queue.SetLimit(c.MaxPictureBuffer);
  EXPECT_EQ(queue.Limit(), c.Limit);
  queue.Append(PacketOf(c.PacketSize));
  queue.ShouldDropSound();
  if (c.Percent < 100) {
    EXPECT_FALSE(log.Contains("full!")) << log.Text();
  } else {
    EXPECT_TRUE(log.Contains("real-time buffer " + std::to_string(c.Percent) + "% full!"))
        << log.Text();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, DropLimitTest,
    ::testing::Values(TLimitCase{"ZeroTakesTheDefault", 0, 30412800, 30412800 / 100 * 80, 80},
                      TLimitCase{"Default", 3041280, 30412800, 30412800, 100},
                      TLimitCase{"One", 1, 10, 100000, 1000000},
                      TLimitCase{"LargestDoesNotWrap", UINT_MAX, uint64_t{UINT_MAX} * 10, 1000, 0}),
    [](const auto& AInfo) { return std::string(AInfo.param.Label); });

TEST_F(PacketQueueTest, BoundsSoundAtTheLimit) {
  TLogCapture log;
  TPacketQueue queue;
  queue.SetLimit(1000);
  int accepted = 0;
  for (int i = 0; i < 10; ++i)
    if (!queue.ShouldDropSound()) {
      queue.Append(PacketOf(3000));
      ++accepted;
    }
  // 0, 30, 60 and 90 % take a packet; from 120 % on they are dropped.
  EXPECT_EQ(accepted, 4);
  EXPECT_EQ(queue.BufferedBytes(), 12000);
  EXPECT_EQ(log.Count("real-time buffer 120% full! frame dropped!"), 6) << log.Text();
}

TEST_F(PacketQueueTest, HandsOutInOrderAndCountsBytes) {
  TPacketQueue queue;
  EXPECT_FALSE(queue.WaitFor(std::chrono::milliseconds(0)));
  for (int i = 0; i < 3; ++i)
    queue.Append(PacketOf(100 * (i + 1), i));
  EXPECT_TRUE(queue.WaitFor(std::chrono::milliseconds(0)));
  EXPECT_EQ(queue.BufferedBytes(), 600);
  TPacketPtr out = NewPacket();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(queue.Take(out.get()));
    EXPECT_EQ(out->pts, i);
    EXPECT_EQ(out->size, 100 * (i + 1));
    AV.av_packet_unref(out.get());
  }
  EXPECT_EQ(queue.BufferedBytes(), 0);
  EXPECT_FALSE(queue.Take(out.get()));
  EXPECT_FALSE(queue.WaitFor(std::chrono::milliseconds(0)))
      << "a look at the list resets the event";
}

} // namespace
