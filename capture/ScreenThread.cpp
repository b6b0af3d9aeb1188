// The grab thread (see ScreenThread.h).
#include "ScreenThread.h"

#include "CaptureDevice.h"
#include "ScreenSource.h"

#include <chrono>

namespace {
constexpr int64_t kMicroseconds = 1000000;
// The step of the waits while not started or paused.
constexpr int64_t kIdleStep = 10000;
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
    : FDevice(ADevice), FSchedule(AFrameRate) {}

void TScreenThread::Start() {
  FThread.Start([this] { Execute(); });
}

void TScreenThread::Terminate() {
  FTerminated.Set();
  FThread.Join();
}

TGrabStats TScreenThread::GrabStats() const {
  return {FGrabCount.load(), FGrabTotal.load(), FGrabWorst.load()};
}

bool TScreenThread::Sleep(int64_t AMicroseconds) {
  // Rounded up, so that a wait never ends before its time and spins.
  const auto wait =
      std::chrono::ceil<std::chrono::milliseconds>(std::chrono::microseconds(AMicroseconds));
  return !FTerminated.WaitFor(wait);
}

bool TScreenThread::SleepUntil(int64_t ATime) {
  for (int64_t delay = ATime - CaptureClock(); delay > 0; delay = ATime - CaptureClock())
    if (!Sleep(delay)) return false;
  return true;
}

void TScreenThread::Execute() {
  while (!FDevice.Started) // released by the first read_packet call
    if (!Sleep(kIdleStep)) return;
  while (!FTerminated.IsSet() && !FDevice.Stopped) {
    if (FDevice.IsPaused()) {
      if (!Sleep(kIdleStep)) return;
      continue;
    }
    if (FSchedule.IsStarted()) {
      if (!SleepUntil(FSchedule.Due())) return;
      if (const int64_t lost = FSchedule.Advance(CaptureClock()); lost > 0)
        AV.av_log(FDevice.Owner, AV_LOG_INFO,
                  "We lost %d frames. It might be caused by paused or bad performance or frame "
                  "rate is too high.\n",
                  static_cast<int>(lost > INT32_MAX ? INT32_MAX : lost));
    }
    GrabFrame();
  }
}

void TScreenThread::GrabFrame() {
  TScreenSource& screen = *FDevice.Screen;
  const int64_t began = CaptureClock();
  if (const int error = screen.Grab()) {
    if (!FDevice.Stopped) {
      AV.av_log(FDevice.Owner, AV_LOG_ERROR, "Failed to capture image: BitBlt() error %li\n",
                static_cast<long>(error));
      FDevice.Fail(AVERROR(EIO));
    }
    return;
  }
  const int64_t now = CaptureClock();
  // The first frame defines time zero and starts the schedule.
  if (!FSchedule.IsStarted()) FSchedule.Start(FDevice.StartAt(now));
  const int64_t pts = now - FDevice.StartTime;
  // Before the copy: while nobody reads, most frames are dropped, and they
  // must not cost a frame's allocation and copy each.
  if (FDevice.Queue.ShouldDropFrame()) return;

  TPacketPtr packet(AV.av_packet_alloc());
  if (!packet) {
    AV.av_log(FDevice.Owner, AV_LOG_ERROR, "av_mallocz() error\n");
    FDevice.Fail(AVERROR(ENOMEM));
    return;
  }
  if (AV.av_new_packet(packet.get(), screen.FrameBytes()) < 0) {
    AV.av_log(FDevice.Owner, AV_LOG_ERROR, "av_new_packet() error\n");
    FDevice.Fail(AVERROR(ENOMEM));
    return;
  }
  packet->stream_index = FDevice.VideoStreamIndex;
  packet->pts = pts;
  screen.CopyFrame(packet->data, FDevice.Stopped);

  const int64_t spent = CaptureClock() - began;
  FGrabCount.fetch_add(1, std::memory_order_relaxed);
  FGrabTotal.fetch_add(spent, std::memory_order_relaxed);
  if (spent > FGrabWorst.load(std::memory_order_relaxed))
    FGrabWorst.store(spent, std::memory_order_relaxed);

  FDevice.Queue.Append(std::move(packet));
}
