// ALSA as the sound tests see it: a configuration whose only capture device,
// the default one, is a `file` PCM (slave null) that reads a generated tone.
// That PCM has no clock; the wave-in layer paces it by its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The tone: 10 s of 44100 Hz stereo s16; the left channel a 440 Hz sine, the
// right one the frame's number modulo 65536, so that any stretch of it tells
// where it was taken from.
constexpr int kToneRate = 44100;
constexpr int kToneFrames = kToneRate * 10;
int16_t ToneSample(int64_t AFrame, int AChannel);

// Writes the tone and the configurations once per program and points
// ALSA_CONFIG_PATH at the one with the tone device.
void InstallAlsaTestConfig();

// Points ALSA at a configuration that names no capture device while it lives.
class TNoSoundDevices {
public:
  TNoSoundDevices();
  ~TNoSoundDevices();
  TNoSoundDevices(const TNoSoundDevices&) = delete;
  TNoSoundDevices& operator=(const TNoSoundDevices&) = delete;
};

// Points ALSA at a default capture device that fails for good once it has
// recorded a little, while it lives.
class TFailingSoundDevice {
public:
  TFailingSoundDevice();
  ~TFailingSoundDevice();
  TFailingSoundDevice(const TFailingSoundDevice&) = delete;
  TFailingSoundDevice& operator=(const TFailingSoundDevice&) = delete;
};

// Where in the tone (in frames) the stereo s16 data ABytes of ASize bytes was
// taken from, or -1 when it is no whole part of it.
int64_t FindInTone(const uint8_t* AData, int ASize);
