// Recordings from the capture device through the whole engine, as the
// recorder makes them: its input string with sound from ALSA's file plugin,
// its output strings, a stop in the middle, a pause, and a screen that
// stalls.
#include "AlsaTestConfig.h"
#include "CaptureDevice.h"
#include "CaptureTestSupport.h"
#include "GDICapture.h"
#include "LibAVOwners.h"
#include "MediaFiles.h"
#include "MediaProbe.h"
#include "RecorderStrings.h"
#include "SanitizedBuild.h"
#include "TaskRun.h"
#include "WaitUntil.h"
#include "XTestDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <memory>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr double kFrame = 1.0 / 15;
const char* const kInput = " -f gdicapture  -capture_offset 0,0 -capture_flags "
                           "+showframe+client-cursor  -s 320x240 -r 15 -ar 44100 -ac 2 "
                           "-sample_fmt s16 ";
// A loaded machine may starve the grab at the end of a recording: the
// pictures end early by what it could not take.
constexpr double kStarvedEnd = kSanitizedBuild ? 1.6 : 0.6;
// The most a sound encoder of the recorder's adds (vorbis' largest frame, or
// AAC's priming and its padded last frame): sample frames.
constexpr int kEncoderPadding = 2048;
// Rounding of the time stamps and the sample counts.
constexpr double kRounding = 2e-3;

// The wall time of a recording lies between the time from the device's open
// to the stop (Longest) and from its first grab to the stop (Shortest): the
// open itself takes a while on a busy machine.
struct TWall {
  double Longest;
  double Shortest;
};

// Whether a recording has a picture in every slot of its grid, or may leave
// slots as time (the loop fell behind the device, and a player holds the
// picture before the gap).
enum class TSlots { Every, MayLeaveGaps };

// Pictures on their grid, no two in one slot.
void ExpectOnTheGrid(const TProbedStream& AVideo) {
  std::vector<double> times = AVideo.PacketTimes; // in file order: reordered
  std::sort(times.begin(), times.end());
  for (size_t i = 0; i < times.size(); ++i) {
    const double slots = (times[i] - AVideo.FirstPts) / kFrame;
    EXPECT_NEAR(slots, std::round(slots), 0.05) << "picture " << i << " lies off the grid";
    if (i > 0) {
      EXPECT_GT(times[i] - times[i - 1], kFrame / 2)
          << "pictures " << i - 1 << " and " << i << " share a slot";
    }
  }
}

// Pictures without holes or extras, as long as the wall time; sound that
// ends with the pictures, within one of them (and what its encoder pads).
void ExpectRecordingOf(TWall AWall, const TProbedStream& AVideo, const TProbedStream& AAudio,
                       int ASampleRate = 44100, int APadding = kEncoderPadding,
                       TSlots ASlots = TSlots::Every, double AHeld = 0) {
  const double pictures = AVideo.EndPts - AVideo.FirstPts;
  if (ASlots == TSlots::Every) {
    EXPECT_NEAR(AVideo.Packets * kFrame, pictures, kFrame + 1e-3) << "a frame for every slot";
  } else {
    ExpectOnTheGrid(AVideo);
    EXPECT_GE(AVideo.Packets * kFrame, pictures - AHeld - kFrame)
        << "slots left as time only while the loop was held";
  }
  EXPECT_LE(pictures, AWall.Longest + 2 * kFrame);
  EXPECT_GE(pictures, AWall.Shortest - kStarvedEnd);
  const double sound = AAudio.Samples / static_cast<double>(ASampleRate);
  EXPECT_GE(sound, AVideo.EndPts - kFrame - kRounding) << "the sound to the end of the pictures";
  EXPECT_LE(sound,
            AVideo.EndPts + kFrame + APadding / static_cast<double>(ASampleRate) + kRounding);
}

double SecondsSince(TClock::time_point AStart) {
  return std::chrono::duration<double>(TClock::now() - AStart).count();
}

const TRecorderContainer& Container(const std::string& AExtension) {
  return *std::find_if(RecorderContainers().begin(), RecorderContainers().end(),
                       [&](const TRecorderContainer& c) { return c.Extension == AExtension; });
}

