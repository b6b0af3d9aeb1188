// One open capture device (see CaptureDevice.h).
#include "CaptureDevice.h"

#include "RecLabel.h"
#include "ScreenSource.h"
#include "ScreenThread.h"
#include "WaveCapture.h"

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
  for (;;) {
    if (Queue.Take(APacket)) return APacket->size;
    if (Owner->flags & AVFMT_FLAG_NONBLOCK) {
      AV.av_log(Owner, AV_LOG_DEBUG, "non-block, need read again\n");
      return AVERROR(EAGAIN);
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
