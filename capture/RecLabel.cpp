// The "Rec" label (see RecLabel.h).
#include "RecLabel.h"

#include "CaptureDevice.h"
#include "ScreenSource.h"
#include "WindowGeometry.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace {

// Which colour the next flash shows, shared by every label of the program:
// false yellow, true blue.
std::atomic<bool> LabelColourIndex{true};

constexpr int kFlashTicks = 50;                       // flashes every 50 ticks ...
constexpr auto kTick = std::chrono::milliseconds(10); // ... of 10 ms
constexpr auto kFlashInterval = kFlashTicks * kTick;

// The letters on a grid of 2-pixel cells; capitals 7 cells high, small
// letters 5, on one base line.
constexpr int kCell = 2;
constexpr int kTextLeft = 5, kTextTop = 5;
struct TGlyph {
  int Top; // first row below the cap line
  const char* Rows[7];
};
constexpr TGlyph kGlyphs[] = {
    {0, {"#####.", "##..##", "##..##", "#####.", "##.##.", "##..##", "##..##"}},
    {2, {".###.", "##.##", "#####", "##...", ".####", nullptr, nullptr}},
    {2, {".####", "##...", "##...", "##...", ".####", nullptr, nullptr}},
};

} // namespace

std::vector<xcb_rectangle_t> RecTextShape() {
  std::vector<xcb_rectangle_t> shape;
  int left = kTextLeft;
  for (const TGlyph& glyph : kGlyphs) {
    int width = 0;
    for (int row = 0; row < 7 && glyph.Rows[row]; ++row) {
      const std::string_view cells = glyph.Rows[row];
      width = static_cast<int>(cells.size());
      for (size_t x = 0; x < cells.size();) {
        if (cells[x] != '#') {
          ++x;
          continue;
        }
        size_t end = x;
        while (end < cells.size() && cells[end] == '#')
          ++end;
        shape.push_back({static_cast<int16_t>(left + static_cast<int>(x) * kCell),
                         static_cast<int16_t>(kTextTop + (glyph.Top + row) * kCell),
                         static_cast<uint16_t>((end - x) * kCell), static_cast<uint16_t>(kCell)});
        x = end;
      }
    }
    left += (width + 1) * kCell;
  }
  return shape;
}

TFlashThread::TFlashThread(TFrameForm& AForm) : FForm(AForm) {}

TFlashThread::~TFlashThread() {
  Terminate();
}

void TFlashThread::Start() {
  FThread.Start([this] { Execute(); });
}

void TFlashThread::Terminate() {
  FSleep.Interrupt();
  FThread.Join();
}

void TFlashThread::Execute() {
  // Under a compositing manager, for which the server reports every window
  // as unobscured, the ticks do both kinds of work.
  if (FForm.FollowsWindow() || FForm.ScreenComposited())
    FollowWindow();
  else
    WatchCover();
}

void TFlashThread::FollowWindow() {
  int count = 0;
  do {
    if (++count == kFlashTicks) {
      FForm.Flash();
      count = 0;
    }
    FForm.UpdatePosition();
  } while (FSleep.SleepFor(std::chrono::microseconds(kTick).count()));
}

void TFlashThread::WatchCover() {
  using TClock = std::chrono::steady_clock;
  FForm.WatchVisibility();
  FForm.Raise();
  TClock::time_point nextFlash = TClock::now() + kFlashInterval;
  // A raise waits until a tick after the one before: two labels that
  // cover each other take turns on top no faster than the ticks did.
  TClock::time_point lastRaise = TClock::now(), raiseAt = TClock::time_point::max();
  for (;;) {
    if (!WaitUntil(std::min(nextFlash, raiseAt))) return;
    if (FForm.TakeCovered() && raiseAt == TClock::time_point::max())
      raiseAt = std::max(TClock::now(), lastRaise + kTick);
    const TClock::time_point now = TClock::now();
    if (now >= nextFlash) {
      FForm.Flash(); // raises it too
      nextFlash += kFlashInterval;
      if (nextFlash < now) nextFlash = now + kFlashInterval;
      lastRaise = now;
      raiseAt = TClock::time_point::max();
    } else if (now >= raiseAt) {
      FForm.Raise();
      lastRaise = now;
      raiseAt = TClock::time_point::max();
    }
  }
}

