// The transcode task (this file holds the task class, named as the engine's
// chief unit): its run control (start in the caller's thread or in a worker
// of its own, stop, terminate, pause and resume), its end notice, and the
// task list the encoder keeps.
//
// Start, Stop, Terminate, SuspendConvert and ResumeConvert are called by the
// encoder (from the main thread, or from a handler: see FFEncode.h). The
// conversion and the terminate path run in the worker thread, in the
// caller's thread for an unthreaded start, or in a terminate thread.
#pragma once

#include "FFEncodeTypes.h"
#include "FFmpegOpt.h"
#include "ManualResetEvent.h"
#include "PauseGate.h"
#include "Thread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct AVFormatContext;
class TCustomFFmpeg;

// The task's callbacks; one that is empty is not called.
using TTaskNotify = std::function<void(TCustomFFmpeg* ATask)>;
using TTaskProgress = std::function<void(TCustomFFmpeg* ATask, const TProgressInfo& AInfo)>;
using TTaskPreview = std::function<void(TCustomFFmpeg* ATask, const TPreviewInfo& AInfo)>;
using TTaskBeforeFindStreamInfo =
    std::function<void(TCustomFFmpeg* ATask, AVFormatContext* AFormatContext)>;
using TTaskVideoHook = std::function<void(TCustomFFmpeg* ATask, THookInfo& AInfo)>;
using TTaskFrameHook = std::function<void(TCustomFFmpeg* ATask, TFrameHookInfo& AInfo)>;
using TTaskAudioHook =
    std::function<void(TCustomFFmpeg* ATask, int64_t APTS, uint8_t* ASample, int ASize,
                       int ASampleRate, int AChannels, AVSampleFormat ASampleFormat)>;

// The worker thread of a task: created held, started by Resume, joined by
// its task.
class TConvertThread {
public:
  TConvertThread(TCustomFFmpeg& ATask, TThreadPriority APriority);
  void Resume();
  void Join() { FThread.Join(); }
  bool IsCurrent() const { return FThread.IsCurrent(); }

private:
  TCustomFFmpeg& FTask;
  TThreadPriority FPriority;
  TWorkerThread FThread;
};

class TCustomFFmpeg : public TCustomFFmpegOpt {
public:
  TCustomFFmpeg();
  ~TCustomFFmpeg() override;

  // Answers the worker thread (to be resumed by the caller) when AThreaded,
  // else runs the whole conversion and answers null. Null too when the task
  // cannot start; it has then delivered its terminate notice.
  TConvertThread* Start(bool AThreaded, TThreadPriority APriority);
  void Stop(bool AWait);
  void Terminate(bool AWait);
  void SuspendConvert();
  void ResumeConvert();
  void DoConvert();
  void DoTerminate();
  void SetPreviewFlags(uint8_t AFlags);
  uint8_t PreviewFlags() const { return FPreviewFlags.load(); }
  // Sets or clears the bits of AMask, leaving the others as they are.
  void ChangePreviewFlags(uint8_t AMask, bool AOn);
  // Raises "Invalid BitsPixel %d" for a depth other than 8, 15, 16, 24, 32.
  void SetHookBitsPixel(int ABitsPixel);
  int HookBitsPixel() const { return FHookBitsPixel; }
  // "-VideoHookBitsPixel N" of an output option string.
  int OptVideoHookBitsPixel(TOptionsContext* AOptions, const char* AName,
                            const char* AValue) override;
  void Cleanup();

  // The transcode loop passes this at the top of each pass, holding no lock;
  // it answers whether the task was held, so I/O time-outs restart after it.
  bool PassPauseGate() { return FPauseGate.Pass(); }
  bool StopRequested() const override { return FStopFlag.load(); }
  int64_t StopRequestTime() const override;

  bool Running() const { return FRunning.load(); }
  bool Terminated() const { return FTerminated.load(); }
  bool Finished() const { return FFinished; }
  bool ExceptionRaised() const { return FException; }
  std::string ExceptionMsg() const;
  bool HasWorkerThread() const { return FThreadActive.load(); }
  // Whether the calling thread is this task's worker or terminate thread.
  bool RunsInCurrentThread() const;

  int64_t ProgressInterval = 500000; // microseconds
  int64_t PreviewInterval = 100000;  // microseconds

