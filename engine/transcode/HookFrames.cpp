// Writable copies of frames for the hooks (see HookFrames.h).
#include "HookFrames.h"

#include "LibAVOwners.h"

#include <cerrno>

int THookFrames::MakeWritable(AVFrame* AFrame) {
  if (AV.av_frame_is_writable(AFrame)) return 0;
  const auto format = static_cast<AVPixelFormat>(AFrame->format);
  TFramePtr copy(AV.av_frame_alloc());
  if (!copy) return AVERROR(ENOMEM);
  int result = AFrame->hw_frames_ctx
                   ? AVERROR(EINVAL)
                   : FPictures.Get(copy.get(), format, AFrame->width, AFrame->height);
  // Sound and what one buffer cannot hold take the libraries' own way.
  if (result == AVERROR(EINVAL)) return AV.av_frame_make_writable(AFrame);
  if (result < 0) return result;
  if ((result = AV.av_frame_copy_props(copy.get(), AFrame)) < 0) return result;
  AV.av_image_copy(copy->data, copy->linesize, const_cast<const uint8_t**>(AFrame->data),
                   AFrame->linesize, format, AFrame->width, AFrame->height);
  AV.av_frame_unref(AFrame);
  AV.av_frame_move_ref(AFrame, copy.get());
  return 0;
}
