// The packet queue that the grab thread and the wave-in reader fill and
// read_packet empties: one lock over the packets and their counts, one
// manual-reset event that a producer sets after each append, and the drop
// rules that bound the queue while nobody reads it: video in frames, sound
// in bytes.
#pragma once

#include "FutexEvent.h"
#include "LibAVOwners.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

class TPacketQueue {
public:
  // The libraries' default "rtbufsize", which stands in for a zero one.
  static constexpr uint64_t kDefaultMaxPictureBuffer = 3041280;

  explicit TPacketQueue(void* ALogContext = nullptr) : FLogContext(ALogContext) {}

  // The video frames the queue holds at most, whatever their size: what a
  // reader that falls behind for a moment needs. Ten times the default
  // max_picture_buffer, the byte bound sound keeps, holds less than one
  // 3840x2160 frame, and a reader further behind must not hold up a stop
  // for long: frames it cannot take are lost at the source.
  static constexpr int kFrameLimit = 8;

  // Sound takes up to ten times the format context's max_picture_buffer.
  void SetLimit(unsigned AMaxPictureBuffer);
  uint64_t Limit() const;

  // Appends APacket (sound) or AFrame (video) and sets the packet event.
  // Producers ask their drop test first, before they fill a packet.
  void Append(TPacketPtr APacket) { Add(std::move(APacket), false); }
  void AppendFrame(TPacketPtr AFrame) { Add(std::move(AFrame), true); }
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
  int FrameCount() const;
  // The drop test of a video frame about to be grabbed and queued (takes
  // the lock); a frame it refuses costs no grab.
  bool ShouldDropFrame();
  // The drop test of a sound buffer: only a full share of sound refuses
  // it, so that sound is bounded too while nobody reads.
  bool ShouldDropSound();
  // The message of a dropped frame, AFullness percent full.
  void LogDrop(uint64_t AFullness) const;

private:
  struct TEntry {
    TPacketPtr Packet;
    bool Frame;
  };
  void Add(TPacketPtr APacket, bool AFrame);

  void* FLogContext;
  mutable std::mutex FLock; // everything below but the event
  std::deque<TEntry> FPackets;
  int64_t FBufferedBytes = 0; // of every packet
  int64_t FSoundBytes = 0;
  int FFrames = 0;
  uint32_t FDropCounter = 0;
  uint64_t FLimit = kDefaultMaxPictureBuffer * 10;
  TFutexEvent FPacketEvent; // set for every packet: the cheapest event there is
};
