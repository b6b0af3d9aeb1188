// Recordings made through the main window as a user makes them: Pause and
// Resume from their hotkeys, the length limit, the delay countdown and what
// may happen while it runs, no sound device, closing during a recording, one
// F9 with two copies of the program running, and the rate the list shows.
// Each file is read back.
#include "AlsaTestConfig.h"
#include "ImageButton.h"
#include "IniFile.h"
#include "LibAVForTests.h"
#include "MainForm.h"
#include "MediaProbe.h"
#include "RecorderStrings.h"
#include "RecordingFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

class Recording : public TRecordingFixture {};

TEST_F(Recording, PauseAndResumeFromTheirHotkeysCutThePauseOut) {
  Ini.WriteBool("settings", "recordwithaudio", false);
  Ini.WriteInteger("settings", "format", 4);
  auto window = Open();
  const auto clicked = TClock::now();
  window->btnStartClick();
  ASSERT_TRUE(WaitWorking(*window, true)) << window->LastWarning();
  const auto started = TClock::now();
  Serve(1500ms);
  const auto pausing = TClock::now();
  ASSERT_TRUE(PressKey("alt+p"));
  const auto paused = TClock::now();
  ASSERT_TRUE(WaitFor([&] { return window->Paused(); }, 3s));
  EXPECT_TRUE(window->btnResume->isEnabled() && window->btnStop->isEnabled());
  EXPECT_FALSE(window->btnPause->isEnabled() || window->btnStart->isEnabled());
  Serve(1500ms);
  const auto resuming = TClock::now();
  ASSERT_TRUE(PressKey("alt+r"));
  const auto resumed = TClock::now();
  ASSERT_TRUE(WaitFor([&] { return !window->Paused(); }, 3s));
  EXPECT_TRUE(window->btnPause->isEnabled());
  EXPECT_FALSE(window->btnResume->isEnabled());
  Serve(1500ms);
  window->btnStopClick();
  const double wall = SecondsSince(started);
  const double longestWall = SecondsSince(clicked);
  const double shortestPause = std::chrono::duration<double>(resuming - paused).count();
  const double longestPause = std::chrono::duration<double>(resumed - pausing).count();
  const std::string file = window->LastOutputFile();
  window.reset();
  const TProbedFile probe = ProbeFile(file);
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_TRUE(video);
  EXPECT_EQ(probe.Find(AVMEDIA_TYPE_AUDIO), nullptr);
  ExpectPicturesOf(wall - longestPause, longestWall - shortestPause, *video);
}

TEST_F(Recording, TheLengthLimitStopsTheRecording) {
  Ini.WriteBool("settings", "recordwithaudio", false);
  // mp4's encoder writes each picture at once; the length is the written
  // stream's time, which an encoder with look-ahead holds seconds back.
  Ini.WriteInteger("settings", "format", 0);
  Ini.WriteBool("settings", "chkLength", true);
  Ini.WriteInteger("settings", "RecLength", 2);
  auto window = Open();
  window->btnStartClick();
  ASSERT_TRUE(WaitWorking(*window, true)) << window->LastWarning();
  const bool stopped = WaitWorking(*window, false, 8s);
  EXPECT_TRUE(window->lblRecorderStatus->text().startsWith("Recorder Status: Frame number:"));
  if (!stopped) window->btnStopClick();
  EXPECT_TRUE(stopped);
  const TProbedFile probe = ProbeFile(window->LastOutputFile());
  ASSERT_TRUE(probe.Find(AVMEDIA_TYPE_VIDEO));
  // Progress comes every half second; the timer stops at the next report.
  ExpectPicturesOf(2.0, 3.0, *probe.Find(AVMEDIA_TYPE_VIDEO));
}

class Countdown : public Recording {
protected:
  void SetUp() override {
    Recording::SetUp();
    Ini.WriteBool("settings", "recordwithaudio", false);
    Ini.WriteInteger("settings", "format", 4);
    Ini.WriteBool("settings", "chkDelay", true);
    Ini.WriteInteger("settings", "delay", 1);
  }
};

