// The theme manager, the picture-shaped form and the link label on a real X
// server.
#include "ThemeManager.h"
#include "ArrowButton.h"
#include "FormFrame.h"
#include "SkinCanvas.h"
#include "SkinForm.h"
#include "URLLabel.h"
#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QTest>

namespace {

class ThemeManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    FHost = std::make_unique<QWidget>();
    FHost->setGeometry(100, 100, 360, 240);
    FForm = new TkivForm(FHost.get());
    FForm->setObjectName("kivForm1");
    FArrow = new TkivArrowButton(FHost.get());
    FArrow->setObjectName("arrbtnSetings");
    FManager = new TkivThemeManager(FHost.get());
    FManager->setObjectName("kivThemeManager1");
    FManager->SetCompList({"kivForm1", "arrbtnSetings", "noSuchComponent"});
  }
  void TearDown() override { FHost.reset(); }

  std::unique_ptr<QWidget> FHost;
  TkivForm* FForm = nullptr;
  TkivArrowButton* FArrow = nullptr;
  TkivThemeManager* FManager = nullptr;
};

TEST_F(ThemeManagerTest, AppliesStyleAndThemeToTheListedComponents) {
  TkivThemeComponent* theme = StoredSkinTheme(FHost.get());
  FManager->SetFileTheme(theme);
  FManager->SetUIStyle(TkivUIStyle::FromThemeFile);
  for (TkivSkinnable* component : std::initializer_list<TkivSkinnable*>{FForm, FArrow}) {
    EXPECT_EQ(component->UIStyle(), TkivUIStyle::FromThemeFile);
    EXPECT_EQ(component->FileTheme(), theme);
  }
  // The form now draws from the stored skin.
  EXPECT_EQ(FForm->Color(), theme->Theme().GetColor(2));
}

TEST_F(ThemeManagerTest, SameStyleIsAppliedAgainWithoutTheEvent) {
  int events = 0;
  FManager->OnUIStyleChanged = [&](QObject* ASender) {
    EXPECT_EQ(ASender, FManager);
    ++events;
  };
  FManager->SetUIStyle(TkivUIStyle::WinXP);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(FArrow->UIStyle(), TkivUIStyle::WinXP);
  FArrow->SetUIStyle(TkivUIStyle::MacOS);
  FForm->SetUIStyle(TkivUIStyle::Protein);
  FManager->SetUIStyle(TkivUIStyle::WinXP);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(FArrow->UIStyle(), TkivUIStyle::WinXP);
  EXPECT_EQ(FForm->UIStyle(), TkivUIStyle::WinXP);
}

TEST_F(ThemeManagerTest, DeletedComponentLeavesTheList) {
  delete FArrow;
  EXPECT_EQ(FManager->CompList(), QStringList({"kivForm1", "noSuchComponent"}));
  FManager->SetUIStyle(TkivUIStyle::BlueGlass);
  EXPECT_EQ(FForm->UIStyle(), TkivUIStyle::BlueGlass);
}

TEST_F(ThemeManagerTest, RemovedThemeStoresDeepBlueWithoutApplyingIt) {
  FManager->SetCompList({"arrbtnSetings"});
  TkivThemeComponent* theme = StoredSkinTheme(FHost.get());
  FManager->SetFileTheme(theme);
  FManager->SetUIStyle(TkivUIStyle::MacOS);
  int events = 0;
  FManager->OnUIStyleChanged = [&](QObject*) { ++events; };
  // The components forget the theme themselves; the manager only stores.
  FArrow->SetFileTheme(nullptr);
  delete theme;
  EXPECT_EQ(FManager->FileTheme(), nullptr);
  EXPECT_EQ(FManager->UIStyle(), TkivUIStyle::DeepBlue);
  EXPECT_EQ(FArrow->UIStyle(), TkivUIStyle::MacOS);
  EXPECT_EQ(events, 0);
}

// A window frees its children in the order they were made: a theme made
// before the frame and the manager goes first, while the window is being
// taken apart, and its users must not reach into the half-freed window.
TEST(ThemeManagerWindowTest, AWindowWhoseThemeGoesFirstClosesCleanly) {
  auto host = std::make_unique<QWidget>();
  TkivThemeComponent* theme = StoredSkinTheme(host.get());
  auto* form = new TkivForm(host.get());
  form->setObjectName("kivForm1");
  // Inside a panel: the manager looks for it through the window's tree.
  auto* arrow = new TkivArrowButton(new QWidget(host.get()));
  arrow->setObjectName("arrbtnSetings");
  auto* manager = new TkivThemeManager(host.get());
  manager->SetCompList({"kivForm1", "arrbtnSetings"});
  manager->SetFileTheme(theme);
  manager->SetUIStyle(TkivUIStyle::FromThemeFile);
  ASSERT_EQ(form->FileTheme(), theme);
  ASSERT_EQ(arrow->FileTheme(), theme);
  host->show();
  QApplication::processEvents();
  host.reset();
  SUCCEED();
}

