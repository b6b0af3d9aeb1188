// What the suites of recordings through the main window share: a private
// settings file and videos folder, the window opened on it with its message
// boxes answered, and the recorded time a file's pictures must match.
#pragma once

#include "AppTestSupport.h"
#include "IniFile.h"
#include "LibAVForTests.h"
#include "MainForm.h"
#include "MediaProbe.h"

#include <QMessageBox>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

class TRecordingFixture : public ::testing::Test {
protected:
  static constexpr double kFrame = 1.0 / 15;

  void SetUp() override {
    LoadLibAVForTest();
    Ini.WriteString("settings", "OutPutDir", Folder.File("videos"));
    Ini.WriteBool("settings", "firstrun", false);
    std::filesystem::create_directories(Folder.File("videos"));
    Ini.WriteString("settings", "width", "320");
    Ini.WriteString("settings", "height", "240");
    Ini.WriteString("settings", "left", "0");
    Ini.WriteString("settings", "top", "0");
  }
  std::unique_ptr<TfrmMain> Open() {
    auto window = std::make_unique<TfrmMain>(ProgramFolder(), IniName);
    window->SetAutoAnswer(QMessageBox::Yes);
    window->show();
    EXPECT_TRUE(WaitFor([&] { return window->isVisible(); }, std::chrono::seconds(5)));
    return window;
  }
  static bool WaitWorking(TfrmMain& AWindow, bool AWorking,
                          std::chrono::milliseconds ALimit = std::chrono::seconds(20)) {
    return WaitFor([&] { return AWindow.FFEncoder.Working() == AWorking; }, ALimit);
  }
  // Pictures, one every 1/15 s, as long as the recorded time, which lies
  // between ALeast and AMost seconds (a key press takes effect some time
  // between sending it and its program's end). A loaded machine may starve
  // the grab at the start and the end of a recording: a little less is fine.
  static void ExpectPicturesOf(double ALeast, double AMost, const TProbedStream& AVideo) {
    const double pictures = AVideo.Packets * kFrame;
    EXPECT_GE(pictures, ALeast - 0.8) << AVideo.Packets << " pictures";
    EXPECT_LE(pictures, AMost + 2 * kFrame) << AVideo.Packets << " pictures";
  }

  TTempFolder Folder;
  std::string IniName = Folder.File("vexmora.ini");
  TIniFile Ini{IniName};
};

inline double SecondsSince(std::chrono::steady_clock::time_point AFrom) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - AFrom).count();
}
