// The sound side of the device: four buffers that circulate between the
// wave-in layer and the callback, which turns each filled buffer into one
// audio packet stamped on the device's clock.
#pragma once

#include "LibAVOwners.h"
#include "WaveIn.h"

#include <array>
#include <memory>

class TGdiCaptureDevice;

class TWaveCapture {
public:
  static constexpr int kBufferCount = 4;
  // The most the device is asked for. 384 kHz is the highest rate sound
  // hardware offers and 64 channels the most a capture interface does.
  static constexpr int kMaxSampleRate = 384000;
  static constexpr int kMaxChannels = 64;
  // A buffer reaches the stream when it is full (or at a stop): 16 MiB is
  // already a third of a second at the highest rate and channel count (and
  // minutes of ordinary stereo); a larger one only holds the sound back
  // longer.
  static constexpr int kMaxBufferSize = 16 << 20;

  explicit TWaveCapture(TGdiCaptureDevice& ADevice) : FDevice(ADevice) {}
  ~TWaveCapture() { Close(); }
  TWaveCapture(const TWaveCapture&) = delete;
  TWaveCapture& operator=(const TWaveCapture&) = delete;

  // Opens AWaveDevice (-1: the default) and starts recording; false with the
  // reason logged. The device is asked whether it takes the format before
  // any buffer is allocated.
  bool OpenWaveIn(int AWaveDevice, int ASampleRate, int AChannels, int ABitsPerSample,
                  int AWaveBufferSize);
  // Stops recording and queues what was recorded until now: the buffer
  // being filled becomes a packet of the sound it holds. Nothing is
  // recorded after it.
  void Flush();
  // Resets and closes the device (the device is stopped first, so nothing is
  // requeued) and frees the buffers.
  void Close();

  const TWaveFormat& Format() const { return FFormat; }
  // Bytes of each buffer: the requested size less its part sample frame.
  uint32_t BufferSize() const { return FBufferSize; }

private:
  bool QueueWaveBuffer(TWaveBuffer* AHeader);
  void WaveInCallback(TWaveInMessage AMessage, TWaveBuffer* AHeader);
  void Deliver(TWaveBuffer& AHeader);
  void LogWaveError(int ACode) const;

  TGdiCaptureDevice& FDevice;
  TWaveIn FWaveIn;
  TWaveFormat FFormat;
  uint32_t FBufferSize = 0;
  std::array<TWaveBuffer, kBufferCount> FHeaders{};
  std::array<TAVMemoryPtr<uint8_t>, kBufferCount> FBuffers;
  int FNextHeader = 0;
};
