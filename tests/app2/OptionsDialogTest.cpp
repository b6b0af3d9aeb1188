// The overlay option dialogs: what each action stores, dialogs dismissed
// without a choice, stored positions outside the grid, and where the
// dialogs appear; the dialogs' store reads numbers as the settings file does.
#include "IniFile.h"
#include "OverlayOptionsDialog.h"
#include "QtDesk.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

enum class TDialogKind { Text, Timestamp, Image };

struct TDialogCase {
  TDialogKind Kind;
  const char* Section;
  const char* BackgroundKey; // null: the dialog has no font and colour controls
  const char* Caption;
};

std::unique_ptr<TOverlayOptionsDialog> MakeDialog(TDialogKind AKind, TSettingsStore& ASettings,
                                                  QWidget* AParent) {
  switch (AKind) {
  case TDialogKind::Text:
    return std::make_unique<TfrmAddTextOptions>(ASettings, AParent);
  case TDialogKind::Timestamp:
    return std::make_unique<TfrmAddTimestampOptions>(ASettings, AParent);
  default:
    return std::make_unique<TfrmAddImageOptions>(ASettings, AParent);
  }
}

class TOptionsDialogTest : public ::testing::TestWithParam<TDialogCase> {
protected:
  void SetUp() override {
    FMain.setWindowTitle("main");
    FMain.setGeometry(300, 200, 600, 400);
    FMain.show();
    ASSERT_TRUE(WaitFor([&] { return FMain.isVisible(); }));
    FDialog = MakeDialog(GetParam().Kind, FSettings, &FMain);
  }
  void TearDown() override {
    FDialog.reset();
    FMain.close();
  }
  std::string Stored(const std::string& AKey) {
    return FSettings.ReadString(GetParam().Section, AKey, "<missing>");
  }
  template <class T> T* Control(const char* AName) { return FDialog->findChild<T*>(AName); }
  void Show() {
    FDialog->show();
    ASSERT_TRUE(WaitFor([&] { return FDialog->isVisible(); }));
  }

  QWidget FMain;
  TMemorySettings FSettings;
  std::unique_ptr<TOverlayOptionsDialog> FDialog;
};

TEST_P(TOptionsDialogTest, EachActionStoresItsKeyAtOnce) {
  const TDialogCase& c = GetParam();
  EXPECT_EQ(FDialog->windowTitle().toStdString(), c.Caption);
  Show();
  // Nothing stored yet: the first position is pressed.
  EXPECT_TRUE(FDialog->PositionButton(1)->isChecked());
  for (int position : {5, 9, 1, 3}) {
    QTest::mouseClick(FDialog->PositionButton(position), Qt::LeftButton);
    EXPECT_EQ(Stored("position"), std::to_string(position));
    for (int other = 1; other <= 9; ++other)
      EXPECT_EQ(FDialog->PositionButton(other)->isChecked(), other == position);
  }
  if (!c.BackgroundKey) {
    EXPECT_EQ(Control<QPushButton>("btnFontDialog"), nullptr);
    EXPECT_EQ(Control<QCheckBox>("chkBkColor"), nullptr);
    EXPECT_EQ(FSettings.Writes, 4);
    return;
  }
  auto* background = Control<QCheckBox>("chkBkColor");
  auto* backgroundColor = Control<QPushButton>("btnBackgroundColor");
  ASSERT_NE(background, nullptr);
  EXPECT_FALSE(background->isChecked());
  EXPECT_FALSE(backgroundColor->isEnabled());
  QTest::mouseClick(background, Qt::LeftButton);
  EXPECT_EQ(Stored(c.BackgroundKey), "1");
  EXPECT_TRUE(backgroundColor->isEnabled());
  QTest::mouseClick(background, Qt::LeftButton);
  EXPECT_EQ(Stored(c.BackgroundKey), "0");
  EXPECT_FALSE(backgroundColor->isEnabled());
  QTest::mouseClick(background, Qt::LeftButton);

  // The font: italic, not bold, 14 points.
  WhenModal<QFontDialog>([](QFontDialog* ADialog) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(14);
    font.setItalic(true);
    font.setUnderline(true);
    ADialog->setCurrentFont(font);
    ADialog->accept();
  });
  QTest::mouseClick(Control<QPushButton>("btnFontDialog"), Qt::LeftButton);
  const struct {
    const char* Key;
    const char* Value;
  } fontKeys[] = {
      {"font-size", "14"},           {"font-name", "DejaVu Sans"},        {"font-fsBold", ""},
      {"font-fsItalic", "fsItalic"}, {"font-fsUnderline", "fsUnderline"}, {"font-fsStrikeOut", ""}};
  for (const auto& k : fontKeys)
    EXPECT_EQ(Stored(k.Key), k.Value) << k.Key;

  // Colours: a named one and one without a name.
  const struct {
    const char* Button;
    const char* Key;
    QColor Chosen;
    const char* Text;
  } colours[] = {{"btnTextColor", "textcolor", QColor(255, 0, 0), "clRed"},
                 {"btnBackgroundColor", "backgroundcolor", QColor(0x40, 0x80, 0xFF), "$00FF8040"},
                 {"btnTextColor", "textcolor", QColor(255, 255, 255), "clWhite"}};
  for (const auto& colour : colours) {
    QColor opened;
    WhenModal<QColorDialog>([&](QColorDialog* ADialog) {
      opened = ADialog->currentColor();
      ADialog->setCurrentColor(colour.Chosen);
      ADialog->accept();
    });
    const std::string before = Stored(colour.Key);
    QTest::mouseClick(Control<QPushButton>(colour.Button), Qt::LeftButton);
    EXPECT_EQ(Stored(colour.Key), colour.Text);
    // The dialog opened on the colour stored before (black when none was).
    if (before == "<missing>") {
      EXPECT_EQ(opened, QColor(Qt::black)) << colour.Key;
    } else if (before == "clRed") {
      EXPECT_EQ(opened, QColor(Qt::red)) << colour.Key;
    }
  }
  SaveScreenshot(FDialog->grab().toImage(), QString("options-") + c.Section);
}

