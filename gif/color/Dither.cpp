// The nearest-colour ditherer and the six error-diffusion ditherers.
#include "Dither.h"

#include <algorithm>
#include <array>

namespace {

uint8_t Clamp(int32_t AValue) {
  return static_cast<uint8_t>(std::clamp(AValue, 0, 255));
}

using TWeight = TMultiRowDitherer::TWeight;

constexpr std::array<TWeight, 12> StuckiWeights{{{0, 1, 8},
                                                 {0, 2, 4},
                                                 {1, -2, 2},
                                                 {1, -1, 4},
                                                 {1, 0, 8},
                                                 {1, 1, 4},
                                                 {1, 2, 2},
                                                 {2, -2, 1},
                                                 {2, -1, 2},
                                                 {2, 0, 4},
                                                 {2, 1, 2},
                                                 {2, 2, 1}}};

constexpr std::array<TWeight, 10> SierraWeights{{{0, 1, 5},
                                                 {0, 2, 3},
                                                 {1, -2, 2},
                                                 {1, -1, 4},
                                                 {1, 0, 5},
                                                 {1, 1, 4},
                                                 {1, 2, 2},
                                                 {2, -1, 2},
                                                 {2, 0, 3},
                                                 {2, 1, 2}}};

constexpr std::array<TWeight, 12> JaJuNiWeights{{{0, 1, 7},
                                                 {0, 2, 5},
                                                 {1, -2, 3},
                                                 {1, -1, 5},
                                                 {1, 0, 7},
                                                 {1, 1, 5},
                                                 {1, 2, 3},
                                                 {2, -2, 1},
                                                 {2, -1, 3},
                                                 {2, 0, 5},
                                                 {2, 1, 3},
                                                 {2, 2, 1}}};

constexpr std::array<TWeight, 12> SteveArcheWeights{{{0, 2, 32},
                                                     {1, -3, 12},
                                                     {1, -1, 26},
                                                     {1, 1, 30},
                                                     {1, 3, 16},
                                                     {2, -2, 12},
                                                     {2, 0, 26},
                                                     {2, 2, 12},
                                                     {3, -3, 5},
                                                     {3, -1, 12},
                                                     {3, 1, 12},
                                                     {3, 3, 5}}};

constexpr std::array<TWeight, 7> BurkesWeights{
    {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}};

} // namespace

uint16_t TDitherEngine::Nearest(int ARed, int AGreen, int ABlue, uint8_t& AEntryRed,
                                uint8_t& AEntryGreen, uint8_t& AEntryBlue) {
  const uint16_t index =
      FLookup.FindColor(static_cast<uint8_t>(ARed), static_cast<uint8_t>(AGreen),
                        static_cast<uint8_t>(ABlue), AEntryRed, AEntryGreen, AEntryBlue);
  FColumn += FDirection;
  return index;
}

uint16_t TDitherEngine::DitherPixel(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                                    uint8_t& AEntryGreen, uint8_t& AEntryBlue) {
  return Nearest(ARed, AGreen, ABlue, AEntryRed, AEntryGreen, AEntryBlue);
}

void TDitherEngine::NextRow() {
  FDirection = -FDirection;
  FColumn = FDirection > 0 ? 0 : FWidth - 1;
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int AWidth, TColorLookup& ALookup)
    : TDitherEngine(AWidth, ALookup) {
  for (TChannel& channel : FChannels)
    channel.Errors.assign(static_cast<size_t>(AWidth) + 2, 0);
}

uint16_t TFloydSteinbergDitherer::DitherPixel(uint8_t ARed, uint8_t AGreen, uint8_t ABlue,
                                              uint8_t& AEntryRed, uint8_t& AEntryGreen,
                                              uint8_t& AEntryBlue) {
  const int32_t input[3] = {ARed, AGreen, ABlue};
  int32_t value[3];
  for (int c = 0; c < 3; ++c) {
    const TChannel& channel = FChannels[c];
    const int32_t share = channel.Errors[static_cast<size_t>(FSlot)] + channel.Current;
    value[c] = Clamp(input[c] + (share + 8) / 16);
  }
  const uint16_t index = Nearest(value[0], value[1], value[2], AEntryRed, AEntryGreen, AEntryBlue);
  const int32_t chosen[3] = {AEntryRed, AEntryGreen, AEntryBlue};
  // The column just behind has received its last share of this row's
  // errors; it is written there now, after this row has read it.
  const size_t behind = static_cast<size_t>(FSlot - FDirection);
  for (int c = 0; c < 3; ++c) {
    TChannel& channel = FChannels[c];
    const int32_t error = value[c] - chosen[c];
    channel.Errors[behind] = channel.BelowPrev + 3 * error;
    channel.BelowPrev = channel.Below + 5 * error;
    channel.Below = error;
    channel.Current = 7 * error;
  }
  FSlot += FDirection;
  return index;
}