  TTaskBeforeFindStreamInfo OnBeforeFindStreamInfo;
  TTaskPreview OnPreviewBitmap;
  TTaskProgress OnProgress;
  TTaskNotify OnTerminate;
  TTaskAudioHook OnAudioInputHook, OnAudioOutputHook;
  TTaskVideoHook OnVideoInputHook, OnVideoOutputHook;
  TTaskFrameHook OnFrameInputHook, OnFrameOutputHook;

protected:
  void DoBeforeFindStreamInfo(AVFormatContext* AContext) override {
    if (OnBeforeFindStreamInfo) OnBeforeFindStreamInfo(this, AContext);
  }
  // Close what the loop left open; called under FCodecListLock, which guards
  // the task's lists of open encoders and decoders.
  virtual void CloseOpenEncoders() { CloseEncoders(); }
  virtual void CloseOpenDecoders() { CloseDecoders(); }
  // The loop's pause gate, with the span it was held on the libraries'
  // monotonic clock.
  bool PassPause(int64_t& APausedAt, int64_t& AResumedAt) override;
  bool HasAudioHooks() const override { return OnAudioInputHook || OnAudioOutputHook; }
  bool HasVideoHooks() const override { return OnVideoInputHook || OnVideoOutputHook; }
  bool HasFrameHooks() const override { return OnFrameInputHook || OnFrameOutputHook; }
  bool HasPreview() const override { return FPreviewFlags.load() != 0; }
  std::mutex FCodecListLock;
  // Waits for the task's threads to end, so nothing runs while it dies.
  void JoinThreads();

private:
  friend class TConvertThread;
  void RecordException(const std::exception& AError);
  void WaitForConversion(bool AProcessMainThread);

  std::mutex FStateLock; // decides between Start and Terminate
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FTerminated{false};
  bool FTerminating = false; // guarded by FStateLock
  std::atomic<bool> FStopFlag{false};
  // When the run's first Stop came (steady clock, microseconds), so that a
  // loop that notices it late still ends the recording there.
  std::atomic<int64_t> FStopTime{INT64_MAX};
  bool FException = false; // guarded by FExceptionLock
  std::string FExceptionMsg;
  mutable std::mutex FExceptionLock;

  std::unique_ptr<TConvertThread> FWorker;
  std::atomic<bool> FThreadActive{false};
  TWorkerThread FTerminateThread;
  TManualResetEvent FConversionDone{true};
  TManualResetEvent FTerminateDone{true};
  TPauseGate FPauseGate;

  std::atomic<uint8_t> FPreviewFlags{0}; // bit 0 preview window, bit 1 preview bitmaps
  std::atomic<bool> FPreviewFlagsChanged{false};
  int FHookBitsPixel = 32;
};

class TCustomEncoder;

class TFFmpeg : public TCustomFFmpeg {
public:
  TFFmpeg() = default;
  ~TFFmpeg() override;

  TCustomEncoder* Encoder = nullptr;

  void SetInputOptions(int AIndex, const TInputOptions& AOptions);
  void SetOutputOptions(int AIndex, const TOutputOptions& AOptions);
  void ClearInputOptions(int AIndex);
  void ClearOutputOptions(int AIndex);
  const std::vector<TInputOptions>& InputOptions() const { return FInputOptions; }
  const std::vector<TOutputOptions>& OutputOptions() const { return FOutputOptions; }

private:
  std::vector<TInputOptions> FInputOptions;
  std::vector<TOutputOptions> FOutputOptions;
};

// The encoder's owning list of tasks.
class TFFmpegList {
public:
  int Add(std::unique_ptr<TFFmpeg> ATask);
  void Clear();
  void Delete(int AIndex); // raises std::out_of_range for a bad index
  TFFmpeg* Items(int AIndex) const;
  int IndexOf(const TCustomFFmpeg* ATask) const;
  int Count() const;
  void SuspendAll();
  void ResumeAll();
  void StopAll(bool AWait);
  // Whether the calling thread is a worker or terminate thread of a task.
  bool AnyRunsInCurrentThread() const;
  void SetPreview(bool AOn);
  void SetPreviewBitmap(bool AOn);

private:
  mutable std::recursive_mutex FLock;
  std::vector<std::unique_ptr<TFFmpeg>> FItems;
};
