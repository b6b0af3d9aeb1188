// The skinned form frame on a real X server: the border-style rule, the
// window region under each style and under the stored skin, the painted
// borders, maximising on the available screen, Alt+Space, a removed theme,
// and screenshots of a skinned window in every style.
#include "FormFrame.h"
#include "ArrowButton.h"
#include "BuiltInStyles.h"
#include "ImageButton.h"
#include "SkinCanvas.h"
#include "StylePainter.h"
#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTest>

namespace {

class FormFrameTest : public ::testing::Test {
protected:
  void SetUp() override {
    RunXdotool("mousemove 1900 1000");
    FHost = std::make_unique<QWidget>();
    FHost->setWindowTitle("Host");
    FHost->setGeometry(120, 120, 360, 240);
  }
  void TearDown() override {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    FHost.reset();
  }

  std::unique_ptr<QWidget> FHost;
};

struct TBorderCase {
  TkivBorderStyle Given;
  TkivBorderStyle Becomes;
};

TEST(BorderStyleRule, SizeableFramesStayAndTheOthersBecomeDialogs) {
  const TBorderCase cases[] = {{TkivBorderStyle::bsNone, TkivBorderStyle::bsDialog},
                               {TkivBorderStyle::bsSingle, TkivBorderStyle::bsDialog},
                               {TkivBorderStyle::bsToolWindow, TkivBorderStyle::bsDialog},
                               {TkivBorderStyle::bsDialog, TkivBorderStyle::bsDialog},
                               {TkivBorderStyle::bsSizeable, TkivBorderStyle::bsSizeable},
                               {TkivBorderStyle::bsSizeToolWin, TkivBorderStyle::bsSizeToolWin}};
  for (const TBorderCase& c : cases) {
    QWidget host;
    SetHostBorderStyle(&host, c.Given);
    TkivForm form(&host);
    EXPECT_EQ(HostBorderStyle(&host), c.Becomes) << static_cast<int>(c.Given);
  }
}

TEST_F(FormFrameTest, SecondFrameOnOneHostStaysInert) {
  auto* first = new TkivForm(FHost.get());
  auto* second = new TkivForm(FHost.get());
  EXPECT_FALSE(first->Inert());
  EXPECT_TRUE(second->Inert());
  QWidget child(FHost.get());
  TkivForm onAChild(&child);
  EXPECT_TRUE(onAChild.Inert());
}

TEST_F(FormFrameTest, CaptionGoesToTheTitleBarAndTheWindow) {
  auto* form = new TkivForm(FHost.get());
  EXPECT_EQ(form->Caption(), "Host");
  form->SetCaption("Vexmora 1.0");
  EXPECT_EQ(form->TitleBar()->Caption(), "Vexmora 1.0");
  EXPECT_EQ(FHost->windowTitle(), "Vexmora 1.0");
  EXPECT_EQ(form->Version(), "6.3");
}

TEST_F(FormFrameTest, DeepBlueRegionIsTheWholeWindow) {
  auto* form = new TkivForm(FHost.get());
  form->SetUIStyle(TkivUIStyle::DeepBlue);
  ShowAndWait(*FHost);
  EXPECT_EQ(form->RoundCorner(), 0);
  EXPECT_EQ(FHost->mask(), QRegion(0, 0, 360, 240));
}

TEST_F(FormFrameTest, WinXPRoundsTheTopCornersWithSize13) {
  auto* form = new TkivForm(FHost.get());
  form->SetUIStyle(TkivUIStyle::WinXP);
  ShowAndWait(*FHost);
  EXPECT_EQ(form->RoundCorner(), 13);
  const QRegion mask = FHost->mask();
  EXPECT_EQ(mask, form->FrameRegion());
  for (QPoint outside : {QPoint(0, 0), QPoint(359, 0), QPoint(1, 1), QPoint(358, 1), QPoint(0, 2)})
    EXPECT_FALSE(mask.contains(outside)) << outside.x() << "," << outside.y();
  for (QPoint inside : {QPoint(180, 0), QPoint(6, 0), QPoint(0, 7), QPoint(359, 7), QPoint(6, 6),
                        QPoint(0, 239), QPoint(359, 239)})
    EXPECT_TRUE(mask.contains(inside)) << inside.x() << "," << inside.y();
  // Only the corners are cut: rows below the corner are whole.
  EXPECT_TRUE(mask.contains(QRect(0, 7, 360, 233)));
}

TEST_F(FormFrameTest, StoredSkinFramesTheWholeRectangleWithItsBorderPictures) {
  TkivThemeComponent* theme = StoredSkinTheme(FHost.get());
  ASSERT_TRUE(theme->Ready());
  auto* form = new TkivForm(FHost.get());
  form->SetFileTheme(theme);
  form->SetUIStyle(TkivUIStyle::FromThemeFile);
  form->SetCaption("Stored skin");
  ShowAndWait(*FHost);
  EXPECT_EQ(FHost->mask(), QRegion(0, 0, 360, 240)) << "no region switches";

  const TkivFileTheme& skin = theme->Theme();
  const TBitmap* left = skin.GetBitmap(5);
  const TBitmap* bottom1 = skin.GetBitmap(7);
  const TBitmap* titleLeft = skin.GetBitmap(0);
  ASSERT_TRUE(left && bottom1 && titleLeft);
  EXPECT_EQ(form->FrameMargins().left(), std::max(left->Width(), 4));
  EXPECT_EQ(form->TitleBar()->height(), titleLeft->Height() - 3);
  EXPECT_EQ(form->TitleBar()->geometry().topLeft(), QPoint(form->SideBorderWidth(), 3));
  const QImage picture = Picture(*FHost);
  // The left border picture is stretched down the left edge, the bottom
  // border's left end sits at the bottom-left corner, and the title's left
  // picture runs into the top-left corner.
  EXPECT_EQ(picture.pixel(0, 150) & 0xFFFFFF, BitmapPixel(*left, 0, 0) & 0xFFFFFF);
  EXPECT_EQ(picture.pixel(0, 239) & 0xFFFFFF,
            BitmapPixel(*bottom1, 0, bottom1->Height() - 1) & 0xFFFFFF);
  EXPECT_EQ(picture.pixel(0, 0) & 0xFFFFFF, BitmapPixel(*titleLeft, 0, 0) & 0xFFFFFF);
  EXPECT_EQ(FHost->minimumHeight(), form->TitleBar()->height() + bottom1->Height() + 3);
}

TEST_F(FormFrameTest, BuiltInBordersAreDrawnInTheStylesColours) {
  auto* form = new TkivForm(FHost.get());
  form->SetUIStyle(TkivUIStyle::WinXP);
  ShowAndWait(*FHost);
  const int s = StyleNumber(TkivUIStyle::WinXP);
  EXPECT_EQ(form->BorderWidth(), GetThemeInt(s, 17));
  const QImage picture = Picture(*FHost);
  const QRgb border = Rgb(GetThemeColor(s, 16));
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(picture.pixel(x, 150), border);
    EXPECT_EQ(picture.pixel(359 - x, 150), border);
    EXPECT_EQ(picture.pixel(180, 239 - x), border);
  }
  EXPECT_EQ(picture.pixel(180, 150), Rgb(GetThemeColor(s, 15))) << "the form colour inside";
}

