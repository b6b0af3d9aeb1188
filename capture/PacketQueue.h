// The packet queue that the grab thread and the wave-in reader fill and
// read_packet empties: one lock over the packets and their byte count, one
// manual-reset event that a producer sets after each append, and the drop
// rule that bounds the queue while nobody reads it.
#pragma once

#include "FutexEvent.h"
#include "LibAVOwners.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

class TPacketQueue {
public:
  // The libraries' default "rtbufsize", which stands in for a zero one.
  static constexpr uint64_t kDefaultMaxPictureBuffer = 3041280;

  explicit TPacketQueue(void* ALogContext = nullptr) : FLogContext(ALogContext) {}

  // The queue holds up to ten times the format context's max_picture_buffer.
  void SetLimit(unsigned AMaxPictureBuffer);
  uint64_t Limit() const;

  // Appends APacket and sets the packet event. Producers ask their drop
  // test first, before they fill a packet.
  void Append(TPacketPtr APacket);
  // Moves the oldest packet into AOut; answers whether there was one. Resets
  // the packet event whether or not a packet was taken.
  bool Take(AVPacket* AOut);
  // Waits up to ATimeout for the packet event.
  bool WaitFor(std::chrono::milliseconds ATimeout) const { return FPacketEvent.WaitFor(ATimeout); }
  // Sets the packet event without a packet, so that a waiting reader looks again.
  void Wake() { FPacketEvent.Set(); }
  void Clear();

  int64_t BufferedBytes() const;
  size_t Count() const;
  // The drop test of a video frame about to be grabbed and queued (takes
  // the lock); a frame it refuses costs no grab.
  bool ShouldDropFrame();
  // The drop test of a sound buffer: only a full queue refuses it, so that
  // sound is bounded too while nobody reads.
  bool ShouldDropSound();
  // The message of a dropped frame, AFullness percent full.
  void LogDrop(uint64_t AFullness) const;

private:
  // Fullness in percent of the limit, with the lock held.
  uint64_t Fullness() const;

  void* FLogContext;
  mutable std::mutex FLock; // FPackets, FBufferedBytes, FDropCounter
  std::deque<TPacketPtr> FPackets;
  int64_t FBufferedBytes = 0;
  uint32_t FDropCounter = 0;
  uint64_t FLimit = kDefaultMaxPictureBuffer * 10;
  TFutexEvent FPacketEvent; // set for every packet: the cheapest event there is
};