bool TFlashThread::WaitUntil(std::chrono::steady_clock::time_point ADeadline) {
  const auto left =
      std::chrono::ceil<std::chrono::microseconds>(ADeadline - std::chrono::steady_clock::now());
  // The connection only sends here, so xcb reads its socket only when
  // TakeCovered asks: whatever came since then shows on the socket. A
  // deadline now or past still looks whether the thread is to end.
  if (left.count() <= 0) return !FSleep.IsInterrupted();
  return FSleep.SleepFor(std::min<int64_t>(left.count(), 1000000), FForm.ConnectionDescriptor());
}

std::unique_ptr<TFrameForm> TFrameForm::Create(TGdiCaptureDevice& ADevice) {
  std::unique_ptr<TFrameForm> form(new TFrameForm(ADevice));
  if (const int error = form->Open()) {
    AV.av_log(ADevice.Owner, AV_LOG_WARNING,
              "Could not show the \"Rec\" label: X error %d, capturing without it.\n", error);
    return nullptr;
  }
  form->FFlashThread.Start();
  return form;
}

TFrameForm::~TFrameForm() {
  FFlashThread.Terminate();
  FWindow.Destroy();
}

int TFrameForm::Open() {
  if (const int error = FConnection.Open()) return error;
  if (!TShapedWindow::Available(FConnection.Get())) return -1;
  FColours[0] = FConnection.PixelOf(255, 255, 0);
  FColours[1] = FConnection.PixelOf(0, 0, 255);
  if (!TargetOrigin(FX, FY)) return XCB_WINDOW;
  const TScreenSource& screen = *FDevice.Screen;
  const TXRect bounds{FX, FY, screen.Width() + 2 * kBorderWidth,
                      screen.Height() + 2 * kBorderWidth};
  return FWindow.Create(FConnection, bounds, FColours[0], RecTextShape());
}

bool TFrameForm::TargetOrigin(int& AX, int& AY) {
  const TScreenSource& screen = *FDevice.Screen;
  TXRect origin;
  // The window ids are the server's, so this connection reads where the
  // grab's drawable stands.
  if (screen.Window() != 0 &&
      WindowRect(FConnection.Get(), FConnection.Root(), screen.Drawable(), origin))
    return false;
  AX = origin.X + screen.OffsetX() - kBorderWidth;
  AY = origin.Y + screen.OffsetY() - kBorderWidth;
  return true;
}

bool TFrameForm::FollowsWindow() const {
  return FDevice.Screen->Window() != 0;
}

bool TFrameForm::TakeCovered() {
  bool covered = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(FConnection.Get())) {
    // Errors of the requests sent without waiting are dropped with the rest.
    if ((event->response_type & 0x7f) == XCB_VISIBILITY_NOTIFY &&
        reinterpret_cast<xcb_visibility_notify_event_t*>(event)->state != XCB_VISIBILITY_UNOBSCURED)
      covered = true;
    std::free(event);
  }
  return covered;
}

void TFrameForm::UpdatePosition() {
  int x = FX, y = FY;
  if (TargetOrigin(x, y) && (x != FX || y != FY)) {
    FX = x;
    FY = y;
    FWindow.MoveAbove(x, y);
  } else {
    FWindow.Raise();
  }
  FConnection.DiscardEvents();
}

void TFrameForm::Flash() {
  if (FDevice.Started) {
    const bool index = LabelColourIndex.load();
    FWindow.SetColour(FColours[index ? 1 : 0]);
    LabelColourIndex = !index;
  }
  FWindow.Raise();
}