// The countdown runs Qt's loop inside Start: what happens meanwhile is
// scheduled on timers before Start is pressed.
TEST_F(Countdown, ShowsTheMillisecondsAndStartsWhenItEnds) {
  auto window = Open();
  QStringList captions;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (window->CountingDown() && !captions.contains(window->btnStart->Caption()))
      captions << window->btnStart->Caption();
  });
  watch.start(15);
  const auto clicked = TClock::now();
  QTimer::singleShot(0, window.get(), [&] { window->btnStartClick(); });
  ASSERT_TRUE(WaitWorking(*window, true, 5s)) << window->LastWarning();
  EXPECT_GE(TClock::now() - clicked, 980ms);
  EXPECT_GT(captions.size(), 5);
  for (const QString& c : captions) {
    EXPECT_TRUE(c.endsWith("ms")) << c.toStdString();
    EXPECT_LE(c.chopped(2).toInt(), 990);
  }
  EXPECT_EQ(window->btnStart->Caption(), "Start");
  window->btnStopClick();
  EXPECT_FALSE(window->FFEncoder.Working());
}

TEST_F(Countdown, StartIsRefusedAndStopCancelsWithoutARecording) {
  auto window = Open();
  bool acted = false, counting = false, refused = false;
  QString status;
  std::string prepared;
  QTimer::singleShot(300, window.get(), [&] {
    counting = window->CountingDown();
    status = window->lblRecorderStatus->text();
    prepared = window->LastOutputFile();
    // F9 from the keyboard hook, a second click: nothing happens underneath.
    window->KeyboardHookKey(120);
    window->btnStartClick();
    refused = window->CountingDown() && window->FFEncoder.TaskCount() == 1;
    window->KeyboardHookKey(122); // F11
    acted = true;
  });
  QTimer::singleShot(0, window.get(), [&] { window->btnStartClick(); });
  ASSERT_TRUE(WaitFor([&] { return acted && !window->CountingDown(); }, 5s));
  EXPECT_TRUE(counting);
  EXPECT_TRUE(refused);
  EXPECT_EQ(status, "Recorder Status: Delay 0 seconds");
  Serve(1200ms);
  EXPECT_FALSE(window->FFEncoder.Working());
  EXPECT_EQ(window->FFEncoder.TaskCount(), 0);
  EXPECT_FALSE(prepared.empty());
  EXPECT_FALSE(std::filesystem::exists(prepared)) << "the reserved file is given back";
  EXPECT_TRUE(window->btnStart->isEnabled());
  EXPECT_EQ(window->btnStart->Caption(), "Start");
}

TEST_F(Countdown, TheStopHotkeyCancelsIt) {
  auto window = Open();
  ASSERT_TRUE(window->HotkeyRegistered(3));
  bool pressed = false;
  QTimer::singleShot(300, window.get(), [&] {
    // Sent from inside the countdown; its wait must not block the loop.
    pressed = QProcess::startDetached("xdotool", {"key", "F11"});
  });
  QTimer::singleShot(0, window.get(), [&] { window->btnStartClick(); });
  ASSERT_TRUE(WaitFor([&] { return pressed && !window->CountingDown(); }, 5s));
  Serve(1200ms);
  EXPECT_FALSE(window->FFEncoder.Working());
  EXPECT_EQ(window->FFEncoder.TaskCount(), 0);
  EXPECT_TRUE(window->btnStart->isEnabled());
}

TEST_F(Countdown, CloseCancelsItAndThenClosesTheWindow) {
  auto window = Open();
  bool counting = false;
  QTimer::singleShot(300, window.get(), [&] {
    counting = window->CountingDown();
    window->close();
  });
  QTimer::singleShot(0, window.get(), [&] { window->btnStartClick(); });
  ASSERT_TRUE(WaitFor([&] { return !window->isVisible(); }, 5s));
  EXPECT_TRUE(counting);
  EXPECT_FALSE(window->CountingDown());
  Serve(1200ms);
  EXPECT_FALSE(window->FFEncoder.Working());
  EXPECT_EQ(window->FFEncoder.TaskCount(), 0);
}

