// The main window: every control stores its key when it changes and shows it
// again at the next start, the digit-only edits, the first run, the two
// heights (with screenshots), the hotkeys (a key another client holds, a
// disabled button) and the close question.
#include "AppTestSupport.h"
#include "ArrowButton.h"
#include "GlobalHotkeys.h"
#include "GlobalObject.h"
#include "HookClients.h"
#include "ImageButton.h"
#include "IniFile.h"
#include "MainForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QEventLoop>
#include <QUrl>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <xcb/xcb.h>

using namespace std::chrono_literals;

namespace {

class MainWindow : public ::testing::Test {
protected:
  std::unique_ptr<TfrmMain> Open() {
    auto window = std::make_unique<TfrmMain>(ProgramFolder(), IniName);
    window->SetAutoAnswer(QMessageBox::Yes);
    window->show();
    EXPECT_TRUE(WaitFor([&] { return window->isVisible(); }, 5s));
    return window;
  }
  void Close(std::unique_ptr<TfrmMain>& AWindow) {
    AWindow->close();
    AWindow.reset();
  }
  TTempFolder Folder;
  std::string IniName = Folder.File("vexmora.ini");
  TIniFile Ini{IniName};
};

TEST_F(MainWindow, AFreshStartShowsTheDefaultsAndStoresTheFirstRun) {
  auto window = Open();
  EXPECT_EQ(window->edtLeft->text(), "10");
  EXPECT_EQ(window->edtTop->text(), "10");
  EXPECT_EQ(window->edtW->text(), "800");
  EXPECT_EQ(window->edtH->text(), "600");
  EXPECT_EQ(window->cmbFormat->currentText(), "mp4");
  EXPECT_EQ(window->cmbFrameRate->currentText(), "15") << "the rate a fresh installation records";
  EXPECT_EQ(window->cmbSampleRate->count(), 3);
  EXPECT_TRUE(window->chk_audio->isChecked());
  EXPECT_TRUE(window->rdoStereo->isChecked());
  EXPECT_FALSE(Ini.ReadBool("settings", "firstrun", true));
  EXPECT_EQ(Ini.ReadString("settings", "OutPutDir", ""), DefaultVideoFolder());
  EXPECT_TRUE(std::filesystem::is_directory(DefaultVideoFolder()));
  EXPECT_FALSE(window->edtDir->isEnabled());
  // The region edits stored what they were given.
  EXPECT_EQ(Ini.ReadString("settings", "width", ""), "800");
  EXPECT_EQ(window->size(), QSize(433, 122));
  EXPECT_TRUE(window->btnStart->isEnabled());
  EXPECT_FALSE(window->btnPause->isEnabled() || window->btnResume->isEnabled() ||
               window->btnStop->isEnabled());
  EXPECT_EQ(window->windowTitle().toStdString(), "Vexmora" + TGlobalObject::GetFileVersionText());
  Close(window);
}

// One row: what the user does to a control, and the key it stores.
struct TStoreCase {
  const char* Control;
  std::function<void(TfrmMain&)> Act;
  const char* Section;
  const char* Key;
  const char* Value;
  // How the next start shows it (empty: nothing to look at).
  std::function<bool(TfrmMain&)> Shown;
};

void Pick(QComboBox* ABox, int AIndex) {
  ABox->setCurrentIndex(AIndex);
  emit ABox->activated(AIndex); // what a user's pick fires
}

std::vector<TStoreCase> StoreCases() {
  return {
      {"edtLeft", [](TfrmMain& w) { w.edtLeft->setText("33"); }, "settings", "left", "33",
       [](TfrmMain& w) { return w.edtLeft->text() == "33"; }},
      {"edtTop", [](TfrmMain& w) { w.edtTop->setText("44"); }, "settings", "top", "44",
       [](TfrmMain& w) { return w.edtTop->text() == "44"; }},
      {"edtW", [](TfrmMain& w) { w.edtW->setText("641"); }, "settings", "width", "641",
       [](TfrmMain& w) { return w.edtW->text() == "641"; }},
      {"edtH", [](TfrmMain& w) { w.edtH->setText("481"); }, "settings", "height", "481",
       [](TfrmMain& w) { return w.edtH->text() == "481"; }},
      {"cmbPreset", [](TfrmMain& w) { Pick(w.cmbPreset, 2); }, "settings", "preset", "2",
       [](TfrmMain& w) { return w.cmbPreset->currentIndex() == 2; }},
      {"cmbFormat", [](TfrmMain& w) { Pick(w.cmbFormat, 5); }, "settings", "format", "5",
       [](TfrmMain& w) {
         return w.cmbFormat->currentText() == "avi" && w.cmbSampleRate->count() == 5;
       }},
      {"cmbFrameRate", [](TfrmMain& w) { Pick(w.cmbFrameRate, 11); }, "settings", "framerate",
       "Auto", [](TfrmMain& w) { return w.cmbFrameRate->currentText() == "Auto"; }},
      {"cmbFrameRate",
       [](TfrmMain& w) { Pick(w.cmbFrameRate, 3); },
       "mp4settings",
       "framerateindex",
       "3",
       {}},
      {"cmbQuality", [](TfrmMain& w) { Pick(w.cmbQuality, 4); }, "mp4settings", "qualityindex", "4",
       [](TfrmMain& w) { return w.cmbQuality->currentIndex() == 4; }},
      {"cmbQuality", [](TfrmMain& w) { Pick(w.cmbQuality, 4); }, "settings", "quality", "4", {}},
      {"cmbSampleRate", [](TfrmMain& w) { Pick(w.cmbSampleRate, 2); }, "mp4settings", "samplerate",
       "22050", [](TfrmMain& w) { return w.cmbSampleRate->currentText() == "22050"; }},
      {"cmbSampleRate",
       [](TfrmMain& w) { Pick(w.cmbSampleRate, 1); },
       "settings",
       "samplerate",
       "32000",
       {}},
      {"chk_audio", [](TfrmMain& w) { w.chk_audio->setChecked(false); }, "settings",
       "recordwithaudio", "0",
       [](TfrmMain& w) { return !w.chk_audio->isChecked() && !w.cmbSampleRate->isEnabled(); }},
      {"rdoMono", [](TfrmMain& w) { w.rdoMono->setChecked(true); }, "settings", "stereo", "0",
       [](TfrmMain& w) { return w.rdoMono->isChecked(); }},
      {"rdoMono", [](TfrmMain& w) { w.rdoMono->setChecked(true); }, "settings", "mono", "1", {}},
      {"chkMouse", [](TfrmMain& w) { w.chkMouse->setChecked(true); }, "settings", "chkMouse", "1",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet2);
         return w.chkMouse->isChecked();
       }},
      {"chkHide", [](TfrmMain& w) { w.chkHide->setChecked(true); }, "settings", "chkHide", "1",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet2);
         return w.chkHide->isChecked();
       }},
      {"chkDelay", [](TfrmMain& w) { w.chkDelay->setChecked(true); }, "settings", "chkDelay", "1",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet2);
         return w.chkDelay->isChecked() && w.edtDelay->isEnabled();
       }},
      {"edtDelay", [](TfrmMain& w) { w.edtDelay->setText("3"); }, "settings", "delay", "3",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet2);
         return w.edtDelay->text() == "3";
       }},
      {"chkLength", [](TfrmMain& w) { w.chkLength->setChecked(true); }, "settings", "chkLength",
       "1",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet2);
         return w.chkLength->isChecked();
       }},
      {"edtLength", [](TfrmMain& w) { w.edtLength->setText("12"); }, "settings", "RecLength", "12",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet2);
         return w.edtLength->text() == "12";
       }},
      {"chkAddText", [](TfrmMain& w) { w.chkAddText->setChecked(true); }, "settings", "chkAddText",
       "1",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet3);
         return w.chkAddText->isChecked() && w.edtAddText->isEnabled();
       }},
      {"edtAddText", [](TfrmMain& w) { w.edtAddText->setText("Hi there"); }, "settings",
       "edtAddText", "Hi there",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet3);
         return w.edtAddText->text() == "Hi there";
       }},
      {"chkAddTimestamp", [](TfrmMain& w) { w.chkAddTimestamp->setChecked(true); }, "settings",
       "chkAddTimestamp", "1",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet3);
         return w.chkAddTimestamp->isChecked();
       }},
      {"edtTimestamp", [](TfrmMain& w) { w.edtTimestamp->setText("Now:"); }, "settings",
       "edtAddTimestamp", "Now:",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet3);
         return w.edtTimestamp->text() == "Now:";
       }},
      {"chkAddWatermark", [](TfrmMain& w) { w.chkAddWatermark->setChecked(true); }, "settings",
       "chkAddWatermark", "1",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet3);
         return w.chkAddWatermark->isChecked() && w.btnImagePath->isEnabled();
       }},
      {"edtIamgepath", [](TfrmMain& w) { w.edtIamgepath->setText("/tmp/a b.png"); }, "imageoptions",
       "path", "/tmp/a b.png",
       [](TfrmMain& w) {
         w.PageControl1->setCurrentWidget(w.kivtempTabSheet3);
         return w.edtIamgepath->text() == "/tmp/a b.png";
       }},
  };
}

