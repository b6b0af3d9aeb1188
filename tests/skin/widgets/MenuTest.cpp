// Skinned menus on a real X server: item measuring, MacOS separators, the
// colours of each style, check marks and framed images, and the menu bar's
// keyboard rule.
#include "BuiltInStyles.h"
#include "FormFrame.h"
#include "SkinMenu.h"
#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QTest>

namespace {

class MenuTest : public ::testing::Test {
protected:
  void SetUp() override {
    FWindow = std::make_unique<QWidget>();
    FWindow->resize(300, 200);
    FWindow->move(60, 60);
  }
  void TearDown() override {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    FWindow.reset();
  }

  // Pops the menu up, waits until it shows and takes its picture.
  static QImage Shown(QMenu& AMenu) {
    AMenu.popup(QPoint(400, 300));
    (void)QTest::qWaitForWindowExposed(&AMenu, 3000);
    ProcessFor(30);
    QImage image = Picture(AMenu);
    return image;
  }

  std::unique_ptr<QWidget> FWindow;
};

TEST_F(MenuTest, ItemWidthIsCaptionShortCutStripAndForty) {
  EXPECT_EQ(MenuItemWidth(30, 40, 26), 136);
  auto* menu = new TkivPopupMenu(FWindow.get());
  QAction* item = menu->addAction("&Open file");
  item->setShortcut(QKeySequence("Ctrl+O"));
  EXPECT_EQ(menu->BarWidth(), 26);
  const QFontMetrics metrics(menu->ItemFont());
  const int expected = MenuItemWidth(
      metrics.horizontalAdvance("Open file"),
      metrics.horizontalAdvance(item->shortcut().toString(QKeySequence::NativeText)), 26);
  EXPECT_EQ(menu->MeasureItem(item).width(), expected);
  EXPECT_EQ(menu->MeasureItem(item).height(), std::max(21, metrics.height()));
  // The menu lays the item out at that width.
  Shown(*menu);
  EXPECT_EQ(menu->actionGeometry(item).width(), expected);
  menu->close();
}

TEST_F(MenuTest, SeparatorHeightIsFixedUnderMacOS) {
  auto* menu = new TkivPopupMenu(FWindow.get());
  menu->addAction("One");
  QAction* separator = menu->addSeparator();
  menu->addAction("Two");
  menu->SetUIStyle(TkivUIStyle::MacOS);
  menu->SetSeparatorHeight(30);
  menu->SetMenuItemHeight(40);
  EXPECT_EQ(menu->SeparatorHeight(), 12);
  EXPECT_EQ(menu->MenuItemHeight(), 20);
  EXPECT_EQ(menu->MeasureItem(separator).height(), 12);
  Shown(*menu);
  EXPECT_EQ(menu->actionGeometry(separator).height(), 12);
  SaveScreenshot(Picture(*menu), "menu-macos");
  menu->close();

  menu->SetUIStyle(TkivUIStyle::DeepBlue);
  EXPECT_EQ(menu->SeparatorHeight(), 5);
  menu->SetSeparatorHeight(9);
  EXPECT_EQ(menu->MeasureItem(separator).height(), 9);
  EXPECT_EQ(menu->SeparatorColor(), 0x848284);
}

TEST_F(MenuTest, ColoursComeFromTheStyleOrTheSkin) {
  auto* menu = new TkivPopupMenu(FWindow.get());
  for (TkivUIStyle style : {TkivUIStyle::WinXP, TkivUIStyle::DeepBlue, TkivUIStyle::BlueGlass}) {
    const int s = StyleNumber(style);
    menu->SetUIStyle(style);
    EXPECT_EQ(menu->BarColor(), GetThemeColor(s, 23));
    EXPECT_EQ(menu->Color(), GetThemeColor(s, 21));
    EXPECT_EQ(menu->SelectedColor(), GetThemeColor(s, 19));
    EXPECT_EQ(menu->SelectedBorderColor(), GetThemeColor(s, 18));
    EXPECT_EQ(menu->SelectedFontColor(), GetThemeColor(s, 20));
  }
  TkivThemeComponent* theme = StoredSkinTheme(FWindow.get());
  menu->SetFileTheme(theme);
  menu->SetUIStyle(TkivUIStyle::FromThemeFile);
  EXPECT_EQ(menu->Color(), theme->Theme().GetColor(11));
  EXPECT_EQ(menu->SelectedColor(), theme->Theme().GetColor(13));
  EXPECT_EQ(menu->BarColor(), theme->Theme().GetColor(9));
  EXPECT_EQ(menu->BarToColor(), theme->Theme().GetColor(10));
  delete theme;
  EXPECT_EQ(menu->UIStyle(), TkivUIStyle::DeepBlue);
}

TEST_F(MenuTest, ItemsAreDrawnInTheSkinsColours) {
  auto* menu = new TkivPopupMenu(FWindow.get());
  menu->SetUIStyle(TkivUIStyle::DeepBlue);
  QAction* first = menu->addAction("First");
  QAction* second = menu->addAction("Second");
  const QImage plain = Shown(*menu);
  const QRect firstRect = menu->actionGeometry(first);
  // The strip at the leading side, the item colour after it.
  EXPECT_EQ(plain.pixel(firstRect.left() + 2, firstRect.bottom() - 1), Rgb(menu->BarColor()));
  EXPECT_EQ(plain.pixel(firstRect.right() - 2, firstRect.bottom() - 1), Rgb(menu->Color()));
  menu->setActiveAction(second);
  ProcessFor(30);
  const QImage selected = Picture(*menu);
  const QRect secondRect = menu->actionGeometry(second);
  EXPECT_EQ(selected.pixel(secondRect.left(), secondRect.top()), Rgb(menu->SelectedBorderColor()));
  EXPECT_EQ(selected.pixel(secondRect.right() - 2, secondRect.bottom() - 2),
            Rgb(menu->SelectedColor()));
  SaveScreenshot(selected, "menu-deepblue");
  menu->close();
}

TEST_F(MenuTest, FlatMenuIsFramedBlackWhiteAndInTheFormColour) {
  auto* menu = new TkivPopupMenu(FWindow.get());
  menu->SetUIStyle(TkivUIStyle::DeepBlue);
  menu->addAction("First");
  menu->addAction("Second");
  menu->SetFlatMenu(true);
  const QImage image = Shown(*menu);
  const int bottom = image.height() - 2; // the edge runs from row 1 to height - 2
  EXPECT_EQ(image.pixel(0, 10), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(1, 10), qRgb(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(image.pixel(20, bottom - 2),
            Rgb(GetThemeColor(StyleNumber(TkivUIStyle::DeepBlue), 15)));
  menu->close();
}

TEST_F(MenuTest, CheckedItemShowsTheCheckMarkOrAFramedImage) {
  auto* menu = new TkivPopupMenu(FWindow.get());
  menu->SetUIStyle(TkivUIStyle::WinXP);
  QAction* plain = menu->addAction("Plain");
  plain->setCheckable(true);
  plain->setChecked(true);
  QPixmap icon(16, 16);
  icon.fill(QColor(0x10, 0xA0, 0x30));
  QAction* withImage = menu->addAction(QIcon(icon), "With image");
  withImage->setCheckable(true);
  withImage->setChecked(true);
  const QImage image = Shown(*menu);

  const QRect plainRect = menu->actionGeometry(plain);
  const QImage& mark = TkivSkinnedMenu::CheckMarkImage();
  ASSERT_FALSE(mark.isNull());
  const int x = plainRect.left() + 4, y = plainRect.top() + 3;
  int compared = 0;
  for (int my = 0; my < mark.height(); ++my)
    for (int mx = 0; mx < mark.width(); ++mx)
      if (qAlpha(mark.pixel(mx, my)) != 0) {
        EXPECT_EQ(image.pixel(x + mx, y + my) & 0xFFFFFF, mark.pixel(mx, my) & 0xFFFFFF);
        ++compared;
      }
  EXPECT_GT(compared, 10);

  const QRect imageRect = menu->actionGeometry(withImage);
  const int ix = imageRect.left() + 4, iy = imageRect.top();
  EXPECT_EQ(image.pixel(ix - 2, iy + 1), qRgb(0, 0, 0)) << "the black frame";
  EXPECT_EQ(image.pixel(ix - 1, iy + 2), Rgb(menu->SelectedColor())) << "the filled inside";
  EXPECT_EQ(image.pixel(ix + 8, iy + 10), qRgb(0x10, 0xA0, 0x30)) << "the image";
  SaveScreenshot(image, "menu-checked");
  menu->close();
}

TEST_F(MenuTest, BarLetterNeedsAltUnlessABarMenuIsHot) {
  auto* form = new TkivForm(FWindow.get());
  auto* mainMenu = new TkivMainMenu(FWindow.get());
  QMenu* file = mainMenu->addMenu("&File");
  file->addAction("&Quit");
  mainMenu->addMenu("&Edit")->addAction("&Copy");
  form->SetMenu(mainMenu);
  ASSERT_NE(form->MenuBar(), nullptr);
  EXPECT_EQ(form->MenuBar()->ButtonCount(), 2);
  EXPECT_EQ(form->MenuBarHeight(), 22);
  ShowAndWait(*FWindow);
  Activate(*FWindow);

  QTest::keyClick(FWindow.get(), Qt::Key_F);
  ProcessFor(30);
  EXPECT_FALSE(file->isVisible()) << "a letter without Alt";
  QTest::keyClick(FWindow.get(), Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(ProcessUntil([&] { return file->isVisible(); }));
  form->MenuBar()->repaint();
  EXPECT_EQ(form->MenuBar()->ButtonTag(0), TkivMenuBar::HotTag);
  SaveScreenshot(Picture(*FWindow), "menubar-open");
  file->close();
  ProcessFor(20);

  // Hot by the pointer: the letter alone opens its menu.
  const QPoint over = form->MenuBar()->mapToGlobal(form->MenuBar()->ButtonRect(1).center());
  ASSERT_TRUE(
      RunXdotool("mousemove --sync " + std::to_string(over.x()) + " " + std::to_string(over.y())));
  ASSERT_TRUE(ProcessUntil([&] {
    form->MenuBar()->repaint();
    return form->MenuBar()->ButtonTag(1) == TkivMenuBar::HotTag;
  }));
  Activate(*FWindow);
  QTest::keyClick(FWindow.get(), Qt::Key_F);
  EXPECT_TRUE(ProcessUntil([&] { return file->isVisible(); }));
  file->close();
  RunXdotool("mousemove 1900 1000");
}

} // namespace
