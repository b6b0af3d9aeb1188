// The decoder component: describes one opened input (its size and stream
// layout) and repositions it. The encoder gives every input of a task a
// decoder and attaches the input's format context to it; the decoder reads
// and seeks through the libraries only, the transcode loop decodes.
//
// Threads: a decoder is used by one thread at a time. A task's decoders are
// read in the main thread while the task is not running; the task detaches
// them (their information becomes -1) before it frees its inputs.
#pragma once

#include "FFBaseComponent.h"
#include "FFEncode.h"
#include "FFLog.h"
#include "FFOptions.h"
#include "FormatConverter.h"
#include "LibAVOwners.h"

#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

class TCustomDecoder : public TFFBaseComponent {
public:
  TCustomDecoder();
  ~TCustomDecoder() override;
  TCustomDecoder(const TCustomDecoder&) = delete;
  TCustomDecoder& operator=(const TCustomDecoder&) = delete;

  // Uses a context opened elsewhere, without owning it: the decoder never
  // closes it and refuses to seek it. Raises "Library %s not loaded." when a
  // library the decoder needs is missing.
  virtual void AttachFormatContext(AVFormatContext* AContext);
  // Forgets the context (closing it only when the decoder owns it).
  virtual void CloseFile();
  // Reads the ten information values from the context; all -1 without one.
  virtual void RefreshInfo();
  // False (with LastErrMsg) without a context or for an index out of range.
  bool IsVideoStream(int AIndex);

  AVFormatContext* FormatContext() const { return FFormatContext; }
  const std::string& FileName() const { return FFileName; }
  const std::string& LastErrMsg() const { return FLastErrMsg; }
  TFFOptions& Options() { return *FOptions; }

  // File information; -1 without a context. A format without a file (a
  // device) has size 0.
  int64_t FileSize() const { return FFileSize; }
  int StreamCount() const { return FStreamCount; }
  int ProgramCount() const { return FProgramCount; }
  int AudioStreamCount() const { return FAudioStreamCount; }
  int VideoStreamCount() const { return FVideoStreamCount; }
  int SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
  int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
  int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }

  bool TriggerEventInMainThread = true;
  // Nothing raises it; kept for applications that assign it.
  TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;

protected:
  // Stores the text as the last error and logs it at ALevel.
  void SetLastError(TLogLevel ALevel, const std::string& AText);
  virtual const char* ClassName() const { return "TCustomDecoder"; }

  // A descendant that opens a file itself sets FOwned, so the file is
  // closed with the decoder and may be seeked.
  AVFormatContext* FFormatContext = nullptr;
  bool FOwned = false;
  std::string FFileName;

private:
  std::unique_ptr<TFFOptions> FOptions;
  std::string FLastErrMsg;
  int64_t FFileSize = -1;
  int FStreamCount = -1;
  int FProgramCount = -1;
  int FAudioStreamCount = -1;
  int FVideoStreamCount = -1;
  int FSubtitleStreamCount = -1;
  int FFirstAudioStreamIndex = -1;
  int FFirstVideoStreamIndex = -1;
  int FFirstSubtitleStreamIndex = -1;
};

// Seek flags: bit 0 asks for the nearest key frame at or before the target,
// bit 1 makes the target a byte position instead of a time in microseconds.
// Only the low four bits reach the libraries.
constexpr int kSeekBackward = 1;
constexpr int kSeekByte = 2;

class TFFDecoder : public TCustomDecoder {
public:
  TFFDecoder();
  ~TFFDecoder() override;

  void CloseFile() override;
  virtual void FreeResampler();
  // Repositions the input; False (with LastErrMsg) when there is no context,
  // the format cannot seek ("image2") or the libraries fail twice. Raises
  // Exception for an attached context, which belongs to someone else.
  virtual bool Seek(int AFlags, int64_t ATarget);

  int CurrentStreamIndex() const { return FCurrentStreamIndex; }
  AVRational FrameRate() const { return FFrameRate; }

  // The audio format decoded sound is turned into (2 channels, 44100 Hz,
  // signed 16 bit at creation) and the working copy a seek restores.
  int OutputChannels() const { return FAudioOut.Channels; }
  int OutputSampleRate() const { return FAudioOut.SampleRate; }
  AVSampleFormat OutputSampleFormat() const { return FAudioOut.SampleFormat; }
  int AudioChannels() const { return FAudio.Channels; }
  int AudioSampleRate() const { return FAudio.SampleRate; }
  AVSampleFormat AudioSampleFormat() const { return FAudio.SampleFormat; }
  int AudioBytesPerSample() const { return FAudio.BytesPerSample; }
  int AudioBytesPerSecond() const { return FAudio.BytesPerSecond; }

  // The decoding state's time stamps (AV_NOPTS_VALUE after a reset) and the
  // last known one, which a reset keeps.
  int64_t PacketPTS() const { return FDecode.PacketPTS; }
  int64_t FramePTS() const { return FDecode.FramePTS; }
  int64_t LastPTS() const { return FDecode.LastPTS; }
  bool VideoEnded() const { return FVideoEOF; }
  bool AudioEnded() const { return FAudioEOF; }

protected:
  const char* ClassName() const override { return "TFFDecoder"; }
  // The time a seek to ATarget microseconds aims at, before the stream's
  // time base and start are applied: a target of 0 on a video stream of
  // known rate aims half a frame earlier, so that the first frame is not
  // missed by a demuxer that rounds.
  int64_t TimeTarget(int64_t ATarget) const;
  void ResetDecodeState();
  void ResetAudioState();

  int FCurrentStreamIndex = -1;
  AVRational FFrameRate{0, 0};
  TCodecContextPtr FVideoContext;
  TCodecContextPtr FAudioContext;
  SwrContext* FResampler = nullptr;
  bool FVideoEOF = false;
  bool FAudioEOF = false;

  struct TAudioFormat {
    int Channels = 2;
    int SampleRate = 44100;
    AVSampleFormat SampleFormat = AV_SAMPLE_FMT_S16;
    int BytesPerSample = 0;
    int BytesPerSecond = 0;
  };
  TAudioFormat FAudioOut; // as configured
  TAudioFormat FAudio;    // as the decoding works with it

  struct TDecodeState {
    int64_t PacketPTS = AV_NOPTS_VALUE;
    int64_t FramePTS = AV_NOPTS_VALUE;
    int64_t LastPTS = AV_NOPTS_VALUE;
    int FrameCount = 0;
  };
  TDecodeState FDecode;

private:
  std::unique_ptr<TFormatConverter> FConverter;
};
