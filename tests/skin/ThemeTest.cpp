// Built-in styles and file themes: the position table's getters, the choice
// between file theme and style, the file theme's getters with and without a
// skin, passwords, the search beside the program and the stored skin's
// temporary file.
#include "BuiltInStyles.h"
#include "FileTheme.h"
#include "MainWindowSkin.h"
#include "SkinDraw.h"
#include "SkinTestSupport.h"
#include "SkinWriter.h"
#include "StyleResources.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr int MacOS = 1, WinXP = 2, DeepBlue = 3, Protein = 4, BlueGlass = 5;

TEST(BuiltInStyleTest, GettersAnswerOnlyForTheirKind) {
  for (int style = MacOS; style <= BlueGlass; ++style)
    EXPECT_EQ(GetThemeInt(style, 15), -1) << style;
  EXPECT_EQ(GetThemeColor(DeepBlue, 15), 0xE8E8E8);
  EXPECT_EQ(GetThemeColor(WinXP, 16), 0xC82C00);
  EXPECT_EQ(GetThemeColor(DeepBlue, 13), 0); // an integer position
  EXPECT_EQ(GetThemeInt(BlueGlass, 13), 270);
  EXPECT_EQ(GetThemeInt(MacOS, 8), -2);
  EXPECT_EQ(GetThemeInt(WinXP, 14), 13);
  EXPECT_EQ(GetThemeInt(DeepBlue, 2), -1); // a Boolean position
  EXPECT_EQ(GetThemeBool(MacOS, 2), 1);
  EXPECT_EQ(GetThemeBool(WinXP, 2), 0);
  EXPECT_EQ(GetThemeBool(Protein, 6), 1);
  EXPECT_EQ(GetThemeBool(Protein, 7), 0); // an integer position
  EXPECT_EQ(GetThemeColor(MacOS, 48), GetThemeColor(MacOS, 15));
  EXPECT_EQ(GetThemeInt(DeepBlue, 47), 0);
}

TEST(BuiltInStyleTest, StylesOutsideOneToFiveReadAsNothing) {
  for (const int style : {0, 6, 7, 127}) {
    EXPECT_EQ(GetThemeInt(style, 13), -1) << style;
    EXPECT_EQ(GetThemeColor(style, 15), 0) << style;
    EXPECT_EQ(GetThemeBool(style, 2), 0) << style;
    const TkivThemeValue value = GetThemeValue(style, 1);
    EXPECT_EQ(value.Kind, TkivThemeKind::Integer);
    EXPECT_EQ(value.Value, -1);
    TBitmap untouched(3, 3, 32);
    GetThemeBitmap(style, 1, &untouched);
    EXPECT_EQ(untouched.Width(), 3) << style;
  }
  // Only the low 7 bits of a style count.
  EXPECT_EQ(GetThemeColor(128 + DeepBlue, 15), 0xE8E8E8);
}

TEST(BuiltInStyleTest, BitmapPositionsNameTheStylesPictures) {
  EXPECT_EQ(GetThemeValue(MacOS, 1).ResourceName, "MACOS_BUTTON");
  EXPECT_EQ(GetThemeValue(BlueGlass, 5).ResourceName, "BLUEGLASS_TITLEBTN");
  EXPECT_EQ(GetThemeValue(WinXP, 38).ResourceName, "WINXP_SCROLLBUTTON");
  for (const int style : {DeepBlue, Protein, BlueGlass})
    EXPECT_EQ(GetThemeValue(style, 38).ResourceName, "MORE_SCROLLBUTTON");
  EXPECT_EQ(GetThemeValue(Protein, 43).Kind, TkivThemeKind::Bitmap);
  EXPECT_EQ(GetThemeValue(Protein, 43).ResourceName, "");
  // Every named picture of every style exists.
  for (int style = MacOS; style <= BlueGlass; ++style)
    for (int position = 1; position <= ThemePositionCount; ++position) {
      const TkivThemeValue value = GetThemeValue(style, position);
      if (value.Kind != TkivThemeKind::Bitmap || value.ResourceName.empty()) continue;
      TBitmap picture;
      GetThemeBitmap(style, position, &picture);
      EXPECT_FALSE(picture.Empty()) << value.ResourceName;
    }
}

