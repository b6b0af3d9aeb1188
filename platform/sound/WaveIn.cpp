// Wave-in over ALSA (see WaveIn.h).
#include "WaveIn.h"

#include <algorithm>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

using TClock = std::chrono::steady_clock;

struct THwParamsFree {
  void operator()(snd_pcm_hw_params_t* AParams) const { snd_pcm_hw_params_free(AParams); }
};

// How long the reader waits for a PCM with a clock before it looks at its
// stop flag again.
constexpr int kPollMilliseconds = 20;
// How much sound the reader takes at a time from a PCM without a clock.
constexpr int kReadsPerSecond = 100;

// The ALSA name of a device number, or empty when there is no such device.
std::string DeviceName(int ADevice) {
  if (ADevice == TWaveIn::kDefaultDevice) return "default";
  if (ADevice < 0) return {};
  const std::vector<std::string> names = WaveInDeviceNames();
  return ADevice < static_cast<int>(names.size()) ? names[ADevice] : std::string();
}

} // namespace

std::vector<std::string> WaveInDeviceNames() {
  std::vector<std::string> names;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0) return names;
  for (void** hint = hints; *hint; ++hint) {
    char* name = snd_device_name_get_hint(*hint, "NAME");
    char* direction = snd_device_name_get_hint(*hint, "IOID");
    if (name && std::strcmp(name, "null") != 0 &&
        (!direction || std::strcmp(direction, "Input") == 0))
      names.emplace_back(name);
    std::free(name);
    std::free(direction);
  }
  snd_device_name_free_hint(hints);
  return names;
}

std::string TWaveIn::ErrorText(int ACode) {
  return snd_strerror(ACode);
}

