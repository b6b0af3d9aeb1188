// The frame buffer pool (see FramePool.h).
#include "ShmFramePool.h"

#include "CaptureDevice.h"

#include <algorithm>
#include <chrono>

struct TShmFramePool::TSlot {
  enum class TState { Free, Taken, Out };
  std::unique_ptr<TShmFrameBuffer> Buffer;
  TState State = TState::Taken;
  // While the buffer is out: the pool outlives its buffers.
  std::shared_ptr<TCore> Keep;
};

struct TShmFramePool::TCore {
  mutable std::mutex Lock; // everything below
  std::condition_variable Returned;
  std::vector<std::unique_ptr<TSlot>> Slots;
  std::vector<TSlot*> FreeSlots;
  int Bound = 1;
  bool Interrupted = false;
  bool Closed = false;

  TSlot* SlotOf(const TShmFrameBuffer* ABuffer) const {
    for (const auto& slot : Slots)
      if (slot->Buffer.get() == ABuffer) return slot.get();
    return nullptr;
  }
  std::unique_ptr<TSlot> Remove(TSlot* ASlot) {
    const auto at = std::find_if(Slots.begin(), Slots.end(),
                                 [ASlot](const auto& AEntry) { return AEntry.get() == ASlot; });
    std::unique_ptr<TSlot> slot = std::move(*at);
    Slots.erase(at);
    return slot;
  }
};

TShmFramePool::TShmFramePool() : FCore(std::make_shared<TCore>()) {}

TShmFramePool::~TShmFramePool() {
  Close(nullptr);
}

void TShmFramePool::SetBound(int ABound) {
  std::lock_guard lock(FCore->Lock);
  FCore->Bound = std::max(ABound, 1);
}

int TShmFramePool::Bound() const {
  std::lock_guard lock(FCore->Lock);
  return FCore->Bound;
}

TShmFramePool::TCounts TShmFramePool::Counts() const {
  std::lock_guard lock(FCore->Lock);
  const auto out = std::count_if(FCore->Slots.begin(), FCore->Slots.end(), [](const auto& ASlot) {
    return ASlot->State == TSlot::TState::Out;
  });
  return {static_cast<int>(FCore->Slots.size()), static_cast<int>(FCore->FreeSlots.size()),
          static_cast<int>(out)};
}

bool TShmFramePool::CanGrow() const {
  std::lock_guard lock(FCore->Lock);
  return !FCore->Closed && static_cast<int>(FCore->Slots.size()) < FCore->Bound;
}

TShmFrameBuffer* TShmFramePool::TakeFree() {
  std::lock_guard lock(FCore->Lock);
  if (FCore->FreeSlots.empty()) return nullptr;
  // The most recently returned first: its pages are the likeliest in the caches.
  TSlot* slot = FCore->FreeSlots.back();
  FCore->FreeSlots.pop_back();
  slot->State = TSlot::TState::Taken;
  return slot->Buffer.get();
}

bool TShmFramePool::WaitForFree(int64_t ADeadline) {
  std::unique_lock lock(FCore->Lock);
  for (;;) {
    if (!FCore->FreeSlots.empty()) return true;
    const int64_t left = ADeadline - CaptureClock();
    if (FCore->Interrupted || left <= 0) return false;
    FCore->Returned.wait_for(lock, std::chrono::microseconds(left));
  }
}

void TShmFramePool::Interrupt() {
  {
    std::lock_guard lock(FCore->Lock);
    FCore->Interrupted = true;
  }
  FCore->Returned.notify_all();
}

bool TShmFramePool::IsInterrupted() const {
  std::lock_guard lock(FCore->Lock);
  return FCore->Interrupted;
}

TShmFrameBuffer* TShmFramePool::Add(std::unique_ptr<TShmFrameBuffer> ABuffer) {
  auto slot = std::make_unique<TSlot>();
  slot->Buffer = std::move(ABuffer);
  TShmFrameBuffer* buffer = slot->Buffer.get();
  std::lock_guard lock(FCore->Lock);
  FCore->Slots.push_back(std::move(slot));
  return buffer;
}

void TShmFramePool::PutBack(TShmFrameBuffer* ABuffer) {
  {
    std::lock_guard lock(FCore->Lock);
    TSlot* slot = FCore->SlotOf(ABuffer);
    slot->State = TSlot::TState::Free;
    FCore->FreeSlots.push_back(slot);
  }
  FCore->Returned.notify_all();
}

AVBufferRef* TShmFramePool::HandOut(TShmFrameBuffer* ABuffer, int ASize) {
  TSlot* slot = nullptr;
  {
    std::lock_guard lock(FCore->Lock);
    slot = FCore->SlotOf(ABuffer);
    slot->State = TSlot::TState::Out;
    slot->Keep = FCore;
  }
  AVBufferRef* reference =
      AV.av_buffer_create(ABuffer->Image.Data(), ASize + AV_INPUT_BUFFER_PADDING_SIZE,
                          &TShmFramePool::BufferFreed, slot, 0);
  if (reference) return reference;
  slot->Keep.reset();
  PutBack(ABuffer);
  return nullptr;
}

void TShmFramePool::BufferFreed(void* AOpaque, uint8_t*) noexcept {
  auto* slot = static_cast<TSlot*>(AOpaque);
  const std::shared_ptr<TCore> core = std::move(slot->Keep);
  std::unique_ptr<TSlot> orphan; // destroyed with the lock released
  {
    std::lock_guard lock(core->Lock);
    if (core->Closed) {
      orphan = core->Remove(slot);
    } else {
      slot->State = TSlot::TState::Free;
      core->FreeSlots.push_back(slot);
    }
  }
  core->Returned.notify_all();
}

void TShmFramePool::Close(const std::function<void(TShmFrameBuffer&)>& AEndServerSide) {
  std::vector<std::unique_ptr<TSlot>> gone;
  {
    std::lock_guard lock(FCore->Lock);
    if (FCore->Closed) return;
    FCore->Closed = true;
    FCore->Interrupted = true;
    FCore->FreeSlots.clear();
    for (auto& slot : FCore->Slots) {
      if (AEndServerSide) AEndServerSide(*slot->Buffer);
      if (slot->State != TSlot::TState::Out) gone.push_back(std::move(slot));
    }
    std::erase(FCore->Slots, nullptr);
  }
  FCore->Returned.notify_all();
}