// The dialogs with font and colour controls.
class TFontColourDialogTest : public TOptionsDialogTest {};

TEST_P(TFontColourDialogTest, ADismissedFontOrColourDialogStoresNothing) {
  Show();
  const auto before = FSettings.Values;
  const int writes = FSettings.Writes;
  // Changed, then dismissed.
  WhenModal<QFontDialog>([](QFontDialog* ADialog) {
    ADialog->setCurrentFont(QFont("Monospace", 30));
    ADialog->reject();
  });
  QTest::mouseClick(Control<QPushButton>("btnFontDialog"), Qt::LeftButton);
  WhenModal<QColorDialog>([](QColorDialog* ADialog) {
    ADialog->setCurrentColor(Qt::green);
    ADialog->reject();
  });
  QTest::mouseClick(Control<QPushButton>("btnTextColor"), Qt::LeftButton);
  // The background colour button is disabled, so its dialog is reached directly.
  WhenModal<QColorDialog>([](QColorDialog* ADialog) { ADialog->reject(); });
  FDialog->btnBackgroundColorClick();
  EXPECT_EQ(FSettings.Values, before);
  EXPECT_EQ(FSettings.Writes, writes);
}

TEST_P(TOptionsDialogTest, AStoredPositionOutsideTheGridPressesNoButton) {
  for (const char* stored : {"12", "0", "-3", "x"}) {
    FSettings.WriteString(GetParam().Section, "position", stored);
    Show();
    const bool numeric = std::string(stored) != "x"; // text reads as the default, 1
    for (int position = 1; position <= 9; ++position)
      EXPECT_EQ(FDialog->PositionButton(position)->isChecked(), !numeric && position == 1)
          << stored << " " << position;
    QTest::mouseClick(FDialog->PositionButton(7), Qt::LeftButton);
    EXPECT_EQ(Stored("position"), "7");
    EXPECT_TRUE(FDialog->PositionButton(7)->isChecked());
    FDialog->btnCloseOptionsClick();
    ASSERT_TRUE(WaitFor([&] { return !FDialog->isVisible(); }));
  }
}

TEST_P(TOptionsDialogTest, ClosingUndoesNothingAndTheDialogStandsOverTheMainWindow) {
  FSettings.WriteString(GetParam().Section, "position", "6");
  Show();
  ASSERT_TRUE(WaitFor([&] { return FDialog->isActiveWindow(); }));
  const QPoint centre = FDialog->frameGeometry().center();
  const QPoint mainCentre = FMain.frameGeometry().center();
  EXPECT_LE(std::abs(centre.x() - mainCentre.x()), 30);
  EXPECT_LE(std::abs(centre.y() - mainCentre.y()), 30);
  QTest::mouseClick(FDialog->PositionButton(2), Qt::LeftButton);
  QTest::mouseClick(FDialog->findChild<QPushButton*>("btnCloseOptions"), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !FDialog->isVisible(); }));
  EXPECT_EQ(Stored("position"), "2");
  // Shown again, it shows what is stored.
  Show();
  EXPECT_TRUE(FDialog->PositionButton(2)->isChecked());
}

