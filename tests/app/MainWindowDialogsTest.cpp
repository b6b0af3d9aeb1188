// The main window's region commands, dialogs and languages as the user
// reaches them from its buttons and menus: the full-screen button, the
// region frame shown by "Show Region" and the edits' exits, the warning for
// an edit that is not a number, the picker behind "Select", "Browse", the
// three option buttons (their dialogs store into the settings file), and
// the Language menu translating the window (labels included) and the
// option dialogs but not the folder dialog, with a screenshot in German.
#include "AppTestSupport.h"
#include "ArrowButton.h"
#include "DirectoryDialog.h"
#include "ImageButton.h"
#include "IniFile.h"
#include "MainForm.h"
#include "OverlayOptionsDialog.h"
#include "RegionSelection.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

using namespace std::chrono_literals;

namespace {

// Answers every modal dialog that comes up while it lives with AAct.
class TModalAnswerer {
public:
  explicit TModalAnswerer(std::function<void(QDialog*)> AAct) {
    QObject::connect(&FTimer, &QTimer::timeout, [this, AAct] {
      // Each answer closes its dialog before the next tick.
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      ++Count;
      AAct(dialog);
    });
    FTimer.start(20);
  }
  int Count = 0;

private:
  QTimer FTimer;
};

class MainWindowDialogs : public ::testing::Test {
protected:
  void SetUp() override {
    Window = std::make_unique<TfrmMain>(ProgramFolder(), IniName);
    Window->SetAutoAnswer(QMessageBox::Yes);
    Window->show();
    ASSERT_TRUE(WaitFor([&] { return Window->isVisible(); }, 5s));
    Window->arrbtnSetings->Click(); // the settings pages
  }
  void TearDown() override {
    // Closing asks nothing but the close question (answered by the window).
    TModalAnswerer stray([](QDialog* ADialog) { ADialog->reject(); });
    Window->close();
    Window.reset();
    EXPECT_EQ(stray.Count, 0);
  }
  // Makes the window the active one, where focus moves between its controls.
  bool Activate() {
    Window->activateWindow();
    return QTest::qWaitForWindowActive(Window.get(), 5000);
  }
  void SetRegion(const char* ALeft, const char* ATop, const char* AWidth, const char* AHeight) {
    Window->edtLeft->setText(ALeft);
    Window->edtTop->setText(ATop);
    Window->edtW->setText(AWidth);
    Window->edtH->setText(AHeight);
  }
  TRegionFrame* Frame() const { return Window->RegionSelection()->Frame(); }

  TTempFolder Folder;
  std::string IniName = Folder.File("vexmora.ini");
  TIniFile Ini{IniName};
  std::unique_ptr<TfrmMain> Window;
};

TEST_F(MainWindowDialogs, TheRegionButtonsFillTheEditsAndShowAndCloseTheFrame) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{Window->btnSelect, Window->btnDesktop, Window->btnShow,
                                       Window->btnClose, Window->btnBrowse})
    EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
  EXPECT_FALSE(Window->cmbPreset->isVisible());
  EXPECT_FALSE(Window->lblPreset->isVisible());

  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  Window->btnDesktop->Click();
  EXPECT_EQ(Window->edtLeft->text(), "0");
  EXPECT_EQ(Window->edtTop->text(), "0");
  EXPECT_EQ(Window->edtW->text().toInt(), screen.width());
  EXPECT_EQ(Window->edtH->text().toInt(), screen.height());
  EXPECT_EQ(Window->lblRecorderStatus->text(),
            QString("Recorder Status: Select full screen %1 x %2")
                .arg(screen.width())
                .arg(screen.height()));
  EXPECT_EQ(Ini.ReadInteger("settings", "width", 0), screen.width());

  SetRegion("50", "60", "200", "100");
  EXPECT_EQ(Frame(), nullptr);
  Window->btnShow->click();
  ASSERT_NE(Frame(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return Frame()->isVisible(); }, 3s));
  // The 2-pixel ring lies around the region.
  EXPECT_EQ(Frame()->geometry(), QRect(48, 58, 204, 104));

  // Leaving an edit after typing shows the frame for the new region.
  ASSERT_TRUE(Activate());
  Window->edtW->setFocus();
  Window->edtW->selectAll();
  QTest::keyClicks(Window->edtW, "150");
  Window->edtH->setFocus();
  EXPECT_TRUE(WaitFor([&] { return Frame() && Frame()->geometry().width() == 154; }, 3s));

  Window->btnClose->click();
  EXPECT_EQ(Frame(), nullptr);
}

