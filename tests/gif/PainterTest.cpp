// The animation painter: frame timing by an injected clock (delay units,
// the minimum and default delays, the speed), loops, an OnFramePainted
// handler that picks the next frame, painting in its own thread through
// the main-thread queue, the saved exception, and the thread stopped and
// joined when its picture or its canvas goes.
#include <gtest/gtest.h>

#include <dirent.h>

#include "FrameBuilder.h"
#include "GIFException.h"
#include "GIFPainter.h"
#include "MainThread.h"
#include "PictureTestSupport.h"
#include "WaitUntil.h"

namespace {

using namespace std::chrono_literals;

// Frames of 2 x 2, colour i for frame i; delays as given (-1: no graphic
// control extension).
std::unique_ptr<TGIFImage> Animation(const std::vector<int>& ADelays, int ALoops = -1) {
  auto image = std::make_unique<TGIFImage>();
  std::vector<TColor> colors;
  for (size_t i = 0; i < ADelays.size(); ++i)
    colors.push_back(RGB(static_cast<int>(i) * 40, 255, 0));
  SetGlobalColors(*image, colors);
  for (size_t i = 0; i < ADelays.size(); ++i) {
    const auto index = static_cast<uint8_t>(i);
    TGIFSubImage& frame = AddFrame(*image, 0, 0, 2, 2, {index, index, index, index});
    if (ADelays[i] >= 0) SetTiming(frame, ADelays[i], dmNone);
    if (i == 0 && ALoops >= 0) AddLoop(frame, ALoops);
  }
  return image;
}

int ThreadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(tasks))
      if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
  }
  return count;
}

struct TPlay {
  std::vector<int> Frames;
  std::vector<int64_t> Times;
  int Loops = 0;
  int Ends = 0;
};

// Records every frame's index and the clock's time as it is about to be painted.
void Watch(TGIFImage& AImage, TFakeClock& AClock, TPlay& APlay) {
  AImage.OnFramePaint = [&](TGIFPainter& APainter) {
    APlay.Frames.push_back(APainter.ActiveFrame());
    APlay.Times.push_back(AClock.Now());
  };
  AImage.OnPaintLoop = [&](TGIFPainter&) { ++APlay.Loops; };
  AImage.OnPaintEnd = [&](TGIFPainter&) { ++APlay.Ends; };
}

std::vector<int64_t> Gaps(const TPlay& APlay, int64_t AStart) {
  std::vector<int64_t> gaps;
  int64_t previous = AStart;
  for (int64_t time : APlay.Times) {
    gaps.push_back(time - previous);
    previous = time;
  }
  return gaps;
}

struct TTimingCase {
  const char* Name;
  bool Threaded;
  int Speed;
  // What each frame waits before it is painted, in milliseconds.
  std::vector<int64_t> Gaps;
};

class PainterTimingTest : public ::testing::TestWithParam<TTimingCase> {};

