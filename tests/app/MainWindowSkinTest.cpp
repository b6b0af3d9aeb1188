// The main window in its skin: the frame with its title bar and menu bar
// around the controls, the picture buttons, the settings arrow, in the
// window's stored skin and in each built-in style, collapsed and expanded
// (with screenshots in the build folder).
#include "AppTestSupport.h"
#include "ArrowButton.h"
#include "FormFrame.h"
#include "GlobalObject.h"
#include "ImageButton.h"
#include "MainForm.h"
#include "SkinForm.h"
#include "SkinMenu.h"
#include "ThemeManager.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

struct TStyleCase {
  TkivUIStyle Style;
  const char* Name;
};

const TStyleCase kStyles[] = {
    {TkivUIStyle::FromThemeFile, "stored"}, {TkivUIStyle::MacOS, "MacOS"},
    {TkivUIStyle::WinXP, "WinXP"},          {TkivUIStyle::DeepBlue, "DeepBlue"},
    {TkivUIStyle::Protein, "Protein"},      {TkivUIStyle::BlueGlass, "BlueGlass"},
};

QRect InWindow(const QWidget* AWidget) {
  return QRect(AWidget->mapTo(AWidget->window(), QPoint(0, 0)), AWidget->size());
}

class MainWindowSkin : public ::testing::Test {
protected:
  std::unique_ptr<TfrmMain> Open() {
    auto window = std::make_unique<TfrmMain>(ProgramFolder(), Folder.File("vexmora.ini"));
    window->SetAutoAnswer(QMessageBox::Yes);
    window->show();
    EXPECT_TRUE(WaitFor([&] { return window->isVisible(); }, 5s));
    return window;
  }
  static void Close(std::unique_ptr<TfrmMain>& AWindow) {
    AWindow->close();
    AWindow.reset();
  }
  // The frame's inside: below its menu bar, within its borders.
  static QRect Inside(TfrmMain& AWindow) {
    const QMargins frame = AWindow.kivForm1->FrameMargins();
    const int top = InWindow(AWindow.kivForm1->MenuBar()).bottom() + 1;
    return QRect(frame.left(), top, AWindow.width() - frame.left() - frame.right(),
                 AWindow.height() - frame.bottom() - top);
  }
  static void Save(TfrmMain& AWindow, const std::string& AName) {
    Serve(150ms);
    const std::string file = ProgramFolder() + "/../vexmora-main-" + AName + ".png";
    EXPECT_TRUE(AWindow.grab().save(QString::fromStdString(file))) << file;
  }
  TTempFolder Folder;
};

TEST_F(MainWindowSkin, TheWindowHoldsItsSkinnedFrameThemedByItsStoredSkin) {
  auto window = Open();
  const std::string title = "Vexmora" + TGlobalObject::GetFileVersionText();
  // The frame's caption is set at the first showing, from the name and version.
  EXPECT_EQ(window->kivForm1->Caption().toStdString(), title);
  EXPECT_EQ(window->kivForm1->TitleBar()->Caption().toStdString(), title);
  EXPECT_EQ(window->windowTitle().toStdString(), title);
  EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);

  // The manager hands the stored skin and FromThemeFile to the frame and the arrow.
  EXPECT_EQ(window->kivThemeManager1->CompList(), QStringList({"kivForm1", "arrbtnSetings"}));
  EXPECT_EQ(window->kivThemeManager1->UIStyle(), TkivUIStyle::FromThemeFile);
  EXPECT_TRUE(window->kivBuiltInFileTheme1->Ready());
  for (TkivSkinnable* component : std::initializer_list<TkivSkinnable*>{
           window->kivThemeManager1, window->kivForm1, window->arrbtnSetings}) {
    EXPECT_EQ(component->UIStyle(), TkivUIStyle::FromThemeFile);
    EXPECT_EQ(component->FileTheme(), window->kivBuiltInFileTheme1);
  }
  // The arrow takes the empty strip's size under FromThemeFile and points down.
  EXPECT_EQ(window->arrbtnSetings->size(), QSize(24, 21));
  EXPECT_EQ(window->arrbtnSetings->Arrow(), TkivArrowButtonType::kivDown);

  // The skin form has no picture: it shapes nothing and is not seen.
  EXPECT_TRUE(window->kivSkinForm1->Glyph().Empty());
  EXPECT_EQ(window->kivSkinForm1->TransparentColor(), 0xFF00FFu);
  EXPECT_FALSE(window->kivSkinForm1->isVisible());
  // The stored skin needs no region: the window is its whole rectangle.
  EXPECT_EQ(window->mask(), QRegion(window->rect()));

  // The main menu is the frame's menu bar.
  EXPECT_EQ(window->kivForm1->Menu(), window->MainMenu1);
  ASSERT_NE(window->kivForm1->MenuBar(), nullptr);
  EXPECT_TRUE(window->kivForm1->MenuBar()->isVisible());

  // The picture buttons keep their captions and names; the share buttons
  // show their service by picture and name it in their hint.
  EXPECT_EQ(window->btnStart->Caption(), "Start");
  EXPECT_EQ(window->btnStop->Caption(), "Stop");
  EXPECT_FALSE(window->btnStart->PicNormal().Empty());
  EXPECT_FALSE(window->btnStart->PicMouseDown().Empty());
  EXPECT_TRUE(window->imgbtnfc->Caption().isEmpty());
  EXPECT_EQ(window->imgbtnfc->toolTip(), "Facebook");
  EXPECT_EQ(window->imgbtnfc->objectName(), "imgbtnfc");
  Close(window);
}

