// Pooled pictures (see PicturePool.h).
#include "PicturePool.h"

#include <cerrno>

namespace {
// Rows aligned for the scaler's and the encoders' vector code; a 32-bit row
// of an even width keeps the bitmap's row length.
constexpr int kAlign = 32;
} // namespace

int TPicturePool::Get(AVFrame* AFrame, AVPixelFormat AFormat, int AWidth, int AHeight) {
  const int size = AWidth > 0 && AHeight > 0
                       ? AV.av_image_get_buffer_size(AFormat, AWidth, AHeight, kAlign)
                       : -1;
  if (size <= 0) return AVERROR(EINVAL);
  if (!FPool || FSize != size) {
    // Buffers of the old size still out are freed when they come back.
    FPool.reset(AV.av_buffer_pool_init(static_cast<size_t>(size), nullptr));
    FSize = FPool ? size : 0;
    if (!FPool) return AVERROR(ENOMEM);
  }
  AFrame->buf[0] = AV.av_buffer_pool_get(FPool.get());
  if (!AFrame->buf[0]) return AVERROR(ENOMEM);
  const int result = AV.av_image_fill_arrays(AFrame->data, AFrame->linesize, AFrame->buf[0]->data,
                                             AFormat, AWidth, AHeight, kAlign);
  if (result < 0) {
    AV.av_frame_unref(AFrame);
    return result;
  }
  AFrame->format = AFormat;
  AFrame->width = AWidth;
  AFrame->height = AHeight;
  return 0;
}
