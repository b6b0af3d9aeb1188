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

std::vector<TFailureCase> FailureCases(TTempFolder& AFolder) {
  const std::string notPicture = AFolder.File("not-a-picture.png");
  const std::string blocked = AFolder.File("a-file") + "/videos";
  return {
      {"a region of no size",
       [](TIniFile& AIni, TTempFolder&) {
         AIni.WriteString("settings", "width", "0");
         AIni.WriteString("settings", "height", "0");
       },
       {},
       1000ms,
       "video=0:audio=-1: ",
       "",
       false,
       ""},
      {"a region off the screen",
       [](TIniFile& AIni, TTempFolder&) {
         AIni.WriteString("settings", "left", "3000");
         AIni.WriteString("settings", "top", "3000");
       },
       {},
       1000ms,
       "video=0:audio=-1: ",
       "",
       false,
       ""},
      {"an output folder that cannot be made",
       {},
       [](TIniFile& AIni, TTempFolder& AFolder) {
         std::ofstream(AFolder.File("a-file")) << "x";
         AIni.WriteString("settings", "OutPutDir", AFolder.File("a-file") + "/videos");
       },
       1000ms,
       "Cannot create output directory:" + blocked + ".It will create default directory ",
       "!",
       true,
       ""},
      {"a missing watermark picture, which is left out",
       [](TIniFile& AIni, TTempFolder& AFolder) {
         AIni.WriteBool("settings", "chkAddWatermark", true);
         AIni.WriteString("imageoptions", "path", AFolder.File("no-such.png"));
       },
       {},
       1000ms,
       "",
       "",
       true,
       ""},
      {"a watermark that is no picture",
       [notPicture](TIniFile& AIni, TTempFolder&) {
         std::ofstream(notPicture) << "not a picture";
         AIni.WriteBool("settings", "chkAddWatermark", true);
         AIni.WriteString("imageoptions", "path", notPicture);
       },
       {},
       1000ms,
       "Error opening filters! ",
       "not-a-picture.png",
       false,
       "Recorder Status: Nothing was recorded"},
      {"webm with a transparent watermark",
       [](TIniFile& AIni, TTempFolder& AFolder) {
         WritePng(AFolder.File("half.png"), 32, 255, 0, 0, 128);
         AIni.WriteInteger("settings", "format", 6);
         AIni.WriteBool("settings", "chkAddWatermark", true);
         AIni.WriteString("imageoptions", "path", AFolder.File("half.png"));
       },
       {},
       1000ms,
       "",
       "",
       true,
       ""},
      {"a Stop right after Start",
       {},
       {},
       0ms,
       "",
       "",
       false,
       "Recorder Status: Nothing was recorded"},
  };
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