TEST_F(MainWindow, EveryControlStoresItsKeyOnChangeAndShowsItAtTheNextStart) {
  for (const TStoreCase& c : StoreCases()) {
    SCOPED_TRACE(std::string(c.Control) + " -> " + c.Section + "/" + c.Key);
    std::filesystem::remove(IniName);
    auto window = Open();
    c.Act(*window);
    // Stored at once, before anything else happens.
    EXPECT_EQ(Ini.ReadString(c.Section, c.Key, "<missing>"), c.Value);
    Close(window);
    if (c.Shown) {
      window = Open();
      EXPECT_TRUE(c.Shown(*window)) << "not shown again at the next start";
      Close(window);
    }
  }
}

TEST_F(MainWindow, SettingAComboBoxFromTheProgramStoresNothing) {
  auto window = Open();
  window->cmbFormat->setCurrentIndex(3);
  window->cmbQuality->setCurrentIndex(9);
  EXPECT_FALSE(Ini.ValueExists("settings", "format"));
  EXPECT_FALSE(Ini.ValueExists("mp4settings", "qualityindex"));
  Close(window);
}

TEST_F(MainWindow, ChangingTheContainerFillsItsRatesAndSelectsItsStoredIndexes) {
  Ini.WriteInteger("avisettings", "samplerateindex", 4);
  Ini.WriteInteger("avisettings", "qualityindex", 7);
  Ini.WriteInteger("avisettings", "framerateindex", 9);
  auto window = Open();
  Pick(window->cmbFormat, 5);
  EXPECT_EQ(window->cmbSampleRate->count(), 5);
  EXPECT_EQ(window->cmbSampleRate->currentText(), "8000");
  EXPECT_EQ(window->cmbQuality->currentIndex(), 7);
  EXPECT_EQ(window->cmbFrameRate->currentText(), "29.97");
  // Selected, not stored again.
  EXPECT_FALSE(Ini.ValueExists("settings", "qualityindex"));
  Close(window);
}

