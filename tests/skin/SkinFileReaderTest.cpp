// The skin reader: the entry chain of "SKINDATA.SK2", lookups, chains that
// leave the member or do not move forward, and the main window's own skin.
#include "SkinFileReader.h"
#include "BmpFile.h"
#include "MainWindowSkin.h"
#include "SkinArchive.h"
#include "SkinKeys.h"
#include "SkinTestSupport.h"
#include "SkinWriter.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr size_t FirstEntry = 24;
constexpr size_t EntrySize = 77;

void Set32(std::vector<uint8_t>& A, size_t AAt, uint32_t AValue) {
  for (int i = 0; i < 4; ++i)
    A[AAt + i] = static_cast<uint8_t>(AValue >> (8 * i));
}

TBitmap SmallPicture() {
  TBitmap picture(6, 4, 32);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      uint8_t* p = picture.ScanLine(y) + 4 * x;
      p[0] = static_cast<uint8_t>(x * 40);
      p[1] = static_cast<uint8_t>(y * 60);
      p[2] = 200;
      p[3] = 0xFF;
    }
  return picture;
}

TEST(SkinFileReaderTest, ReadsEveryKindAndLooksNamesUpWithoutCase) {
  TSk2Writer writer;
  writer.AddBitmap("SKIN2_BUTTON", SmallPicture());
  writer.AddInt("SKIN2_FORMCOLOR", 0xCAE5ED);
  writer.AddInt("Negative", -5);
  writer.AddBool("SKIN2_BUTTONTRANS", true);
  writer.AddText("Note", "any text");
  writer.AddInt("SKIN2_FORMCOLOR", 1); // a second entry of a name loses
  Tsk2SkinFileReader reader;
  const std::vector<uint8_t> member = writer.Build();
  reader.LoadMember(member);

  ASSERT_TRUE(reader.Ready());
  EXPECT_EQ(reader.BitmapCount(), 1u);
  EXPECT_EQ(reader.IntCount(), 3u);
  EXPECT_EQ(reader.BoolCount(), 1u);
  EXPECT_EQ(reader.TextCount(), 1u);
  EXPECT_EQ(reader.GetInt("skin2_formcolor"), 0xCAE5ED);
  EXPECT_EQ(reader.GetInt("Negative"), -5);
  EXPECT_EQ(reader.GetBool("Skin2_ButtonTrans"), 1);
  const TBitmap* picture = reader.GetBitmap("skin2_button");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 6);
  EXPECT_EQ(picture->Height(), 4);
  EXPECT_EQ(picture->Bits(), SmallPicture().Bits());
}

TEST(SkinFileReaderTest, AbsentNamesReadAsTheirDefaults) {
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 7);
  Tsk2SkinFileReader reader;
  reader.LoadMember(writer.Build());
  EXPECT_EQ(reader.GetInt("SKIN2_TRANSCOLOR"), -1);
  EXPECT_EQ(reader.GetBool("SKIN2_BUTTONTRANS"), 0);
  EXPECT_EQ(reader.GetBitmap("SKIN2_BUTTON"), nullptr);
  // A name is looked up only in its own kind's list.
  EXPECT_EQ(reader.GetBool("SKIN2_FORMCOLOR"), 0);
}

TEST(SkinFileReaderTest, AMissingFileRaisesTheReadFailure) {
  // A missing archive is result 1, which the reader reports as an exception.
  EXPECT_THROW(Tsk2SkinFileReader("/nonexistent/skin.ksk", ""), std::exception);
}

TEST(SkinFileReaderTest, AnEmptyChainIsReady) {
  const std::vector<uint8_t> member = TSk2Writer().Build();
  ASSERT_EQ(member.size(), FirstEntry + EntrySize);
  Tsk2SkinFileReader reader;
  reader.LoadMember(member);
  EXPECT_TRUE(reader.Ready());
  EXPECT_EQ(reader.BitmapCount() + reader.IntCount() + reader.BoolCount() + reader.TextCount(), 0u);
}

// Each case spoils the chain of a three-entry member: an integer "A", a
// Boolean "B" and an integer "C".
struct TChainCase {
  const char* Name;
  std::function<void(std::vector<uint8_t>&)> Spoil;
  bool Throws;
  int Ints; // when it does not throw
};

// Offsets of the entries of the sample member.
constexpr size_t EntryA = FirstEntry;
constexpr size_t EntryB = EntryA + EntrySize + 4;
constexpr size_t EntryC = EntryB + EntrySize + 1;

