// Frame-hook libraries ("-vhook"): splitting the option's text, loading a
// library once, configuring one context per option, the failures and their
// messages, and the hooks at work on a whole run. The libraries are the
// test's own (hooklib/TestFrameHook.c), built beside this program.
#include "DecodedPictures.h"
#include "FFmpeg.h"
#include "FrameHookLibraries.h"
#include "LoggedTest.h"
#include "MediaFiles.h"
#include "TaskRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>

namespace {

const std::string kFolder = TEST_HOOK_FOLDER;
const std::string kHook = kFolder + "/testframehook.so";

// The test library's call log, read through the copy the engine loaded.
std::string HookLog(const std::string& ALibrary = kHook) {
  void* handle = dlopen(ALibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return {};
  auto log = reinterpret_cast<const char* (*)()>(dlsym(handle, "TestHookLog"));
  const std::string text = log ? log() : "";
  dlclose(handle);
  return text;
}

void ResetHookLog() {
  if (void* handle = dlopen(kHook.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
    if (auto reset = reinterpret_cast<void (*)()>(dlsym(handle, "TestHookReset"))) reset();
    dlclose(handle);
  }
}

TEST(FrameHookArguments, SplitAtBarsWhenThereAreAnyElseAtBlanks) {
  struct TCase {
    const char* Text;
    std::vector<std::string> Pieces;
  } cases[] = {
      {"hook.so a b", {"hook.so", "a", "b"}},
      {"  hook.so   a  ", {"hook.so", "a"}},
      {"hook.so|a b|c", {"hook.so", "a b", "c"}},
      {"hook.so||a|", {"hook.so", "a"}},
      {"", {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(SplitFrameHookArguments(c.Text), c.Pieces);
  }
  std::string many = "hook.so";
  for (int i = 0; i < 100; ++i)
    many += " a" + std::to_string(i);
  const auto pieces = SplitFrameHookArguments(many);
  ASSERT_EQ(pieces.size(), 64u) << "the library and 63 arguments";
  EXPECT_EQ(pieces.back(), "a62");
}

class FrameHookLibraries : public TLoggedTest {
protected:
  void SetUp() override {
    TLoggedTest::SetUp();
    ResetHookLog();
  }
  // Adds an output whose options hold AVHook; the AddOutput result.
  int AddOutput(TFFmpeg& ATask, const std::string& AVHook) {
    EXPECT_EQ(ATask.AddInput("-f lavfi -r 15", LavfiCaptureLike(64, 48, "bgr0", 15, false, 1), ""),
              0)
        << ATask.LastErrMsg;
    return ATask.AddOutput(" -vhook \"" + AVHook + "\" -c:v rawvideo -pix_fmt bgr0", false,
                           Folder.File("out.avi"), "");
  }
  TTempFolder Folder;
};

TEST_F(FrameHookLibraries, ArgumentsReachConfigureSplitAsTheTextSays) {
  struct TCase {
    std::string Text;
    std::string Line;
  } cases[] = {
      {kHook + " value=7 x", "configure argc=3 max=2 [value=7] [x]"},
      {kHook + "|value=7 x|y", "configure argc=3 max=2 [value=7 x] [y]"},
      {kHook, "configure argc=1 max=0"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    ResetHookLog();
    TFFmpeg task;
    ASSERT_GE(AddOutput(task, c.Text), 0) << task.LastErrMsg;
    EXPECT_EQ(HookLog(), c.Line + "\n");
  }
}

TEST_F(FrameHookLibraries, FailuresNameTheirCauseAndAddNothing) {
  struct TCase {
    std::string Text;
    std::string Logged; // what the libraries' log says
  } cases[] = {
      {kHook + " fail", "Failed to Configure " + kHook},
      {kFolder + "/testframehook_noprocess.so",
       "Failed to find Process entrypoint in " + kFolder + "/testframehook_noprocess.so"},
      {kFolder + "/testframehook_noconfigure.so a",
       "Failed to find Configure entrypoint in " + kFolder + "/testframehook_noconfigure.so"},
      {kFolder + "/missing.so", "missing.so"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    Log.Clear();
    TFFmpeg task;
    EXPECT_LT(AddOutput(task, c.Text), 0);
    EXPECT_NE(task.LastErrMsg.find("Failed to add video hook function: " + c.Text),
              std::string::npos)
        << task.LastErrMsg;
    EXPECT_GE(Log.Find(c.Logged), 0) << c.Logged;
  }
}

TEST_F(FrameHookLibraries, ALibraryWithoutConfigureTakesNoArgumentsButServes) {
  TFFmpeg task;
  ASSERT_GE(AddOutput(task, kFolder + "/testframehook_noconfigure.so"), 0) << task.LastErrMsg;
  task.Transcode();
  task.Cleanup();
  // Its Release got the empty context.
  const std::string log = HookLog(kFolder + "/testframehook_noconfigure.so");
  EXPECT_NE(log.find("release 0 processed=-1"), std::string::npos) << log;
}

TEST_F(FrameHookLibraries, TheSameLibraryTwiceIsLoadedOnceWithTwoContexts) {
  TFFmpeg task;
  ASSERT_EQ(task.AddInput("-f lavfi -r 15", LavfiCaptureLike(64, 48, "bgr0", 15, false, 1), ""), 0);
  ASSERT_GE(task.AddOutput(" -vhook \"" + kHook + " value=1\" -vhook \"" + kHook +
                               " value=200\" -c:v rawvideo -pix_fmt bgr0",
                           false, Folder.File("twice.avi"), ""),
            0)
      << task.LastErrMsg;
  const auto loaded = LoadedFrameHookLibraries();
  EXPECT_EQ(std::count(loaded.begin(), loaded.end(), kHook), 1);
  task.Transcode();
  task.Cleanup();
  const std::string log = HookLog();
  // Two contexts, each configured and released once, each with every picture.
  auto count = [&](const std::string& AText) {
    int n = 0;
    for (size_t at = log.find(AText); at != std::string::npos; at = log.find(AText, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("configure "), 2) << log;
  EXPECT_EQ(count(" processed=15\n"), 2) << log;
  EXPECT_EQ(count("release "), 2) << log;
  // The second context ran last: its value is in the file.
  const auto pictures = DecodePictures(Folder.File("twice.avi"));
  ASSERT_EQ(pictures.size(), 15u);
  EXPECT_EQ(pictures[0].Bgra[0], 200);
}

// A task's contexts end with its run, in Cleanup: also for one that never
// ran, which the encoder may keep until it is cleared.
TEST_F(FrameHookLibraries, CleanupReleasesTheContextsOnce) {
  auto releases = [] {
    const std::string log = HookLog();
    int n = 0;
    for (size_t at = log.find("release "); at != std::string::npos;
         at = log.find("release ", at + 1))
      ++n;
    return n;
  };
  {
    TFFmpeg task;
    ASSERT_GE(AddOutput(task, kHook + " value=3"), 0) << task.LastErrMsg;
    EXPECT_EQ(releases(), 0);
    task.Cleanup();
    EXPECT_EQ(releases(), 1) << HookLog();
  }
  EXPECT_EQ(releases(), 1) << "not again when the task dies";
}

TEST_F(FrameHookLibraries, ABareNameIsFoundBesideTheProgram) {
  TFFmpeg task;
  ASSERT_GE(AddOutput(task, "testframehook.so value=9"), 0) << task.LastErrMsg;
  const auto loaded = LoadedFrameHookLibraries();
  EXPECT_EQ(std::count(loaded.begin(), loaded.end(), kHook), 1) << "the same library as by path";
}

TEST_F(FrameHookLibraries, AVideoInputHookTakesPrecedence) {
  for (bool inputHook : {false, true}) {
    SCOPED_TRACE(inputHook ? "with a video input hook" : "libraries alone");
    ResetHookLog();
    const std::string file = Folder.File(inputHook ? "hooked.avi" : "library.avi");
    TTaskRun run;
    TOutputOptions record;
    TFFEncoder::InitOutputOptions(record);
    record.VideoInputHook = inputHook;
    int calls = 0;
    run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo) { ++calls; };
    ASSERT_TRUE(run.Add(LavfiCaptureLike(64, 48, "bgr0", 15, false, 1), "-f lavfi -r 15", file,
                        " -vhook \"" + kHook + " value=250\" -c:v rawvideo -pix_fmt bgr0", &record))
        << run.Error;
    run.Start();
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(calls, inputHook ? 15 : 0);
    EXPECT_NE(HookLog().find(inputHook ? "processed=0" : "processed=15"), std::string::npos)
        << HookLog();
    const auto pictures = DecodePictures(file);
    ASSERT_EQ(pictures.size(), 15u);
    EXPECT_EQ(pictures[3].Bgra[0] == 250, !inputHook) << "the library's block";
  }
}

} // namespace
