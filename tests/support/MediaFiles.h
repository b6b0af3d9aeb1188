// Media for the engine's tests: small files written through the libraries
// (so that no sample file is kept in the tree), the lavfi sources shaped like
// the capture device, and a driver that decodes an opened input and pushes
// its frames through a task's filter graph.
#pragma once

#include "FFmpegOpt.h"
#include "LibAVOwners.h"

#include <string>
#include <vector>

struct TMediaSpec {
  const char* Muxer = "matroska";     // "mp4", "matroska", "wav", ...
  AVCodecID Video = AV_CODEC_ID_NONE; // none: no video stream
  AVCodecID Audio = AV_CODEC_ID_NONE; // none: no audio stream
  int Width = 320, Height = 240;
  AVRational FrameRate{15, 1};
  int Seconds = 2;
  int SampleRate = 44100;
  int Channels = 2;
  int AudioStreams = 1;   // streams of Audio, each with the same tone
  bool Subtitles = false; // a SubRip stream with one cue a second
  int64_t StartTime = 0; // microseconds added to every time stamp
  int GopSize = 15;
  int BFrames = 0; // pictures between references, reordered by the decoder
  // Chapters [start, end) in microseconds, titled "chapter N".
  std::vector<std::pair<int64_t, int64_t>> Chapters;
  // Global metadata "title".
  const char* Title = nullptr;
};

inline TMediaSpec MediaSpec(const char* AMuxer, AVCodecID AVideo,
                            AVCodecID AAudio = AV_CODEC_ID_NONE) {
  TMediaSpec spec;
  spec.Muxer = AMuxer;
  spec.Video = AVideo;
  spec.Audio = AAudio;
  return spec;
}

// Writes AFileName as ASpec says; raises std::runtime_error on failure.
void WriteMediaFile(const std::string& AFileName, const TMediaSpec& ASpec);
// A fresh folder for the files of one test, removed with its contents.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& AName) const { return FPath + "/" + AName; }

private:
  std::string FPath;
};

// A lavfi input graph: AWidth x AHeight video of APixFmt at ARate frames a
// second and, with sound, s16 stereo at 44100 Hz, both in microseconds, for
// ASeconds seconds.
std::string LavfiCaptureLike(int AWidth = 320, int AHeight = 240, const char* APixFmt = "bgra",
                             int ARate = 15, bool ASound = true, int ASeconds = 2);

// A PNG picture of ASize x ASize pixels of one colour.
void WritePng(const std::string& AFileName, int ASize, uint8_t ARed, uint8_t AGreen, uint8_t ABlue,
              uint8_t AAlpha = 255);

// Decodes the input streams of a task that feed its filter graphs, pushes
// their frames in, and collects what comes out of each sink as the encoder
// would take it (after the sink's own conversion, when it has one).
class TGraphDriver {
public:
  explicit TGraphDriver(TTranscodeTask& ATask);
  // Opens the decoder of every input stream that feeds a graph.
  void OpenDecoders();
  // Reads up to APackets packets of input AFileIndex, decodes them and pushes
  // the frames into the graphs; with AFinish, ends every source afterwards.
  void Run(int AFileIndex, int APackets, bool AFinish);
  // The frames each output filter gave, by output stream.
  std::vector<TFramePtr>& Frames(const TOutputStream& AOst);

private:
  void Push(TInputStream& AIst, AVFrame* AFrame);
  void Pull();
  TTranscodeTask& FTask;
  std::vector<std::pair<const TOutputStream*, std::vector<TFramePtr>>> FFrames;
};
