// The preview window on a private X server: a task's thread shows frames
// while the main thread serves its queue; the window opens centred at the
// frame's size with the frame's pixels and the frame's time as caption, is
// dragged by a press anywhere, ends the preview for good when the user
// closes it, and is freed in the main thread.
#include "PreviewerForm.h"
#include "Bitmap.h"
#include "LibAV.h"
#include "MainThread.h"
#include "LibAVForTests.h"
#include "MediaFiles.h"
#include "Previewer.h"
#include "RecorderStrings.h"
#include "TaskRun.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Serves the main-thread queue and Qt's events for AMilliseconds, or until
// AReady answers true.
bool PumpUntil(const std::function<bool()>& AReady, int AMilliseconds = 3000) {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    TMainThread::ProcessWait(5ms);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (AReady && AReady()) return true;
    if (timer.elapsed() > AMilliseconds) return false;
  }
}

// Runs AWork in a thread of its own, as a task's thread runs the preview
// step, while this thread is the main thread.
void RunAsTask(const std::function<void()>& AWork) {
  std::atomic<bool> done{false};
  std::thread task([&] {
    AWork();
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 60000);
  task.join();
}

TPreviewerForm* FindForm() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->objectName() == "PreviewerForm") return dynamic_cast<TPreviewerForm*>(widget);
  return nullptr;
}

// Four quadrants, red, green / blue, white: colours every depth holds
// exactly, placed so that a picture upside down or mirrored shows.
QRgb QuadrantColour(int AX, int AY, int AWidth, int AHeight) {
  static const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                  qRgb(255, 255, 255)};
  return colours[(AY >= AHeight / 2 ? 2 : 0) + (AX >= AWidth / 2 ? 1 : 0)];
}

// A bitmap of the quadrants in ABitsPixel, written as the engine's bitmaps
// store each depth.
TBitmap QuadrantBitmap(int AWidth, int AHeight, int ABitsPixel) {
  TBitmap bitmap(AWidth, AHeight, ABitsPixel);
  if (ABitsPixel == 8) bitmap.Palette() = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF};
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x) {
      const QRgb c = QuadrantColour(x, y, AWidth, AHeight);
      const int r = qRed(c), g = qGreen(c), b = qBlue(c);
      uint8_t* row = bitmap.ScanLine(y);
      switch (ABitsPixel) {
      case 32:
        row[4 * x] = static_cast<uint8_t>(b);
        row[4 * x + 1] = static_cast<uint8_t>(g);
        row[4 * x + 2] = static_cast<uint8_t>(r);
        row[4 * x + 3] = 0;
        break;
      case 24:
        row[3 * x] = static_cast<uint8_t>(b);
        row[3 * x + 1] = static_cast<uint8_t>(g);
        row[3 * x + 2] = static_cast<uint8_t>(r);
        break;
      case 16:
      case 15: {
        const uint16_t word =
            ABitsPixel == 16 ? static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                             : static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        std::memcpy(row + 2 * x, &word, 2);
        break;
      }
      case 8:
        row[x] = static_cast<uint8_t>((y >= AHeight / 2 ? 2 : 0) + (x >= AWidth / 2 ? 1 : 0));
        break;
      }
    }
  return bitmap;
}

// How many pixels of the screen's AArea differ from the quadrants.
int ScreenMismatches(const QRect& AArea) {
  const QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, AArea.x(), AArea.y(), AArea.width(), AArea.height())
                          .toImage()
                          .convertToFormat(QImage::Format_RGB32);
  if (shot.size() != AArea.size()) return AArea.width() * AArea.height();
  int wrong = 0;
  for (int y = 0; y < AArea.height(); ++y)
    for (int x = 0; x < AArea.width(); ++x)
      if ((shot.pixel(x, y) & 0xFFFFFF) !=
          (QuadrantColour(x, y, AArea.width(), AArea.height()) & 0xFFFFFF))
        ++wrong;
  return wrong;
}

