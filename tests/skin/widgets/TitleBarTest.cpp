// The title bar on a real X server: section layout of three- and
// five-section skins, button placement, caption fitting, the minimum width,
// dragging and double clicks, the system menu and the refusals.
#include "TitleBar.h"
#include "BuiltInStyles.h"
#include "SkinCanvas.h"
#include "SkinFiles.h"
#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>

namespace {

class TitleBarTest : public ::testing::Test {
protected:
  void SetUp() override {
    RunXdotool("mousemove 1900 1000");
    FWindow = std::make_unique<QWidget>();
    FWindow->setWindowFlag(Qt::FramelessWindowHint);
    FWindow->move(100, 100);
    FWindow->resize(300, 120);
    FBar = new TkivTitleBar(FWindow.get());
  }
  void TearDown() override { FWindow.reset(); }

  void UseSkin(const TTitleSkin& ASkin, const char* AName) {
    FTheme = WrittenSkinTheme(FWindow.get(), AName, TitleSkinArchive(ASkin));
    ASSERT_TRUE(FTheme->Ready());
    FBar->SetFileTheme(FTheme);
    FBar->SetUIStyle(TkivUIStyle::FromThemeFile);
    FBar->setGeometry(0, 0, 300, FBar->height());
  }

  void Send(QEvent::Type AType, QPoint APoint, Qt::MouseButtons AButtons = Qt::LeftButton) {
    QMouseEvent event(AType, APoint, FBar->mapToGlobal(APoint), Qt::LeftButton, AButtons,
                      Qt::NoModifier);
    QApplication::sendEvent(FBar, &event);
  }

