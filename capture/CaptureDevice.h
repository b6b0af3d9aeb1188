// One open "gdicapture" device: the state that its producers (the grab thread
// and the wave-in reader) and its consumer (read_packet, in the thread that
// reads the input) share, the parts that read_header opened, and the close
// procedure that releases them.
#pragma once

#include "LibAV.h"
#include "PacketQueue.h"
#include "PauseFlags.h"

#include <atomic>
#include <cstdint>
#include <memory>

class TScreenSource;
class TScreenThread;
class TFrameForm;
class TWaveCapture;

// The device's clock: monotonic microseconds, so that a step of the wall
// clock neither stalls the schedule nor bends the time stamps.
int64_t CaptureClock();

class TGdiCaptureDevice {
public:
  explicit TGdiCaptureDevice(AVFormatContext* AOwner);
  ~TGdiCaptureDevice();
  TGdiCaptureDevice(const TGdiCaptureDevice&) = delete;
  TGdiCaptureDevice& operator=(const TGdiCaptureDevice&) = delete;

  AVFormatContext* const Owner; // logging context of every part

  // 0 until the first read_packet call, then 1: releases the grab thread and
  // lets the wave-in data be kept.
  std::atomic<bool> Started{false};
  // Clock value of the start of the first frame's grab (or, without video,
  // of the first sound buffer); 0 = not yet. Set once by whichever producer
  // is first.
  std::atomic<int64_t> StartTime{0};
  // Set once the device closes or a producer fails; ErrorCode is written first.
  std::atomic<bool> Stopped{false};
  std::atomic<int> ErrorCode{0};
  TCapturePauseFlag PauseFlag; // null when the option names none

  TPacketQueue Queue;
  bool HasVideo = false;
  bool HasAudio = false;
  int VideoStreamIndex = -1;
  int AudioStreamIndex = -1;

  std::unique_ptr<TScreenSource> Screen;
  std::unique_ptr<TScreenThread> ScreenThread;
  std::unique_ptr<TFrameForm> FrameForm;
  std::unique_ptr<TWaveCapture> Wave;

  bool IsPaused() const { return PauseFlag && PauseFlag->load(std::memory_order_acquire) != 0; }
  // A producer's fatal failure: the device stops and keeps the first code.
  void Fail(int ACode);
  // Sets StartTime to ANow unless a producer was first; answers the start.
  int64_t StartAt(int64_t ANow);

  // read_packet: a packet's size, AVERROR(EAGAIN), a producer's error code
  // or AVERROR_EOF.
  int ReadPacket(AVPacket* APacket);
  // read_pause, which a reader calls once it wants nothing taken from now
  // on (a stopped recording): the sound recorded so far, the part of the
  // wave buffer being filled included, is queued before it returns, and no
  // more sound is taken. Pictures go on as before. 0.
  int ReadPause();
  // The close procedure; safe to run twice.
  void Close();
  // The counts the device logs on its first read and on close: the X
  // drawing resources it holds (the "GDI" objects) and its windows.
  void LogObjectCounts() const;

private:
  int StoppedResult() const;
};