// For each decoded picture of AFile's video, whether its middle is red.
std::vector<bool> RedPictures(const std::string& AFile) {
  std::vector<bool> red;
  ForEachVideoPicture(AFile, [&](const AVFrame& AFrame) {
    EXPECT_EQ(AFrame.format, AV_PIX_FMT_YUV420P);
    // Red has a high V (Cr) and a low U (Cb); blue and green do not.
    const int u = AFrame.data[1][AFrame.linesize[1] * AFrame.height / 4 + AFrame.width / 4];
    const int v = AFrame.data[2][AFrame.linesize[2] * AFrame.height / 4 + AFrame.width / 4];
    red.push_back(v > 190 && u < 128);
  });
  return red;
}

// The right channel of AFile's stereo s16 sound, sample frame by sample
// frame: where the tone device's sound came from (ToneSample), or 0 where
// silence was put in.
std::vector<uint16_t> ToneNumbers(const std::string& AFile) {
  std::vector<uint16_t> numbers;
  AVFormatContext* raw = nullptr;
  if (AV.avformat_open_input(&raw, AFile.c_str(), nullptr, nullptr) < 0) return numbers;
  TInputContextPtr input(raw);
  if (AV.avformat_find_stream_info(raw, nullptr) < 0) return numbers;
  const int index = AV.av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return numbers;
  const AVCodecParameters* par = raw->streams[index]->codecpar;
  EXPECT_EQ(par->codec_id, AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(par->ch_layout.nb_channels, 2);
  TPacketPtr packet(AV.av_packet_alloc());
  while (AV.av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == index)
      for (int at = 2; at + 1 < packet->size; at += 4)
        numbers.push_back(static_cast<uint16_t>(packet->data[at] | packet->data[at + 1] << 8));
    AV.av_packet_unref(packet.get());
  }
  return numbers;
}

// The runs of consecutive tone numbers in ANumbers: [first, end) indices.
std::vector<std::pair<size_t, size_t>> ToneRuns(const std::vector<uint16_t>& ANumbers) {
  std::vector<std::pair<size_t, size_t>> runs;
  for (size_t i = 0; i < ANumbers.size(); ++i)
    if (runs.empty() || static_cast<uint16_t>(ANumbers[i - 1] + 1) != ANumbers[i])
      runs.emplace_back(i, i + 1);
    else
      runs.back().second = i + 1;
  return runs;
}

class RecordingRoad : public TCaptureTest {
protected:
  void SetUp() override {
    TCaptureTest::SetUp();
    Log = std::make_unique<TLogCapture>(); // once the libraries are loaded
  }
  void TearDown() override {
    if (HasFailure() && Log) std::printf("%s\n", Log->Text().c_str());
  }
  // Starts ARun and waits until it reads the device's first packet (the
  // device grabs from its first read on); answers when that was.
  TClock::time_point StartRecording(TTaskRun& ARun) {
    ARun.Start();
    EXPECT_TRUE(WaitUntil([&] { return Log->Contains("PACKET SIZE"); },
                          TWaitMode::ServiceMainThread, std::chrono::seconds(60)));
    return TClock::now();
  }
  // Records into AFile for ATime, then stops; answers the wall time.
  TWall Record(TTaskRun& ARun, const std::string& AFile, const std::string& AInput,
               const std::string& AOptions, std::chrono::milliseconds ATime) {
    const auto opening = TClock::now();
    EXPECT_TRUE(ARun.Add("video=0:audio=-1", AInput, AFile, AOptions)) << ARun.Error;
    const auto opened = StartRecording(ARun);
    TTaskRun::Serve(ATime - std::chrono::duration_cast<std::chrono::milliseconds>(
                                TClock::now() - opening));
    const TWall wall{SecondsSince(opening), SecondsSince(opened)};
    ARun.Encoder.Stop(true);
    EXPECT_TRUE(ARun.WaitForEnd());
    return wall;
  }
  TTempFolder Folder;
  std::unique_ptr<TLogCapture> Log;
};

