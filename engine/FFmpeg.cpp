// The transcode task's run control and the task list (see FFmpeg.h).
#include "FFmpeg.h"

#include "FFLoad.h"
#include "FFLog.h"
#include "FFValues.h"
#include "LibAV.h"
#include "MainThread.h"

#include <stdexcept>

using namespace std::chrono_literals;

namespace {
void AssertLibrariesLoaded() {
  if (!FFLoader().LibsLoaded(FFLoader().FullSet()))
    throw std::logic_error("The FFmpeg libraries are not loaded");
}
} // namespace

// ---- TConvertThread -------------------------------------------------------

TConvertThread::TConvertThread(TCustomFFmpeg& ATask, TThreadPriority APriority)
    : FTask(ATask), FPriority(APriority) {
  // Reset now, not when the body starts: a wait that begins before the thread
  // runs must still wait for its end.
  FTask.FConversionDone.Reset();
}

void TConvertThread::Resume() {
  if (FThread.Joinable()) return;
  FThread.Start(
      [this] {
        try {
          FTask.DoConvert();
        } catch (...) {
        }
        FTask.FConversionDone.Set();
      },
      FPriority);
}

// ---- TCustomFFmpeg --------------------------------------------------------

TCustomFFmpeg::TCustomFFmpeg() {
  AssertLibrariesLoaded();
}

TCustomFFmpeg::~TCustomFFmpeg() {
  Stop(true);
  JoinThreads();
  try {
    Cleanup();
  } catch (...) {
  }
}

void TCustomFFmpeg::JoinThreads() {
  if (FWorker) FWorker->Join();
  FTerminateThread.Join();
}

std::string TCustomFFmpeg::ExceptionMsg() const {
  std::lock_guard lock(FExceptionLock);
  return FExceptionMsg;
}

void TCustomFFmpeg::RecordException(const std::exception& AError) {
  FFLogger().Log(this, TLogLevel::llQuiet, AError.what());
  std::lock_guard lock(FExceptionLock);
  FException = true;
  FExceptionMsg = AError.what();
}

TConvertThread* TCustomFFmpeg::Start(bool AThreaded, TThreadPriority APriority) {
  {
    std::lock_guard lock(FStateLock);
    if (FRunning || FTerminated || FTerminating) return nullptr;
    FTerminating = InputCount() == 0 || OutputCount() == 0;
    if (!FTerminating) {
      FRunning = true;
      FStopFlag = false;
      FStopTime = INT64_MAX;
      FFinished = false;
      FTerminated = false;
    }
  }
  if (OutputCount() == 0 || InputCount() == 0) {
    try {
      Cleanup();
      throw std::runtime_error(OutputCount() == 0 ? "At least one output file must be specified"
                                                  : "At least one input file must be specified");
    } catch (const std::exception& e) {
      RecordException(e);
    }
    DoTerminate();
    return nullptr;
  }
  if (!AThreaded) {
    DoConvert();
    return nullptr;
  }
  FWorker = std::make_unique<TConvertThread>(*this, APriority);
  FThreadActive = true;
  return FWorker.get();
}

void TCustomFFmpeg::DoConvert() {
  auto guarded = [this](auto&& AStep) {
    try {
      AStep();
    } catch (const std::exception& e) {
      RecordException(e);
    } catch (...) {
      RecordException(std::runtime_error("Unknown error"));
    }
  };
  guarded([this] {
    FFinished = false;
    Transcode();
  });
  guarded([this] {
    std::lock_guard lock(FCodecListLock);
    CloseOpenEncoders();
  });
  guarded([this] {
    std::lock_guard lock(FCodecListLock);
    CloseOpenDecoders();
  });
  guarded([this] { Cleanup(); });
  guarded([this] { DoTerminate(); });
  // Makes the log callback flush a pending repeat count.
  if (AV.av_log) AV.av_log(nullptr, AV_LOG_QUIET, "%s", "");
}

void TCustomFFmpeg::DoTerminate() {
  FRunning = false;
  FTerminated = true;
  FThreadActive = false;
  if (OnTerminate) OnTerminate(this);
}

