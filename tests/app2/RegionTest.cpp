// Region selection on a private X server with a window manager: the green
// region frame (only its ring is opaque), the warnings for edits that are
// not numbers, the full-screen button, and the picker driven by the real
// pointer (xdotool): snapping to a window, drawing, resizing, moving, the
// tool panel, the magnifier, right clicks, "Ok" and "Cancel".
#include "QtDesk.h"
#include "RegionSelection.h"
#include "WindowGeometry.h"
#include "XDesk.h"

#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const QColor kGreen(0x00, 0x80, 0x00);
constexpr uint32_t kBluePixel = 0x2040C0, kRedPixel = 0xC02020;
const QColor kBlue(0x20, 0x40, 0xC0), kRed(0xC0, 0x20, 0x20);

std::string Text(int AValue) {
  return std::to_string(AValue);
}

class TRegionTest : public ::testing::Test {
protected:
  void SetUp() override {
    FConnection = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(FConnection), 0);
    for (QLineEdit* edit : {&FLeft, &FTop, &FWidth, &FHeight})
      edit->setEnabled(false);
    FRegion = std::make_unique<TRegionSelection>(
        nullptr, TRegionEdits{&FLeft, &FTop, &FWidth, &FHeight,
                              [this](const QString& AText) { FStatus = AText; }});
  }
  void TearDown() override {
    FRegion.reset();
    FWindows.clear();
    xcb_disconnect(FConnection);
    Xdotool({"mouseup", "1"});
  }
  // Another program's window, managed by the window manager.
  TTestWindow& Window(int AX, int AY, int AWidth, int AHeight, uint32_t APixel,
                      xcb_window_t AParent = XCB_WINDOW_NONE) {
    FWindows.push_back(
        std::make_unique<TTestWindow>(FConnection, AX, AY, AWidth, AHeight, APixel, AParent));
    EXPECT_TRUE(FWindows.back()->WaitViewable());
    if (AParent == XCB_WINDOW_NONE) {
      EXPECT_TRUE(FWindows.back()->WaitListed());
    }
    Pump(std::chrono::milliseconds(100)); // drawn by the server
    return *FWindows.back();
  }
  void SetEdits(const QString& ALeft, const QString& ATop, const QString& AWidth,
                const QString& AHeight) {
    FLeft.setText(ALeft);
    FTop.setText(ATop);
    FWidth.setText(AWidth);
    FHeight.setText(AHeight);
  }
  std::vector<std::string> Edits() const {
    return {FLeft.text().toStdString(), FTop.text().toStdString(), FWidth.text().toStdString(),
            FHeight.text().toStdString()};
  }

  xcb_connection_t* FConnection = nullptr;
  std::vector<std::unique_ptr<TTestWindow>> FWindows;
  QLineEdit FLeft, FTop, FWidth, FHeight;
  QString FStatus;
  std::unique_ptr<TRegionSelection> FRegion;
};

// ---- The region frame ----------------------------------------------------------------------

TEST_F(TRegionTest, OnlyATwoPixelRingAroundTheRegionIsOpaque) {
  Window(100, 100, 700, 500, kBluePixel);
  SetEdits("200", "150", "300", "100");
  FRegion->btnShowClick();
  ASSERT_NE(FRegion->Frame(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return ScreenPixel(199, 200) == kGreen; }));
  const QImage screen = ScreenImage();
  SaveScreenshot(screen.copy(150, 100, 400, 200), "region-frame");
  // The region is x 200..499, y 150..249; the ring is the two pixels around it.
  const struct {
    int X, Y;
    bool Green;
  } pixels[] = {
      {198, 200, true},  {199, 200, true},  {200, 200, false}, {197, 200, false}, {500, 200, true},
      {501, 200, true},  {499, 200, false}, {502, 200, false}, {300, 148, true},  {300, 149, true},
      {300, 150, false}, {300, 147, false}, {300, 250, true},  {300, 251, true},  {300, 249, false},
      {300, 252, false}, {198, 148, true},  {501, 251, true},  {350, 200, false},
  };
  for (const auto& p : pixels) {
    const QColor seen = screen.pixelColor(p.X, p.Y);
    // Off the ring the window shows through.
    EXPECT_EQ(seen, p.Green ? kGreen : kBlue) << p.X << "," << p.Y;
  }
  // "Close Region" takes the ring away.
  FRegion->btnCloseClick();
  EXPECT_EQ(FRegion->Frame(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return ScreenPixel(199, 200) == kBlue; }));
}

