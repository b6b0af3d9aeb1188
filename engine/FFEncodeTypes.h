// The records the encoder hands to its events, and the option records the
// application fills for AddTask and SetOutput.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/samplefmt.h>
}

class TBitmap;

struct TProgressInfo {
  int TaskIndex = 0;
  int JoinIndex = 0;       // -1 in a task's final report
  int FrameNumber = -1;    // frames encoded on the first video output, -1 when none
  int FPS = -1;            // rounded, -1 when unknown
  float Quality = -1.0f;   // the quantizer shown, -1 when none
  float BitRate = -1.0f;   // kbit/s, -1 when unknown
  int64_t TotalSize = 0;   // bytes written, 0 when unknown
  int64_t CurrentTime = 0; // microseconds
  int64_t TotalDuration = -1;
};
using PProgressInfo = TProgressInfo*;

struct TTerminateInfo {
  int TaskIndex = 0; // -1 in the notice that all tasks are done
  bool Finished = false;
  bool Exception = false;
  std::string ExceptionMsg;
};

struct THookInfo {
  int TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;       // microseconds
  bool Update = true;    // left True: the bitmap is copied back into the frame
  bool StopHook = false; // set True: no more calls of this hook for the task
};
using PHookInfo = THookInfo*;

struct TFrameHookInfo {
  int TaskIndex = 0;
  int FrameNumber = 0;
  void* Picture = nullptr; // data pointers and line sizes, changeable in place
  int PixelFormat = 0;
  int Width = 0;
  int Height = 0;
  int64_t PTS = 0;
};
using PFrameHookInfo = TFrameHookInfo*;

struct TPreviewInfo {
  int TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
};

struct TInputOptions {
  std::string FileName;
  std::string Options;
  std::string Presets;
  int Reserved1 = 0;
  int Reserved2 = 0;
};

struct TOutputOptions {
  std::string FileName;
  std::string Options;
  std::string Presets;
  bool AudioInputHook = false;
  bool AudioOutputHook = false;
  bool VideoInputHook = false;
  bool VideoOutputHook = false;
  int VideoHookBitsPixel = 32;
  bool FrameInputHook = false;
  bool FrameOutputHook = false;
  bool Join = false;
  int Reserved1 = 0;
  int Reserved2 = 0;
};

void InitInputOptions(TInputOptions& AOptions);
void InitOutputOptions(TOutputOptions& AOptions);
