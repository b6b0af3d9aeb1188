// The "Rec" label: where it stands, its shape, its blinking once capture has
// started, staying on top, and following the captured window.
#include "RecLabel.h"
#include "CaptureTestSupport.h"
#include "XTestDisplay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <xcb/xcb.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const TRgb kYellow{255, 255, 0};
const TRgb kBlue{0, 0, 255};

// The pixels the rectangles cover, within 100 x 50.
std::vector<bool> Mask(const std::vector<xcb_rectangle_t>& ARects) {
  std::vector<bool> mask(100 * 50);
  for (const xcb_rectangle_t& r : ARects)
    for (int y = r.y; y < r.y + r.height && y < 50; ++y)
      for (int x = r.x; x < r.x + r.width && x < 100; ++x)
        mask[y * 100 + x] = true;
  return mask;
}

class RecLabelTest : public TCaptureTest {
protected:
  void SetUp() override {
    TCaptureTest::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(FDisplay.Open());
    ASSERT_TRUE(MovePointer(FDisplay, 1900, 1060));
  }
  // The label: the window that stays above the others.
  xcb_window_t Label() {
    SleepFor(milliseconds(50));
    return FDisplay.TopChild();
  }
  // Waits up to ATimeout for the screen pixel to show AColour.
  bool WaitForColour(int AX, int AY, const TRgb& AColour, milliseconds ATimeout) {
    const auto end = steady_clock::now() + ATimeout;
    while (FDisplay.ScreenPixel(AX, AY) != AColour)
      if (steady_clock::now() > end)
        return false;
      else
        SleepFor(milliseconds(20));
    return true;
  }
  // A capture of the screen's 200x100 at 100,100 with the label.
  static int OpenOnScreen(TCaptureInput& AInput) {
    return AInput.Open(
        "video=0",
        {{"capture_offset", "100,100"}, {"video_size", "200x100"}, {"capture_flags", "showframe"}});
  }
  TXTestDisplay FDisplay;
};

struct TPlaceCase {
  const char* Label;
  TOptionList Options;
  TXRect Expected;
};
void PrintTo(const TPlaceCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class LabelPlaceTest : public RecLabelTest, public ::testing::WithParamInterface<TPlaceCase> {};

TEST_P(LabelPlaceTest, FramesTheCapturedArea) {
  const TPlaceCase& c = GetParam();
  TCaptureInput input;
  TOptionList options = c.Options;
  options.emplace_back("capture_flags", "showframe");
  ASSERT_EQ(input.Open("video=0", options), 0);
  const xcb_window_t label = Label();
  const TXRect rect = FDisplay.Geometry(label);
  EXPECT_EQ(rect.X, c.Expected.X);
  EXPECT_EQ(rect.Y, c.Expected.Y);
  EXPECT_EQ(rect.Width, c.Expected.Width);
  EXPECT_EQ(rect.Height, c.Expected.Height);
  // Not managed: no frame, no focus, no taskbar entry.
  auto* attributes = xcb_get_window_attributes_reply(
      FDisplay.Get(), xcb_get_window_attributes(FDisplay.Get(), label), nullptr);
  ASSERT_NE(attributes, nullptr);
  EXPECT_TRUE(attributes->override_redirect);
  std::free(attributes);
}

INSTANTIATE_TEST_SUITE_P(Regions, LabelPlaceTest,
                         ::testing::Values(TPlaceCase{"WholeScreen", {}, {-2, -2, 1924, 1084}},
                                           TPlaceCase{"Region",
                                                      {{"capture_offset", "10,10"},
                                                       {"video_size", "320x240"}},
                                                      {8, 8, 324, 244}}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Label); });

TEST_F(RecLabelTest, ShowsOnlyTheWordAndBlinksOnceStarted) {
  TPatternWindow below(FDisplay, 0, 0, 400, 300);
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0",
                       {{"capture_offset", "100,100"},
                        {"video_size", "200x100"},
                        {"capture_flags", "showframe"},
                        {"framerate", "5"}},
                       AVFMT_FLAG_NONBLOCK),
            0);
  const xcb_window_t label = Label();
  const std::vector<xcb_rectangle_t> shape = FDisplay.BoundingShape(label);
  ASSERT_FALSE(shape.empty());
  int area = 0;
  for (const xcb_rectangle_t& r : shape) {
    // The letters stand near the top-left corner, at (5, 5) and about 15 points high.
    EXPECT_GE(r.x, 5);
    EXPECT_GE(r.y, 5);
    EXPECT_LE(r.x + r.width, 5 + 60);
    EXPECT_LE(r.y + r.height, 5 + 25);
    area += r.width * r.height;
  }
  EXPECT_GT(area, 100);
  // The same pixels as the word (the server may band the rectangles anew).
  EXPECT_EQ(Mask(shape), Mask(RecTextShape()));

  // The label's top-left is at (98, 98); a letter pixel and one beside the word.
  const int letterX = 98 + shape[0].x, letterY = 98 + shape[0].y;
  EXPECT_EQ(FDisplay.ScreenPixel(letterX, letterY), kYellow);
  EXPECT_EQ(FDisplay.ScreenPixel(98 + 100, 98 + 50), PatternColour(198, 148))
      << "the rest of the label lets the window below show";

  // No blinking before the first read.
  for (int i = 0; i < 7; ++i) {
    SleepFor(milliseconds(100));
    EXPECT_EQ(FDisplay.ScreenPixel(letterX, letterY), kYellow) << "at " << i * 100 << " ms";
  }
  TPacketPtr packet = NewPacket();
  input.ReadPacket(packet.get());
  EXPECT_TRUE(WaitForColour(letterX, letterY, kBlue, milliseconds(2000)));
  EXPECT_TRUE(WaitForColour(letterX, letterY, kYellow, milliseconds(2000)));
  EXPECT_TRUE(WaitForColour(letterX, letterY, kBlue, milliseconds(2000)));
}

