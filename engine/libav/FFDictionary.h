// An owned AVDictionary of the libraries' options: freed with its owner,
// handed to the libraries by address where they take or fill one.
#pragma once

#include "LibAV.h"

#include <utility>

class TDictionary {
public:
  TDictionary() = default;
  ~TDictionary() { Clear(); }
  TDictionary(const TDictionary&) = delete;
  TDictionary& operator=(const TDictionary&) = delete;
  TDictionary(TDictionary&& AOther) noexcept : FDict(std::exchange(AOther.FDict, nullptr)) {}
  TDictionary& operator=(TDictionary&& AOther) noexcept {
    if (this != &AOther) {
      Clear();
      FDict = std::exchange(AOther.FDict, nullptr);
    }
    return *this;
  }

  AVDictionary* Get() const { return FDict; }
  // For the calls that set, fill or replace the dictionary in place.
  AVDictionary** Ref() { return &FDict; }
  int Set(const char* AKey, const char* AValue, int AFlags = 0) {
    return AV.av_dict_set(&FDict, AKey, AValue, AFlags);
  }
  // The value of AKey (matched without regard to case), or null.
  const char* Value(const char* AKey) const {
    const AVDictionaryEntry* entry = FDict ? AV.av_dict_get(FDict, AKey, nullptr, 0) : nullptr;
    return entry ? entry->value : nullptr;
  }
  int Count() const { return FDict ? AV.av_dict_count(FDict) : 0; }
  void Clear() {
    if (FDict) AV.av_dict_free(&FDict);
  }

private:
  AVDictionary* FDict = nullptr;
};
