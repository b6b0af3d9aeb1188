// The main window: the recording controls and their settings, the recording
// road through the encoder, the overlays drawn in its video input hook, the
// global hotkeys and the keyboard-hook shortcut keys, the settings pages and
// the small commands (open the output folder, pick the watermark picture,
// web links). Its controls carry their component names as objectName; they
// are made and laid out in one place (MainFormLayout.cpp).
#pragma once

#include "FFEncode.h"
#include "FrameOverlay.h"
#include "IniFile.h"
#include "RecorderOptions.h"

#include <QWidget>

#include <chrono>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class TGlobalHotkeys;
class TKeyboardHook;
class TMouseHook;
class TNativeEvents;
// MainFormDialogs.cpp: the region commands and the dialogs.
class QMenu;
class TfmDirectory;
class TfrmAddImageOptions;
class TfrmAddTextOptions;
class TfrmAddTimestampOptions;
class TRegionSelection;
struct TMainDialogs;
struct TMainDialogsDeleter {
  void operator()(TMainDialogs* ADialogs) const;
};
class TkivArrowButton;
class TkivForm;
class TkivImageButton;
class TkivMainMenu;
class TkivSkinForm;
class TkivThemeComponent;
class TkivThemeManager;

class TfrmMain : public QWidget {
  Q_OBJECT
public:
  // AProgramFolder: where LibAV/ and the hook libraries lie; AIniFileName
  // overrides where the settings file is (empty: beside the program, or the
  // user's configuration folder).
  explicit TfrmMain(const std::string& AProgramFolder, const std::string& AIniFileName = "",
                    QWidget* AParent = nullptr);
  ~TfrmMain() override;

  TFFEncoder FFEncoder;

  // The recording road.
  void btnStartClick();
  void btnPauseClick();
  void btnResumeClick();
  void btnStopClick();
  void Timer1Timer();
  void FFEncoderProgress(PProgressInfo AInfo);
  void FFEncoderTerminate(const TTerminateInfo& AInfo);
  void FFEncoderVideoInputHook(PHookInfo AInfo);

  // The keyboard hook's keys (120 F9, 122 F11).
  void KeyboardHookKey(int AKey);
  // A hotkey with the atom AId was pressed at the X server's time ATime
  // (0: unknown).
  void HotKey(uint32_t AId, uint32_t ATime = 0);
  void arrbtnSetingsClick();
  void btnOpenClick();
  void btnImagePathClick();
  void TabSheet4Show();

  // State the tests look at.
  bool CountingDown() const { return FCountingDown; }
  bool Paused() const { return FPaused; }
  const std::string& LastOutputFile() const { return FLastOutputFile; }
  const std::string& LastWarning() const { return FLastWarning; }
  // Message boxes shown so far.
  int MessageCount() const { return FMessageCount; }
  bool HotkeyRegistered(int ARow) const;
  TKeyboardHook* KeyboardHook() const { return FKeyboardHook.get(); }
  // Message boxes answer themselves with AAnswer (tests); 0 asks the user.
  void SetAutoAnswer(int AAnswer) { FAutoAnswer = AAnswer; }
  // The close question is not asked again (the caller asked already).
  void CloseWithoutQuestion();

protected:
  void showEvent(QShowEvent* AEvent) override;
  void closeEvent(QCloseEvent* AEvent) override;
  bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
  // MainFormLayout.cpp: the controls and their places.
  void CreateControls();
  // MainFormSkin.cpp: the skinned frame, its theme and the buttons' pictures.
  void CreateSkin();
  // MainForm.cpp: the lifecycle.
  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormDestroy();
  // The window's size: 433 wide and 122 or 390 high, or what its texts need
  // (a translation, a status line of two lines).
  void FitSize();
  void RegisterHotkeys();
  void UnregisterHotkeys();
  void OpenLink(const QString& AUrl);
  void ShareClick(const QString& AName);
  int MessageBox(const QString& AText, const QString& ACaption, int AButtons, int AIcon);
  void Warn(const std::string& AText);
  // MainFormSettings.cpp: the store-on-change handlers and page loaders.
  void ConnectStoreHandlers();
  void FillSampleRates(int AFormatIndex);
  void SelectContainerIndexes(int AFormatIndex);
  void cmbFormatChange(int AIndex);
  void edtDelayOrLengthChange(QLineEdit* AEdit, const char* AKey);
  void kivtempTabSheet2Show();
  void kivtempTabSheet3Show();
  // MainFormRecording.cpp: helpers of Start.
  TRecorderControls Controls() const;
  void SetRecordingControls(bool AEnabled);
  // The delay countdown; false when Stop or Close cancelled it.
  bool CountDown(int ADelaySeconds);
  void StartFailed(int ATask, const std::string& AMessage);
  // Start past its refusals: builds, adds and starts the task.
  void StartRecording();
  // Every control as after a Stop.
  void SetIdleControls();
  // The end of a started recording, however it came: the controls, the
  // empty file, the message that tells why it ended (once per recording).
  void EndRecording();

