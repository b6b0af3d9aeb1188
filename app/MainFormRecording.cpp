// The recording road: Start builds the file name and the two option strings
// from the controls and the settings and hands them to the encoder; Pause,
// Resume and Stop; the delay countdown; the progress and terminate handlers
// with the length limit; the overlays in the video input hook.
#include "MainForm.h"

#include "GDICapture.h"
#include "GlobalObject.h"
#include "ImageButton.h"
#include "MainThread.h"
#include "OutputFileName.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {
using TClock = std::chrono::steady_clock;
} // namespace

TRecorderControls TfrmMain::Controls() const {
  TRecorderControls c;
  c.Left = edtLeft->text().toStdString();
  c.Top = edtTop->text().toStdString();
  c.Width = edtW->text().toStdString();
  c.Height = edtH->text().toStdString();
  c.FormatIndex = cmbFormat->currentIndex();
  c.Audio = chk_audio->isChecked();
  c.SampleRate = cmbSampleRate->currentText().toStdString();
  c.FrameRate = cmbFrameRate->currentText().toStdString();
  c.Stereo = rdoStereo->isChecked();
  c.QualityIndex = std::max(0, cmbQuality->currentIndex());
  return c;
}

void TfrmMain::SetRecordingControls(bool AEnabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{
           btnStart,     btnDefault, btnExit,   btnSelect,     btnDesktop, btnShow,   btnClose,
           btnBrowse,    edtW,       edtH,      edtTop,        edtLeft,    cmbPreset, cmbFormat,
           cmbFrameRate, cmbQuality, chk_audio, cmbSampleRate, rdoStereo,  rdoMono})
    w->setEnabled(AEnabled);
}

void TfrmMain::StartFailed(int ATask, const std::string& AMessage) {
  if (ATask >= 0) FFEncoder.RemoveTask(ATask);
  if (!FLastOutputFile.empty()) {
    // The name was reserved for this recording and is still empty.
    std::remove(FLastOutputFile.c_str());
    FLastOutputFile.clear();
  }
  if (!AMessage.empty()) Warn(AMessage);
}

void TfrmMain::SetIdleControls() {
  btnPause->setEnabled(false);
  btnResume->setEnabled(false);
  btnStop->setEnabled(false);
  FPaused = false;
  SetRecordingControls(true);
  edtDir->setEnabled(false); // it changes only through Browse
}

void TfrmMain::EndRecording() {
  if (!FRecording) return; // a late notice of a recording already ended
  FRecording = false;
  SetIdleControls();
  // A file without a picture plays nothing: it is not left behind.
  const bool nothing = FFramesRecorded <= 0;
  if (nothing && !FLastOutputFile.empty()) std::remove(FLastOutputFile.c_str());
  if (nothing) lblRecorderStatus->setText("Recorder Status: Nothing was recorded");
  std::string message = FTaskError;
  if (message.empty() && nothing && !FStopAsked)
    message = "Nothing was recorded: the recording ended before its first picture.";
  // The tasks are cleared as after a Stop, unless a Stop is still waiting
  // for them (it clears them itself).
  try {
    FFEncoder.ClearTasks();
  } catch (const std::exception&) {
  }
  if (message.empty() || FDestroying) return;
  ++FBusy; // no Start while the user reads why the last one ended
  Warn(message);
  --FBusy;
}

bool TfrmMain::CountDown(int ADelaySeconds) {
  const QString caption = btnStart->Caption();
  FCountingDown = true;
  FCountdownCancelled = false;
  const auto deadline = TClock::now() + std::chrono::seconds(ADelaySeconds);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    if (left <= 20 || FCountdownCancelled) break;
    const long long shown = left / 10 * 10;
    btnStart->setEnabled(false);
    btnStart->SetCaption(QString::number(shown) + "ms");
    lblRecorderStatus->setText("Recorder Status: Delay " + QString::number(shown / 1000) +
                               " seconds");
    // Handles what arrives meanwhile for at most 10 ms.
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  btnStart->SetCaption(caption);
  FCountingDown = false;
  return !FCountdownCancelled;
}

void TfrmMain::btnStartClick() {
  // A recording runs, or Start is still at work (its countdown or one of its
  // questions handles events meanwhile), or the last ending is being told.
  if (FRecording || FBusy > 0 || FCountingDown) return;
  FStopRequested = false;
  ++FBusy;
  StartRecording();
  --FBusy;
}

