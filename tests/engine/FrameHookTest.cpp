// The encoder's hooks on whole runs: what a video hook draws reaches the
// file, StopHook and a failing handler, the output hook's numbering, the
// preview's rate, the hook depths, and the sound the audio hooks see.
#include "Bitmap.h"
#include "DecodedPictures.h"
#include "LibAVForTests.h"
#include "LogCapture.h"
#include "LoggedTest.h"
#include "MediaFiles.h"
#include "RecorderStrings.h"
#include "TaskRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace {

constexpr int kRate = 15, kSeconds = 1, kFrames = kRate * kSeconds;
// The block the handlers paint, and a point well inside it.
constexpr int kBlock = 16, kBlockSize = 48, kProbe = kBlock + kBlockSize / 2;

// Paints the block red in the bitmap's own pixel layout.
void PaintRed(TBitmap& ABitmap) {
  for (int y = kBlock; y < kBlock + kBlockSize; ++y) {
    uint8_t* row = ABitmap.ScanLine(y);
    for (int x = kBlock; x < kBlock + kBlockSize; ++x)
      switch (ABitmap.BitsPerPixel()) {
      case 8:
        row[x] = 0x07;
        break; // 3:3:2 with red in the low bits
      case 15:
        row[2 * x] = 0x00, row[2 * x + 1] = 0x7C;
        break;
      case 16:
        row[2 * x] = 0x00, row[2 * x + 1] = 0xF8;
        break;
      case 24:
        row[3 * x] = 0, row[3 * x + 1] = 0, row[3 * x + 2] = 255;
        break;
      default:
        row[4 * x] = 0, row[4 * x + 1] = 0, row[4 * x + 2] = 255, row[4 * x + 3] = 255;
      }
  }
}

// The capture-shaped source in plain grey, so that red is only what a hook
// painted.
std::string GreySource(int AWidth, int AHeight, const char* APixFmt, int ARate, int ASeconds) {
  std::string graph = LavfiCaptureLike(AWidth, AHeight, APixFmt, ARate, false, ASeconds);
  graph.replace(graph.find("testsrc2="), 9, "color=c=gray:");
  return graph;
}

bool IsRed(const TDecodedPicture& APicture) {
  return APicture.Near(kProbe, kProbe, 255, 0, 0);
}

class FrameHooks : public TLoggedTest {
protected:
  // One run of a capture-shaped source into AExtension with the recorder's
  // string; the pictures of the file.
  std::vector<TDecodedPicture> Record(TTaskRun& ARun, const TOutputOptions& ARecord,
                                      size_t AContainer = 4, const char* AFormat = "bgr0") {
    const TRecorderContainer& c = RecorderContainers()[AContainer];
    const std::string file = Folder.File(std::string("hooked.") + c.Extension);
    EXPECT_TRUE(ARun.Add(GreySource(320, 240, AFormat, kRate, kSeconds), "-f lavfi -r 15", file,
                         c.Options, &ARecord))
        << ARun.Error;
    ARun.Start();
    EXPECT_TRUE(ARun.WaitForEnd());
    EXPECT_EQ(ARun.Notices.size(), 2u);
    if (!ARun.Notices.empty()) {
      EXPECT_FALSE(ARun.Notices[0].Exception) << ARun.Notices[0].ExceptionMsg;
    }
    return DecodePictures(file);
  }
  static TOutputOptions Switches(bool AInput, bool AOutput = false) {
    TOutputOptions record;
    TFFEncoder::InitOutputOptions(record);
    record.VideoInputHook = AInput;
    record.VideoOutputHook = AOutput;
    return record;
  }
  TTempFolder Folder;
};

