// The three overlay option dialogs ("Add Text Options", "Add Time Stamp
// Options", "Add Watermark Options"): where the overlay stands on the 3 x 3
// grid and, for the text and the timestamp, its font, colours and
// background box. Every choice is stored the moment it is made; there is no
// cancel. Each control's objectName is its component name, so the language
// files find it.
#pragma once

#include "SettingsStore.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFont>
#include <QGroupBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QToolButton>

#include <array>
#include <string>

class TOverlayOptionsDialog : public QDialog {
public:
  struct TKind {
    const char* FormName;      // objectName of the form
    const char* Caption;       // window title
    const char* Section;       // settings section
    const char* GroupName;     // objectName of the position group
    const char* BackgroundKey; // null: the dialog has no font, colour or background controls
    bool LoadsFontOnShow;      // the timestamp dialog takes its stored font when shown
  };
  TOverlayOptionsDialog(const TKind& AKind, TSettingsStore& ASettings, QWidget* AParent);

  QToolButton* PositionButton(int APosition) const { return FPositions[APosition - 1]; }
  // The font the font dialog opens with.
  const QFont& DialogFont() const { return FFont; }

  // The handlers (public, so the application and the tests drive them as a
  // click does).
  void SpeedButtonClick(int APosition);
  void btnFontDialogClick();
  void btnTextColorClick() { ColorClick("textcolor"); }
  void btnBackgroundColorClick() { ColorClick("backgroundcolor"); }
  void chkBkColorClick();
  void btnCloseOptionsClick() { close(); }

protected:
  void showEvent(QShowEvent* AEvent) override;

private:
  void FormShow();
  void LoadFont();
  void ColorClick(const char* AKey);

  TKind FKind;
  TSettingsStore& FSettings;
  QFont FFont;
  QGroupBox* FGroup = nullptr;
  QButtonGroup* FPositionGroup = nullptr;
  std::array<QToolButton*, 9> FPositions{};
  QPushButton* FFontButton = nullptr;
  QPushButton* FTextColorButton = nullptr;
  QPushButton* FBackgroundColorButton = nullptr;
  QCheckBox* FBackground = nullptr;
  QPushButton* FClose = nullptr;
  QSpacerItem* FTitleRoom = nullptr;
  // Makes room for the title (a language may have changed it).
  void FitTitle();
};

class TfrmAddTextOptions : public TOverlayOptionsDialog {
public:
  TfrmAddTextOptions(TSettingsStore& ASettings, QWidget* AParent = nullptr);
};

class TfrmAddTimestampOptions : public TOverlayOptionsDialog {
public:
  TfrmAddTimestampOptions(TSettingsStore& ASettings, QWidget* AParent = nullptr);
};

class TfrmAddImageOptions : public TOverlayOptionsDialog {
public:
  TfrmAddImageOptions(TSettingsStore& ASettings, QWidget* AParent = nullptr);
};
