// The "gdicapture" input device: the screen (or one window) as raw video and
// a wave-in recording device as PCM, each packet stamped in microseconds.
// The program registers it once, after the FFmpeg libraries are loaded, with
// the engine's own device registry; "-f gdicapture" then finds it.
#pragma once

#include "LibAV.h"

#include <cstdint>

class TGdiCaptureDevice;

// Bits of the option "capture_flags".
enum : int32_t {
  kCaptureShowFrame = 1, // show the "Rec" label
  kCaptureClient = 2,    // the window's client area instead of the whole window
  kCaptureCursor = 4     // draw the mouse cursor into the frames
};

// The private context the libraries allocate (zero-filled) for each open
// input; the option table addresses its fields by offset.
struct TGdiCaptureContext {
  const AVClass* Class;
  int32_t PausePointer; // handle of a registered pause flag (PauseFlags.h), 0 none
  int32_t CaptureFlags;
  char* CaptureOffsetText;
  char* VideoSizeText;
  char* FrameRateText;
  int32_t SampleRate;
  int32_t Channels;
  int32_t WaveBufferSize;
  char* SampleFormatText;
  TGdiCaptureDevice* Device; // what read_header opened; null before and after
};

// Registers the device with the engine's registry; raises when the libraries
// are not loaded.
void RegisterGdiCaptureDevice();
// The device's input format.
const AVInputFormat* GdiCaptureInputFormat();

// The format's callbacks, called by the libraries. Each answers 0 (or the
// packet's size) or an AVERROR code; nothing raises out of them
// (LibAVCallback.h says how a failure maps to a code).
int GdiCaptureReadHeader(AVFormatContext* AContext) noexcept;
int GdiCaptureReadPacket(AVFormatContext* AContext, AVPacket* APacket) noexcept;
// read_pause (av_read_pause): the reader wants nothing taken from now on; the
// sound recorded so far is queued at once (TGdiCaptureDevice::ReadPause).
int GdiCaptureReadPause(AVFormatContext* AContext) noexcept;
int GdiCaptureReadClose(AVFormatContext* AContext) noexcept;