// Delays 0, 1, 10, none and 2000 units.
TEST_P(PainterTimingTest, FramesWaitTheirDelays) {
  const TTimingCase& test = GetParam();
  auto image = Animation({0, 1, 10, -1, 2000, 5});
  auto clock = std::make_shared<TFakeClock>();
  image->PainterClock = clock;
  image->AnimationSpeed = test.Speed;
  TPlay play;
  Watch(*image, *clock, play);
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  const int64_t start = clock->Now();
  TGIFPainter* painter = image->CreatePainter(
      canvas, static_cast<TGIFDrawFlags>(gdAnimate | (test.Threaded ? gdThreaded : 0)),
      canvas.ClipRect());
  if (test.Threaded) {
    ASSERT_NE(painter, nullptr);
    painter->Start();
    ASSERT_TRUE(WaitUntil([&] { return play.Ends > 0; }, TWaitMode::ServiceMainThread));
  } else {
    EXPECT_EQ(painter, nullptr) << "a painter in the caller's thread has ended on return";
  }
  EXPECT_EQ(play.Frames, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(Gaps(play, start), test.Gaps);
  EXPECT_EQ(play.Ends, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PainterTimingTest,
    ::testing::Values(
        // The caller's thread: 1 unit before the first frame; delay 0 and no
        // delay play at 10 units, 1 at the minimum of 3, 2000 at the maximum
        // of 1000; a unit is 12 ms.
        TTimingCase{"CallersThread", false, 100, {12, 120, 36, 120, 120, 12000}},
        TTimingCase{"CallersThreadDoubleSpeed", false, 200, {6, 60, 18, 60, 60, 6000}},
        TTimingCase{"CallersThreadHalfSpeed", false, 50, {24, 240, 72, 240, 240, 24000}},
        // Its own thread: the first frame at once, no maximum.
        TTimingCase{"OwnThread", true, 100, {0, 120, 36, 120, 120, 24000}},
        TTimingCase{"OwnThreadDoubleSpeed", true, 200, {0, 60, 18, 60, 60, 12000}}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

struct TLoopCase {
  const char* Name;
  int Loops; // -1: no loop extension
  TGIFDrawFlags Options;
  int Passes;
};

class PainterLoopTest : public ::testing::TestWithParam<TLoopCase> {};

TEST_P(PainterLoopTest, PlaysAsOftenAsTheLoopCountSays) {
  const TLoopCase& test = GetParam();
  auto image = Animation({1, 1, 1}, test.Loops);
  auto clock = std::make_shared<TFakeClock>();
  image->PainterClock = clock;
  TPlay play;
  Watch(*image, *clock, play);
  // Endless plays are stopped after the fifth pass.
  image->OnPaintLoop = [&](TGIFPainter& APainter) {
    if (++play.Loops == 4) APainter.Stop();
  };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  TGIFPainter* painter = image->CreatePainter(canvas, test.Options, canvas.ClipRect());
  if (painter) {
    painter->Start();
    ASSERT_TRUE(
        WaitUntil([&] { return play.Ends > 0 || play.Loops >= 4; }, TWaitMode::ServiceMainThread));
    image->StopPainters();
  }
  EXPECT_EQ(static_cast<int>(play.Frames.size()), 3 * test.Passes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PainterLoopTest,
    ::testing::Values(TLoopCase{"NoLoopExtension", -1, gdAnimate | gdLoop, 1},
                      TLoopCase{"ThreeLoops", 3, gdAnimate | gdLoop, 3},
                      TLoopCase{"ThreeLoopsWithoutLoopFlag", 3, gdAnimate, 1},
                      TLoopCase{"ZeroInCallersThread", 0, gdAnimate | gdLoop, 1},
                      TLoopCase{"ZeroInOwnThread", 0, gdThreaded | gdAnimate | gdLoop, 4},
                      TLoopCase{"LoopForever", -1, gdAnimate | gdLoop | gdLoopForever, 4}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(PainterTest, FramePaintedHandlerChoosesTheNextFrame) {
  auto image = Animation({1, 1, 1, 1});
  auto clock = std::make_shared<TFakeClock>();
  image->PainterClock = clock;
  TPlay play;
  Watch(*image, *clock, play);
  image->OnFramePainted = [](TGIFPainter& APainter) {
    if (APainter.ActiveFrame() == 0) APainter.SetActiveFrame(2);
  };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  image->CreatePainter(canvas, gdAnimate, canvas.ClipRect());
  EXPECT_EQ(play.Frames, (std::vector<int>{0, 2, 3}));
}

TEST(PainterTest, ExceptionOfACallersThreadPainterReachesTheCaller) {
  auto image = Animation({1, 1});
  image->PainterClock = std::make_shared<TFakeClock>();
  int painted = 0;
  image->OnFramePaint = [&](TGIFPainter&) {
    if (++painted == 2) throw GIFException("handler failed");
  };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  try {
    image->CreatePainter(canvas, gdAnimate, canvas.ClipRect());
    FAIL() << "nothing raised";
  } catch (const GIFException& AError) {
    EXPECT_STREQ(AError.what(), "handler failed");
  }
  EXPECT_EQ(painted, 2);
}

TEST(PainterTest, ExceptionOfAThreadedPainterIsRaisedAgainInTheMainThreadWhenItIsFreed) {
  auto image = Animation({1, 1, 1});
  image->PainterClock = std::make_shared<TFakeClock>();
  image->OnFramePaint = [](TGIFPainter& APainter) {
    if (APainter.ActiveFrame() == 1) throw GIFException("handler failed");
  };
  int ends = 0;
  image->OnPaintEnd = [&](TGIFPainter&) { ++ends; };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  TGIFPainter* painter = nullptr;
  image->CreatePainter(canvas, gdThreaded | gdAnimate, canvas.ClipRect(), &painter);
  ASSERT_NE(painter, nullptr);
  painter->Start();
  std::string raised;
  ASSERT_TRUE(WaitUntil([&] {
    try {
      TMainThread::ProcessWait(2ms);
    } catch (const GIFException& AError) {
      raised = AError.what();
    }
    return !raised.empty();
  }));
  EXPECT_EQ(raised, "handler failed");
  EXPECT_EQ(painter, nullptr) << "the painter was freed and its reference cleared";
  EXPECT_EQ(ends, 0) << "a painter that failed delivers no more events";
}

TEST(PainterTest, ThreadIsStoppedAndJoinedWhenThePictureIsFreed) {
  // A thread first, so that helpers a sanitizer starts with the first
  // thread are already counted.
  std::thread([] {}).join();
  const int before = ThreadCount();
  auto image = Animation({100, 100, 100}, 0);
  // The real clock: the painter sits in a 1.2 s wait when the picture goes.
  int paints = 0;
  image->OnFramePainted = [&](TGIFPainter&) { ++paints; };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  image->Draw(canvas, canvas.ClipRect());
  EXPECT_EQ(canvas.Pixel(0, 0), 0x00FF00u) << "Draw waits for the first frame";
  EXPECT_EQ(ThreadCount(), before + 1);
  const int painted = paints;
  const auto start = std::chrono::steady_clock::now();
  image.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "the wait was not cut short";
  EXPECT_EQ(ThreadCount(), before);
  // Nothing the painter queued runs after it.
  TMainThread::Process();
  EXPECT_EQ(paints, painted);
}

// The second of two restore-to-previous frames in a row starts from the
// picture before the first, not from the canvas that still shows the first.
TEST(PainterTest, ConsecutiveRestoreToPreviousFramesLeaveNoGhost) {
  auto image = RestoringToPreviousTwice();
  const std::vector<TBitmap> frames = ComposeFrames(*image);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(CompareRGBA(LettersRGBA("RRRR/RRRR"), CanvasRGBA(frames[0]), 4), "");
  EXPECT_EQ(CompareRGBA(LettersRGBA("BBRR/BBRR"), CanvasRGBA(frames[1]), 4), "");
  EXPECT_EQ(CompareRGBA(LettersRGBA("RRGG/RRGG"), CanvasRGBA(frames[2]), 4), "")
      << "the first restoring frame must not show while the second does";
}

TEST(PainterTest, DrawPaintsOnTheCachedBitmapAndTheCanvasShowsIt) {
  auto image = Animation({1, 1, 1}, 0);
  image->PainterClock = std::make_shared<TFakeClock>();
  int changes = 0;
  image->OnChange = [&](TGraphic&) { ++changes; };
  TBitmap target(4, 4, 32);
  TGIFCanvas canvas(target);
  image->Draw(canvas, canvas.ClipRect());
  // A frame (colour i x 40, 255, 0 for frame i), stretched over the canvas;
  // with a clock that never waits, later frames may already be painted.
  const uint32_t shown = canvas.Pixel(3, 3);
  EXPECT_TRUE(shown == 0x00FF00u || shown == 0x28FF00u || shown == 0x50FF00u) << shown;
  ASSERT_TRUE(WaitUntil([&] { return changes >= 6; }, TWaitMode::ServiceMainThread));
  // Drawing again shows the cached bitmap as the painter has left it.
  image->Draw(canvas, canvas.ClipRect());
  ASSERT_NE(image->GetBitmap(), nullptr);
  EXPECT_EQ(canvas.Pixel(3, 3), BitmapPixelBGR(*image->GetBitmap(), 1, 1));
  image->StopPainters();
}

TEST(PainterTest, PaintingOnTheCanvasItself) {
  auto image = Animation({1, 1});
  image->PainterClock = std::make_shared<TFakeClock>();
  image->DrawOptions |= gdPaintOnCanvas;
  image->DrawOptions &= static_cast<TGIFDrawFlags>(~gdLoop);
  TPlay play;
  image->OnPaintEnd = [&](TGIFPainter&) { ++play.Ends; };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  image->Draw(canvas, canvas.ClipRect());
  ASSERT_TRUE(WaitUntil([&] { return play.Ends > 0; }, TWaitMode::ServiceMainThread));
  EXPECT_EQ(canvas.Pixel(0, 0), 0x28FF00u) << "the last frame stays on the canvas";
}

TEST(PainterTest, PainterEndsWhenItsCanvasGoesWithCheckCanvas) {
  auto image = Animation({1, 1}, 0);
  image->PainterClock = std::make_shared<TFakeClock>();
  TGIFPainter* painter = nullptr;
  {
    TBitmap target(2, 2, 32);
    TGIFCanvas canvas(target);
    image->CreatePainter(canvas, gdThreaded | gdAnimate | gdLoop | gdCheckCanvas, canvas.ClipRect(),
                         &painter);
    ASSERT_NE(painter, nullptr);
    painter->Start();
    ASSERT_TRUE(WaitUntil([&] { return painter->Started(); }, TWaitMode::ServiceMainThread));
  }
  EXPECT_TRUE(WaitUntil([&] { return painter == nullptr; }, TWaitMode::ServiceMainThread))
      << "the painter went on without its canvas";
}

TEST(PainterTest, SpeedBelowOneNeverAdvancesByItself) {
  auto image = Animation({1, 1});
  image->AnimationSpeed = 0;
  int painted = 0;
  image->OnFramePainted = [&](TGIFPainter&) { ++painted; };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  TGIFPainter* painter =
      image->CreatePainter(canvas, gdThreaded | gdAnimate | gdLoop, canvas.ClipRect());
  painter->Start();
  ASSERT_TRUE(WaitUntil([&] { return painted == 1; }, TWaitMode::ServiceMainThread));
  WaitUntil([] { return false; }, TWaitMode::ServiceMainThread, 100ms);
  EXPECT_EQ(painted, 1);
  const auto start = std::chrono::steady_clock::now();
  image->StopPainters();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(PainterTest, StopPaintersFromAHandlerDoesNotWaitForItself) {
  auto image = Animation({1, 1, 1}, 0);
  image->PainterClock = std::make_shared<TFakeClock>();
  int painted = 0;
  TGIFImage* picture = image.get();
  image->OnFramePainted = [&](TGIFPainter&) {
    if (++painted == 2) picture->StopPainters();
  };
  int ends = 0;
  image->OnPaintEnd = [&](TGIFPainter&) { ++ends; };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  TGIFPainter* painter = nullptr;
  image->CreatePainter(canvas, gdThreaded | gdAnimate | gdLoop, canvas.ClipRect(), &painter);
  painter->Start();
  ASSERT_TRUE(WaitUntil([&] { return painter == nullptr; }, TWaitMode::ServiceMainThread));
  EXPECT_EQ(painted, 2);
  EXPECT_EQ(ends, 0);
}

} // namespace