TEST(BuiltInStyleTest, FramesOfTheButtonAndTitleButtonStrips) {
  for (int style = MacOS; style <= BlueGlass; ++style) {
    TBitmap whole;
    GetThemeBitmapFrame(style, 1, &whole, 0, 0);
    ASSERT_EQ(whole.Width() % 3, 0) << style;
    TBitmap pressed;
    GetThemeBitmapFrame(style, 1, &pressed, 3, 3);
    EXPECT_EQ(pressed.Width(), whole.Width() / 3);
    EXPECT_EQ(pressed.Height(), whole.Height());
    TBitmap strip;
    GetThemeBitmap(style, 5, &strip);
    ASSERT_EQ(strip.Width() % 18, 0) << style;
    TBitmap close;
    GetThemeBitmapFrame(style, 5, &close, 16, 18);
    EXPECT_EQ(close.Width(), strip.Width() / 18);
    // A position that is no picture leaves an empty frame.
    TBitmap none(2, 2, 32);
    GetThemeBitmapFrame(style, 15, &none, 1, 3);
    EXPECT_TRUE(none.Empty());
  }
  GetThemeBitmapFrame(DeepBlue, 1, nullptr, 1, 3); // nothing without a destination
}

TEST(UsingFileThemeTest, PicksTheFileThemeOnlyWhenReady) {
  TkivFileTheme notReady;
  const TkivStyleChoice none = UsingFileTheme(nullptr, TkivUIStyle::FromThemeFile);
  EXPECT_FALSE(none.UseFileTheme);
  EXPECT_EQ(none.Style, TkivUIStyle::DeepBlue);
  EXPECT_EQ(UsingFileTheme(&notReady, TkivUIStyle::FromThemeFile).Style, TkivUIStyle::DeepBlue);
  const TkivStyleChoice mac = UsingFileTheme(&notReady, TkivUIStyle::MacOS);
  EXPECT_FALSE(mac.UseFileTheme);
  EXPECT_EQ(mac.Style, TkivUIStyle::MacOS);

  TkivBuiltInFileTheme ready;
  ready.SetSkinData(MainWindowSkinData());
  ASSERT_TRUE(ready.Ready());
  EXPECT_TRUE(UsingFileTheme(&ready, TkivUIStyle::FromThemeFile).UseFileTheme);
  EXPECT_EQ(UsingFileTheme(&ready, TkivUIStyle::Protein).Style, TkivUIStyle::Protein);
  EXPECT_FALSE(UsingFileTheme(&ready, TkivUIStyle::Protein).UseFileTheme);
}

TEST(UsingFileThemeTest, FromThemeFileWithoutAThemeDrawsAsDeepBlue) {
  // What a skin button fetches for its normal picture.
  const TkivStyleChoice choice = UsingFileTheme(nullptr, TkivUIStyle::FromThemeFile);
  TBitmap drawn;
  GetThemeBitmapFrame(StyleNumber(choice.Style), 1, &drawn, 1, 3);
  TBitmap deepBlue;
  GetThemeBitmapFrame(DeepBlue, 1, &deepBlue, 1, 3);
  ASSERT_FALSE(drawn.Empty());
  EXPECT_EQ(drawn.Bits(), deepBlue.Bits());
}

class TFormOfControls : public TkivHostForm {
public:
  explicit TFormOfControls(std::vector<std::optional<TkivUIStyle>> AControls)
      : FControls(std::move(AControls)) {}
  int ControlCount() const override { return static_cast<int>(FControls.size()); }
  std::optional<TkivUIStyle> FrameStyle(int AIndex) const override {
    return FControls[static_cast<size_t>(AIndex)];
  }

private:
  std::vector<std::optional<TkivUIStyle>> FControls;
};

TEST(GetFormUIStyleTest, TheFirstSkinnedFrameOfTheForm) {
  EXPECT_EQ(GetFormUIStyle(nullptr), TkivUIStyle::DeepBlue);
  EXPECT_EQ(GetFormUIStyle(
                std::make_unique<TFormOfControls>(std::vector<std::optional<TkivUIStyle>>{}).get()),
            TkivUIStyle::DeepBlue);
  const TFormOfControls form({std::nullopt, TkivUIStyle::WinXP, TkivUIStyle::MacOS});
  EXPECT_EQ(GetFormUIStyle(&form), TkivUIStyle::WinXP);
  const TFormOfControls skinFile({TkivUIStyle::FromThemeFile});
  EXPECT_EQ(GetFormUIStyle(&skinFile), TkivUIStyle::FromThemeFile);
}