  TIniFile Ini() const;

public:
  // The controls (component names as in the window's description).
  TkivImageButton *btnStart{}, *btnPause{}, *btnResume{}, *btnStop{};
  TkivImageButton *btnSelect{}, *btnDesktop{};
  QPushButton *btnDefault{}, *btnExit{}, *btnShow{}, *btnClose{}, *btnBrowse{}, *btnOpen{};
  TkivArrowButton* arrbtnSetings{};
  QPushButton* btnImagePath{};
  QLineEdit *edtLeft{}, *edtTop{}, *edtW{}, *edtH{}, *edtDir{};
  QComboBox *cmbPreset{}, *cmbFormat{}, *cmbFrameRate{}, *cmbQuality{}, *cmbSampleRate{},
      *cmbBitRate{};
  QCheckBox* chk_audio{};
  QRadioButton *rdoStereo{}, *rdoMono{};
  QLabel* lblRecorderStatus{};
  QCheckBox *chkMouse{}, *chkHide{}, *chkDelay{}, *chkLength{};
  QLineEdit *edtDelay{}, *edtLength{};
  QCheckBox *chkAddText{}, *chkAddTimestamp{}, *chkAddWatermark{};
  QLineEdit *edtAddText{}, *edtTimestamp{}, *edtIamgepath{};
  QLabel *lblAppNameVer{}, *img1{};
  TkivImageButton *imgbtnreddit{}, *imgbtnstumbleupon{}, *imgbtndigg{}, *imgbtndelicious{},
      *imgbtntw{}, *imgbtngoogle{}, *imgbtnfc{};
  QTabWidget* PageControl1{};
  TkivMainMenu* MainMenu1{};
  QAction *mniWebSite{}, *mniHelp{};
  QWidget *TabSheet1{}, *kivtempTabSheet2{}, *kivtempTabSheet3{}, *TabSheet4{};
  QTimer* Timer1{};
  QFileDialog* OpenDialog1{};
  // The skin: the frame with its title and menu bar, the picture-shaped form
  // (no picture: it shapes nothing), the stored skin and the manager that
  // hands it and the style to the frame and the arrow.
  TkivForm* kivForm1{};
  TkivSkinForm* kivSkinForm1{};
  TkivThemeComponent* kivBuiltInFileTheme1{};
  TkivThemeManager* kivThemeManager1{};

private:
  std::string FHookFolder;
  std::string FIniFileName;
  bool FPaused = false;
  bool FStopRequested = false;
  int FRecLength = 0;
  bool FLimitLength = false;
  TOverlayState FOverlay;
  bool FArrowDown = true;
  bool FShown = false;

  // A recording was started and its end is not handled yet.
  bool FRecording = false;
  // Start, or the message of an ending, is at work (and handles events).
  int FBusy = 0;
  // The user's Stop (or the length limit) ended it.
  bool FStopAsked = false;
  int FFramesRecorded = -1;
  std::string FTaskError;
  bool FDestroying = false;

  bool FCountingDown = false;
  bool FCountdownCancelled = false;
  bool FCloseAfterCountdown = false;
  bool FCloseAsked = false;
  int FAutoAnswer = 0;
  int FMessageCount = 0;
  std::string FLastOutputFile, FLastWarning;

  uint32_t FHotkeyAtoms[4] = {0, 0, 0, 0};
  // The time of the last press of each hotkey row acted on, by either road.
  uint32_t FPressTimes[4] = {0, 0, 0, 0};
  // False when the press of row ARow at ATime was acted on already.
  bool FirstSight(int ARow, uint32_t ATime);
  std::unique_ptr<TNativeEvents> FNativeEvents;
  std::unique_ptr<TGlobalHotkeys> FHotkeys;
  std::unique_ptr<TMouseHook> FMouseHook;
  std::unique_ptr<TKeyboardHook> FKeyboardHook;

  // MainFormDialogs.cpp: the region commands, the option dialogs, the folder
  // dialog and the Language menu.
public:
  void btnBrowseClick();
  // "Show Region", and the region edits' exit handlers.
  void btnShowClick();
  void btnCloseClick();
  void btnDesktopClick();
  void btnSelectClick();
  void btnAddTextOptionsClick();
  void btnAddTimeStampClick();
  void btnAddWatermarkOptionsClick();
  // Applies the language file ALanguage to this window and the option dialogs.
  void LangueMenuItemClick(const QString& ALanguage);
  TRegionSelection* RegionSelection() const;

  QPushButton *btnAddTextOptions{}, *btnAddTimeStamp{}, *btnAddWatermarkOptions{};
  QMenu *mniLanguage{}, *mniHelpMenu{};
  QLabel *lblRegion{}, *lblSize{}, *lblPreset{}, *lblFormat{}, *lblFrameRate{}, *lblQuality{},
      *lblOutput{};
  TfmDirectory* fmDirectory{};
  TfrmAddTextOptions* frmAddTextOptions{};
  TfrmAddTimestampOptions* frmAddTimestampOptions{};
  TfrmAddImageOptions* frmAddImageOptions{};

private:
  void CreateDialogs();
  void BuildLanguageMenu();
  std::unique_ptr<TMainDialogs, TMainDialogsDeleter> FDialogs;
};
