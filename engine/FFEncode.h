// The encoder component: the application's handle on the engine. It keeps
// the task list, starts tasks one after another or several at once, pauses,
// resumes and stops them, and delivers their progress, hooks and end.
#pragma once

#include "FFBaseComponent.h"
#include "FFEncodeTypes.h"
#include "FFmpeg.h"

#include <atomic>
#include <deque>
#include <functional>
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

  bool AVLibLoaded() const;
  bool LoadAVLib(const std::string& APath);
  int AddTask(const std::string& AInFileName, TInputOptions* AOptions = nullptr);
  int SetOutput(int ATaskIndex, const std::string& AOutFileName,
                TOutputOptions* AOptions = nullptr);
  void RemoveTask(int ATaskIndex);
  void ClearTasks();
  void StartTask(int ACount);
  void Pause();
  void Resume();
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
  bool Paused() const { return FPaused; }

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
  void RaiseAllDone();
  void DeliverTerminate(const TTerminateInfo& AInfo);
  void FlushTerminateNotices();
  void DoVideoHook(const TVideoHookEvent& AEvent, TCustomFFmpeg* ATask, THookInfo& AInfo);
  void DoFrameHook(const TFrameHookEvent& AEvent, TCustomFFmpeg* ATask, TFrameHookInfo& AInfo);
  void DoAudioHook(const TAudioHookEvent& AEvent, TCustomFFmpeg* ATask, int64_t APTS,
                   uint8_t* ASample, int ASize, int ASampleRate, int AChannels,
                   AVSampleFormat ASampleFormat);

  TFFmpegList FTasks;
  bool FPreview = false;
  bool FPreviewBitmap = false;
  int FProgressInterval = 500;

  // Guarded by FTerminateLock.
  int FFinishedCount = 0;
  int FNextIndex = -1;
  int FRemainingCount = 0;
  bool FAllDone = false;
  bool FThreaded = false;
  std::atomic<bool> FWorking{false};
  bool FPaused = false;
  std::atomic<bool> FDestroying{false}; // no handler runs once destruction began
  std::atomic<int> FStopping{0};        // Stop(True) is pumping messages
  int FStarting = 0;                    // StartTask is running tasks in the main thread

  // Terminate notices on their way to the handler, in the order they were
  // raised: a task's notice always comes before the all-done notice.
  std::mutex FNoticeLock;
  std::deque<TTerminateInfo> FNotices;

  // One lock per kind of event, in the order of their creation.
  std::mutex FAudioHookLock;
  std::mutex FPreviewLock;
  std::mutex FProgressLock;
  std::recursive_mutex FTerminateLock;
  std::mutex FVideoHookLock;
  std::mutex FFrameHookLock;
  std::mutex FBeforeFindStreamInfoLock;
};

class TFFEncoder : public TCustomEncoder {};

// Gives the hook switches of an output option string the written form the
// option table knows (" -videoinputhook " -> " -VideoInputHook ", ...).
std::string RewriteHookSwitches(const std::string& AOptions);