TEST(SkinFormTest, GlyphShapesAndSizesItsForm) {
  QWidget host;
  host.move(200, 150);
  auto* skin = new TkivSkinForm(&host);
  skin->setObjectName("kivSkinForm1");
  EXPECT_TRUE(host.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(skin->size(), QSize(200, 100));
  EXPECT_EQ(skin->TransparentColor(), 0xFF00FF);
  int regionChanges = 0;
  skin->OnRegionChanged = [&](QObject*) { ++regionChanges; };

  // No glyph: nothing is shaped.
  skin->SetTransparentColor(0xFF00FF);
  EXPECT_EQ(regionChanges, 0);
  EXPECT_TRUE(host.mask().isEmpty());

  TBitmap glyph = FilledBitmap(300, 200, 0x4080C0);
  TSkinCanvas canvas(glyph);
  for (const TRect& corner : {TRect{0, 0, 10, 10}, TRect{290, 0, 300, 10}, TRect{0, 190, 10, 200},
                              TRect{290, 190, 300, 200}})
    canvas.FillRect(corner, 0xFF00FF);
  skin->SetGlyph(glyph);
  EXPECT_EQ(regionChanges, 1);
  EXPECT_EQ(host.size(), QSize(300, 200));
  EXPECT_EQ(skin->geometry(), QRect(0, 0, 300, 200));
  const QRegion mask = host.mask();
  EXPECT_FALSE(mask.contains(QPoint(0, 0)));
  EXPECT_FALSE(mask.contains(QPoint(299, 199)));
  EXPECT_FALSE(mask.contains(QPoint(9, 9)));
  EXPECT_TRUE(mask.contains(QPoint(10, 0)));
  EXPECT_TRUE(mask.contains(QPoint(0, 10)));
  EXPECT_TRUE(mask.contains(QPoint(150, 100)));
  EXPECT_EQ(mask, QRegion(0, 0, 300, 200) - QRegion(0, 0, 10, 10) - QRegion(290, 0, 10, 10) -
                      QRegion(0, 190, 10, 10) - QRegion(290, 190, 10, 10));

  ShowAndWait(host);
  EXPECT_EQ(Picture(*skin).pixel(150, 100), Rgb(0x4080C0));
  SaveScreenshot(Picture(host), "skin-form");

  // The picture drags its form.
  const QPoint start = host.pos();
  auto send = [&](QEvent::Type AType, QPoint APoint, Qt::MouseButtons AButtons) {
    QMouseEvent event(AType, APoint, skin->mapToGlobal(APoint), Qt::LeftButton, AButtons,
                      Qt::NoModifier);
    QApplication::sendEvent(skin, &event);
  };
  send(QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton);
  send(QEvent::MouseMove, QPoint(80, 70), Qt::LeftButton);
  send(QEvent::MouseButtonRelease, QPoint(80, 70), Qt::NoButton);
  EXPECT_EQ(host.pos(), start + QPoint(30, 20));
}

// Receives the addresses the desktop is asked to open.
class TUrlSink : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Opened;
public slots:
  void Open(const QUrl& AUrl) { Opened.append(AUrl); }
};

TEST(URLLabelTest, BlankAddressOpensNothingButStillClicks) {
  TUrlSink sink;
  QDesktopServices::setUrlHandler("vexmora-test", &sink, "Open");
  QWidget window;
  auto* label = new TkivURLLabel(&window);
  label->setText("Home page");
  int clicks = 0;
  label->OnClick = [&](QObject*) { ++clicks; };
  EXPECT_TRUE(label->font().underline());
  EXPECT_EQ(label->FontColor(), 0xFF0000);
  EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);

  label->SetURL("   ");
  label->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(sink.Opened.isEmpty());

  label->SetURL(" vexmora-test://example/page ");
  label->Click();
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(sink.Opened.size(), 1);
  EXPECT_EQ(sink.Opened[0].host(), "example");
  QDesktopServices::unsetUrlHandler("vexmora-test");
}

TEST(URLLabelTest, PointerOverTheLabelTakesTheHoverColour) {
  QWidget window;
  auto* label = new TkivURLLabel(&window);
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(label, &enter);
  EXPECT_EQ(label->FontColor(), 0x0000FF);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(label, &leave);
  EXPECT_EQ(label->FontColor(), 0xFF0000);
  label->SetFontLinkColor(0x008000);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0x80, 0));
}

} // namespace

#include "ThemeManagerTest.moc"
