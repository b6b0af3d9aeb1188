// A recording whose encoder is slower than real time: a video output hook
// that takes longer than a frame interval for every picture the encoder gets,
// copies included. The device loses at the source the frames the encoder
// cannot take, yet the file lasts as long as the recording, the encoder's
// time goes to pictures the device took rather than to copies, each picture
// keeps the time it was taken at, and the stop is prompt.
#include "CaptureTestSupport.h"
#include "MediaFiles.h"
#include "MediaProbe.h"
#include "RecorderStrings.h"
#include "SanitizedBuild.h"
#include "TaskRun.h"
#include "Thread.h"
#include "WaitUntil.h"
#include "XTestDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr int kRate = 15;
constexpr double kFrame = 1.0 / kRate;
const char* const kInput =
    " -f gdicapture  -capture_offset 0,0 -capture_flags +showframe+client-cursor "
    " -s 160x120 -r 15 ";
// Twice a frame interval for each picture: the encoder takes about half the
// frames real time brings.
constexpr auto kHookTime = std::chrono::milliseconds(130);
constexpr auto kRecording = std::chrono::milliseconds(2400);
// The screen shows a count that goes up every kTick, as one of 64 colours
// whose channels are 0, 80, 160 or 240.
constexpr auto kTick = std::chrono::milliseconds(50);
constexpr double kTickSeconds = 0.05;
// The longest the file may hold an older picture: frames the device could
// not queue leave gaps that show the picture before them. The encoder takes
// a frame every two intervals or so, and the device's drop rule lets one in
// about as often.
constexpr double kLongestHold = kSanitizedBuild ? 0.9 : 0.5;

TRgb CountColour(int ACount) {
  const auto level = [](int ADigit) { return static_cast<uint8_t>(ADigit * 80); };
  return {level(ACount % 4), level(ACount / 4 % 4), level(ACount / 16 % 4)};
}

// The count a colour shows, -1 none.
int CountOf(const uint8_t* ABgra) {
  int count = 0;
  for (const int channel : {0, 1, 2}) { // B, G, R: the digits from the highest
    const int digit = (ABgra[channel] + 40) / 80;
    if (digit > 3 || std::abs(ABgra[channel] - digit * 80) > 30) return -1;
    count = count * 4 + digit;
  }
  return count;
}

double SecondsSince(TClock::time_point AStart) {
  return std::chrono::duration<double>(TClock::now() - AStart).count();
}

struct TPicture {
  double Time; // seconds from the first picture
  int Count;   // what the screen showed, -1 unreadable
};

std::vector<TPicture> Pictures(const std::string& AFile) {
  std::vector<TPicture> pictures;
  double first = -1;
  ForEachVideoPicture(AFile, [&](const AVFrame& AFrame) {
    const std::vector<uint8_t> bgra = PackedPicture(AFrame, AV_PIX_FMT_BGRA);
    const double time =
        static_cast<double>(AFrame.best_effort_timestamp) * av_q2d(AFrame.time_base);
    if (first < 0) first = time;
    pictures.push_back({time - first, CountOf(bgra.data() + (60 * 160 + 80) * 4)});
  });
  return pictures;
}

class SlowEncoder : public TCaptureTest, public testing::WithParamInterface<const char*> {
protected:
  void SetUp() override {
    TCaptureTest::SetUp();
    Log = std::make_unique<TLogCapture>();
  }
  void TearDown() override {
    if (HasFailure() && Log) std::printf("%s\n", Log->Text().c_str());
  }
  TTempFolder Folder;
  std::unique_ptr<TLogCapture> Log;
};

TEST_P(SlowEncoder, KeepsTheWholeTimeLineAndStopsPromptly) {
  const std::string extension = GetParam();
  const TRecorderContainer& container =
      *std::find_if(RecorderContainers().begin(), RecorderContainers().end(),
                    [&](const TRecorderContainer& c) { return c.Extension == extension; });
  TXTestDisplay display;
  ASSERT_TRUE(display.Open());
  TColourWindow screen(display, 0, 0, 160, 120, CountColour(0));
  const std::string file = Folder.File("slow." + extension);
  TTaskRun run;
  std::atomic<int> hooked{0};
  run.Encoder.OnVideoOutputHook = [&](TCustomEncoder*, PHookInfo) {
    ++hooked;
    std::this_thread::sleep_for(kHookTime);
  };
  TOutputOptions record;
  TFFEncoder::InitOutputOptions(record);
  record.VideoOutputHook = true;
  ASSERT_TRUE(run.Add("video=0", kInput, file, WithSize(container.Options, 160, 120), &record))
      << run.Error;
  run.Start();
  ASSERT_TRUE(
      WaitUntil([&] { return Log->Contains("PACKET SIZE"); }, TWaitMode::ServiceMainThread, 60s));
  const auto started = TClock::now();
  std::atomic<bool> counting{true};
  TWorkerThread counter;
  counter.Start([&] {
    for (int count = 1; counting; ++count) {
      std::this_thread::sleep_until(started + count * kTick);
      screen.Fill(CountColour(count));
    }
  });
  TTaskRun::Serve(kRecording);
  const double recorded = SecondsSince(started);
  const auto stopping = TClock::now();
  run.Encoder.Stop(true);
  ASSERT_TRUE(run.WaitForEnd());
  const double stopped = SecondsSince(stopping);
  const int64_t dups = run.Encoder.Task(0)->DupFrames;
  counting = false;
  counter.Join();
  ASSERT_EQ(run.Notices.size(), 2u);
  EXPECT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;
  // Slower than real time indeed: fewer pictures encoded than the time held.
  EXPECT_LT(hooked, 0.75 * recorded * kRate);

  const TProbedFile probe = ProbeFile(file);
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  const double span = video->EndPts - video->FirstPts;
  // The first grab comes just after the first read, and a picture's slot
  // starts up to a frame before its time.
  EXPECT_NEAR(span, recorded, kFrame + 0.02) << "the file lasts as long as the recording";
  // The device's queue at the stop would take the encoder about a second.
  EXPECT_LT(stopped, kSanitizedBuild ? 5.0 : 0.75) << "the stop does not wait for a backlog";

  const std::vector<TPicture> pictures = Pictures(file);
  ASSERT_GE(pictures.size(), 6u);
  int distinct = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const TPicture& picture = pictures[i];
    SCOPED_TRACE(picture.Time);
    ASSERT_GE(picture.Count, 0) << "a count the screen showed";
    distinct += i == 0 || picture.Count != pictures[i - 1].Count;
    // Taken no later than its slot allows and not long before: the
    // pictures keep the time they were taken at.
    const double shown = picture.Count * kTickSeconds;
    EXPECT_LE(shown, picture.Time + kFrame + kTickSeconds);
    EXPECT_GE(shown + kTickSeconds, picture.Time - kLongestHold);
  }
  // The encoder's time went to what the device took: the copies it
  // encoded are those the stop puts at the end of the file.
  EXPECT_GE(distinct, hooked - 2);
  // The status line's dup counts the copies written, not the slots left as time.
  EXPECT_LE(dups, hooked - distinct);
}

INSTANTIATE_TEST_SUITE_P(Containers, SlowEncoder, testing::Values("mp4", "mkv", "avi"),
                         [](const testing::TestParamInfo<const char*>& AInfo) {
                           return std::string(AInfo.param);
                         });

} // namespace