// The user closes the window the way a window manager tells a program:
// WM_DELETE_WINDOW from another client.
void SendDeleteWindow(WId AWindow) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  ASSERT_EQ(xcb_connection_has_error(connection), 0);
  auto atom = [&](const char* AName) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(AName)), AName), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
  };
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = static_cast<xcb_window_t>(AWindow);
  event.type = atom("WM_PROTOCOLS");
  event.data.data32[0] = atom("WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
  // A round trip, so that the server has sent the event before this client
  // leaves.
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  xcb_disconnect(connection);
}

class PreviewWindow : public testing::Test {
protected:
  void TearDown() override {
    PumpUntil([] { return FindForm() == nullptr; }, 1000);
  }
};

class PreviewWindowDepths : public PreviewWindow, public testing::WithParamInterface<int> {};

TEST_P(PreviewWindowDepths, ShowsTheFrameCentredAtItsSize) {
  const int width = 62, height = 46; // rows padded in every depth but 32
  const TBitmap bitmap = QuadrantBitmap(width, height, GetParam());
  TPreviewer previewer;
  bool shown = false;
  TPreviewerForm* form = nullptr;
  QImage drawn;
  RunAsTask([&] {
    shown = previewer.ShowFrame(bitmap, 1, 1234567);
    // Drawn before ShowFrame returned: the task may reuse its bitmap now.
    form = FindForm();
    if (form) drawn = form->Picture().convertToFormat(QImage::Format_RGB32);
  });
  EXPECT_TRUE(shown);
  ASSERT_NE(form, nullptr);
  ASSERT_EQ(drawn.size(), QSize(width, height));
  EXPECT_EQ(drawn.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(drawn.pixel(width - 1, height - 1) & 0xFFFFFF, 0xFFFFFFu);

  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->windowTitle().toStdString(), "00:00:01.239");
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QRect expected((screen.width() - width) / 2, (screen.height() - height) / 2, width, height);
  EXPECT_EQ(form->geometry(), expected);
  EXPECT_TRUE(PumpUntil([&] { return ScreenMismatches(expected) == 0; }))
      << ScreenMismatches(expected) << " pixels on the screen differ from the frame";
}

INSTANTIATE_TEST_SUITE_P(Depths, PreviewWindowDepths, testing::Values(32, 24, 16, 15, 8),
                         [](const auto& info) { return std::to_string(info.param) + "Bits"; });

TEST_F(PreviewWindow, TheCaptionFollowsEachFrame) {
  const TBitmap bitmap = QuadrantBitmap(32, 24, 32);
  TPreviewer previewer;
  std::string captions[3];
  RunAsTask([&] {
    const int64_t times[3] = {0, AV_NOPTS_VALUE, ((1 * 60 + 2) * 60 + 3) * INT64_C(1000000)};
    for (int i = 0; i < 3; ++i) {
      previewer.ShowFrame(bitmap, i + 1, times[i]);
      captions[i] = FindForm()->windowTitle().toStdString();
    }
  });
  EXPECT_EQ(captions[0], "00:00:00.005");
  EXPECT_EQ(captions[1], "N/A");
  EXPECT_EQ(captions[2], "01:02:03.005");
}

TEST_F(PreviewWindow, ClosedByTheUserItShowsNoFrameAgain) {
  const TBitmap first = QuadrantBitmap(40, 30, 32);
  TBitmap second(40, 30, 32); // black
  TPreviewer previewer;
  RunAsTask([&] { ASSERT_TRUE(previewer.ShowFrame(first, 1, 0)); });
  TPreviewerForm* form = FindForm();
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return form->windowHandle() && form->windowHandle()->isExposed(); }));

  SendDeleteWindow(form->winId());
  ASSERT_TRUE(PumpUntil([&] { return !form->isVisible(); })) << "the window did not close";
  EXPECT_TRUE(previewer.Closed());

  bool answers[2] = {true, true};
  RunAsTask([&] {
    answers[0] = previewer.ShowFrame(second, 2, 100000);
    answers[1] = previewer.ShowFrame(second, 3, 200000);
  });
  EXPECT_FALSE(answers[0]) << "the preview step stops feeding a closed window";
  EXPECT_FALSE(answers[1]);
  EXPECT_FALSE(form->isVisible()) << "a closed preview is not shown again";
  EXPECT_EQ(FindForm(), form) << "the window lives until its previewer is freed";
  EXPECT_EQ(form->Picture().pixel(0, 0) & 0xFFFFFF, 0xFF0000u) << "nothing was drawn after closing";
  EXPECT_EQ(form->windowTitle().toStdString(), "00:00:00.005");
  EXPECT_FALSE(QCoreApplication::closingDown());
}

