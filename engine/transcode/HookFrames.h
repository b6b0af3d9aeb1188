// Writable copies of frames for the hooks, made in buffers that come back to
// a pool: a picture the decoder or the filters still hold is copied once
// before anything draws into it, and the copy's memory is reused from frame
// to frame (a fresh 8 MB buffer would fault in every page of it again each
// time). One thread uses an instance; the buffers may return from any.
#pragma once

#include "LibAV.h"

#include <memory>

class THookFrames {
public:
  // Makes AFrame writable: nothing when it is already, else its picture is
  // copied into a pooled buffer that AFrame then holds (properties kept).
  // Answers 0 or an AVERROR code; AFrame is unchanged on failure.
  int MakeWritable(AVFrame* AFrame);

private:
  struct TPoolFree {
    void operator()(AVBufferPool* APool) const { AV.av_buffer_pool_uninit(&APool); }
  };
  std::unique_ptr<AVBufferPool, TPoolFree> FPool;
  int FSize = 0;
};