TEST_F(RecordingRoad, AStoppedRecordingIsPlayableAndAsLongAsItsWallTime) {
  for (const char* extension : {"mp4", "mkv"}) {
    SCOPED_TRACE(extension);
    const std::string file = Folder.File(std::string("road.") + extension);
    TTaskRun run;
    const TWall wall = Record(run, file, kInput, Container(extension).Options, 3000ms);
    ASSERT_EQ(run.Notices.size(), 2u);
    EXPECT_FALSE(run.Notices[0].Finished) << "stopped, not run to its end";
    EXPECT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;
    const TProbedFile probe = ProbeFile(file);
    const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->Width, 320);
    EXPECT_EQ(video->Height, 240);
    ExpectRecordingOf(wall, *video, *audio);
    EXPECT_TRUE(video->DtsIncreasing && audio->DtsIncreasing);
  }
}

TEST_F(RecordingRoad, APauseIsCutOutOfPictureAndSoundAlike) {
  TXTestDisplay display;
  TColourWindow screen(display, 0, 0, 320, 240, {0, 0, 255});
  for (const char* extension : {"mp4", "mkv"}) {
    SCOPED_TRACE(extension);
    screen.Fill({0, 0, 255});
    const std::string file = Folder.File(std::string("paused.") + extension);
    TTaskRun run;
    const auto opening = TClock::now();
    ASSERT_TRUE(run.Add("video=0:audio=-1", kInput, file, Container(extension).Options))
        << run.Error;
    const auto opened = StartRecording(run);
    TTaskRun::Serve(2000ms);
    run.Encoder.Pause();
    const auto paused = TClock::now();
    // What the screen shows while paused must not be recorded.
    screen.Fill({255, 0, 0});
    TTaskRun::Serve(1800ms);
    screen.Fill({0, 255, 0});
    TTaskRun::Serve(200ms);
    run.Encoder.Resume();
    const auto resumed = TClock::now();
    TTaskRun::Serve(2000ms);
    const double pausedFor = std::chrono::duration<double>(resumed - paused).count();
    const TWall wall{SecondsSince(opening) - pausedFor, SecondsSince(opened) - pausedFor};
    run.Encoder.Stop(true);
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;

    const TProbedFile probe = ProbeFile(file);
    const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(video && audio);
    ExpectRecordingOf(wall, *video, *audio);
    const std::vector<bool> red = RedPictures(file);
    EXPECT_EQ(std::count(red.begin(), red.end(), true), 0) << "pictures from the paused time";
    EXPECT_EQ(static_cast<int64_t>(red.size()), video->Packets);
  }
}

// The window offers Stop while paused: the file ends where the pause began,
// its picture and sound alike, without the paused time held at its end.
TEST_F(RecordingRoad, AStopWhilePausedEndsTheFileWhereThePauseBegan) {
  for (const char* extension : {"mp4", "mkv"}) {
    SCOPED_TRACE(extension);
    const std::string file = Folder.File(std::string("stopped-paused.") + extension);
    TTaskRun run;
    const auto opening = TClock::now();
    ASSERT_TRUE(run.Add("video=0:audio=-1", kInput, file, Container(extension).Options))
        << run.Error;
    const auto opened = StartRecording(run);
    TTaskRun::Serve(1500ms);
    run.Encoder.Pause();
    const TWall wall{SecondsSince(opening), SecondsSince(opened)};
    TTaskRun::Serve(1500ms);
    run.Encoder.Stop(true);
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;
    const TProbedFile probe = ProbeFile(file);
    const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(video && audio);
    ExpectRecordingOf(wall, *video, *audio);
  }
}

