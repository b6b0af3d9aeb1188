// Pictures in buffers that come back to a pool when their last reference
// goes, so that their memory is reused from frame to frame: a fresh buffer
// of a large picture (8 MB at 1920x1080 in 32 bits) faults in every page of
// it again each time. One thread takes pictures from an instance; the
// buffers may come back in any, also after the pool is gone.
#pragma once

#include "LibAV.h"

#include <memory>

class TPicturePool {
public:
  // Gives the empty AFrame a picture of AFormat, AWidth x AHeight, in a
  // pooled buffer with rows aligned for the scaler and the encoders.
  // Answers 0, AVERROR(ENOMEM), or AVERROR(EINVAL) when the picture cannot
  // be laid out in one buffer (no size, a hardware format).
  int Get(AVFrame* AFrame, AVPixelFormat AFormat, int AWidth, int AHeight);

private:
  struct TPoolFree {
    void operator()(AVBufferPool* APool) const { AV.av_buffer_pool_uninit(&APool); }
  };
  std::unique_ptr<AVBufferPool, TPoolFree> FPool;
  int FSize = 0; // bytes of each of its buffers
};
