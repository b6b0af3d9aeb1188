// The animation painter: it plays a picture's frames onto a canvas, waits
// each frame's delay, honours each frame's disposal method, repeats the
// sequence by the picture's loop count and reports through five events. It
// runs in a thread of its own (gdThreaded: every paint and every event is
// then handed to the main thread through the main-thread queue) or in the
// caller's thread. The picture owns its painters; a threaded painter's
// thread is always joined before the painter is freed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "GIFCanvas.h"
#include "GIFPainterClock.h"
#include "GIFSettings.h"
#include "Thread.h"

class TGIFImage;
class TGIFFrameCompositor;

class TGIFPainter {
public:
  using TPainterEvent = std::function<void(TGIFPainter& ASender)>;

  // Made by the picture's CreatePainter in the main thread: the buffers the
  // frames' disposal methods need are taken from the canvas here.
  TGIFPainter(TGIFImage& AImage, TGIFCanvas& ACanvas, const TGIFRect& ARect, TGIFDrawFlags AOptions,
              TGIFPainter** ARef);
  ~TGIFPainter();
  TGIFPainter(const TGIFPainter&) = delete;
  TGIFPainter& operator=(const TGIFPainter&) = delete;

  // Starts a threaded painter's thread (once).
  void Start();
  // Ends the painter at its next check: every wait, frame and event.
  void Stop();
  // The body: runs in the painter's thread, or in the caller's.
  void Animate();

  // The frame being shown; -1 when not running. An OnFramePainted handler
  // that sets it makes the painter go on from that frame.
  int ActiveFrame() const { return FActiveFrame; }
  void SetActiveFrame(int AValue) { FActiveFrame = AValue; }
  // Starts the run over.
  void SetRestart(bool AValue);
  bool Restart() const { return FRestart; }
  bool Started() const { return FStarted; }
  bool Terminated() const { return FTerminated; }
  bool Threaded() const { return (FOptions & gdThreaded) != 0; }
  TGIFDrawFlags DrawOptions() const { return FOptions; }
  int AnimationSpeed() const { return FAnimationSpeed; }
  // The picture painted; null once the picture has gone.
  TGIFImage* Image() const { return FImage; }
  TGIFCanvas& Canvas() const { return FCanvas; }
  const TGIFRect& Rect() const { return FRect; }
  // Disposal methods of the current and the previous frame.
  int Disposal() const { return FDisposal; }
  int OldDisposal() const { return FOldDisposal; }
  // What the body raised, raised again when the painter is freed.
  std::exception_ptr SavedException() const { return FSavedException; }

  TPainterEvent OnPaintStart, OnFramePaint, OnFramePainted, OnPaintLoop, OnPaintEnd;

private:
  friend class TGIFImage;

  void Body();
  // Runs AProc in the main thread (threaded) or at once; not at all once
  // terminated.
  void Synchronize(const std::function<void()>& AProc);
  void DoEvent(TPainterEvent TGIFPainter::*AEvent);
  void WaitFrame(int64_t AWait, int64_t& AOverrun, int64_t& ALast);
  void Paint();
  void PumpMessages();
  void Join() { FThread.Join(); }
  bool InCallback() const { return FCallbackDepth > 0; }
  // The caller's reference is cleared when it still names this painter.
  void ClearReference();
  void Detach() { FImage = nullptr; }

  TGIFImage* FImage;
  TGIFCanvas& FCanvas;
  std::weak_ptr<const void> FCanvasHandle;
  TGIFRect FRect;
  TGIFDrawFlags FOptions;
  int FAnimationSpeed;
  TThreadPriority FPriority;
  std::shared_ptr<TGIFPainterClock> FClock;
  TGIFPainter** FReference;
  std::unique_ptr<TGIFFrameCompositor> FCompositor;

  std::atomic<int> FActiveFrame{-1};
  int FDisposal = 1;
  int FOldDisposal = 1;
  std::atomic<bool> FRestart{false};
  std::atomic<bool> FStarted{false};
  std::atomic<bool> FTerminated{false};
  std::exception_ptr FSavedException;
  // Main thread only: set while one of this painter's calls runs there.
  int FCallbackDepth = 0;

  // The painter's wake-up: Stop and a restart end a wait at once.
  std::mutex FLock;
  std::condition_variable FWake;
  bool FSignalled = false;
  TWorkerThread FThread;
};
