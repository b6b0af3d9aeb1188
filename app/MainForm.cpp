// The main window's lifecycle: creation, first showing, the hotkeys and the
// keyboard hook's keys, the close question and destruction; the settings
// arrow, the output folder, the picture path, the About page and the links.
#include "MainForm.h"

#include "ArrowButton.h"
#include "FormFrame.h"
#include "GlobalHotkeys.h"
#include "GlobalObject.h"
#include "HookClients.h"
#include "ImageButton.h"
#include "MainThread.h"
#include "NativeEvents.h"
#include "OutputFileName.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <filesystem>

namespace {

const char* const kHomePage = "https://vexmora.example.org/";
const char* const kShareTitle = "Vexmora%20-%20a%20screen%20recorder%20for%20Linux";

struct THotkeyRow {
  const char* AtomName;
  uint32_t KeySym;
  uint16_t Modifiers;
};
// F9, Alt+P, Alt+R, F11 (keysyms of X11).
const THotkeyRow kHotkeys[4] = {
    {"QelStarthotKey", 0xffc6, 0},
    {"QelPausehotKey", 'p', TGlobalHotkeys::kAlt},
    {"QelResumehotKey", 'r', TGlobalHotkeys::kAlt},
    {"QelStophotKey", 0xffc8, 0},
};

bool FolderExists(const std::string& AFolder) {
  std::error_code error;
  return !AFolder.empty() && std::filesystem::is_directory(AFolder, error);
}

} // namespace

TfrmMain::TfrmMain(const std::string& AProgramFolder, const std::string& AIniFileName,
                   QWidget* AParent)
    : QWidget(AParent), FHookFolder(AProgramFolder), FIniFileName(AIniFileName) {
  CreateControls();
  CreateSkin();
  FormCreate();
}

TfrmMain::~TfrmMain() {
  // Stopped first: a worker may be calling the video hook, whose last frames
  // still get their overlay. The handlers use this window and are detached
  // once no task runs.
  FDestroying = true;
  FFEncoder.Stop(true);
  TMainThread::Process();
  FFEncoder.OnVideoInputHook = nullptr;
  FFEncoder.OnProgress = nullptr;
  FFEncoder.OnTerminate = nullptr;
  FormDestroy();
}

TIniFile TfrmMain::Ini() const {
  return TIniFile(GlobalObject() ? GlobalObject()->IniFileName() : FIniFileName);
}

void TfrmMain::FormCreate() {
  auto global = std::make_unique<TGlobalObject>();
  global->SetIniFileName(FIniFileName.empty() ? SettingsFileName(FHookFolder) : FIniFileName);
  global->SetAppName("Vexmora");
  global->SetVersion(TGlobalObject::GetFileVersionText());
  global->SetHomePage(kHomePage);
  global->SetShareURL(kHomePage);
  global->SetHelpURL(kHomePage);
  FIniFileName = global->IniFileName();
  SetGlobalObject(std::move(global));

  OpenDialog1->setNameFilters({"All (*.png)", "Portable Network Graphics (*.png)"});
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);
  OpenDialog1->setOption(QFileDialog::ReadOnly, false);

  ConnectStoreHandlers();
  CreateDialogs();
  btnStart->OnClick = [this](QObject*) { btnStartClick(); };
  btnPause->OnClick = [this](QObject*) { btnPauseClick(); };
  btnResume->OnClick = [this](QObject*) { btnResumeClick(); };
  btnStop->OnClick = [this](QObject*) { btnStopClick(); };
  arrbtnSetings->OnClick = [this](QObject*) { arrbtnSetingsClick(); };
  connect(btnOpen, &QPushButton::clicked, this, [this] { btnOpenClick(); });
  connect(btnImagePath, &QPushButton::clicked, this, [this] { btnImagePathClick(); });
  connect(img1, &QLabel::linkActivated, this, [this] { OpenLink(kHomePage); });
  connect(mniWebSite, &QAction::triggered, this, [this] { OpenLink(kHomePage); });
  connect(mniHelp, &QAction::triggered, this, [this] {
    if (GlobalObject()) OpenLink(QString::fromStdString(GlobalObject()->HelpURL()));
  });
  for (TkivImageButton* b : {imgbtnreddit, imgbtnstumbleupon, imgbtndigg, imgbtndelicious, imgbtntw,
                             imgbtngoogle, imgbtnfc})
    b->OnClick = [this, b](QObject*) { ShareClick(b->objectName()); };
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Timer1->start();

  FFEncoder.OnProgress = [this](TCustomEncoder*, PProgressInfo AInfo) { FFEncoderProgress(AInfo); };
  FFEncoder.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& AInfo) {
    FFEncoderTerminate(AInfo);
  };
  FFEncoder.OnVideoInputHook = [this](TCustomEncoder*, PHookInfo AInfo) {
    FFEncoderVideoInputHook(AInfo);
  };

  FNativeEvents = std::make_unique<TNativeEvents>();
  if (xcb_connection_t* c = TNativeEvents::Connection()) {
    FHotkeys = std::make_unique<TGlobalHotkeys>(c);
    FNativeEvents->Add([this](xcb_generic_event_t* AEvent) {
      const uint32_t id = FHotkeys ? FHotkeys->HandleEvent(AEvent) : 0;
      if (id) HotKey(id, reinterpret_cast<const xcb_key_press_event_t*>(AEvent)->time);
      return id != 0;
    });
  }
  FMouseHook = std::make_unique<TMouseHook>();
  FMouseHook->Folder = FHookFolder;
  FKeyboardHook = std::make_unique<TKeyboardHook>();
  FKeyboardHook->Folder = FHookFolder;
  FKeyboardHook->OnKey = [this](TKeyboardHook*, int AKey) { KeyboardHookKey(AKey); };
  FKeyboardHook->Start();
}

