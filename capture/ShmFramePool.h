// The frame buffers of the screen side: shared-memory segments that the X
// server grabs into and that packets hand on, without a copy, as their
// reference-counted buffers. A buffer comes back to the pool when the last
// user of its packet (and of any frame a decoder made of it) lets go. The
// pool never holds more buffers than its bound, and it lives on, after the
// device has closed, for as long as one of its buffers is still out.
#pragma once

#include "LibAV.h"
#include "RenderGrab.h"
#include "ShmImage.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// One frame's memory: the segment, and the picture over it when the server
// composites into it.
struct TShmFrameBuffer {
  TShmImage Image;
  TRenderTarget Target;
  int WarmRows = 0; // rows [0, WarmRows) the server has written at least once
};

class TShmFramePool {
public:
  struct TCounts {
    int Total = 0; // buffers made and not yet destroyed
    int Free = 0;
    int Out = 0; // handed on with a packet and not back yet
  };

  TShmFramePool();
  ~TShmFramePool();
  TShmFramePool(const TShmFramePool&) = delete;
  TShmFramePool& operator=(const TShmFramePool&) = delete;

  void SetBound(int ABound);
  int Bound() const;
  TCounts Counts() const;
  bool CanGrow() const;

  // The grab thread's side. A buffer taken is the caller's until it puts
  // it back or hands it out.
  // A free buffer, taken; null when none is free.
  TShmFrameBuffer* TakeFree();
  // Waits until a buffer is free, the clock (CaptureClock) reaches
  // ADeadline or the wait is interrupted; answers whether one is free.
  bool WaitForFree(int64_t ADeadline);
  // Makes every wait end at once, now and from now on.
  void Interrupt();
  bool IsInterrupted() const;
  // Takes ABuffer into the pool; the caller has it taken.
  TShmFrameBuffer* Add(std::unique_ptr<TShmFrameBuffer> ABuffer);
  void PutBack(TShmFrameBuffer* ABuffer);
  // Hands ABuffer on as the buffer of a packet: ASize bytes of data and
  // the zeroed padding that packets carry after them. Null without memory,
  // and the buffer is put back.
  AVBufferRef* HandOut(TShmFrameBuffer* ABuffer, int ASize);

  // Ends the pool: AEndServerSide runs for every buffer (it must leave the
  // buffer's memory mapped); buffers here are destroyed at once, those
  // still out once they come back. Later calls do nothing.
  void Close(const std::function<void(TShmFrameBuffer&)>& AEndServerSide);

private:
  struct TCore;
  struct TSlot;
  static void BufferFreed(void* AOpaque, uint8_t* AData) noexcept;

  std::shared_ptr<TCore> FCore;
};