TEST_F(Recording, WithoutASoundDeviceYesRecordsWithoutSoundAndStoresIt) {
  TNoSoundDevices noSound;
  Ini.WriteBool("settings", "recordwithaudio", true);
  Ini.WriteInteger("settings", "format", 4);
  auto window = Open();
  window->btnStartClick();
  ASSERT_TRUE(WaitWorking(*window, true)) << window->LastWarning();
  EXPECT_EQ(window->LastWarning(),
            "No audio capture device fund.Audio can't been record!\r\nDo you want to continue "
            "running it?");
  EXPECT_FALSE(window->chk_audio->isChecked());
  EXPECT_FALSE(Ini.ReadBool("settings", "recordwithaudio", true));
  Serve(1000ms);
  window->btnStopClick();
  const TProbedFile probe = ProbeFile(window->LastOutputFile());
  EXPECT_TRUE(probe.Find(AVMEDIA_TYPE_VIDEO));
  EXPECT_FALSE(probe.Find(AVMEDIA_TYPE_AUDIO));
}

TEST_F(Recording, AFailingOutputIsReportedAndLeavesTheWindowIdle) {
  Ini.WriteBool("settings", "recordwithaudio", false);
  Ini.WriteInteger("settings", "format", 0);
  Ini.WriteString("settings", "width", "abc"); // the output size is not a number
  auto window = Open();
  window->edtW->setText("320");                // stores "width" again...
  Ini.WriteString("settings", "width", "abc"); // ...so spoil it once more
  window->btnStartClick();
  EXPECT_FALSE(window->FFEncoder.Working());
  EXPECT_NE(window->LastWarning().find("abc"), std::string::npos) << window->LastWarning();
  EXPECT_EQ(window->FFEncoder.TaskCount(), 0);
  EXPECT_TRUE(window->btnStart->isEnabled());
  EXPECT_TRUE(std::filesystem::is_empty(Folder.File("videos")));
}

TEST_F(Recording, ClosingDuringARecordingAsksThenStopsItAndTheFileIsComplete) {
  Ini.WriteBool("settings", "recordwithaudio", true);
  Ini.WriteInteger("settings", "format", 0);
  auto window = Open();
  const auto clicked = TClock::now();
  window->btnStartClick();
  ASSERT_TRUE(WaitWorking(*window, true)) << window->LastWarning();
  const auto started = TClock::now();
  Serve(1500ms);
  const double wall = SecondsSince(started);
  const double longestWall = SecondsSince(clicked);
  window->close();
  EXPECT_EQ(window->LastWarning(), "Do you really want to exit?");
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->FFEncoder.Working());
  const std::string file = window->LastOutputFile();
  window.reset();
  const TProbedFile probe = ProbeFile(file);
  ASSERT_TRUE(probe.Find(AVMEDIA_TYPE_VIDEO) && probe.Find(AVMEDIA_TYPE_AUDIO));
  EXPECT_GT(probe.Duration, wall - 0.8) << "the trailer was written";
  ExpectPicturesOf(wall, longestWall, *probe.Find(AVMEDIA_TYPE_VIDEO));
}

// A second copy of the program, started from a folder of its own (its
// settings file lies beside it) and ended with the object.
class TSecondCopy {
public:
  TSecondCopy(const std::string& AFolder, const std::string& AVideos) : FFolder(AFolder) {
    namespace fs = std::filesystem;
    fs::create_directories(AFolder);
    fs::create_directories(AVideos);
    fs::copy_file(ProgramFolder() + "/vexmora", AFolder + "/vexmora");
    for (const char* beside : {"LibAV", "keyboardhook.so", "mousehook.so", "language"})
      fs::create_symlink(ProgramFolder() + "/" + beside, AFolder + "/" + beside);
    TIniFile ini(AFolder + "/vexmora.ini");
    ini.WriteBool("settings", "firstrun", false);
    ini.WriteString("settings", "OutPutDir", AVideos);
    ini.WriteBool("settings", "recordwithaudio", false);
    ini.WriteInteger("settings", "format", 4);
    const std::string program = AFolder + "/vexmora";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    if (posix_spawn(&FPid, program.c_str(), nullptr, nullptr, argv, environ) != 0) FPid = -1;
  }
  ~TSecondCopy() {
    if (FPid <= 0) return;
    kill(FPid, SIGTERM);
    int status = 0;
    waitpid(FPid, &status, 0);
  }
  // Its window is on the screen.
  bool Shown() const {
    return FPid > 0 && WaitFor(
                           [&] {
                             return Xdotool({"search", "--pid", std::to_string(FPid)});
                           },
                           20s);
  }

private:
  std::string FFolder;
  pid_t FPid = -1;
};

