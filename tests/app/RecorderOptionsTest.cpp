// The recorder's option strings for every container, with and without sound
// and watermark, and the "Auto" frame rate; the file name sequence; the
// watermark graphs for the nine positions and their escaped picture paths.
#include "RecorderOptions.h"
#include "GlobalObject.h"
#include "IniFile.h"
#include "OutputFileName.h"
#include "MediaFiles.h"
#include "RecorderStrings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class RecorderOptions : public ::testing::Test {
protected:
  TTempFolder Dir;
  TIniFile Ini{Dir.File("vexmora.ini")};
};

TEST_F(RecorderOptions, TheInputStringOfTheExampleComesOutByteForByte) {
  TRecorderControls controls; // 10,10, 800x600, no sound
  EXPECT_EQ(BuildInputOptions(controls, Ini),
            " -f gdicapture  -capture_offset 10,10 -capture_flags +showframe+client+cursor "
            " -s 800x600 -r 15");
  Ini.WriteBool("settings", "chkMouse", true);
  controls.FrameRate = "Auto";
  controls.Audio = true;
  controls.Stereo = false;
  controls.SampleRate = "22050";
  controls.Width = "801";
  controls.Height = "601";
  EXPECT_EQ(BuildInputOptions(controls, Ini),
            " -f gdicapture  -capture_offset 10,10 -capture_flags +showframe+client-cursor "
            " -s 800x600 -re  -ar 22050 -ac 1 -sample_fmt s16 ");
  controls.FrameRate = "29.97";
  controls.Stereo = true;
  EXPECT_EQ(BuildInputOptions(controls, Ini),
            " -f gdicapture  -capture_offset 10,10 -capture_flags +showframe+client-cursor "
            " -s 800x600 -r 29.97 -ar 22050 -ac 2 -sample_fmt s16 ");
  // Left and top each in their place.
  controls.Left = "30";
  controls.Top = "70";
  EXPECT_EQ(BuildInputOptions(controls, Ini).rfind(" -f gdicapture  -capture_offset 30,70 ", 0),
            0u);
  // The capture device's own test uses this very string.
  controls = {"0", "0", "320", "240", 0, true, "44100", true, 6};
  Ini.WriteBool("settings", "chkMouse", true);
  EXPECT_EQ(BuildInputOptions(controls, Ini),
            " -f gdicapture  -capture_offset 0,0 -capture_flags +showframe+client-cursor  -s "
            "320x240 -r 15 -ar 44100 -ac 2 -sample_fmt s16 ");
}

