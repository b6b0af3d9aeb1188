// The encoder component: the application's handle on the engine. It keeps
// the task list, starts tasks one after another or several at once, pauses,
// resumes and stops them, and delivers their progress, hooks and end.
//
// Handlers and threads
// --------------------
// Which thread runs each event, with TriggerEventInMainThread on (the
// default) or off:
//
//   event                      on                            off
//   OnTerminate                main thread (posted, FIFO)    a terminating thread (*)
//   OnProgress                 main thread (posted, latest)  the task's worker thread
//   OnPreviewBitmap            main thread (blocking call)   the task's worker thread
//   OnBeforeFindStreamInfo     main thread (blocking call)   the thread that calls AddTask
//   video, frame, audio hooks  the task's worker thread, in both modes
//
// A task run without a worker thread (StartTask(0)) runs its loop and its
// handlers in the caller's thread; its terminate notices are held until
// StartTask returns, so that a handler may clear the tasks.
//
// (*) Terminate notices are queued in the order they arise (a task's notice
// always before the all-done notice, task index -1) and delivered one at a
// time, in both modes. With delivery off, the thread that queued a notice
// delivers it unless another thread is delivering already; that thread then
// delivers it after its current handler call returns. So OnTerminate never
// runs twice at once, never recursively, and a terminating task never
// waits for a handler.
//
// Progress reports in the main thread are posted, not waited for, so that a
// slow handler never holds up a task's loop: while a task's report still
// waits in the queue, a newer one of that task replaces it (the handler sees
// the latest state, and always the last report, before the task's end
// notice).
//
// The other events reach their handler one call at a time per kind. A task
// that waits for its turn gives it up as soon as it is asked to stop (that
// frame, report or picture is then not handed on), so a handler may stop
// the tasks and wait for them.
//
// What a handler may call: Stop(True) and Stop(False) from every handler in
// both modes (from a task's own worker thread that task is flagged, the
// others are waited for); Pause, Resume and the properties. AddTask,
// SetOutput, RemoveTask and StartTask are refused with "Cannot %s while
// working." while tasks run. ClearTasks and RemoveTask are refused with the
// same text in a thread of one of the tasks (a worker or a terminate
// thread): they would destroy the thread they run on. In the main thread,
// ClearTasks succeeds once the all-done notice has been raised, in its
// handler too.
//
// Locks: FRunLock guards the run bookkeeping (FFinishedCount, FNextIndex,
// FRemainingCount, FAllDone, FThreaded) and is held for a few statements
// only, never while a handler runs. FNoticeLock guards FNotices and
// FDeliveringNotices. The task list has its own lock (TFFmpegList). Flags
// read across threads are atomic.
#pragma once

#include "EventTurn.h"
#include "FFBaseComponent.h"
#include "FFEncodeTypes.h"
#include "FFmpeg.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class TCustomEncoder;

using TAudioHookEvent =
    std::function<void(TCustomEncoder* ASender, int ATaskIndex, int64_t APTS, uint8_t* ASample,
                       int ASize, int ASampleRate, int AChannels, AVSampleFormat ASampleFormat)>;
using TVideoHookEvent = std::function<void(TCustomEncoder* ASender, PHookInfo AHookInfo)>;
using TFrameHookEvent = std::function<void(TCustomEncoder* ASender, PFrameHookInfo AHookInfo)>;
using TPreviewBitmapEvent =
    std::function<void(TCustomEncoder* ASender, const TPreviewInfo& APreviewInfo)>;
using TProgressEvent = std::function<void(TCustomEncoder* ASender, PProgressInfo AProgressInfo)>;
using TTerminateEvent =
    std::function<void(TCustomEncoder* ASender, const TTerminateInfo& ATerminateInfo)>;
// The sender is the task that opened the input.
using TBeforeFindStreamInfoEvent =
    std::function<void(TCustomFFmpeg* ASender, AVFormatContext* AFormatContext)>;

class TCustomEncoder : public TFFBaseComponent {
public:
  TCustomEncoder();
  ~TCustomEncoder() override;
  TCustomEncoder(const TCustomEncoder&) = delete;
  TCustomEncoder& operator=(const TCustomEncoder&) = delete;

  // Main-thread operations. Those answering an int answer the task index or
  // 0 or more, else a negative AVERROR code with LastErrMsg set; they raise
  // only the "Cannot %s while working." refusal (Exception) and, for a bad
  // task index, std::out_of_range.
  bool AVLibLoaded() const;
  // False with LastErrMsg set when a library or an entry point is missing.
  bool LoadAVLib(const std::string& APath);
  int AddTask(const std::string& AInFileName, TInputOptions* AOptions = nullptr);
  int SetOutput(int ATaskIndex, const std::string& AOutFileName,
                TOutputOptions* AOptions = nullptr);
  void RemoveTask(int ATaskIndex);
  void ClearTasks();
  // ACount > 0: that many tasks run at once, each in a worker thread of its
  // own; 0 or less: every task runs in the calling thread, one after another.
  void StartTask(int ACount);
  void Pause();
  void Resume();
  // Tasks not yet started never start; running ones end at their loop's next
  // pass. With AWait it returns when every task has ended (servicing the
  // main-thread queue while it waits in the main thread); an exception a
  // handler raises meanwhile comes out of it only then.
  void Stop(bool AWait);
  static void InitInputOptions(TInputOptions& AOptions) { ::InitInputOptions(AOptions); }
  static void InitOutputOptions(TOutputOptions& AOptions) { ::InitOutputOptions(AOptions); }

  int TaskCount() const { return FTasks.Count(); }
  TFFmpeg* Task(int AIndex) const { return FTasks.Items(AIndex); }

