// The engine's side of the preview window: the caption of a frame's time,
// and a program that has no window to show (no factory registered, as in
// every engine test), which shows nothing and says so once.
#include "Previewer.h"
#include "Bitmap.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "MainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct TCaptionCase {
  const char* Name;
  int64_t PTS; // microseconds
  const char* Caption;
};

class PreviewCaptions : public testing::TestWithParam<TCaptionCase> {};

TEST_P(PreviewCaptions, ShowTheTimeRoundedByFiveMilliseconds) {
  EXPECT_EQ(PreviewCaption(GetParam().PTS), GetParam().Caption);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreviewCaptions,
    testing::Values(TCaptionCase{"Unset", AV_NOPTS_VALUE, "N/A"},
                    TCaptionCase{"Zero", 0, "00:00:00.005"},
                    TCaptionCase{"OneSecondAndABit", 1234567, "00:00:01.239"},
                    TCaptionCase{"JustBelowAMillisecondStep", 994999, "00:00:00.999"},
                    TCaptionCase{"CarriesIntoTheNextSecond", 995000, "00:00:01.000"},
                    TCaptionCase{"HoursMinutesSeconds", ((2 * 60 + 3) * 60 + 4) * INT64_C(1000000),
                                 "02:03:04.005"},
                    TCaptionCase{"ManyHours", 100 * INT64_C(3600000000), "100:00:00.005"},
                    TCaptionCase{"BeforeTheStart", -2000000, "00:00:00.000"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Previewer, WithoutAWindowShowsNothingAndSaysSoOnce) {
  LoadLibAVForTest();
  ASSERT_FALSE(HasPreviewWindowFactory()) << "the engine's tests have no window library";
  TLogCapture log;
  TBitmap bitmap(16, 8, 32);
  TPreviewer previewer;
  // From a task's thread, as the preview step calls it; the main thread is
  // this one, which runs the drawing step when asked.
  bool first = true, second = true;
  std::atomic<bool> done{false};
  std::thread task([&] {
    first = previewer.ShowFrame(bitmap, 1, 0);
    second = previewer.ShowFrame(bitmap, 2, 100000);
    done = true;
  });
  while (!done)
    TMainThread::ProcessWait(std::chrono::milliseconds(10));
  task.join();
  EXPECT_FALSE(first) << "the preview step stops feeding a preview that shows nothing";
  EXPECT_FALSE(second);
  EXPECT_TRUE(previewer.Closed());
  const std::string line = "no preview window in this program: the preview shows nothing";
  EXPECT_EQ(log.Count(line), 1);
  EXPECT_EQ(log.LevelOf(line), TLogLevel::llInfo);
}

} // namespace