const TDialogCase kTextCase{TDialogKind::Text, "fontoptions", "baddtextbkcolor",
                            "Add Text Options"};
const TDialogCase kTimestampCase{TDialogKind::Timestamp, "timestampoptions", "baddtimestampbkcolor",
                                 "Add Time Stamp Options"};
const TDialogCase kImageCase{TDialogKind::Image, "imageoptions", nullptr, "Add Watermark Options"};
std::string CaseName(const ::testing::TestParamInfo<TDialogCase>& AInfo) {
  return AInfo.param.Section;
}

INSTANTIATE_TEST_SUITE_P(Dialogs, TOptionsDialogTest,
                         ::testing::Values(kTextCase, kTimestampCase, kImageCase), CaseName);
INSTANTIATE_TEST_SUITE_P(Dialogs, TFontColourDialogTest,
                         ::testing::Values(kTextCase, kTimestampCase), CaseName);

// The font dialog opens on the stored font; a style whose key is missing
// counts as on, an empty one as off.
TEST(TFontOptionsTest, TheFontDialogOpensOnTheStoredFont) {
  TMemorySettings settings;
  TfrmAddTextOptions dialog(settings);
  EXPECT_EQ(dialog.DialogFont().family(), "Tahoma");
  settings.WriteString("fontoptions", "font-size", "22");
  settings.WriteString("fontoptions", "font-name", "DejaVu Serif");
  settings.WriteString("fontoptions", "font-fsBold", "");
  settings.WriteString("fontoptions", "font-fsItalic", "fsitalic"); // case matters: off
  QFont opened;
  WhenModal<QFontDialog>([&](QFontDialog* ADialog) {
    opened = ADialog->currentFont();
    ADialog->reject();
  });
  dialog.btnFontDialogClick();
  EXPECT_EQ(opened.pointSize(), 22);
  EXPECT_EQ(opened.family(), "DejaVu Serif");
  // The font handed to the dialog (which shows styles by the faces it finds).
  const QFont& given = dialog.DialogFont();
  EXPECT_FALSE(given.bold());
  EXPECT_FALSE(given.italic());
  EXPECT_TRUE(given.underline());
  EXPECT_TRUE(given.strikeOut());
}

// The timestamp dialog takes its stored font as it is shown; the text
// dialog only when its font dialog opens.
TEST(TFontOptionsTest, TheTimestampDialogLoadsItsFontWhenShown) {
  TMemorySettings settings;
  for (const char* section : {"fontoptions", "timestampoptions"}) {
    settings.WriteString(section, "font-size", "18");
    settings.WriteString(section, "font-name", "DejaVu Sans Mono");
  }
  TfrmAddTimestampOptions timestamp(settings);
  TfrmAddTextOptions text(settings);
  timestamp.show();
  text.show();
  ASSERT_TRUE(WaitFor([&] { return timestamp.isVisible() && text.isVisible(); }));
  EXPECT_EQ(timestamp.DialogFont().family(), "DejaVu Sans Mono");
  EXPECT_EQ(timestamp.DialogFont().pointSize(), 18);
  EXPECT_EQ(text.DialogFont().family(), "Tahoma");
}

// The dialogs read their numbers (positions, sizes, Booleans) through the
// store, the recording reads the same keys through the settings file: both
// must take a stored text for the same number, or for none.
TEST(TSettingsStoreTest, ReadsNumbersAsTheSettingsFileDoes) {
  const QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  TIniFile ini(folder.filePath("vexmora.ini").toStdString());
  TMemorySettings store;
  const char* texts[] = {"7",         " 7 ",  "-3",         "+4",         "$1F",         "0x1f",
                         "$FFFFFFFF", "-$10", "-$FFFFFFFF", "2147483648", "-2147483648", "",
                         "7x",        "0x",   "$",          "1 2",        "\"7\""};
  for (const char* text : texts) {
    SCOPED_TRACE(std::string("stored \"") + text + "\"");
    ini.WriteString("fontoptions", "position", text);
    store.WriteString("fontoptions", "position", ini.ReadString("fontoptions", "position", ""));
    EXPECT_EQ(store.ReadInteger("fontoptions", "position", -99),
              ini.ReadInteger("fontoptions", "position", -99));
    EXPECT_EQ(store.ReadBool("fontoptions", "position", true),
              ini.ReadBool("fontoptions", "position", true));
  }
}

} // namespace
