// The settings file class against profile-file cases: lookups by case,
// quotes, duplicates, missing keys and empty values, numbers, Booleans,
// colours, encodings; writes that keep what they do not understand; a
// folder that cannot be written.
#include "IniFile.h"
#include "ColorText.h"
#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string& AName, const std::string& AText) {
  std::ofstream(AName, std::ios::binary) << AText;
}

std::string ReadFile(const std::string& AName) {
  std::ifstream in(AName, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

struct TReadCase {
  const char* Name;
  const char* Text;
  const char* Section;
  const char* Key;
  const char* Expected; // with the default "DEF"
};

const TReadCase kReadCases[] = {
    {"plain", "[settings]\nformat=3\n", "settings", "format", "3"},
    {"section case", "[Settings]\nformat=3\n", "SETTINGS", "format", "3"},
    {"key case", "[settings]\nFormat=3\n", "settings", "FORMAT", "3"},
    {"blanks trimmed", "  [ settings ]  \n  format  =   3   \n", "settings", "format", "3"},
    {"tabs trimmed", "[settings]\n\tformat\t=\tmp4\t\n", "settings", "format", "mp4"},
    {"crlf lines", "[settings]\r\nformat=3\r\n", "settings", "format", "3"},
    {"double quotes", "[s]\nk=\" padded \"\n", "s", "k", " padded "},
    {"single quotes", "[s]\nk=' x '\n", "s", "k", " x "},
    {"unbalanced quote kept", "[s]\nk=\"x\n", "s", "k", "\"x"},
    {"inner quotes kept", "[s]\nk=a \"b\" c\n", "s", "k", "a \"b\" c"},
    {"first key wins", "[s]\nk=1\nk=2\n", "s", "k", "1"},
    {"first section wins", "[s]\nk=1\n[s]\nk=2\n", "s", "k", "1"},
    {"key only in second duplicate", "[s]\na=1\n[S]\nk=2\n", "s", "k", "DEF"},
    {"missing key", "[s]\nother=1\n", "s", "k", "DEF"},
    {"missing section", "[t]\nk=1\n", "s", "k", "DEF"},
    {"empty value is not missing", "[s]\nk=\n", "s", "k", ""},
    {"key of another section", "[a]\nk=1\n[b]\nj=2\n", "b", "k", "DEF"},
    {"comment line", "[s]\n;k=1\nk=2\n", "s", "k", "2"},
    {"line without equals", "[s]\ngarbage\nk=2\n", "s", "k", "2"},
    {"value with equals", "[s]\nk=a=b\n", "s", "k", "a=b"},
    {"before any section", "k=1\n[s]\nk=2\n", "s", "k", "2"},
    {"utf8 text", "[s]\nk=Grüße €\n", "s", "k", "Grüße €"},
    {"utf8 bom", "\xEF\xBB\xBF[s]\nk=1\n", "s", "k", "1"},
    {"cp1252 text",
     "[s]\nk=Gr\xFC\xDF"
     "e \x80\n",
     "s", "k", "Grüße €"},
    {"latin key case", "[s]\nGRÜN=1\n", "s", "grün", "1"},
    {"no final newline", "[s]\nk=7", "s", "k", "7"},
};

class IniRead : public ::testing::TestWithParam<TReadCase> {
protected:
  TTempFolder Dir;
};

TEST_P(IniRead, FindsTheValueAsAProfileFileDoes) {
  const TReadCase& c = GetParam();
  const std::string file = Dir.File("case.ini");
  WriteFile(file, c.Text);
  EXPECT_EQ(TIniFile(file).ReadString(c.Section, c.Key, "DEF"), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniRead, ::testing::ValuesIn(kReadCases), [](const auto& AInfo) {
  std::string name = AInfo.param.Name;
  for (char& ch : name)
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

struct TNumberCase {
  const char* Value;
  int Expected; // default 42
  bool Bool;    // default false
};

const TNumberCase kNumberCases[] = {
    {"12", 12, true},
    {"-7", -7, true},
    {" 8 ", 8, true},
    {"0", 0, false},
    {"$1F", 31, true},
    {"0x1f", 31, true},
    {"0X10", 16, true},
    {"$FFFFFFFF", -1, true},
    {"2147483647", 2147483647, true},
    {"2147483648", 42, false},
    {"-2147483648", -2147483648, true},
    {"12abc", 42, false},
    {"", 42, false},
    {"true", 42, false},
    {"1.5", 42, false},
    {"$", 42, false},
    {"-$10", -16, true},
};

class IniNumber : public ::testing::TestWithParam<TNumberCase> {
protected:
  TTempFolder Dir;
};

TEST_P(IniNumber, ReadsIntegersAndBooleansOrTheDefault) {
  const TNumberCase& c = GetParam();
  const std::string file = Dir.File("n.ini");
  WriteFile(file, std::string("[s]\nk=") + c.Value + "\n");
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadInteger("s", "k", 42), c.Expected) << c.Value;
  EXPECT_EQ(ini.ReadBool("s", "k", false), c.Bool) << c.Value;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniNumber, ::testing::ValuesIn(kNumberCases));

TEST(IniColor, NamesInAnyCaseAndNumbersAreColours) {
  struct {
    const char* Text;
    int32_t Expected;
  } cases[] = {{"ClBlack", 0},          {"clRed", 0x0000FF}, {"CLWHITE", 0xFFFFFF},
               {"$00FF0000", 0xFF0000}, {"255", 255},        {"  clLime ", 0x00FF00},
               {"nonsense", 0x123456},  {"", 0x123456}};
  for (const auto& c : cases)
    EXPECT_EQ(StringToColorDef(c.Text, 0x123456), c.Expected) << c.Text;
  EXPECT_EQ(ColorToString(0x0000FF), "clRed");
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_EQ(StringToColorDef(ColorToString(0x123456), 0), 0x123456);
}

class IniWrite : public ::testing::Test {
protected:
  TTempFolder Dir;
  std::string File = Dir.File("vexmora.ini");
};

TEST_F(IniWrite, TheFirstWriteCreatesTheFileAndEveryReadSeesTheLastWrite) {
  TIniFile ini(File);
  EXPECT_FALSE(fs::exists(File));
  EXPECT_EQ(ini.ReadInteger("settings", "format", 0), 0);
  ASSERT_TRUE(ini.WriteInteger("settings", "format", 4));
  EXPECT_EQ(ReadFile(File), "[settings]\nformat=4\n");
  // Another object on the same file sees it at once: nothing is cached.
  TIniFile other(File);
  EXPECT_EQ(other.ReadInteger("settings", "format", 0), 4);
  ASSERT_TRUE(other.WriteBool("settings", "stereo", false));
  ASSERT_TRUE(other.WriteString("mp4settings", "samplerate", "44100"));
  EXPECT_FALSE(ini.ReadBool("settings", "stereo", true));
  EXPECT_EQ(ini.ReadString("MP4SETTINGS", "SampleRate", ""), "44100");
  EXPECT_EQ(ReadFile(File), "[settings]\nformat=4\nstereo=0\n\n[mp4settings]\nsamplerate=44100\n");
}

TEST_F(IniWrite, ReplacesTheFirstMatchAndKeepsEverythingElse) {
  WriteFile(File, "; my own notes\r\n[Settings]\r\n  FORMAT = 1 \r\nformat=9\r\nodd line\r\n\r\n"
                  "[settings]\r\nformat=8\r\n[other]\r\nx=1\r\n");
  TIniFile ini(File);
  ASSERT_TRUE(ini.WriteString("settings", "format", "5"));
  ASSERT_TRUE(ini.WriteString("settings", "left", "10"));
  EXPECT_EQ(ReadFile(File), "; my own notes\n[Settings]\nformat=5\nformat=9\nodd line\nleft=10\n\n"
                            "[settings]\nformat=8\n[other]\nx=1\n");
  EXPECT_EQ(ini.ReadString("settings", "format", ""), "5");
}

TEST_F(IniWrite, AValueWithALineBreakStaysOneLine) {
  TIniFile ini(File);
  ASSERT_TRUE(ini.WriteString("s", "k", "a\nb=c\r\n[x]"));
  EXPECT_EQ(ini.ReadString("s", "k", ""), "a b=c  [x]");
  EXPECT_FALSE(ini.SectionExists("x"));
}

TEST_F(IniWrite, Cp1252TextIsReadAndWrittenBackAsUtf8) {
  WriteFile(File, "[s]\nname=Caf\xE9\n");
  TIniFile ini(File);
  ASSERT_TRUE(ini.WriteString("s", "other", "ü"));
  EXPECT_EQ(ReadFile(File), "[s]\nname=Café\nother=ü\n");
}

TEST_F(IniWrite, AFolderThatCannotBeWrittenFailsWithoutThrowingAndKeepsTheFile) {
  WriteFile(File, "[s]\nk=1\n");
  chmod(File.c_str(), 0644);
  fs::permissions(Dir.Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
  // Root writes into any folder: the write is tried by an ordinary user then.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    TIniFile ini(File);
    bool written = true;
    try {
      written = ini.WriteString("s", "k", "2");
    } catch (...) {
      _exit(2);
    }
    _exit(written ? 1 : ini.ReadString("s", "k", "") == "1" ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: written, 2: thrown, 3: no user to be, 4: file changed";
  EXPECT_EQ(ReadFile(File), "[s]\nk=1\n");
}

TEST_F(IniWrite, AMissingFolderFailsWithoutThrowing) {
  TIniFile ini(Dir.File("no/such/folder/vexmora.ini"));
  EXPECT_FALSE(ini.WriteString("s", "k", "2"));
  EXPECT_EQ(ini.ReadString("s", "k", "DEF"), "DEF");
}

TEST_F(IniWrite, AReplacedFileKeepsItsPermissionsAndLeavesNoTemporaryFile) {
  WriteFile(File, "[s]\nk=1\n");
  chmod(File.c_str(), 0600);
  ASSERT_TRUE(TIniFile(File).WriteString("s", "k", "2"));
  struct stat info {};
  ASSERT_EQ(stat(File.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 1);
}

} // namespace