// Keys as a user types them (xdotool), into each number edit: only keys
// that type a character other than a digit are swallowed.
TEST_F(MainWindow, NumberEditsSwallowOnlyCharactersThatAreNoDigits) {
  struct TCase {
    const char* Name;
    std::vector<std::vector<std::string>> Keys; // xdotool calls after "1920" is typed
    const char* Text;
  } cases[] = {
      {"Home, Delete, 8", {{"key", "Home", "Delete"}, {"type", "8"}}, "8920"},
      {"Backspace", {{"key", "BackSpace"}}, "192"},
      {"the arrows", {{"key", "Left", "Left", "Right"}, {"type", "5"}}, "19250"},
      {"a selection to the end", {{"key", "Home", "shift+End"}, {"type", "7"}}, "7"},
      {"select all", {{"key", "ctrl+a"}, {"type", "64"}}, "64"},
      {"letters, signs and blanks", {{"key", "End"}, {"type", "a-1 ,x"}}, "19201"},
  };
  auto window = Open();
  window->arrbtnSetings->Click();
  ASSERT_TRUE(WaitFor([&] { return window->PageControl1->isVisible(); }, 3s));
  window->chkDelay->setChecked(true);
  window->chkLength->setChecked(true);
  const struct {
    QLineEdit* Edit;
    QWidget* Page;
  } edits[] = {{window->edtLeft, window->TabSheet1},
               {window->edtTop, window->TabSheet1},
               {window->edtW, window->TabSheet1},
               {window->edtH, window->TabSheet1},
               {window->edtDelay, window->kivtempTabSheet2},
               {window->edtLength, window->kivtempTabSheet2}};
  for (const auto& e : edits) {
    window->PageControl1->setCurrentWidget(e.Page);
    // One filter serves them all: the whole table on one, its first row on the rest.
    for (const TCase& c : cases) {
      if (e.Edit != window->edtW && &c != cases) continue;
      SCOPED_TRACE(e.Edit->objectName().toStdString() + ": " + c.Name);
      // Never left empty: the region edits show the region when they
      // lose the focus, and an empty one cannot.
      ASSERT_TRUE(Click(e.Edit));
      ASSERT_TRUE(WaitFor([&] { return e.Edit->hasFocus(); }, 3s));
      ASSERT_TRUE(Xdotool({"key", "ctrl+a"}) && Xdotool({"type", "1920"}));
      for (const auto& keys : c.Keys)
        ASSERT_TRUE(Xdotool(keys));
      EXPECT_TRUE(WaitFor([&] { return e.Edit->text() == c.Text; }, 2s))
          << e.Edit->text().toStdString();
    }
  }
  EXPECT_EQ(Ini.ReadString("settings", "width", ""), "19201");
  window->edtDelay->setText("0");
  EXPECT_EQ(window->edtDelay->text(), "");
  EXPECT_EQ(Ini.ReadInteger("settings", "delay", 0), 8920) << "0 is never stored";
  Close(window);
}

