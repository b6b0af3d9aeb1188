// The transcode task's run control and the task list (see FFmpeg.h).
#include "FFmpeg.h"

#include "FFDecode.h"
#include "FFLoad.h"
#include "FFLog.h"
#include "FFValues.h"
#include "LibAV.h"
#include "MainThread.h"

#include <exception>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {
void AssertLibrariesLoaded() {
  if (!FFLoader().LibsLoaded(FFLoader().FullSet()))
    throw std::logic_error("The FFmpeg libraries are not loaded");
}

// Waits for AEvent in the main thread, running its queue meanwhile: a task's
// thread may wait there for a delivery. A handler that raises does not end
// the wait, which the task's end needs; its exception is raised once the
// event is set.
void WaitServingMainThread(const TManualResetEvent& AEvent) {
  std::exception_ptr first;
  while (!AEvent.WaitFor(0ms)) {
    try {
      TMainThread::ProcessWait(20ms);
      TMainThread::PumpMessages();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
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

void TCustomFFmpeg::Transcode() {
  FLastReportTime = -1;
  FLastPreviewTime = INT64_MIN;
  for (int& count : FQpHistogram)
    count = 0;
  TCustomFFmpegOpt::Transcode();
}

void TCustomFFmpeg::DoTerminate() {
  FRunning = false;
  FTerminated = true;
  FThreadActive = false;
  if (OnTerminate) OnTerminate(this);
}

void TCustomFFmpeg::WaitForConversion(bool AProcessMainThread) {
  if (AProcessMainThread)
    WaitServingMainThread(FConversionDone);
  else
    FConversionDone.Wait();
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
    if (TMainThread::IsMainThread())
      WaitServingMainThread(FTerminateDone);
    else
      FTerminateDone.Wait();
  }
}

bool TCustomFFmpeg::PassPause(TClockSpans& ASpans) {
  std::vector<TPauseGate::TSpan> spans;
  if (!FPauseGate.Pass(&spans)) return false;
  const int64_t offset = SteadyToLibAVOffset();
  ASpans.clear();
  for (const TPauseGate::TSpan& span : spans)
    ASpans.emplace_back(SteadyMicros(span.Paused) + offset, SteadyMicros(span.Resumed) + offset);
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
    FInputConverter.SetBitsPixel(ABitsPixel);
    FPreviewConverter.SetBitsPixel(ABitsPixel);
    return;
  default:
    throw std::invalid_argument("Invalid BitsPixel " + std::to_string(ABitsPixel));
  }
}

void TCustomFFmpeg::Cleanup() {
  AssertLibrariesLoaded();
  ReleaseInputViews();
  FreeTranscodeState();
  // The hook libraries' contexts and the preview window end with the run
  // (or the start that failed), not only with the task.
  FFrameHooks.Release();
  FFrameHooksAdded = false;
  FPreviewer.reset();
  FAudioBuffer.clear();
  FAudioBuffer.shrink_to_fit();
}

// ---- TFFmpeg --------------------------------------------------------------

TFFmpeg::TFFmpeg() = default;

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

void TFFmpeg::AttachDecoder(int AIndex) {
  AVFormatContext* context = InputFiles.at(static_cast<size_t>(AIndex))->Context.get();
  auto decoder = std::make_unique<TFFDecoder>();
  decoder->AttachFormatContext(context);
  if (static_cast<size_t>(AIndex) >= FDecoders.size())
    FDecoders.resize(static_cast<size_t>(AIndex) + 1);
  FDecoders[static_cast<size_t>(AIndex)] = std::move(decoder);
}

TFFDecoder* TFFmpeg::Decoder(int AIndex) const {
  if (AIndex < 0 || AIndex >= DecoderCount() || !FDecoders[static_cast<size_t>(AIndex)])
    throw std::out_of_range("List index out of bounds (" + std::to_string(AIndex) + ")");
  return FDecoders[static_cast<size_t>(AIndex)].get();
}

void TFFmpeg::ReleaseInputViews() {
  for (auto& decoder : FDecoders)
    if (decoder) decoder->CloseFile();
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
  // Every task is stopped (and waited for) whatever a handler that runs
  // meanwhile raises; the first exception is raised after the walk.
  std::exception_ptr first;
  for (int i = 0; i < Count(); ++i) {
    try {
      Items(i)->Terminate(AWait);
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
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
