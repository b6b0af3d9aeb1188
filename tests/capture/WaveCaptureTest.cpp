// Sound through real ALSA (the test configuration's tone device): packet
// sizes, stamps paced by the device's clock, the samples themselves, sound
// around the first frame, and a system without recording devices.
#include "AlsaTestConfig.h"
#include "CaptureTestSupport.h"
#include "SanitizedBuild.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// 16384 stereo s16 frames at 44100 Hz.
constexpr int64_t kBufferMicroseconds = 16384 * int64_t{1000000} / kToneRate;

class WaveCaptureTest : public TCaptureTest {};

struct TSizeCase {
  const char* Label;
  TOptionList Options;
  int PacketSize;
};
void PrintTo(const TSizeCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class WavePacketSizeTest : public WaveCaptureTest,
                           public ::testing::WithParamInterface<TSizeCase> {};

TEST_P(WavePacketSizeTest, IsTheBufferSizeInWholeSampleFrames) {
  const TSizeCase& c = GetParam();
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("audio=-1", c.Options), 0) << log.Text();
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
  EXPECT_EQ(packet->size, c.PacketSize);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WavePacketSizeTest,
    ::testing::Values(TSizeCase{"Default", {}, 65536},
                      TSizeCase{"PartFrameCutOff", {{"wavebufsize", "65535"}}, 65532},
                      TSizeCase{"ZeroIsDefault", {{"wavebufsize", "0"}}, 65536},
                      TSizeCase{"MonoS16", {{"channels", "1"}, {"wavebufsize", "1001"}}, 1000},
                      TSizeCase{"MonoU8",
                                {{"channels", "1"},
                                 {"sample_fmt", "u8"},
                                 {"sample_rate", "8000"},
                                 {"wavebufsize", "4000"}},
                                4000}),
    [](const auto& AInfo) { return std::string(AInfo.param.Label); });

TEST_F(WaveCaptureTest, PacketsArePacedByTheClockAndCarryTheTone) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("audio=-1", {}), 0) << log.Text();
  std::vector<int64_t> stamps, offsets;
  std::vector<steady_clock::time_point> arrivals;
  TPacketPtr packet;
  while (stamps.size() < 4 && input.NextPacket(0, packet)) {
    arrivals.push_back(steady_clock::now());
    stamps.push_back(packet->pts);
    offsets.push_back(FindInTone(packet->data, packet->size));
  }
  ASSERT_EQ(stamps.size(), 4u) << log.Text();
  // Without video, the first buffer kept defines time zero.
  EXPECT_EQ(stamps[0], 0);
  ASSERT_GE(offsets[0], 0) << "the samples are the tone's";
  EXPECT_EQ(offsets[0] % 16384, 0);
  // Time zero is the delivery of the first packet kept, which a loaded
  // machine may make late; a PCM read without pacing would deliver all at once.
  constexpr int64_t kLateness = 200000;
  for (size_t k = 1; k < stamps.size(); ++k) {
    EXPECT_EQ(offsets[k], offsets[0] + static_cast<int64_t>(k) * 16384) << "packet " << k;
    EXPECT_GE(stamps[k], static_cast<int64_t>(k) * kBufferMicroseconds - kLateness)
        << "packet " << k;
    EXPECT_LT(stamps[k], static_cast<int64_t>(k) * kBufferMicroseconds + 1000000);
  }
  EXPECT_GE(arrivals[3] - arrivals[0], milliseconds((3 * kBufferMicroseconds - kLateness) / 1000));
}