void TfrmMain::showEvent(QShowEvent* AEvent) {
  QWidget::showEvent(AEvent);
  if (FShown) return;
  FShown = true;
  FormShow();
}

void TfrmMain::FormShow() {
  TIniFile ini = Ini();
  BuildLanguageMenu();
  PageControl1->setCurrentWidget(TabSheet1);
  cmbPreset->clear();
  cmbPreset->addItems({"Customize", "Full Screen", "Center"});
  cmbPreset->setCurrentIndex(ini.ReadInteger("settings", "preset", 0));
  cmbFormat->clear();
  for (const TContainer& c : Containers())
    cmbFormat->addItem(c.Item);
  const int format = ini.ReadInteger("settings", "format", 0);
  cmbFormat->setCurrentIndex(format);
  cmbQuality->clear();
  cmbQuality->addItems({"0 (Highest Quality)", "1", "2", "3", "4", "5", "6 (Recommend)", "7", "8",
                        "9", "10 (Lowest Quality)"});
  cmbFrameRate->clear();
  for (const char* rate : FrameRates())
    cmbFrameRate->addItem(rate);
  FillSampleRates(cmbFormat->currentIndex());
  const char* section = ContainerAt(cmbFormat->currentIndex()).Section;
  cmbSampleRate->setCurrentIndex(ini.ReadInteger(section, "samplerateindex", 0));
  cmbBitRate->setCurrentIndex(ini.ReadInteger(section, "bitrateindex", 0));
  cmbQuality->setCurrentIndex(ini.ReadInteger(section, "qualityindex", 0));
  cmbFrameRate->setCurrentIndex(StoredFrameRateIndex(ini, section));

  btnStart->setEnabled(true);
  btnDefault->setEnabled(true);
  btnExit->setEnabled(true);
  btnPause->setEnabled(false);
  btnResume->setEnabled(false);
  btnStop->setEnabled(false);

  const std::string fallback = DefaultVideoFolder();
  const std::string stored = ini.ReadString("settings", "OutPutDir", "");
  if (!ini.ReadBool("settings", "firstrun", true) && FolderExists(stored)) {
    edtDir->setText(QString::fromStdString(stored));
  } else {
    edtDir->setText(QString::fromStdString(fallback)); // stores "OutPutDir"
    ini.WriteBool("settings", "firstrun", false);
  }
  edtDir->setEnabled(false);
  if (!ForceDirectories(edtDir->text().toStdString())) {
    Warn("Can not create output directory:" + edtDir->text().toStdString() +
         ".It will create default directory" + fallback);
    ForceDirectories(fallback);
    ini.WriteString("settings", "OutPutDir", fallback);
  }

  cmbPreset->setCurrentIndex(ini.ReadInteger("settings", "preset", 0));
  cmbFormat->setCurrentIndex(ini.ReadInteger("settings", "format", 0));
  edtLeft->setText(QString::fromStdString(ini.ReadString("settings", "left", "10")));
  edtTop->setText(QString::fromStdString(ini.ReadString("settings", "top", "10")));
  edtW->setText(QString::fromStdString(ini.ReadString("settings", "width", "800")));
  edtH->setText(QString::fromStdString(ini.ReadString("settings", "height", "600")));
  // Setting a control runs its store handler as a click would: make sure it runs.
  const bool audio = ini.ReadBool("settings", "recordwithaudio", true);
  chk_audio->setChecked(!audio);
  chk_audio->setChecked(audio);
  const bool stereo = ini.ReadBool("settings", "stereo", true);
  (stereo ? rdoStereo : rdoMono)->setChecked(true);

  FArrowDown = true;
  arrbtnSetings->SetArrow(TkivArrowButtonType::kivDown);
  PageControl1->hide();
  FitSize();

  RegisterHotkeys();
  kivForm1->SetCaption(
      QString::fromStdString(GlobalObject()->AppName() + GlobalObject()->Version()));
}