  // Properties.
  bool Preview() const { return FPreview; }
  void SetPreview(bool AValue);
  bool PreviewBitmap() const { return FPreviewBitmap; }
  void SetPreviewBitmap(bool AValue);
  int ProgressInterval() const { return FProgressInterval; }
  void SetProgressInterval(int AValue) { FProgressInterval = AValue <= 100 ? 100 : AValue; }
  TThreadPriority ThreadPriority = TThreadPriority::tpNormal;
  std::atomic<bool> TriggerEventInMainThread{true};

  std::string LastErrMsg;
  bool StrictOptions = true;
  bool Working() const { return FWorking.load(); }
  bool Paused() const { return FPaused.load(); }

  // Events, set from the main thread before tasks start.
  TAudioHookEvent OnAudioInputHook;
  TAudioHookEvent OnAudioOutputHook;
  TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
  TVideoHookEvent OnVideoInputHook;
  TVideoHookEvent OnVideoOutputHook;
  TPreviewBitmapEvent OnPreviewBitmap;
  TProgressEvent OnProgress;
  TTerminateEvent OnTerminate;
  TFrameHookEvent OnFrameInputHook;
  TFrameHookEvent OnFrameOutputHook;

protected:
  // Stops every task, frees them and cancels what was queued for the main
  // thread; no handler runs after it. A descendant whose tasks or handlers use
  // its own members calls it in its destructor, before those members die.
  void ShutDown();
  // The task the encoder creates for AddTask; a descendant may make another kind.
  virtual std::unique_ptr<TFFmpeg> CreateTask();

  virtual void DoVideoInputHook(TCustomFFmpeg* ATask, THookInfo& AInfo);
  virtual void DoVideoOutputHook(TCustomFFmpeg* ATask, THookInfo& AInfo);
  virtual void DoFrameInputHook(TCustomFFmpeg* ATask, TFrameHookInfo& AInfo);
  virtual void DoFrameOutputHook(TCustomFFmpeg* ATask, TFrameHookInfo& AInfo);
  virtual void DoPreviewBitmap(TCustomFFmpeg* ATask, const TPreviewInfo& AInfo);
  virtual void DoProgress(TCustomFFmpeg* ATask, const TProgressInfo& AInfo);
  virtual void DoTaskTerminate(TCustomFFmpeg* ATask);
  void DoAudioInputHook(TCustomFFmpeg* ATask, int64_t APTS, uint8_t* ASample, int ASize,
                        int ASampleRate, int AChannels, AVSampleFormat ASampleFormat);
  void DoAudioOutputHook(TCustomFFmpeg* ATask, int64_t APTS, uint8_t* ASample, int ASize,
                         int ASampleRate, int AChannels, AVSampleFormat ASampleFormat);
  void DoBeforeFindStreamInfo(TCustomFFmpeg* ATask, AVFormatContext* AFormatContext);

private:
  void CheckWorking(const char* AOperation) const;
  void StartNextTask();
  // Queues a notice; the caller holds FRunLock, so notices keep the order in
  // which the bookkeeping decided them.
  void QueueNotice(TTerminateInfo AInfo);
  void QueueAllDone();
  // Hands the queued notices to OnTerminate in the thread the mode asks for.
  void DeliverNotices();
  void DrainNotices();
  // Hands the queued progress reports to OnProgress (main thread).
  void DeliverProgress();
  void DoVideoHook(const TVideoHookEvent& AEvent, TCustomFFmpeg* ATask, THookInfo& AInfo);
  void DoFrameHook(const TFrameHookEvent& AEvent, TCustomFFmpeg* ATask, TFrameHookInfo& AInfo);
  void DoAudioHook(const TAudioHookEvent& AEvent, TCustomFFmpeg* ATask, int64_t APTS,
                   uint8_t* ASample, int ASize, int ASampleRate, int AChannels,
                   AVSampleFormat ASampleFormat);

  TFFmpegList FTasks;
  bool FPreview = false;
  bool FPreviewBitmap = false;
  int FProgressInterval = 500;

  mutable std::mutex FRunLock;
  int FFinishedCount = 0;   // guarded by FRunLock
  int FNextIndex = -1;      // guarded by FRunLock
  int FRemainingCount = 0;  // guarded by FRunLock
  bool FAllDone = false;    // guarded by FRunLock
  bool FThreaded = false;   // guarded by FRunLock
  std::atomic<bool> FWorking{false};
  std::atomic<bool> FPaused{false};
  std::atomic<bool> FDestroying{false}; // no handler runs once destruction began
  std::atomic<int> FStopping{0};        // Stop(True) is waiting for the tasks
  std::atomic<int> FStarting{0};        // StartTask is starting or running tasks

  std::mutex FProgressLock;
  std::map<int, TProgressInfo> FPendingProgress; // by task index; guarded by FProgressLock
  bool FProgressPosted = false;                  // guarded by FProgressLock

  std::mutex FNoticeLock;
  std::deque<TTerminateInfo> FNotices; // guarded by FNoticeLock
  bool FDeliveringNotices = false;     // guarded by FNoticeLock

  // One turn per kind of event.
  TEventTurn FAudioHookTurn;
  TEventTurn FPreviewTurn;
  TEventTurn FProgressTurn;
  TEventTurn FVideoHookTurn;
  TEventTurn FFrameHookTurn;
  TEventTurn FBeforeFindStreamInfoTurn;
};

class TFFEncoder : public TCustomEncoder {};

// Gives the hook switches of an output option string the written form the
// option table knows (" -videoinputhook " -> " -VideoInputHook ", ...).
std::string RewriteHookSwitches(const std::string& AOptions);
