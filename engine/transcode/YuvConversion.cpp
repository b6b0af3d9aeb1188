// The fast conversion to yuv420p (see YuvConversion.h).
#include "YuvConversion.h"

#include <cerrno>
#include <libyuv/convert_from_argb.h>

bool TYuvConversion::Converts(AVPixelFormat AFormat) {
  // libyuv's "ARGB" is B, G, R, A in memory; the fourth byte is not read.
  return AFormat == AV_PIX_FMT_BGRA || AFormat == AV_PIX_FMT_BGR0;
}

int TYuvConversion::Convert(const AVFrame& ASource, AVFrame* AOut) {
  if (!Converts(static_cast<AVPixelFormat>(ASource.format))) return AVERROR(EINVAL);
  int result = FPictures.Get(AOut, kTarget, ASource.width, ASource.height);
  if (result < 0) return result;
  if ((result = AV.av_frame_copy_props(AOut, &ASource)) < 0) {
    AV.av_frame_unref(AOut);
    return result;
  }
  // As the scaler marks its pictures: a range it was told of becomes the
  // limited one it writes; an untold one stays untold.
  if (ASource.color_range != AVCOL_RANGE_UNSPECIFIED) AOut->color_range = AVCOL_RANGE_MPEG;
  if (libyuv::ARGBToI420(ASource.data[0], ASource.linesize[0], AOut->data[0], AOut->linesize[0],
                         AOut->data[1], AOut->linesize[1], AOut->data[2], AOut->linesize[2],
                         ASource.width, ASource.height) != 0) {
    AV.av_frame_unref(AOut);
    return AVERROR(EINVAL);
  }
  return 0;
}