TEST_F(MainWindowDialogs, AnEditThatIsNotANumberWarnsAndLeavesTheFrame) {
  SetRegion("50", "60", "200", "100");
  Window->btnShow->click();
  ASSERT_NE(Frame(), nullptr);
  TRegionFrame* shown = Frame();
  const QRect geometry = shown->geometry();

  Window->edtH->setText(""); // what deleting its digits leaves
  QStringList seen;
  // Focus moves arrive from the X server: wait until no more warnings come.
  auto settled = [&] {
    qsizetype before = -1;
    while (before != seen.size()) {
      before = seen.size();
      Serve(300ms);
    }
    return seen.size();
  };
  {
    TModalAnswerer answer([&](QDialog* ADialog) {
      auto* box = qobject_cast<QMessageBox*>(ADialog);
      seen << (box ? box->windowTitle() + ": " + box->text() : ADialog->objectName());
      ADialog->accept();
    });
    Window->btnShow->click();
    ASSERT_EQ(seen.size(), 1);
    // Leaving the edit for another control of the window runs the same
    // check once: the warning box takes the focus too, which is no exit.
    ASSERT_TRUE(Activate());
    Window->edtH->setFocus();
    const qsizetype beforeExit = settled();
    Window->edtW->setFocus();
    ASSERT_TRUE(WaitFor([&] { return seen.size() > beforeExit; }, 3s));
    EXPECT_EQ(settled(), beforeExit + 1);
    // Another window taking the focus from an edit being typed into (while
    // the height is still empty) is no exit.
    ASSERT_TRUE(Activate());
    Window->edtW->setFocus();
    Window->edtW->selectAll();
    QTest::keyClicks(Window->edtW, "320");
    const qsizetype beforeSwitch = settled();
    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&other, 5000));
    EXPECT_EQ(settled(), beforeSwitch);
  }
  for (const QString& s : seen)
    EXPECT_EQ(s, "Warning: '' is not a valid integer value");
  EXPECT_EQ(Frame(), shown);
  EXPECT_EQ(shown->geometry(), geometry);
}

TEST_F(MainWindowDialogs, TheSelectButtonOpensThePickerWhoseOkWritesTheEdits) {
  Window->btnSelect->Click();
  TfrmScreenShots* picker = Window->RegionSelection()->Picker();
  ASSERT_NE(picker, nullptr);
  ASSERT_TRUE(WaitFor([&] { return picker->isVisible(); }, 5s));
  Serve(100ms);
  ASSERT_TRUE(Xdotool({"mousemove", "100", "100"}));
  ASSERT_TRUE(Xdotool({"mousedown", "1"}));
  ASSERT_TRUE(Xdotool({"mousemove", "200", "150"}));
  ASSERT_TRUE(Xdotool({"mousemove", "300", "200"}));
  ASSERT_TRUE(Xdotool({"mouseup", "1"}));
  ASSERT_TRUE(WaitFor([&] { return picker->State() == TfrmScreenShots::stSelected; }, 5s));
  ASSERT_TRUE(Click(picker->OkButton()));
  EXPECT_TRUE(WaitFor([&] { return !picker->isVisible(); }, 3s));
  EXPECT_EQ(Window->edtLeft->text(), "100");
  EXPECT_EQ(Window->edtTop->text(), "100");
  EXPECT_EQ(Window->edtW->text(), "200");
  EXPECT_EQ(Window->edtH->text(), "100");
  EXPECT_EQ(Window->lblRecorderStatus->text(), "Recorder Status: select region 200 x 100");
  EXPECT_EQ(Ini.ReadString("settings", "height", ""), "100");

  // A second Select makes a new picker; Cancel closes it and writes nothing.
  Window->btnSelect->Click();
  picker = Window->RegionSelection()->Picker();
  ASSERT_TRUE(WaitFor([&] { return picker->isVisible(); }, 5s));
  picker->CancelButton()->click();
  EXPECT_FALSE(picker->isVisible());
  EXPECT_EQ(Window->edtW->text(), "200");
}