// Time zero is the start of the first frame's grab: what was recorded
// before it is dropped, and what comes while a slow grab is under way is
// kept, so the sound has no hole at its start.
TEST_F(WaveCaptureTest, SoundIsKeptFromTheStartOfTheFirstGrab) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("video=0:audio=-1",
                       {{"video_size", "64x48"}, {"capture_flags", "0"}, {"framerate", "25"}},
                       AVFMT_FLAG_NONBLOCK),
            0)
      << log.Text();
  // Before the first read nothing is kept.
  SleepFor(milliseconds(800));
  {
    // The first grab cannot end while the server stands still, but the
    // sound keeps coming.
    TXvfbStall stall(*FXvfb);
    TPacketPtr packet = NewPacket();
    EXPECT_EQ(input.ReadPacket(packet.get()), AVERROR(EAGAIN));
    SleepFor(milliseconds(1200));
  }
  // In the order they were queued: the stall's sound comes before the frame.
  std::vector<int64_t> frames, stamps, offsets, sizes;
  TPacketPtr packet = NewPacket();
  const auto end = steady_clock::now() + std::chrono::seconds(5);
  while ((frames.empty() || stamps.size() < 4) && steady_clock::now() < end) {
    const int result = input.ReadPacket(packet.get());
    if (result == AVERROR(EAGAIN)) {
      SleepFor(milliseconds(2));
      continue;
    }
    ASSERT_GE(result, 0) << log.Text();
    if (packet->stream_index == 0) {
      frames.push_back(packet->pts);
    } else {
      stamps.push_back(packet->pts);
      offsets.push_back(FindInTone(packet->data, packet->size));
      sizes.push_back(packet->size);
    }
    AV.av_packet_unref(packet.get());
  }
  ASSERT_FALSE(frames.empty()) << log.Text();
  EXPECT_EQ(frames[0], 0);
  ASSERT_EQ(stamps.size(), 4u) << log.Text();
  // The first buffer kept is cut at the first grab's start, and is stamped
  // with it, give or take the reader thread's lateness (a stamp at the end
  // of the buffer's span would be 93 ms late).
  EXPECT_GE(stamps[0], 0);
  EXPECT_LT(stamps[0], kSanitizedBuild ? 80000 : 30000);
  // The buffers of the wait before the first read went (two in 800 ms);
  // those of the stall, three more, are there.
  EXPECT_GE(offsets[0], 2 * 16384);
  EXPECT_LE(offsets[0], 3 * 16384) << "the sound of the stall is there";
  // No sample is lost or doubled, and each packet's stamp is when its first
  // sample was taken (the reader's lateness aside).
  for (size_t k = 1; k < offsets.size(); ++k) {
    EXPECT_EQ(offsets[k], offsets[k - 1] + sizes[k - 1] / 4) << "packet " << k;
    EXPECT_NEAR(static_cast<double>(stamps[k] - stamps[0]),
                (offsets[k] - offsets[0]) * 1e6 / kToneRate, 200000)
        << "packet " << k;
  }
}

// A reader that pauses (a stopped recording) gets the part of the buffer
// recorded until then at once, following the last full one without a gap,
// and no sound after it.
TEST_F(WaveCaptureTest, APausedReadHandsOverThePartOfTheBufferRecordedSoFar) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("audio=-1", {}), 0) << log.Text();
  TPacketPtr full;
  ASSERT_TRUE(input.NextPacket(0, full)) << log.Text();
  const auto delivered = steady_clock::now();
  SleepFor(milliseconds(150));
  const auto pausedAt = steady_clock::now();
  ASSERT_EQ(AV.av_read_pause(input.Get()), 0);
  const auto paused = steady_clock::now();
  TPacketPtr part = NewPacket();
  ASSERT_GT(input.ReadPacket(part.get()), 0) << "queued before the pause returned";
  EXPECT_EQ(part->stream_index, 0);

  // What the reader took since the full buffer, to the pause.
  const double since = std::chrono::duration<double>(pausedAt - delivered).count();
  const double until = std::chrono::duration<double>(paused - delivered).count();
  const double lateness = kSanitizedBuild ? 0.08 : 0.03;
  const double seconds = part->size / 4 / double(kToneRate);
  EXPECT_GT(seconds, since - lateness);
  EXPECT_LT(seconds, until + lateness);
  EXPECT_LT(part->size, full->size);
  EXPECT_EQ(FindInTone(part->data, part->size), FindInTone(full->data, full->size) + full->size / 4)
      << "no sample lost or doubled";
  EXPECT_NEAR(static_cast<double>(part->pts - full->pts), kBufferMicroseconds, lateness * 1000000);

  SleepFor(milliseconds(500));
  EXPECT_EQ(input.Drain(), 0) << "nothing recorded after the pause";
}

TEST_F(WaveCaptureTest, NoRecordingDeviceFailsTheOpen) {
  TNoSoundDevices none;
  auto openFails = [](const char* name) {
    TLogCapture log;
    TCaptureInput input;
    EXPECT_EQ(input.Open(name, {{"capture_flags", "+showframe"}}), AVERROR(EIO)) << name;
    EXPECT_TRUE(log.Contains("No wave audio recording devices found.")) << log.Text();
  };
  // A first open lets the libraries and the sanitizers start what they keep
  // for the whole process; only what the later opens leave counts.
  openFails("video=0:audio=-1");
  const TResourceCounts before = CountResources();
  for (const char* name : {"audio=-1", "video=0:audio=-1", "audio=0"})
    openFails(name);
  EXPECT_EQ(CountResources(), before);
}

// A recording device that fails for good ends the input with -5, so the
// recording stops with an error rather than go on without its sound.
TEST_F(WaveCaptureTest, ADeviceThatFailsForGoodEndsTheInput) {
  TFailingSoundDevice failing;
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(input.Open("audio=-1", {}), 0) << log.Text();
  TPacketPtr packet = NewPacket();
  int result = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((result = input.ReadPacket(packet.get())) != AVERROR(EIO) &&
         std::chrono::steady_clock::now() < deadline)
    AV.av_packet_unref(packet.get());
  EXPECT_EQ(result, AVERROR(EIO)) << log.Text();
  EXPECT_EQ(input.ReadPacket(packet.get()), AVERROR(EIO)) << "the input stays ended";
  EXPECT_TRUE(log.Contains("Input/output error")) << log.Text();
}

} // namespace