TEST_F(FrameHooks, AnInputHookDrawingReachesMp4AndMkv) {
  for (size_t container : {size_t{0}, size_t{4}}) {
    SCOPED_TRACE(RecorderContainers()[container].Extension);
    TTaskRun run;
    std::vector<int> numbers;
    run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo AInfo) {
      numbers.push_back(AInfo->FrameNumber);
      EXPECT_TRUE(AInfo->Update);
      EXPECT_FALSE(AInfo->StopHook);
      PaintRed(*AInfo->Bitmap);
    };
    const auto pictures = Record(run, Switches(true), container);
    ASSERT_EQ(pictures.size(), static_cast<size_t>(kFrames));
    for (size_t i = 0; i < pictures.size(); ++i)
      EXPECT_TRUE(IsRed(pictures[i])) << "picture " << i;
    EXPECT_FALSE(pictures[0].Near(kBlock + kBlockSize + 40, kProbe, 255, 0, 0))
        << "only the block is painted";
    ASSERT_EQ(numbers.size(), static_cast<size_t>(kFrames));
    for (size_t i = 0; i < numbers.size(); ++i)
      EXPECT_EQ(numbers[i], static_cast<int>(i) + 1);
  }
}

TEST_F(FrameHooks, DrawingOnPicturesThatNeedAConversionReachesTheFile) {
  // An odd width (its rows are padded) and a planar source go through the
  // converter's own picture and must still come back.
  for (const char* format : {"yuv420p", "bgra"}) {
    SCOPED_TRACE(format);
    const std::string file = Folder.File(std::string("converted_") + format + ".mkv");
    TTaskRun run;
    run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo AInfo) {
      PaintRed(*AInfo->Bitmap);
    };
    const TOutputOptions record = Switches(true);
    ASSERT_TRUE(run.Add(
        GreySource(std::string(format) == "bgra" ? 317 : 320, 240, format, kRate, kSeconds),
        "-f lavfi -r 15", file, WithSize(RecorderContainers()[4].Options, 320, 240), &record))
        << run.Error;
    run.Start();
    ASSERT_TRUE(run.WaitForEnd());
    const auto pictures = DecodePictures(file);
    ASSERT_FALSE(pictures.empty());
    for (size_t i = 0; i < pictures.size(); ++i)
      EXPECT_TRUE(IsRed(pictures[i])) << "picture " << i;
  }
}

TEST_F(FrameHooks, StopHookEndsTheCallsAndKeepsThatFramesDrawing) {
  TTaskRun run;
  int calls = 0;
  run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo AInfo) {
    ++calls;
    PaintRed(*AInfo->Bitmap);
    if (AInfo->FrameNumber == 3) AInfo->StopHook = true;
  };
  const auto pictures = Record(run, Switches(true));
  EXPECT_EQ(calls, 3);
  ASSERT_EQ(pictures.size(), static_cast<size_t>(kFrames));
  for (size_t i = 0; i < pictures.size(); ++i)
    EXPECT_EQ(IsRed(pictures[i]), i < 3) << "picture " << i;
}

TEST_F(FrameHooks, AFailingHandlerLeavesThatFrameAsItWasAndTheRunGoesOn) {
  TTaskRun run;
  run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo AInfo) {
    PaintRed(*AInfo->Bitmap);
    if (AInfo->FrameNumber == 2) throw std::runtime_error("no ink");
  };
  const auto pictures = Record(run, Switches(true));
  ASSERT_EQ(pictures.size(), static_cast<size_t>(kFrames));
  for (size_t i = 0; i < pictures.size(); ++i)
    EXPECT_EQ(IsRed(pictures[i]), i != 1) << "picture " << i;
  EXPECT_EQ(Log.Count("Error occurs VideoHook event: no ink"), 1);
  EXPECT_TRUE(run.Notices[0].Finished);
}

TEST_F(FrameHooks, AHandlerThatLeavesUpdateFalseChangesNothing) {
  TTaskRun run;
  run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo AInfo) {
    PaintRed(*AInfo->Bitmap);
    AInfo->Update = false;
  };
  const auto pictures = Record(run, Switches(true));
  ASSERT_EQ(pictures.size(), static_cast<size_t>(kFrames));
  for (const auto& picture : pictures)
    EXPECT_FALSE(IsRed(picture));
}