// A window mapped over the label, which a busy desktop does all the time,
// does not hide it for more than a moment, again and again.
TEST_F(RecLabelTest, ComesBackOnTopOfWhatCoversIt) {
  TCaptureInput input;
  ASSERT_EQ(OpenOnScreen(input), 0);
  const xcb_window_t label = Label();
  const std::vector<xcb_rectangle_t> shape = FDisplay.BoundingShape(label);
  ASSERT_FALSE(shape.empty());
  const int letterX = 98 + shape[0].x, letterY = 98 + shape[0].y;
  ASSERT_EQ(FDisplay.ScreenPixel(letterX, letterY), kYellow);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    TColourWindow cover(FDisplay, 50, 50, 300, 200, {0, 128, 0});
    EXPECT_TRUE(WaitForColour(letterX, letterY, kYellow, milliseconds(300)));
    EXPECT_EQ(FDisplay.TopChild(), label);
  }
}

// Under a compositing manager the server reports every window as
// unobscured, so the label cannot wait to be told that it is covered. A
// window that changes nothing of what shows (input only) tells nothing
// either, as a covering window there does not.
TEST_F(RecLabelTest, UnderACompositingManagerComesBackOnTopWithoutBeingTold) {
  xcb_connection_t* connection = FDisplay.Get();
  const auto newWindow = [&](int AX, int AY, int AWidth, int AHeight) {
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, 0, window, FDisplay.Root(), static_cast<int16_t>(AX),
                      static_cast<int16_t>(AY), static_cast<uint16_t>(AWidth),
                      static_cast<uint16_t>(AHeight), 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    return window;
  };
  const char* const name = "_NET_WM_CM_S0";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
      nullptr);
  ASSERT_TRUE(atom);
  const xcb_window_t manager = newWindow(0, 0, 1, 1);
  xcb_set_selection_owner(connection, manager, atom->atom, XCB_CURRENT_TIME);
  std::free(atom);
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  TCaptureInput input;
  ASSERT_EQ(OpenOnScreen(input), 0);
  const xcb_window_t label = Label();
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const xcb_window_t cover = newWindow(50, 50, 300, 200);
    xcb_map_window(connection, cover);
    xcb_flush(connection);
    SleepFor(milliseconds(100));
    EXPECT_EQ(FDisplay.TopChild(), label) << "on top within 100 ms, long before the next flash";
    xcb_destroy_window(connection, cover);
  }
  xcb_destroy_window(connection, manager);
  xcb_flush(connection);
}

// A label whose connection the server ends (a user's "kill this window")
// leaves the recording going and costs nothing from then on.
TEST_F(RecLabelTest, ALabelWhoseConnectionEndsCostsNothing) {
  TCaptureInput input;
  ASSERT_EQ(OpenOnScreen(input), 0);
  xcb_kill_client(FDisplay.Get(), Label());
  std::free(
      xcb_get_input_focus_reply(FDisplay.Get(), xcb_get_input_focus(FDisplay.Get()), nullptr));
  SleepFor(milliseconds(200));
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  SleepFor(milliseconds(1000));
  getrusage(RUSAGE_SELF, &after);
  const auto seconds = [](const timeval& A) { return A.tv_sec + A.tv_usec / 1e6; };
  const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                     seconds(before.ru_stime);
  EXPECT_LT(cpu, 0.25) << "CPU seconds in one second";
  TPacketPtr packet = NewPacket();
  EXPECT_GT(input.ReadPacket(packet.get()), 0) << "the recording goes on";
}

TEST_F(RecLabelTest, FollowsTheCapturedWindow) {
  TPatternWindow window(FDisplay, 300, 200, 320, 240);
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=" + std::to_string(window.Id()),
                       {{"capture_offset", "20,10"}, {"capture_flags", "showframe+client"}}),
            0);
  const xcb_window_t label = Label();
  TXRect rect = FDisplay.Geometry(label);
  EXPECT_EQ(rect.X, 318);
  EXPECT_EQ(rect.Y, 208);
  EXPECT_EQ(rect.Width, 304);
  EXPECT_EQ(rect.Height, 234);
  window.Move(600, 400);
  const auto end = steady_clock::now() + milliseconds(2000);
  while ((rect = FDisplay.Geometry(label)).X != 618 && steady_clock::now() < end)
    SleepFor(milliseconds(10));
  EXPECT_EQ(rect.X, 618);
  EXPECT_EQ(rect.Y, 408);
  EXPECT_EQ(FDisplay.TopChild(), label) << "raised above the window it follows";
}

} // namespace
