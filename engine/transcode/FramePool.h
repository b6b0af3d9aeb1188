// The decoder frame pool of an input stream: a video decoder that can decode
// into memory of ours gets its pictures from here, and each picture returns
// to the pool when its last reference goes, wherever that happens (the
// decoder, a filter graph that keeps the frame, a hook). Nothing is reused
// while anyone still holds it.
//
// Wiring, in the thread that owns the decoder:
//   TFramePool pool;                        // lives beside the decoder context
//   pool.Install(codec);                    // before avcodec_open2
//   ... decode; hand frames on by reference (av_frame_ref, or
//       av_buffersrc_add_frame_flags with AV_BUFFERSRC_FLAG_KEEP_REF) ...
//   avcodec_free_context(&codec);           // first the decoder, then the pool
// The pool may go while frames made from it are still held: those buffers are
// freed, not pooled, when their last reference goes.
//
// Threads: GetBuffer2 runs in whatever thread the decoder calls it from
// (with frame threads, its worker threads); a buffer comes back in whatever
// thread drops its last reference. Both take the pool's lock, so they may run
// at the same time. Install and the destructor belong to the decoder's owner;
// the counters may be read from any thread.
#pragma once

#include "LibAV.h"

#include <memory>

class TFramePool {
public:
  TFramePool();
  // Frees the idle buffers; buffers still in use are freed by their last
  // reference. The decoder must no longer call GetBuffer2.
  ~TFramePool();
  TFramePool(const TFramePool&) = delete;
  TFramePool& operator=(const TFramePool&) = delete;

  // Makes ACodec (a decoder context not opened yet) take its pictures from
  // this pool: sets get_buffer2 to GetBuffer2 and opaque to this pool, and
  // tells libavcodec 59 that the callback is thread-safe, so that frame
  // threads call it directly.
  void Install(AVCodecContext* ACodec);

  // The get_buffer2 callback: ACodec->opaque is the pool. Decoders without
  // AV_CODEC_CAP_DR1, sound and hardware pixel formats are served by
  // avcodec_default_get_buffer2, as is a context without a pool.
  static int GetBuffer2(AVCodecContext* ACodec, AVFrame* AFrame, int AFlags) noexcept;

  // Buffers waiting in the pool, and all buffers of the pool that exist
  // (waiting or in use).
  int IdleCount() const;
  int BufferCount() const;

private:
  struct TState;
  struct TFrameBuffer;
  static std::unique_ptr<TFrameBuffer> AllocateBuffer(AVCodecContext* ACodec,
                                                      const AVFrame* AFrame);
  static void ReturnBuffer(void* AOpaque, uint8_t* AData) noexcept;
  int GetPooledBuffer(AVCodecContext* ACodec, AVFrame* AFrame) noexcept;

  std::shared_ptr<TState> FState;
};