void TfrmMain::StartRecording() {
  if (!FFEncoder.AVLibLoaded() && !FFEncoder.LoadAVLib(FHookFolder + "/LibAV")) {
    Warn(FFEncoder.LastErrMsg);
    return;
  }
  // Once per run in effect: a device already registered stays as it is.
  try {
    RegisterGdiCaptureDevice();
    FFEncoder.ClearTasks();
  } catch (const std::exception& e) {
    Warn(e.what());
    return;
  }
  FLastOutputFile.clear();
  TIniFile ini = Ini();
  TRecorderControls controls = Controls();
  const TContainer& container = ContainerAt(controls.FormatIndex);

  std::string inputOptions;
  try {
    inputOptions = BuildInputOptions(controls, ini);
  } catch (const EConvertError& e) {
    Warn(e.what());
    return;
  }
  const std::string base = "Vexmora-" + controls.Width + "-" + controls.Height;
  const std::string fileName =
      MakeOutputFileName(ini, base, container.Extension, DefaultVideoFolder(),
                         [this](const std::string& AText) { Warn(AText); });
  if (fileName.empty()) {
    Warn("Cannot create an output file in " + ini.ReadString("settings", "OutPutDir", ""));
    return;
  }
  FLastOutputFile = fileName;

  TInputOptions input;
  TFFEncoder::InitInputOptions(input);
  input.Options = inputOptions;
  int task = FFEncoder.AddTask(InputName(controls.Audio), &input);
  if (task < 0 && controls.Audio) {
    // The same picture without the sound tells whether the sound device
    // is what failed; anything else is told as it is.
    const std::string error = FFEncoder.LastErrMsg;
    TInputOptions again;
    TFFEncoder::InitInputOptions(again);
    again.Options = inputOptions;
    task = FFEncoder.AddTask(InputName(false), &again);
    if (task < 0) return StartFailed(-1, error);
    const int answer =
        MessageBox("No audio capture device fund.Audio can't been record!\r\n"
                   "Do you want to continue running it?",
                   "Warning", QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning);
    if (answer != QMessageBox::Yes) return StartFailed(task, "");
    chk_audio->setChecked(false); // stores "recordwithaudio" off
    controls.Audio = false;
  }
  if (task < 0) return StartFailed(-1, FFEncoder.LastErrMsg);

  std::string outputOptions;
  try {
    outputOptions = BuildOutputOptions(controls, ini, GetProcessorCount());
  } catch (const EConvertError& e) {
    return StartFailed(task, e.what());
  }
  LoadOverlayState(ini, FOverlay);
  TOutputOptions output;
  TFFEncoder::InitOutputOptions(output);
  // The file was created empty for this recording a moment ago: it may be
  // written over.
  output.Options = outputOptions + " -y ";
  output.VideoInputHook = FOverlay.Wanted();
  if (FFEncoder.SetOutput(task, fileName, &output) < 0)
    return StartFailed(task, FFEncoder.LastErrMsg);

  const int delay = ini.ReadInteger("settings", "delay", 0);
  if (delay > 0 && ini.ReadBool("settings", "chkDelay", false) && !CountDown(delay)) {
    StartFailed(task, "");
    btnStart->setEnabled(true);
    lblRecorderStatus->setText("Recorder Status: Ready");
    if (FCloseAfterCountdown) QTimer::singleShot(0, this, [this] { CloseWithoutQuestion(); });
    return;
  }
  if (ini.ReadBool("settings", "chkHide", false)) showMinimized();
  FRecLength = ini.ReadInteger("settings", "RecLength", 0);
  FLimitLength = ini.ReadBool("settings", "chkLength", false);
  FFramesRecorded = -1;
  FTaskError.clear();
  FStopAsked = false;
  // Set first: a task that cannot start ends inside StartTask.
  FRecording = true;
  try {
    FFEncoder.StartTask(1);
  } catch (const std::exception& e) {
    FRecording = false;
    btnStart->setEnabled(true);
    return StartFailed(task, e.what());
  }
  if (!FRecording) return; // it has ended already, and said why
  btnPause->setEnabled(true);
  btnStop->setEnabled(true);
  btnResume->setEnabled(false);
  SetRecordingControls(false);
  edtDir->setEnabled(false);
}

void TfrmMain::btnPauseClick() {
  FFEncoder.Pause();
  btnStart->setEnabled(false);
  btnDefault->setEnabled(false);
  btnPause->setEnabled(false);
  btnResume->setEnabled(true);
  btnStop->setEnabled(true);
  FPaused = true;
}

void TfrmMain::btnResumeClick() {
  FFEncoder.Resume();
  btnStart->setEnabled(false);
  btnDefault->setEnabled(false);
  btnResume->setEnabled(false);
  btnPause->setEnabled(true);
  btnStop->setEnabled(true);
  FPaused = false;
}

void TfrmMain::btnStopClick() {
  if (FCountingDown) {
    // The prepared task is removed once the countdown has unwound.
    FCountdownCancelled = true;
    return;
  }
  if (!FRecording && !FFEncoder.Working()) return;
  FStopAsked = true;
  btnPause->setEnabled(false);
  btnResume->setEnabled(false);
  btnStop->setEnabled(false);
  FFEncoder.Stop(true);
  // The notices of the end were queued before Stop returned: they reach the
  // terminate handler now, before anything else can start.
  TMainThread::Process();
  EndRecording();
  SetIdleControls();
  FFEncoder.ClearTasks();
}

void TfrmMain::Timer1Timer() {
  if (FStopRequested) btnStopClick();
}

void TfrmMain::FFEncoderProgress(PProgressInfo AInfo) {
  FFramesRecorded = AInfo->FrameNumber;
  lblRecorderStatus->setText(
      QString::asprintf("Recorder Status: Frame number: %d; FPS: %d; Size: %lld; Time: %d Seconds",
                        AInfo->FrameNumber, AInfo->FPS, static_cast<long long>(AInfo->TotalSize),
                        static_cast<int>(AInfo->CurrentTime / 1000000)));
  if (FLimitLength && FRecLength > 0 && AInfo->CurrentTime / 1000000 >= FRecLength)
    FStopRequested = true;
}

void TfrmMain::FFEncoderTerminate(const TTerminateInfo& AInfo) {
  if (AInfo.TaskIndex >= 0) {
    if (AInfo.Exception && FTaskError.empty()) FTaskError = AInfo.ExceptionMsg;
    return;
  }
  // Every ending leaves the window as a Stop does.
  EndRecording();
}

void TfrmMain::FFEncoderVideoInputHook(PHookInfo AInfo) {
  if (AInfo->Bitmap) DrawOverlays(FOverlay, *AInfo->Bitmap, AInfo->FrameNumber);
}
