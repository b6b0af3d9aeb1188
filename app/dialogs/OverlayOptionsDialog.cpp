// The overlay option dialogs (see OverlayOptionsDialog.h).
#include "OverlayOptionsDialog.h"

#include "ColorText.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

// The nine positions, row by row, marked by where they put the overlay.
constexpr const char* kPositionMarks[9] = {"\u2196", "\u2191", "\u2197", "\u2190", "\u25CF",
                                           "\u2192", "\u2199", "\u2193", "\u2198"};

const char* const kStyleKeys[4] = {"font-fsBold", "font-fsItalic", "font-fsUnderline",
                                   "font-fsStrikeOut"};
const char* const kStyleNames[4] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

bool StyleOf(const QFont& AFont, int AIndex) {
  switch (AIndex) {
  case 0:
    return AFont.bold();
  case 1:
    return AFont.italic();
  case 2:
    return AFont.underline();
  default:
    return AFont.strikeOut();
  }
}

void SetStyle(QFont& AFont, int AIndex, bool AOn) {
  switch (AIndex) {
  case 0:
    AFont.setBold(AOn);
    break;
  case 1:
    AFont.setItalic(AOn);
    break;
  case 2:
    AFont.setUnderline(AOn);
    break;
  default:
    AFont.setStrikeOut(AOn);
    break;
  }
}

QPushButton* Button(QWidget* AParent, const char* AName, const char* ACaption) {
  auto* button = new QPushButton(QString::fromUtf8(ACaption), AParent);
  button->setObjectName(AName);
  button->setAutoDefault(false);
  return button;
}

} // namespace

