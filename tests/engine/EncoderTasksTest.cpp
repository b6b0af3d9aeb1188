// Adding tasks and outputs: option records, switch rewriting, failures.
#include "FakeConversion.h"
#include "LibAVForTests.h"

#include <gtest/gtest.h>

namespace {

struct TSwitchCase {
  const char* Name;
  std::string Options, Expected;
};

class SwitchRewriting : public testing::TestWithParam<TSwitchCase> {};

TEST_P(SwitchRewriting, GivesTheWrittenForms) {
  EXPECT_EQ(RewriteHookSwitches(GetParam().Options), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwitchRewriting,
    testing::Values(
        TSwitchCase{"CapitalsAndSmallKeepInnerBlanks", "  -VIDEOINPUTHOOK  -join ",
                    "-VideoInputHook  -Join"},
        TSwitchCase{"EverySwitch",
                    "-audioinputhook -x -AUDIOOUTPUTHOOK -x -videoinputhook -x -VideoOutputHook -x "
                    "-frameinputhook -x -FRAMEOUTPUTHOOK -x -JOIN",
                    "-AudioInputHook -x -AudioOutputHook -x -VideoInputHook -x -VideoOutputHook -x "
                    "-FrameInputHook -x -FrameOutputHook -x -Join"},
        TSwitchCase{"OnlyWholeWords", "-joined -videoinputhooks -i join.mp4",
                    "-joined -videoinputhooks -i join.mp4"},
        TSwitchCase{"OtherOptionsUntouched", " -vcodec MPEG4  -B:v 800k ",
                    "-vcodec MPEG4  -B:v 800k"},
        TSwitchCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(EncoderProperties, ProgressIntervalHasAFloorOf100) {
  TFFEncoder encoder;
  EXPECT_EQ(encoder.ProgressInterval(), 500);
  for (auto [set, read] : {std::pair{50, 100}, {100, 100}, {101, 101}, {-5, 100}, {2000, 2000}}) {
    encoder.SetProgressInterval(set);
    EXPECT_EQ(encoder.ProgressInterval(), read) << set;
  }
}

TEST(EncoderProperties, DefaultsAndRecordInitialisers) {
  TFFEncoder encoder;
  EXPECT_TRUE(encoder.StrictOptions);
  EXPECT_TRUE(encoder.TriggerEventInMainThread);
  EXPECT_FALSE(encoder.Working());
  EXPECT_EQ(encoder.ReadTimeout, 30000);
  EXPECT_EQ(encoder.WriteTimeout, 30000);
  EXPECT_EQ(encoder.Version(), "5.2");
  TOutputOptions out;
  out.Options = "x";
  out.Join = true;
  out.VideoHookBitsPixel = 8;
  InitOutputOptions(out);
  EXPECT_EQ(out.Options, "");
  EXPECT_FALSE(out.Join);
  EXPECT_EQ(out.VideoHookBitsPixel, 32);
}

class EncoderTasks : public testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
  TFakeEncoder Encoder;
};

TEST_F(EncoderTasks, AddTaskFillsAnEmptyFileNameAndKeepsACopy) {
  TInputOptions in;
  InitInputOptions(in);
  in.Options = "-f lavfi";
  ASSERT_EQ(Encoder.AddTask("video=0", &in), 0);
  EXPECT_EQ(in.FileName, "video=0");
  const TFakeTask* task = Encoder.FakeTask(0);
  EXPECT_EQ(task->InputOptionsSeen, "-f lavfi");
  ASSERT_EQ(task->InputOptions().size(), 1u);
  EXPECT_EQ(task->InputOptions()[0].FileName, "video=0");

  TInputOptions named;
  named.FileName = "kept";
  ASSERT_EQ(Encoder.AddTask("other", &named), 1);
  EXPECT_EQ(named.FileName, "kept");
}

TEST_F(EncoderTasks, AddTaskFailuresAddNothingAndSayWhy) {
  EXPECT_EQ(Encoder.AddTask("missing"), -2);
  EXPECT_EQ(Encoder.LastErrMsg, "missing: No such file or directory");
  EXPECT_EQ(Encoder.AddTask("raise"), -1);
  EXPECT_EQ(Encoder.LastErrMsg, "conversion of a value failed");
  EXPECT_EQ(Encoder.TaskCount(), 0);
}

TEST_F(EncoderTasks, SetOutputRewritesSwitchesAndBindsHooks) {
  ASSERT_EQ(Encoder.AddTask("in"), 0);
  TOutputOptions out;
  InitOutputOptions(out);
  out.Options = "  -VIDEOINPUTHOOK  -join ";
  out.VideoInputHook = true;
  out.Join = true;
  out.VideoHookBitsPixel = 24;
  ASSERT_EQ(Encoder.SetOutput(0, "out.mp4", &out), 0);
  const TFakeTask* task = Encoder.FakeTask(0);
  EXPECT_EQ(task->OutputOptionsSeen, "-VideoInputHook  -Join");
  EXPECT_TRUE(task->JoinSeen);
  EXPECT_EQ(out.FileName, "out.mp4");
  EXPECT_EQ(task->HookBitsPixel(), 24);
  EXPECT_TRUE(static_cast<bool>(task->OnVideoInputHook));
  EXPECT_FALSE(static_cast<bool>(task->OnVideoOutputHook));
}

TEST_F(EncoderTasks, SetOutputFailuresKeepTheTaskAndSayWhy) {
  ASSERT_EQ(Encoder.AddTask("in"), 0);
  TOutputOptions out;
  InitOutputOptions(out);
  out.Options = "-y";
  EXPECT_EQ(Encoder.SetOutput(0, "unwritable", &out), -13);
  EXPECT_EQ(Encoder.LastErrMsg, "unwritable: Permission denied");
  EXPECT_EQ(Encoder.FakeTask(0)->OutputOptions()[0].Options, "") << "the failed record is cleared";

  out.VideoHookBitsPixel = 7;
  EXPECT_EQ(Encoder.SetOutput(0, "out.mp4", &out), -1);
  EXPECT_EQ(Encoder.LastErrMsg, "Invalid BitsPixel 7");
  EXPECT_EQ(Encoder.TaskCount(), 1);
  EXPECT_THROW(Encoder.SetOutput(5, "out.mp4"), std::out_of_range);
}

TEST_F(EncoderTasks, TheHookDepthOptionSetsTheTasksDepth) {
  TFFmpeg task;
  EXPECT_EQ(task.HookBitsPixel(), 32);
  EXPECT_EQ(task.OptVideoHookBitsPixel(nullptr, "VideoHookBitsPixel", "16"), 0);
  EXPECT_EQ(task.HookBitsPixel(), 16);
  EXPECT_EQ(task.OptVideoHookBitsPixel(nullptr, "VideoHookBitsPixel", "12"), AVERROR(EINVAL));
  EXPECT_EQ(task.OptVideoHookBitsPixel(nullptr, "VideoHookBitsPixel", "deep"), AVERROR(EINVAL));
  EXPECT_EQ(task.HookBitsPixel(), 16);
}

TEST_F(EncoderTasks, RemoveTaskMovesLaterTasksDown) {
  Encoder.AddTasks(3);
  TFFmpeg* last = Encoder.Task(2);
  Encoder.RemoveTask(1);
  EXPECT_EQ(Encoder.TaskCount(), 2);
  EXPECT_EQ(Encoder.Task(1), last);
}

TEST_F(EncoderTasks, PreviewFlagsReachEveryTask) {
  Encoder.AddTasks(2);
  Encoder.SetPreview(true);
  Encoder.SetPreviewBitmap(true);
  EXPECT_EQ(Encoder.Task(0)->PreviewFlags(), 3);
  Encoder.SetPreview(false);
  EXPECT_EQ(Encoder.Task(1)->PreviewFlags(), 2);
  ASSERT_EQ(Encoder.AddTask("later"), 2);
  EXPECT_EQ(Encoder.Task(2)->PreviewFlags(), 2) << "a new task takes the encoder's flags";
}

} // namespace
