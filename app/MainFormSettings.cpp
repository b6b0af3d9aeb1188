// The main window's settings: each control stores its key the moment it
// changes (edits on every text change, programmatic ones included; check
// boxes and radio buttons on every change of their check; combo boxes on a
// user's pick only), the per-container lists, and the page loaders.
#include "MainForm.h"

#include "FormFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <algorithm>

void TfrmMain::FillSampleRates(int AFormatIndex) {
  cmbSampleRate->clear();
  for (const char* rate : ContainerAt(AFormatIndex).SampleRates)
    cmbSampleRate->addItem(rate);
}

void TfrmMain::SelectContainerIndexes(int AFormatIndex) {
  const TIniFile ini = Ini();
  const char* section = ContainerAt(AFormatIndex).Section;
  cmbSampleRate->setCurrentIndex(ini.ReadInteger(section, "samplerateindex", 0));
  cmbFrameRate->setCurrentIndex(StoredFrameRateIndex(ini, section));
  cmbQuality->setCurrentIndex(ini.ReadInteger(section, "qualityindex", 0));
  cmbBitRate->setCurrentIndex(ini.ReadInteger(section, "bitrateindex", 0));
}

void TfrmMain::cmbFormatChange(int AIndex) {
  Ini().WriteInteger("settings", "format", AIndex);
  FillSampleRates(AIndex);
  SelectContainerIndexes(AIndex);
}

void TfrmMain::edtDelayOrLengthChange(QLineEdit* AEdit, const char* AKey) {
  const QString text = AEdit->text();
  if (text == "0") {
    AEdit->clear(); // 0 is never stored
    return;
  }
  if (text.isEmpty()) return;
  bool ok = false;
  const int value = text.toInt(&ok);
  if (ok && value > 0) Ini().WriteInteger("settings", AKey, value);
}

void TfrmMain::ConnectStoreHandlers() {
  auto storeText = [this](QLineEdit* AEdit, const char* ASection, const char* AKey) {
    connect(AEdit, &QLineEdit::textChanged, this, [this, ASection, AKey](const QString& AText) {
      Ini().WriteString(ASection, AKey, AText.toStdString());
    });
  };
  storeText(edtLeft, "settings", "left");
  storeText(edtTop, "settings", "top");
  storeText(edtW, "settings", "width");
  storeText(edtH, "settings", "height");
  storeText(edtDir, "settings", "OutPutDir");
  storeText(edtAddText, "settings", "edtAddText");
  storeText(edtTimestamp, "settings", "edtAddTimestamp");
  storeText(edtIamgepath, "imageoptions", "path");
  connect(edtDelay, &QLineEdit::textChanged, this,
          [this] { edtDelayOrLengthChange(edtDelay, "delay"); });
  connect(edtLength, &QLineEdit::textChanged, this,
          [this] { edtDelayOrLengthChange(edtLength, "RecLength"); });
  // Only digits reach these edits.
  for (QLineEdit* e : {edtLeft, edtTop, edtW, edtH, edtDelay, edtLength})
    e->installEventFilter(this);

  connect(cmbPreset, &QComboBox::activated, this,
          [this](int AIndex) { Ini().WriteString("settings", "preset", std::to_string(AIndex)); });
  connect(cmbFormat, &QComboBox::activated, this, [this](int AIndex) { cmbFormatChange(AIndex); });
  connect(cmbFrameRate, &QComboBox::activated, this, [this](int AIndex) {
    TIniFile ini = Ini();
    const char* section = ContainerAt(cmbFormat->currentIndex()).Section;
    const std::string text = cmbFrameRate->currentText().toStdString();
    ini.WriteInteger(section, "framerateindex", AIndex);
    ini.WriteString(section, "framerate", text);
    ini.WriteString("settings", "framerate", text);
    ini.WriteInteger("settings", "framerateindex", AIndex);
  });
  connect(cmbQuality, &QComboBox::activated, this, [this](int AIndex) {
    TIniFile ini = Ini();
    const char* section = ContainerAt(cmbFormat->currentIndex()).Section;
    const std::string text = cmbQuality->currentText().toStdString();
    ini.WriteInteger(section, "qualityindex", AIndex);
    ini.WriteString(section, "quality", text);
    ini.WriteString("settings", "quality", text);
    ini.WriteInteger("settings", "qualityindex", AIndex);
  });
  connect(cmbSampleRate, &QComboBox::activated, this, [this](int AIndex) {
    TIniFile ini = Ini();
    const char* section = ContainerAt(cmbFormat->currentIndex()).Section;
    const std::string text = cmbSampleRate->currentText().toStdString();
    ini.WriteInteger(section, "samplerateindex", AIndex);
    ini.WriteString(section, "samplerate", text);
    ini.WriteString("settings", "samplerate", text);
  });

  connect(rdoStereo, &QRadioButton::toggled, this, [this](bool AOn) {
    if (!AOn) return; // the other button's handler stores the pair
    TIniFile ini = Ini();
    ini.WriteBool("settings", "stereo", true);
    ini.WriteBool("settings", "mono", false);
  });
  connect(rdoMono, &QRadioButton::toggled, this, [this](bool AOn) {
    if (!AOn) return;
    TIniFile ini = Ini();
    ini.WriteBool("settings", "mono", true);
    ini.WriteBool("settings", "stereo", false);
  });
  connect(chk_audio, &QCheckBox::toggled, this, [this](bool AOn) {
    Ini().WriteBool("settings", "recordwithaudio", AOn);
    for (QWidget* w : std::initializer_list<QWidget*>{cmbSampleRate, rdoStereo, rdoMono})
      w->setEnabled(AOn);
  });
  auto storeCheck = [this](QCheckBox* ABox, const char* AKey,
                           std::initializer_list<QWidget*> AFollowers) {
    std::vector<QWidget*> followers(AFollowers);
    connect(ABox, &QCheckBox::toggled, this, [this, AKey, followers](bool AOn) {
      Ini().WriteBool("settings", AKey, AOn);
      for (QWidget* w : followers)
        w->setEnabled(AOn);
    });
  };
  storeCheck(chkMouse, "chkMouse", {});
  storeCheck(chkHide, "chkHide", {});
  storeCheck(chkDelay, "chkDelay", {edtDelay});
  storeCheck(chkLength, "chkLength", {edtLength});
  storeCheck(chkAddText, "chkAddText", {edtAddText, btnAddTextOptions});
  storeCheck(chkAddTimestamp, "chkAddTimestamp", {btnAddTimeStamp, edtTimestamp});
  storeCheck(chkAddWatermark, "chkAddWatermark", {btnImagePath, btnAddWatermarkOptions});

  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int AIndex) {
    QWidget* page = PageControl1->widget(AIndex);
    if (page == kivtempTabSheet2)
      kivtempTabSheet2Show();
    else if (page == kivtempTabSheet3)
      kivtempTabSheet3Show();
    else if (page == TabSheet4)
      TabSheet4Show();
  });
}