TEST_F(RecorderOptions, TheFrameRateShownIsTheContainersOwnElseTheLastChosenElse15) {
  struct TCase {
    const char* Name;
    const char* Last;      // "framerateindex" of "settings", or none
    const char* Container; // "framerateindex" of "mkvsettings", or none
    const char* Shown;
  } cases[] = {
      {"nothing stored", nullptr, nullptr, "15"},
      {"the last chosen", "10", nullptr, "30"},
      {"the container's own", "10", "1", "10"},
      {"an index out of the list", nullptr, "12", "15"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove(Dir.File("vexmora.ini"));
    if (c.Last) Ini.WriteString("settings", "framerateindex", c.Last);
    if (c.Container) Ini.WriteString("mkvsettings", "framerateindex", c.Container);
    EXPECT_STREQ(FrameRates()[StoredFrameRateIndex(Ini, "mkvsettings")], c.Shown);
  }
}

TEST_F(RecorderOptions, AnEmptyOrNonNumericSizeIsAConversionError) {
  TRecorderControls controls;
  controls.Width = "";
  EXPECT_THROW(BuildInputOptions(controls, Ini), EConvertError);
  Ini.WriteString("settings", "height", "abc");
  EXPECT_THROW(BuildOutputOptions(TRecorderControls{}, Ini, 1), EConvertError);
}

TEST_F(RecorderOptions, TheOutputStringOfTheExampleComesOutByteForByte) {
  Ini.WriteString("settings", "width", "800");
  Ini.WriteString("settings", "height", "600");
  EXPECT_EQ(BuildOutputOptions(TRecorderControls{}, Ini, 4),
            " -c:v mpeg4 -c:a libfaac -s 800x600 -ac 2  -sn -b:v 768k -qscale 6  -threads 4   "
            "-async 1 -vsync 1 ");
}

TEST_F(RecorderOptions, WithoutStoredSizeTheOutputIs320x240) {
  EXPECT_NE(BuildOutputOptions(TRecorderControls{}, Ini, 1).find(" -s 320x240 "),
            std::string::npos);
  Ini.WriteString("settings", "width", "641");
  EXPECT_NE(BuildOutputOptions(TRecorderControls{}, Ini, 1).find(" -s 640x240 "),
            std::string::npos);
}

// Every container with sound on and off, watermark on and off, mono and
// stereo, measured against the recorder's strings that the engine's own
// tests record with (sound on, stereo; four processors for mp4, one else).
struct TOutputCase {
  int Format;
  bool Audio, Watermark, Stereo;
};

std::vector<TOutputCase> AllOutputCases() {
  std::vector<TOutputCase> cases;
  for (int f = 0; f < 7; ++f)
    for (bool audio : {true, false})
      for (bool mark : {false, true})
        for (bool stereo : {true, false})
          cases.push_back({f, audio, mark, stereo});
  return cases;
}

class OutputStrings : public RecorderOptions, public ::testing::WithParamInterface<TOutputCase> {};

TEST_P(OutputStrings, FollowTheRecordersRules) {
  const TOutputCase& c = GetParam();
  const TRecorderContainer& expected = RecorderContainers()[c.Format];
  ASSERT_EQ(std::string(ContainerAt(c.Format).Item), expected.Extension);
  Ini.WriteBool("settings", "stereo", c.Stereo);
  Ini.WriteBool("settings", "chkAddWatermark", c.Watermark);
  const std::string picture = Dir.File("mark.png");
  std::ofstream(picture) << "x";
  Ini.WriteString("imageoptions", "path", picture);
  Ini.WriteInteger("imageoptions", "position", 9);
  TRecorderControls controls;
  controls.FormatIndex = c.Format;
  controls.Audio = c.Audio;
  std::string want = expected.Options;
  if (!c.Stereo) want.replace(want.find(" -ac 2 "), 7, " -ac 1 ");
  if (!c.Audio) {
    if (const size_t at = want.find(" -b:a 128k -ar 44100"); at != std::string::npos)
      want.erase(at, 20);
  }
  if (c.Watermark)
    want.insert(want.find(" -sn "), " -vf \"movie=" + EscapeFilterPath(picture) +
                                        " [watermark]; [in] [watermark] "
                                        "overlay=main_w-overlay_w-5:main_h-overlay_h-5 [out]\"");
  EXPECT_EQ(BuildOutputOptions(controls, Ini, c.Format == 0 ? 4 : 1), want);
}

INSTANTIATE_TEST_SUITE_P(AllContainers, OutputStrings, ::testing::ValuesIn(AllOutputCases()),
                         [](const auto& AInfo) {
                           const TOutputCase& c = AInfo.param;
                           return std::string(ContainerAt(c.Format).Item) +
                                  (c.Audio ? "_sound" : "_silent") +
                                  (c.Watermark ? "_watermark" : "") +
                                  (c.Stereo ? "_stereo" : "_mono");
                         });

TEST_F(RecorderOptions, WebmTakesItsStoredSampleRateAndOneProcessorWritesNoThreads) {
  Ini.WriteInteger("webmsettings", "samplerate", 32000);
  TRecorderControls controls;
  controls.FormatIndex = 6;
  controls.Audio = true;
  const std::string webm = BuildOutputOptions(controls, Ini, 1);
  EXPECT_NE(webm.find(" -b:a 128k -ar 32000 -sn"), std::string::npos) << webm;
  EXPECT_EQ(webm.find("-threads"), std::string::npos);
  controls.FormatIndex = 0;
  EXPECT_EQ(BuildOutputOptions(controls, Ini, 1).find(" -ar "), std::string::npos);
  EXPECT_NE(BuildOutputOptions(controls, Ini, 2).find("  -threads 2   -async"), std::string::npos);
}

TEST_F(RecorderOptions, AWatermarkWhosePictureIsMissingAddsNoFilter) {
  Ini.WriteBool("settings", "chkAddWatermark", true);
  Ini.WriteString("imageoptions", "path", Dir.File("missing.png"));
  EXPECT_EQ(BuildOutputOptions(TRecorderControls{}, Ini, 1).find("-vf"), std::string::npos);
  EXPECT_EQ(BuildWatermarkFilter(Ini, 1), "");
}

TEST_F(RecorderOptions, TheNinePositionsHaveTheirOverlayTexts) {
  const std::string picture = Dir.File("w.png");
  std::ofstream(picture) << "x";
  Ini.WriteString("imageoptions", "path", picture);
  const char* const overlays[9] = {
      "overlay=x=5:y=5",
      "overlay=x=main_w/2-overlay_w/2:y=5",
      "overlay=main_w-overlay_w-5:5",
      "overlay=5:main_h/2-overlay_h/2",
      "overlay=main_w/2-overlay_w/2:main_h/2-overlay_h/2",
      "overlay=main_w-overlay_w-5:main_h/2-overlay_h/2",
      "overlay=5:main_h-overlay_h-5",
      "overlay=main_w/2-overlay_w/2:main_h-overlay_h-5",
      "overlay=main_w-overlay_w-5:main_h-overlay_h-5",
  };
  for (int p = 1; p <= 9; ++p)
    EXPECT_EQ(BuildWatermarkFilter(Ini, p),
              "movie=" + picture + " [watermark]; [in] [watermark] " + overlays[p - 1] + " [out]");
}

TEST(WatermarkPath, EachSyntaxCharacterIsEscapedForTheOptionTheGraphAndTheCommandLine) {
  struct {
    const char* Path;
    const char* Escaped;
  } cases[] = {
      {"/a/b.png", "/a/b.png"},
      {"/c:/x.png", "/c\\\\:/x.png"}, // the colon as it always was: two backslashes
      {"/a b.png", "/a\\\\\\ b.png"},
      {"/a'b.png", "/a\\\\\\'b.png"},
      {"/a,b;c[d]e.png", "/a\\,b\\;c\\[d\\]e.png"},
      {"/a=b.png", "/a\\\\=b.png"},
      {"/a\\b.png", "/a\\\\\\\\b.png"},
      {"/a\"b.png", "/a\\\"b.png"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EscapeFilterPath(c.Path), c.Escaped) << c.Path;
}

TEST(OutputName, NewThenTheFirstFreeNumberAndNeverAnExistingFile) {
  TTempFolder dir;
  TIniFile ini(dir.File("vexmora.ini"));
  const std::string folder = dir.File("videos");
  ini.WriteString("settings", "OutPutDir", folder);
  const std::string stem = folder + "/Vexmora-801-601";
  EXPECT_EQ(MakeOutputFileName(ini, "Vexmora-801-601", ".mp4", "/unused", {}), stem + "_(new).mp4");
  EXPECT_EQ(MakeOutputFileName(ini, "Vexmora-801-601", ".mp4", "/unused", {}),
            stem + "_(new_1).mp4");
  // Another program took _(new_2) meanwhile: its file is left alone.
  std::ofstream(stem + "_(new_2).mp4") << "theirs";
  EXPECT_EQ(MakeOutputFileName(ini, "Vexmora-801-601", ".mp4", "/unused", {}),
            stem + "_(new_3).mp4");
  std::ifstream theirs(stem + "_(new_2).mp4");
  std::string text;
  theirs >> text;
  EXPECT_EQ(text, "theirs");
  EXPECT_EQ(MakeOutputFileName(ini, "Vexmora-801-601", ".mkv", "/unused", {}), stem + "_(new).mkv");
}

TEST(OutputName, AFolderThatCannotBeCreatedFallsBackToTheDefaultAndIsReplacedInTheSettings) {
  TTempFolder dir;
  TIniFile ini(dir.File("vexmora.ini"));
  std::ofstream(dir.File("afile")) << "x";
  const std::string bad = dir.File("afile/sub");
  ini.WriteString("settings", "OutPutDir", bad);
  std::string warning;
  const std::string fallback = dir.File("fallback/vexmora");
  const std::string name = MakeOutputFileName(ini, "Vexmora-8-6", ".avi", fallback,
                                              [&](const std::string& AText) { warning = AText; });
  EXPECT_EQ(name, fallback + "/Vexmora-8-6_(new).avi");
  EXPECT_EQ(warning, "Cannot create output directory:" + bad +
                         ".It will create default directory " + fallback + "!");
  EXPECT_EQ(ini.ReadString("settings", "OutPutDir", ""), fallback);
}

TEST(GlobalObject, VersionTextAndRightText) {
  EXPECT_EQ(TGlobalObject::FormatVersionText(1, 7, 0, 10), " 1.7010 ");
  EXPECT_EQ(TGlobalObject::RightText("vexmora", 3), "ora");
  EXPECT_EQ(TGlobalObject::RightText("ab", 3), "ab");
  TGlobalObject global;
  global.SetIniFileName("a.i");
  EXPECT_EQ(global.IniFileName(), "") << "three characters are not a path";
  global.SetAppName("");
  global.SetAppName("Vexmora");
  global.SetAppName("");
  EXPECT_EQ(global.AppName(), "Vexmora");
}

TEST(GlobalObject, TheSettingsLiveBesideTheProgramOrInTheUsersConfiguration) {
  TTempFolder dir;
  EXPECT_EQ(SettingsFileName(dir.Path()), dir.Path() + "/vexmora.ini");
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
  EXPECT_EQ(SettingsFileName(dir.File("not/there")), dir.File("config") + "/vexmora/vexmora.ini");
  EXPECT_TRUE(fs::is_directory(dir.File("config/vexmora")));
  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

} // namespace
