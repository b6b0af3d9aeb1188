// Writable copies of frames for the hooks, made in pooled buffers: a
// picture the decoder or the filters still hold is copied once before
// anything draws into it, and the copy's memory is reused from frame to
// frame. One thread uses an instance; the buffers may return from any.
#pragma once

#include "LibAV.h"
#include "PicturePool.h"

class THookFrames {
public:
  // Makes AFrame writable: nothing when it is already, else its picture is
  // copied into a pooled buffer that AFrame then holds (properties kept).
  // Answers 0 or an AVERROR code; AFrame is unchanged on failure.
  int MakeWritable(AVFrame* AFrame);

private:
  TPicturePool FPictures;
};