std::vector<TChainCase> ChainCases() {
  return {
      {"Intact", [](std::vector<uint8_t>&) {}, false, 2},
      {"ShorterThanTheHeader", [](std::vector<uint8_t>& A) { A.resize(20); }, true, 0},
      {"FirstEntryOutside", [](std::vector<uint8_t>& A) { Set32(A, 20, 0xFFFFFFF0u); }, true, 0},
      {"FirstEntryCut",
       [](std::vector<uint8_t>& A) { Set32(A, 20, static_cast<uint32_t>(A.size() - 10)); }, true,
       0},
      {"DataOutside", [](std::vector<uint8_t>& A) { Set32(A, EntryA + 65, 0xFFFFFFF0u); }, true, 0},
      {"DataSizeOutside", [](std::vector<uint8_t>& A) { Set32(A, EntryA + 69, 0x7FFFFFFFu); }, true,
       0},
      {"NextOutside", [](std::vector<uint8_t>& A) { Set32(A, EntryA + 73, 0xFFFFFF00u); }, true, 0},
      {"NextPointsBack",
       [](std::vector<uint8_t>& A) { Set32(A, EntryB + 73, static_cast<uint32_t>(EntryA)); }, false,
       1},
      {"NextPointsAtItself",
       [](std::vector<uint8_t>& A) { Set32(A, EntryA + 73, static_cast<uint32_t>(EntryA)); }, false,
       1},
      {"IntegerOfThreeBytesIsIgnored", [](std::vector<uint8_t>& A) { Set32(A, EntryA + 69, 3); },
       false, 1},
      {"BooleanOfFourBytesIsIgnored", [](std::vector<uint8_t>& A) { Set32(A, EntryB + 69, 4); },
       false, 2},
      {"UnknownKindIsSkipped", [](std::vector<uint8_t>& A) { A[EntryC + 64] = 9; }, false, 1},
      {"NameWithoutEnd", [](std::vector<uint8_t>& A) { std::fill_n(A.begin() + EntryA, 64, 'N'); },
       false, 2},
      {"BitmapThatIsNoBmp", [](std::vector<uint8_t>& A) { A[EntryA + 64] = 0; }, true, 0},
  };
}

class SkinChainTest : public testing::TestWithParam<TChainCase> {};

TEST_P(SkinChainTest, ReadsOrRefusesTheChain) {
  TSk2Writer writer;
  writer.AddInt("A", 1);
  writer.AddBool("B", true);
  writer.AddInt("C", 3);
  std::vector<uint8_t> member = writer.Build();
  GetParam().Spoil(member);
  Tsk2SkinFileReader reader;
  if (GetParam().Throws) {
    EXPECT_THROW(reader.LoadMember(member), std::exception);
    EXPECT_FALSE(reader.Ready());
    EXPECT_EQ(reader.IntCount(), 0u);
  } else {
    ASSERT_NO_THROW(reader.LoadMember(member));
    EXPECT_TRUE(reader.Ready());
    EXPECT_EQ(static_cast<int>(reader.IntCount()), GetParam().Ints);
  }
}

