// The region commands (see RegionSelection.h).
#include "RegionSelection.h"

#include "IniFile.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

TRegionSelection::TRegionSelection(QWidget* AOwner, const TRegionEdits& AEdits)
    : FOwner(AOwner), FEdits(AEdits) {}

void TRegionSelection::btnShowClick() {
  int values[4] = {};
  QLineEdit* edits[4] = {FEdits.Left, FEdits.Top, FEdits.Width, FEdits.Height};
  for (int i = 0; i < 4; ++i) {
    const QString text = edits[i] ? edits[i]->text() : QString();
    if (!TryStrToInt(text.toStdString(), values[i])) {
      QMessageBox::warning(FOwner, QStringLiteral("Warning"),
                           QStringLiteral("'%1' is not a valid integer value").arg(text));
      return;
    }
  }
  FFrame.reset();
  FFrame = std::make_unique<TRegionFrame>();
  FFrame->ShowRegionFrame(values[0], values[1], values[2], values[3], 2);
}

void TRegionSelection::btnCloseClick() {
  FFrame.reset();
}

void TRegionSelection::btnDesktopClick() {
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  QLineEdit* edits[4] = {FEdits.Left, FEdits.Top, FEdits.Width, FEdits.Height};
  const int values[4] = {0, 0, screen.width(), screen.height()};
  for (int i = 0; i < 4; ++i)
    if (edits[i]) {
      edits[i]->setEnabled(true);
      edits[i]->setText(QString::number(values[i]));
    }
  if (FEdits.ShowStatus)
    FEdits.ShowStatus(QStringLiteral("Recorder Status: Select full screen %1 x %2")
                          .arg(screen.width())
                          .arg(screen.height()));
}

void TRegionSelection::btnSelectClick() {
  FPicker.reset();
  FPicker = std::make_unique<TfrmScreenShots>(FEdits);
  FPicker->Open();
}