// Each style, collapsed and expanded: the title bar at the top, the menu bar
// under it, and every control that shows within the frame's borders.
TEST_F(MainWindowSkin, EveryStyleFitsTheControlsInTheFrameCollapsedAndExpanded) {
  auto window = Open();
  for (const TStyleCase& style : kStyles) {
    SCOPED_TRACE(style.Name);
    window->kivThemeManager1->SetUIStyle(style.Style);
    EXPECT_EQ(window->kivForm1->UIStyle(), style.Style);
    EXPECT_EQ(window->arrbtnSetings->UIStyle(), style.Style);
    Serve(50ms);

    ASSERT_EQ(window->size(), QSize(433, 122));
    EXPECT_LE(InWindow(window->kivForm1->TitleBar()).top(), 3);
    EXPECT_EQ(InWindow(window->kivForm1->MenuBar()).top(),
              InWindow(window->kivForm1->TitleBar()).bottom() + 1);
    const QRect inside = Inside(*window);
    for (QWidget* control : std::initializer_list<QWidget*>{
             window->btnStart, window->btnPause, window->btnResume, window->btnStop,
             window->arrbtnSetings, window->lblRecorderStatus})
      EXPECT_TRUE(inside.contains(InWindow(control)))
          << control->objectName().toStdString() << " at " << InWindow(control).x() << ","
          << InWindow(control).y() << " " << control->width() << "x" << control->height();
    // The row of buttons side by side, none over the next.
    const QWidget* row[] = {window->btnStart, window->btnPause, window->btnResume, window->btnStop,
                            window->arrbtnSetings};
    for (size_t i = 1; i < std::size(row); ++i)
      EXPECT_LT(InWindow(row[i - 1]).right(), InWindow(row[i]).left())
          << row[i]->objectName().toStdString();
    EXPECT_FALSE(window->PageControl1->isVisible());

    // The picture buttons draw their own pictures whatever the style: the
    // red dot of Start, the grey bars of the disabled Pause.
    const QImage shot = window->grab().toImage();
    const QColor dot = shot.pixelColor(window->btnStart->mapTo(window.get(), QPoint(11, 14)));
    EXPECT_GT(dot.red(), 150);
    EXPECT_LT(dot.green(), 80);
    const QColor bar = shot.pixelColor(window->btnPause->mapTo(window.get(), QPoint(7, 14)));
    EXPECT_TRUE(bar.red() == bar.green() && bar.green() == bar.blue() && bar.red() < 200)
        << bar.name().toStdString();
    Save(*window, std::string(style.Name) + "-collapsed");

    window->arrbtnSetings->Click();
    ASSERT_EQ(window->size(), QSize(433, 390));
    EXPECT_EQ(window->arrbtnSetings->Arrow(), TkivArrowButtonType::kivUp);
    EXPECT_TRUE(window->PageControl1->isVisible());
    EXPECT_TRUE(Inside(*window).contains(InWindow(window->PageControl1)));
    Save(*window, std::string(style.Name) + "-expanded");
    window->arrbtnSetings->Click();
    EXPECT_EQ(window->arrbtnSetings->Arrow(), TkivArrowButtonType::kivDown);
  }
  // Back to the stored skin: the frame reads it again.
  window->kivThemeManager1->SetUIStyle(TkivUIStyle::FromThemeFile);
  EXPECT_EQ(window->mask(), QRegion(window->rect()));
  Close(window);
}

// The frame's close button, pressed with the pointer, asks the close question.
TEST_F(MainWindowSkin, TheTitleBarsCloseButtonAsksBeforeTheWindowCloses) {
  auto window = Open();
  TkivTitleBar* bar = window->kivForm1->TitleBar();
  const std::vector<QRect> rects = bar->ButtonRects();
  QRect close;
  for (int i = 0; i < bar->ButtonCount(); ++i)
    if (bar->Button(i).ButtonType() == TkivTitleBarBtnType::kivClose) close = rects.at(i);
  ASSERT_FALSE(close.isEmpty());
  const QPoint at = bar->mapToGlobal(close.center());
  auto press = [&] {
    return Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y())}) &&
           WaitFor([&] { return QCursor::pos() == at; }, 5s) && Xdotool({"click", "1"});
  };
  window->SetAutoAnswer(QMessageBox::No);
  ASSERT_TRUE(press());
  EXPECT_TRUE(WaitFor([&] { return window->LastWarning() == "Do you really want to exit?"; }, 3s));
  EXPECT_TRUE(window->isVisible());
  window->SetAutoAnswer(QMessageBox::Yes);
  // A second press soon after the first would be a double click.
  Serve(std::chrono::milliseconds(QApplication::doubleClickInterval() + 100));
  ASSERT_TRUE(press());
  EXPECT_TRUE(WaitFor([&] { return !window->isVisible(); }, 3s));
  EXPECT_EQ(GlobalObject(), nullptr);
  window.reset();
}

// WinXP rounds the window's top corners; DeepBlue keeps the whole rectangle.
TEST_F(MainWindowSkin, TheWindowsRegionFollowsTheStyle) {
  auto window = Open();
  window->kivThemeManager1->SetUIStyle(TkivUIStyle::WinXP);
  EXPECT_FALSE(window->mask().contains(QPoint(0, 0)));
  EXPECT_FALSE(window->mask().contains(QPoint(window->width() - 1, 0)));
  EXPECT_TRUE(window->mask().contains(QPoint(window->width() / 2, 0)));
  EXPECT_TRUE(window->mask().contains(QPoint(0, window->height() - 1)));
  window->kivThemeManager1->SetUIStyle(TkivUIStyle::DeepBlue);
  EXPECT_EQ(window->mask(), QRegion(window->rect()));
  Close(window);
}

} // namespace
