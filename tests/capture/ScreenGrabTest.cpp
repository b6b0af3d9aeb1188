// The grab thread under the test's X server: pixels at the right offset,
// windows, the cursor, the frame schedule and the first frame's stamp,
// stalls and the pause flag.
#include "CaptureDevice.h"
#include "CaptureTestSupport.h"
#include "PauseFlags.h"
#include "XTestDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

class ScreenGrabTest : public TCaptureTest {
protected:
  void SetUp() override {
    TCaptureTest::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(FDisplay.Open());
    // Keep the pointer out of the way of the patterns.
    ASSERT_TRUE(MovePointer(FDisplay, 1900, 1060));
  }
  // The pts of the next ACount video packets.
  std::vector<int64_t> ReadStamps(TCaptureInput& AInput, int ACount) {
    std::vector<int64_t> stamps;
    TPacketPtr packet;
    while (static_cast<int>(stamps.size()) < ACount && AInput.NextPacket(0, packet))
      stamps.push_back(packet->pts);
    return stamps;
  }
  TXTestDisplay FDisplay;
};

void ExpectOpaque(const AVPacket& APacket) {
  for (int i = 3; i < APacket.size; i += 4)
    ASSERT_EQ(APacket.data[i], 255) << "the unused byte of pixel " << i / 4;
}

TEST_F(ScreenGrabTest, PatternComesBackByteForByteAtTheOffset) {
  TPatternWindow window(FDisplay, 100, 80, 400, 300);
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0", {{"capture_offset", "150,120"},
                                   {"video_size", "200x100"},
                                   {"capture_flags", "0"},
                                   {"framerate", "25"}}),
            0)
      << log.Text();
  TPacketPtr packet;
  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
    ASSERT_EQ(packet->size, 200 * 100 * 4);
    EXPECT_EQ(CompareWithPattern(packet->data, 800, 200, 100, 50, 40), "") << "frame " << frame;
    ExpectOpaque(*packet);
  }
}

struct TWindowCase {
  const char* Label;
  const char* Flags;
};
void PrintTo(const TWindowCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class WindowGrabTest : public ScreenGrabTest, public ::testing::WithParamInterface<TWindowCase> {};

// Without a window manager the client area and the whole window are one.
TEST_P(WindowGrabTest, CapturesTheNamedWindowWhereverItGoes) {
  TPatternWindow window(FDisplay, 300, 200, 320, 240);
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(
      input.Open("video=" + std::to_string(window.Id()), {{"capture_offset", "20,10"},
                                                          {"video_size", "100x50"},
                                                          {"capture_flags", GetParam().Flags}}),
      0)
      << log.Text();
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
  EXPECT_EQ(CompareWithPattern(packet->data, 400, 100, 50, 20, 10), "");
  window.Move(700, 500);
  input.Drain();
  ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
  EXPECT_EQ(CompareWithPattern(packet->data, 400, 100, 50, 20, 10), "") << "after the move";
}

INSTANTIATE_TEST_SUITE_P(Areas, WindowGrabTest,
                         ::testing::Values(TWindowCase{"ClientArea", "client"},
                                           TWindowCase{"WholeWindow", "0"}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Label); });

struct TOffScreenCase {
  const char* Label;
  int X, Y; // where the window goes; it stays where it is when unmapped
  bool Unmap;
  TXRect Shown; // the part of the frame that still shows the window
  // The captured part of the 320 x 240 window ("capture_offset",
  // "video_size"): all of it unless given.
  int OffsetX = 0, OffsetY = 0, Width = 320, Height = 240;
};
void PrintTo(const TOffScreenCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class OffScreenTest : public ScreenGrabTest, public ::testing::WithParamInterface<TOffScreenCase> {
protected:
  // The next frame but one, so that a frame grabbed before the change is passed over.
  void NextFrame(TCaptureInput& AInput, TPacketPtr& APacket) {
    AInput.Drain();
    for (int i = 0; i < 2; ++i)
      ASSERT_TRUE(AInput.NextPacket(0, APacket));
  }
};

// The window's pattern within AShown, opaque black elsewhere, and nothing
// written into the padding after the frame; empty when so.
std::string CompareShown(const AVPacket& APacket, const TOffScreenCase& ACase,
                         const TXRect& AShown) {
  const int width = ACase.Width, height = ACase.Height;
  if (APacket.size != width * height * 4) return "the packet is " + std::to_string(APacket.size);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* pixel = APacket.data + (y * width + x) * 4;
      const bool shown = x >= AShown.X && x < AShown.X + AShown.Width && y >= AShown.Y &&
                         y < AShown.Y + AShown.Height;
      const TRgb expected = shown ? PatternColour(ACase.OffsetX + x, ACase.OffsetY + y) : TRgb{};
      const TRgb seen{pixel[2], pixel[1], pixel[0]};
      if (seen != expected || pixel[3] != 255)
        return "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") is " + ToString(seen) +
               ", expected " + ToString(expected);
    }
  for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; ++i)
    if (APacket.data[APacket.size + i] != 0) return "padding byte " + std::to_string(i) + " is set";
  return {};
}