TEST_F(FormFrameTest, MaximisedHostFillsTheAvailableScreenAndComesBack) {
  auto* form = new TkivForm(FHost.get());
  form->SetUIStyle(TkivUIStyle::DeepBlue);
  ShowAndWait(*FHost);
  const QRect normal = FHost->geometry();
  FHost->showMaximized();
  ProcessFor(50);
  EXPECT_TRUE(FHost->isMaximized());
  EXPECT_EQ(FHost->geometry(), FHost->screen()->availableGeometry().adjusted(-2, -2, 2, -1));
  EXPECT_EQ(form->geometry(), FHost->rect());
  EXPECT_EQ(FHost->mask(), QRegion(FHost->rect()));
  FHost->showNormal();
  ProcessFor(50);
  EXPECT_FALSE(FHost->isMaximized());
  EXPECT_EQ(FHost->geometry(), normal);
}

TEST_F(FormFrameTest, AltSpaceOpensTheSystemMenuAndIsNotPassedOn) {
  auto* form = new TkivForm(FHost.get());
  auto* panel = new QWidget;
  panel->setFocusPolicy(Qt::StrongFocus);
  form->SetFormPanel(panel);
  int keysSeen = 0;
  struct TCounter : QObject {
    int* Count;
    explicit TCounter(int* ACount) : Count(ACount) {}
    bool eventFilter(QObject*, QEvent* AEvent) override {
      if (AEvent->type() == QEvent::KeyPress &&
          static_cast<QKeyEvent*>(AEvent)->key() == Qt::Key_Space)
        ++*Count;
      return false;
    }
  } counter(&keysSeen);
  ShowAndWait(*FHost);
  Activate(*FHost);
  panel->setFocus();
  panel->installEventFilter(&counter);
  QTest::keyClick(panel, Qt::Key_Space, Qt::AltModifier);
  TkivTitleBarPopupMenu* menu = form->TitleBar()->SystemMenu();
  EXPECT_TRUE(ProcessUntil([&] { return menu->isVisible(); }));
  EXPECT_EQ(keysSeen, 0);
  EXPECT_EQ(menu->pos(), QPoint(FHost->x(), FHost->y() + form->TitleBar()->height()));
  menu->close();
}

