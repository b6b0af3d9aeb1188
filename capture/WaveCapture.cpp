// The sound side of the device (see WaveCapture.h).
#include "WaveCapture.h"

#include "CaptureDevice.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

void TWaveCapture::LogWaveError(int ACode) const {
  AV.av_log(FDevice.Owner, AV_LOG_ERROR, "%s\n", TWaveIn::ErrorText(ACode).c_str());
}

bool TWaveCapture::OpenWaveIn(int AWaveDevice, int ASampleRate, int AChannels, int ABitsPerSample,
                              int AWaveBufferSize) {
  // In 64 bits: the record keeps the block alignment in 16 bits, and a frame
  // wider than that must be refused, not wrapped.
  const int64_t frameBytes = int64_t{AChannels} * (ABitsPerSample / 8);
  if (frameBytes < 1 || frameBytes > UINT16_MAX) {
    AV.av_log(FDevice.Owner, AV_LOG_ERROR,
              "Invalid channels %d: a sample frame of %lld bytes does not fit\n", AChannels,
              static_cast<long long>(frameBytes));
    return false;
  }
  if (AWaveBufferSize < frameBytes) {
    AV.av_log(FDevice.Owner, AV_LOG_ERROR,
              "Wave buffer size %d is smaller than one sample frame of %lld bytes\n",
              AWaveBufferSize, static_cast<long long>(frameBytes));
    return false;
  }
  FFormat.Channels = AChannels;
  FFormat.SamplesPerSec = ASampleRate;
  FFormat.BitsPerSample = ABitsPerSample;
  FFormat.BlockAlign = static_cast<int>(frameBytes);
  FBufferSize = static_cast<uint32_t>(AWaveBufferSize - AWaveBufferSize % frameBytes);
  // ALSA names no capture device: nothing to record from, unless a default
  // device that is not listed opens all the same.
  if (WaveInDeviceNames().empty() &&
      (AWaveDevice != TWaveIn::kDefaultDevice || TWaveIn::Query(AWaveDevice, FFormat) < 0)) {
    AV.av_log(FDevice.Owner, AV_LOG_ERROR, "No wave audio recording devices found.\n");
    return false;
  }
  if (const int error = TWaveIn::Query(AWaveDevice, FFormat)) {
    LogWaveError(error);
    return false;
  }

  for (int i = 0; i < kBufferCount; ++i) {
    FHeaders[i] = TWaveBuffer{};
    FBuffers[i].reset(static_cast<uint8_t*>(AV.av_mallocz(FBufferSize)));
    if (!FBuffers[i]) {
      AV.av_log(FDevice.Owner, AV_LOG_ERROR, "Error allocating wave buffer memory.\n");
      return false;
    }
    FHeaders[i].Data = FBuffers[i].get();
    FHeaders[i].BufferLength = FBufferSize;
  }
  if (const int error =
          FWaveIn.Open(AWaveDevice, FFormat, [this](TWaveInMessage AMessage, TWaveBuffer* AHeader) {
            WaveInCallback(AMessage, AHeader);
          })) {
    LogWaveError(error);
    return false;
  }
  FNextHeader = 0;
  for (int i = 0; i < kBufferCount; ++i) {
    if (!QueueWaveBuffer(&FHeaders[FNextHeader])) return false;
    FNextHeader = (FNextHeader + 1) % kBufferCount;
  }
  if (const int error = FWaveIn.Start()) {
    LogWaveError(error);
    return false;
  }
  return true;
}

void TWaveCapture::Flush() {
  // The layer hands back every buffer with what it holds; Deliver queues
  // the one that holds sound.
  FWaveIn.Reset();
}

void TWaveCapture::Close() {
  FWaveIn.Reset();
  FWaveIn.Close();
  for (auto& buffer : FBuffers)
    buffer.reset();
}