// A captured window dragged over the screen's edge or unmapped: the
// recording goes on with what is left of it where it belongs, and the rest
// black.
TEST_P(OffScreenTest, KeepsCapturingWhatIsLeftOfTheWindow) {
  const TOffScreenCase& c = GetParam();
  TPatternWindow window(FDisplay, 300, 200, 320, 240);
  TLogCapture log;
  TCaptureInput input;
  const std::string offset = std::to_string(c.OffsetX) + "," + std::to_string(c.OffsetY);
  const std::string size = std::to_string(c.Width) + "x" + std::to_string(c.Height);
  ASSERT_EQ(input.Open("video=" + std::to_string(window.Id()), {{"capture_flags", "client"},
                                                                {"framerate", "25"},
                                                                {"capture_offset", offset},
                                                                {"video_size", size}}),
            0)
      << log.Text();
  const TXRect all{0, 0, c.Width, c.Height};
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
  ASSERT_EQ(CompareShown(*packet, c, all), "");

  if (c.Unmap) {
    xcb_unmap_window(FDisplay.Get(), window.Id());
    FDisplay.Sync();
  } else {
    window.Move(c.X, c.Y);
  }
  NextFrame(input, packet);
  ASSERT_FALSE(HasFatalFailure()) << log.Text();
  EXPECT_EQ(CompareShown(*packet, c, c.Shown), "");

  if (c.Unmap) {
    xcb_map_window(FDisplay.Get(), window.Id());
    FDisplay.Sync();
  } else {
    window.Move(300, 200);
  }
  NextFrame(input, packet);
  ASSERT_FALSE(HasFatalFailure()) << log.Text();
  EXPECT_EQ(CompareShown(*packet, c, all), "") << "back on the screen";
  EXPECT_FALSE(log.Contains("Failed to capture image")) << log.Text();
}

INSTANTIATE_TEST_SUITE_P(
    Places, OffScreenTest,
    ::testing::Values(
        TOffScreenCase{"PastTheRightEdge", 1800, 300, false, {0, 0, 120, 240}},
        TOffScreenCase{"AboveTheTop", 300, -100, false, {0, 100, 320, 140}},
        TOffScreenCase{"PastTheBottomLeft", -300, 1000, false, {300, 0, 20, 80}},
        TOffScreenCase{"WhollyOff", 2500, 300, false, {0, 0, 0, 0}},
        TOffScreenCase{"Unmapped", 0, 0, true, {0, 0, 0, 0}},
        // A part of the window: (40, 30) to (240, 180) of it.
        TOffScreenCase{"PartPastTheRightEdge", 1800, 300, false, {0, 0, 80, 150}, 40, 30, 200, 150},
        TOffScreenCase{"PartAboveTheTop", 300, -100, false, {0, 70, 200, 80}, 40, 30, 200, 150},
        TOffScreenCase{
            "PartPastTheBottomLeft", -100, 1000, false, {60, 0, 140, 50}, 40, 30, 200, 150},
        TOffScreenCase{
            "PartPastTheLeftEdgeOnly", -100, 300, false, {60, 0, 140, 150}, 40, 30, 200, 150}),
    [](const auto& AInfo) { return std::string(AInfo.param.Label); });

struct TCursorCase {
  const char* Label;
  const char* Flags;
  bool Drawn;
};
void PrintTo(const TCursorCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class CursorTest : public ScreenGrabTest, public ::testing::WithParamInterface<TCursorCase> {};

// Pixels within a box of the cursor's size around the pointer, in frame
// coordinates; the pointer stands at (50, 50) of the frame.
bool NearPointer(int AX, int AY) {
  return std::abs(AX - 50) < 40 && std::abs(AY - 50) < 40;
}

TEST_P(CursorTest, IsInThePictureOnlyWhenAskedFor) {
  const TCursorCase& c = GetParam();
  TPatternWindow window(FDisplay, 200, 100, 300, 300);
  ASSERT_TRUE(MovePointer(FDisplay, 300, 200));
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0", {{"capture_offset", "250,150"},
                                   {"video_size", "100x100"},
                                   {"capture_flags", c.Flags}}),
            0)
      << log.Text();
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
  // Away from the pointer the frame is the pattern either way.
  EXPECT_EQ(CompareWithPattern(packet->data, 400, 100, 100, 50, 50,
                               [](int AX, int AY) { return NearPointer(AX, AY); }),
            "");
  int changed = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      const uint8_t* pixel = packet->data + y * 400 + x * 4;
      changed += TRgb{pixel[2], pixel[1], pixel[0]} != PatternColour(50 + x, 50 + y);
    }
  if (c.Drawn)
    EXPECT_GT(changed, 20) << "the cursor is drawn near the pointer";
  else
    EXPECT_EQ(changed, 0);
  EXPECT_FALSE(log.Contains("Could not")) << log.Text();
}

