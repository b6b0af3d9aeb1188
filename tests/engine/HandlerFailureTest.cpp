// Failures inside a run: every handler and hook the loop calls may raise
// without costing the recording, and whatever else ends the loop still
// leaves a file that plays (an mp4 without its trailer has no index and
// reads as "moov atom not found").
#include "Bitmap.h"
#include "LoggedTest.h"
#include "MediaFiles.h"
#include "MediaProbe.h"
#include "Previewer.h"
#include "RecorderStrings.h"
#include "TaskRun.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <new>
#include <stdexcept>

namespace {

constexpr int kRate = 15, kSeconds = 2;

const TRecorderContainer& Mp4() {
  return RecorderContainers()[0];
}

class HandlerFailures : public TLoggedTest {
protected:
  void TearDown() override {
    SetPreviewWindowFactory(nullptr);
    TLoggedTest::TearDown();
  }
  TTempFolder Folder;
};

// A preview window that fails at every picture.
class TFailingWindow : public TPreviewWindow {
public:
  void ShowAt(int, int) override {}
  void SetCaption(const std::string&) override {}
  void Draw(const TBitmap&) override { throw std::runtime_error("boom"); }
};

[[noreturn]] void Raise() {
  throw std::runtime_error("boom");
}

struct THandlerCase {
  const char* Name;
  const char* Event; // as the log names it
  // Makes the handler raise: switches in the output record, properties and
  // events of the encoder; before the task is added.
  std::function<void(TFFEncoder&, TOutputOptions&)> Arrange;
};

void PrintTo(const THandlerCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Name;
}

const std::vector<THandlerCase>& HandlerCases() {
  static const std::vector<THandlerCase> cases = {
      {"video input hook", "VideoHook",
       [](TFFEncoder& AEncoder, TOutputOptions& ARecord) {
         ARecord.VideoInputHook = true;
         AEncoder.OnVideoInputHook = [](TCustomEncoder*, PHookInfo) { Raise(); };
       }},
      {"video output hook", "VideoHook",
       [](TFFEncoder& AEncoder, TOutputOptions& ARecord) {
         ARecord.VideoOutputHook = true;
         AEncoder.OnVideoOutputHook = [](TCustomEncoder*, PHookInfo) { Raise(); };
       }},
      {"frame input hook", "FrameHook",
       [](TFFEncoder& AEncoder, TOutputOptions& ARecord) {
         ARecord.FrameInputHook = true;
         AEncoder.OnFrameInputHook = [](TCustomEncoder*, PFrameHookInfo) { Raise(); };
       }},
      {"frame output hook", "FrameHook",
       [](TFFEncoder& AEncoder, TOutputOptions& ARecord) {
         ARecord.FrameOutputHook = true;
         AEncoder.OnFrameOutputHook = [](TCustomEncoder*, PFrameHookInfo) { Raise(); };
       }},
      {"audio input hook", "AudioHook",
       [](TFFEncoder& AEncoder, TOutputOptions& ARecord) {
         ARecord.AudioInputHook = true;
         AEncoder.OnAudioInputHook = [](TCustomEncoder*, int, int64_t, uint8_t*, int, int, int,
                                        AVSampleFormat) { Raise(); };
       }},
      {"audio output hook", "AudioHook",
       [](TFFEncoder& AEncoder, TOutputOptions& ARecord) {
         ARecord.AudioOutputHook = true;
         AEncoder.OnAudioOutputHook = [](TCustomEncoder*, int, int64_t, uint8_t*, int, int, int,
                                         AVSampleFormat) { Raise(); };
       }},
      {"preview bitmaps in the main thread", "PreviewBitmap",
       [](TFFEncoder& AEncoder, TOutputOptions&) {
         AEncoder.SetPreviewBitmap(true);
         AEncoder.OnPreviewBitmap = [](TCustomEncoder*, const TPreviewInfo&) { Raise(); };
       }},
      {"preview bitmaps in the worker", "PreviewBitmap",
       [](TFFEncoder& AEncoder, TOutputOptions&) {
         AEncoder.TriggerEventInMainThread = false;
         AEncoder.SetPreviewBitmap(true);
         AEncoder.OnPreviewBitmap = [](TCustomEncoder*, const TPreviewInfo&) { Raise(); };
       }},
      {"progress in the worker", "Progress",
       [](TFFEncoder& AEncoder, TOutputOptions&) {
         AEncoder.TriggerEventInMainThread = false;
         AEncoder.OnProgress = [](TCustomEncoder*, PProgressInfo) { Raise(); };
       }},
      {"preview window", "Preview",
       [](TFFEncoder& AEncoder, TOutputOptions&) {
         SetPreviewWindowFactory(
             [](std::function<void()>) { return std::make_unique<TFailingWindow>(); });
         AEncoder.SetPreview(true);
       }},
  };
  return cases;
}

class RaisingHandlers : public HandlerFailures, public testing::WithParamInterface<THandlerCase> {};

TEST_P(RaisingHandlers, NeverCostTheRecording) {
  const THandlerCase& c = GetParam();
  const std::string file = Folder.File("handled.mp4");
  {
    TTaskRun run;
    TOutputOptions record;
    TFFEncoder::InitOutputOptions(record);
    c.Arrange(run.Encoder, record);
    ASSERT_TRUE(run.Add(LavfiCaptureLike(320, 240, "bgr0", kRate, true, kSeconds), "-f lavfi -r 15",
                        file, Mp4().Options, &record))
        << run.Error;
    run.Start();
    ASSERT_TRUE(run.WaitForEnd());
    ASSERT_EQ(run.Notices.size(), 2u);
    EXPECT_TRUE(run.Notices[0].Finished);
    EXPECT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;
  }
  EXPECT_GE(Log.Count(std::string("Error occurs ") + c.Event + " event: boom"), 1);
  const TProbedFile probe = ProbeFile(file);
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  EXPECT_EQ(video->Packets, kRate * kSeconds);
  EXPECT_NEAR(audio->Samples, 44100 * kSeconds, 2 * 1024);
}

INSTANTIATE_TEST_SUITE_P(EveryHandler, RaisingHandlers, testing::ValuesIn(HandlerCases()),
                         [](const testing::TestParamInfo<THandlerCase>& AInfo) {
                           std::string name;
                           bool upper = true;
                           for (const char c : std::string(AInfo.param.Name)) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) {
                               upper = true;
                               continue;
                             }
                             name += upper ? static_cast<char>(std::toupper(c)) : c;
                             upper = false;
                           }
                           return name;
                         });