TEST_F(TRegionTest, EditsThatAreNotNumbersWarnAndLeaveTheFrame) {
  SetEdits("40", "40", "100", "60");
  FRegion->btnShowClick();
  TRegionFrame* frame = FRegion->Frame();
  ASSERT_NE(frame, nullptr);
  const QRect shown = frame->geometry();
  const struct {
    const char *Left, *Top, *Width, *Height;
    const char* Message;
  } cases[] = {
      {"", "40", "100", "60", "'' is not a valid integer value"},
      {"40", "abc", "100", "60", "'abc' is not a valid integer value"},
      {"40", "40", "12x", "60", "'12x' is not a valid integer value"},
      {"40", "40", "100", " ", "' ' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    SetEdits(c.Left, c.Top, c.Width, c.Height);
    QString caption, message;
    WhenModal<QMessageBox>([&](QMessageBox* ABox) {
      caption = ABox->windowTitle();
      message = ABox->text();
      ABox->accept();
    });
    FRegion->btnShowClick();
    EXPECT_EQ(caption, "Warning");
    EXPECT_EQ(message.toStdString(), c.Message);
    EXPECT_EQ(FRegion->Frame(), frame) << "the frame stays as it was";
    EXPECT_EQ(frame->geometry(), shown);
  }
}

TEST_F(TRegionTest, TheFullScreenButtonFillsTheEdits) {
  SetEdits("5", "6", "7", "8");
  FRegion->btnDesktopClick();
  EXPECT_EQ(Edits(), (std::vector<std::string>{"0", "0", "1920", "1080"}));
  for (QLineEdit* edit : {&FLeft, &FTop, &FWidth, &FHeight})
    EXPECT_TRUE(edit->isEnabled());
  EXPECT_EQ(FStatus, "Recorder Status: Select full screen 1920 x 1080");
}

// ---- The picker ----------------------------------------------------------------------------

class TPickerTest : public TRegionTest {
protected:
  TfrmScreenShots* Open() {
    FRegion->btnSelectClick();
    TfrmScreenShots* picker = FRegion->Picker();
    EXPECT_TRUE(WaitFor([&] { return picker->isVisible(); }));
    Pump(std::chrono::milliseconds(100));
    return picker;
  }
  // Moves the pointer and waits until the picker has seen it there.
  void Move(int AX, int AY) {
    ASSERT_TRUE(Xdotool({"mousemove", Text(AX), Text(AY)}));
    ASSERT_TRUE(WaitFor([&] { return QCursor::pos() == QPoint(AX, AY); }));
    Pump(std::chrono::milliseconds(60));
  }
  void Drag(TfrmScreenShots* APicker, QPoint AFrom, QPoint ATo) {
    Move(AFrom.x(), AFrom.y());
    ASSERT_TRUE(Xdotool({"mousedown", "1"}));
    Pump(std::chrono::milliseconds(60));
    const QPoint middle = (AFrom + ATo) / 2;
    Move(middle.x(), middle.y());
    Move(ATo.x(), ATo.y());
    ASSERT_TRUE(Xdotool({"mouseup", "1"}));
    ASSERT_TRUE(WaitFor([&] { return APicker->State() == TfrmScreenShots::stSelected; }));
    Pump(std::chrono::milliseconds(60));
  }
  void Click(const char* AButton = "1") {
    ASSERT_TRUE(Xdotool({"click", AButton}));
    Pump(std::chrono::milliseconds(100));
  }
  void ClickOn(QWidget* AWidget) {
    const QPoint centre = AWidget->mapToGlobal(AWidget->rect().center());
    Move(centre.x(), centre.y());
    Click();
  }
};

TEST_F(TPickerTest, AClickWithoutMovementTakesTheWindowUnderThePointer) {
  TTestWindow& dialog = Window(600, 300, 400, 300, kBluePixel);
  TTestWindow& button = Window(50, 60, 120, 40, kRedPixel, dialog.Id());
  TXRect at;
  ASSERT_EQ(WindowRect(FConnection, xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root,
                       button.Id(), at),
            0);
  const QRect expected(at.X, at.Y, 120, 40);
  TfrmScreenShots* picker = Open();
  Move(at.X + 50, at.Y + 15);
  ASSERT_TRUE(WaitFor([&] { return picker->HoverRect() == expected; }))
      << "hovering the button inside the dialog";
  Click();
  ASSERT_EQ(picker->State(), TfrmScreenShots::stSelected);
  EXPECT_EQ(picker->Selection(), expected);
  // "Ok" writes the rectangle with its far corner excluded.
  ClickOn(picker->OkButton());
  EXPECT_FALSE(picker->isVisible());
  EXPECT_EQ(Edits(), (std::vector<std::string>{Text(at.X), Text(at.Y), "119", "39"}));
  EXPECT_EQ(FStatus, "Recorder Status: select region 119 x 39");
}

TEST_F(TPickerTest, ADragDrawsAFreeRectangleEvenFromInsideAWindow) {
  Window(80, 80, 400, 300, kBluePixel);
  TfrmScreenShots* picker = Open();
  Drag(picker, {100, 100}, {300, 200});
  EXPECT_EQ(picker->Selection(), QRect(QPoint(100, 100), QPoint(300, 200)));
  ASSERT_FALSE(picker->InfoLines().isEmpty());
  EXPECT_EQ(picker->InfoLines()[0], QString::fromUtf8("Selected Region: 201\u00D7101"));
  EXPECT_EQ(picker->InfoLines()[1], "Cursor Position: (X: 300, Y: 200)");
  EXPECT_EQ(picker->InfoRect(), QRect(106, 36, 240, 58));
  // The selection shows the desktop as it is, the rest is dimmed.
  const QImage screen = ScreenImage();
  SaveScreenshot(screen, "picker-selection");
  EXPECT_EQ(screen.pixelColor(150, 180), kBlue);
  const QColor dimmed = screen.pixelColor(460, 360);
  EXPECT_NEAR(dimmed.blue(), kBlue.blue() * 150 / 255, 3);
  EXPECT_NEAR(dimmed.red(), kBlue.red() * 150 / 255, 3);
  // The tool panel below the selection, at its right.
  QWidget* panel = picker->ToolPanel();
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->geometry(), QRect(300 - 113 - 6, 206, 113, 28));
  ClickOn(picker->OkButton());
  EXPECT_EQ(Edits(), (std::vector<std::string>{"100", "100", "200", "100"}));
  EXPECT_EQ(FStatus, "Recorder Status: select region 200 x 100");
}