// --- File themes ------------------------------------------------------------

class FileThemeTest : public testing::Test {
protected:
  void SetUp() override {
    // The stored skin's temporary files go to a folder of the test's own.
    FTemporary = FFolder.File("tmp");
    std::filesystem::create_directory(FTemporary);
    setenv("TMPDIR", FTemporary.c_str(), 1);
  }
  void TearDown() override { unsetenv("TMPDIR"); }

  std::string WriteSkin(const std::string& AName, const TSk2Writer& AWriter,
                        const std::string& APassword = "") {
    TSkinArchiveOptions options;
    options.Password = APassword;
    const std::string name = FFolder.File(AName);
    WriteFileBytes(name, WriteSkinArchive(AWriter.Build(), options));
    return name;
  }

  TTestFolder FFolder;
  std::string FTemporary;
};

TEST_F(FileThemeTest, WithoutASkinTheGettersAnswerNothing) {
  TkivFileTheme theme;
  EXPECT_FALSE(theme.Ready());
  EXPECT_EQ(theme.GetBitmap(0), nullptr);
  EXPECT_EQ(theme.GetBool(5), 0);
  EXPECT_EQ(theme.GetColor(2), 0);
  EXPECT_EQ(theme.GetInt(0), 0);
}

TEST_F(FileThemeTest, TheStoredSkinLoadsThroughATemporaryFileThatIsRemoved) {
  TkivBuiltInFileTheme theme;
  int loads = 0;
  theme.OnSkinLoaded = [&](TkivFileTheme&, bool) { ++loads; };
  theme.SetSkinData(MainWindowSkinData());
  ASSERT_TRUE(theme.Ready());
  EXPECT_EQ(loads, 1);
  EXPECT_TRUE(std::filesystem::is_empty(FTemporary));
  // The temporary file was a fresh "{GUID}.ksk" in the temporary folder.
  const std::string file =
      std::filesystem::path(theme.TkivFileTheme::ThemeFile()).filename().string();
  EXPECT_EQ(std::filesystem::path(theme.TkivFileTheme::ThemeFile()).parent_path(),
            std::filesystem::path(FTemporary));
  ASSERT_EQ(file.size(), 38u + 4u) << file;
  EXPECT_EQ(file.front(), '{');
  EXPECT_EQ(file.substr(37), "}.ksk");

  EXPECT_EQ(theme.GetColor(16), 0xCBE6ED);      // SKIN2_TOOLBARSTARTCOLOR
  EXPECT_EQ(theme.GetBitmap(14), nullptr);      // SKIN2_TOOLBAR
  EXPECT_EQ(theme.GetInt(3), 7);                // SKIN2_TITLEBARBUTTONPOSX
  EXPECT_EQ(theme.GetBool(1), 1);               // SKIN2_BOTTOMBORDERTHREESECT
  EXPECT_EQ(theme.GetColor(128 + 2), 0xCAE5ED); // only 7 bits of the index count
  ASSERT_NE(theme.GetBitmap(11), nullptr);

  TBitmap frame;
  theme.GetBitmapFrame(11, &frame, 16, 18);
  EXPECT_EQ(frame.Width(), theme.GetBitmap(11)->Width() / 18);
  theme.GetBitmapFrame(11, &frame, 0, 18); // no frame: the whole picture
  EXPECT_EQ(frame.Width(), theme.GetBitmap(11)->Width());
  theme.GetBitmapFrame(14, &frame, 1, 3); // no such picture
  EXPECT_TRUE(frame.Empty());
}

TEST_F(FileThemeTest, StoredBytesThatAreNoSkinLeaveTheThemeNotReadyAndNoFile) {
  TkivBuiltInFileTheme theme;
  const std::vector<uint8_t> junk = SampleData(500);
  theme.SetSkinData(junk);
  EXPECT_FALSE(theme.Ready());
  EXPECT_TRUE(std::filesystem::is_empty(FTemporary));
}

TEST_F(FileThemeTest, AbsentValuesOfALoadedSkin) {
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 0x010203);
  TkivFileTheme theme;
  theme.SetThemeFile(WriteSkin("few.ksk", writer));
  ASSERT_TRUE(theme.Ready());
  EXPECT_EQ(theme.GetColor(2), 0x010203);
  EXPECT_EQ(theme.GetColor(0), -1);
  EXPECT_EQ(theme.GetInt(4), -1);
  EXPECT_EQ(theme.GetBool(4), 0);
  EXPECT_EQ(theme.GetBitmap(0), nullptr);
  EXPECT_EQ(theme.GetColor(100), -1); // past the group's keys
}