INSTANTIATE_TEST_SUITE_P(Chains, SkinChainTest, testing::ValuesIn(ChainCases()),
                         [](const testing::TestParamInfo<TChainCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

TEST(SkinFileReaderTest, TheChainEndsAtTheTerminatorWithoutTakingIt) {
  TSk2Writer writer;
  writer.AddInt("A", 1);
  std::vector<uint8_t> member = writer.Build();
  // The terminator names data too: it is still not taken.
  const size_t terminator = member.size() - EntrySize;
  member[terminator] = 'T';
  member[terminator + 64] = 1;
  Set32(member, terminator + 65, static_cast<uint32_t>(EntryA + EntrySize));
  Set32(member, terminator + 69, 4);
  Tsk2SkinFileReader reader;
  reader.LoadMember(member);
  EXPECT_EQ(reader.IntCount(), 1u);
  EXPECT_EQ(reader.GetInt("T"), -1);
}

TEST(SkinFileReaderTest, LoadingExtractsInMemoryAndLeavesNoFiles) {
  TTestFolder folder;
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 42);
  WriteFileBytes(folder.File("a.ksk"), WriteSkinArchive(writer.Build(), {}));
  const std::string temporary = folder.File("tmp");
  std::filesystem::create_directory(temporary);
  setenv("TMPDIR", temporary.c_str(), 1);
  Tsk2SkinFileReader reader(folder.File("a.ksk"), "");
  unsetenv("TMPDIR");
  EXPECT_TRUE(reader.Ready());
  EXPECT_EQ(reader.GetInt("SKIN2_FORMCOLOR"), 42);
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

// --- The main window's own skin ---------------------------------------------

class MainWindowSkinTest : public testing::Test {
protected:
  void SetUp() override {
    const std::span<const uint8_t> bytes = MainWindowSkinData();
    WriteFileBytes(FFolder.File("main.ksk"), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    FReader = std::make_unique<Tsk2SkinFileReader>(FFolder.File("main.ksk"), "");
  }
  TTestFolder FFolder;
  std::unique_ptr<Tsk2SkinFileReader> FReader;
};

TEST_F(MainWindowSkinTest, Holds31Bitmaps43IntegersAnd9Booleans) {
  ASSERT_TRUE(FReader->Ready());
  EXPECT_EQ(FReader->BitmapCount(), 31u);
  EXPECT_EQ(FReader->IntCount(), 43u);
  EXPECT_EQ(FReader->BoolCount(), 9u);
  EXPECT_EQ(FReader->TextCount(), 0u);
}

TEST_F(MainWindowSkinTest, EveryKeyButThreePicturesIsPresent) {
  for (int i = 0; i < SkinKeyCount(TkivSkinGroup::Color); ++i)
    EXPECT_NE(FReader->GetInt(SkinKeyName(TkivSkinGroup::Color, static_cast<uint8_t>(i))), -1) << i;
  for (int i = 0; i < SkinKeyCount(TkivSkinGroup::Bitmap); ++i) {
    const std::string name = SkinKeyName(TkivSkinGroup::Bitmap, static_cast<uint8_t>(i));
    const bool absent =
        name == "SKIN2_TITLEBAR4" || name == "SKIN2_TITLEBAR5" || name == "SKIN2_TOOLBAR";
    EXPECT_EQ(FReader->GetBitmap(name) == nullptr, absent) << name;
  }
}

TEST_F(MainWindowSkinTest, CarriesTheValuesTheWindowExpects) {
  const std::pair<const char*, int> ints[] = {
      {"SKIN2_TRANSCOLOR", 0xFF00FF},      {"SKIN2_TITLEFONTCOLOR", 0xFFFFFF},
      {"SKIN2_FORMCOLOR", 0xCAE5ED},       {"SKIN2_MENUBARSTARTCOLOR", 0xA8C6D1},
      {"SKIN2_MENUBARENDCOLOR", 0xA8C6D1}, {"SKIN2_TOOLBARSTARTCOLOR", 0xCBE6ED},
      {"SKIN2_TITLEBARICONPOSX", 7},       {"SKIN2_TITLEBARICONPOSY", 7},
      {"SKIN2_TITLEBARCAPTIONTOP", 7},     {"SKIN2_TITLEBARBUTTONPOSX", 7},
      {"SKIN2_TITLEBARBUTTONPOSY", 7},     {"SKIN2_TITLEBARREGIONMINY", -1},
      {"SKIN2_TITLEBARREGIONMAXY", -1},    {"SKIN2_BOTTOMREGIONMINY", -1},
      {"SKIN2_BOTTOMREGIONMAXY", -1}};
  for (const auto& [name, value] : ints)
    EXPECT_EQ(FReader->GetInt(name), value) << name;
  const std::pair<const char*, int> bools[] = {
      {"SKIN2_TITLEFIVESECT", 0},      {"SKIN2_BOTTOMBORDERTHREESECT", 1},
      {"SKIN2_TITLEBARNEEDREGION", 0}, {"SKIN2_BOTTOMBORDERNEEDREGION", 0},
      {"SKIN2_TITLEBTNTRANS", 0},      {"SKIN2_BUTTONTRANS", 0},
      {"SKIN2_CHECKBOXTRANS", 0},      {"SKIN2_RADIOBUTTONTRANS", 1},
      {"SKIN2_TABCONTROLTRANS", 1}};
  for (const auto& [name, value] : bools)
    EXPECT_EQ(FReader->GetBool(name), value) << name;
}

TEST_F(MainWindowSkinTest, PicturesHaveTheFrameLayoutsTheControlsCut) {
  const TBitmap* buttons = FReader->GetBitmap("SKIN2_TITLEBUTTONS");
  const TBitmap* button = FReader->GetBitmap("SKIN2_BUTTON");
  const TBitmap* title = FReader->GetBitmap("SKIN2_TITLEBAR1");
  ASSERT_TRUE(buttons && button && title);
  EXPECT_EQ(buttons->Width() % 18, 0);
  EXPECT_EQ(button->Width() % 3, 0);
  // The title buttons sit at row 7 of the title pictures and fit inside them.
  EXPECT_LE(7 + buttons->Height(), title->Height());
  for (const char* name : {"SKIN2_TITLEBAR2", "SKIN2_TITLEBAR3"})
    EXPECT_EQ(FReader->GetBitmap(name)->Height(), title->Height()) << name;
}

} // namespace