INSTANTIATE_TEST_SUITE_P(Flags, CursorTest,
                         ::testing::Values(TCursorCase{"WithCursor", "cursor", true},
                                           TCursorCase{"WithoutCursor", "client", false}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Label); });

TEST_F(ScreenGrabTest, StampsStartAtZeroAndFollowTheFrameRate) {
  TCaptureInput input;
  ASSERT_EQ(
      input.Open("video=0", {{"video_size", "64x48"}, {"capture_flags", "0"}, {"framerate", "25"}}),
      0);
  const std::vector<int64_t> stamps = ReadStamps(input, 16);
  ASSERT_EQ(stamps.size(), 16u);
  EXPECT_EQ(stamps[0], 0);
  // The first two frames are grabbed back to back; from then on frame k is
  // due (k - 1) x 40 ms after the first, and stamped once grabbed: never
  // before its time, late only by what a loaded machine costs.
  EXPECT_LT(stamps[1], stamps[2]);
  std::vector<int64_t> steps;
  for (size_t k = 2; k < stamps.size(); ++k) {
    EXPECT_GE(stamps[k], static_cast<int64_t>(k - 1) * 40000) << "frame " << k;
    steps.push_back(stamps[k] - stamps[k - 1]);
  }
  // A late frame makes one step longer and the next one shorter; most steps
  // are the interval.
  std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
  EXPECT_NEAR(steps[steps.size() / 2], 40000, 8000);
}

// A first grab that takes long (here the server stands still for a while)
// is stamped when it started, not when the server answered: the frame's
// content is no older than that. The wait shows before the next frame.
TEST_F(ScreenGrabTest, TheFirstFrameIsStampedWhenItsGrabStarts) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0",
                       {{"video_size", "64x48"}, {"capture_flags", "0"}, {"framerate", "25"}},
                       AVFMT_FLAG_NONBLOCK),
            0)
      << log.Text();
  int64_t asked = 0;
  {
    TXvfbStall stall(*FXvfb);
    TPacketPtr packet = NewPacket();
    asked = CaptureClock();
    EXPECT_EQ(input.ReadPacket(packet.get()), AVERROR(EAGAIN)); // starts the capture
    SleepFor(std::chrono::milliseconds(1000));
  }
  const std::vector<int64_t> stamps = ReadStamps(input, 2);
  ASSERT_EQ(stamps.size(), 2u) << log.Text();
  const int64_t start = input.Device()->StartTime;
  EXPECT_GE(start, asked);
  EXPECT_LT(start - asked, 50000) << "the server answered a second later";
  EXPECT_EQ(stamps[0], 0);
  EXPECT_GE(stamps[1], 900000);
}

// Page faults another process has taken, from /proc.
int64_t MinorFaults(pid_t APid) {
  std::ifstream stat("/proc/" + std::to_string(APid) + "/stat");
  std::string line;
  std::getline(stat, line);
  // Past the command name in parentheses, minflt is field 10.
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  for (int i = 3; i < 10 && fields >> field; ++i) {
  }
  int64_t faults = -1;
  fields >> faults;
  return faults;
}

// The server's first write into fresh memory costs it a page fault a page,
// which makes such a grab many times slower than the next ones. The device
// has its first buffer written once while it opens, so the first frame's
// grab costs the server no more faults than any later one.
TEST_F(ScreenGrabTest, TheFirstGrabIsIntoMemoryTheServerHasWrittenBefore) {
  TLogCapture log;
  TCaptureInput input;
  // One frame a second: after the first two, nothing is grabbed for a while.
  ASSERT_EQ(input.Open("video=0", {{"capture_flags", "0"}, {"framerate", "1"}}), 0) << log.Text();
  const int64_t before = MinorFaults(FXvfb->Pid());
  ASSERT_GE(before, 0);
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
  const int64_t faults = MinorFaults(FXvfb->Pid()) - before;
  const int64_t pages = packet->size / sysconf(_SC_PAGESIZE);
  EXPECT_LT(faults, pages / 4) << faults << " faults for a frame of " << pages << " pages";
}