int TWaveIn::OpenPcm(int ADevice, const TWaveFormat& AFormat, TPcm& APcm,
                     snd_pcm_uframes_t& ABufferFrames) {
  if (AFormat.BitsPerSample != 8 && AFormat.BitsPerSample != 16) return -EINVAL;
  const std::string name = DeviceName(ADevice);
  if (name.empty()) return -ENODEV;
  snd_pcm_t* raw = nullptr;
  int error = snd_pcm_open(&raw, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
  if (error < 0) return error;
  TPcm pcm(raw);

  snd_pcm_hw_params_t* rawParams = nullptr;
  if ((error = snd_pcm_hw_params_malloc(&rawParams)) < 0) return error;
  std::unique_ptr<snd_pcm_hw_params_t, THwParamsFree> params(rawParams);
  const snd_pcm_format_t format =
      AFormat.BitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  unsigned bufferTime = 1000000; // microseconds: room for a late reader
  if ((error = snd_pcm_hw_params_any(pcm.get(), params.get())) < 0 ||
      (error = snd_pcm_hw_params_set_access(pcm.get(), params.get(),
                                            SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
      (error = snd_pcm_hw_params_set_format(pcm.get(), params.get(), format)) < 0 ||
      (error = snd_pcm_hw_params_set_channels(pcm.get(), params.get(),
                                              static_cast<unsigned>(AFormat.Channels))) < 0 ||
      (error = snd_pcm_hw_params_set_rate(pcm.get(), params.get(),
                                          static_cast<unsigned>(AFormat.SamplesPerSec), 0)) < 0 ||
      (error = snd_pcm_hw_params_set_buffer_time_near(pcm.get(), params.get(), &bufferTime,
                                                      nullptr)) < 0 ||
      (error = snd_pcm_hw_params(pcm.get(), params.get())) < 0)
    return error;
  snd_pcm_uframes_t bufferFrames = 0;
  if (snd_pcm_hw_params_get_buffer_size(params.get(), &bufferFrames) >= 0 && bufferFrames > 0)
    ABufferFrames = bufferFrames;
  APcm = std::move(pcm);
  return 0;
}

int TWaveIn::Query(int ADevice, const TWaveFormat& AFormat) {
  TPcm pcm;
  snd_pcm_uframes_t bufferFrames = 0;
  return OpenPcm(ADevice, AFormat, pcm, bufferFrames);
}

int TWaveIn::Open(int ADevice, const TWaveFormat& AFormat, TWaveInCallback ACallback) {
  Close();
  if (const int error = OpenPcm(ADevice, AFormat, FPcm, FPcmBufferFrames); error < 0) return error;
  FFormat = AFormat;
  FCallback = std::move(ACallback);
  if (FCallback) FCallback(TWaveInMessage::Open, nullptr);
  return 0;
}

int TWaveIn::AddBuffer(TWaveBuffer* ABuffer) {
  if (!FPcm) return -EBADFD;
  if (!ABuffer || !ABuffer->Data ||
      ABuffer->BufferLength < static_cast<uint32_t>(FFormat.BlockAlign))
    return -EINVAL;
  ABuffer->BytesRecorded = 0;
  {
    std::lock_guard lock(FLock);
    FBuffers.push_back(ABuffer);
  }
  FBufferAdded.notify_one();
  return 0;
}

int TWaveIn::Start() {
  if (!FPcm) return -EBADFD;
  if (FReader.Joinable()) return 0;
  if (const int error = snd_pcm_start(FPcm.get()); error < 0) return error;
  FOrigin = TClock::now();
  FFramesRead = 0;
  FRecording = true;
  FReader.Start([this] { ReaderLoop(); }, TThreadPriority::tpHigher);
  return 0;
}

void TWaveIn::Reset() {
  {
    std::lock_guard lock(FLock);
    FStopping = true;
  }
  FStop.Set();
  FBufferAdded.notify_all();
  FReader.Join();
  if (FPcm && FRecording) {
    // The buffer being filled gets what was recorded until now: the reader
    // takes sound in steps and may have stopped short of it.
    TWaveBuffer* current = nullptr;
    {
      std::lock_guard lock(FLock);
      if (!FBuffers.empty()) current = FBuffers.front();
    }
    if (current && !FReadError) Fill(*current, false);
    snd_pcm_drop(FPcm.get());
    snd_pcm_prepare(FPcm.get());
    FRecording = false;
  }
  std::deque<TWaveBuffer*> returned;
  {
    std::lock_guard lock(FLock);
    returned.swap(FBuffers);
  }
  for (TWaveBuffer* buffer : returned)
    if (FCallback) FCallback(TWaveInMessage::Data, buffer);
  FStopping = false;
  FStop.Reset();
}

void TWaveIn::Close() {
  if (!FPcm) return;
  Reset();
  FPcm.reset();
  if (FCallback) FCallback(TWaveInMessage::Close, nullptr);
  FCallback = nullptr;
}

int64_t TWaveIn::FramesDue() const {
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - FOrigin).count();
  return elapsed * FFormat.SamplesPerSec / 1000000 - FFramesRead;
}

int TWaveIn::Fill(TWaveBuffer& ABuffer, bool AWait) {
  const uint32_t frameBytes = static_cast<uint32_t>(FFormat.BlockAlign);
  const int64_t step = std::max(1, FFormat.SamplesPerSec / kReadsPerSecond);
  while (ABuffer.BytesRecorded + frameBytes <= ABuffer.BufferLength) {
    if (AWait && FStopping) return 1;
    const int64_t room = (ABuffer.BufferLength - ABuffer.BytesRecorded) / frameBytes;
    const int64_t due = FramesDue();
    if (due <= 0) {
      if (!AWait) return 0;
      // Until the next step is due (or what the buffer still takes).
      const auto wake = FOrigin + std::chrono::microseconds((FFramesRead + std::min(room, step)) *
                                                            1000000 / FFormat.SamplesPerSec);
      if (FStop.WaitFor(std::chrono::ceil<std::chrono::milliseconds>(wake - TClock::now())))
        return 1;
      continue;
    }
    // Never more than the device's own buffer holds: a device may refuse a
    // larger read outright rather than answer part of it.
    const snd_pcm_uframes_t wanted = static_cast<snd_pcm_uframes_t>(
        std::min({room, due, static_cast<int64_t>(FPcmBufferFrames)}));
    snd_pcm_sframes_t got = snd_pcm_readi(FPcm.get(), ABuffer.Data + ABuffer.BytesRecorded, wanted);
    if (got == -EAGAIN) {
      if (!AWait) return 0;
      snd_pcm_wait(FPcm.get(), kPollMilliseconds);
      continue;
    }
    if (got < 0) {
      // An overrun loses sound but the capture goes on; anything else (the
      // device went away) ends this reader.
      if (snd_pcm_recover(FPcm.get(), static_cast<int>(got), 1) < 0) return static_cast<int>(got);
      if (const int error = snd_pcm_start(FPcm.get()); error < 0) return error;
      continue;
    }
    ABuffer.BytesRecorded += static_cast<uint32_t>(got) * frameBytes;
    FFramesRead += got;
  }
  return 0;
}

void TWaveIn::ReaderLoop() {
  for (;;) {
    TWaveBuffer* buffer = nullptr;
    {
      std::unique_lock lock(FLock);
      FBufferAdded.wait(lock, [this] { return FStopping || !FBuffers.empty(); });
      if (FStopping) return;
      buffer = FBuffers.front();
    }
    if (const int result = Fill(*buffer, true); result != 0) {
      if (result < 0 && !FStopping) {
        FReadError = result;
        FCallback(TWaveInMessage::Error, nullptr);
      }
      return;
    }
    {
      std::lock_guard lock(FLock);
      if (FStopping) return;
      FBuffers.pop_front();
    }
    FCallback(TWaveInMessage::Data, buffer);
  }
}
