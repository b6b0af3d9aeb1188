// Interface languages: the files found in the language folder and the menu
// built from them, the reader's matching rules, translations applied by
// control kind, and the shipped files applied to the real dialogs.
#include "Language.h"
#include "DirectoryDialog.h"
#include "OverlayOptionsDialog.h"
#include "QtDesk.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class TLanguageFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/vexmora-language-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FFolder = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(FFolder); }
  void Write(const std::string& AName, const std::string& AText) {
    std::ofstream(FFolder + "/" + AName) << AText;
  }
  std::string FFolder;
};

TEST_F(TLanguageFolderTest, TheMenuHoldsTheKnownLanguagesOfTheFolder) {
  for (const char* name : {"German.ini", "Klingon.ini", "french.ini", "Spanish.ini", "notes.txt"})
    Write(name, "[Translations]\n");
  QStringList names = ListLanguageFiles(QString::fromStdString(FFolder) + "/");
  names.sort();
  EXPECT_EQ(names, (QStringList{"German", "Klingon", "Spanish", "french"}));

  QMenu menu;
  QStringList chosen;
  FillLanguageMenu(&menu, names, [&](const QString& AName) { chosen << AName; });
  QStringList captions;
  for (QAction* action : menu.actions())
    captions << action->text();
  // Unknown names (and a known one spelt in another case) give no entry.
  EXPECT_EQ(captions, (QStringList{"deutsch", "español"}));
  menu.actions()[0]->trigger();
  EXPECT_EQ(chosen, QStringList{"German"});
  EXPECT_EQ(LanguageOfCaption("deutsch"), "German");
  EXPECT_EQ(LanguageOfCaption("Deutsch"), "");

  EXPECT_TRUE(ListLanguageFiles(QString::fromStdString(FFolder) + "/missing/").isEmpty());
}

TEST(TLanguageFileTest, ReadsAsTheSettingsFileDoes) {
  const TLanguageFile file = TLanguageFile::FromText("\xEF\xBB\xBF; a comment\r\n"
                                                     "[translations]\r\n"
                                                     "  btnOk.CAPTION =  Weiter  \r\n"
                                                     "btnOk.Caption=second\r\n"
                                                     "quoted.Caption=\"  in quotes \"\r\n"
                                                     "empty.Caption=\r\n"
                                                     "no equals sign\r\n"
                                                     "[Messages]\r\n"
                                                     "M1=Nachricht\r\n"
                                                     "[Translations]\r\n"
                                                     "late.Caption=ignored\r\n");
  EXPECT_EQ(file.Read("Translations", "btnok.caption"), "Weiter");
  EXPECT_EQ(file.Read("TRANSLATIONS", "quoted.Caption"), "  in quotes ");
  EXPECT_EQ(file.Read("Translations", "empty.Caption"), "");
  EXPECT_EQ(file.Read("Translations", "late.Caption"), std::nullopt);
  EXPECT_EQ(file.Read("Messages", "M1"), "Nachricht");
  EXPECT_EQ(file.ReadString("Translations", "missing", "dflt"), "dflt");
  EXPECT_EQ(TLanguageFile("/nonexistent/German.ini").Read("Translations", "a"), std::nullopt);
}

// A form with one control of each kind.
struct TSampleForm {
  QWidget Form;
  QLabel* Label = new QLabel("Left:", &Form);
  QCheckBox* Check = new QCheckBox("Record with audio", &Form);
  QRadioButton* Radio = new QRadioButton("Stereo", &Form);
  QPushButton* Button = new QPushButton("Browse", &Form);
  QToolButton* Speed = new QToolButton(&Form);
  QGroupBox* Group = new QGroupBox("Position", &Form);
  QTabWidget* Tabs = new QTabWidget(&Form);
  QWidget* Page = new QWidget;
  QMenu* Menu = new QMenu("Language", &Form);
  QAction* Action = new QAction("Help", &Form);
  QLabel* Untouched = new QLabel("stays", &Form);
  TSampleForm() {
    Label->setObjectName("lblLeft");
    Check->setObjectName("chk_audio");
    Radio->setObjectName("rdoStereo");
    Button->setObjectName("btnBrowse");
    Button->setToolTip("old hint");
    Speed->setObjectName("SpeedButton1");
    Speed->setText("1");
    Group->setObjectName("grpTextPosition");
    Page->setObjectName("TabSheet1");
    Tabs->addTab(Page, "Settings");
    Menu->setObjectName("mniLanguage");
    Action->setObjectName("mniHelp");
    Untouched->setObjectName("lblOther");
    Untouched->setToolTip("its hint");
  }
};