void TCustomFFmpeg::WaitForConversion(bool AProcessMainThread) {
  while (!FConversionDone.WaitFor(AProcessMainThread ? 0ms : 20ms)) {
    if (!AProcessMainThread) continue;
    // The task's thread may be waiting for the main thread to run a delivery.
    TMainThread::ProcessWait(20ms);
    TMainThread::PumpMessages();
  }
}

namespace {

int64_t SteadyMicros(std::chrono::steady_clock::time_point ATime) {
  return std::chrono::duration_cast<std::chrono::microseconds>(ATime.time_since_epoch()).count();
}

// The steady clock and the libraries' monotonic clock may count from
// different origins.
int64_t SteadyToLibAVOffset() {
  return AV.av_gettime_relative() - SteadyMicros(std::chrono::steady_clock::now());
}

} // namespace

void TCustomFFmpeg::Stop(bool AWait) {
  int64_t none = INT64_MAX;
  FStopTime.compare_exchange_strong(none, SteadyMicros(std::chrono::steady_clock::now()));
  FStopFlag = true;
  if (!FThreadActive) return;
  // A paused task must run to see the stop flag.
  FPauseGate.Resume();
  if (AWait && FWorker && !FWorker->IsCurrent()) WaitForConversion(TMainThread::IsMainThread());
}

void TCustomFFmpeg::Terminate(bool AWait) {
  {
    std::unique_lock lock(FStateLock);
    if (FRunning) {
      lock.unlock();
      Stop(AWait);
      return;
    }
    if (FTerminated || FTerminating) return;
    FTerminating = true;
    FTerminateDone.Reset();
  }
  FTerminateThread.Start([this] {
    try {
      DoTerminate();
    } catch (...) {
    }
    FTerminateDone.Set();
  });
  if (AWait) {
    if (TMainThread::IsMainThread()) {
      while (!FTerminateDone.WaitFor(0ms)) {
        TMainThread::ProcessWait(20ms);
        TMainThread::PumpMessages();
      }
    } else {
      FTerminateDone.Wait();
    }
  }
}

bool TCustomFFmpeg::PassPause(int64_t& APausedAt, int64_t& AResumedAt) {
  TPauseGate::TSpan span;
  if (!FPauseGate.Pass(&span)) return false;
  const int64_t offset = SteadyToLibAVOffset();
  APausedAt = SteadyMicros(span.Paused) + offset;
  AResumedAt = SteadyMicros(span.Resumed) + offset;
  return true;
}

int64_t TCustomFFmpeg::StopRequestTime() const {
  const int64_t at = FStopTime.load();
  return at == INT64_MAX ? at : at + SteadyToLibAVOffset();
}

void TCustomFFmpeg::SuspendConvert() {
  if (FThreadActive) FPauseGate.Pause();
}

void TCustomFFmpeg::ResumeConvert() {
  FPauseGate.Resume();
}

void TCustomFFmpeg::SetPreviewFlags(uint8_t AFlags) {
  FPreviewFlags = AFlags;
  FPreviewFlagsChanged = true;
}

void TCustomFFmpeg::ChangePreviewFlags(uint8_t AMask, bool AOn) {
  if (AOn)
    FPreviewFlags.fetch_or(AMask);
  else
    FPreviewFlags.fetch_and(static_cast<uint8_t>(~AMask));
  FPreviewFlagsChanged = true;
}

bool TCustomFFmpeg::RunsInCurrentThread() const {
  return (FWorker && FWorker->IsCurrent()) || FTerminateThread.IsCurrent();
}

void TCustomFFmpeg::SetHookBitsPixel(int ABitsPixel) {
  switch (ABitsPixel) {
  case 8:
  case 15:
  case 16:
  case 24:
  case 32:
    FHookBitsPixel = ABitsPixel;
    return;
  default:
    throw std::invalid_argument("Invalid BitsPixel " + std::to_string(ABitsPixel));
  }
}

int TCustomFFmpeg::OptVideoHookBitsPixel(TOptionsContext*, const char* AName, const char* AValue) {
  SetHookBitsPixel(ParseIntOption(AName, AValue ? AValue : ""));
  return 0;
}

void TCustomFFmpeg::Cleanup() {
  AssertLibrariesLoaded();
  FreeTranscodeState();
}

