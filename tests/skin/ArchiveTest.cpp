// The skin archive: the member search, the result codes of UnzipSkinMember,
// offsets that point outside the file, encryption in both check-byte modes,
// and archives made by zip and 7-Zip read back byte-equal to unzip.
#include "SkinArchive.h"
#include "SkinFileReader.h"
#include "SkinTestSupport.h"
#include "SkinWriter.h"

#include <gtest/gtest.h>

namespace {

uint16_t Get16(const std::vector<uint8_t>& A, size_t AAt) {
  return static_cast<uint16_t>(A[AAt] | (A[AAt + 1] << 8));
}
uint32_t Get32(const std::vector<uint8_t>& A, size_t AAt) {
  return Get16(A, AAt) | (static_cast<uint32_t>(Get16(A, AAt + 2)) << 16);
}
void Set16(std::vector<uint8_t>& A, size_t AAt, uint32_t AValue) {
  A[AAt] = static_cast<uint8_t>(AValue);
  A[AAt + 1] = static_cast<uint8_t>(AValue >> 8);
}
void Set32(std::vector<uint8_t>& A, size_t AAt, uint32_t AValue) {
  Set16(A, AAt, AValue & 0xFFFF);
  Set16(A, AAt + 2, AValue >> 16);
}

// Where the parts of a one-member archive lie.
struct TLayout {
  size_t End;       // the end record
  size_t Directory; // the member's directory entry
};
TLayout Layout(const std::vector<uint8_t>& AArchive) {
  const size_t end = AArchive.size() - 22;
  return {end, Get32(AArchive, end + 16)};
}

int Unzip(const std::vector<uint8_t>& AArchive, std::vector<uint8_t>& AMember,
          const std::string& APassword = "", const std::string& AName = "SKINDATA.SK2") {
  return UnzipSkinMember(TSkinMemorySource(AArchive), AName, AMember, APassword);
}

class ArchiveTest : public testing::Test {
protected:
  const std::vector<uint8_t> FMember = SampleData(150000, 21);
};

TEST_F(ArchiveTest, ExtractsTheMemberWhateverTheNamesCase) {
  for (const char* stored : {"SKINDATA.SK2", "skindata.sk2", "SkinData.Sk2"}) {
    TSkinArchiveOptions options;
    options.MemberName = stored;
    const std::vector<uint8_t> archive = WriteSkinArchive(FMember, options);
    std::vector<uint8_t> member;
    ASSERT_EQ(Unzip(archive, member, "", "skinData.SK2"), UnzipOk) << stored;
    EXPECT_EQ(member, FMember);
  }
}

TEST_F(ArchiveTest, TheFirstOfSeveralMatchingMembersWins) {
  // Two directory entries: the first points at a member of other content.
  TSkinArchiveOptions options;
  const std::vector<uint8_t> first = WriteSkinArchive(SampleData(1000, 1), options);
  const std::vector<uint8_t> second = WriteSkinArchive(FMember, options);
  // Lay both members and both directory entries into one archive.
  const TLayout a = Layout(first);
  const TLayout b = Layout(second);
  std::vector<uint8_t> archive(first.begin(), first.begin() + static_cast<long>(a.Directory));
  const size_t secondLocal = archive.size();
  archive.insert(archive.end(), second.begin(), second.begin() + static_cast<long>(b.Directory));
  const size_t directory = archive.size();
  archive.insert(archive.end(), first.begin() + static_cast<long>(a.Directory),
                 first.begin() + static_cast<long>(a.End));
  const size_t secondEntry = archive.size();
  archive.insert(archive.end(), second.begin() + static_cast<long>(b.Directory),
                 second.begin() + static_cast<long>(b.End));
  Set32(archive, secondEntry + 42, static_cast<uint32_t>(secondLocal));
  archive.insert(archive.end(), first.begin() + static_cast<long>(a.End), first.end());
  Set32(archive, archive.size() - 22 + 16, static_cast<uint32_t>(directory));

  std::vector<uint8_t> member;
  ASSERT_EQ(Unzip(archive, member), UnzipOk);
  EXPECT_EQ(member, SampleData(1000, 1));
}

TEST_F(ArchiveTest, AStoredMemberIsCopied) {
  // A member kept without compression (method 0), as zip writes data that
  // does not shrink.
  std::vector<uint8_t> archive =
      WriteSkinArchiveRaw(FMember, Crc32Of(FMember), static_cast<uint32_t>(FMember.size()), {});
  Set16(archive, 8, 0);
  Set16(archive, Layout(archive).Directory + 10, 0);
  std::vector<uint8_t> member;
  ASSERT_EQ(Unzip(archive, member), UnzipOk);
  EXPECT_EQ(member, FMember);
}

// Each case spoils one thing of a good archive.
struct TArchiveCase {
  const char* Name;
  std::function<void(std::vector<uint8_t>&)> Spoil;
  int Result;
};

std::vector<TArchiveCase> ArchiveCases() {
  return {
      {"PkStart", [](std::vector<uint8_t>& A) { A[0] = 'P'; }, UnzipFailed},
      {"ArchiveComment",
       [](std::vector<uint8_t>& A) {
         Set16(A, A.size() - 2, 7);
         A.insert(A.end(), {'c', 'o', 'm', 'm', 'e', 'n', 't'});
       },
       UnzipFailed},
      {"NoEndRecord", [](std::vector<uint8_t>& A) { A.push_back(0); }, UnzipFailed},
      {"ShorterThanAnEndRecord", [](std::vector<uint8_t>& A) { A.resize(20); }, UnzipFailed},
      {"OnlyTheStart", [](std::vector<uint8_t>& A) { A.resize(2); }, UnzipFailed},
      {"OtherMemberName", [](std::vector<uint8_t>& A) { A[Layout(A).Directory + 46] = 'X'; },
       UnzipFailed},
      {"DirectoryOffsetOutsideTheFile",
       [](std::vector<uint8_t>& A) { Set32(A, A.size() - 6, 0xFFFFFF00u); }, UnzipFailed},
      {"DirectoryOffsetInsideTheEndRecord",
       [](std::vector<uint8_t>& A) {
         Set32(A, A.size() - 6, static_cast<uint32_t>(A.size() - 10));
       },
       UnzipFailed},
      {"NameRunsPastTheDirectory",
       [](std::vector<uint8_t>& A) { Set16(A, Layout(A).Directory + 28, 0xFFFF); }, UnzipFailed},
      {"ExtraRunsPastTheDirectory",
       [](std::vector<uint8_t>& A) { Set16(A, Layout(A).Directory + 30, 0xFFFF); }, UnzipFailed},
      {"CommentRunsPastTheDirectory",
       [](std::vector<uint8_t>& A) { Set16(A, Layout(A).Directory + 32, 0xFFFF); }, UnzipFailed},
      {"LocalHeaderOutsideTheFile",
       [](std::vector<uint8_t>& A) { Set32(A, Layout(A).Directory + 42, 0xFFFFFFF0u); },
       UnzipFailed},
      {"LocalHeaderCutByTheEnd",
       [](std::vector<uint8_t>& A) {
         Set32(A, Layout(A).Directory + 42, static_cast<uint32_t>(A.size() - 10));
       },
       UnzipFailed},
      {"LocalNameAndExtraPastTheEnd",
       [](std::vector<uint8_t>& A) {
         Set16(A, 26, 0xFFFF);
         Set16(A, 28, 0xFFFF);
       },
       UnzipFailed},
      {"DirectorySizeLarger",
       [](std::vector<uint8_t>& A) {
         const size_t at = Layout(A).Directory + 24;
         Set32(A, at, Get32(A, at) + 1);
       },
       UnzipBadMember},
      {"DirectorySizeSmaller",
       [](std::vector<uint8_t>& A) {
         const size_t at = Layout(A).Directory + 24;
         Set32(A, at, Get32(A, at) - 1);
       },
       UnzipBadMember},
      {"DirectorySizeHuge",
       [](std::vector<uint8_t>& A) { Set32(A, Layout(A).Directory + 24, 0xFFFFFFFFu); },
       UnzipBadMember},
      {"DataCutShort",
       [](std::vector<uint8_t>& A) {
         // Keep the directory and end record but lose the member's tail.
         const TLayout layout = Layout(A);
         const size_t cut = layout.Directory / 2;
         std::vector<uint8_t> tail(A.begin() + static_cast<long>(layout.Directory), A.end());
         A.resize(cut);
         A.insert(A.end(), tail.begin(), tail.end());
         Set32(A, A.size() - 6, static_cast<uint32_t>(cut));
       },
       UnzipBadMember},
  };
}

class ArchiveCaseTest : public testing::TestWithParam<TArchiveCase> {};

TEST_P(ArchiveCaseTest, GivesItsResult) {
  std::vector<uint8_t> archive = WriteSkinArchive(SampleData(70000, 4), {});
  GetParam().Spoil(archive);
  std::vector<uint8_t> member;
  EXPECT_EQ(Unzip(archive, member), GetParam().Result);
  EXPECT_TRUE(member.empty());
}

INSTANTIATE_TEST_SUITE_P(Spoiled, ArchiveCaseTest, testing::ValuesIn(ArchiveCases()),
                         [](const testing::TestParamInfo<TArchiveCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

// The member grows in memory up to what the directory claims: a claim
// beyond the limit is refused before anything is inflated, even by data
// that really decodes to it (a few kilobytes of zeros).
TEST_F(ArchiveTest, AMemberMayNotClaimMoreThanTheLimit) {
  for (const uint32_t size : {SkinMemberSizeLimit, SkinMemberSizeLimit + 1}) {
    const std::vector<uint8_t> zeros(size, 0);
    const std::vector<uint8_t> archive = WriteSkinArchive(zeros, {});
    ASSERT_LT(archive.size(), 100000u);
    std::vector<uint8_t> member;
    const int result = Unzip(archive, member);
    if (size == SkinMemberSizeLimit) {
      EXPECT_EQ(result, UnzipOk);
      EXPECT_EQ(member.size(), size);
    } else {
      EXPECT_EQ(result, UnzipBadMember);
      EXPECT_TRUE(member.empty());
    }
  }
}

TEST_F(ArchiveTest, AnEmptyMemberIsAFailure) {
  std::vector<uint8_t> member;
  EXPECT_EQ(Unzip(WriteSkinArchive({}, {}), member), UnzipFailed);
}

TEST_F(ArchiveTest, MissingFileIsAFailure) {
  std::vector<uint8_t> member;
  EXPECT_EQ(UnzipSkinMember("/nonexistent/skin.ksk", "SKINDATA.SK2", member, ""), UnzipFailed);
  TTestFolder folder;
  EXPECT_EQ(UnzipSkinMember(folder.Path(), "SKINDATA.SK2", member, ""), UnzipFailed);
}

struct TCryptCase {
  const char* Name;
  bool FromTime;
};

class ArchiveCryptTest : public testing::TestWithParam<TCryptCase> {
protected:
  std::vector<uint8_t> Archive(const std::string& APassword) {
    TSkinArchiveOptions options;
    options.Password = APassword;
    options.CheckByteFromTime = GetParam().FromTime;
    return WriteSkinArchive(SampleData(90000, 8), options);
  }
};

TEST_P(ArchiveCryptTest, TheRightPasswordExtracts) {
  std::vector<uint8_t> member;
  ASSERT_EQ(Unzip(Archive("s3cret"), member, "s3cret"), UnzipOk);
  EXPECT_EQ(member, SampleData(90000, 8));
}

TEST_P(ArchiveCryptTest, NoOrAWrongPasswordIsResultTwo) {
  const std::vector<uint8_t> archive = Archive("s3cret");
  std::vector<uint8_t> member;
  EXPECT_EQ(Unzip(archive, member, ""), UnzipBadMember);
  EXPECT_EQ(Unzip(archive, member, "S3cret"), UnzipBadMember);
  EXPECT_EQ(Unzip(archive, member, "s3cret "), UnzipBadMember);
  EXPECT_TRUE(member.empty());
}

TEST_P(ArchiveCryptTest, AnEncryptedSkinWithoutPasswordLeavesTheReaderNotReady) {
  TTestFolder folder;
  TSk2Writer writer;
  writer.AddInt("SKIN2_FORMCOLOR", 0x123456);
  TSkinArchiveOptions options;
  options.Password = "pw";
  options.CheckByteFromTime = GetParam().FromTime;
  WriteFileBytes(folder.File("locked.ksk"), WriteSkinArchive(writer.Build(), options));

  std::unique_ptr<Tsk2SkinFileReader> reader;
  ASSERT_NO_THROW(reader = std::make_unique<Tsk2SkinFileReader>(folder.File("locked.ksk"), ""));
  EXPECT_FALSE(reader->Ready());
  reader = std::make_unique<Tsk2SkinFileReader>(folder.File("locked.ksk"), "pw");
  ASSERT_TRUE(reader->Ready());
  EXPECT_EQ(reader->GetInt("SKIN2_FORMCOLOR"), 0x123456);
}

INSTANTIATE_TEST_SUITE_P(CheckByte, ArchiveCryptTest,
                         testing::Values(TCryptCase{"FromCrc", false},
                                         TCryptCase{"FromTime", true}),
                         [](const testing::TestParamInfo<TCryptCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

TEST(ArchiveReaderTest, APkArchiveIsNotASkinFile) {
  TTestFolder folder;
  TSkinArchiveOptions options;
  options.SkinStart = false;
  WriteFileBytes(folder.File("plain.zip"), WriteSkinArchive(SampleData(100, 1), options));
  try {
    Tsk2SkinFileReader reader(folder.File("plain.zip"), "");
    FAIL() << "no exception";
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "Failed to read skin file!");
  }
}

// --- Archives of other writers ----------------------------------------------

// Writes the member, lets a command make a ZIP archive of it, and checks that
// the archive patched to start with "SK" reads back exactly what unzip reads.
class ArchiveInteropTest : public testing::Test {
protected:
  void SetUp() override {
    if (!HaveProgram("unzip")) GTEST_SKIP() << "unzip is not installed";
    FMember = SampleData(200000, 33);
    WriteFileBytes(FFolder.File("SKINDATA.SK2"), FMember);
  }

  void Check(const std::string& AProgram, const std::string& AArguments,
             const std::string& APassword) {
    if (!HaveProgram(AProgram)) GTEST_SKIP() << AProgram << " is not installed";
    const std::string zipName = FFolder.File("out.zip");
    std::remove(zipName.c_str());
    ASSERT_EQ(RunCommand("cd " + Quote(FFolder.Path()) + " && " + AProgram + " " + AArguments +
                         " out.zip SKINDATA.SK2 >/dev/null 2>&1"),
              0);
    std::string expected;
    ASSERT_EQ(RunCommand("unzip -p " + (APassword.empty() ? "" : "-P " + Quote(APassword) + " ") +
                             Quote(zipName) + " SKINDATA.SK2",
                         &expected),
              0);
    ASSERT_EQ(expected.size(), FMember.size());

    std::vector<uint8_t> archive = ReadFileBytes(zipName);
    ASSERT_EQ(archive[0], 'P');
    archive[0] = 'S';
    std::vector<uint8_t> member;
    ASSERT_EQ(Unzip(archive, member, APassword), UnzipOk);
    EXPECT_EQ(std::string(member.begin(), member.end()), expected);
    if (!APassword.empty()) {
      // The writer salts its header at random, so a wrong password passes
      // the one check byte once in 256 runs and only then fails on the data
      // (result 1 when that garbage inflates to nothing): never the member.
      EXPECT_NE(Unzip(archive, member, APassword + "x"), UnzipOk);
      EXPECT_TRUE(member.empty());
    }
  }

  TTestFolder FFolder;
  std::vector<uint8_t> FMember;
};

TEST_F(ArchiveInteropTest, ZipDeflated) {
  Check("zip", "-q -9", "");
}
TEST_F(ArchiveInteropTest, ZipStored) {
  Check("zip", "-q -0", "");
}
TEST_F(ArchiveInteropTest, ZipWithPassword) {
  Check("zip", "-q -P pass123", "pass123");
}
TEST_F(ArchiveInteropTest, ZipStoredWithPassword) {
  Check("zip", "-q -0 -P pass123", "pass123");
}
TEST_F(ArchiveInteropTest, SevenZipDeflated) {
  Check("7zz", "a -tzip -mm=Deflate -mx=9", "");
}
TEST_F(ArchiveInteropTest, SevenZipZipCrypto) {
  Check("7zz", "a -tzip -mm=Deflate -mem=ZipCrypto -pSeven7", "Seven7");
}
TEST_F(ArchiveInteropTest, SevenZipStoredZipCrypto) {
  Check("7zz", "a -tzip -mx=0 -mem=ZipCrypto -pSeven7", "Seven7");
}

} // namespace
