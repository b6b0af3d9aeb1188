// The grab thread (see ScreenThread.h).
#include "ScreenThread.h"

#include "CaptureDevice.h"
#include "ScreenSource.h"

#include <utility>

namespace {
constexpr int64_t kMicroseconds = 1000000;
// The step of the waits while paused.
constexpr int64_t kIdleStep = 10000;
// The longest frame interval at which a frame's delivery waits for the next
// due time: well within what a stopping reader waits for the last frames.
constexpr int64_t kLongestPipelinedInterval = 50000;
// A step of making a spare buffer ready is taken only when the next frame is
// due in more than three times what the last step took and this margin: a
// loaded machine makes a step take longer than it did.
constexpr int64_t kSpareMargin = 2000;
} // namespace

TFrameSchedule::TFrameSchedule(AVRational AFrameRate) : FFrameRate(AFrameRate) {
  // 1/rate in microseconds, rounded; a rate beyond a million frames a second
  // must not make the lost-frames division one by zero.
  const int64_t interval = AV.av_rescale(1, kMicroseconds * FFrameRate.den, FFrameRate.num);
  FInterval = interval > 0 ? interval : 1;
}

void TFrameSchedule::Start(int64_t AStartTime) {
  FStarted = true;
  FStartTime = AStartTime;
  FNextFrame = 0;
}

int64_t TFrameSchedule::Due() const {
  // start + frames x den / num, without the overflow of the product.
  return FStartTime + AV.av_rescale(FNextFrame, kMicroseconds * FFrameRate.den, FFrameRate.num);
}

int64_t TFrameSchedule::Advance(int64_t ANow) {
  const int64_t late = ANow - Due();
  const int64_t lost = late > 0 ? late / FInterval : 0;
  FNextFrame += lost + 1;
  return lost;
}

TScreenThread::TScreenThread(TGdiCaptureDevice& ADevice, AVRational AFrameRate)
    : FDevice(ADevice), FSchedule(AFrameRate),
      FPipelined(FSchedule.Interval() <= kLongestPipelinedInterval) {}

void TScreenThread::Start() {
  FThread.Start([this] { Execute(); });
}

void TScreenThread::Terminate() {
  FSleep.Interrupt();
  FWakeup.Set();
  if (FDevice.Screen) FDevice.Screen->Interrupt();
  FThread.Join();
}

TGrabStats TScreenThread::GrabStats() const {
  return {FGrabCount.load(), FGrabTotal.load(), FGrabWorst.load(), FGrabFirst.load()};
}

bool TScreenThread::Sleep(int64_t AMicroseconds) {
  return FSleep.SleepFor(AMicroseconds);
}

bool TScreenThread::WaitUntil(int64_t ATime) {
  TScreenSource& screen = *FDevice.Screen;
  for (int64_t delay = ATime - CaptureClock(); delay > 0; delay = ATime - CaptureClock()) {
    if (FSleep.IsInterrupted()) return false;
    // A spare buffer is made ready only in time that no frame is due in, a
    // band at a time, so that it never holds up a grab; the grab under way
    // is done first, for the warm-up waits for the server as well.
    if (screen.HasSpareWork() && delay > 3 * screen.SpareStepTime() + kSpareMargin) {
      FinishGrab();
      screen.PrepareSpare();
      continue;
    }
    if (!Sleep(delay)) return false;
  }
  return true;
}

void TScreenThread::Execute() {
  FWakeup.Wait(); // released by the first read_packet call
  while (!FSleep.IsInterrupted() && !FDevice.Stopped) {
    if (FDevice.IsPaused()) {
      FNextDelivery = 0;
      FinishGrab(); // taken before the pause
      if (!Sleep(kIdleStep)) break;
      continue;
    }
    if (FSchedule.IsStarted()) {
      if (!WaitUntil(FSchedule.Due())) break;
      if (const int64_t lost = FSchedule.Advance(CaptureClock()); lost > 0)
        AV.av_log(FDevice.Owner, AV_LOG_INFO,
                  "We lost %d frames. It might be caused by paused or bad performance or frame "
                  "rate is too high.\n",
                  static_cast<int>(lost > INT32_MAX ? INT32_MAX : lost));
    }
    const int64_t round = CaptureClock();
    // The reader sleeps on the clock until the next delivery: it must see
    // that time before the frame finished now reaches it, or it waits for
    // the next frame on the queue's event, and each frame costs both
    // threads a wake-up.
    if (FSchedule.IsStarted() && FPipelined) FNextDelivery = FSchedule.Due();
    FinishGrab();
    GrabFrame();
    // A grab waited for at the next due time reaches the queue then, else
    // when the server has done it.
    if (FSchedule.IsStarted())
      FNextDelivery = FSchedule.Due() + (FPipelined ? 0 : CaptureClock() - round);
  }
  // The server must be done with the buffer before it goes back.
  DiscardGrab();
}

