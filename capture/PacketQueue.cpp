// The shared packet queue and its drop rule (see PacketQueue.h).
#include "PacketQueue.h"

#include <climits>

namespace {
// Percent thresholds of the drop test, picked in turn by the low two bits of
// the test counter, so that a full queue still lets some frames through.
constexpr uint8_t kDropScores[4] = {62, 75, 87, 100};
} // namespace

void TPacketQueue::SetLimit(unsigned AMaxPictureBuffer) {
  // 64 bits: ten times any unsigned value fits, and a zero limit, which would
  // divide by zero, takes the libraries' default.
  const uint64_t base = AMaxPictureBuffer ? AMaxPictureBuffer : kDefaultMaxPictureBuffer;
  std::lock_guard lock(FLock);
  FLimit = base * 10;
}

uint64_t TPacketQueue::Limit() const {
  std::lock_guard lock(FLock);
  return FLimit;
}

void TPacketQueue::LogDrop(uint64_t AFullness) const {
  const int percent = AFullness > INT_MAX ? INT_MAX : static_cast<int>(AFullness);
  AV.av_log(FLogContext, AV_LOG_ERROR, "real-time buffer %d%% full! frame dropped!\n", percent);
}

bool TPacketQueue::ShouldDropFrame() {
  std::lock_guard lock(FLock);
  const uint64_t fullness = static_cast<uint64_t>(FFrames) * 100 / kFrameLimit;
  ++FDropCounter;
  if (fullness < kDropScores[FDropCounter & 3]) return false;
  LogDrop(fullness);
  return true;
}

bool TPacketQueue::ShouldDropSound() {
  std::lock_guard lock(FLock);
  const uint64_t fullness = static_cast<uint64_t>(FSoundBytes) * 100 / FLimit;
  if (fullness < 100) return false;
  LogDrop(fullness);
  return true;
}

void TPacketQueue::Add(TPacketPtr APacket, bool AFrame) {
  {
    std::lock_guard lock(FLock);
    FBufferedBytes += APacket->size;
    if (AFrame)
      ++FFrames;
    else
      FSoundBytes += APacket->size;
    FPackets.push_back({std::move(APacket), AFrame});
  }
  FPacketEvent.Set();
}

bool TPacketQueue::Take(AVPacket* AOut) {
  TPacketPtr head;
  {
    std::lock_guard lock(FLock);
    if (!FPackets.empty()) {
      TEntry& entry = FPackets.front();
      head = std::move(entry.Packet);
      FBufferedBytes -= head->size;
      if (entry.Frame)
        --FFrames;
      else
        FSoundBytes -= head->size;
      FPackets.pop_front();
    }
    // Under the lock, so that an append cannot slip between the look and the reset.
    FPacketEvent.Reset();
  }
  if (!head) return false;
  AV.av_packet_move_ref(AOut, head.get());
  return true;
}

void TPacketQueue::Clear() {
  std::deque<TEntry> packets; // freed with the lock released
  {
    std::lock_guard lock(FLock);
    packets.swap(FPackets);
    FBufferedBytes = FSoundBytes = 0;
    FFrames = 0;
  }
}

int64_t TPacketQueue::BufferedBytes() const {
  std::lock_guard lock(FLock);
  return FBufferedBytes;
}

size_t TPacketQueue::Count() const {
  std::lock_guard lock(FLock);
  return FPackets.size();
}

int TPacketQueue::FrameCount() const {
  std::lock_guard lock(FLock);
  return FFrames;
}