TEST_F(Recording, OneF9ReachesOnlyTheCopyOfTheProgramThatHoldsTheHotkey) {
  Ini.WriteBool("settings", "recordwithaudio", false);
  Ini.WriteInteger("settings", "format", 4);
  auto window = Open();
  ASSERT_TRUE(window->HotkeyRegistered(0) && window->HotkeyRegistered(3));
  const std::string otherVideos = Folder.File("other-videos");
  TSecondCopy other(Folder.File("other"), otherVideos);
  ASSERT_TRUE(other.Shown());
  Serve(500ms); // its keyboard hook watches the keys by now
  ASSERT_TRUE(PressKey("F9"));
  ASSERT_TRUE(WaitWorking(*window, true, 10s)) << window->LastWarning();
  Serve(1500ms);
  ASSERT_TRUE(PressKey("F11"));
  ASSERT_TRUE(WaitWorking(*window, false));
  EXPECT_TRUE(std::filesystem::exists(window->LastOutputFile()));
  EXPECT_TRUE(std::filesystem::is_empty(otherVideos)) << "the second copy recorded too";
}

// The pictures per second of a video stream, from its time stamps.
double PicturesPerSecond(const TProbedStream& AVideo) {
  if (AVideo.PacketTimes.size() < 2) return 0;
  const auto [first, last] =
      std::minmax_element(AVideo.PacketTimes.begin(), AVideo.PacketTimes.end());
  return static_cast<double>(AVideo.PacketTimes.size() - 1) / (*last - *first);
}

TEST_F(Recording, TheRateRecordedIsTheRateTheListShows) {
  Ini.WriteBool("settings", "recordwithaudio", false);
  Ini.WriteInteger("mkvsettings", "framerateindex", 1); // "10", chosen for mkv once
  auto window = Open();
  auto record = [&] {
    window->btnStartClick();
    EXPECT_TRUE(WaitWorking(*window, true)) << window->LastWarning();
    Serve(1500ms);
    window->btnStopClick();
    const TProbedFile probe = ProbeFile(window->LastOutputFile());
    return probe.Find(AVMEDIA_TYPE_VIDEO) ? PicturesPerSecond(*probe.Find(AVMEDIA_TYPE_VIDEO))
                                          : 0.0;
  };
  // A fresh installation shows the rate it records at.
  EXPECT_EQ(window->cmbFrameRate->currentText(), "15");
  EXPECT_NEAR(record(), 15, 0.3);
  // 30 for mp4, then mkv, which shows its own rate and records at it.
  window->cmbFrameRate->setCurrentIndex(10);
  emit window->cmbFrameRate->activated(10);
  window->cmbFormat->setCurrentIndex(4);
  emit window->cmbFormat->activated(4);
  EXPECT_EQ(window->cmbFrameRate->currentText(), "10");
  EXPECT_NEAR(record(), 10, 0.3);
  // Back to mp4: its 30 again.
  window->cmbFormat->setCurrentIndex(0);
  emit window->cmbFormat->activated(0);
  EXPECT_EQ(window->cmbFrameRate->currentText(), "30");
}

TEST_F(Recording, ASecondRecordingOfTheSameSizeTakesTheNextName) {
  Ini.WriteBool("settings", "recordwithaudio", false);
  Ini.WriteInteger("settings", "format", 4);
  auto window = Open();
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) {
    window->btnStartClick();
    ASSERT_TRUE(WaitWorking(*window, true)) << window->LastWarning();
    Serve(300ms);
    window->btnStopClick();
    names.push_back(window->LastOutputFile());
  }
  const std::string stem = Folder.File("videos") + "/Vexmora-320-240";
  EXPECT_EQ(names, (std::vector<std::string>{stem + "_(new).mkv", stem + "_(new_1).mkv",
                                             stem + "_(new_2).mkv"}));
}

} // namespace
