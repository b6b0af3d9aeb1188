// The "Rec" label (see RecLabel.h).
#include "RecLabel.h"

#include "CaptureDevice.h"
#include "ScreenSource.h"
#include "WindowGeometry.h"

#include <chrono>
#include <string_view>

namespace {

// Which colour the next flash shows, shared by every label of the program:
// false yellow, true blue.
std::atomic<bool> LabelColourIndex{true};

constexpr int kFlashTicks = 50;                       // flashes every 50 ticks ...
constexpr auto kTick = std::chrono::milliseconds(10); // ... of 10 ms

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

void TFlashThread::Start() {
  FThread.Start([this] { Execute(); });
}

void TFlashThread::Terminate() {
  FTerminated.Set();
  FThread.Join();
}

void TFlashThread::Execute() {
  int count = 0;
  do {
    if (++count == kFlashTicks) {
      FForm.Flash();
      count = 0;
    }
    FForm.UpdatePosition();
  } while (!FTerminated.WaitFor(kTick));
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
