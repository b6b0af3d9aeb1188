// The animation painter's body, its waits and its hand-over to the main
// thread.
#include "GIFPainter.h"

#include <limits>
#include <thread>

#include "GIFAppExtensions.h"
#include "GIFFrameCompositor.h"
#include "GIFGraphicControl.h"
#include "GIFImage.h"
#include "MainThread.h"

namespace {

constexpr int kEndless = -1;

} // namespace

TGIFPainter::TGIFPainter(TGIFImage& AImage, TGIFCanvas& ACanvas, const TGIFRect& ARect,
                         TGIFDrawFlags AOptions, TGIFPainter** ARef)
    : FImage(&AImage), FCanvas(ACanvas), FCanvasHandle(ACanvas.Handle()), FRect(ARect),
      FOptions(AOptions), FAnimationSpeed(AImage.AnimationSpeed), FPriority(AImage.ThreadPriority),
      FClock(AImage.PainterClock ? AImage.PainterClock : TGIFPainterClock::System()),
      FReference(ARef) {
  OnPaintStart = AImage.OnPaintStart;
  OnFramePaint = AImage.OnFramePaint;
  OnFramePainted = AImage.OnFramePainted;
  OnPaintLoop = AImage.OnPaintLoop;
  OnPaintEnd = AImage.OnPaintEnd;
  FCompositor = std::make_unique<TGIFFrameCompositor>(AImage, ACanvas, ARect, AOptions);
}

TGIFPainter::~TGIFPainter() {
  Stop();
  FThread.Join();
  // Nothing this painter queued may run once it is gone.
  TMainThread::Cancel(this);
}

void TGIFPainter::Start() {
  if (!Threaded() || FThread.Joinable() || FTerminated) return;
  FThread.Start(
      [this] {
        Animate();
        // Freed in the main thread, which also raises again what the body
        // raised; when the picture has gone, the painter frees itself.
        TMainThread::Post(
            [this] {
              if (FImage) {
                FImage->PainterEnded(this);
                return;
              }
              std::unique_ptr<TGIFPainter> self(this);
              std::exception_ptr error = FSavedException;
              self.reset();
              if (error) std::rethrow_exception(error);
            },
            this);
      },
      FPriority);
}

void TGIFPainter::Stop() {
  {
    std::lock_guard lock(FLock);
    FTerminated = true;
    FSignalled = true;
  }
  FWake.notify_all();
}

void TGIFPainter::SetRestart(bool AValue) {
  {
    std::lock_guard lock(FLock);
    FRestart = AValue;
    if (AValue) FSignalled = true;
  }
  FWake.notify_all();
}

void TGIFPainter::ClearReference() {
  if (FReference && *FReference == this) *FReference = nullptr;
  FReference = nullptr;
}

void TGIFPainter::Synchronize(const std::function<void()>& AProc) {
  if (FTerminated) return;
  if (!Threaded()) {
    AProc();
    return;
  }
  struct TState {
    bool Started = false;
    bool Done = false;
    std::exception_ptr Error;
  };
  auto state = std::make_shared<TState>();
  TMainThread::Post(
      [this, state, &AProc] {
        {
          std::lock_guard lock(FLock);
          if (FTerminated) {
            state->Done = true;
            FWake.notify_all();
            return;
          }
          state->Started = true;
        }
        ++FCallbackDepth;
        try {
          AProc();
        } catch (...) {
          state->Error = std::current_exception();
        }
        --FCallbackDepth;
        {
          std::lock_guard lock(FLock);
          state->Done = true;
        }
        FWake.notify_all();
      },
      this);
  // A call that has not begun is given up when the painter is stopped (it
  // will not run then); one that has begun is waited for, since it refers
  // to AProc.
  std::unique_lock lock(FLock);
  FWake.wait(lock, [&] { return state->Done || (FTerminated && !state->Started); });
  if (state->Error) std::rethrow_exception(state->Error);
}

void TGIFPainter::DoEvent(TPainterEvent TGIFPainter::*AEvent) {
  Synchronize([this, AEvent] {
    // A copy: the handler may replace the event.
    TPainterEvent handler = this->*AEvent;
    if (handler) handler(*this);
  });
}

void TGIFPainter::PumpMessages() {
  if (TMainThread::IsMainThread()) TMainThread::Process();
  TMainThread::PumpMessages();
}

void TGIFPainter::WaitFrame(int64_t AWait, int64_t& AOverrun, int64_t& ALast) {
  if (Threaded()) {
    if (AWait <= 0 && FAnimationSpeed >= 1) return;
    std::unique_lock lock(FLock);
    FClock->WaitFor(lock, FWake, AWait, [this] { return FSignalled || FTerminated || FRestart; });
    if (FSignalled) {
      // Woken early: the next delay counts from now.
      FSignalled = false;
      AOverrun = 0;
      ALast = FClock->Now();
    }
    return;
  }
  // In the caller's thread: short sleeps, with the main thread's queue and
  // the host's messages served after each.
  int64_t remaining = std::max<int64_t>(AWait, 1);
  while (remaining > 0 && !FTerminated && !FRestart) {
    const int64_t sleep = remaining > 99 ? 100 : remaining;
    const int64_t before = FClock->Now();
    FClock->Sleep(sleep);
    const int64_t slept = FClock->Now() - before;
    remaining -= slept > 0 ? slept : sleep;
    PumpMessages();
  }
}

