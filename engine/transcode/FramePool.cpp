// The decoder frame pool of an input stream (see FramePool.h).
#include "FramePool.h"

#include "LibAVOwners.h"

#include <algorithm>
#include <mutex>
#include <new>

// One picture's memory: all planes in one allocation, laid out for the
// geometry it was made for.
struct TFramePool::TFrameBuffer {
  TAVBuffer Memory;
  uint8_t* Base = nullptr; // Memory, aligned for the CPU
  size_t Size = 0;         // bytes from Base
  int Width = 0;
  int Height = 0;
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
  size_t Offset[4] = {};
  int LineSize[4] = {};
  bool HasPlane[4] = {};
  // Set while the buffer is out: keeps the pool's state (and its lock)
  // alive until the buffer is back, even when the pool itself is gone.
  std::shared_ptr<TState> State;
  std::unique_ptr<TFrameBuffer> Next;
};

struct TFramePool::TState {
  std::mutex Lock;
  bool Closed = false;
  std::unique_ptr<TFrameBuffer> Idle;
  int IdleCount = 0;
  int BufferCount = 0;
  // The geometry the decoder asks for now; buffers of another one are freed
  // instead of pooled.
  int Width = 0;
  int Height = 0;
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;

  bool Serves(const TFrameBuffer& ABuffer) const {
    return ABuffer.Width == Width && ABuffer.Height == Height && ABuffer.PixFmt == PixFmt;
  }
  void FreeIdle() {
    while (Idle)
      Idle = std::move(Idle->Next);
    BufferCount -= IdleCount;
    IdleCount = 0;
  }
};

namespace {

size_t AlignUp(size_t AValue, size_t AAlign) {
  return (AValue + AAlign - 1) / AAlign * AAlign;
}

// Bytes past a plane's end that the decoders' vector code may touch.
constexpr size_t kPlanePadding = 16;

} // namespace

TFramePool::TFramePool() : FState(std::make_shared<TState>()) {}

TFramePool::~TFramePool() {
  std::lock_guard<std::mutex> lock(FState->Lock);
  FState->Closed = true;
  FState->FreeIdle();
}

void TFramePool::Install(AVCodecContext* ACodec) {
  ACodec->get_buffer2 = &GetBuffer2;
  ACodec->opaque = this;
#if LIBAVCODEC_VERSION_MAJOR < 60 && FF_API_THREAD_SAFE_CALLBACKS
  // Without it, frame threads hand every allocation to the thread that
  // feeds the decoder and wait for it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ACodec->thread_safe_callbacks = 1;
#pragma GCC diagnostic pop
#endif
}

int TFramePool::IdleCount() const {
  std::lock_guard<std::mutex> lock(FState->Lock);
  return FState->IdleCount;
}

int TFramePool::BufferCount() const {
  std::lock_guard<std::mutex> lock(FState->Lock);
  return FState->BufferCount;
}

int TFramePool::GetBuffer2(AVCodecContext* ACodec, AVFrame* AFrame, int AFlags) noexcept {
  auto* pool = static_cast<TFramePool*>(ACodec->opaque);
  const AVPixFmtDescriptor* desc =
      AV.av_pix_fmt_desc_get(static_cast<AVPixelFormat>(AFrame->format));
  const bool pooled = pool && ACodec->codec_type == AVMEDIA_TYPE_VIDEO && ACodec->codec &&
                      (ACodec->codec->capabilities & AV_CODEC_CAP_DR1) &&
                      !(desc && (desc->flags & AV_PIX_FMT_FLAG_HWACCEL));
  if (!pooled) return AV.avcodec_default_get_buffer2(ACodec, AFrame, AFlags);
  return pool->GetPooledBuffer(ACodec, AFrame);
}