void TfrmMain::RegisterHotkeys() {
  if (!FHotkeys) return;
  for (int row = 0; row < 4; ++row) {
    if (FHotkeyAtoms[row]) continue;
    const uint32_t atom = FHotkeys->AddAtom(kHotkeys[row].AtomName);
    if (!atom) continue;
    FHotkeyAtoms[row] = atom;
    FHotkeys->Register(atom, kHotkeys[row].KeySym, kHotkeys[row].Modifiers);
  }
}

void TfrmMain::UnregisterHotkeys() {
  if (!FHotkeys) return;
  // X atoms live as long as the server: forgetting the number is all there is.
  for (uint32_t& atom : FHotkeyAtoms) {
    if (atom) FHotkeys->Unregister(atom);
    atom = 0;
  }
}

bool TfrmMain::HotkeyRegistered(int ARow) const {
  return FHotkeys && FHotkeyAtoms[ARow] && FHotkeys->IsRegistered(FHotkeyAtoms[ARow]);
}

bool TfrmMain::FirstSight(int ARow, uint32_t ATime) {
  if (ATime == 0) return true; // a press of unknown time counts on its own
  if (FPressTimes[ARow] == ATime) return false;
  FPressTimes[ARow] = ATime;
  return true;
}

void TfrmMain::HotKey(uint32_t AId, uint32_t ATime) {
  TkivImageButton* buttons[4] = {btnStart, btnPause, btnResume, btnStop};
  for (int row = 0; row < 4; ++row) {
    if (!FHotkeyAtoms[row] || FHotkeyAtoms[row] != AId) continue;
    // The keyboard hook may have brought this very press already.
    if (!FirstSight(row, ATime)) continue;
    // The Stop key also cancels a countdown, whose Stop button is still off.
    if (row == 3 && FCountingDown)
      btnStopClick();
    else if (buttons[row]->isEnabled())
      buttons[row]->Click();
    else
      QApplication::beep();
  }
}

void TfrmMain::KeyboardHookKey(int AKey) {
  // The hook sees every key on the display: its F9 and F11 belong to the
  // copy of the program that holds their hotkeys, and a press that came as
  // a hotkey already is not acted on again.
  const int row = AKey == 120 ? 0 : AKey == 122 ? 3 : -1;
  if (row < 0 || !HotkeyRegistered(row)) return;
  if (!FirstSight(row, FKeyboardHook ? FKeyboardHook->KeyTime() : 0)) return;
  if (row == 0)
    btnStartClick();
  else
    btnStopClick();
}

void TfrmMain::arrbtnSetingsClick() {
  FArrowDown = !FArrowDown;
  arrbtnSetings->SetArrow(FArrowDown ? TkivArrowButtonType::kivDown : TkivArrowButtonType::kivUp);
  PageControl1->setVisible(!FArrowDown);
  FitSize();
}

void TfrmMain::FitSize() {
  // The skinned frame covers the window; its layout holds the title bar,
  // the menu bar and the panel with the controls.
  QLayout* frame = kivForm1->layout();
  QWidget* panel = kivForm1->FormPanel();
  if (!frame || !panel || !panel->layout()) return;
  // Measured now, not when the layouts get round to it (the pages may have
  // just been hidden or shown).
  panel->layout()->activate();
  panel->updateGeometry();
  frame->invalidate();
  frame->activate();
  // The pages count even while they are hidden, so that opening them
  // rarely makes the window wider.
  PageControl1->ensurePolished();
  const QMargins outer = frame->contentsMargins(), inner = panel->layout()->contentsMargins();
  const int pages = PageControl1->minimumSizeHint().width() + outer.left() + outer.right() +
                    inner.left() + inner.right();
  const int width = std::max({433, frame->minimumSize().width(), pages});
  const int needed = frame->hasHeightForWidth() ? frame->totalHeightForWidth(width)
                                                : frame->minimumSize().height();
  const QSize size(width, std::max(FArrowDown ? 122 : 390, needed));
  if (minimumSize() != size || maximumSize() != size) setFixedSize(size);
  // The activation above did what the requests it posted ask for: left in
  // the queue they would call this again, and again, for ever.
  QCoreApplication::removePostedEvents(kivForm1, QEvent::LayoutRequest);
}