// ---- TFFmpeg --------------------------------------------------------------

TFFmpeg::~TFFmpeg() {
  // Let no callback reach the encoder while the task dies.
  Stop(true);
  JoinThreads();
  OnAudioInputHook = nullptr;
  OnAudioOutputHook = nullptr;
  OnVideoInputHook = nullptr;
  OnVideoOutputHook = nullptr;
  OnPreviewBitmap = nullptr;
  OnProgress = nullptr;
  OnTerminate = nullptr;
}

namespace {
template <typename T> T& Slot(std::vector<T>& AItems, int AIndex) {
  if (AIndex < 0)
    throw std::out_of_range("List index out of bounds (" + std::to_string(AIndex) + ")");
  if (static_cast<size_t>(AIndex) >= AItems.size()) AItems.resize(static_cast<size_t>(AIndex) + 1);
  return AItems[static_cast<size_t>(AIndex)];
}
} // namespace

void TFFmpeg::SetInputOptions(int AIndex, const TInputOptions& AOptions) {
  Slot(FInputOptions, AIndex) = AOptions;
}
void TFFmpeg::SetOutputOptions(int AIndex, const TOutputOptions& AOptions) {
  Slot(FOutputOptions, AIndex) = AOptions;
}
void TFFmpeg::ClearInputOptions(int AIndex) {
  InitInputOptions(Slot(FInputOptions, AIndex));
}
void TFFmpeg::ClearOutputOptions(int AIndex) {
  InitOutputOptions(Slot(FOutputOptions, AIndex));
}

// ---- TFFmpegList ----------------------------------------------------------

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> ATask) {
  std::lock_guard lock(FLock);
  FItems.push_back(std::move(ATask));
  return static_cast<int>(FItems.size()) - 1;
}

void TFFmpegList::Clear() {
  std::vector<std::unique_ptr<TFFmpeg>> items;
  {
    std::lock_guard lock(FLock);
    items.swap(FItems);
  }
  items.clear(); // outside the lock: a dying task may still notify its encoder
}

void TFFmpegList::Delete(int AIndex) {
  std::unique_ptr<TFFmpeg> task;
  {
    std::lock_guard lock(FLock);
    if (AIndex < 0 || AIndex >= static_cast<int>(FItems.size()))
      throw std::out_of_range("List index out of bounds (" + std::to_string(AIndex) + ")");
    task = std::move(FItems[static_cast<size_t>(AIndex)]);
    FItems.erase(FItems.begin() + AIndex);
  }
}

TFFmpeg* TFFmpegList::Items(int AIndex) const {
  std::lock_guard lock(FLock);
  if (AIndex < 0 || AIndex >= static_cast<int>(FItems.size()))
    throw std::out_of_range("List index out of bounds (" + std::to_string(AIndex) + ")");
  return FItems[static_cast<size_t>(AIndex)].get();
}

int TFFmpegList::IndexOf(const TCustomFFmpeg* ATask) const {
  std::lock_guard lock(FLock);
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == ATask) return static_cast<int>(i);
  return -1;
}

int TFFmpegList::Count() const {
  std::lock_guard lock(FLock);
  return static_cast<int>(FItems.size());
}

void TFFmpegList::SuspendAll() {
  for (int i = 0; i < Count(); ++i)
    Items(i)->SuspendConvert();
}

void TFFmpegList::ResumeAll() {
  for (int i = 0; i < Count(); ++i)
    Items(i)->ResumeConvert();
}

void TFFmpegList::StopAll(bool AWait) {
  for (int i = 0; i < Count(); ++i)
    Items(i)->Terminate(AWait);
}

bool TFFmpegList::AnyRunsInCurrentThread() const {
  std::lock_guard lock(FLock);
  for (const auto& task : FItems)
    if (task->RunsInCurrentThread()) return true;
  return false;
}

void TFFmpegList::SetPreview(bool AOn) {
  for (int i = 0; i < Count(); ++i)
    Items(i)->ChangePreviewFlags(1, AOn);
}

void TFFmpegList::SetPreviewBitmap(bool AOn) {
  for (int i = 0; i < Count(); ++i)
    Items(i)->ChangePreviewFlags(2, AOn);
}