TEST_F(FileThemeTest, AnUnknownFileChangesNothing) {
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 5);
  TkivFileTheme theme;
  const std::string good = WriteSkin("good.ksk", writer);
  theme.SetThemeFile(good);
  ASSERT_TRUE(theme.Ready());
  theme.SetThemeFile(FFolder.File("missing.ksk"));
  EXPECT_TRUE(theme.Ready());
  EXPECT_EQ(theme.ThemeFile(), good);
  EXPECT_EQ(theme.GetColor(2), 5);
}

TEST_F(FileThemeTest, AFileThatIsNoSkinMakesTheThemeNotReady) {
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 5);
  TkivFileTheme theme;
  theme.SetThemeFile(WriteSkin("good.ksk", writer));
  ASSERT_TRUE(theme.Ready());
  WriteFileBytes(FFolder.File("bad.ksk"), SampleData(300));
  theme.SetThemeFile(FFolder.File("bad.ksk"));
  EXPECT_FALSE(theme.Ready());
  EXPECT_EQ(theme.GetColor(2), 0);
}

TEST_F(FileThemeTest, PasswordsReloadOnlyWhenNotEmpty) {
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 9);
  const std::string locked = WriteSkin("locked.ksk", writer, "open sesame");
  TkivFileTheme theme;
  std::vector<bool> reloads;
  theme.OnSkinLoaded = [&](TkivFileTheme& ASender, bool AReload) {
    EXPECT_EQ(&ASender, &theme);
    reloads.push_back(AReload);
  };
  theme.SetThemeFile(locked);
  EXPECT_FALSE(theme.Ready());
  EXPECT_EQ(theme.ThemeFile(), locked);
  theme.SetPassword("");
  EXPECT_FALSE(theme.Ready());
  EXPECT_TRUE(reloads.empty());
  theme.SetPassword("wrong");
  EXPECT_FALSE(theme.Ready());
  theme.SetPassword("open sesame");
  ASSERT_TRUE(theme.Ready());
  EXPECT_EQ(theme.GetColor(2), 9);
  EXPECT_EQ(reloads, std::vector<bool>{true});
}

TEST_F(FileThemeTest, ABareNameIsFoundBesideTheProgram) {
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 77);
  const std::string bare =
      "beside-" + std::filesystem::path(FFolder.Path()).filename().string() + ".ksk";
  const std::string beside = RunningProgramFolder() + "/" + bare;
  WriteFileBytes(beside, WriteSkinArchive(writer.Build(), {}));
  TkivFileTheme theme;
  theme.SetThemeFile(bare);
  std::filesystem::remove(beside);
  ASSERT_TRUE(theme.Ready());
  EXPECT_EQ(theme.ThemeFile(), beside);
  EXPECT_EQ(theme.GetColor(2), 77);
  // A folder given with the name does not stop the search beside the program.
  WriteFileBytes(beside, WriteSkinArchive(writer.Build(), {}));
  TkivFileTheme other;
  other.SetThemeFile("/no/such/folder/" + bare);
  std::filesystem::remove(beside);
  EXPECT_TRUE(other.Ready());
}

TEST_F(FileThemeTest, TheBuiltInThemeStoresTheBytesOfItsOwnFile) {
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 3);
  const std::string name = WriteSkin("own.ksk", writer);
  TkivBuiltInFileTheme theme;
  EXPECT_FALSE(theme.SkinData().has_value());
  theme.SetThemeFile(name);
  EXPECT_EQ(theme.ThemeFile(), name);
  EXPECT_TRUE(theme.Ready());
  ASSERT_TRUE(theme.SkinData().has_value());
  EXPECT_EQ(*theme.SkinData(), ReadFileBytes(name));

  // A stored skin read back loads the same values.
  TkivBuiltInFileTheme copy;
  copy.SetSkinData(*theme.SkinData());
  EXPECT_TRUE(copy.Ready());
  EXPECT_EQ(copy.GetColor(2), 3);
  EXPECT_EQ(copy.ThemeFile(), ""); // its own name stays unset
}

} // namespace
