// The frame schedule: due times, lost frames, and no overflow at extreme
// rates and clock values.
#include "LibAVForTests.h"
#include "ScreenThread.h"

#include <gtest/gtest.h>

namespace {

class FrameScheduleTest : public ::testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
};

TEST_F(FrameScheduleTest, KeepsFramesOnAFixedGridAndSkipsLostOnes) {
  TFrameSchedule schedule(AVRational{25, 1});
  EXPECT_EQ(schedule.Interval(), 40000);
  schedule.Start(1000);
  // The second frame is due at once, then one every 40 ms after the first.
  EXPECT_EQ(schedule.Due(), 1000);
  EXPECT_EQ(schedule.Advance(1000), 0);
  EXPECT_EQ(schedule.Due(), 41000);
  EXPECT_EQ(schedule.Advance(41000 + 39999), 0) << "late by less than a frame loses none";
  EXPECT_EQ(schedule.Due(), 81000);
  // A one-second stall.
  EXPECT_EQ(schedule.Advance(81000 + 1000000), 25);
  EXPECT_EQ(schedule.Due(), 81000 + 26 * 40000);
}

TEST_F(FrameScheduleTest, NtscRateStaysOnItsExactGrid) {
  TFrameSchedule schedule(AVRational{30000, 1001});
  EXPECT_EQ(schedule.Interval(), 33367);
  schedule.Start(0);
  for (int i = 0; i < 30000; ++i)
    schedule.Advance(schedule.Due());
  // 30000 frames of 1001/30000 s: 1001 s exactly, without drift.
  EXPECT_EQ(schedule.Due(), 1001000000);
}

struct TExtremeCase {
  const char* Label;
  AVRational Rate;
  int64_t Start;
  int64_t Interval;
};
void PrintTo(const TExtremeCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class ExtremeScheduleTest : public FrameScheduleTest,
                            public ::testing::WithParamInterface<TExtremeCase> {};

TEST_P(ExtremeScheduleTest, NeverOverflowsOrDividesByZero) {
  const TExtremeCase& c = GetParam();
  TFrameSchedule schedule(c.Rate);
  EXPECT_EQ(schedule.Interval(), c.Interval);
  schedule.Start(c.Start);
  int64_t due = schedule.Due();
  EXPECT_EQ(due, c.Start);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(schedule.Advance(due + 3 * c.Interval), 3) << "round " << i; // late every time
    const int64_t next = schedule.Due();
    // Past a million frames a second several frames share one microsecond.
    ASSERT_GE(next, due) << "round " << i;
    ASSERT_LE(next - due, 5 * c.Interval) << "round " << i;
    due = next;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rates, ExtremeScheduleTest,
    ::testing::Values(
        // Beyond a million frames a second the interval rounds to 0: kept at 1.
        TExtremeCase{"TwoBillionPerSecond", AVRational{2000000000, 1}, 1000000000000000, 1},
        TExtremeCase{"OneFrameAnAge", AVRational{1, 2000000}, 1000, 2000000000000},
        TExtremeCase{"LongUptime", AVRational{60, 1}, int64_t{1} << 60, 16667}),
    [](const auto& AInfo) { return std::string(AInfo.param.Label); });

} // namespace
