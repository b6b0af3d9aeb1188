// Skinned buttons on a real X server: the state pictures against the skin's
// own strips, the fallback size, the hover edge, double clicks, auto-repeat,
// the Default and Cancel keys, accelerators, the arrow and picture buttons.
#include "ArrowButton.h"
#include "BuiltInStyles.h"
#include "ImageButton.h"
#include "SkinCanvas.h"
#include "SkinColor.h"
#include "SkinDraw.h"
#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

namespace {

class ButtonTest : public ::testing::Test {
protected:
  void SetUp() override {
    // The real pointer stays away from the buttons.
    RunXdotool("mousemove 1900 1000");
    FWindow = std::make_unique<QWidget>();
    FWindow->resize(320, 200);
    FWindow->move(40, 40);
  }
  void TearDown() override { FWindow.reset(); }

  // A press without moving the real pointer: the button grabs the mouse as
  // a click on it does.
  static void Send(QWidget& AWidget, QEvent::Type AType, QPoint APoint,
                   Qt::MouseButtons AButtons = Qt::LeftButton) {
    QMouseEvent event(AType, APoint, AWidget.mapToGlobal(APoint), Qt::LeftButton, AButtons,
                      Qt::NoModifier);
    QApplication::sendEvent(&AWidget, &event);
  }
  static void Enter(QWidget& AWidget) {
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(AWidget.mapToGlobal(QPoint(2, 2))));
    QApplication::sendEvent(&AWidget, &event);
  }

  // What a button over its colour shows with a picture at (0, 0).
  static QImage OverColor(const QSize& ASize, TColor AColor, const QImage& APicture) {
    QImage image(ASize, QImage::Format_RGB32);
    image.fill(ToQColor(AColor));
    QPainter painter(&image);
    painter.drawImage(0, 0, APicture);
    return image;
  }

  std::unique_ptr<QWidget> FWindow;
};

struct TStateCase {
  const char* Name;
  TkivUIStyle Style;
  bool FromStoredSkin;
};

class ButtonStateTest : public ButtonTest, public ::testing::WithParamInterface<TStateCase> {};

// A plain skinned button with the style's strip.
class TStripButton : public TkivCustomButton {
public:
  using TkivCustomButton::TkivCustomButton;
};

TEST_P(ButtonStateTest, EachStateShowsItsFrameOfTheStrip) {
  const TStateCase& c = GetParam();
  TkivThemeComponent* theme = c.FromStoredSkin ? StoredSkinTheme(FWindow.get()) : nullptr;
  auto* button = new TStripButton(FWindow.get());
  button->SetTabStop(false);
  button->SetBaseFileTheme(theme);
  button->SetBaseUIStyle(c.Style);
  button->setGeometry(10, 10, 80, 30);
  ShowAndWait(*FWindow);

  // The strip the button cuts its frames from.
  TBitmap strip;
  if (c.FromStoredSkin)
    theme->Theme().GetBitmapFrame(15, &strip, 0, 0);
  else
    GetThemeBitmapFrame(StyleNumber(c.Style), 1, &strip, 0, 0);
  ASSERT_FALSE(strip.Empty());
  auto frame = [&](int AIndex) {
    TBitmap part;
    CutFrame(strip, part, 3, AIndex);
    return ToQImage(part);
  };
  const TColor face = button->Color();

  EXPECT_EQ(DifferentPixels(Picture(*button), OverColor(button->size(), face, frame(1))), 0)
      << "normal";
  Enter(*button);
  EXPECT_TRUE(button->Hover());
  EXPECT_EQ(DifferentPixels(Picture(*button), OverColor(button->size(), face, frame(2))), 0)
      << "hover";
  Send(*button, QEvent::MouseButtonPress, QPoint(5, 5));
  EXPECT_TRUE(button->Pressed());
  EXPECT_EQ(DifferentPixels(Picture(*button), OverColor(button->size(), face, frame(3))), 0)
      << "pressed over hover";
  // Disabled wins over pressed and hover: the normal frame, greyed.
  button->SetEnabled(false);
  QImage grey = frame(1).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < grey.height(); ++y)
    for (int x = 0; x < grey.width(); ++x) {
      const int g = qGray(grey.pixel(x, y));
      grey.setPixel(x, y, qRgb(g, g, g));
    }
  EXPECT_EQ(DifferentPixels(Picture(*button), OverColor(button->size(), face, grey)), 0)
      << "disabled";
  SaveScreenshot(Picture(*FWindow), std::string("button-") + c.Name);
}

