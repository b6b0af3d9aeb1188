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
#include "FormatConverter.h"
#include "FrameHookLibraries.h"
#include "ManualResetEvent.h"
#include "PauseGate.h"
#include "Previewer.h"
#include "Thread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct AVFormatContext;
class TCustomFFmpeg;
class TFFDecoder;

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
  // The depth of both hook bitmaps (the input hook's and the output hook's
  // and preview's). Raises Exception "Invalid BitsPixel %d" for a depth other
  // than 8, 15, 16, 24, 32.
  void SetHookBitsPixel(int ABitsPixel);
  int HookBitsPixel() const { return FHookBitsPixel; }
  // "-VideoHookBitsPixel N" of an output option string: 0, or AVERROR(EINVAL)
  // with the reason logged (a bad number or depth changes nothing).
  int OptVideoHookBitsPixel(TOptionsContext* AOptions, const char* AName,
                            const char* AValue) override;
  // "-vhook LIBRARY ARGS": adds a frame-hook library (FrameHookLibraries.h);
  // a failure is fatal ("Failed to add video hook function: " and the text).
  int OptVHook(TOptionsContext* AOptions, const char* AName, const char* AValue) override;
  // Frees the run's state: its files and records, the frame-hook libraries'
  // contexts and the preview window.
  void Cleanup();
  // Resets what one run keeps (report and preview clocks) and runs it.
  void Transcode() override;

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

  // Whether a progress report has a taker: the report then goes to it in
  // place of the log's status line.
  virtual bool HasProgressHandler() const { return static_cast<bool>(OnProgress); }

  TTaskBeforeFindStreamInfo OnBeforeFindStreamInfo;
  TTaskPreview OnPreviewBitmap;
  TTaskProgress OnProgress;
  TTaskNotify OnTerminate;
  // Planar sound with several channels reaches an audio hook as one packed
  // block (the planes interleaved into a copy, with the packed sample
  // format; what the hook changes goes back into the planes), so the block
  // holds every channel and its size is what may be read.
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
  // The loop's pause gate, with the spans it was closed on the libraries'
  // monotonic clock.
  bool PassPause(TClockSpans& ASpans) override;
  bool HasAudioHooks() const override { return OnAudioInputHook || OnAudioOutputHook; }
  bool HasVideoHooks() const override { return OnVideoInputHook || OnVideoOutputHook; }
  bool HasFrameHooks() const override { return OnFrameInputHook || OnFrameOutputHook; }
  bool HasHookLibraries() const override { return FFrameHooksAdded; }
  bool HasPreview() const override { return FPreviewFlags.load() != 0; }
  // Cleanup calls it before the inputs are freed: whatever keeps a view of
  // an input lets go of it here.
  virtual void ReleaseInputViews() {}
  bool HasOutputHooks() const override {
    return OnVideoOutputHook || OnFrameOutputHook || HasPreview();
  }
  // The hooks and the preview (FrameHooks.cpp) and the progress report
  // (ProgressReport.cpp), called by the loop in the task's thread. The
  // progress callback and the hooks run in that thread too.
  void PreProcessVideoFrame(TInputStream& AIst, AVFrame* AFrame) override;
  void ApplyOutputHooks(TOutputStream& AOst, AVFrame* AFrame, int AFrameNumber,
                        int64_t APts) override;
  void AudioInputHook(TInputStream& AIst, AVFrame* AFrame) override;
  void AudioOutputHook(TOutputStream& AOst, AVFrame* AFrame) override;
  void PrintReport(bool ALast, int64_t ATimerStart, int64_t ANow) override;
  std::mutex FCodecListLock;
  // Waits for the task's threads to end, so nothing runs while it dies.
  void JoinThreads();