TEST_F(FrameHooks, TheOutputHookCountsFromOneAndItsDrawingIsEncoded) {
  TTaskRun run;
  std::vector<int> numbers;
  std::vector<int64_t> times;
  run.Encoder.OnVideoOutputHook = [&](TCustomEncoder*, PHookInfo AInfo) {
    numbers.push_back(AInfo->FrameNumber);
    times.push_back(AInfo->PTS);
    PaintRed(*AInfo->Bitmap);
  };
  const auto pictures = Record(run, Switches(false, true));
  ASSERT_EQ(numbers.size(), static_cast<size_t>(kFrames));
  for (size_t i = 0; i < numbers.size(); ++i) {
    EXPECT_EQ(numbers[i], static_cast<int>(i) + 1);
    if (i > 0) {
      EXPECT_NEAR(static_cast<double>(times[i] - times[i - 1]), 1e6 / kRate, 1000);
    }
  }
  ASSERT_EQ(pictures.size(), static_cast<size_t>(kFrames));
  for (size_t i = 0; i < pictures.size(); ++i)
    EXPECT_TRUE(IsRed(pictures[i])) << "picture " << i;
}

// Each depth gives bitmaps of that depth, and a drawing in its own layout
// reaches the file.
class HookDepths : public FrameHooks, public testing::WithParamInterface<int> {};

TEST_P(HookDepths, GiveBitmapsOfThatDepthWhoseDrawingIsKept) {
  TTaskRun run;
  std::vector<int> depths;
  run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo AInfo) {
    depths.push_back(AInfo->Bitmap->BitsPerPixel());
    EXPECT_EQ(AInfo->Bitmap->Width(), 320);
    EXPECT_EQ(AInfo->Bitmap->Height(), 240);
    PaintRed(*AInfo->Bitmap);
  };
  TOutputOptions record = Switches(true);
  record.VideoHookBitsPixel = GetParam();
  const auto pictures = Record(run, record);
  ASSERT_EQ(depths.size(), static_cast<size_t>(kFrames));
  for (int depth : depths)
    EXPECT_EQ(depth, GetParam());
  ASSERT_FALSE(pictures.empty());
  EXPECT_TRUE(IsRed(pictures[0]));
  EXPECT_TRUE(IsRed(pictures.back()));
}

INSTANTIATE_TEST_SUITE_P(Depths, HookDepths, testing::Values(8, 15, 16, 24, 32));

TEST_F(FrameHooks, PreviewBitmapsComeAtMostOncePerIntervalFromTheFirstFrame) {
  TTaskRun run;
  run.Encoder.TriggerEventInMainThread = false; // timed where the task decides
  run.Encoder.SetPreviewBitmap(true);
  std::mutex lock;
  std::vector<std::chrono::steady_clock::time_point> when;
  std::vector<int> numbers;
  run.Encoder.OnPreviewBitmap = [&](TCustomEncoder*, const TPreviewInfo& AInfo) {
    std::lock_guard guard(lock);
    when.push_back(std::chrono::steady_clock::now());
    numbers.push_back(AInfo.FrameNumber);
    EXPECT_EQ(AInfo.Bitmap->Width(), 320);
    EXPECT_EQ(AInfo.Bitmap->BitsPerPixel(), 32);
  };
  const std::string file = Folder.File("preview.mkv");
  // Real time at 30 frames a second for 2 s: three frames per interval.
  ASSERT_TRUE(run.Add(LavfiCaptureLike(320, 240, "bgr0", 30, false, 2), "-f lavfi -re -r 30", file,
                      RecorderContainers()[4].Options))
      << run.Error;
  run.Encoder.SetPreviewBitmap(true);
  const double interval = static_cast<double>(run.Encoder.Task(0)->PreviewInterval) / 1e6;
  const auto started = std::chrono::steady_clock::now();
  run.Start();
  ASSERT_TRUE(run.WaitForEnd());
  // A loaded or sanitized run falls behind real time and so takes more
  // intervals than the source's 2 s: the bounds follow the run's own length.
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::lock_guard guard(lock);
  ASSERT_GE(numbers.size(), 5u);
  EXPECT_EQ(numbers[0], 1) << "the first frame is shown at once";
  EXPECT_LE(static_cast<double>(numbers.size()), seconds / interval + 1.0)
      << "not every frame: a run of " << seconds << " s";
  // The task decides before it converts; the handler's clock sees the
  // conversion's jitter on a loaded machine (the first conversion also
  // makes the scaler and the bitmap), so single gaps may be shorter. Two
  // intervals apart still tell a preview per interval from one per frame
  // (67 ms at 30 fps).
  const auto span = when.back() - when.front();
  EXPECT_LE(static_cast<double>(when.size() - 1),
            std::chrono::duration<double>(span).count() / interval + 1.0);
  for (size_t i = 3; i < when.size(); ++i)
    EXPECT_GE(when[i] - when[i - 2], std::chrono::milliseconds(110))
        << "events " << i - 2 << ", " << i;
}

