// A task's I/O interrupts (see IOInterrupts.h).
#include "IOInterrupts.h"

#include "FFLog.h"
#include "LibAV.h"

TIOInterrupts::TIOInterrupts(void* ALogSender)
    : ReadInterrupt{&ReadInterruptCallback, this}, WriteInterrupt{&WriteInterruptCallback, this},
      FLogSender(ALogSender) {}

int64_t TIOInterrupts::InterruptClock() const {
  const TInterruptClock clock = FClock.load();
  return clock ? clock() : AV.av_gettime_relative();
}

void TIOInterrupts::StartReadTimer() {
  FReadReported = irNone;
  ReadStartTime = InterruptClock();
}

void TIOInterrupts::StartWriteTimer() {
  FWriteReported = irNone;
  WriteStartTime = InterruptClock();
}

int TIOInterrupts::CheckInterrupt(const TIODirection& ADirection) noexcept {
  auto report = [&](TIOReport AWhat, const char* AText) {
    if (ADirection.Reported.exchange(AWhat) == AWhat) return;
    try {
      FFLogger().Log(FLogSender, TLogLevel::llInfo, AText);
    } catch (...) {
      // Nothing may unwind into the libraries' C code.
    }
  };
  if (IOBroken) {
    report(irBroken, "reading/writing broken");
    return 1;
  }
  const int64_t start = ADirection.StartTime.load();
  // A cancel counts whatever the time-out.
  if (start == 0) {
    report(irCanceled, ADirection.CanceledText);
    return 1;
  }
  const int timeout = ADirection.Timeout.load();
  if (start == kNoIOStartTime || timeout <= 0) return 0;
  if (InterruptClock() - start <= int64_t{timeout} * 1000) return 0;
  report(irTimeout, ADirection.TimeoutText);
  return 1;
}

int TIOInterrupts::ReadInterruptCallback(void* AOpaque) noexcept {
  auto* io = static_cast<TIOInterrupts*>(AOpaque);
  return io->CheckInterrupt({io->ReadTimeout, io->ReadStartTime, io->FReadReported,
                             "connecting/reading timeout", "connecting/reading canceled"});
}

int TIOInterrupts::WriteInterruptCallback(void* AOpaque) noexcept {
  auto* io = static_cast<TIOInterrupts*>(AOpaque);
  return io->CheckInterrupt({io->WriteTimeout, io->WriteStartTime, io->FWriteReported,
                             "connecting/writing timeout", "connecting/writing canceled"});
}
