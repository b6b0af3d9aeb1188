// The library loader: the real FFmpeg libraries from LibAV/, and tables of
// its own for the failures (a missing library, a missing entry point).
#include "FFEncode.h"
#include "FFLoad.h"
#include "LibAV.h"
#include "LibAVForTests.h"

#include <gtest/gtest.h>

namespace {

TEST(Loader, LoadsTheRealLibrariesFromLibAVAndBindsEveryEntry) {
  TFFEncoder encoder;
  ASSERT_TRUE(encoder.LoadAVLib(LibAVFolder())) << encoder.LastErrMsg;
  EXPECT_TRUE(encoder.AVLibLoaded());
  EXPECT_TRUE(MissingLibAVEntries().empty()) << MissingLibAVEntries().front();
  // The bound libraries are the versions the engine was built against.
  EXPECT_EQ(AV.avutil_version() >> 16, unsigned{LIBAVUTIL_VERSION_MAJOR});
  EXPECT_EQ(AV.avcodec_version() >> 16, unsigned{LIBAVCODEC_VERSION_MAJOR});
  EXPECT_EQ(AV.avformat_version() >> 16, unsigned{LIBAVFORMAT_VERSION_MAJOR});
  // Devices are registered once the set is loaded.
  EXPECT_NE(AV.av_find_input_format("lavfi"), nullptr);
  // Loading again finds everything in place.
  EXPECT_TRUE(encoder.LoadAVLib(LibAVFolder()));
  EXPECT_NO_THROW(FFLoader().CheckLibs(DecoderLibrarySet()));
}

TEST(Loader, FileNamesAreTheSonames) {
  const std::pair<TLibAVLib, const char*> cases[] = {{TLibAVLib::avutil, "libavutil.so.57"},
                                                     {TLibAVLib::swresample, "libswresample.so.4"},
                                                     {TLibAVLib::swscale, "libswscale.so.6"},
                                                     {TLibAVLib::avcodec, "libavcodec.so.59"},
                                                     {TLibAVLib::avformat, "libavformat.so.59"},
                                                     {TLibAVLib::postproc, "libpostproc.so.56"},
                                                     {TLibAVLib::avfilter, "libavfilter.so.8"},
                                                     {TLibAVLib::avdevice, "libavdevice.so.59"},
                                                     {TLibAVLib::c, "libc.so.6"}};
  for (auto [lib, name] : cases)
    EXPECT_EQ(FFLoader().FileNameOf(static_cast<int>(lib)), name);
}

// A table of test rows: the C library (always there), and libraries or entry
// points that do not exist.
int gBinds = 0, gUnbinds = 0;
void CountBind(const std::string&, const TDynLib&) {
  ++gBinds;
}
void CountUnbind() {
  ++gUnbinds;
}
void BindMissingEntry(const std::string& AFileName, const TDynLib& ALib) {
  void* strlenAddress = nullptr;
  TFFLoader::BindEntryPoint(AFileName, ALib, "strlen", false, strlenAddress);
  void* optional = nullptr;
  TFFLoader::BindEntryPoint(AFileName, ALib, "vexmora_optional_entry", true, optional);
  void* required = nullptr;
  TFFLoader::BindEntryPoint(AFileName, ALib, "vexmora_no_such_entry", false, required);
}

const TLibraryItem kTestTable[] = {
    {"c", true, 6, CountBind, CountUnbind, nullptr},
    {"vexmora_missing", false, 1, CountBind, CountUnbind, nullptr},
    {"m", true, 6, BindMissingEntry, CountUnbind, nullptr},
};
constexpr TLibrarySet kC = LibraryBit(0), kMissing = LibraryBit(1), kMissingEntry = LibraryBit(2);

class LoaderFailures : public testing::Test {
protected:
  void SetUp() override { gBinds = gUnbinds = 0; }
  TFFLoader Loader{kTestTable};
};

TEST_F(LoaderFailures, AMissingLibraryNamesTheFolderAndUnloadsTheSet) {
  Loader.SetLibraryPath("/tmp/vexmora-no-such-folder");
  EXPECT_FALSE(Loader.LoadLibs(kC | kMissing));
  const std::string expected =
      "Load library /tmp/vexmora-no-such-folder/libvexmora_missing.so.1 error: ";
  EXPECT_EQ(Loader.GetLastErrMsg().substr(0, expected.size()), expected) << Loader.GetLastErrMsg();
  EXPECT_NE(Loader.GetLastErrMsg().find("libvexmora_missing.so.1", expected.size()),
            std::string::npos)
      << "dlerror's own text follows: " << Loader.GetLastErrMsg();
  EXPECT_EQ(gBinds, 1);
  EXPECT_EQ(gUnbinds, 1) << "the library loaded before it is unloaded again";
  EXPECT_FALSE(Loader.IsLoaded(0));
  EXPECT_FALSE(Loader.LibsLoaded(kC));
}

TEST_F(LoaderFailures, AMissingEntryPointFreesTheLibraryWithTheExactText) {
  EXPECT_FALSE(Loader.LoadLibs(kC | kMissingEntry));
  const std::string expected = "Load function vexmora_no_such_entry@libm.so.6 error: ";
  ASSERT_EQ(Loader.GetLastErrMsg().substr(0, expected.size()), expected) << Loader.GetLastErrMsg();
  EXPECT_NE(Loader.GetLastErrMsg().find("vexmora_no_such_entry", expected.size()),
            std::string::npos)
      << Loader.GetLastErrMsg();
  EXPECT_FALSE(Loader.IsLoaded(2));
  EXPECT_FALSE(Loader.IsLoaded(0));
}

TEST_F(LoaderFailures, CheckLibsNamesTheFirstMissingLibrary) {
  ASSERT_TRUE(Loader.LoadLibs(kC));
  EXPECT_NO_THROW(Loader.CheckLibs(kC));
  try {
    Loader.CheckLibs(kC | kMissing | kMissingEntry);
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Library vexmora_missing not loaded.");
  }
  EXPECT_THROW(Loader.LibsLoaded(0), std::logic_error);
  Loader.UnloadLibs(kC);
  EXPECT_EQ(gUnbinds, 1);
  EXPECT_FALSE(Loader.IsLoaded(0));
}

} // namespace