// Every sample rate and channel count the recorder offers, in PCM so that
// each sample counts: the part of the wave buffer being filled at the stop
// (at 8000 Hz mono a buffer holds 4 s, the whole recording) is recorded.
TEST_F(RecordingRoad, SoundEndsWithThePicturesAtEverySampleRateAndChannelCount) {
  for (const int rate : {44100, 32000, 22050, 11025, 8000})
    for (const int channels : {1, 2}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
      const std::string file = Folder.File("rates.avi");
      const std::string sound = " -ar " + std::to_string(rate) + " -ac " + std::to_string(channels);
      std::string input = kInput;
      input.replace(input.find(" -ar 44100 -ac 2"), 16, sound);
      TTaskRun run;
      const TWall wall =
          Record(run, file, input,
                 std::string(Container("avi").Options) + sound + " -c:a pcm_s16le", 800ms);
      ASSERT_EQ(run.Notices.size(), 2u);
      EXPECT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;
      const TProbedFile probe = ProbeFile(file);
      const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
      const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
      ASSERT_TRUE(video && audio);
      ExpectRecordingOf(wall, *video, *audio, rate, 0);
    }
}

// PCM sound from the tone device, whose every sample says where it was
// taken: the pause leaves one jump in the numbers, as long as the pause.
TEST_F(RecordingRoad, APauseCutsTheSoundSampleBySampleAtThePicturesSpan) {
  const std::string file = Folder.File("tone.mkv");
  TTaskRun run;
  ASSERT_TRUE(run.Add("video=0:audio=-1", kInput, file,
                      std::string(Container("mkv").Options) + " -c:a pcm_s16le"))
      << run.Error;
  StartRecording(run);
  TTaskRun::Serve(1000ms);
  run.Encoder.Pause();
  const auto paused = TClock::now();
  TTaskRun::Serve(700ms);
  run.Encoder.Resume();
  const auto resumed = TClock::now();
  TTaskRun::Serve(1000ms);
  run.Encoder.Stop(true);
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;

  const std::vector<uint16_t> numbers = ToneNumbers(file);
  std::vector<std::pair<size_t, size_t>> runs = ToneRuns(numbers);
  // Silence may stand before the first sample the device kept.
  if (!runs.empty() && numbers[runs.front().first] == 0 &&
      runs.front().second - runs.front().first < 2)
    runs.erase(runs.begin());
  ASSERT_EQ(runs.size(), 2u) << "one jump, at the pause";
  const double frame = 44100 * kFrame;
  const double pausedFor = std::chrono::duration<double>(resumed - paused).count() * 44100;
  const uint16_t jump = numbers[runs[1].first] - numbers[runs[1].first - 1] - 1;
  EXPECT_NEAR(jump, pausedFor, frame) << "the samples of the pause, and only those, are gone";
  // Both kept parts are written whole, and the sound ends with the pictures.
  EXPECT_EQ(runs[1].second, numbers.size());
  const TProbedFile probe = ProbeFile(file);
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_NEAR(numbers.size() / 44100.0, video->EndPts, kFrame) << "picture and sound lose alike";
}

// Holds the thread that reads the device once, for 1.5 s, at the next packet
// it logs after being armed.
struct THeldReader {
  static inline std::atomic<bool> Armed{false}, Holding{false};
  static void Log(void*, int, const char* AFormat, va_list) {
    if (!std::strstr(AFormat, "PACKET SIZE") || !Armed.exchange(false)) return;
    Holding = true;
    std::this_thread::sleep_for(1500ms);
  }
};

// A sound device that fails for good about a second in ends the recording
// with its error, and the mp4 written so far plays: its trailer (the index
// without which nothing of it reads) is written on this ending too.
TEST_F(RecordingRoad, ADeviceThatFailsMidwayLeavesAnMp4ThatPlaysUpToTheFailure) {
  TFailingSoundDevice failing;
  const std::string file = Folder.File("failed.mp4");
  TTaskRun run;
  ASSERT_TRUE(run.Add("video=0:audio=-1", kInput, file, Container("mp4").Options)) << run.Error;
  const auto opened = StartRecording(run);
  ASSERT_TRUE(run.WaitForEnd());
  const double recorded = SecondsSince(opened);
  ASSERT_EQ(run.Notices.size(), 2u);
  EXPECT_FALSE(run.Notices[0].Finished);
  EXPECT_TRUE(run.Notices[0].Exception);
  EXPECT_NE(run.Notices[0].ExceptionMsg.find("Input/output error"), std::string::npos)
      << run.Notices[0].ExceptionMsg;
  const TProbedFile probe = ProbeFile(file);
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  EXPECT_GE(video->EndPts, 0.8) << "the device failed after about a second";
  EXPECT_LE(video->EndPts, recorded + kFrame);
  EXPECT_NEAR(video->Packets * kFrame, video->EndPts, kFrame + 1e-3) << "a frame for every slot";
  EXPECT_GT(audio->Samples, 0);
  int pictures = 0;
  ForEachVideoPicture(file, [&](const AVFrame&) { ++pictures; });
  EXPECT_EQ(pictures, video->Packets) << "every picture decodes";
}

