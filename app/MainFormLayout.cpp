// The main window's controls and their places. Every control is named after
// its component; the skin (MainFormSkin.cpp) dresses them afterwards.
#include "MainForm.h"

#include "ArrowButton.h"
#include "ImageButton.h"
#include "SkinMenu.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

template <typename T> T* Make(QWidget* AParent, const char* AName, const QString& AText = {}) {
  T* control = new T(AParent);
  control->setObjectName(AName);
  if constexpr (std::is_same_v<T, QLineEdit>) {
    control->setText(AText);
  } else if constexpr (std::is_base_of_v<TkivCustomButton, T>) {
    control->SetCaption(AText);
  } else if constexpr (!std::is_same_v<T, QComboBox> && !std::is_same_v<T, QWidget>) {
    control->setText(AText);
  }
  return control;
}

} // namespace

void TfrmMain::CreateControls() {
  setObjectName("frmMain");
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(6, 6, 6, 6);
  root->setSpacing(4);
  MainMenu1 = new TkivMainMenu(this);
  MainMenu1->setObjectName("MainMenu1");
  QMenu* help = MainMenu1->addMenu("&Help");
  mniWebSite = help->addAction("HomePage");
  mniWebSite->setObjectName("mniWebSite");
  mniHelp = help->addAction("Help");
  mniHelp->setObjectName("mniHelp");
  // The Language menu (filled when the window is first shown), before Help.
  mniHelpMenu = help;
  mniHelpMenu->setObjectName("mniHelpMenu");
  mniLanguage = new QMenu("&Language", MainMenu1);
  mniLanguage->setObjectName("mniLanguage");
  MainMenu1->insertMenu(help->menuAction(), mniLanguage);

  // Always visible: the four recording buttons, the arrow and the status.
  auto* bar = new QHBoxLayout;
  btnStart = Make<TkivImageButton>(this, "btnStart", "Start");
  btnPause = Make<TkivImageButton>(this, "btnPause", "Pause");
  btnResume = Make<TkivImageButton>(this, "btnResume", "Resume");
  btnStop = Make<TkivImageButton>(this, "btnStop", "Stop");
  arrbtnSetings = Make<TkivArrowButton>(this, "arrbtnSetings");
  for (TkivImageButton* b : {btnStart, btnPause, btnResume, btnStop})
    bar->addWidget(b);
  bar->addWidget(arrbtnSetings);
  root->addLayout(bar);
  lblRecorderStatus = Make<QLabel>(this, "lblRecorderStatus", "Recorder Status: Ready");
  // A long status goes on in a second line, for which the window grows.
  lblRecorderStatus->setWordWrap(true);
  root->addWidget(lblRecorderStatus);

  // Never shown; the recording state switches them with the others.
  btnDefault = Make<QPushButton>(this, "btnDefault", "Default");
  btnExit = Make<QPushButton>(this, "btnExit", "&Exit");
  cmbBitRate = Make<QComboBox>(this, "cmbBitRate");
  for (QWidget* w : std::initializer_list<QWidget*>{btnDefault, btnExit, cmbBitRate})
    w->hide();

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  root->addWidget(PageControl1, 1);
  // Takes the room of the hidden pages, so the bar stays at the top.
  root->addStretch(0);

  // "Settings": region, container, rates, sound, output folder.
  TabSheet1 = Make<QWidget>(PageControl1, "TabSheet1");
  auto* settings = new QGridLayout(TabSheet1);
  edtLeft = Make<QLineEdit>(TabSheet1, "edtLeft");
  edtTop = Make<QLineEdit>(TabSheet1, "edtTop");
  edtW = Make<QLineEdit>(TabSheet1, "edtW");
  edtH = Make<QLineEdit>(TabSheet1, "edtH");
  btnSelect = Make<TkivImageButton>(TabSheet1, "btnSelect", "Select");
  btnDesktop = Make<TkivImageButton>(TabSheet1, "btnDesktop", "Desktop");
  btnShow = Make<QPushButton>(TabSheet1, "btnShow", "Show Region");
  btnClose = Make<QPushButton>(TabSheet1, "btnClose", "Close Region");
  btnBrowse = Make<QPushButton>(TabSheet1, "btnBrowse", "Browse");
  cmbPreset = Make<QComboBox>(TabSheet1, "cmbPreset");
  cmbFormat = Make<QComboBox>(TabSheet1, "cmbFormat");
  cmbFrameRate = Make<QComboBox>(TabSheet1, "cmbFrameRate");
  cmbQuality = Make<QComboBox>(TabSheet1, "cmbQuality");
  cmbSampleRate = Make<QComboBox>(TabSheet1, "cmbSampleRate");
  chk_audio = Make<QCheckBox>(TabSheet1, "chk_audio", "Record with audio");
  rdoStereo = Make<QRadioButton>(TabSheet1, "rdoStereo", "Stereo");
  rdoMono = Make<QRadioButton>(TabSheet1, "rdoMono", "Mono");
  edtDir = Make<QLineEdit>(TabSheet1, "edtDir");
  btnOpen = Make<QPushButton>(TabSheet1, "btnOpen", "Open");
  int row = 0;
  settings->addWidget(lblRegion = Make<QLabel>(TabSheet1, "lblRegion", "Left, top:"), row, 0);
  settings->addWidget(edtLeft, row, 1);
  settings->addWidget(edtTop, row, 2);
  settings->addWidget(lblSize = Make<QLabel>(TabSheet1, "lblSize", "Size:"), row, 3);
  settings->addWidget(edtW, row, 4);
  settings->addWidget(edtH, row++, 5);
  settings->addWidget(lblPreset = Make<QLabel>(TabSheet1, "lblPreset", "Preset:"), row, 0);
  settings->addWidget(cmbPreset, row, 1, 1, 2);
  settings->addWidget(lblFormat = Make<QLabel>(TabSheet1, "lblFormat", "Format:"), row, 3);
  settings->addWidget(cmbFormat, row++, 4, 1, 2);
  settings->addWidget(lblFrameRate = Make<QLabel>(TabSheet1, "lblFrameRate", "Rate:"), row, 0);
  settings->addWidget(cmbFrameRate, row, 1, 1, 2);
  settings->addWidget(lblQuality = Make<QLabel>(TabSheet1, "lblQuality", "Quality:"), row, 3);
  settings->addWidget(cmbQuality, row++, 4, 1, 2);
  settings->addWidget(chk_audio, row, 0, 1, 2);
  settings->addWidget(cmbSampleRate, row, 2);
  settings->addWidget(rdoStereo, row, 3);
  settings->addWidget(rdoMono, row++, 4);
  settings->addWidget(lblOutput = Make<QLabel>(TabSheet1, "lblOutput", "Output:"), row, 0);
  auto* output = new QHBoxLayout;
  output->addWidget(edtDir, 1);
  output->addWidget(btnBrowse);
  output->addWidget(btnOpen);
  settings->addLayout(output, row++, 1, 1, 5);
  // The region commands and Browse. The preset list and its label stay
  // hidden: the region is typed, taken full screen or picked.
  btnSelect->setToolTip("select region");
  btnDesktop->setToolTip("select full screen");
  cmbPreset->hide();
  lblPreset->hide();
  for (QLineEdit* e : {edtLeft, edtTop, edtW, edtH})
    e->setMaximumWidth(64);
  auto* region = new QHBoxLayout;
  for (QWidget* b : std::initializer_list<QWidget*>{btnSelect, btnDesktop, btnShow, btnClose})
    region->addWidget(b);
  settings->addLayout(region, row++, 0, 1, 6);
  PageControl1->addTab(TabSheet1, "Settings");

  // "Capture Settings".
  kivtempTabSheet2 = Make<QWidget>(PageControl1, "kivtempTabSheet2");
  auto* capture = new QGridLayout(kivtempTabSheet2);
  chkMouse = Make<QCheckBox>(kivtempTabSheet2, "chkMouse", "Doesn't capture the mouse.");
  chkHide = Make<QCheckBox>(kivtempTabSheet2, "chkHide", "Minimize when recording starts");
  chkDelay = Make<QCheckBox>(kivtempTabSheet2, "chkDelay", "Delay (seconds):");
  edtDelay = Make<QLineEdit>(kivtempTabSheet2, "edtDelay");
  chkLength = Make<QCheckBox>(kivtempTabSheet2, "chkLength", "Recording length (seconds):");
  edtLength = Make<QLineEdit>(kivtempTabSheet2, "edtLength");
  capture->addWidget(chkMouse, 0, 0, 1, 2);
  capture->addWidget(chkHide, 1, 0, 1, 2);
  capture->addWidget(chkDelay, 2, 0);
  capture->addWidget(edtDelay, 2, 1);
  capture->addWidget(chkLength, 3, 0);
  capture->addWidget(edtLength, 3, 1);
  PageControl1->addTab(kivtempTabSheet2, "Capture Settings");

  // "Watermark".
  kivtempTabSheet3 = Make<QWidget>(PageControl1, "kivtempTabSheet3");
  auto* mark = new QGridLayout(kivtempTabSheet3);
  chkAddText = Make<QCheckBox>(kivtempTabSheet3, "chkAddText", "Add text");
  edtAddText = Make<QLineEdit>(kivtempTabSheet3, "edtAddText");
  chkAddTimestamp = Make<QCheckBox>(kivtempTabSheet3, "chkAddTimestamp", "Add timestamp");
  edtTimestamp = Make<QLineEdit>(kivtempTabSheet3, "edtTimestamp");
  chkAddWatermark = Make<QCheckBox>(kivtempTabSheet3, "chkAddWatermark", "Add image watermark");
  edtIamgepath = Make<QLineEdit>(kivtempTabSheet3, "edtIamgepath");
  btnImagePath = Make<QPushButton>(kivtempTabSheet3, "btnImagePath", "...");
  mark->addWidget(chkAddText, 0, 0);
  mark->addWidget(edtAddText, 0, 1, 1, 2);
  mark->addWidget(chkAddTimestamp, 1, 0);
  mark->addWidget(edtTimestamp, 1, 1, 1, 2);
  mark->addWidget(chkAddWatermark, 2, 0);
  mark->addWidget(edtIamgepath, 2, 1);
  mark->addWidget(btnImagePath, 2, 2);
  // The option dialogs of the three overlays, beside their check boxes.
  btnAddTextOptions = Make<QPushButton>(kivtempTabSheet3, "btnAddTextOptions", "Options");
  btnAddTimeStamp = Make<QPushButton>(kivtempTabSheet3, "btnAddTimeStamp", "Options");
  btnAddWatermarkOptions = Make<QPushButton>(kivtempTabSheet3, "btnAddWatermarkOptions", "Options");
  mark->addWidget(btnAddTextOptions, 0, 3);
  mark->addWidget(btnAddTimeStamp, 1, 3);
  mark->addWidget(btnAddWatermarkOptions, 2, 3);
  btnImagePath->setFixedWidth(28);
  PageControl1->addTab(kivtempTabSheet3, "Watermark");

  // "About": name, version, links.
  TabSheet4 = Make<QWidget>(PageControl1, "TabSheet4");
  auto* about = new QGridLayout(TabSheet4);
  img1 = Make<QLabel>(TabSheet4, "img1", "<a href=\"home\">Vexmora</a>");
  lblAppNameVer = Make<QLabel>(TabSheet4, "lblAppNameVer");
  about->addWidget(img1, 0, 0);
  about->addWidget(lblAppNameVer, 0, 1, 1, 6);
  imgbtnreddit = Make<TkivImageButton>(TabSheet4, "imgbtnreddit", "Reddit");
  imgbtnstumbleupon = Make<TkivImageButton>(TabSheet4, "imgbtnstumbleupon", "Stumbleupon");
  imgbtndigg = Make<TkivImageButton>(TabSheet4, "imgbtndigg", "Digg");
  imgbtndelicious = Make<TkivImageButton>(TabSheet4, "imgbtndelicious", "Delicious");
  imgbtntw = Make<TkivImageButton>(TabSheet4, "imgbtntw", "Twitter");
  imgbtngoogle = Make<TkivImageButton>(TabSheet4, "imgbtngoogle", "Google");
  imgbtnfc = Make<TkivImageButton>(TabSheet4, "imgbtnfc", "Facebook");
  int column = 0;
  for (TkivImageButton* b : {imgbtnreddit, imgbtnstumbleupon, imgbtndigg, imgbtndelicious, imgbtntw,
                             imgbtngoogle, imgbtnfc}) {
    b->setToolTip(b->Caption());
    about->addWidget(b, 1, column++);
  }
  PageControl1->addTab(TabSheet4, "About");

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(5);

  OpenDialog1 = new QFileDialog(this);
  OpenDialog1->setObjectName("OpenDialog1");
}