TEST_F(PreviewWindow, IsDraggedByAPressAnywhereInIt) {
  const TBitmap bitmap = QuadrantBitmap(100, 80, 32);
  TPreviewer previewer;
  RunAsTask([&] { previewer.ShowFrame(bitmap, 1, 0); });
  TPreviewerForm* form = FindForm();
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return form->windowHandle() && form->windowHandle()->isExposed(); }));
  const QPoint start = form->pos();
  const QPoint press = start + QPoint(70, 60); // in the picture, far from any caption
  auto xdotool = [](const std::string& AArgs) {
    return std::system(("xdotool " + AArgs + " >/dev/null 2>&1").c_str());
  };
  ASSERT_EQ(xdotool("mousemove " + std::to_string(press.x()) + " " + std::to_string(press.y())), 0);
  PumpUntil(nullptr, 100);
  ASSERT_EQ(xdotool("mousedown 1"), 0);
  PumpUntil(nullptr, 100);
  for (int step = 1; step <= 5; ++step) {
    xdotool("mousemove " + std::to_string(press.x() + 10 * step) + " " +
            std::to_string(press.y() + 6 * step));
    PumpUntil(nullptr, 50);
  }
  xdotool("mouseup 1");
  EXPECT_TRUE(PumpUntil([&] { return form->pos() == start + QPoint(50, 30); }))
      << "the window is at " << form->pos().x() << "," << form->pos().y() << ", was at "
      << start.x() << "," << start.y();
}

TEST_F(PreviewWindow, IsFreedInTheMainThreadWhenATaskFreesItsPreviewer) {
  const TBitmap bitmap = QuadrantBitmap(20, 20, 32);
  auto previewer = std::make_unique<TPreviewer>();
  bool gone = false;
  RunAsTask([&] {
    previewer->ShowFrame(bitmap, 1, 0);
    previewer.reset();
    gone = FindForm() == nullptr;
  });
  EXPECT_TRUE(gone) << "the window outlived its previewer";
}

TEST_F(PreviewWindow, ATaskWithThePreviewOnShowsItsFramesThereAtMostEachInterval) {
  LoadLibAVForTest();
  TTempFolder folder;
  TTaskRun run;
  // Read at its own rate, as a recording comes.
  ASSERT_TRUE(run.Add(LavfiCaptureLike(320, 240, "bgr0", 15, false, 2), "-f lavfi -re -r 15",
                      folder.File("previewed.mkv"), RecorderContainers()[4].Options))
      << run.Error;
  run.Encoder.SetPreview(true);
  run.Start();
  QSize size;
  std::vector<std::string> captions;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (const TPreviewerForm* form = FindForm()) {
          size = form->Picture().size();
          const std::string caption = form->windowTitle().toStdString();
          if (captions.empty() || captions.back() != caption) captions.push_back(caption);
        }
        return !run.Notices.empty() && run.Notices.back().TaskIndex == -1;
      },
      60000));
  EXPECT_TRUE(run.Notices[0].Finished) << run.Notices[0].ExceptionMsg;
  EXPECT_EQ(size, QSize(320, 240));
  // 2 s of frames, one shown at most every 100 ms.
  EXPECT_GE(captions.size(), 5u);
  EXPECT_LE(captions.size(), 21u);
  EXPECT_EQ(FindForm(), nullptr) << "the window ends with the run";
}

} // namespace