TEST_F(TPickerTest, HandlesResizeAndTheInsideMoves) {
  TfrmScreenShots* picker = Open();
  Drag(picker, {400, 400}, {600, 500});
  const struct {
    const char* What;
    QPoint From, To;
    QRect Expected;
  } steps[] = {
      {"bottom right handle", {600, 500}, {700, 550}, QRect(QPoint(400, 400), QPoint(700, 550))},
      {"top middle handle", {550, 400}, {550, 350}, QRect(QPoint(400, 350), QPoint(700, 550))},
      {"left middle handle past the right",
       {400, 450},
       {800, 450},
       QRect(QPoint(700, 350), QPoint(800, 550))},
      {"top left handle", {700, 350}, {650, 300}, QRect(QPoint(650, 300), QPoint(800, 550))},
      {"the inside", {700, 400}, {760, 420}, QRect(QPoint(710, 320), QPoint(860, 570))},
      {"the inside, held at the screen's edge",
       {750, 400},
       {10, 390},
       QRect(QPoint(0, 310), QPoint(150, 560))},
      {"outside changes nothing",
       {1500, 900},
       {1600, 950},
       QRect(QPoint(0, 310), QPoint(150, 560))},
  };
  for (const auto& step : steps) {
    Drag(picker, step.From, step.To);
    EXPECT_EQ(picker->Selection(), step.Expected) << step.What;
  }
  // Over a handle and inside, the pointer shows what a drag would do.
  Move(150, 560);
  EXPECT_EQ(picker->cursor().shape(), Qt::SizeFDiagCursor);
  Move(75, 400);
  EXPECT_EQ(picker->cursor().shape(), Qt::SizeAllCursor);
  Move(1000, 900);
  EXPECT_EQ(picker->cursor().shape(), Qt::CrossCursor);
}

