// How recordings that cannot be made, or end early, meet the user: a region
// of no size or off the screen, an output folder that cannot be made, a
// watermark picture that is missing or no picture, webm with a transparent
// watermark, and a Stop right after Start. Each says what happened in one
// message (or records a good file), leaves every control as after a Stop
// and no file without a picture.
#include "GlobalObject.h"
#include "ImageButton.h"
#include "RecordingFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <fstream>
#include <functional>

using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

class RecordingFailures : public TRecordingFixture {
protected:
  // The controls as a Stop leaves them.
  static void ExpectIdle(TfrmMain& AWindow) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             AWindow.btnStart, AWindow.btnSelect, AWindow.btnDesktop, AWindow.btnShow,
             AWindow.btnClose, AWindow.btnBrowse, AWindow.edtW, AWindow.edtH, AWindow.edtTop,
             AWindow.edtLeft, AWindow.cmbFormat, AWindow.cmbFrameRate, AWindow.cmbQuality,
             AWindow.chk_audio, AWindow.cmbSampleRate, AWindow.rdoStereo, AWindow.rdoMono})
      EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString() << " stays disabled";
    for (QWidget* w : std::initializer_list<QWidget*>{AWindow.btnPause, AWindow.btnResume,
                                                      AWindow.btnStop, AWindow.edtDir})
      EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString() << " stays enabled";
  }
  // Every file in AFolder holds pictures.
  static int GoodFilesIn(const std::string& AFolder) {
    int good = 0;
    if (!fs::is_directory(AFolder)) return 0;
    for (const auto& entry : fs::directory_iterator(AFolder)) {
      SCOPED_TRACE(entry.path().string());
      TProbedFile probe;
      EXPECT_NO_THROW(probe = ProbeFile(entry.path().string()));
      const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
      EXPECT_TRUE(video && video->Packets > 0) << "a file without a picture is left";
      good += video && video->Packets > 0;
    }
    return good;
  }
};

struct TFailureCase {
  const char* Name;
  // The settings before the window opens, and after (Start reads them anew).
  std::function<void(TIniFile&, TTempFolder&)> Setup, AfterOpen;
  std::chrono::milliseconds RecordFor; // then Stop, unless it has ended
  // Empty: no message; else where the one message starts and what it holds.
  std::string MessageStart, MessagePart;
  bool GoodFile;
  std::string Status; // the status line after it, when it matters
};

using TSetup = std::function<void(TIniFile&, TTempFolder&)>;

// Writes the keys of "settings" AKeys.
TSetup Settings(std::vector<std::pair<const char*, const char*>> AKeys) {
  return [AKeys](TIniFile& AIni, TTempFolder&) {
    for (const auto& [key, value] : AKeys)
      AIni.WriteString("settings", key, value);
  };
}

// A watermark from the picture AName in the test's folder, which AMake writes
// (none: it is missing).
TSetup Watermark(const char* AName, std::function<void(const std::string&)> AMake = {}) {
  return [AName, AMake](TIniFile& AIni, TTempFolder& AFolder) {
    if (AMake) AMake(AFolder.File(AName));
    AIni.WriteBool("settings", "chkAddWatermark", true);
    AIni.WriteString("imageoptions", "path", AFolder.File(AName));
  };
}

std::vector<TFailureCase> FailureCases(TTempFolder& AFolder) {
  const std::string blocked = AFolder.File("a-file") + "/videos";
  const TSetup blockFolder = [blocked](TIniFile& AIni, TTempFolder& AFolder) {
    std::ofstream(AFolder.File("a-file")) << "x";
    AIni.WriteString("settings", "OutPutDir", blocked);
  };
  const TSetup notPicture =
      Watermark("not-a-picture.png", [](const std::string& AFile) { std::ofstream(AFile) << "x"; });
  const TSetup transparentWebm = [](TIniFile& AIni, TTempFolder& AFolder) {
    Watermark("half.png",
              [](const std::string& AFile) { WritePng(AFile, 32, 255, 0, 0, 128); })(AIni, AFolder);
    AIni.WriteInteger("settings", "format", 6);
  };
  const std::string nothing = "Recorder Status: Nothing was recorded";
  // clang-format off
  return {
      {"a region of no size", Settings({{"width", "0"}, {"height", "0"}}), {}, 1000ms,
       "Invalid frame size \"0x0\".", "video=0:audio=-1: ", false, ""},
      {"a region off the screen", Settings({{"left", "3000"}, {"top", "3000"}}), {}, 1000ms,
       "Capture offset 3000,3000 lies outside the ", "video=0:audio=-1: ", false, ""},
      // The window takes another folder at its start: this one goes bad later.
      {"an output folder that cannot be made", {}, blockFolder, 1000ms,
       "Cannot create output directory:" + blocked + ".It will create default directory ", "!",
       true, ""},
      {"a missing watermark picture, which is left out", Watermark("no-such.png"), {}, 1000ms,
       "", "", true, ""},
      {"a watermark that is no picture", notPicture, {}, 1000ms,
       "Error opening filters! ", "not-a-picture.png", false, nothing},
      {"webm with a transparent watermark", transparentWebm, {}, 1000ms, "", "", true, ""},
      {"a Stop right after Start", {}, {}, 0ms, "", "", false, nothing},
  };
  // clang-format on
}

TEST_F(RecordingFailures, AreToldOnceAndLeaveTheWindowIdleAndNoEmptyFile) {
  Ini.WriteBool("settings", "recordwithaudio", true);
  const std::string base = IniName + ".base";
  fs::copy_file(IniName, base);
  for (const TFailureCase& c : FailureCases(Folder)) {
    SCOPED_TRACE(c.Name);
    fs::copy_file(base, IniName, fs::copy_options::overwrite_existing);
    if (c.Setup) c.Setup(Ini, Folder);
    auto window = Open();
    if (c.AfterOpen) c.AfterOpen(Ini, Folder);
    const int messages = window->MessageCount();
    window->btnStartClick();
    if (c.RecordFor > 0ms) Serve(c.RecordFor);
    if (window->FFEncoder.Working()) window->btnStopClick();
    ASSERT_TRUE(WaitWorking(*window, false));
    Serve(200ms); // a late notice would arrive by now
    if (c.MessageStart.empty()) {
      EXPECT_EQ(window->MessageCount(), messages) << window->LastWarning();
    } else {
      EXPECT_EQ(window->MessageCount(), messages + 1);
      EXPECT_EQ(window->LastWarning().rfind(c.MessageStart, 0), 0u) << window->LastWarning();
      EXPECT_NE(window->LastWarning().find(c.MessagePart), std::string::npos)
          << window->LastWarning();
    }
    if (!c.Status.empty()) {
      EXPECT_EQ(window->lblRecorderStatus->text().toStdString(), c.Status);
    }
    ExpectIdle(*window);
    // Only the sound device's failure asks about the sound.
    EXPECT_TRUE(window->chk_audio->isChecked());
    EXPECT_TRUE(Ini.ReadBool("settings", "recordwithaudio", false));
    window->close();
    window.reset();
    const std::string videos = Ini.ReadString("settings", "OutPutDir", "");
    EXPECT_EQ(GoodFilesIn(videos), c.GoodFile ? 1 : 0);
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(videos, ignored))
      fs::remove(entry.path(), ignored);
  }
}

} // namespace