// The first grab is as quick as the later ones, so a recording of the whole
// screen loses no frame at its start. A loaded machine may hold up a thread
// now and then, so the first frames of one start in five must be clean; a
// slow first grab spoils every one.
TEST_F(ScreenGrabTest, NoFrameIsSkippedAtTheStart) {
  std::string failures;
  for (int attempt = 0; attempt < 5; ++attempt) {
    TLogCapture log;
    TCaptureInput input;
    ASSERT_EQ(input.Open("video=0", {{"capture_flags", "0"}, {"framerate", "30"}}), 0)
        << log.Text();
    const std::vector<int64_t> stamps = ReadStamps(input, 6);
    ASSERT_EQ(stamps.size(), 6u) << log.Text();
    // Each frame in its slot of the grid; the first two share the first.
    std::set<int64_t> slots;
    std::string seen;
    for (const int64_t stamp : stamps) {
      slots.insert(std::llround(static_cast<double>(stamp) * 30 / 1e6));
      seen.append(" ").append(std::to_string(stamp));
    }
    const int64_t missing = *slots.rbegin() + 1 - static_cast<int64_t>(slots.size());
    if (missing == 0) return;
    failures += "attempt " + std::to_string(attempt) + ": " + std::to_string(missing) +
                " slots empty, stamps" + seen + "\n";
  }
  ADD_FAILURE() << failures;
}

TEST_F(ScreenGrabTest, AStallLosesFramesAndShowsInTheStamps) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(
      input.Open("video=0", {{"video_size", "64x48"}, {"capture_flags", "0"}, {"framerate", "25"}}),
      0);
  const std::vector<int64_t> before = ReadStamps(input, 4);
  ASSERT_EQ(before.size(), 4u);
  {
    TXvfbStall stall(*FXvfb);
    SleepFor(std::chrono::milliseconds(1000));
  }
  std::vector<int64_t> stamps = ReadStamps(input, 30);
  ASSERT_EQ(stamps.size(), 30u);
  stamps.insert(stamps.begin(), before.back());
  int64_t jump = 0;
  for (size_t k = 1; k < stamps.size(); ++k)
    jump = std::max(jump, stamps[k] - stamps[k - 1]);

  const std::string line = log.Find("We lost ");
  ASSERT_FALSE(line.empty()) << log.Text();
  EXPECT_NE(line.find("frames. It might be caused by paused or bad performance or frame rate is "
                      "too high."),
            std::string::npos);
  const int lost = std::atoi(line.c_str() + 8);
  EXPECT_GE(lost, 20);
  EXPECT_LE(lost, 60);
  EXPECT_GE(jump, 900000);
  // The frames the message counts are the frames missing from the gap.
  EXPECT_NEAR(jump, (lost + 1) * 40000, 80000) << "lost " << lost;
}

TEST_F(ScreenGrabTest, PauseFlagStopsFramesAndSoundUntilItClears) {
  auto flag = std::make_shared<std::atomic<int32_t>>(0);
  const int32_t handle = RegisterCapturePauseFlag(flag);
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0:audio=-1", {{"video_size", "64x48"},
                                            {"capture_flags", "0"},
                                            {"framerate", "25"},
                                            {"pause_pointer", std::to_string(handle)}}),
            0)
      << log.Text();
  UnregisterCapturePauseFlag(handle); // the open device keeps its flag
  std::vector<int64_t> before = ReadStamps(input, 3);
  ASSERT_EQ(before.size(), 3u);

  flag->store(1);
  SleepFor(std::chrono::milliseconds(100));
  input.Drain();                            // what was under way when the flag went up
  SleepFor(std::chrono::milliseconds(800)); // more than two sound buffers' time
  EXPECT_EQ(input.Drain(), 0) << "nothing is queued while paused";
  EXPECT_EQ(log.Count("We lost "), 0) << log.Text();

  flag->store(0);
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet));
  EXPECT_GE(packet->pts - before.back(), 800000);
  ASSERT_EQ(ReadStamps(input, 3).size(), 3u);
  // One message covers the pause: about 900 ms of frames.
  const std::string line = log.Find("We lost ");
  ASSERT_FALSE(line.empty()) << log.Text();
  EXPECT_GE(std::atoi(line.c_str() + 8), 15) << line;
}

} // namespace
