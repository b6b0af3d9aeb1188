// Wave-in over ALSA: a capture PCM that fills the buffers its client adds, in
// the order they were added, and hands each filled buffer to the client's
// callback from a reader thread of its own. Reads are paced by the monotonic
// clock, never ahead of it, so a PCM without a clock of its own (a file, a
// null device) still delivers sound in real time, and a buffer holds at any
// moment what was recorded until then.
#pragma once

#include "ManualResetEvent.h"
#include "Thread.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TWaveFormat {
  int Channels = 2;
  int SamplesPerSec = 44100;
  int BitsPerSample = 16; // 8 (unsigned) or 16 (signed little-endian)
  int BlockAlign = 4;     // bytes of one sample frame
};

struct TWaveBuffer {
  uint8_t* Data = nullptr;
  uint32_t BufferLength = 0; // a whole number of sample frames
  uint32_t BytesRecorded = 0;
};

// Error: the PCM failed for good (ReadError() tells why); no more Data follows.
enum class TWaveInMessage { Open, Close, Data, Error };
using TWaveInCallback = std::function<void(TWaveInMessage AMessage, TWaveBuffer* ABuffer)>;

// The capture devices ALSA names, in its order ("null", which records
// nothing, left out); device n of TWaveIn is the n-th of them.
std::vector<std::string> WaveInDeviceNames();

class TWaveIn {
public:
  // Device number that stands for ALSA's "default" PCM.
  static constexpr int kDefaultDevice = -1;

  TWaveIn() = default;
  ~TWaveIn() { Close(); }
  TWaveIn(const TWaveIn&) = delete;
  TWaveIn& operator=(const TWaveIn&) = delete;

  // Results are 0 or a negative ALSA (errno) code; ErrorText tells it.
  // Whether ADevice takes AFormat; the device is opened and closed again.
  static int Query(int ADevice, const TWaveFormat& AFormat);
  // Opens ADevice with AFormat; ACallback then receives Open at once, Data
  // for every filled buffer (on the reader thread) and Close from Close().
  int Open(int ADevice, const TWaveFormat& AFormat, TWaveInCallback ACallback);
  // Queues ABuffer to be filled; callable from the callback itself.
  int AddBuffer(TWaveBuffer* ABuffer);
  // Starts recording and the reader thread.
  int Start();
  // Stops recording and hands every queued buffer back through the callback
  // with what it holds so far: the one being filled gets what was recorded
  // until now first.
  void Reset();
  void Close();
  bool IsOpen() const { return FPcm != nullptr; }
  // The ALSA code of the failure the Error message reported, else 0.
  int ReadError() const { return FReadError; }
  static std::string ErrorText(int ACode);

private:
  struct TPcmClose {
    void operator()(snd_pcm_t* APcm) const { snd_pcm_close(APcm); }
  };
  using TPcm = std::unique_ptr<snd_pcm_t, TPcmClose>;
  // ABufferFrames := the size of the device's buffer, in frames.
  static int OpenPcm(int ADevice, const TWaveFormat& AFormat, TPcm& APcm,
                     snd_pcm_uframes_t& ABufferFrames);
  void ReaderLoop();
  // Reads into ABuffer what is due by the clock. With AWait until it is
  // full: 0 then, 1 when asked to stop; without, only what is there now: 0.
  // Else the ALSA code of a failure the PCM cannot recover from.
  int Fill(TWaveBuffer& ABuffer, bool AWait);
  // Sample frames the clock says were recorded and are not read yet.
  int64_t FramesDue() const;

  TPcm FPcm;
  snd_pcm_uframes_t FPcmBufferFrames = 4096; // the most one read asks for
  TWaveFormat FFormat;
  TWaveInCallback FCallback;
  std::mutex FLock; // FBuffers
  std::condition_variable FBufferAdded;
  std::deque<TWaveBuffer*> FBuffers;
  std::atomic<bool> FStopping{false};
  std::atomic<int> FReadError{0};
  TManualResetEvent FStop;
  TWorkerThread FReader;
  // The pace of the reads: when recording started and what was read since;
  // the reader's, and the caller's once Reset has joined it.
  std::chrono::steady_clock::time_point FOrigin;
  int64_t FFramesRead = 0;
  bool FRecording = false;
};