TOverlayOptionsDialog::TOverlayOptionsDialog(const TKind& AKind, TSettingsStore& ASettings,
                                             QWidget* AParent)
    : QDialog(AParent), FKind(AKind), FSettings(ASettings), FFont(QStringLiteral("Tahoma")) {
  setObjectName(AKind.FormName);
  setWindowTitle(QString::fromUtf8(AKind.Caption));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);

  FGroup = new QGroupBox(QStringLiteral("Position"), this);
  FGroup->setObjectName(AKind.GroupName);
  auto* grid = new QGridLayout(FGroup);
  FPositionGroup = new QButtonGroup(this);
  for (int i = 0; i < 9; ++i) {
    auto* button = new QToolButton(FGroup);
    button->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
    button->setText(QString::fromUtf8(kPositionMarks[i]));
    button->setCheckable(true);
    button->setFixedSize(30, 30);
    grid->addWidget(button, i / 3, i % 3);
    FPositionGroup->addButton(button, i + 1); // the button's Tag
    FPositions[static_cast<size_t>(i)] = button;
    connect(button, &QToolButton::clicked, this, [this, i] { SpeedButtonClick(i + 1); });
  }

  auto* side = new QVBoxLayout;
  if (AKind.BackgroundKey) {
    FFontButton = Button(this, "btnFontDialog", "Font");
    FTextColorButton = Button(this, "btnTextColor", "Text Color");
    FBackgroundColorButton = Button(this, "btnBackgroundColor", "Background Color");
    FBackground = new QCheckBox(this);
    FBackground->setObjectName("chkBkColor");
    auto* background = new QHBoxLayout;
    background->addWidget(FBackground);
    background->addWidget(FBackgroundColorButton, 1);
    side->addWidget(FFontButton);
    side->addWidget(FTextColorButton);
    side->addLayout(background);
    connect(FFontButton, &QPushButton::clicked, this, [this] { btnFontDialogClick(); });
    connect(FTextColorButton, &QPushButton::clicked, this, [this] { btnTextColorClick(); });
    connect(FBackgroundColorButton, &QPushButton::clicked, this,
            [this] { btnBackgroundColorClick(); });
    connect(FBackground, &QCheckBox::clicked, this, [this] { chkBkColorClick(); });
  }
  side->addStretch(1);
  FClose = Button(this, "btnCloseOptions", "Close");
  side->addWidget(FClose);
  connect(FClose, &QPushButton::clicked, this, [this] { btnCloseOptionsClick(); });

  auto* row = new QHBoxLayout;
  row->addWidget(FGroup);
  row->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  // As wide as its title needs beside the window manager's buttons.
  FTitleRoom = new QSpacerItem(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
  layout->addItem(FTitleRoom);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TOverlayOptionsDialog::FitTitle() {
  // The title bar's font is the window manager's: the bold form of ours
  // stands in for it, with room for an icon and three buttons.
  constexpr int kTitleChrome = 110;
  QFont bold = font();
  bold.setBold(true);
  const int room = QFontMetrics(bold).horizontalAdvance(windowTitle()) + kTitleChrome;
  FTitleRoom->changeSize(room - layout()->contentsMargins().left() -
                             layout()->contentsMargins().right(),
                         0, QSizePolicy::Fixed, QSizePolicy::Fixed);
  layout()->invalidate();
}

void TOverlayOptionsDialog::showEvent(QShowEvent* AEvent) {
  FormShow();
  FitTitle();
  layout()->activate();
  // Centred on the main window, whatever size the window manager gave us.
  if (QWidget* owner = parentWidget()) {
    const QRect frame = owner->window()->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(AEvent);
}

void TOverlayOptionsDialog::FormShow() {
  const int position = FSettings.ReadInteger(FKind.Section, "position", 1);
  // A stored position outside the grid presses no button.
  FPositionGroup->setExclusive(false);
  for (int i = 0; i < 9; ++i)
    FPositions[static_cast<size_t>(i)]->setChecked(i + 1 == position);
  FPositionGroup->setExclusive(true);
  if (FKind.BackgroundKey) {
    const bool background = FSettings.ReadBool(FKind.Section, FKind.BackgroundKey, false);
    FBackground->setChecked(background);
    FBackgroundColorButton->setEnabled(background);
  }
  if (FKind.LoadsFontOnShow) LoadFont();
}

void TOverlayOptionsDialog::SpeedButtonClick(int APosition) {
  // Pressed as a click does, also when called directly.
  FPositions[static_cast<size_t>(APosition - 1)]->setChecked(true);
  FSettings.WriteInteger(FKind.Section, "position", APosition);
}

void TOverlayOptionsDialog::LoadFont() {
  const int size = FSettings.ReadInteger(FKind.Section, "font-size", 0);
  // Size 0 leaves the size to the system's default.
  if (size > 0) FFont.setPointSize(size);
  FFont.setFamily(
      QString::fromStdString(FSettings.ReadString(FKind.Section, "font-name", "Default")));
  for (int i = 0; i < 4; ++i)
    SetStyle(FFont, i,
             FSettings.ReadString(FKind.Section, kStyleKeys[i], kStyleNames[i]) == kStyleNames[i]);
}

void TOverlayOptionsDialog::btnFontDialogClick() {
  LoadFont();
  QFontDialog dialog(FFont, this);
  dialog.setObjectName("FontDialog1");
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return;
  FFont = dialog.selectedFont();
  const int size = FFont.pointSize() > 0 ? FFont.pointSize() : qRound(FFont.pointSizeF());
  FSettings.WriteString(FKind.Section, "font-size", std::to_string(size));
  for (int i = 0; i < 4; ++i)
    FSettings.WriteString(FKind.Section, kStyleKeys[i], StyleOf(FFont, i) ? kStyleNames[i] : "");
  FSettings.WriteString(FKind.Section, "font-name", FFont.family().toStdString());
}

void TOverlayOptionsDialog::ColorClick(const char* AKey) {
  const uint32_t stored = static_cast<uint32_t>(
      StringToColorDef(FSettings.ReadString(FKind.Section, AKey, "ClBlack"), 0));
  // Colour values are 0x00BBGGRR.
  const QColor initial(stored & 0xff, (stored >> 8) & 0xff, (stored >> 16) & 0xff);
  QColorDialog dialog(initial, this);
  dialog.setObjectName(std::string(AKey) == "textcolor" ? "ColorDialog1" : "ColorDialog2");
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return;
  const QColor chosen = dialog.selectedColor();
  const uint32_t value = static_cast<uint32_t>(chosen.red()) |
                         static_cast<uint32_t>(chosen.green()) << 8 |
                         static_cast<uint32_t>(chosen.blue()) << 16;
  FSettings.WriteString(FKind.Section, AKey, ColorToString(static_cast<int32_t>(value)));
}

void TOverlayOptionsDialog::chkBkColorClick() {
  const bool on = FBackground->isChecked();
  FSettings.WriteBool(FKind.Section, FKind.BackgroundKey, on);
  FBackgroundColorButton->setEnabled(on);
}

TfrmAddTextOptions::TfrmAddTextOptions(TSettingsStore& ASettings, QWidget* AParent)
    : TOverlayOptionsDialog({"frmAddTextOptions", "Add Text Options", "fontoptions",
                             "grpTextPosition", "baddtextbkcolor", false},
                            ASettings, AParent) {}

TfrmAddTimestampOptions::TfrmAddTimestampOptions(TSettingsStore& ASettings, QWidget* AParent)
    : TOverlayOptionsDialog({"frmAddTimestampOptions", "Add Time Stamp Options", "timestampoptions",
                             "grpTimestamptPosition", "baddtimestampbkcolor", true},
                            ASettings, AParent) {}

TfrmAddImageOptions::TfrmAddImageOptions(TSettingsStore& ASettings, QWidget* AParent)
    : TOverlayOptionsDialog({"frmAddImageOptions", "Add Watermark Options", "imageoptions",
                             "grpImagePosition", nullptr, false},
                            ASettings, AParent) {}
