// The LZW coder's string table: (prefix code, pixel) keys to codes in 8009
// open-addressed 32-bit slots, each holding key << 12 | code.
#pragma once

#include <array>
#include <cstdint>

class THashTable {
public:
  static constexpr int kSize = 8009;
  static constexpr uint16_t kAbsent = 0xFFFF;

  THashTable() { Clear(); }

  void Clear() { FEntries.fill(0xFFFFFFFF); }

  // AKey is prefix code x 256 + pixel (20 bits). Answers the key's code, or
  // kAbsent with ASlot on the free slot where Insert puts the key.
  uint16_t Lookup(uint32_t AKey, int& ASlot) const {
    int slot = Start(AKey);
    int step = Step(slot);
    for (;;) {
      uint32_t entry = FEntries[static_cast<size_t>(slot)];
      if (entry >= kFree) {
        ASlot = slot;
        return kAbsent;
      }
      if ((entry >> 12) == AKey) return static_cast<uint16_t>(entry & 0xFFF);
      slot = Next(slot, step);
    }
  }
  uint16_t Lookup(uint32_t AKey) const {
    int slot = 0;
    return Lookup(AKey, slot);
  }

  // ASlot as Lookup found it for this key; ACode 12 bits.
  void Insert(uint32_t AKey, uint32_t ACode, int ASlot) {
    FEntries[static_cast<size_t>(ASlot)] = (AKey << 12) | ACode;
  }
  void Insert(uint32_t AKey, uint32_t ACode) {
    int slot = 0;
    Lookup(AKey, slot);
    Insert(AKey, ACode, slot);
  }

private:
  static constexpr uint32_t kFree = 0xFFFFF000;

  static int Start(uint32_t AKey) { return static_cast<int>((AKey ^ (AKey >> 4)) % kSize); }
  // The probe moves by a step fixed from the first slot. The table size is
  // prime, so the walk meets every slot and ends at a free one (the table
  // is never more than half full).
  static int Step(int ASlot) { return ASlot == 0 ? 1 : kSize - ASlot; }
  static int Next(int ASlot, int AStep) {
    ASlot -= AStep;
    return ASlot < 0 ? ASlot + kSize : ASlot;
  }

  std::array<uint32_t, kSize> FEntries;
};
