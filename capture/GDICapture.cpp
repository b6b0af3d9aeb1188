// The "gdicapture" input format: its records, options and registration, and
// read_header, which opens the screen and sound sides and declares the
// streams (see GDICapture.h).
#include "GDICapture.h"

#include "CaptureDevice.h"
#include "DeviceName.h"
#include "Exception.h"
#include "InputFormatRegistry.h"
#include "LibAVCallback.h"
#include "RecLabel.h"
#include "ScreenSource.h"
#include "ScreenThread.h"
#include "WaveCapture.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

// The callbacks below are still members of the 5.1 structure; later major
// versions moved them into a private one.
static_assert(LIBAVFORMAT_VERSION_MAJOR == 59, "the capture device needs libavformat 59");

namespace {

constexpr int kDecoding = AV_OPT_FLAG_DECODING_PARAM;
constexpr int kDefaultWaveBufferSize = 65536;

#define CONTEXT_OFFSET(field) static_cast<int>(offsetof(TGdiCaptureContext, field))

const AVOption kOptions[] = {
    {"video_size",
     "A string describing frame size, such as 640x480 or hd720.",
     CONTEXT_OFFSET(VideoSizeText),
     AV_OPT_TYPE_STRING,
     {.str = nullptr},
     0,
     0,
     kDecoding,
     nullptr},
    {"framerate",
     "",
     CONTEXT_OFFSET(FrameRateText),
     AV_OPT_TYPE_STRING,
     {.str = "ntsc"},
     0,
     0,
     kDecoding,
     nullptr},
    {"capture_offset",
     "%d,%d: offset on x and y against the final source window",
     CONTEXT_OFFSET(CaptureOffsetText),
     AV_OPT_TYPE_STRING,
     {.str = nullptr},
     0,
     0,
     kDecoding,
     nullptr},
    {"capture_flags",
     "",
     CONTEXT_OFFSET(CaptureFlags),
     AV_OPT_TYPE_FLAGS,
     {.i64 = kCaptureShowFrame | kCaptureClient | kCaptureCursor},
     INT_MIN,
     INT_MAX,
     kDecoding,
     "capture_flags"},
    {"showframe",
     "show frame",
     0,
     AV_OPT_TYPE_CONST,
     {.i64 = kCaptureShowFrame},
     INT_MIN,
     INT_MAX,
     kDecoding,
     "capture_flags"},
    {"client",
     "capture client dc instead of window dc",
     0,
     AV_OPT_TYPE_CONST,
     {.i64 = kCaptureClient},
     INT_MIN,
     INT_MAX,
     kDecoding,
     "capture_flags"},
    {"cursor",
     "capture cursor",
     0,
     AV_OPT_TYPE_CONST,
     {.i64 = kCaptureCursor},
     INT_MIN,
     INT_MAX,
     kDecoding,
     "capture_flags"},
    {"sample_rate",
     "set audio sampling rate (in Hz)",
     CONTEXT_OFFSET(SampleRate),
     AV_OPT_TYPE_INT,
     {.i64 = 44100},
     0,
     INT_MAX,
     kDecoding,
     nullptr},
    {"channels",
     "set number of audio channels",
     CONTEXT_OFFSET(Channels),
     AV_OPT_TYPE_INT,
     {.i64 = 2},
     0,
     INT_MAX,
     kDecoding,
     nullptr},
    {"sample_fmt",
     "set sample format",
     CONTEXT_OFFSET(SampleFormatText),
     AV_OPT_TYPE_STRING,
     {.str = "s16"},
     0,
     0,
     kDecoding,
     nullptr},
    {"wavebufsize",
     "waveIn buffer size",
     CONTEXT_OFFSET(WaveBufferSize),
     AV_OPT_TYPE_INT,
     {.i64 = kDefaultWaveBufferSize},
     0,
     INT_MAX,
     kDecoding,
     nullptr},
    {"pause_pointer",
     "integer value of pause flag pointer",
     CONTEXT_OFFSET(PausePointer),
     AV_OPT_TYPE_INT,
     {.i64 = 0},
     INT_MIN,
     INT_MAX,
     kDecoding,
     nullptr},
    {nullptr, nullptr, 0, AV_OPT_TYPE_FLAGS, {.i64 = 0}, 0, 0, 0, nullptr},
};

#undef CONTEXT_OFFSET

AVClass MakeClass() {
  AVClass result{};
  result.class_name = "ScreenCaptureFormat";
  result.item_name = nullptr; // bound at run time: registration fills it in
  result.option = kOptions;
  result.version = LIBAVUTIL_VERSION_INT;
  return result;
}
AVClass ScreenCaptureClass = MakeClass();

AVInputFormat MakeFormat() {
  AVInputFormat result{};
  result.name = "gdicapture";
  result.long_name = "GDI(Screen/Wave) capture";
  result.flags = AVFMT_NOFILE;
  result.priv_class = &ScreenCaptureClass;
  result.priv_data_size = sizeof(TGdiCaptureContext);
  result.read_header = GdiCaptureReadHeader;
  result.read_packet = GdiCaptureReadPacket;
  result.read_close = GdiCaptureReadClose;
  result.read_pause = GdiCaptureReadPause;
  return result;
}
const AVInputFormat GdiCaptureFormat = MakeFormat();

const char* TextOf(const char* AText) {
  return AText ? AText : "";
}

// The device name into the device's sides; 0 or AVERROR(EINVAL).
int ParseName(AVFormatContext* AContext, TGdiCaptureDevice& ADevice, uint32_t& AWindow,
              int& AWaveDevice) {
  const std::string name = TextOf(AContext->url);
  TDeviceName sides;
  int result = 0;
  if (!SplitDeviceName(name, sides)) {
    result = AVERROR(EINVAL);
  } else {
    std::string error;
    int32_t value = 0;
    if (!sides.VideoText.empty()) {
      if (ParseDeviceNumber(sides.VideoText, value, error)) {
        AWindow = static_cast<uint32_t>(value);
        ADevice.HasVideo = true;
      } else {
        result = AVERROR(EINVAL);
      }
    }
    if (result == 0 && !sides.AudioText.empty()) {
      if (ParseDeviceNumber(sides.AudioText, value, error)) {
        AWaveDevice = value;
        ADevice.HasAudio = true;
      } else {
        result = AVERROR(EINVAL);
      }
    }
    if (result < 0)
      AV.av_log(AContext, AV_LOG_ERROR, "Failed to parse \"%s\": %s\n", name.c_str(),
                error.c_str());
  }
  if (result < 0)
    AV.av_log(AContext, AV_LOG_ERROR,
              "Invalid parameters, it should be \"video=hwnd:audio=device_id\"\n");
  return result;
}

// "%d,%d": two decimal numbers read as strtol reads them (leading blanks
// skipped, an empty number is 0), joined by a comma, with nothing after.
bool ParseOffset(const char* AText, int& AX, int& AY) {
  const auto number = [](const char* AFrom, char*& AEnd, int& AValue) {
    errno = 0;
    const long value = std::strtol(AFrom, &AEnd, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
    AValue = static_cast<int>(value);
    return true;
  };
  char* end = nullptr;
  if (!number(AText, end, AX) || *end != ',') return false;
  return number(end + 1, end, AY) && *end == '\0';
}

// The libraries refuse a rate or a size of zero or less just as they refuse
// text that is none at all; these tell the two apart, whose messages differ.
bool IsRateOfNoSpeed(const char* AText) {
  AVRational rate{0, 1};
  return AV.av_parse_ratio(&rate, AText, 1001000, AV_LOG_MAX_OFFSET, nullptr) >= 0 &&
         (rate.num <= 0 || rate.den <= 0);
}
bool IsSizeOfNoArea(const char* AText) {
  char* end = nullptr;
  const long width = std::strtol(AText, &end, 10);
  if (end == AText || *end != 'x') return false;
  const char* heightText = end + 1;
  const long height = std::strtol(heightText, &end, 10);
  return end != heightText && *end == '\0' && (width <= 0 || height <= 0);
}

// A stream of the device: stamped in microseconds, with its packets taken
// whole (no parser, no probing); null when there is no memory.
AVStream* NewDeviceStream(AVFormatContext* AContext, int AId) {
  AVStream* stream = AV.avformat_new_stream(AContext, nullptr);
  if (!stream) return nullptr;
  stream->id = AId;
  stream->time_base = AVRational{1, 1000000};
  stream->pts_wrap_bits = 64;
  AContext->flags |= AVFMT_FLAG_NOPARSE;
  AContext->probesize = 0;
  return stream;
}

// Video options into the request and the frame rate; 0 or AVERROR(EINVAL).
int ParseVideoOptions(AVFormatContext* AContext, const TGdiCaptureContext& AOptions,
                      TScreenRequest& ARequest, AVRational& AFrameRate) {
  const char* rate = TextOf(AOptions.FrameRateText);
  if (AV.av_parse_video_rate(&AFrameRate, rate) < 0) {
    AV.av_log(AContext, AV_LOG_ERROR,
              IsRateOfNoSpeed(rate) ? "Invalid frame rate \"%s\".\n"
                                    : "Could not parse framerate \"%s\".\n",
              rate);
    return AVERROR(EINVAL);
  }
  if (const char* size = AOptions.VideoSizeText; size && *size) {
    if (AV.av_parse_video_size(&ARequest.RequestedWidth, &ARequest.RequestedHeight, size) < 0) {
      AV.av_log(AContext, AV_LOG_ERROR,
                IsSizeOfNoArea(size) ? "Invalid frame size \"%s\".\n"
                                     : "Could not parse video size \"%s\".\n",
                size);
      return AVERROR(EINVAL);
    }
  }
  if (const char* offset = AOptions.CaptureOffsetText; offset && *offset) {
    if (!ParseOffset(offset, ARequest.OffsetX, ARequest.OffsetY)) {
      AV.av_log(AContext, AV_LOG_ERROR, "Could not parse capture-offset \"%s\".\n", offset);
      return AVERROR(EINVAL);
    }
  }
  ARequest.ClientArea = AOptions.CaptureFlags & kCaptureClient;
  ARequest.DrawCursor = AOptions.CaptureFlags & kCaptureCursor;
  return 0;
}

int OpenVideo(AVFormatContext* AContext, const TGdiCaptureContext& AOptions,
              TGdiCaptureDevice& ADevice, uint32_t AWindow) {
  TScreenRequest request;
  request.Window = AWindow;
  AVRational rate{0, 1};
  if (const int result = ParseVideoOptions(AContext, AOptions, request, rate)) return result;
  request.QueuedFrames = TPacketQueue::kFrameLimit;
  ADevice.Screen = std::make_unique<TScreenSource>(AContext);
  if (const int result = ADevice.Screen->Open(request)) return result;
  const TScreenSource& screen = *ADevice.Screen;

  AVStream* stream = NewDeviceStream(AContext, 0);
  if (!stream) return AVERROR(ENOMEM);
  ADevice.VideoStreamIndex = stream->index;
  AVCodecParameters* par = stream->codecpar;
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->codec_id = AV_CODEC_ID_RAWVIDEO;
  par->width = screen.Width();
  par->height = screen.Height();
  par->format = screen.PixelFormat();
  par->bit_rate = std::llround(static_cast<double>(screen.FrameBytes()) * 8 * rate.num / rate.den);
  AContext->bit_rate += par->bit_rate;
  stream->r_frame_rate = rate;
  stream->avg_frame_rate = rate;

  if (AOptions.CaptureFlags & kCaptureShowFrame) ADevice.FrameForm = TFrameForm::Create(ADevice);
  // Started last, once everything it reads is in place; it waits for the
  // first read_packet call.
  ADevice.ScreenThread = std::make_unique<TScreenThread>(ADevice, rate);
  ADevice.ScreenThread->Start();
  AV.av_log(AContext, AV_LOG_INFO, "ready for screen capturing %ix%ix%i at (%i,%i)\n",
            screen.Width(), screen.Height(), screen.BitsPerPixel(), screen.OffsetX(),
            screen.OffsetY());
  return 0;
}

int OpenAudio(AVFormatContext* AContext, TGdiCaptureContext& AOptions, TGdiCaptureDevice& ADevice,
              int AWaveDevice) {
  int bits = 16;
  AVSampleFormat sampleFormat = AV_SAMPLE_FMT_S16;
  AVCodecID codec = AV_CODEC_ID_PCM_S16LE;
  if (const char* text = AOptions.SampleFormatText; text && *text) {
    sampleFormat = AV.av_get_sample_fmt(text);
    if (sampleFormat == AV_SAMPLE_FMT_U8) {
      bits = 8;
      codec = AV_CODEC_ID_PCM_U8;
    } else if (sampleFormat != AV_SAMPLE_FMT_S16) {
      AV.av_log(AContext, AV_LOG_ERROR, "Invalid sample format: \"%s\", it should be u8 or s16\n",
                text);
      return AVERROR(EINVAL);
    }
  }
  if (AOptions.WaveBufferSize < 1) AOptions.WaveBufferSize = kDefaultWaveBufferSize;
  if (AOptions.SampleRate <= 0) {
    AV.av_log(AContext, AV_LOG_ERROR, "Invalid sample rate %d\n", AOptions.SampleRate);
    return AVERROR(EINVAL);
  }
  if (AOptions.Channels <= 0) {
    AV.av_log(AContext, AV_LOG_ERROR, "Invalid channels %d\n", AOptions.Channels);
    return AVERROR(EINVAL);
  }
  // Bounded before the sound library is asked: it sizes its own buffers from
  // these and would commit gigabytes for an absurd rate or channel count.
  if (AOptions.SampleRate > TWaveCapture::kMaxSampleRate) {
    AV.av_log(AContext, AV_LOG_ERROR, "Invalid sample rate %d, it should be at most %d\n",
              AOptions.SampleRate, TWaveCapture::kMaxSampleRate);
    return AVERROR(EINVAL);
  }
  if (AOptions.Channels > TWaveCapture::kMaxChannels) {
    AV.av_log(AContext, AV_LOG_ERROR, "Invalid channels %d, it should be at most %d\n",
              AOptions.Channels, TWaveCapture::kMaxChannels);
    return AVERROR(EINVAL);
  }
  if (AOptions.WaveBufferSize > TWaveCapture::kMaxBufferSize) {
    AV.av_log(AContext, AV_LOG_ERROR, "Invalid wave buffer size %d, it should be at most %d\n",
              AOptions.WaveBufferSize, TWaveCapture::kMaxBufferSize);
    return AVERROR(EINVAL);
  }

  ADevice.Wave = std::make_unique<TWaveCapture>(ADevice);
  if (!ADevice.Wave->OpenWaveIn(AWaveDevice, AOptions.SampleRate, AOptions.Channels, bits,
                                AOptions.WaveBufferSize))
    return AVERROR(EIO);

  AVStream* stream = NewDeviceStream(AContext, 1);
  if (!stream) return AVERROR(ENOMEM);
  ADevice.AudioStreamIndex = stream->index;
  AVCodecParameters* par = stream->codecpar;
  par->codec_type = AVMEDIA_TYPE_AUDIO;
  par->codec_id = codec;
  AV.av_channel_layout_default(&par->ch_layout, AOptions.Channels);
  par->sample_rate = AOptions.SampleRate;
  par->block_align = ADevice.Wave->Format().BlockAlign;
  par->format = sampleFormat;
  par->bit_rate = static_cast<int64_t>(AOptions.SampleRate) * AOptions.Channels * bits;
  AContext->bit_rate += par->bit_rate;
  AV.av_log(AContext, AV_LOG_INFO, "ready for wave recording...\n");
  return 0;
}

int ReadHeader(AVFormatContext* AContext) {
  auto& options = *static_cast<TGdiCaptureContext*>(AContext->priv_data);
  auto device = std::make_unique<TGdiCaptureDevice>(AContext);
  device->Queue.SetLimit(AContext->max_picture_buffer);

  uint32_t window = 0;
  int waveDevice = -1;
  int result = ParseName(AContext, *device, window, waveDevice);
  if (result == 0 && options.PausePointer != 0) {
    device->PauseFlag = FindCapturePauseFlag(options.PausePointer);
    if (!device->PauseFlag) {
      AV.av_log(AContext, AV_LOG_ERROR, "No pause flag is registered as pause_pointer %d.\n",
                options.PausePointer);
      result = AVERROR(EINVAL);
    }
  }
  if (result == 0 && device->HasVideo) result = OpenVideo(AContext, options, *device, window);
  if (result == 0 && device->HasAudio) result = OpenAudio(AContext, options, *device, waveDevice);
  if (result < 0) return result; // the device's destructor runs the close procedure
  options.Device = device.release();
  return 0;
}

} // namespace

void RegisterGdiCaptureDevice() {
  if (!AV.av_default_item_name)
    throw Exception("Assertion failure (GDICapture.cpp, line " + std::to_string(__LINE__) + ")");
  ScreenCaptureClass.item_name = AV.av_default_item_name;
  RegisterInputFormatIfAbsent(&GdiCaptureFormat);
}

const AVInputFormat* GdiCaptureInputFormat() {
  return &GdiCaptureFormat;
}

int GdiCaptureReadHeader(AVFormatContext* AContext) noexcept {
  return CallbackResult(AContext, [&] { return ReadHeader(AContext); });
}

int GdiCaptureReadPacket(AVFormatContext* AContext, AVPacket* APacket) noexcept {
  auto& options = *static_cast<TGdiCaptureContext*>(AContext->priv_data);
  if (!options.Device) return AVERROR_EOF; // closed
  return CallbackResult(AContext, [&] { return options.Device->ReadPacket(APacket); });
}

int GdiCaptureReadPause(AVFormatContext* AContext) noexcept {
  auto& options = *static_cast<TGdiCaptureContext*>(AContext->priv_data);
  if (!options.Device) return AVERROR_EOF; // closed
  return CallbackResult(AContext, [&] { return options.Device->ReadPause(); });
}

int GdiCaptureReadClose(AVFormatContext* AContext) noexcept {
  auto& options = *static_cast<TGdiCaptureContext*>(AContext->priv_data);
  std::unique_ptr<TGdiCaptureDevice> device(std::exchange(options.Device, nullptr));
  if (!device) return 0;
  return CallbackResult(AContext, [&] {
    device->LogObjectCounts();
    device.reset();
    return 0;
  });
}