TEST_F(FormFrameTest, FormPanelCannotBeTheHostItself) {
  auto* form = new TkivForm(FHost.get());
  const QString text = CloseNextMessageBox([&] { form->SetFormPanel(FHost.get()); });
  EXPECT_EQ(text, "Sorry, you can't select the Form assign to FormPanel property");
  EXPECT_EQ(form->FormPanel(), nullptr);
}

TEST_F(FormFrameTest, RemovedThemeLeavesTheFrameAndItsControlsOnDeepBlue) {
  TkivThemeComponent* theme = StoredSkinTheme(FHost.get());
  auto* form = new TkivForm(FHost.get());
  form->SetFileTheme(theme);
  form->SetUIStyle(TkivUIStyle::FromThemeFile);
  auto* arrow = new TkivArrowButton(FHost.get());
  arrow->SetFileTheme(theme);
  arrow->SetUIStyle(TkivUIStyle::FromThemeFile);
  delete theme;
  EXPECT_EQ(form->FileTheme(), nullptr);
  EXPECT_EQ(form->UIStyle(), TkivUIStyle::DeepBlue);
  EXPECT_EQ(form->TitleBar()->UIStyle(), TkivUIStyle::DeepBlue);
  EXPECT_EQ(arrow->UIStyle(), TkivUIStyle::DeepBlue);
  EXPECT_EQ(form->Color(), GetThemeColor(StyleNumber(TkivUIStyle::DeepBlue), 15));
}

TEST_F(FormFrameTest, AutoUpdateHandsTheStyleToTheHostsSkinnedControls) {
  auto* form = new TkivForm(FHost.get());
  auto* arrow = new TkivArrowButton(FHost.get());
  EXPECT_EQ(arrow->UIStyle(), TkivUIStyle::DeepBlue) << "the frame's style at creation";
  form->SetUIStyle(TkivUIStyle::Protein);
  EXPECT_EQ(arrow->UIStyle(), TkivUIStyle::DeepBlue);
  form->SetUIStyleAutoUpdateSub(true);
  form->SetUIStyle(TkivUIStyle::MacOS);
  EXPECT_EQ(arrow->UIStyle(), TkivUIStyle::MacOS);
  auto* later = new TkivArrowButton(FHost.get());
  EXPECT_EQ(later->UIStyle(), TkivUIStyle::MacOS);
}

// A window like the recorder's: a skinned frame with picture buttons and the
// settings arrow, in every style; the pictures are saved for a person to see.
struct TScreenshotCase {
  const char* Name;
  TkivUIStyle Style;
};

class FormScreenshotTest : public FormFrameTest,
                           public ::testing::WithParamInterface<TScreenshotCase> {};

TEST_P(FormScreenshotTest, SkinnedWindowInEachStyle) {
  const TScreenshotCase& c = GetParam();
  TkivThemeComponent* theme = StoredSkinTheme(FHost.get());
  auto* form = new TkivForm(FHost.get());
  form->setObjectName("kivForm1");
  auto* panel = new QWidget;
  form->SetFormPanel(panel);
  form->SetFileTheme(theme);
  form->SetUIStyle(c.Style);
  form->SetCaption("Vexmora 0.1");
  const char* names[] = {"btnStart", "btnPause", "btnStop"};
  const TColor colours[] = {0x30A030, 0x30A0C0, 0x3030C0};
  for (int i = 0; i < 3; ++i) {
    auto* button = new TkivImageButton(panel);
    button->setObjectName(names[i]);
    button->SetPicNormal(FilledBitmap(64, 24, colours[i]));
    button->SetAutoSize(true);
    button->move(12 + i * 76, 12);
    button->SetCaption(QString(names[i]).mid(3));
  }
  auto* arrow = new TkivArrowButton(panel);
  arrow->setObjectName("arrbtnSetings");
  arrow->SetFileTheme(theme);
  arrow->SetUIStyle(c.Style);
  arrow->SetAutoSize(true);
  arrow->move(12, 50);
  ShowAndWait(*FHost);
  const QImage picture = Picture(*FHost);
  // The frame is the style's: the caption bar's picture starts at the top.
  EXPECT_FALSE(picture.isNull());
  const std::string path = SaveScreenshot(picture, std::string("form-") + c.Name);
  EXPECT_FALSE(QImage(QString::fromStdString(path)).isNull());
}

INSTANTIATE_TEST_SUITE_P(Styles, FormScreenshotTest,
                         ::testing::Values(TScreenshotCase{"StoredSkin",
                                                           TkivUIStyle::FromThemeFile},
                                           TScreenshotCase{"MacOS", TkivUIStyle::MacOS},
                                           TScreenshotCase{"WinXP", TkivUIStyle::WinXP},
                                           TScreenshotCase{"DeepBlue", TkivUIStyle::DeepBlue},
                                           TScreenshotCase{"Protein", TkivUIStyle::Protein},
                                           TScreenshotCase{"BlueGlass", TkivUIStyle::BlueGlass}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

} // namespace