INSTANTIATE_TEST_SUITE_P(Styles, ButtonStateTest,
                         ::testing::Values(TStateCase{"MacOS", TkivUIStyle::MacOS, false},
                                           TStateCase{"WinXP", TkivUIStyle::WinXP, false},
                                           TStateCase{"DeepBlue", TkivUIStyle::DeepBlue, false},
                                           TStateCase{"Protein", TkivUIStyle::Protein, false},
                                           TStateCase{"BlueGlass", TkivUIStyle::BlueGlass, false},
                                           TStateCase{"StoredSkin", TkivUIStyle::FromThemeFile,
                                                      true}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(ButtonTest, FromThemeFileWithoutAThemeDrawsAsDeepBlue) {
  auto* plain = new TStripButton(FWindow.get());
  plain->SetBaseUIStyle(TkivUIStyle::FromThemeFile);
  plain->SetTabStop(false);
  plain->setGeometry(10, 10, 80, 30);
  auto* deepBlue = new TStripButton(FWindow.get());
  deepBlue->SetBaseUIStyle(TkivUIStyle::DeepBlue);
  deepBlue->SetTabStop(false);
  deepBlue->setGeometry(100, 10, 80, 30);
  ShowAndWait(*FWindow);
  EXPECT_EQ(DifferentPixels(Picture(*plain), Picture(*deepBlue)), 0);
}

TEST_F(ButtonTest, AutoSizeTakesAThirdOfTheStripAndFallsBackTo24By21) {
  TkivThemeComponent* theme = StoredSkinTheme(FWindow.get());
  ASSERT_TRUE(theme->Ready());
  // FromThemeFile has no built-in strip, even with a skin loaded.
  auto* arrow = new TkivArrowButton(FWindow.get());
  arrow->SetFileTheme(theme);
  arrow->SetUIStyle(TkivUIStyle::FromThemeFile);
  arrow->SetAutoSize(true);
  EXPECT_EQ(arrow->size(), QSize(24, 21));

  auto* deepBlue = new TkivArrowButton(FWindow.get());
  deepBlue->SetUIStyle(TkivUIStyle::DeepBlue);
  deepBlue->SetAutoSize(true);
  TBitmap strip;
  GetThemeBitmapFrame(StyleNumber(TkivUIStyle::DeepBlue), 1, &strip, 0, 0);
  EXPECT_EQ(deepBlue->size(), QSize(strip.Width() / 3, strip.Height()));
}

TEST_F(ButtonTest, HoverHoldsUpToTheRightEdgeAndDropsOnePixelBeyond) {
  auto* button = new TStripButton(FWindow.get());
  button->setGeometry(10, 10, 80, 30);
  ShowAndWait(*FWindow);
  Enter(*button);
  Send(*button, QEvent::MouseButtonPress, QPoint(5, 5));
  Send(*button, QEvent::MouseMove, QPoint(button->width(), 5));
  EXPECT_TRUE(button->Hover());
  EXPECT_TRUE(button->Pressed());
  Send(*button, QEvent::MouseMove, QPoint(5, button->height()));
  EXPECT_TRUE(button->Hover());
  Send(*button, QEvent::MouseMove, QPoint(button->width() + 1, 5));
  EXPECT_FALSE(button->Hover());
  EXPECT_FALSE(button->Pressed());
  // A release outside clicks nothing.
  int clicks = 0;
  button->OnClick = [&](QObject*) { ++clicks; };
  Send(*button, QEvent::MouseButtonRelease, QPoint(button->width() + 1, 5), Qt::NoButton);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonTest, DoubleClickGivesTwoClicks) {
  auto* button = new TStripButton(FWindow.get());
  button->setGeometry(10, 10, 80, 30);
  int clicks = 0;
  button->OnClick = [&](QObject* ASender) {
    EXPECT_EQ(ASender, button);
    ++clicks;
  };
  ShowAndWait(*FWindow);
  // A real double click of the X server, quick enough for Qt to see one.
  const QPoint at = button->mapToGlobal(QPoint(10, 10));
  ASSERT_TRUE(RunXdotool("mousemove --sync " + std::to_string(at.x()) + " " +
                         std::to_string(at.y()) + " click --repeat 2 --delay 60 1"));
  EXPECT_TRUE(ProcessUntil([&] { return clicks >= 2; }, 2000));
  ProcessFor(100);
  EXPECT_EQ(clicks, 2);
}

TEST_F(ButtonTest, HeldButtonRepeatsUntilReleasedOrLeft) {
  auto* button = new TStripButton(FWindow.get());
  button->setGeometry(10, 10, 80, 30);
  int ticks = 0;
  button->OnMouseContinuouslyDown = [&](QObject*) { ++ticks; };
  ShowAndWait(*FWindow);
  Send(*button, QEvent::MouseButtonPress, QPoint(5, 5));
  EXPECT_TRUE(button->RepeatTimerRunning());
  EXPECT_TRUE(ProcessUntil([&] { return ticks >= 3; }, 2000));
  Send(*button, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::NoButton);
  EXPECT_FALSE(button->RepeatTimerRunning());
  const int after = ticks;
  ProcessFor(250);
  EXPECT_EQ(ticks, after);

  // A press that ends outside leaves no timer once the mouse has left.
  Send(*button, QEvent::MouseButtonPress, QPoint(5, 5));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button, &leave);
  EXPECT_FALSE(button->RepeatTimerRunning());
}

struct TKeyCase {
  const char* Name;
  int Key;
  Qt::KeyboardModifiers Modifiers;
  bool ClicksCancel;
  bool ClicksDefault;
};

class DialogKeyTest : public ButtonTest, public ::testing::WithParamInterface<TKeyCase> {};

TEST_P(DialogKeyTest, EscapeAndEnterClickOnlyWithoutModifiers) {
  const TKeyCase& c = GetParam();
  auto* edit = new QLineEdit(FWindow.get());
  edit->setGeometry(10, 100, 100, 24);
  auto* cancel = new TStripButton(FWindow.get());
  cancel->setGeometry(10, 10, 80, 30);
  cancel->SetCancel(true);
  auto* ok = new TStripButton(FWindow.get());
  ok->setGeometry(100, 10, 80, 30);
  ok->SetDefault(true);
  int cancelClicks = 0, okClicks = 0;
  cancel->OnClick = [&](QObject*) { ++cancelClicks; };
  ok->OnClick = [&](QObject*) { ++okClicks; };
  ShowAndWait(*FWindow);
  Activate(*FWindow);
  ASSERT_TRUE(FWindow->isActiveWindow());
  edit->setFocus();
  QTest::keyClick(edit, static_cast<Qt::Key>(c.Key), c.Modifiers);
  ProcessFor(10);
  EXPECT_EQ(cancelClicks, c.ClicksCancel ? 1 : 0);
  EXPECT_EQ(okClicks, c.ClicksDefault ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeyTest,
    ::testing::Values(TKeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, true, false},
                      TKeyCase{"ShiftEscape", Qt::Key_Escape, Qt::ShiftModifier, false, false},
                      TKeyCase{"CtrlEscape", Qt::Key_Escape, Qt::ControlModifier, false, false},
                      TKeyCase{"AltEscape", Qt::Key_Escape, Qt::AltModifier, false, false},
                      TKeyCase{"Enter", Qt::Key_Return, Qt::NoModifier, false, true},
                      TKeyCase{"ShiftEnter", Qt::Key_Return, Qt::ShiftModifier, false, false}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(ButtonTest, SpaceOnTheFocusedButtonPressesAndClicksOnRelease) {
  auto* button = new TStripButton(FWindow.get());
  button->setGeometry(10, 10, 80, 30);
  int clicks = 0;
  button->OnClick = [&](QObject*) { ++clicks; };
  ShowAndWait(*FWindow);
  Activate(*FWindow);
  button->setFocus();
  QTest::keyPress(button, Qt::Key_Space);
  EXPECT_TRUE(button->Pressed());
  EXPECT_EQ(clicks, 0);
  QTest::keyRelease(button, Qt::Key_Space);
  EXPECT_FALSE(button->Pressed());
  EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonTest, AcceleratorNeedsAltUnlessASkinnedButtonHasTheFocus) {
  auto* save = new TStripButton(FWindow.get());
  save->setGeometry(10, 10, 80, 30);
  save->SetCaption("&Save");
  auto* other = new TStripButton(FWindow.get());
  other->setGeometry(100, 10, 80, 30);
  other->SetCaption("Other");
  auto* edit = new QLineEdit(FWindow.get());
  edit->setGeometry(10, 100, 100, 24);
  int clicks = 0;
  save->OnClick = [&](QObject*) { ++clicks; };
  ShowAndWait(*FWindow);
  Activate(*FWindow);

  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_S);
  EXPECT_EQ(clicks, 0) << "a plain letter in an edit";
  QTest::keyClick(edit, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(clicks, 1) << "Alt and the letter";
  other->setFocus();
  QTest::keyClick(other, Qt::Key_S);
  EXPECT_EQ(clicks, 2) << "the letter while a skinned button has the focus";
  save->SetEnabled(false);
  QTest::keyClick(other, Qt::Key_S);
  EXPECT_EQ(clicks, 2) << "a disabled button";
}

TEST_F(ButtonTest, ClickSetsTheDialogsModalResult) {
  QDialog dialog;
  auto* button = new TStripButton(&dialog);
  button->SetModalResult(QDialog::Accepted);
  ShowAndWait(dialog);
  button->Click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ButtonTest, ArrowButtonDrawsItsTriangleAndNeverItsCaption) {
  auto* up = new TkivArrowButton(FWindow.get());
  up->setGeometry(10, 10, 24, 21);
  up->SetTabStop(false);
  auto* captioned = new TkivArrowButton(FWindow.get());
  captioned->setGeometry(50, 10, 24, 21);
  captioned->SetTabStop(false);
  captioned->SetCaption("&Settings");
  auto* down = new TkivArrowButton(FWindow.get());
  down->setGeometry(90, 10, 24, 21);
  down->SetTabStop(false);
  down->SetArrow(TkivArrowButtonType::kivDown);
  ShowAndWait(*FWindow);

  const QImage upPicture = Picture(*up);
  EXPECT_EQ(DifferentPixels(Picture(*captioned), upPicture), 0);
  const int x = (24 - 6) / 2, y = (21 - 3) / 2;
  const QRgb black = qRgb(0, 0, 0);
  // Up: the apex at the top, the base below it; down the other way round.
  EXPECT_EQ(upPicture.pixel(x + 3, y), black);
  EXPECT_EQ(upPicture.pixel(x, y + 3), black);
  EXPECT_EQ(upPicture.pixel(x + 6, y + 3), black);
  EXPECT_NE(upPicture.pixel(x, y), black);
  const QImage downPicture = Picture(*down);
  EXPECT_EQ(downPicture.pixel(x + 3, y + 3), black);
  EXPECT_EQ(downPicture.pixel(x, y), black);
  EXPECT_NE(downPicture.pixel(x, y + 3), black);

  // Over the triangle the button picture shows as nine slices: its corner
  // pixel stays the strip's corner pixel.
  TBitmap frame;
  GetThemeBitmapFrame(StyleNumber(TkivUIStyle::DeepBlue), 1, &frame, 1, 3);
  EXPECT_EQ(upPicture.pixel(0, 0) & 0xFFFFFF, BitmapPixel(frame, 0, 0) & 0xFFFFFF);
  SaveScreenshot(Picture(*FWindow), "arrow-buttons");
}

TEST_F(ButtonTest, ArrowButtonTakesTransparencyFromTheStyle) {
  auto* arrow = new TkivArrowButton(FWindow.get());
  for (TkivUIStyle style : {TkivUIStyle::MacOS, TkivUIStyle::WinXP, TkivUIStyle::BlueGlass}) {
    arrow->SetUIStyle(style);
    EXPECT_EQ(arrow->Transparent(), GetThemeBool(StyleNumber(style), 2) != 0);
  }
  TkivThemeComponent* theme = StoredSkinTheme(FWindow.get());
  arrow->SetFileTheme(theme);
  arrow->SetUIStyle(TkivUIStyle::FromThemeFile);
  EXPECT_EQ(arrow->Transparent(), theme->Theme().GetBool(5) != 0);
}

TEST_F(ButtonTest, RemovedThemeSwitchesTheArrowButtonToDeepBlue) {
  auto* theme = StoredSkinTheme(FWindow.get());
  auto* arrow = new TkivArrowButton(FWindow.get());
  arrow->SetFileTheme(theme);
  arrow->SetUIStyle(TkivUIStyle::FromThemeFile);
  delete theme;
  EXPECT_EQ(arrow->FileTheme(), nullptr);
  EXPECT_EQ(arrow->UIStyle(), TkivUIStyle::DeepBlue);
}

TEST_F(ButtonTest, ImageButtonFallsBackToItsNormalPicture) {
  auto* button = new TkivImageButton(FWindow.get());
  button->SetTabStop(false);
  button->setGeometry(10, 10, 40, 20);
  const TColor normalColor = 0x00A000, downColor = 0x0000C0;
  button->SetPicNormal(FilledBitmap(40, 20, normalColor));
  button->SetPicMouseDown(FilledBitmap(40, 20, downColor));
  ShowAndWait(*FWindow);
  EXPECT_EQ(Picture(*button).pixel(20, 10), Rgb(normalColor));
  Enter(*button);
  EXPECT_EQ(Picture(*button).pixel(20, 10), Rgb(normalColor)) << "no mouse-on picture";
  Send(*button, QEvent::MouseButtonPress, QPoint(5, 5));
  EXPECT_EQ(Picture(*button).pixel(20, 10), Rgb(downColor));
  button->SetEnabled(false);
  EXPECT_EQ(Picture(*button).pixel(20, 10), Rgb(normalColor)) << "no disabled picture";
  EXPECT_EQ(button->UIStyle(), TkivUIStyle::FromThemeFile);
}

TEST_F(ButtonTest, ImageButtonWithoutPicturesDrawsOnlyBackgroundAndCaption) {
  auto* button = new TkivImageButton(FWindow.get());
  button->SetTabStop(false);
  button->setGeometry(10, 10, 80, 30);
  button->SetColor(0x303030);
  ShowAndWait(*FWindow);
  const QImage empty = Picture(*button);
  for (int y = 0; y < empty.height(); ++y)
    for (int x = 0; x < empty.width(); ++x)
      ASSERT_EQ(empty.pixel(x, y), Rgb(0x303030));
  button->SetCaption("Go");
  EXPECT_GT(DifferentPixels(Picture(*button), empty), 0);
}

TEST_F(ButtonTest, ImageButtonAutoSizesToItsNormalPicture) {
  auto* button = new TkivImageButton(FWindow.get());
  button->SetAutoSize(true);
  button->SetPicNormal(FilledBitmap(57, 33, 0x112233));
  EXPECT_EQ(button->size(), QSize(57, 33));
}

TEST_F(ButtonTest, TransparentImageButtonShowsItsParentThroughItsKeyColour) {
  FWindow->setAutoFillBackground(true);
  QPalette colours;
  colours.setColor(QPalette::Window, QColor(0x20, 0x40, 0x60));
  FWindow->setPalette(colours);
  auto* button = new TkivImageButton(FWindow.get());
  button->SetTabStop(false);
  button->setGeometry(10, 10, 40, 20);
  TBitmap picture = FilledBitmap(40, 20, 0xFF00FF);
  TSkinCanvas canvas(picture);
  canvas.FillRect({10, 5, 30, 15}, 0x00FF00);
  button->SetPicNormal(picture);
  button->SetTransparent(true);
  ShowAndWait(*FWindow);
  const QImage window = Picture(*FWindow);
  EXPECT_EQ(window.pixel(12, 12), qRgb(0x20, 0x40, 0x60));
  EXPECT_EQ(window.pixel(30, 20), Rgb(0x00FF00));
}

} // namespace