TEST_F(MainWindowDialogs, BrowseStoresTheChosenFolderAndCancelKeepsIt) {
  const std::string chosen = Folder.File("videos");
  std::filesystem::create_directory(chosen);
  {
    TModalAnswerer answer([&](QDialog* ADialog) {
      auto* dialog = dynamic_cast<TfmDirectory*>(ADialog);
      ASSERT_EQ(dialog, Window->fmDirectory);
      dialog->SelectFolder(QString::fromStdString(chosen));
      dialog->btnOkClick();
    });
    Window->btnBrowse->click();
  }
  EXPECT_EQ(Ini.ReadString("settings", "OutPutDir", ""), chosen);
  EXPECT_EQ(Window->edtDir->text().toStdString(), chosen);

  {
    TModalAnswerer answer([&](QDialog* ADialog) {
      auto* dialog = dynamic_cast<TfmDirectory*>(ADialog);
      ASSERT_NE(dialog, nullptr);
      dialog->SelectFolder(QString::fromStdString(Folder.Path()));
      dialog->btnCancelClick();
    });
    Window->btnBrowse->click();
  }
  EXPECT_EQ(Ini.ReadString("settings", "OutPutDir", ""), chosen);
}

TEST_F(MainWindowDialogs, EachOptionButtonOpensItsDialogWhichStoresInTheSettingsFile) {
  const struct {
    QPushButton* Button;
    QCheckBox* Check;
    const char* Dialog;
    const char* Section;
    int Position;
  } cases[] = {
      {Window->btnAddTextOptions, Window->chkAddText, "frmAddTextOptions", "fontoptions", 7},
      {Window->btnAddTimeStamp, Window->chkAddTimestamp, "frmAddTimestampOptions",
       "timestampoptions", 3},
      {Window->btnAddWatermarkOptions, Window->chkAddWatermark, "frmAddImageOptions",
       "imageoptions", 9},
  };
  Window->PageControl1->setCurrentWidget(Window->kivtempTabSheet3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Dialog);
    // The button follows its check box, on the page and when it is shown again.
    EXPECT_FALSE(c.Button->isEnabled());
    c.Check->setChecked(true);
    EXPECT_TRUE(c.Button->isEnabled());
    Window->PageControl1->setCurrentWidget(Window->TabSheet1);
    Window->PageControl1->setCurrentWidget(Window->kivtempTabSheet3);
    EXPECT_TRUE(c.Button->isEnabled());
    QString opened;
    {
      TModalAnswerer answer([&](QDialog* ADialog) {
        opened = ADialog->objectName();
        ADialog->findChild<QToolButton*>(QString("SpeedButton%1").arg(c.Position))->click();
        ADialog->findChild<QPushButton*>("btnCloseOptions")->click();
      });
      ASSERT_TRUE(Click(c.Button));
      ASSERT_TRUE(WaitFor([&] { return !opened.isEmpty(); }, 5s));
    }
    EXPECT_EQ(opened, c.Dialog);
    EXPECT_EQ(Ini.ReadInteger(c.Section, "position", 0), c.Position);
    c.Check->setChecked(false);
    EXPECT_FALSE(c.Button->isEnabled());
  }
}