void TGIFPainter::Paint() {
  if (!FImage) return;
  if (FCanvasHandle.expired()) {
    // The canvas has gone: with gdCheckCanvas the painter ends, else it
    // paints nothing.
    if (FOptions & gdCheckCanvas) Stop();
    return;
  }
  FCompositor->Paint(FActiveFrame, FDisposal, FOldDisposal);
  FStarted = true;
}

void TGIFPainter::Animate() {
  try {
    Body();
  } catch (...) {
    Stop();
    FSavedException = std::current_exception();
  }
}

void TGIFPainter::Body() {
  const bool threaded = Threaded();
  const bool animate = (FOptions & gdAnimate) != 0;
  const bool loopForever = (FOptions & gdLoopForever) != 0;
  FRestart = true;
  while (FRestart && !FTerminated) {
    FActiveFrame = 0;
    DoEvent(&TGIFPainter::OnPaintStart);
    FStarted = false;
    FRestart = false;
    int loopCount = 1;
    int loopStart = 0;
    bool loopSeen = false;
    int delay = threaded ? 0 : 1;
    FOldDisposal = dmNoDisposal;
    int64_t last = FClock->Now();
    int64_t overrun = 0;

    while ((loopCount != 0 || loopForever) && !FTerminated && !FRestart) {
      FActiveFrame = loopStart;
      if (FStarted) DoEvent(&TGIFPainter::OnPaintLoop);
      bool more = true;
      do {
        // The frame's delay.
        if (delay < 1) {
          std::this_thread::yield();
        } else {
          Synchronize([this] {
            if (FImage && FActiveFrame < FImage->FrameCount())
              FImage->Frames(FActiveFrame).GetBitmap();
          });
          const int64_t now = FClock->Now();
          const int64_t unit = DelayUnitMs;
          const int64_t longest = int64_t{MaximumFrameDelay} * unit;
          int64_t wait = 0;
          if (FAnimationSpeed < 1) {
            wait = threaded ? kEndless : longest;
          } else {
            const int64_t elapsed = now - last - overrun;
            wait = (delay * unit - elapsed / 2) * 100 / FAnimationSpeed;
            if (wait > std::numeric_limits<int32_t>::max() ||
                wait < std::numeric_limits<int32_t>::min()) {
              wait = longest;
              overrun = 0;
            } else {
              overrun = wait;
            }
          }
          last = now;
          WaitFrame(wait, overrun, last);
        }
        if (FTerminated) break;
        DoEvent(&TGIFPainter::OnFramePaint);
        if (FTerminated) break;

        // Its extensions, its paint and the delay before the next frame.
        bool gone = false;
        Synchronize([&] {
          if (!FImage || FActiveFrame < 0 || FActiveFrame >= FImage->FrameCount()) {
            gone = true;
            return;
          }
          TGIFSubImage& frame = FImage->Frames(FActiveFrame);
          FDisposal = dmNoDisposal;
          for (int i = 0; i < frame.Extensions().Count(); ++i) {
            TGIFExtension* extension = frame.Extensions().Extensions(i);
            if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(extension); loop && !loopSeen) {
              loopSeen = true;
              loopCount = loop->Loops();
              if ((loopCount == 0 || loopForever) && threaded) loopCount = kEndless;
              loopStart = FActiveFrame;
            } else if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(extension)) {
              FDisposal = control->Disposal();
            }
          }
          Paint();
          FOldDisposal = FDisposal;
          delay = DefaultFrameDelay;
          if (TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
              control && control->Delay() != 0) {
            delay = std::max<int>(control->Delay(), MinimumFrameDelay);
            if (delay > MaximumFrameDelay && !threaded) delay = MaximumFrameDelay;
          }
        });
        if (gone || FTerminated) break;

        const int shown = FActiveFrame;
        DoEvent(&TGIFPainter::OnFramePainted);
        if (FTerminated) break;
        if (FActiveFrame == shown) FActiveFrame = shown + 1;
        Synchronize([&] {
          more = FImage && FActiveFrame >= 0 && FActiveFrame < FImage->FrameCount() &&
                 !FImage->Frames(FActiveFrame).Empty();
        });
      } while (animate && more && !FTerminated && !FRestart);

      if (loopCount > 0) --loopCount;
      if (!(animate && (FOptions & gdLoop))) break;
    }
  }
  FActiveFrame = -1;
  DoEvent(&TGIFPainter::OnPaintEnd);
}
