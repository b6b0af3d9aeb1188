// One open capture device (see CaptureDevice.h).
#include "CaptureDevice.h"

#include "RecLabel.h"
#include "ScreenSource.h"
#include "ScreenThread.h"
#include "WaveCapture.h"

#include <thread>

namespace {
// How long after its due time a frame is surely in the queue, microseconds:
// the grab thread's wake-up and the hand-over of the grab it waited for.
constexpr int64_t kDeliveryMargin = 500;
// A reader never sleeps on the clock longer than this: a later frame (a low
// rate, a stall) is waited for on the packet event.
constexpr int64_t kLongestQuietSleep = 250000;
} // namespace

int64_t CaptureClock() {
  return AV.av_gettime_relative();
}

TGdiCaptureDevice::TGdiCaptureDevice(AVFormatContext* AOwner) : Owner(AOwner), Queue(AOwner) {}

TGdiCaptureDevice::~TGdiCaptureDevice() {
  Close();
}

void TGdiCaptureDevice::Fail(int ACode) {
  if (Stopped.load()) return;
  int none = 0;
  ErrorCode.compare_exchange_strong(none, ACode);
  Stopped = true;
  Queue.Wake(); // a waiting reader hands out the error without waiting out its time-out
}

int64_t TGdiCaptureDevice::StartAt(int64_t ANow) {
  int64_t start = 0;
  return StartTime.compare_exchange_strong(start, ANow) ? ANow : start;
}

int TGdiCaptureDevice::StoppedResult() const {
  const int code = ErrorCode.load();
  return code < 0 ? code : AVERROR_EOF;
}

void TGdiCaptureDevice::LogObjectCounts() const {
  const int drawing = Screen ? Screen->ResourceCount() : 0;
  const int windows = FrameForm ? 1 : 0;
  AV.av_log(Owner, AV_LOG_DEBUG, "Count of GDI objects: %d, Count of USER objects: %d\n", drawing,
            windows);
}

int TGdiCaptureDevice::ReadPacket(AVPacket* APacket) {
  if (!Started.exchange(true)) {
    LogObjectCounts();
    if (ScreenThread) ScreenThread->NotifyStarted();
  }
  if (Stopped) return StoppedResult();
  bool slept = false;
  for (;;) {
    if (Queue.Take(APacket)) return APacket->size;
    if (Owner->flags & AVFMT_FLAG_NONBLOCK) {
      AV.av_log(Owner, AV_LOG_DEBUG, "non-block, need read again\n");
      return AVERROR(EAGAIN);
    }
    // First a sleep on the clock until the next frame should be there: the
    // grab thread then hands it over without waking anyone, which costs
    // both threads less than a wake-up; only a frame that is late is waited
    // for on the packet event.
    if (!slept && ScreenThread) {
      slept = true;
      const int64_t due = ScreenThread->NextDelivery() + kDeliveryMargin - CaptureClock();
      if (due > 0 && due < kLongestQuietSleep) {
        std::this_thread::sleep_for(std::chrono::microseconds(due));
        continue;
      }
    }
    if (!Queue.WaitFor(std::chrono::milliseconds(1000))) {
      AV.av_log(Owner, AV_LOG_DEBUG, "wait timeout, need read again\n");
      return AVERROR(EAGAIN);
    }
    if (Stopped) return StoppedResult();
  }
}

int TGdiCaptureDevice::ReadPause() {
  if (Wave) Wave->Flush();
  return 0;
}

void TGdiCaptureDevice::Close() {
  Stopped = true;
  // The label's thread and the grab thread read the screen source, and the
  // wave-in reader appends to the queue: all of them end before their data.
  // The queued frames go back to their pool before the screen source ends
  // it; frames the reader still holds outlive it.
  FrameForm.reset();
  ScreenThread.reset();
  Wave.reset();
  Queue.Clear();
  Screen.reset();
}