// The texts a user reads on the window: captions of labels and buttons, tab
// and menu titles.
std::map<QString, QString> Texts(TfrmMain& AWindow) {
  std::map<QString, QString> texts;
  for (QLabel* l : AWindow.findChildren<QLabel*>())
    if (!l->objectName().isEmpty() && l->window() == &AWindow) texts[l->objectName()] = l->text();
  for (QAbstractButton* b : AWindow.findChildren<QAbstractButton*>())
    if (!b->objectName().isEmpty() && b->window() == &AWindow) texts[b->objectName()] = b->text();
  for (int i = 0; i < AWindow.PageControl1->count(); ++i)
    texts[AWindow.PageControl1->widget(i)->objectName()] = AWindow.PageControl1->tabText(i);
  for (QMenu* m : {AWindow.mniLanguage, AWindow.mniHelpMenu})
    texts[m->objectName()] = m->title();
  return texts;
}

TEST_F(MainWindowDialogs, TheLanguageMenuTranslatesTheWindowAndTheOptionDialogs) {
  QStringList captions;
  QAction* deutsch = nullptr;
  QAction* english = nullptr;
  for (QAction* action : Window->mniLanguage->actions()) {
    captions << action->text();
    if (action->text() == "deutsch") deutsch = action;
    if (action->text() == "english") english = action;
  }
  captions.sort();
  // The shipped files, one entry each.
  QStringList known = {"中文简体", "中文繁體",  "english", "français", "deutsch",
                       "日本の",   "português", "русский", "español",  "tiếng Việt"};
  known.sort();
  EXPECT_EQ(captions, known);
  ASSERT_NE(deutsch, nullptr);
  ASSERT_NE(english, nullptr);

  const std::map<QString, QString> builtIn = Texts(*Window);
  const QString status = Window->lblRecorderStatus->text();
  deutsch->trigger();
  EXPECT_EQ(Window->btnShow->text(), "Bereich anzeigen");
  EXPECT_EQ(Window->btnShow->toolTip(), "Den Bereich auf dem Bildschirm zeigen");
  EXPECT_EQ(Window->btnBrowse->text(), "Durchsuchen");
  EXPECT_EQ(Window->btnAddTimeStamp->text(), "Optionen");
  EXPECT_EQ(Window->chk_audio->text(), "Mit Ton aufnehmen");
  // A label's hint becomes its translated caption.
  EXPECT_EQ(Window->lblSize->text(), "Größe:");
  EXPECT_EQ(Window->lblSize->toolTip(), "Größe:");
  EXPECT_EQ(Window->lblOutput->text(), "Ausgabe:");
  EXPECT_EQ(Window->PageControl1->tabText(0), "Einstellungen");
  EXPECT_EQ(Window->mniLanguage->title(), "Sprache");
  EXPECT_EQ(Window->mniHelpMenu->title(), "&Hilfe");
  EXPECT_EQ(Window->mniHelp->text(), "Hilfe");
  // The status line says what is going on; a language change leaves it.
  EXPECT_EQ(Window->lblRecorderStatus->text(), status);
  for (QWidget* dialog :
       std::initializer_list<QWidget*>{Window->frmAddTextOptions, Window->frmAddTimestampOptions})
    EXPECT_EQ(dialog->findChild<QPushButton*>("btnFontDialog")->text(), "Schriftart");
  EXPECT_EQ(Window->frmAddImageOptions->findChild<QPushButton*>("btnCloseOptions")->text(),
            "Schließen");
  // The folder dialog keeps its texts.
  EXPECT_EQ(Window->fmDirectory->findChild<QPushButton*>("btnCancel")->text(), "Cancel");
  EXPECT_EQ(Window->fmDirectory->findChild<QLabel*>("lbl1")->text(),
            "Please select an output directory:");

  Serve(200ms);
  const std::string shots = ProgramFolder() + "/..";
  EXPECT_TRUE(Window->grab().save(QString::fromStdString(shots + "/vexmora-main-german.png")));
  Window->PageControl1->setCurrentWidget(Window->kivtempTabSheet3);
  Serve(100ms);
  EXPECT_TRUE(
      Window->grab().save(QString::fromStdString(shots + "/vexmora-main-german-watermark.png")));

  // English gives back every text the window was made with.
  english->trigger();
  for (const auto& [name, text] : Texts(*Window)) {
    if (builtIn.count(name) && name != "lblAppNameVer") {
      EXPECT_EQ(text, builtIn.at(name)) << name.toStdString();
    }
  }
}