TEST_F(TPickerTest, TheToolPanelStaysOnTheScreen) {
  TfrmScreenShots* picker = Open();
  QWidget* panel = picker->ToolPanel();
  // Touching the bottom: above the selection, and the information box above it.
  Drag(picker, {500, 900}, {700, 1079});
  EXPECT_EQ(panel->geometry(), QRect(700 - 113 - 6, 900 - 28 - 6, 113, 28));
  EXPECT_EQ(picker->InfoRect().top(), 900 - 64 - 28 - 6);
  // The whole screen: inside it, and the information box inside as well.
  Click("3");
  Drag(picker, {0, 0}, {1919, 1079});
  EXPECT_EQ(panel->geometry(), QRect(1919 - 113 - 6, 6, 113, 28));
  EXPECT_EQ(picker->InfoRect(), QRect(6, 6, 240, 58));
  SaveScreenshot(ScreenImage(), "picker-full-screen");
}

TEST_F(TPickerTest, TheMagnifierFlipsNearTheBottomRightCorner) {
  TfrmScreenShots* picker = Open();
  const struct {
    QPoint Cursor, Box;
  } cases[] = {
      {{500, 500}, {515, 525}},
      {{1900, 1070}, {1900 + 15 - 150, 1070 + 25 - 150}},
      {{1900, 500}, {1900 + 15 - 150, 525}},
      {{500, 1070}, {515, 1070 + 25 - 150}},
  };
  for (const auto& c : cases) {
    Move(c.Cursor.x(), c.Cursor.y());
    ASSERT_TRUE(WaitFor([&] { return picker->MagnifierRect().topLeft() == c.Box; }))
        << c.Cursor.x() << "," << c.Cursor.y();
    EXPECT_EQ(picker->MagnifierRect().size(), QSize(130, 130));
  }
}

TEST_F(TPickerTest, RightClicksDropTheSelectionThenCancel) {
  QWidget main;
  main.setGeometry(1200, 100, 300, 200);
  main.show();
  ASSERT_TRUE(WaitFor([&] { return main.isVisible(); }));
  SetEdits("1", "2", "3", "4");
  TfrmScreenShots* picker = Open();
  Drag(picker, {100, 100}, {300, 200});
  Click("3");
  EXPECT_EQ(picker->State(), TfrmScreenShots::stHover);
  EXPECT_TRUE(picker->isVisible());
  EXPECT_FALSE(picker->ToolPanel()->isVisible());
  // Without a selection a right click cancels; the program goes on.
  Click("3");
  EXPECT_FALSE(picker->isVisible());
  EXPECT_TRUE(main.isVisible());
  EXPECT_EQ(Edits(), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_TRUE(FStatus.isEmpty());
  // "Cancel" closes as well, writing nothing.
  picker = Open();
  Drag(picker, {100, 100}, {300, 200});
  ClickOn(picker->CancelButton());
  EXPECT_FALSE(picker->isVisible());
  EXPECT_EQ(Edits(), (std::vector<std::string>{"1", "2", "3", "4"}));
}

// The pointer is never held: not by a move that runs past the screen's
// edge, nor by a picker that closes while the button is down.
TEST_F(TPickerTest, ThePointerIsNeverHeld) {
  TfrmScreenShots* picker = Open();
  Drag(picker, {100, 100}, {300, 200});
  Move(200, 150);
  ASSERT_TRUE(Xdotool({"mousedown", "1"}));
  Pump(std::chrono::milliseconds(60));
  Move(50, 150); // the selection stops at the edge, the pointer does not
  EXPECT_EQ(picker->Selection().left(), 0);
  picker->SBExitClick();
  ASSERT_TRUE(WaitFor([&] { return !picker->isVisible(); }));
  ASSERT_TRUE(Xdotool({"mouseup", "1"}));
  for (const QPoint& to : {QPoint(1800, 1000), QPoint(5, 5), QPoint(1000, 600)})
    Move(to.x(), to.y());
}

// The program's own windows are never snapped to: the picker looks through
// them to the window below.
TEST_F(TPickerTest, TheProgramsOwnWindowsAreNotSnappedTo) {
  Window(1100, 100, 600, 400, kBluePixel);
  QWidget main;
  main.setGeometry(1200, 150, 300, 200);
  main.show();
  ASSERT_TRUE(WaitFor([&] { return main.isVisible(); }));
  Pump(std::chrono::milliseconds(200));
  TfrmScreenShots* picker = Open();
  Move(1300, 250);
  ASSERT_TRUE(WaitFor([&] { return !picker->HoverRect().isEmpty(); }));
  EXPECT_LE(picker->HoverRect().left(), 1100);
  EXPECT_GE(picker->HoverRect().width(), 600);
}

} // namespace
