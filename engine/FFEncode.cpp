// The encoder component (see FFEncode.h).
#include "FFEncode.h"

#include "Bitmap.h"
#include "Exception.h"
#include "FFLoad.h"
#include "FFUtils.h"
#include "MainThread.h"

#include <algorithm>
#include <cctype>

void InitInputOptions(TInputOptions& AOptions) {
  AOptions = TInputOptions{};
}

void InitOutputOptions(TOutputOptions& AOptions) {
  AOptions = TOutputOptions{};
}

namespace {

std::string Lower(std::string AText) {
  std::transform(AText.begin(), AText.end(), AText.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return AText;
}

// Replaces every occurrence of AFind (ignoring case) by AReplace.
void ReplaceAllNoCase(std::string& AText, const std::string& AFind, const std::string& AReplace) {
  const std::string find = Lower(AFind);
  std::string lower = Lower(AText);
  for (size_t at = lower.find(find); at != std::string::npos; at = lower.find(find, at)) {
    AText.replace(at, AFind.size(), AReplace);
    lower.replace(at, AFind.size(), Lower(AReplace));
    at += AReplace.size();
  }
}

} // namespace

std::string RewriteHookSwitches(const std::string& AOptions) {
  static const char* const kSwitches[] = {"AudioInputHook",
                                          "AudioOutputHook",
                                          "VideoInputHook",
                                          "VideoOutputHook",
                                          "FrameInputHook",
                                          "FrameOutputHook",
                                          "Join"};
  std::string text = " " + AOptions + " ";
  for (const char* name : kSwitches) {
    const std::string written = std::string(" -") + name + " ";
    ReplaceAllNoCase(text, written, written);
  }
  return Trim(text);
}

// ---- Life and loading -----------------------------------------------------

TCustomEncoder::TCustomEncoder() = default;

TCustomEncoder::~TCustomEncoder() {
  ShutDown();
}

void TCustomEncoder::ShutDown() {
  FDestroying = true;
  // Called from destructors: what something queued for the main thread
  // raises while the tasks are waited for goes no further.
  try {
    if (FWorking) Stop(true);
  } catch (...) {
  }
  FTasks.Clear();
  TMainThread::Cancel(this);
}

std::unique_ptr<TFFmpeg> TCustomEncoder::CreateTask() {
  return std::make_unique<TFFmpeg>();
}

bool TCustomEncoder::AVLibLoaded() const {
  return FFLoader().LibsLoaded(FFLoader().FullSet());
}

bool TCustomEncoder::LoadAVLib(const std::string& APath) {
  FFLoader().SetLibraryPath(APath);
  if (FFLoader().LoadLibs(FFLoader().FullSet())) return true;
  LastErrMsg = FFLoader().GetLastErrMsg();
  return false;
}

void TCustomEncoder::CheckWorking(const char* AOperation) const {
  if (FWorking || FStopping > 0 || FStarting > 0)
    throw Exception(std::string("Cannot ") + AOperation + " while working.");
}

// ---- Tasks and their files -----------------------------------------------

int TCustomEncoder::AddTask(const std::string& AInFileName, TInputOptions* AOptions) {
  CheckWorking("AddTask");
  try {
    std::unique_ptr<TFFmpeg> task = CreateTask();
    task->OnBeforeFindStreamInfo = [this](TCustomFFmpeg* t, AVFormatContext* c) {
      DoBeforeFindStreamInfo(t, c);
    };
    task->OnPreviewBitmap = [this](TCustomFFmpeg* t, const TPreviewInfo& i) {
      DoPreviewBitmap(t, i);
    };
    task->Encoder = this;
    task->SetPreviewFlags(static_cast<uint8_t>((FPreview ? 1 : 0) | (FPreviewBitmap ? 2 : 0)));
    task->LastErrMsg.clear();
    task->StrictOptions = StrictOptions;
    task->ReadTimeout = ReadTimeout;
    task->WriteTimeout = WriteTimeout;

    std::string options, presets;
    const int index = task->InputCount();
    if (AOptions) {
      if (AOptions->FileName.empty()) AOptions->FileName = AInFileName;
      task->SetInputOptions(index, *AOptions);
      options = AOptions->Options;
      presets = AOptions->Presets;
    } else {
      task->ClearInputOptions(index);
    }

    const int result = task->AddInput(options, AInFileName, presets);
    if (result < 0) {
      LastErrMsg = task->LastErrMsg;
      return result;
    }
    task->AttachDecoder(result);
    task->OnProgress = [this](TCustomFFmpeg* t, const TProgressInfo& i) { DoProgress(t, i); };
    task->OnTerminate = [this](TCustomFFmpeg* t) { DoTaskTerminate(t); };
    return FTasks.Add(std::move(task));
  } catch (const std::exception& e) {
    LastErrMsg = e.what();
    return -1;
  }
}

int TCustomEncoder::SetOutput(int ATaskIndex, const std::string& AOutFileName,
                              TOutputOptions* AOptions) {
  CheckWorking("SetOutput");
  TFFmpeg* task = FTasks.Items(ATaskIndex);
  try {
    task->LastErrMsg.clear();
    task->StrictOptions = StrictOptions;
    task->ReadTimeout = ReadTimeout;
    task->WriteTimeout = WriteTimeout;

    std::string options, presets;
    bool join = false;
    const int index = task->OutputCount();
    if (AOptions) {
      if (AOptions->FileName.empty()) AOptions->FileName = AOutFileName;
      task->SetOutputOptions(index, *AOptions);
      if (AOptions->AudioInputHook)
        task->OnAudioInputHook = [this](TCustomFFmpeg* t, int64_t p, uint8_t* s, int n, int r,
                                        int c, AVSampleFormat f) {
          DoAudioInputHook(t, p, s, n, r, c, f);
        };
      if (AOptions->AudioOutputHook)
        task->OnAudioOutputHook = [this](TCustomFFmpeg* t, int64_t p, uint8_t* s, int n, int r,
                                         int c, AVSampleFormat f) {
          DoAudioOutputHook(t, p, s, n, r, c, f);
        };
      if (AOptions->VideoInputHook)
        task->OnVideoInputHook = [this](TCustomFFmpeg* t, THookInfo& i) { DoVideoInputHook(t, i); };
      if (AOptions->VideoOutputHook)
        task->OnVideoOutputHook = [this](TCustomFFmpeg* t, THookInfo& i) {
          DoVideoOutputHook(t, i);
        };
      if (AOptions->FrameInputHook)
        task->OnFrameInputHook = [this](TCustomFFmpeg* t, TFrameHookInfo& i) {
          DoFrameInputHook(t, i);
        };
      if (AOptions->FrameOutputHook)
        task->OnFrameOutputHook = [this](TCustomFFmpeg* t, TFrameHookInfo& i) {
          DoFrameOutputHook(t, i);
        };
      task->SetHookBitsPixel(AOptions->VideoHookBitsPixel);
      options = AOptions->Options;
      presets = AOptions->Presets;
      join = AOptions->Join;
    } else {
      task->ClearOutputOptions(index);
    }

    options = RewriteHookSwitches(options);
    const int result = task->AddOutput(options, join, AOutFileName, presets);
    if (result < 0) {
      LastErrMsg = task->LastErrMsg;
      task->ClearOutputOptions(index);
    }
    return result;
  } catch (const std::exception& e) {
    LastErrMsg = e.what();
    if (!task->LastErrMsg.empty()) LastErrMsg += "\r\n" + task->LastErrMsg;
    return -1;
  }
}

void TCustomEncoder::RemoveTask(int ATaskIndex) {
  CheckWorking("RemoveTask");
  if (FTasks.AnyRunsInCurrentThread()) throw Exception("Cannot RemoveTask while working.");
  FTasks.Delete(ATaskIndex);
}

void TCustomEncoder::ClearTasks() {
  {
    std::lock_guard lock(FRunLock);
    if ((FWorking && !FAllDone) || FStopping > 0 || FStarting > 0)
      throw Exception("Cannot ClearTasks while working.");
  }
  // A handler in a task's own thread would destroy the thread it runs on.
  if (FTasks.AnyRunsInCurrentThread()) throw Exception("Cannot ClearTasks while working.");
  FTasks.Clear();
  LastErrMsg.clear();
  std::lock_guard lock(FRunLock);
  FFinishedCount = 0;
  FNextIndex = -1;
  FRemainingCount = 0;
  FAllDone = false;
  FThreaded = false;
  FWorking = false;
  FPaused = false;
}

// ---- Running --------------------------------------------------------------

void TCustomEncoder::StartTask(int ACount) {
  CheckWorking("StartTask");
  {
    std::lock_guard lock(FRunLock);
    FFinishedCount = 0;
    FNextIndex = 0;
    FRemainingCount = FTasks.Count();
    FAllDone = false;
    FThreaded = ACount > 0;
    FWorking = true;
    FPaused = false;
    // Nothing to run is all done at once, so the component does not stay
    // working for ever.
    if (FRemainingCount == 0) QueueAllDone();
  }
  struct TStarting {
    std::atomic<int>& Count;
    explicit TStarting(std::atomic<int>& ACount) : Count(ACount) { ++Count; }
    ~TStarting() { --Count; }
  };
  {
    TStarting starting(FStarting);
    for (;;) {
      {
        std::lock_guard lock(FRunLock);
        if (FRemainingCount <= 0) break;
      }
      StartNextTask();
      if (ACount > 0 && --ACount <= 0) break;
    }
  }
  // Notices raised in this thread while tasks ran reach the handler now, with
  // no task on the stack, so the handler may clear the tasks.
  DeliverNotices();
}

void TCustomEncoder::StartNextTask() {
  TFFmpeg* task;
  bool threaded;
  {
    // The index is claimed first: a task that fails to start must not hold
    // up the ones after it.
    std::lock_guard lock(FRunLock);
    if (FRemainingCount <= 0) return;
    --FRemainingCount;
    task = FTasks.Items(FNextIndex++);
    threaded = FThreaded;
  }
  task->ProgressInterval = static_cast<int64_t>(FProgressInterval) * 1000;
  if (threaded) {
    if (TConvertThread* thread = task->Start(true, ThreadPriority)) thread->Resume();
  } else {
    task->Start(false, ThreadPriority);
  }
}

void TCustomEncoder::Pause() {
  if (!FWorking || FPaused) return;
  FTasks.SuspendAll();
  FPaused = true;
}

void TCustomEncoder::Resume() {
  if (!FWorking || !FPaused) return;
  FTasks.ResumeAll();
  FPaused = false;
}

void TCustomEncoder::Stop(bool AWait) {
  {
    std::lock_guard lock(FRunLock);
    FRemainingCount = 0;
  }
  if (!FWorking) return;
  ++FStopping;
  struct TLeave {
    std::atomic<int>& Count;
    ~TLeave() { --Count; }
  } leave{FStopping};
  FTasks.StopAll(AWait);
}

void TCustomEncoder::SetPreview(bool AValue) {
  FPreview = AValue;
  FTasks.SetPreview(AValue);
}

void TCustomEncoder::SetPreviewBitmap(bool AValue) {
  FPreviewBitmap = AValue;
  FTasks.SetPreviewBitmap(AValue);
}

// ---- Terminate notices ----------------------------------------------------

void TCustomEncoder::DoTaskTerminate(TCustomFFmpeg* ATask) {
  bool startNext = false;
  {
    std::lock_guard lock(FRunLock);
    QueueNotice({FTasks.IndexOf(ATask), ATask->Finished(), ATask->ExceptionRaised(),
                 ATask->ExceptionMsg()});
    ++FFinishedCount;
    if (FRemainingCount < 1) {
      if (!FAllDone && FFinishedCount >= FTasks.Count()) QueueAllDone();
    } else {
      startNext = FThreaded;
    }
  }
  if (startNext) StartNextTask();
  DeliverNotices();
}

void TCustomEncoder::QueueNotice(TTerminateInfo AInfo) {
  if (!OnTerminate || FDestroying) return;
  std::lock_guard lock(FNoticeLock);
  FNotices.push_back(std::move(AInfo));
}

void TCustomEncoder::QueueAllDone() {
  FAllDone = true;
  QueueNotice({-1, true, false, {}});
}

void TCustomEncoder::DeliverNotices() {
  if (FDestroying) return;
  if (TMainThread::IsMainThread()) {
    if (FStarting == 0) DrainNotices();
  } else if (TriggerEventInMainThread) {
    TMainThread::Post([this] { DrainNotices(); }, this);
  } else {
    DrainNotices();
  }
}

void TCustomEncoder::DrainNotices() {
  // A task's last report goes before its end notice.
  if (TMainThread::IsMainThread()) DeliverProgress();
  {
    std::lock_guard lock(FNoticeLock);
    if (FDeliveringNotices) return; // that thread delivers ours next
    FDeliveringNotices = true;
  }
  std::exception_ptr firstError;
  for (;;) {
    TTerminateInfo info;
    {
      // Emptiness and the end of delivering are one step, so a notice queued
      // meanwhile is never left behind.
      std::lock_guard lock(FNoticeLock);
      if (FNotices.empty()) {
        FDeliveringNotices = false;
        break;
      }
      info = std::move(FNotices.front());
      FNotices.pop_front();
    }
    if (!OnTerminate || FDestroying) continue;
    // A failing handler must not keep the later notices from theirs.
    try {
      OnTerminate(this, info);
    } catch (...) {
      if (!firstError) firstError = std::current_exception();
    }
  }
  if (firstError) std::rethrow_exception(firstError);
}

// ---- Deliveries from the tasks --------------------------------------------

namespace {

// The reason a task waits for an event's turn is gone once it is asked to stop.
auto GiveUpWhenStopping(TCustomFFmpeg* ATask) {
  return [ATask] { return ATask->StopRequested(); };
}

} // namespace

bool TFFmpeg::HasProgressHandler() const {
  return TCustomFFmpeg::HasProgressHandler() && (!Encoder || Encoder->OnProgress);
}

void TCustomEncoder::DoProgress(TCustomFFmpeg* ATask, const TProgressInfo& AInfo) {
  if (!OnProgress || FDestroying) return;
  TProgressInfo info = AInfo;
  info.TaskIndex = FTasks.IndexOf(ATask);
  if (TriggerEventInMainThread && !TMainThread::IsMainThread()) {
    // Posted, never waited for: a busy main thread must not hold up the loop
    // (a capture device's queue would overflow meanwhile). A report that
    // finds the one before it still queued takes its place.
    std::lock_guard lock(FProgressLock);
    FPendingProgress[info.TaskIndex] = info;
    if (!FProgressPosted) {
      FProgressPosted = true;
      TMainThread::Post([this] { DeliverProgress(); }, this);
    }
    return;
  }
  if (TriggerEventInMainThread) {
    if (!FDestroying) OnProgress(this, &info);
    return;
  }
  TEventTurnHold turn(FProgressTurn, GiveUpWhenStopping(ATask));
  if (turn.Held()) OnProgress(this, &info);
}

void TCustomEncoder::DeliverProgress() {
  std::map<int, TProgressInfo> reports;
  {
    std::lock_guard lock(FProgressLock);
    reports.swap(FPendingProgress);
    FProgressPosted = false;
  }
  std::exception_ptr firstError;
  for (auto& [index, info] : reports) {
    if (!OnProgress || FDestroying) break;
    try {
      OnProgress(this, &info);
    } catch (...) {
      if (!firstError) firstError = std::current_exception();
    }
  }
  if (firstError) std::rethrow_exception(firstError);
}

void TCustomEncoder::DoPreviewBitmap(TCustomFFmpeg* ATask, const TPreviewInfo& AInfo) {
  if (!OnPreviewBitmap || FDestroying) return;
  TPreviewInfo info = AInfo;
  info.TaskIndex = FTasks.IndexOf(ATask);
  if (TriggerEventInMainThread) {
    CallInMainThread([this, &info] {
      if (!FDestroying) OnPreviewBitmap(this, info);
    });
    return;
  }
  TEventTurnHold turn(FPreviewTurn, GiveUpWhenStopping(ATask));
  if (turn.Held()) OnPreviewBitmap(this, info);
}

void TCustomEncoder::DoBeforeFindStreamInfo(TCustomFFmpeg* ATask, AVFormatContext* AFormatContext) {
  if (!OnBeforeFindStreamInfo || FDestroying) return;
  if (TriggerEventInMainThread) {
    CallInMainThread([&] {
      if (!FDestroying) OnBeforeFindStreamInfo(ATask, AFormatContext);
    });
    return;
  }
  TEventTurnHold turn(FBeforeFindStreamInfoTurn, [] { return false; });
  OnBeforeFindStreamInfo(ATask, AFormatContext);
}

void TCustomEncoder::DoVideoHook(const TVideoHookEvent& AEvent, TCustomFFmpeg* ATask,
                                 THookInfo& AInfo) {
  if (!AEvent || FDestroying) return;
  TEventTurnHold turn(FVideoHookTurn, GiveUpWhenStopping(ATask));
  if (!turn.Held()) return;
  AInfo.TaskIndex = FTasks.IndexOf(ATask);
  struct TCanvasLock {
    TBitmap* Bitmap;
    explicit TCanvasLock(TBitmap* ABitmap) : Bitmap(ABitmap) {
      if (Bitmap) Bitmap->Lock();
    }
    ~TCanvasLock() {
      if (Bitmap) Bitmap->Unlock();
    }
  } canvas(AInfo.Bitmap);
  AEvent(this, &AInfo);
}

void TCustomEncoder::DoVideoInputHook(TCustomFFmpeg* ATask, THookInfo& AInfo) {
  DoVideoHook(OnVideoInputHook, ATask, AInfo);
}

void TCustomEncoder::DoVideoOutputHook(TCustomFFmpeg* ATask, THookInfo& AInfo) {
  DoVideoHook(OnVideoOutputHook, ATask, AInfo);
}

void TCustomEncoder::DoFrameHook(const TFrameHookEvent& AEvent, TCustomFFmpeg* ATask,
                                 TFrameHookInfo& AInfo) {
  if (!AEvent || FDestroying) return;
  TEventTurnHold turn(FFrameHookTurn, GiveUpWhenStopping(ATask));
  if (!turn.Held()) return;
  AInfo.TaskIndex = FTasks.IndexOf(ATask);
  AEvent(this, &AInfo);
}

void TCustomEncoder::DoFrameInputHook(TCustomFFmpeg* ATask, TFrameHookInfo& AInfo) {
  DoFrameHook(OnFrameInputHook, ATask, AInfo);
}

void TCustomEncoder::DoFrameOutputHook(TCustomFFmpeg* ATask, TFrameHookInfo& AInfo) {
  DoFrameHook(OnFrameOutputHook, ATask, AInfo);
}

void TCustomEncoder::DoAudioHook(const TAudioHookEvent& AEvent, TCustomFFmpeg* ATask, int64_t APTS,
                                 uint8_t* ASample, int ASize, int ASampleRate, int AChannels,
                                 AVSampleFormat ASampleFormat) {
  if (!AEvent || FDestroying) return;
  TEventTurnHold turn(FAudioHookTurn, GiveUpWhenStopping(ATask));
  if (!turn.Held()) return;
  AEvent(this, FTasks.IndexOf(ATask), APTS, ASample, ASize, ASampleRate, AChannels, ASampleFormat);
}

void TCustomEncoder::DoAudioInputHook(TCustomFFmpeg* ATask, int64_t APTS, uint8_t* ASample,
                                      int ASize, int ASampleRate, int AChannels,
                                      AVSampleFormat ASampleFormat) {
  DoAudioHook(OnAudioInputHook, ATask, APTS, ASample, ASize, ASampleRate, AChannels, ASampleFormat);
}

void TCustomEncoder::DoAudioOutputHook(TCustomFFmpeg* ATask, int64_t APTS, uint8_t* ASample,
                                       int ASize, int ASampleRate, int AChannels,
                                       AVSampleFormat ASampleFormat) {
  DoAudioHook(OnAudioOutputHook, ATask, APTS, ASample, ASize, ASampleRate, AChannels,
              ASampleFormat);
}