TEST_F(MainWindow, AnIdleWindowLeavesTheProcessorAlone) {
  auto window = Open();
  Serve(500ms);
  // Its own event loop, so that nothing but the window's own work runs.
  const auto cpu = [] {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
  };
  const double before = cpu();
  QEventLoop loop;
  QTimer::singleShot(1000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_LT(cpu() - before, 0.25) << "CPU seconds in one idle second";
  Close(window);
}

TEST_F(MainWindow, TheArrowOpensAndClosesTheSettingsAndBothHeightsArePictured) {
  auto window = Open();
  const std::string shots = ProgramFolder() + "/..";
  EXPECT_EQ(window->size(), QSize(433, 122));
  Serve(200ms);
  EXPECT_TRUE(window->grab().save(QString::fromStdString(shots + "/vexmora-main-collapsed.png")));
  ASSERT_TRUE(Click(window->arrbtnSetings));
  EXPECT_TRUE(WaitFor([&] { return window->height() == 390; }, 3s));
  EXPECT_EQ(window->width(), 433);
  EXPECT_TRUE(window->PageControl1->isVisible());
  Serve(200ms);
  EXPECT_TRUE(window->grab().save(QString::fromStdString(shots + "/vexmora-main-expanded.png")));
  window->arrbtnSetings->Click();
  EXPECT_EQ(window->size(), QSize(433, 122));
  window->PageControl1->setCurrentWidget(window->TabSheet4);
  EXPECT_EQ(window->lblAppNameVer->text().toStdString(),
            "Vexmora" + TGlobalObject::GetFileVersionText());
  Close(window);
}

// Another program's grab of F9 on the root window.
class TForeignGrab {
public:
  TForeignGrab() : FConnection(xcb_connect(nullptr, nullptr)), FHotkeys(FConnection) {
    Held = FHotkeys.Register(1, 0xffc6, 0);
  }
  ~TForeignGrab() {
    FHotkeys.Unregister(1);
    xcb_disconnect(FConnection);
  }
  bool Held = false;

private:
  xcb_connection_t* FConnection;
  TGlobalHotkeys FHotkeys;
};

TEST_F(MainWindow, AHotkeyAnotherProgramHoldsIsNotRegisteredAndTheButtonsStillWork) {
  TForeignGrab grab;
  ASSERT_TRUE(grab.Held);
  auto window = Open();
  EXPECT_FALSE(window->HotkeyRegistered(0)) << "F9 is held by another program";
  EXPECT_TRUE(window->HotkeyRegistered(1));
  EXPECT_TRUE(window->HotkeyRegistered(2));
  EXPECT_TRUE(window->HotkeyRegistered(3));
  EXPECT_TRUE(window->btnStart->isEnabled());
  Close(window);
}

TEST_F(MainWindow, AHotkeyWhoseButtonIsDisabledDoesNotPressIt) {
  auto window = Open();
  ASSERT_TRUE(window->HotkeyRegistered(1));
  int pauses = 0;
  window->btnPause->OnClick = [&, pause = window->btnPause->OnClick](QObject* ASender) {
    ++pauses;
    pause(ASender);
  };
  ASSERT_TRUE(PressKey("alt+p"));
  Serve(100ms);
  EXPECT_EQ(pauses, 0);
  EXPECT_FALSE(window->Paused());
  Close(window);
}

TEST_F(MainWindow, OneF9PressStartsOnceThoughTheHotkeyAndTheKeyboardHookBothSeeIt) {
  auto window = Open();
  ASSERT_TRUE(window->HotkeyRegistered(0));
  ASSERT_TRUE(window->KeyboardHook() && window->KeyboardHook()->Active());
  int hookKeys = 0;
  window->KeyboardHook()->OnKey = [&, key = window->KeyboardHook()->OnKey](TKeyboardHook* AHook,
                                                                           int AKey) {
    ++hookKeys;
    key(AHook, AKey);
  };
  // A Start that fails at once says so in a message: one per Start.
  window->edtW->setText("");
  Serve(200ms);
  const int before = window->MessageCount();
  ASSERT_TRUE(PressKey("F9"));
  ASSERT_TRUE(WaitFor([&] { return hookKeys > 0 && window->MessageCount() > before; }, 3s))
      << hookKeys << " keys from the hook";
  Serve(300ms);
  EXPECT_EQ(hookKeys, 1) << "the hook saw the press too";
  EXPECT_EQ(window->MessageCount(), before + 1) << window->LastWarning();
  EXPECT_EQ(window->LastWarning(), "'' is not a valid integer value");
  Close(window);
}

TEST_F(MainWindow, LinksAndTheOutputFolderOpenWithTheDesktopsHandler) {
  auto window = Open();
  // The handler is not started under test: the window says what it would open.
  struct {
    TkivImageButton* Button;
    const char* Start;
  } shares[] = {
      {window->imgbtnreddit,
       "open https://www.reddit.com/submit?url=https://vexmora.example.org/&title=Vexmora"},
      {window->imgbtndigg,
       "open https://digg.com/submit?phase=2&url=https://vexmora.example.org/&title="},
      {window->imgbtnfc, "open https://www.facebook.com/share.php?u=https://vexmora.example.org/"},
      {window->imgbtntw, "open https://twitter.com/intent/tweet?source=webclient&text=Vexmora%20"},
  };
  for (const auto& share : shares) {
    share.Button->Click();
    EXPECT_EQ(window->LastWarning().rfind(share.Start, 0), 0u) << window->LastWarning();
    EXPECT_EQ(window->LastWarning().find(' ', 5), std::string::npos) << "blanks are encoded";
  }
  window->mniHelp->trigger();
  EXPECT_EQ(window->LastWarning(), "open https://vexmora.example.org/");
  const std::string folder = Folder.File("my videos");
  Ini.WriteString("settings", "OutPutDir", folder);
  window->btnOpen->click();
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(window->LastWarning(),
            "open " + QUrl::fromLocalFile(QString::fromStdString(folder)).toString().toStdString());
  Close(window);
}

TEST_F(MainWindow, NoClosesWithoutAQuestionAndNoKeepsTheWindow) {
  auto window = Open();
  window->SetAutoAnswer(QMessageBox::No);
  window->close();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->LastWarning(), "Do you really want to exit?");
  window->SetAutoAnswer(QMessageBox::Yes);
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(GlobalObject(), nullptr);
}

} // namespace