private:
  friend class TConvertThread;
  // Calls a handler from the loop: what it raises is logged as "Error occurs
  // <AEvent> event: " with its text and goes no further, for no failure of
  // a handler stops the transcode. Answers whether it returned normally.
  template <class TCall> bool CallGuarded(const char* AEvent, TCall&& ACall) {
    try {
      ACall();
      return true;
    } catch (const std::exception& e) {
      LogHandlerError(AEvent, e.what());
    } catch (...) {
      LogHandlerError(AEvent, "unknown exception");
    }
    return false;
  }
  void LogHandlerError(const char* AEvent, const char* AText);
  void RecordException(const std::exception& AError);
  void WaitForConversion(bool AProcessMainThread);
  // One video hook call on AFrame through AConverter; answers whether the
  // converter's bitmap shows the frame as it now is. AUpdated, when given,
  // tells whether the handler's drawing was kept.
  bool CallVideoHook(TTaskVideoHook& AHook, TFormatConverter& AConverter, AVFrame* AFrame,
                     int AFrameNumber, int64_t APts, bool* AUpdated = nullptr);
  void CallFrameHook(const TTaskFrameHook& AHook, AVFrame* AFrame, int AFrameNumber,
                     int64_t APts);
  void CallAudioHook(const TTaskAudioHook& AHook, AVFrame* AFrame, int64_t APts);
  void DoPreview(AVFrame* AFrame, bool AConverted, int64_t APts, int AFrameNumber);

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
  std::atomic<bool> FPreviewFlagsChanged{false}; // the preview converts anew
  int FHookBitsPixel = 32;

  // The task thread's hook and report state.
  TFormatConverter FInputConverter;   // the video input hook's bitmap
  TFormatConverter FPreviewConverter; // the video output hook's and the preview's
  THookFrames FInputHookFrames; // the input hooks' writable copies
  TFrameHookList FFrameHooks;
  bool FFrameHooksAdded = false;
  std::vector<uint8_t> FAudioBuffer; // planar sound packed for a hook
  int64_t FLastReportTime = -1;      // -1: the next report only arms the clock
  int64_t FLastPreviewTime = INT64_MIN;
  std::unique_ptr<TPreviewer> FPreviewer; // the preview window of this run
  int FQpHistogram[52] = {};
};

class TCustomEncoder;

class TFFmpeg : public TCustomFFmpeg {
public:
  TFFmpeg();
  ~TFFmpeg() override;

  TCustomEncoder* Encoder = nullptr;

  // The encoder's OnProgress, not only the task's callback (FFEncode.cpp).
  bool HasProgressHandler() const override;

  void SetInputOptions(int AIndex, const TInputOptions& AOptions);
  void SetOutputOptions(int AIndex, const TOutputOptions& AOptions);
  void ClearInputOptions(int AIndex);
  void ClearOutputOptions(int AIndex);
  const std::vector<TInputOptions>& InputOptions() const { return FInputOptions; }
  const std::vector<TOutputOptions>& OutputOptions() const { return FOutputOptions; }

  // Gives input AIndex a decoder that describes it (its context attached,
  // not owned). The decoder lets go of the context when the task frees its
  // inputs; its information then reads -1.
  void AttachDecoder(int AIndex);
  // The decoder of input AIndex; std::out_of_range for an input without one.
  TFFDecoder* Decoder(int AIndex) const;
  int DecoderCount() const { return static_cast<int>(FDecoders.size()); }

protected:
  void ReleaseInputViews() override;

private:
  std::vector<std::unique_ptr<TFFDecoder>> FDecoders;
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
  // Terminate(AWait) of every task in list order; what a handler raises
  // while it waits is raised once every task was terminated.
  void StopAll(bool AWait);
  // Whether the calling thread is a worker or terminate thread of a task.
  bool AnyRunsInCurrentThread() const;
  void SetPreview(bool AOn);
  void SetPreviewBitmap(bool AOn);

private:
  mutable std::recursive_mutex FLock;
  std::vector<std::unique_ptr<TFFmpeg>> FItems;
};