// A task whose report runs out of memory half way through the run: nothing
// the loop catches as a hook's failure.
class TStarvedTask : public TFFmpeg {
protected:
  void PrintReport(bool ALast, int64_t ATimerStart, int64_t ANow) override {
    if (!ALast && ++FReports == 40) throw std::bad_alloc();
    TFFmpeg::PrintReport(ALast, ATimerStart, ANow);
  }

private:
  int FReports = 0;
};

class TStarvedEncoder : public TFFEncoder {
public:
  ~TStarvedEncoder() override { ShutDown(); }

protected:
  std::unique_ptr<TFFmpeg> CreateTask() override { return std::make_unique<TStarvedTask>(); }
};

TEST_F(HandlerFailures, WhatEndsTheLoopOtherwiseStillLeavesAFileThatPlays) {
  const std::string file = Folder.File("starved.mp4");
  TStarvedEncoder encoder;
  std::vector<TTerminateInfo> notices;
  encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo& AInfo) {
    notices.push_back(AInfo);
  };
  TInputOptions input;
  TFFEncoder::InitInputOptions(input);
  input.Options = "-f lavfi -r 15";
  const int task =
      encoder.AddTask(LavfiCaptureLike(320, 240, "bgr0", kRate, true, kSeconds), &input);
  ASSERT_GE(task, 0) << encoder.LastErrMsg;
  TOutputOptions output;
  TFFEncoder::InitOutputOptions(output);
  output.Options = Mp4().Options;
  ASSERT_GE(encoder.SetOutput(task, file, &output), 0) << encoder.LastErrMsg;
  encoder.StartTask(0);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_FALSE(notices[0].Finished);
  EXPECT_TRUE(notices[0].Exception);
  EXPECT_EQ(notices[0].ExceptionMsg, "Out of memory");
  const TProbedFile probe = ProbeFile(file); // raises without the trailer
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_GT(video->Packets, 5);
  EXPECT_LT(video->Packets, kRate * kSeconds);
  EXPECT_TRUE(video->DtsIncreasing);
}

} // namespace
