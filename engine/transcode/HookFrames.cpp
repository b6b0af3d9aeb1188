// Writable copies of frames for the hooks (see HookFrames.h).
#include "HookFrames.h"

#include "LibAVOwners.h"

#include <cerrno>

namespace {
// Rows aligned for the scaler and the encoders; a 32-bit row of an even
// width keeps the bitmap's row length.
constexpr int kAlign = 32;
} // namespace

int THookFrames::MakeWritable(AVFrame* AFrame) {
  if (AV.av_frame_is_writable(AFrame)) return 0;
  const auto format = static_cast<AVPixelFormat>(AFrame->format);
  const int size = AFrame->width > 0 && AFrame->height > 0 && !AFrame->hw_frames_ctx
                       ? AV.av_image_get_buffer_size(format, AFrame->width, AFrame->height, kAlign)
                       : -1;
  // Sound and what av_image cannot lay out take the libraries' own way.
  if (size <= 0) return AV.av_frame_make_writable(AFrame);
  if (!FPool || FSize != size) {
    FPool.reset(AV.av_buffer_pool_init(static_cast<size_t>(size), nullptr));
    FSize = FPool ? size : 0;
    if (!FPool) return AVERROR(ENOMEM);
  }
  TFramePtr copy(AV.av_frame_alloc());
  if (!copy) return AVERROR(ENOMEM);
  copy->buf[0] = AV.av_buffer_pool_get(FPool.get());
  if (!copy->buf[0]) return AVERROR(ENOMEM);
  int result = AV.av_image_fill_arrays(copy->data, copy->linesize, copy->buf[0]->data, format,
                                       AFrame->width, AFrame->height, kAlign);
  if (result < 0) return result;
  copy->format = AFrame->format;
  copy->width = AFrame->width;
  copy->height = AFrame->height;
  if ((result = AV.av_frame_copy_props(copy.get(), AFrame)) < 0) return result;
  AV.av_image_copy(copy->data, copy->linesize, const_cast<const uint8_t**>(AFrame->data),
                   AFrame->linesize, format, AFrame->width, AFrame->height);
  AV.av_frame_unref(AFrame);
  AV.av_frame_move_ref(AFrame, copy.get());
  return 0;
}