TEST_F(FrameHooks, WithoutAWindowThePreviewFlagShowsNothingAndSaysSoOnce) {
  TTaskRun run;
  run.Encoder.SetPreview(true);
  const std::string file = Folder.File("window.mkv");
  ASSERT_TRUE(run.Add(LavfiCaptureLike(320, 240, "bgr0", kRate, false, kSeconds), "-f lavfi -r 15",
                      file, RecorderContainers()[4].Options))
      << run.Error;
  run.Encoder.SetPreview(true);
  run.Start();
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_EQ(Log.Count("no preview window in this program: the preview shows nothing"), 1);
  EXPECT_TRUE(run.Notices[0].Finished);
}

TEST_F(FrameHooks, AudioHooksGetEveryChannelPackedAndTheirChangesAreKept) {
  // Left at +0.5, right at -0.5, decoded as planar floats; the input hook
  // halves both, and the output hook sees what it made.
  const std::string graph =
      "aevalsrc=0.5|-0.5:s=44100:d=1:c=stereo,aformat=sample_fmts=fltp,asettb=AVTB[out0]";
  const std::string file = Folder.File("sound.mkv");
  TTaskRun run;
  struct TSeen {
    int Calls = 0;
    bool Packed = true, Interleaved = true, SizeRight = true;
  } input, output;
  auto check = [](TSeen& ASeen, float ALevel, uint8_t* ASample, int ASize, int AChannels,
                  AVSampleFormat AFormat) {
    ++ASeen.Calls;
    ASeen.Packed = ASeen.Packed && AFormat == AV_SAMPLE_FMT_FLT && AChannels == 2;
    ASeen.SizeRight = ASeen.SizeRight && ASize > 0 && ASize % 8 == 0;
    const auto* samples = reinterpret_cast<const float*>(ASample);
    for (int i = 0; i + 1 < ASize / 4; i += 2)
      if (std::abs(samples[i] - ALevel) > 0.05f || std::abs(samples[i + 1] + ALevel) > 0.05f)
        ASeen.Interleaved = false;
  };
  run.Encoder.OnAudioInputHook = [&](TCustomEncoder*, int, int64_t, uint8_t* ASample, int ASize,
                                     int ARate, int AChannels, AVSampleFormat AFormat) {
    EXPECT_EQ(ARate, 44100);
    check(input, 0.5f, ASample, ASize, AChannels, AFormat);
    auto* samples = reinterpret_cast<float*>(ASample);
    for (int i = 0; i < ASize / 4; ++i)
      samples[i] /= 2;
  };
  run.Encoder.OnAudioOutputHook = [&](TCustomEncoder*, int, int64_t, uint8_t* ASample, int ASize,
                                      int, int AChannels, AVSampleFormat AFormat) {
    check(output, 0.25f, ASample, ASize, AChannels, AFormat);
  };
  TOutputOptions record;
  TFFEncoder::InitOutputOptions(record);
  record.AudioInputHook = record.AudioOutputHook = true;
  ASSERT_TRUE(run.Add(graph, "-f lavfi", file, " -c:a libvorbis -ac 2 ", &record)) << run.Error;
  run.Start();
  ASSERT_TRUE(run.WaitForEnd());
  for (const TSeen* seen : {&input, &output}) {
    SCOPED_TRACE(seen == &input ? "input" : "output");
    EXPECT_GT(seen->Calls, 5);
    EXPECT_TRUE(seen->Packed);
    EXPECT_TRUE(seen->SizeRight);
    EXPECT_TRUE(seen->Interleaved);
  }
}

} // namespace
