// mkksk as a program: a description becomes a skin file the reader loads,
// and its archives, patched back to "PK", pass unzip's own test with their
// password in both check-byte modes.
#include "FileTheme.h"
#include "SkinFileReader.h"
#include "SkinTestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

const char* const Description = R"(# a small skin
palette TitleTop 0x804020
palette TitleHeight 20
palette CapWidth 15
palette CapHeight 14
color SKIN2_FORMCOLOR 0xCAE5ED
int SKIN2_TITLEBARBUTTONPOSY -3
bool SKIN2_TITLEFIVESECT 1
text SKIN2_NOTE two words
bitmap SKIN2_TITLEBAR1 TITLE_LEFT
bitmap SKIN2_TITLEBUTTONS TITLEBTN
)";

class MkkskToolTest : public testing::Test {
protected:
  void SetUp() override { std::ofstream(FFolder.File("skin.txt")) << Description; }
  int Mkksk(const std::string& AArguments) {
    return RunCommand(std::string(MKKSK_PATH) + " " + AArguments + " 2>/dev/null");
  }
  TTestFolder FFolder;
};

TEST_F(MkkskToolTest, WritesASkinTheReaderLoads) {
  ASSERT_EQ(Mkksk(Quote(FFolder.File("skin.txt")) + " " + Quote(FFolder.File("a.ksk"))), 0);
  Tsk2SkinFileReader reader(FFolder.File("a.ksk"), "");
  ASSERT_TRUE(reader.Ready());
  EXPECT_EQ(reader.GetInt("SKIN2_FORMCOLOR"), 0xCAE5ED);
  EXPECT_EQ(reader.GetInt("SKIN2_TITLEBARBUTTONPOSY"), -3);
  EXPECT_EQ(reader.GetBool("SKIN2_TITLEFIVESECT"), 1);
  EXPECT_EQ(reader.TextCount(), 1u);
  const TBitmap* title = reader.GetBitmap("SKIN2_TITLEBAR1");
  const TBitmap* buttons = reader.GetBitmap("SKIN2_TITLEBUTTONS");
  ASSERT_TRUE(title && buttons);
  EXPECT_EQ(title->Height(), 20);
  EXPECT_EQ(buttons->Width(), 18 * 15);
  EXPECT_EQ(buttons->Height(), 14);
}

TEST_F(MkkskToolTest, RefusesFaultyDescriptionsAndLeavesNoOutput) {
  for (const char* bad : {"bitmap SKIN2_X NO_SUCH_PART\n", "int SKIN2_X twelve\n",
                          "palette NoSuchValue 1\n", "flag SKIN2_X 1\n", "int SKIN2_X\n"}) {
    std::ofstream(FFolder.File("bad.txt")) << bad;
    EXPECT_EQ(Mkksk(Quote(FFolder.File("bad.txt")) + " " + Quote(FFolder.File("bad.ksk"))), 1)
        << bad;
    EXPECT_FALSE(std::filesystem::exists(FFolder.File("bad.ksk"))) << bad;
  }
  EXPECT_EQ(Mkksk("--check never a b"), 2);
  EXPECT_EQ(Mkksk(Quote(FFolder.File("skin.txt"))), 2);
}

TEST_F(MkkskToolTest, WritesTheSkinAsACppSource) {
  ASSERT_EQ(Mkksk("--cpp TestSkinData " + Quote(FFolder.File("skin.txt")) + " " +
                  Quote(FFolder.File("skin.cpp"))),
            0);
  std::ifstream in(FFolder.File("skin.cpp"));
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("std::span<const uint8_t> TestSkinData()"), std::string::npos);
  EXPECT_NE(text.find(" 83, 75, 3, 4,"), std::string::npos); // "SK" 03 04
}

class MkkskPasswordTest : public MkkskToolTest, public testing::WithParamInterface<const char*> {};

TEST_P(MkkskPasswordTest, PatchedBackToPkPassesUnzipsTestWithItsPassword) {
  if (!HaveProgram("unzip")) GTEST_SKIP() << "unzip is not installed";
  const std::string skin = FFolder.File("locked.ksk");
  ASSERT_EQ(Mkksk(std::string("--password 'Pa ss' --check ") + GetParam() + " " +
                  Quote(FFolder.File("skin.txt")) + " " + Quote(skin)),
            0);

  Tsk2SkinFileReader locked(skin, "");
  EXPECT_FALSE(locked.Ready());
  Tsk2SkinFileReader open(skin, "Pa ss");
  EXPECT_TRUE(open.Ready());

  std::vector<uint8_t> bytes = ReadFileBytes(skin);
  ASSERT_EQ(bytes[0], 'S');
  bytes[0] = 'P';
  const std::string zip = FFolder.File("locked.zip");
  WriteFileBytes(zip, bytes);
  std::string output;
  EXPECT_EQ(RunCommand("unzip -t -P 'Pa ss' " + Quote(zip) + " 2>&1", &output), 0) << output;
  EXPECT_NE(output.find("No errors detected"), std::string::npos) << output;
  EXPECT_NE(RunCommand("unzip -t -P wrong " + Quote(zip) + " >/dev/null 2>&1"), 0);
}

INSTANTIATE_TEST_SUITE_P(CheckByte, MkkskPasswordTest, testing::Values("crc", "time"));

} // namespace