  std::unique_ptr<QWidget> FWindow;
  TkivTitleBar* FBar = nullptr;
  TkivThemeComponent* FTheme = nullptr;
};

QRgb At(const QImage& AImage, int AX, int AY) {
  return AImage.pixel(AX, AY) | 0xFF000000u;
}

TEST_F(TitleBarTest, ThreeSectionSkinPutsTheThirdPictureOnTheRight) {
  UseSkin({}, "three.ksk");
  ASSERT_EQ(FBar->SectionCount(), 3);
  EXPECT_TRUE(FBar->HasThemeSections());
  EXPECT_EQ(FBar->height(), 30);
  ShowAndWait(*FWindow);
  const QImage image = FBar->Render();
  const int row = 27; // below the buttons and the caption
  EXPECT_EQ(At(image, 5, row), Rgb(SectionColor(1)));
  EXPECT_EQ(At(image, 10, row), Rgb(SectionColor(2)));
  EXPECT_EQ(At(image, 150, row), Rgb(SectionColor(2)));
  EXPECT_EQ(At(image, 287, row), Rgb(SectionColor(2)));
  EXPECT_EQ(At(image, 288, row), Rgb(SectionColor(3)));
  EXPECT_EQ(At(image, 299, row), Rgb(SectionColor(3)));
  // The left picture is drawn as it is, key colour and all.
  EXPECT_EQ(At(image, 0, 0), Rgb(0xFF00FF));
  SaveScreenshot(image, "titlebar-three-sections");
}

TEST_F(TitleBarTest, FiveSectionSkinPutsTheCaptionBehindTheSecondPicture) {
  TTitleSkin skin;
  skin.FiveSections = true;
  UseSkin(skin, "five.ksk");
  ASSERT_EQ(FBar->SectionCount(), 5);
  FBar->SetCaption("Hello");
  ShowAndWait(*FWindow);
  const QImage image = FBar->Render();
  // Outside a skinned frame the caption is fitted at each paint.
  EXPECT_TRUE(FBar->ShortenedCaption().isEmpty());
  const int textWidth = QFontMetrics(FBar->font()).horizontalAdvance("Hello");
  // The caption section: text width + icon offset - last left width + 17.
  const int captionEnd = 10 + textWidth + skin.IconPosX - SectionWidth(1) + 17;
  const int row = 27;
  EXPECT_EQ(At(image, 10, row), Rgb(SectionColor(2)));
  EXPECT_EQ(At(image, captionEnd - 1, row), Rgb(SectionColor(2)));
  EXPECT_EQ(At(image, captionEnd, row), Rgb(SectionColor(3)));
  EXPECT_EQ(At(image, captionEnd + SectionWidth(3) - 1, row), Rgb(SectionColor(3)));
  EXPECT_EQ(At(image, captionEnd + SectionWidth(3), row), Rgb(SectionColor(4)));
  EXPECT_EQ(At(image, 300 - SectionWidth(5) - 1, row), Rgb(SectionColor(4)));
  EXPECT_EQ(At(image, 300 - SectionWidth(5), row), Rgb(SectionColor(5)));
  SaveScreenshot(image, "titlebar-five-sections");
}

TEST_F(TitleBarTest, MinimumWidthFollowsTheSkinsPictures) {
  UseSkin({}, "three-minimum.ksk");
  // TITLEBAR1 + max(button offset + one button per button, TITLEBAR3).
  EXPECT_EQ(FWindow->minimumWidth(), 10 + std::max(4 + 16 * 4, 12));
  TTitleSkin five;
  five.FiveSections = true;
  UseSkin(five, "five-minimum.ksk");
  EXPECT_EQ(FWindow->minimumWidth(), 10 + 12 + std::max(4 + 16 * 4, 14) + 16);
}

TEST_F(TitleBarTest, RightHandButtonsLineUpFromTheRightAndStayInside) {
  UseSkin({}, "buttons.ksk");
  ShowAndWait(*FWindow);
  QImage image = FBar->Render();
  // From the right: close (frames 16-18), maximise (7-9), minimise (13-15).
  int d = 300 - 4 - 1;
  d -= 16;
  EXPECT_EQ(At(image, d + 8, 12), Rgb(ButtonFrameColor(16))) << "close";
  d -= 17;
  EXPECT_EQ(At(image, d + 8, 12), Rgb(ButtonFrameColor(7))) << "maximise";
  d -= 17;
  EXPECT_EQ(At(image, d + 8, 12), Rgb(ButtonFrameColor(13))) << "minimise";

  // A place past the right edge is pulled back to width - button - 1.
  FBar->SetRightBtnXOffset(-50);
  image = FBar->Render();
  const std::vector<QRect> rects = FBar->ButtonRects();
  EXPECT_EQ(rects[1].left(), 300 - 16 - 1);
  EXPECT_EQ(At(image, 300 - 16 - 1, 12), Rgb(ButtonFrameColor(16)));
  EXPECT_NE(At(image, 299, 12), Rgb(ButtonFrameColor(16)));
}

TEST_F(TitleBarTest, ButtonUnderThePointerIsHot) {
  UseSkin({}, "hot.ksk");
  ShowAndWait(*FWindow);
  const QRect close = FBar->ButtonRects()[1];
  const QPoint at = FBar->mapToGlobal(close.center());
  ASSERT_TRUE(
      RunXdotool("mousemove --sync " + std::to_string(at.x()) + " " + std::to_string(at.y())));
  ProcessFor(50);
  const QImage image = FBar->Render();
  EXPECT_EQ(FBar->HotButton(), 1);
  EXPECT_EQ(At(image, close.left() + 2, close.top() + 2), Rgb(ButtonFrameColor(17)));
}

TEST_F(TitleBarTest, CaptionIsFittedWithAnEllipsis) {
  UseSkin({}, "caption.ksk");
  ShowAndWait(*FWindow);
  FBar->SetCaption("Short");
  FBar->Render();
  EXPECT_EQ(FBar->DrawnCaption(), "Short");
  EXPECT_TRUE(FBar->ShortenedCaption().isEmpty()) << "no caption section";

  const QString longCaption =
      "A caption far too long for the bar, with words enough to pass every button";
  FBar->SetCaption(longCaption);
  FBar->Render();
  const QString drawn = FBar->DrawnCaption();
  ASSERT_TRUE(drawn.endsWith("...")) << drawn.toStdString();
  const QString prefix = drawn.chopped(3);
  EXPECT_TRUE(longCaption.startsWith(prefix));
  // The longest prefix that fits before the buttons.
  const QFontMetrics metrics(FBar->font());
  const int space = FBar->ButtonRects()[3].left() - FBar->DrawnCaptionRect().left();
  EXPECT_LE(metrics.horizontalAdvance(drawn), space);
  EXPECT_GT(metrics.horizontalAdvance(longCaption.left(prefix.size() + 1) + "..."), space);

  FBar->SetCaption("");
  FBar->Render();
  EXPECT_TRUE(FBar->DrawnCaption().isEmpty());
}

TEST_F(TitleBarTest, DragMovesTheWindowUnlessItIsMaximised) {
  UseSkin({}, "drag.ksk");
  ShowAndWait(*FWindow);
  const QPoint start = FWindow->pos();
  Send(QEvent::MouseButtonPress, QPoint(150, 25));
  EXPECT_TRUE(FBar->Dragging());
  Send(QEvent::MouseMove, QPoint(170, 35));
  Send(QEvent::MouseButtonRelease, QPoint(170, 35), Qt::NoButton);
  EXPECT_EQ(FWindow->pos(), start + QPoint(20, 10));

  FWindow->setWindowState(Qt::WindowMaximized);
  ProcessFor(20);
  ASSERT_TRUE(FWindow->isMaximized());
  const QPoint maximised = FWindow->pos();
  Send(QEvent::MouseButtonPress, QPoint(150, 25));
  EXPECT_FALSE(FBar->Dragging());
  Send(QEvent::MouseMove, QPoint(190, 45));
  Send(QEvent::MouseButtonRelease, QPoint(190, 45), Qt::NoButton);
  EXPECT_EQ(FWindow->pos(), maximised);
}

TEST_F(TitleBarTest, DoubleClickMaximisesOnTheAvailableScreen) {
  UseSkin({}, "double.ksk");
  ShowAndWait(*FWindow);
  Send(QEvent::MouseButtonDblClick, QPoint(150, 25));
  ProcessFor(50);
  EXPECT_TRUE(FWindow->isMaximized());
  const QRect available = FWindow->screen()->availableGeometry();
  EXPECT_EQ(FWindow->geometry(), available.adjusted(-2, -2, 2, -1));
  // The maximise button now shows the restore frames (10-12).
  EXPECT_EQ(BitmapPixel(FBar->Button(2).PicNormal(), 1, 1) & 0xFFFFFF,
            ToQColor(ButtonFrameColor(10)).rgb() & 0xFFFFFF);
}

TEST_F(TitleBarTest, SecondClientSectionAndSecondControlBoxAreRefused) {
  UseSkin({}, "refusals.ksk");
  TkivTitleBarSection& first = FBar->Section(0);
  QString text = CloseNextMessageBox([&] { first.SetAlign(TkivTitleBarAlign::kivClient); });
  EXPECT_EQ(text, "Sorry, only one section's Align property can be \"kivClient\"");
  EXPECT_EQ(first.Align(), TkivTitleBarAlign::kivLeft);

  TkivTitleBarButton& close = FBar->Button(1);
  text = CloseNextMessageBox([&] { close.SetButtonType(TkivTitleBarBtnType::kivControlBox); });
  EXPECT_EQ(text, "Sorry, only one button's ButtonType property can be \"kivControlBox\"");
  EXPECT_EQ(close.ButtonType(), TkivTitleBarBtnType::kivClose);
}

TEST_F(TitleBarTest, SystemMenuEnablesTheItemsOfTheButtonsShown) {
  UseSkin({}, "menu.ksk");
  ShowAndWait(*FWindow);
  TkivTitleBarPopupMenu* menu = FBar->SystemMenu();
  EXPECT_EQ(menu->MinimizeItem()->text(), QString::fromUtf8("最小化(&N)"));
  EXPECT_EQ(menu->MaximizeItem()->text(), QString::fromUtf8("最大化/还原(&X)"));
  EXPECT_EQ(menu->CloseItem()->text(), QString::fromUtf8("关闭(&C)"));
  FBar->Button(3).SetVisible(false); // minimise
  menu->PopupAt(FWindow->pos());
  EXPECT_FALSE(menu->MinimizeItem()->isEnabled());
  EXPECT_TRUE(menu->MaximizeItem()->isEnabled());
  EXPECT_TRUE(menu->CloseItem()->isEnabled());
  menu->close();
  menu->MaximizeItem()->trigger();
  EXPECT_TRUE(FWindow->isMaximized());
}

TEST_F(TitleBarTest, CustomBarKeepsItsSectionsThroughStyleChanges) {
  UseSkin({}, "custom.ksk");
  FBar->SetCustom(true);
  FBar->SetUIStyle(TkivUIStyle::WinXP);
  ASSERT_EQ(FBar->SectionCount(), 3);
  EXPECT_EQ(BitmapPixel(FBar->Section(1).Picture(), 0, 0) & 0xFFFFFF,
            ToQColor(SectionColor(2)).rgb() & 0xFFFFFF);
}

TEST_F(TitleBarTest, BuiltInStylesTakeTheirOffsetsAndCorners) {
  for (TkivUIStyle style : {TkivUIStyle::MacOS, TkivUIStyle::WinXP, TkivUIStyle::DeepBlue,
                            TkivUIStyle::Protein, TkivUIStyle::BlueGlass}) {
    const int s = StyleNumber(style);
    FBar->SetUIStyle(style);
    EXPECT_EQ(FBar->SectionCount(), 3);
    EXPECT_EQ(FBar->LeftBtnXOffset(), GetThemeInt(s, 7));
    EXPECT_EQ(FBar->RightBtnXOffset(), GetThemeInt(s, 8));
    EXPECT_EQ(FBar->ButtonTop(), GetThemeInt(s, 9));
    EXPECT_EQ(FBar->RoundCorner(), GetThemeInt(s, 14));
    EXPECT_EQ(FWindow->minimumWidth(), GetThemeInt(s, 13));
    EXPECT_EQ(FBar->FontColor(), style == TkivUIStyle::MacOS ? 0 : 0xFFFFFF);
  }
}

} // namespace