bool TfrmMain::eventFilter(QObject* AObject, QEvent* AEvent) {
  // A text that changed (the status line, a translation) may need more room;
  // the frame lays itself out first.
  if (AObject == static_cast<QObject*>(kivForm1) && AEvent->type() == QEvent::LayoutRequest &&
      FShown) {
    QMetaObject::invokeMethod(
        this, [this] { FitSize(); }, Qt::QueuedConnection);
    return false;
  }
  // The frame sees the keys its children leave; only the number edits filter them.
  if (AEvent->type() == QEvent::KeyPress && AObject != static_cast<QObject*>(kivForm1)) {
    const auto* key = static_cast<QKeyEvent*>(AEvent);
    // Only a key that types a character other than a digit is swallowed:
    // the editing, moving and selecting keys type none (Delete and
    // Backspace come as control characters) and reach the edit.
    const QString text = key->text();
    const bool typesOther = std::any_of(text.begin(), text.end(), [](QChar AChar) {
      return AChar.isPrint() && !(AChar >= '0' && AChar <= '9');
    });
    if (typesOther) {
      QApplication::beep();
      return true;
    }
  }
  return QWidget::eventFilter(AObject, AEvent);
}

void TfrmMain::kivtempTabSheet2Show() {
  const TIniFile ini = Ini();
  chkMouse->setChecked(ini.ReadBool("settings", "chkMouse", false));
  chkHide->setChecked(ini.ReadBool("settings", "chkHide", false));
  chkDelay->setChecked(ini.ReadBool("settings", "chkDelay", false));
  chkLength->setChecked(ini.ReadBool("settings", "chkLength", false));
  edtLength->setText(QString::fromStdString(ini.ReadString("settings", "RecLength", "0")));
  edtDelay->setText(QString::fromStdString(ini.ReadString("settings", "delay", "0")));
  edtDelay->setEnabled(chkDelay->isChecked());
  edtLength->setEnabled(chkLength->isChecked());
}

void TfrmMain::kivtempTabSheet3Show() {
  const TIniFile ini = Ini();
  chkAddText->setChecked(ini.ReadBool("settings", "chkAddText", false));
  edtAddText->setText(QString::fromStdString(ini.ReadString("settings", "edtAddText", "")));
  edtTimestamp->setText(QString::fromStdString(ini.ReadString("settings", "edtAddTimestamp", "")));
  chkAddTimestamp->setChecked(ini.ReadBool("settings", "chkAddTimestamp", false));
  chkAddWatermark->setChecked(ini.ReadBool("settings", "chkAddWatermark", false));
  edtIamgepath->setText(QString::fromStdString(ini.ReadString("imageoptions", "path", "")));
  edtAddText->setEnabled(chkAddText->isChecked());
  btnAddTextOptions->setEnabled(chkAddText->isChecked());
  btnAddTimeStamp->setEnabled(chkAddTimestamp->isChecked());
  btnImagePath->setEnabled(chkAddWatermark->isChecked());
  btnAddWatermarkOptions->setEnabled(chkAddWatermark->isChecked());
}