// The device's time zero (its first grab) on the libraries' clock, read
// while the recording runs.
int64_t DeviceStartTime(TTaskRun& ARun) {
  const auto& context = *static_cast<const TGdiCaptureContext*>(
      ARun.Encoder.Task(0)->InputFiles[0]->Context->priv_data);
  return context.Device->StartTime;
}

TEST_F(RecordingRoad, AStopThatTheLoopNoticesLateKeepsAllTakenBeforeItAndNothingAfter) {
  // The device goes on grabbing while the loop is held; the stop comes in
  // the middle of that hold, with the device's queue holding pictures and
  // sound that belong to the recording.
  const std::string file = Folder.File("late.mkv");
  TTaskRun run;
  const auto opening = TClock::now();
  ASSERT_TRUE(run.Add("video=0:audio=-1", kInput, file,
                      std::string(Container("mkv").Options) + " -c:a pcm_s16le"))
      << run.Error;
  const auto opened = StartRecording(run);
  const int64_t started = DeviceStartTime(run);
  TTaskRun::Serve(1000ms);
  AV.av_log_set_callback(THeldReader::Log);
  THeldReader::Armed = true;
  while (!THeldReader::Holding)
    TTaskRun::Serve(5ms);
  const auto held = TClock::now();
  TTaskRun::Serve(700ms);
  const TWall wall{SecondsSince(opening), SecondsSince(opened)};
  const double heldFor = SecondsSince(held);
  run.Encoder.Stop(false);
  ASSERT_TRUE(run.WaitForEnd());
  const double stop = (run.Encoder.Task(0)->StopRequestTime() - started) / 1e6;
  const TProbedFile probe = ProbeFile(file);
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  // The held loop ends up behind the device: it leaves the copies that
  // would fill the slots the device could not queue as time.
  ExpectRecordingOf(wall, *video, *audio, 44100, 0, TSlots::MayLeaveGaps, heldFor);
  // The last picture taken before the stop is there, and none after it; the
  // sound ends at the stop. The engine places the device's time on its
  // clock by the packet it read soonest after it was taken, a few
  // milliseconds late.
  const double placing = kSanitizedBuild ? 0.03 : 0.015;
  EXPECT_GT(video->EndPts, stop - placing);
  EXPECT_LE(video->EndPts, stop + kFrame + kRounding);
  EXPECT_NEAR(audio->Samples / 44100.0, stop, placing);
}

TEST_F(RecordingRoad, AScreenThatStallsLeavesPictureAndSoundAsLongAsTheWallTime) {
  const std::string file = Folder.File("stalled.mkv");
  TTaskRun run;
  const auto opening = TClock::now();
  ASSERT_TRUE(run.Add("video=0:audio=-1", kInput, file, Container("mkv").Options)) << run.Error;
  const auto opened = StartRecording(run);
  TTaskRun::Serve(1000ms);
  {
    TXvfbStall stall(*FXvfb); // no picture can be taken meanwhile
    TTaskRun::Serve(700ms);
  }
  TTaskRun::Serve(1300ms);
  const TWall wall{SecondsSince(opening), SecondsSince(opened)};
  run.Encoder.Stop(true);
  ASSERT_TRUE(run.WaitForEnd());
  const int64_t dups = run.Encoder.Task(0)->DupFrames;
  const TProbedFile probe = ProbeFile(file);
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  ExpectRecordingOf(wall, *video, *audio);
  EXPECT_GE(dups, 7) << "the pictures the stall held back are filled in";
}

} // namespace
