// The frame buffers under the test's X server: a packet's data is the
// shared segment the server grabbed into, reused frame after frame; a
// buffer comes back only when the packet and every frame decoded from it
// are gone, even after the device has closed; and the buffers stay within
// their bound while the reader holds on to packets.
#include "CaptureDevice.h"
#include "CaptureTestSupport.h"
#include "PauseFlags.h"
#include "ScreenSource.h"
#include "XTestDisplay.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

class FramePoolTest : public TCaptureTest {
protected:
  void SetUp() override {
    TCaptureTest::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(FDisplay.Open());
    ASSERT_TRUE(MovePointer(FDisplay, 1900, 1060));
  }
  void TearDown() override {
    if (FHandle) UnregisterCapturePauseFlag(FHandle);
  }
  // The pattern window under the captured rectangle, with a pause flag the
  // test can raise.
  int Open(TCaptureInput& AInput, TOptionList AOptions = {}) {
    FWindow = std::make_unique<TPatternWindow>(FDisplay, 100, 100, 320, 240);
    FFlag = std::make_shared<std::atomic<int32_t>>(0);
    FHandle = RegisterCapturePauseFlag(FFlag);
    AOptions.insert(AOptions.end(), {{"capture_offset", "100,100"},
                                     {"video_size", "320x240"},
                                     {"capture_flags", "0"},
                                     {"framerate", "50"},
                                     {"pause_pointer", std::to_string(FHandle)}});
    return AInput.Open("video=0", AOptions);
  }
  // Stops the grabs and lets the frames under way land, then drops every
  // queued packet: the buffers still out are those the test holds.
  void Quiesce(TCaptureInput& AInput) {
    FFlag->store(1);
    SleepFor(milliseconds(150));
    AInput.Drain();
  }
  static TShmFramePool::TCounts Counts(const TCaptureInput& AInput) {
    return AInput.Device()->Screen->PoolCounts();
  }

  TXTestDisplay FDisplay;
  std::unique_ptr<TPatternWindow> FWindow;
  TCapturePauseFlag FFlag;
  int32_t FHandle = 0;
};

TEST_F(FramePoolTest, APacketHandsOnTheSegmentTheServerGrabbedInto) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(Open(input), 0) << log.Text();
  const int bound = input.Device()->Screen->PoolBound();
  std::set<const uint8_t*> seen;
  TPacketPtr packet;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
    ASSERT_NE(packet->buf, nullptr);
    EXPECT_EQ(packet->data, packet->buf->data);
    EXPECT_TRUE(IsInSharedMemory(packet->data)) << "frame " << i;
    EXPECT_EQ(CompareWithPattern(packet->data, 1280, 320, 240, 0, 0), "") << "frame " << i;
    // The padding that packets carry is there, and clear.
    ASSERT_GE(packet->buf->size, static_cast<size_t>(packet->size) + AV_INPUT_BUFFER_PADDING_SIZE);
    for (int b = 0; b < AV_INPUT_BUFFER_PADDING_SIZE; ++b)
      ASSERT_EQ(packet->data[packet->size + b], 0) << "padding byte " << b;
    seen.insert(packet->data);
  }
  // Read at once and let go, frames come back to be grabbed into again.
  EXPECT_LE(static_cast<int>(seen.size()), bound);
  EXPECT_LE(Counts(input).Total, bound);
}

TEST_F(FramePoolTest, ABufferComesBackOnceThePacketAndItsFrameAreGone) {
  TLogCapture log;
  TCaptureInput input;
  ASSERT_EQ(Open(input), 0) << log.Text();
  TPacketPtr packet;
  ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();

  // The engine's own decoder: raw video comes out as frames over the
  // packet's buffer.
  const AVCodecParameters* parameters = input.Stream(0)->codecpar;
  TCodecContextPtr decoder(
      AV.avcodec_alloc_context3(AV.avcodec_find_decoder(parameters->codec_id)));
  ASSERT_NE(decoder, nullptr);
  ASSERT_GE(AV.avcodec_parameters_to_context(decoder.get(), parameters), 0);
  ASSERT_GE(AV.avcodec_open2(decoder.get(), nullptr, nullptr), 0);
  ASSERT_GE(AV.avcodec_send_packet(decoder.get(), packet.get()), 0);
  TFramePtr frame(AV.av_frame_alloc());
  ASSERT_GE(AV.avcodec_receive_frame(decoder.get(), frame.get()), 0);
  ASSERT_EQ(frame->data[0], packet->data) << "the frame is the packet's memory";

  Quiesce(input);
  EXPECT_EQ(Counts(input).Out, 1);
  packet.reset();
  EXPECT_EQ(Counts(input).Out, 1) << "the frame still holds it";
  frame.reset();
  EXPECT_EQ(Counts(input).Out, 0);
}

TEST_F(FramePoolTest, AFrameOutlivesTheDevice) {
  TLogCapture log;
  const TResourceCounts before = CountResources();
  TPacketPtr packet;
  {
    TCaptureInput input;
    ASSERT_EQ(Open(input), 0) << log.Text();
    ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
  }
  FWindow.reset();
  // The server may draw no more into it, and the memory is still ours.
  EXPECT_EQ(CompareWithPattern(packet->data, 1280, 320, 240, 0, 0), "");
  EXPECT_EQ(CountResources().SharedMemorySegments, before.SharedMemorySegments + 1);
  packet.reset();
  EXPECT_EQ(CountResources().SharedMemorySegments, before.SharedMemorySegments);
}

// The reader keeps every packet (a decoder or filter that holds frames):
// the device makes no more buffers than its bound, drops the frames it has
// no buffer for, and goes on once the reader lets go.
TEST_F(FramePoolTest, StaysWithinItsBoundWhileTheReaderHoldsPackets) {
  TLogCapture log;
  TCaptureInput input;
  // The queue's frames, whatever "-rtbufsize" says, the grab under way, and
  // as many again for the reader.
  ASSERT_EQ(Open(input, {{"rtbufsize", "122880"}}), 0) << log.Text();
  const int bound = input.Device()->Screen->PoolBound();
  EXPECT_EQ(bound, 2 * TPacketQueue::kFrameLimit + 2);
  std::vector<TPacketPtr> held;
  TPacketPtr packet;
  while (input.NextPacket(0, packet, milliseconds(600)))
    held.push_back(std::move(packet));
  EXPECT_EQ(static_cast<int>(held.size()), bound);
  EXPECT_EQ(Counts(input).Total, bound);
  EXPECT_TRUE(log.Contains("real-time buffer 100% full! frame dropped!")) << log.Text();

  held.clear();
  ASSERT_TRUE(input.NextPacket(0, packet)) << log.Text();
  EXPECT_EQ(CompareWithPattern(packet->data, 1280, 320, 240, 0, 0), "");
  EXPECT_EQ(Counts(input).Total, bound);
}

} // namespace