// Every interface language: each text has the room it needs on every page,
// and the writing systems of the files have a font.
TEST_F(MainWindowDialogs, EveryLanguageFitsItsControlsAndHasItsFont) {
  EXPECT_FALSE(QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty());
  EXPECT_FALSE(QFontDatabase::families(QFontDatabase::TraditionalChinese).isEmpty());
  EXPECT_FALSE(QFontDatabase::families(QFontDatabase::Japanese).isEmpty());
  EXPECT_FALSE(QFontDatabase::families(QFontDatabase::Vietnamese).isEmpty());
  for (QAction* language : Window->mniLanguage->actions()) {
    SCOPED_TRACE(language->text().toStdString());
    language->trigger();
    for (int page = 0; page < Window->PageControl1->count(); ++page) {
      Window->PageControl1->setCurrentIndex(page);
      Serve(50ms);
      for (QWidget* w : Window->PageControl1->widget(page)->findChildren<QWidget*>()) {
        // A control of a fixed width ("...") is as wide as it is meant to be.
        if (!w->isVisible() || w->minimumWidth() == w->maximumWidth() ||
            !(qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w) ||
              qobject_cast<QRadioButton*>(w) || qobject_cast<QPushButton*>(w)))
          continue;
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString() << " is cut";
      }
    }
  }
}

TEST_F(MainWindowDialogs, ALongStatusLineAndTheOptionDialogsTitlesAreShownWhole) {
  const QString longStatus =
      "Recorder Status: Frame number: 123456; FPS: 30; Size: 1234567890; Time: 4115 Seconds";
  for (bool collapsed : {false, true}) {
    SCOPED_TRACE(collapsed ? "collapsed" : "expanded");
    if (collapsed) Window->arrbtnSetings->Click();
    const int height = Window->height();
    Window->lblRecorderStatus->setText(longStatus);
    QLabel* status = Window->lblRecorderStatus;
    // Collapsed, the window grows by the second line; open, the pages give it.
    EXPECT_TRUE(WaitFor(
        [&] {
          return status->height() >= status->heightForWidth(status->width()) &&
                 (!collapsed || Window->height() > height);
        },
        3s))
        << "no room is made";
    EXPECT_GT(status->heightForWidth(status->width()), status->fontMetrics().height())
        << "the status takes a second line";
    Window->lblRecorderStatus->setText("Recorder Status: Ready");
    EXPECT_TRUE(WaitFor([&] { return Window->height() == height; }, 3s));
  }
  EXPECT_EQ(Window->size(), QSize(433, 122));
  for (QDialog* dialog : std::initializer_list<QDialog*>{
           Window->frmAddTextOptions, Window->frmAddTimestampOptions, Window->frmAddImageOptions}) {
    SCOPED_TRACE(dialog->windowTitle().toStdString());
    dialog->show();
    Serve(100ms);
    QFont bold = dialog->font();
    bold.setBold(true);
    // The title beside the window manager's icon and buttons.
    EXPECT_GE(dialog->width(), QFontMetrics(bold).horizontalAdvance(dialog->windowTitle()) + 80);
    dialog->hide();
  }
}

} // namespace