// Lays out and allocates a picture of AFrame's geometry the way the decoder
// needs it: dimensions aligned for the codec, line sizes aligned for the
// codec and the CPU, every plane aligned, a little padding after each.
std::unique_ptr<TFramePool::TFrameBuffer> TFramePool::AllocateBuffer(AVCodecContext* ACodec,
                                                                     const AVFrame* AFrame) {
  const auto pixFmt = static_cast<AVPixelFormat>(AFrame->format);
  int width = AFrame->width;
  int height = AFrame->height;
  int strideAlign[AV_NUM_DATA_POINTERS] = {};
  AV.avcodec_align_dimensions2(ACodec, &width, &height, strideAlign);
  const size_t cpuAlign = std::max<size_t>(AV.av_cpu_max_align(), 16);

  int lineSize[4] = {};
  // Widening by the lowest set bit doubles the width's alignment each time,
  // which keeps the planes' line sizes in their natural ratio.
  for (int tries = 0;; ++tries) {
    if (AV.av_image_fill_linesizes(lineSize, pixFmt, width) < 0) return nullptr;
    bool aligned = true;
    for (int i = 0; i < 4; ++i) {
      const int align = std::max(strideAlign[i], static_cast<int>(cpuAlign));
      if (lineSize[i] % align != 0) aligned = false;
    }
    if (aligned) break;
    if (tries == 16) return nullptr;
    width += width & ~(width - 1);
  }

  size_t planeSize[4] = {};
  const ptrdiff_t lineSizes[4] = {lineSize[0], lineSize[1], lineSize[2], lineSize[3]};
  if (AV.av_image_fill_plane_sizes(planeSize, pixFmt, height, lineSizes) < 0) return nullptr;

  std::unique_ptr<TFrameBuffer> buffer(new (std::nothrow) TFrameBuffer);
  if (!buffer) return nullptr;
  size_t size = 0;
  for (int i = 0; i < 4; ++i) {
    if (planeSize[i] == 0) continue;
    buffer->Offset[i] = size;
    buffer->LineSize[i] = lineSize[i];
    buffer->HasPlane[i] = true;
    size = AlignUp(size + planeSize[i] + kPlanePadding, cpuAlign);
  }
  // Zeroed: a decoder may, on damaged input, hand out bytes it never wrote.
  buffer->Memory.reset(static_cast<uint8_t*>(AV.av_mallocz(size + cpuAlign)));
  if (!buffer->Memory) return nullptr;
  const auto address = reinterpret_cast<uintptr_t>(buffer->Memory.get());
  buffer->Base = buffer->Memory.get() + (AlignUp(address, cpuAlign) - address);
  buffer->Size = size;
  buffer->Width = AFrame->width;
  buffer->Height = AFrame->height;
  buffer->PixFmt = pixFmt;
  return buffer;
}

int TFramePool::GetPooledBuffer(AVCodecContext* ACodec, AVFrame* AFrame) noexcept {
  const auto pixFmt = static_cast<AVPixelFormat>(AFrame->format);
  if (pixFmt == AV_PIX_FMT_NONE || !AV.av_pix_fmt_desc_get(pixFmt) ||
      AV.av_image_check_size(static_cast<unsigned>(AFrame->width),
                             static_cast<unsigned>(AFrame->height), 0, ACodec) < 0) {
    AV.av_log(ACodec, AV_LOG_ERROR, "codec_get_buffer: image parameters invalid\n");
    return -1;
  }

  std::unique_ptr<TFrameBuffer> buffer;
  {
    std::lock_guard<std::mutex> lock(FState->Lock);
    if (FState->Width != AFrame->width || FState->Height != AFrame->height ||
        FState->PixFmt != pixFmt) {
      // A new picture size or format: nothing waiting in the pool fits any more.
      FState->FreeIdle();
      FState->Width = AFrame->width;
      FState->Height = AFrame->height;
      FState->PixFmt = pixFmt;
    }
    if (FState->Idle) {
      buffer = std::move(FState->Idle);
      FState->Idle = std::move(buffer->Next);
      --FState->IdleCount;
    }
  }
  if (!buffer) {
    buffer = AllocateBuffer(ACodec, AFrame);
    if (!buffer) {
      AV.av_log(ACodec, AV_LOG_ERROR, "alloc_buffer: av_image_alloc() failed\n");
      return AVERROR(ENOMEM);
    }
    std::lock_guard<std::mutex> lock(FState->Lock);
    ++FState->BufferCount;
  }

  buffer->State = FState;
  AVBufferRef* ref =
      AV.av_buffer_create(buffer->Base, buffer->Size, &ReturnBuffer, buffer.get(), 0);
  if (!ref) {
    ReturnBuffer(buffer.release(), nullptr);
    AV.av_log(ACodec, AV_LOG_ERROR, "alloc_buffer: av_image_alloc() failed\n");
    return AVERROR(ENOMEM);
  }
  AFrame->buf[0] = ref;
  for (int i = 0; i < 4; ++i) {
    AFrame->data[i] = buffer->HasPlane[i] ? buffer->Base + buffer->Offset[i] : nullptr;
    AFrame->linesize[i] = buffer->LineSize[i];
  }
  AFrame->extended_data = AFrame->data;
  // From here the buffer belongs to its references; the last one returns it.
  buffer.release();
  return 0;
}

void TFramePool::ReturnBuffer(void* AOpaque, uint8_t* /*AData*/) noexcept {
  std::unique_ptr<TFrameBuffer> buffer(static_cast<TFrameBuffer*>(AOpaque));
  // Taken out of the buffer first: it may be the state's last owner, and the
  // state's lock must outlive the lock_guard below.
  const std::shared_ptr<TState> state = std::move(buffer->State);
  if (!state) return;
  std::lock_guard<std::mutex> lock(state->Lock);
  if (state->Closed || !state->Serves(*buffer)) {
    --state->BufferCount;
    return;
  }
  buffer->Next = std::move(state->Idle);
  state->Idle = std::move(buffer);
  ++state->IdleCount;
}