void TScreenThread::CountGrab(int64_t AMicroseconds) {
  if (FGrabCount.fetch_add(1, std::memory_order_relaxed) == 0)
    FGrabFirst.store(AMicroseconds, std::memory_order_relaxed);
  FGrabTotal.fetch_add(AMicroseconds, std::memory_order_relaxed);
  if (AMicroseconds > FGrabWorst.load(std::memory_order_relaxed))
    FGrabWorst.store(AMicroseconds, std::memory_order_relaxed);
}

void TScreenThread::GrabFrame() {
  TScreenSource& screen = *FDevice.Screen;
  // Before the grab: while nobody reads, most frames are dropped, and they
  // must cost nothing.
  if (FDevice.Queue.ShouldDropFrame()) return;
  // A buffer the reader still holds may come back until the next frame is
  // due; the first frame takes the one made ready while the device opened.
  const bool first = !FSchedule.IsStarted();
  TShmFrameBuffer* buffer = screen.AcquireBuffer(first ? CaptureClock() : FSchedule.Due());
  if (!buffer) {
    // Every buffer the limit allows is queued or still held by the reader.
    if (!FSleep.IsInterrupted() && !FDevice.Stopped) FDevice.Queue.LogDrop(100);
    return;
  }
  FGrabStarted = CaptureClock();
  // The first frame defines time zero and starts the schedule, from the
  // moment its grab starts: sound that comes while the grab is under way
  // belongs to the recording.
  if (first) FSchedule.Start(FDevice.StartAt(FGrabStarted));
  FGrab = screen.StartGrab(*buffer);
  // The first frame goes out at once: a recording starts when it comes.
  FGrabAtOnce = first || !FPipelined;
  if (FGrabAtOnce) FinishGrab();
}

void TScreenThread::DiscardGrab() {
  if (!FGrab.Buffer) return;
  bool grabbed = false;
  FDevice.Screen->FinishGrab(FGrab, true, grabbed);
  FDevice.Screen->PutBack(std::exchange(FGrab, {}).Buffer);
}

void TScreenThread::FinishGrab() {
  if (!FGrab.Buffer) return;
  TScreenSource& screen = *FDevice.Screen;
  TScreenSource::TGrab grab = std::exchange(FGrab, {});
  const int64_t waited = CaptureClock();
  bool grabbed = false;
  if (const int error = screen.FinishGrab(grab, FDevice.Stopped, grabbed)) {
    screen.PutBack(grab.Buffer);
    if (!FDevice.Stopped) {
      AV.av_log(FDevice.Owner, AV_LOG_ERROR, "Failed to capture image: BitBlt() error %li\n",
                static_cast<long>(error));
      FDevice.Fail(AVERROR(EIO));
    }
    return;
  }
  if (!grabbed) {
    screen.PutBack(grab.Buffer);
    return;
  }
  CountGrab(CaptureClock() - (FGrabAtOnce ? FGrabStarted : waited));

  TPacketPtr packet(AV.av_packet_alloc());
  if (!packet) {
    screen.PutBack(grab.Buffer);
    AV.av_log(FDevice.Owner, AV_LOG_ERROR, "av_mallocz() error\n");
    FDevice.Fail(AVERROR(ENOMEM));
    return;
  }
  packet->buf = screen.HandOut(grab.Buffer);
  if (!packet->buf) {
    AV.av_log(FDevice.Owner, AV_LOG_ERROR, "av_new_packet() error\n");
    FDevice.Fail(AVERROR(ENOMEM));
    return;
  }
  packet->data = packet->buf->data;
  packet->size = screen.FrameBytes();
  packet->stream_index = FDevice.VideoStreamIndex;
  packet->pts = FGrabStarted - FDevice.StartTime;
  FDevice.Queue.AppendFrame(std::move(packet));
}
