// The hook clients with the stand-in libraries beside the program: F9 and
// F11 arrive once per press, other keys not at all; the pointer's moves and
// clicks with their place; a missing library and a client never started.
#include "AppTestSupport.h"
#include "HookClients.h"
#include "HookMapping.h"
#include "NativeEvents.h"

#include <QCursor>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class HookClients : public ::testing::Test {
protected:
  void SetUp() override {
    SetHookMessageProc([this](const std::string& ACaption, const std::string& AText) {
      Messages.push_back(ACaption + ": " + AText);
    });
  }
  void TearDown() override {
    SetHookMessageProc([](const std::string& ACaption, const std::string& AText) {
      std::fprintf(stderr, "hook client: %s: %s\n", ACaption.c_str(), AText.c_str());
    });
  }
  TNativeEvents Events;
  std::vector<std::string> Messages;
};

TEST_F(HookClients, TheKeyboardHookDeliversF9AndF11OncePerPress) {
  TKeyboardHook hook;
  hook.Folder = ProgramFolder();
  std::vector<int> keys;
  hook.OnKey = [&](TKeyboardHook*, int AKey) { keys.push_back(AKey); };
  ASSERT_TRUE(hook.Start()) << (Messages.empty() ? "" : Messages[0]);
  EXPECT_TRUE(hook.Active());
  EXPECT_FALSE(hook.Start()) << "started twice";
  Serve(200ms);
  ASSERT_TRUE(PressKey("F9"));
  ASSERT_TRUE(WaitFor([&] { return !keys.empty(); }, 3s));
  ASSERT_TRUE(PressKey("a"));
  ASSERT_TRUE(PressKey("F11"));
  ASSERT_TRUE(WaitFor([&] { return keys.size() >= 2; }, 3s));
  Serve(300ms); // a key-up delivering the key again would arrive by now
  EXPECT_EQ(keys, (std::vector<int>{120, 122}));
  EXPECT_TRUE(Messages.empty());
  hook.Stop();
  EXPECT_FALSE(hook.Active());
  ASSERT_TRUE(PressKey("F9"));
  Serve(200ms);
  EXPECT_EQ(keys.size(), 2u);
}

TEST_F(HookClients, TheMouseHookDeliversMovesAndClicksWithTheirPlace) {
  TMouseHook hook;
  hook.Folder = ProgramFolder();
  std::vector<std::tuple<int, int, int>> moves, clicks;
  hook.OnMouseMove = [&](TMouseHook*, int32_t AButton, int AX, int AY) {
    moves.emplace_back(AButton, AX, AY);
  };
  hook.OnMouseClick = [&](TMouseHook*, int32_t AButton, int AX, int AY) {
    clicks.emplace_back(AButton, AX, AY);
  };
  ASSERT_TRUE(hook.Start()) << (Messages.empty() ? "" : Messages[0]);
  Serve(200ms);
  // A warped pointer makes no input event; a relative move (XTEST) does.
  ASSERT_TRUE(Xdotool({"mousemove", "100", "200"}));
  ASSERT_TRUE(WaitFor([] { return QCursor::pos() == QPoint(100, 200); }, 3s));
  ASSERT_TRUE(Xdotool({"mousemove_relative", "--", "23", "34"}));
  ASSERT_TRUE(WaitFor([&] { return !moves.empty() && std::get<1>(moves.back()) == 123; }, 3s))
      << moves.size() << " moves";
  EXPECT_EQ(std::get<2>(moves.back()), 234);
  ASSERT_TRUE(Xdotool({"click", "3"}));
  ASSERT_TRUE(WaitFor([&] { return !clicks.empty(); }, 3s));
  EXPECT_EQ(clicks.back(), std::make_tuple(3, 123, 234));
  hook.Stop();
  hook.SetBlocked(0);
  EXPECT_EQ(hook.Blocked(), 0);
}

int OpenDescriptors() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                        std::filesystem::directory_iterator()));
}

TEST_F(HookClients, AMappingTooSmallIsSaidOnceAndHoldsNoDescriptor) {
  TKeyboardHook hook;
  hook.Folder = ProgramFolder();
  std::vector<int> keys;
  hook.OnKey = [&](TKeyboardHook*, int AKey) { keys.push_back(AKey); };
  ASSERT_TRUE(hook.Start()) << (Messages.empty() ? "" : Messages[0]);
  // Another object of the name, too small to hold a key.
  const std::string name = HookMappingName(kKeyboardMappingName);
  shm_unlink(name.c_str());
  const int small = shm_open(name.c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(small, 0);
  ASSERT_EQ(ftruncate(small, 8), 0);
  close(small);
  Serve(200ms);
  const int descriptors = OpenDescriptors();
  for (const char* key : {"F9", "a", "F11", "F9"})
    ASSERT_TRUE(PressKey(key));
  Serve(300ms);
  EXPECT_EQ(Messages, std::vector<std::string>{"Error: cannot map share memory!"});
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(OpenDescriptors(), descriptors);
  hook.Stop();
  shm_unlink(name.c_str());
}

TEST_F(HookClients, AMissingLibraryIsNamedAndAClientNeverStartedStopsQuietly) {
  TKeyboardHook hook;
  hook.Folder = ProgramFolder();
  hook.Stop(); // never started: nothing happens
  hook.SetDLLName("nosuchhook.so");
  EXPECT_FALSE(hook.Start());
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0],
            "Error: " + ProgramFolder() + "/nosuchhook.so library could not be loaded !");
  EXPECT_FALSE(hook.Active());
}

} // namespace