TEST(TApplyLanguageTest, EachKindOfControlTakesItsTexts) {
  TSampleForm f;
  ApplyLanguageFile(&f.Form, TLanguageFile::FromText("[Translations]\n"
                                                     "lblLeft.Caption=Links und weiter:\n"
                                                     "lblLeft.Hint=never used for labels\n"
                                                     "chk_audio.Caption=Mit Ton aufnehmen\n"
                                                     "rdoStereo.Caption=Zweikanal\n"
                                                     "btnBrowse.Caption=Durchsuchen\n"
                                                     "btnBrowse.Hint=Ordner wählen\n"
                                                     "SpeedButton1.Caption=X\n"
                                                     "grpTextPosition.Caption=Lage\n"
                                                     "TabSheet1.Caption=Einstellungen\n"
                                                     "mniLanguage.Caption=Sprache\n"
                                                     "mniHelp.Caption=Hilfe\n"));
  EXPECT_EQ(f.Label->text(), "Links und weiter:");
  // A label's hint becomes its translated caption, and it grows to hold it.
  EXPECT_EQ(f.Label->toolTip(), "Links und weiter:");
  EXPECT_EQ(f.Label->width(), f.Label->fontMetrics().horizontalAdvance("Links und weiter:"));
  EXPECT_EQ(f.Check->text(), "Mit Ton aufnehmen");
  EXPECT_EQ(f.Check->toolTip(), "Mit Ton aufnehmen");
  EXPECT_EQ(f.Radio->text(), "Zweikanal");
  EXPECT_EQ(f.Radio->toolTip(), "Zweikanal");
  EXPECT_EQ(f.Button->text(), "Durchsuchen");
  EXPECT_EQ(f.Button->toolTip(), "Ordner wählen");
  EXPECT_EQ(f.Speed->text(), "1") << "speed buttons are left alone";
  EXPECT_EQ(f.Group->title(), "Lage");
  EXPECT_EQ(f.Tabs->tabText(0), "Einstellungen");
  EXPECT_EQ(f.Menu->title(), "Sprache");
  EXPECT_EQ(f.Action->text(), "Hilfe");
  // Missing keys leave the texts, hints included.
  EXPECT_EQ(f.Untouched->text(), "stays");
  EXPECT_EQ(f.Untouched->toolTip(), "its hint");
  TSampleForm g;
  ApplyLanguageFile(&g.Form, TLanguageFile::FromText("[Translations]\nbtnBrowse.Caption=B\n"));
  EXPECT_EQ(g.Button->toolTip(), "old hint");
}

// The shipped German file over the three option dialogs and a main window's
// controls, as the Language menu applies it to four forms; the folder
// dialog keeps its texts.
TEST(TApplyLanguageTest, GermanTranslatesTheFourFormsAndLeavesTheFolderDialog) {
  const QString folder = LanguageFolder();
  ASSERT_TRUE(ListLanguageFiles(folder).contains("German")) << folder.toStdString();
  TMemorySettings settings;
  TSampleForm main;
  TfrmAddTextOptions text(settings);
  TfrmAddTimestampOptions timestamp(settings);
  TfrmAddImageOptions image(settings);
  TfmDirectory directory;
  QMenu menu;
  FillLanguageMenu(&menu, ListLanguageFiles(folder), [&](const QString& AName) {
    for (QWidget* form : {&main.Form, static_cast<QWidget*>(&text),
                          static_cast<QWidget*>(&timestamp), static_cast<QWidget*>(&image)})
      ApplyLanguage(form, AName, folder);
  });
  QAction* deutsch = nullptr;
  for (QAction* action : menu.actions())
    if (action->text() == "deutsch") deutsch = action;
  ASSERT_NE(deutsch, nullptr);
  deutsch->trigger();

  EXPECT_EQ(main.Check->text(), "Mit Ton aufnehmen");
  EXPECT_EQ(main.Button->text(), "Durchsuchen");
  EXPECT_EQ(main.Tabs->tabText(0), "Einstellungen");
  EXPECT_EQ(main.Menu->title(), "Sprache");
  for (QWidget* dialog : {static_cast<QWidget*>(&text), static_cast<QWidget*>(&timestamp)}) {
    EXPECT_EQ(dialog->findChild<QPushButton*>("btnFontDialog")->text(), "Schriftart");
    EXPECT_EQ(dialog->findChild<QPushButton*>("btnTextColor")->text(), "Textfarbe");
    EXPECT_EQ(dialog->findChild<QPushButton*>("btnBackgroundColor")->text(), "Hintergrundfarbe");
    EXPECT_EQ(dialog->findChild<QPushButton*>("btnCloseOptions")->text(), "Schließen");
  }
  EXPECT_EQ(image.findChild<QPushButton*>("btnCloseOptions")->text(), "Schließen");
  EXPECT_EQ(directory.findChild<QPushButton*>("btnCancel")->text(), "Cancel");
  EXPECT_EQ(directory.findChild<QLabel*>("lbl1")->text(), "Please select an output directory:");

  text.show();
  ASSERT_TRUE(WaitFor([&] { return text.isVisible(); }));
  SaveScreenshot(text.grab().toImage(), "options-text-german");
  main.Form.resize(400, 300);
  SaveScreenshot(main.Form.grab().toImage(), "sample-form-german");
}

// Every shipped file reads, and the complete ones hold every text the
// English file holds.
TEST(TApplyLanguageTest, TheShippedFilesAreComplete) {
  const QString folder = LanguageFolder();
  const QStringList names = ListLanguageFiles(folder);
  for (const auto& language : KnownLanguages())
    EXPECT_TRUE(names.contains(language.FileName)) << language.FileName;
  std::ifstream english((folder + "English.ini").toStdString());
  std::vector<std::string> keys;
  for (std::string line; std::getline(english, line);)
    if (line.find(".Caption=") != std::string::npos || line.find(".Hint=") != std::string::npos)
      keys.push_back(line.substr(0, line.find('=')));
  ASSERT_GT(keys.size(), 20u);
  for (const char* complete : {"German", "French", "Spanish", "Portuguese", "Russian"}) {
    const TLanguageFile file((folder + complete + ".ini").toStdString());
    for (const std::string& key : keys) {
      const auto value = file.Read("Translations", key);
      EXPECT_TRUE(value && !value->empty()) << complete << " " << key;
    }
  }
}

} // namespace
