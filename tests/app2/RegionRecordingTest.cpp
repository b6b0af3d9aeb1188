// A region picked with the picker, recorded as the recorder records it: the
// capture device at the edits' offset and size, through the engine into a
// file, whose pictures show the picked window.
#include "GDICapture.h"
#include "LibAVForTests.h"
#include "MediaFiles.h"
#include "MediaProbe.h"
#include "QtDesk.h"
#include "RecorderStrings.h"
#include "RegionSelection.h"
#include "TaskRun.h"
#include "WindowGeometry.h"
#include "XDesk.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace std::chrono_literals;

struct TRgb24 {
  int R = 0, G = 0, B = 0;
};

// The last picture of AFile's video as rows of R, G, B.
std::vector<uint8_t> LastPicture(const std::string& AFile, int& AWidth, int& AHeight) {
  std::vector<uint8_t> rgb;
  ForEachVideoPicture(AFile, [&](const AVFrame& AFrame) {
    AWidth = AFrame.width;
    AHeight = AFrame.height;
    rgb = PackedPicture(AFrame, AV_PIX_FMT_RGB24);
  });
  return rgb;
}

int Even(int AValue) {
  return AValue - AValue % 2;
}

TEST(TRegionRecordingTest, ARecordingOfAPickedWindowShowsThatWindow) {
  LoadLibAVForTest();
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  RegisterGdiCaptureDevice();
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  ASSERT_EQ(xcb_connection_has_error(connection), 0);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  {
    // A dialog with a grey panel that holds a red and a blue part.
    TTestWindow dialog(connection, 300, 200, 400, 300, 0x303030);
    ASSERT_TRUE(dialog.WaitListed());
    TTestWindow panel(connection, 20, 20, 240, 160, 0x808080, dialog.Id());
    TTestWindow red(connection, 10, 10, 110, 140, 0xE00000, panel.Id());
    TTestWindow blue(connection, 120, 10, 110, 140, 0x0000E0, panel.Id());
    ASSERT_TRUE(blue.WaitViewable());
    TXRect at;
    ASSERT_EQ(WindowRect(connection, root, panel.Id(), at), 0);

    QLineEdit left, top, width, height;
    TRegionSelection region(nullptr, {&left, &top, &width, &height, nullptr});
    region.btnSelectClick();
    TfrmScreenShots* picker = region.Picker();
    ASSERT_TRUE(WaitFor([&] { return picker->isVisible(); }));
    // A click on the panel's margin takes the panel.
    ASSERT_TRUE(Xdotool({"mousemove", std::to_string(at.X + 4), std::to_string(at.Y + 4)}));
    ASSERT_TRUE(WaitFor([&] { return picker->HoverRect() == QRect(at.X, at.Y, 240, 160); }));
    ASSERT_TRUE(Xdotool({"click", "1"}));
    ASSERT_TRUE(WaitFor([&] { return picker->State() == TfrmScreenShots::stSelected; }));
    picker->SBPrintClick();
    ASSERT_TRUE(WaitFor([&] { return !picker->isVisible(); }));
    Xdotool({"mousemove", "1900", "1000"});
    Pump(300ms); // the windows below are drawn again

    // The recorder's input string from the edits, sizes made even.
    const int w = Even(width.text().toInt()), h = Even(height.text().toInt());
    const std::string input = " -f gdicapture  -capture_offset " + left.text().toStdString() + "," +
                              top.text().toStdString() +
                              " -capture_flags +showframe+client-cursor  -s " + std::to_string(w) +
                              "x" + std::to_string(h) + " -r 15 ";
    const auto& mkv =
        *std::find_if(RecorderContainers().begin(), RecorderContainers().end(),
                      [](const auto& c) { return std::string(c.Extension) == "mkv"; });
    TTempFolder folder;
    const std::string file = folder.File("region.mkv");
    {
      TTaskRun run;
      ASSERT_TRUE(run.Add("video=0", input, file, WithSize(mkv.Options, w, h))) << run.Error;
      run.Start();
      TTaskRun::Serve(1500ms);
      run.Encoder.Stop(true);
      ASSERT_TRUE(run.WaitForEnd());
    }
    int pictureWidth = 0, pictureHeight = 0;
    const std::vector<uint8_t> rgb = LastPicture(file, pictureWidth, pictureHeight);
    ASSERT_EQ(pictureWidth, w);
    ASSERT_EQ(pictureHeight, h);
    SaveScreenshot(
        QImage(rgb.data(), pictureWidth, pictureHeight, pictureWidth * 3, QImage::Format_RGB888)
            .copy(),
        "region-recording-last-picture");
    SaveScreenshot(ScreenImage(), "region-recording-screen");
    auto pixel = [&](int AX, int AY) {
      const uint8_t* p = &rgb[(static_cast<size_t>(AY) * pictureWidth + AX) * 3];
      return TRgb24{p[0], p[1], p[2]};
    };
    const struct {
      const char* What;
      int X, Y;
      TRgb24 Colour;
    } expected[] = {
        // (The device's "Rec" label stands in the top left corner.)
        {"the panel's left margin", 4, 80, {0x80, 0x80, 0x80}},
        {"the panel's right margin", 234, 80, {0x80, 0x80, 0x80}},
        {"the red part", 60, 80, {0xE0, 0, 0}},
        {"the blue part", 170, 80, {0, 0, 0xE0}},
        {"the panel below them", 120, 155, {0x80, 0x80, 0x80}},
    };
    for (const auto& e : expected) {
      const TRgb24 seen = pixel(e.X, e.Y);
      // The file's pictures are compressed with loss.
      EXPECT_NEAR(seen.R, e.Colour.R, 24) << e.What;
      EXPECT_NEAR(seen.G, e.Colour.G, 24) << e.What;
      EXPECT_NEAR(seen.B, e.Colour.B, 24) << e.What;
    }
  }
  xcb_disconnect(connection);
}

} // namespace