bool TWaveCapture::QueueWaveBuffer(TWaveBuffer* AHeader) {
  if (!FWaveIn.IsOpen()) {
    AV.av_log(FDevice.Owner, AV_LOG_DEBUG, "WaveHandle is invalid.\n");
    return false;
  }
  if (const int error = FWaveIn.AddBuffer(AHeader)) {
    LogWaveError(error);
    FDevice.Fail(AVERROR(EIO));
    return false;
  }
  return true;
}

void TWaveCapture::WaveInCallback(TWaveInMessage AMessage, TWaveBuffer* AHeader) {
  if (FDevice.Stopped) return; // closing: nothing goes back to the device
  switch (AMessage) {
  case TWaveInMessage::Open:
    AV.av_log(FDevice.Owner, AV_LOG_INFO, "waveIn device opened.\n");
    return;
  case TWaveInMessage::Close:
    FDevice.Stopped = true;
    AV.av_log(FDevice.Owner, AV_LOG_INFO, "waveIn device closed.\n");
    return;
  case TWaveInMessage::Data:
    Deliver(*AHeader);
    return;
  case TWaveInMessage::Error:
    // Sound would be missing from the rest of the recording without a word.
    LogWaveError(FWaveIn.ReadError());
    FDevice.Fail(AVERROR(EIO));
    return;
  }
}

void TWaveCapture::Deliver(TWaveBuffer& AHeader) {
  const int64_t now = CaptureClock();
  const uint32_t size = AHeader.BytesRecorded;
  if (size == 0) {
    QueueWaveBuffer(&AHeader);
    return;
  }
  if (!FDevice.Started) {
    QueueWaveBuffer(&AHeader);
    AV.av_log(FDevice.Owner, AV_LOG_DEBUG, "not started, skip wave data %d bytes\n",
              static_cast<int>(size));
    return;
  }
  if (FDevice.IsPaused()) {
    QueueWaveBuffer(&AHeader);
    return;
  }
  // The buffer holds the sound of the span that ends now. Its time stamp is
  // when that span began, so that sound and pictures taken at one moment
  // carry one time.
  const int64_t frameBytes = FFormat.BlockAlign;
  const int64_t frames = size / frameBytes;
  const int64_t span = frames * 1000000 / FFormat.SamplesPerSec;
  int64_t start = FDevice.StartTime;
  if (start == 0) {
    // With video, time zero is the first frame, and sound before it is dropped.
    if (FDevice.HasVideo) {
      QueueWaveBuffer(&AHeader);
      return;
    }
    // Without, it is the start of the first buffer kept.
    start = FDevice.StartAt(now - span);
  }
  if (FDevice.Queue.ShouldDropSound()) {
    QueueWaveBuffer(&AHeader);
    return;
  }
  // Sound from before the first picture is left out.
  int64_t pts = now - start - span;
  int64_t skipped = 0;
  if (pts < 0) {
    skipped = std::min<int64_t>(frames, (-pts * FFormat.SamplesPerSec + 999999) / 1000000);
    pts += skipped * 1000000 / FFormat.SamplesPerSec;
  }
  if (skipped == frames) {
    QueueWaveBuffer(&AHeader);
    return;
  }
  const uint32_t offset = static_cast<uint32_t>(skipped * frameBytes);
  const uint32_t kept = size - offset;

  TPacketPtr packet(AV.av_packet_alloc());
  if (!packet) {
    AV.av_log(FDevice.Owner, AV_LOG_ERROR, "av_mallocz() error\n");
    FDevice.Fail(AVERROR(ENOMEM));
    return;
  }
  if (AV.av_new_packet(packet.get(), static_cast<int>(kept)) < 0) {
    AV.av_log(FDevice.Owner, AV_LOG_ERROR, "av_new_packet() error\n");
    FDevice.Fail(AVERROR(ENOMEM));
    return;
  }
  packet->stream_index = FDevice.AudioStreamIndex;
  packet->pts = std::max<int64_t>(pts, 0);
  std::memcpy(packet->data, AHeader.Data + offset, kept);
  FDevice.Queue.Append(std::move(packet));
  QueueWaveBuffer(&AHeader);
}