void TfrmMain::btnOpenClick() {
  TIniFile ini = Ini();
  const std::string fallback = DefaultVideoFolder();
  const std::string folder = ini.ReadString("settings", "OutPutDir", fallback);
  if (!ForceDirectories(folder)) {
    Warn("Can not create output directory:" + folder + ".It will create default directory" +
         fallback);
    ForceDirectories(fallback);
    ini.WriteString("settings", "OutPutDir", fallback);
  }
  if (edtDir->text().size() > 2)
    OpenLink(QUrl::fromLocalFile(QString::fromStdString(folder)).toString());
}

void TfrmMain::btnImagePathClick() {
  if (OpenDialog1->exec() == QDialog::Accepted && !OpenDialog1->selectedFiles().isEmpty())
    edtIamgepath->setText(QFileInfo(OpenDialog1->selectedFiles().first()).absoluteFilePath());
}

void TfrmMain::TabSheet4Show() {
  if (GlobalObject())
    lblAppNameVer->setText(
        QString::fromStdString(GlobalObject()->AppName() + GlobalObject()->Version()));
}

void TfrmMain::OpenLink(const QString& AUrl) {
  if (!FAutoAnswer) QDesktopServices::openUrl(QUrl(AUrl));
  FLastWarning = "open " + AUrl.toStdString();
}

void TfrmMain::ShareClick(const QString& AName) {
  const QString url = QString::fromStdString(GlobalObject() ? GlobalObject()->ShareURL() : "");
  const QString title = kShareTitle;
  QString link;
  if (AName == "imgbtnreddit")
    link = "https://www.reddit.com/submit?url=" + url + "&title=" + title;
  else if (AName == "imgbtndigg")
    link = "https://digg.com/submit?phase=2&url=" + url + "&title=" + title;
  else if (AName == "imgbtndelicious")
    link = "https://del.icio.us/post?url=" + url + "&title=" + title;
  else if (AName == "imgbtnstumbleupon")
    link = "https://www.stumbleupon.com/submit?url=" + url + "&title=" + title;
  else if (AName == "imgbtnfc")
    link = "https://www.facebook.com/share.php?u=" + url;
  else if (AName == "imgbtngoogle")
    link = "https://plus.google.com/share?url=" + url;
  else if (AName == "imgbtntw")
    link = "https://twitter.com/intent/tweet?source=webclient&text=" + title + "%20" +
           QString(kHomePage);
  if (!link.isEmpty()) OpenLink(link);
}

int TfrmMain::MessageBox(const QString& AText, const QString& ACaption, int AButtons, int AIcon) {
  FLastWarning = AText.toStdString();
  ++FMessageCount;
  if (FAutoAnswer) return FAutoAnswer;
  QMessageBox box(static_cast<QMessageBox::Icon>(AIcon), ACaption, AText,
                  static_cast<QMessageBox::StandardButtons>(AButtons), this);
  return box.exec();
}

void TfrmMain::Warn(const std::string& AText) {
  MessageBox(QString::fromStdString(AText), "Warning", QMessageBox::Ok, QMessageBox::Warning);
}

bool TfrmMain::FormCloseQuery() {
  if (MessageBox("Do you really want to exit?", "Warning", QMessageBox::Yes | QMessageBox::No,
                 QMessageBox::Question) != QMessageBox::Yes)
    return false;
  if (FCountingDown) {
    // Start's countdown is still on the stack: it removes its task and
    // closes the window once it has unwound.
    FCountdownCancelled = true;
    FCloseAfterCountdown = true;
    return false;
  }
  if (FRecording || FFEncoder.Working()) btnStopClick();
  FFEncoder.OnVideoInputHook = nullptr;
  FFEncoder.OnProgress = nullptr;
  FFEncoder.OnTerminate = nullptr;
  SetGlobalObject(nullptr);
  UnregisterHotkeys();
  return true;
}

void TfrmMain::CloseWithoutQuestion() {
  FCloseAsked = true;
  close();
}

void TfrmMain::closeEvent(QCloseEvent* AEvent) {
  bool close = false;
  if (FCloseAsked) {
    FCloseAsked = false;
    if (FRecording || FFEncoder.Working()) btnStopClick();
    FFEncoder.OnVideoInputHook = nullptr;
    FFEncoder.OnProgress = nullptr;
    FFEncoder.OnTerminate = nullptr;
    SetGlobalObject(nullptr);
    UnregisterHotkeys();
    close = true;
  } else {
    close = FormCloseQuery();
  }
  if (close)
    AEvent->accept();
  else
    AEvent->ignore();
}

void TfrmMain::FormDestroy() {
  if (FKeyboardHook && FKeyboardHook->Active()) FKeyboardHook->Stop();
  if (FMouseHook && FMouseHook->Active()) FMouseHook->Stop();
  FKeyboardHook.reset();
  FMouseHook.reset();
  FHotkeys.reset();
  FNativeEvents.reset();
}