void TFloydSteinbergDitherer::SkipPixel() {
  // As a pixel whose error is 0: the shares carried along still move on.
  const size_t behind = static_cast<size_t>(FSlot - FDirection);
  for (TChannel& channel : FChannels) {
    channel.Errors[behind] = channel.BelowPrev;
    channel.BelowPrev = channel.Below;
    channel.Below = 0;
    channel.Current = 0;
  }
  FSlot += FDirection;
  TDitherEngine::SkipPixel();
}

void TFloydSteinbergDitherer::NextRow() {
  // The row's last column gets its share; the one beyond falls off the row.
  const size_t last = static_cast<size_t>(FSlot - FDirection);
  for (TChannel& channel : FChannels) {
    channel.Errors[last] = channel.BelowPrev;
    channel.Current = channel.Below = channel.BelowPrev = 0;
  }
  TDitherEngine::NextRow();
  FSlot = FColumn + 1;
}

TMultiRowDitherer::TMultiRowDitherer(int AWidth, TColorLookup& ALookup, int ARows, int AMargin,
                                     int ADivisor, std::span<const TWeight> AWeights)
    : TDitherEngine(AWidth, ALookup), FMargin(AMargin), FDivisor(ADivisor), FWeights(AWeights),
      FSlot(AMargin) {
  for (auto& rows : FRows)
    rows.assign(static_cast<size_t>(ARows),
                std::vector<int32_t>(static_cast<size_t>(AWidth + 2 * AMargin), 0));
}

uint16_t TMultiRowDitherer::DitherPixel(uint8_t ARed, uint8_t AGreen, uint8_t ABlue,
                                        uint8_t& AEntryRed, uint8_t& AEntryGreen,
                                        uint8_t& AEntryBlue) {
  const int32_t input[3] = {ARed, AGreen, ABlue};
  int32_t value[3];
  for (int c = 0; c < 3; ++c) {
    const int32_t carried = FRows[c][0][static_cast<size_t>(FSlot)];
    value[c] = Clamp(input[c] + (carried + FDivisor / 2) / FDivisor);
  }
  const uint16_t index = Nearest(value[0], value[1], value[2], AEntryRed, AEntryGreen, AEntryBlue);
  const int32_t chosen[3] = {AEntryRed, AEntryGreen, AEntryBlue};
  for (int c = 0; c < 3; ++c) {
    const int32_t error = value[c] - chosen[c];
    if (error == 0) continue;
    for (const TWeight& w : FWeights)
      FRows[c][static_cast<size_t>(w.Row)][static_cast<size_t>(FSlot + w.Offset * FDirection)] +=
          error * w.Weight;
  }
  FSlot += FDirection;
  return index;
}

void TMultiRowDitherer::SkipPixel() {
  FSlot += FDirection;
  TDitherEngine::SkipPixel();
}

void TMultiRowDitherer::NextRow() {
  for (auto& rows : FRows) {
    std::fill(rows.front().begin(), rows.front().end(), 0);
    std::rotate(rows.begin(), rows.begin() + 1, rows.end());
  }
  TDitherEngine::NextRow();
  FSlot = FColumn + FMargin;
}

TStuckiDitherer::TStuckiDitherer(int AWidth, TColorLookup& ALookup)
    : T5by3Ditherer(AWidth, ALookup, 42, StuckiWeights) {}

TSierraDitherer::TSierraDitherer(int AWidth, TColorLookup& ALookup)
    : T5by3Ditherer(AWidth, ALookup, 32, SierraWeights) {}

TJaJuNiDitherer::TJaJuNiDitherer(int AWidth, TColorLookup& ALookup)
    : T5by3Ditherer(AWidth, ALookup, 48, JaJuNiWeights) {}

TSteveArcheDitherer::TSteveArcheDitherer(int AWidth, TColorLookup& ALookup)
    : TMultiRowDitherer(AWidth, ALookup, 4, 3, 200, SteveArcheWeights) {}

TBurkesDitherer::TBurkesDitherer(int AWidth, TColorLookup& ALookup)
    : TMultiRowDitherer(AWidth, ALookup, 2, 2, 32, BurkesWeights) {}

std::unique_ptr<TDitherEngine> CreateDitherer(TGIFDitherMode AMode, int AWidth,
                                              TColorLookup& ALookup) {
  switch (AMode) {
  case dtNearest:
    return std::make_unique<TDitherEngine>(AWidth, ALookup);
  case dtFloydSteinberg:
    return std::make_unique<TFloydSteinbergDitherer>(AWidth, ALookup);
  case dtStucki:
    return std::make_unique<TStuckiDitherer>(AWidth, ALookup);
  case dtSierra:
    return std::make_unique<TSierraDitherer>(AWidth, ALookup);
  case dtJaJuNi:
    return std::make_unique<TJaJuNiDitherer>(AWidth, ALookup);
  case dtSteveArche:
    return std::make_unique<TSteveArcheDitherer>(AWidth, ALookup);
  case dtBurkes:
    return std::make_unique<TBurkesDitherer>(AWidth, ALookup);
  }
  return nullptr;
}
