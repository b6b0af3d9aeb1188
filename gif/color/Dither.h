// Ditherers: they map rows of true-colour pixels to palette indices through
// a colour lookup, walking the rows in serpentine order (left to right, then
// right to left). The base takes the nearest colour; the others first add
// the quantisation error that earlier pixels passed on and pass the new
// error on to later pixels with fixed integer weights.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ColorLookup.h"

enum TGIFDitherMode : uint8_t {
  dtNearest,
  dtFloydSteinberg,
  dtStucki,
  dtSierra,
  dtJaJuNi,
  dtSteveArche,
  dtBurkes
};

class TDitherEngine {
public:
  TDitherEngine(int AWidth, TColorLookup& ALookup) : FWidth(AWidth), FLookup(ALookup) {}
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  // The palette index for the pixel at Column(); AEntryRed, AEntryGreen, AEntryBlue receive
  // the entry's colour. Column() then moves on by Direction().
  virtual uint16_t DitherPixel(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                               uint8_t& AEntryGreen, uint8_t& AEntryBlue);
  // Passes over the pixel at Column() without choosing a colour for it and
  // without spreading any error (a transparent pixel of a frame).
  virtual void SkipPixel() { FColumn += FDirection; }
  // After each row: turns round and starts the next row at its first column
  // in the new direction. A row is walked while 0 <= Column() < Width().
  virtual void NextRow();

  int Direction() const { return FDirection; }
  int Column() const { return FColumn; }
  int Width() const { return FWidth; }

protected:
  uint16_t Nearest(int ARed, int AGreen, int ABlue, uint8_t& AEntryRed, uint8_t& AEntryGreen,
                   uint8_t& AEntryBlue);

  int FDirection = 1;
  int FColumn = 0;
  int FWidth;
  TColorLookup& FLookup;
};

// 7/16 of the error to the next pixel; 3/16, 5/16 and 1/16 to the pixels
// behind, below and ahead in the next row. One error row per channel, indexed
// by column, holds what the next row receives; the shares of the next row
// that are still growing are carried along and written behind the walk.
class TFloydSteinbergDitherer : public TDitherEngine {
public:
  TFloydSteinbergDitherer(int AWidth, TColorLookup& ALookup);
  uint16_t DitherPixel(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                       uint8_t& AEntryGreen, uint8_t& AEntryBlue) override;
  void SkipPixel() override;
  void NextRow() override;

private:
  struct TChannel {
    std::vector<int32_t> Errors; // Width + 2 entries: column x at x + 1
    int32_t Current = 0;         // the share for the next pixel of this row
    int32_t Below = 0;           // next row, one column behind the walk
    int32_t BelowPrev = 0;       // next row, two columns behind the walk
  };
  TChannel FChannels[3];
  int FSlot = 1;
};

// Error diffusion over several rows: R error rows per channel of Width + 2M
// entries (column x at x + M), row 0 the current one, and a table of
// weights over a divisor.
class TMultiRowDitherer : public TDitherEngine {
public:
  struct TWeight {
    int Row;    // 0 the current row, 1 the next, ...
    int Offset; // pixels ahead (+) or behind (-) in the direction of travel
    int Weight;
  };

  uint16_t DitherPixel(uint8_t ARed, uint8_t AGreen, uint8_t ABlue, uint8_t& AEntryRed,
                       uint8_t& AEntryGreen, uint8_t& AEntryBlue) override;
  void SkipPixel() override;
  void NextRow() override;

protected:
  TMultiRowDitherer(int AWidth, TColorLookup& ALookup, int ARows, int AMargin, int ADivisor,
                    std::span<const TWeight> AWeights);

private:
  int FMargin;
  int FDivisor;
  std::span<const TWeight> FWeights;
  std::vector<std::vector<int32_t>> FRows[3];
  int FSlot;
};

// The 5 x 3 matrices: the current row and two more, two pixels either side.
class T5by3Ditherer : public TMultiRowDitherer {
protected:
  T5by3Ditherer(int AWidth, TColorLookup& ALookup, int ADivisor, std::span<const TWeight> AWeights)
      : TMultiRowDitherer(AWidth, ALookup, 3, 2, ADivisor, AWeights) {}
};

class TStuckiDitherer : public T5by3Ditherer {
public:
  TStuckiDitherer(int AWidth, TColorLookup& ALookup);
};

class TSierraDitherer : public T5by3Ditherer {
public:
  TSierraDitherer(int AWidth, TColorLookup& ALookup);
};

class TJaJuNiDitherer : public T5by3Ditherer {
public:
  TJaJuNiDitherer(int AWidth, TColorLookup& ALookup);
};

class TSteveArcheDitherer : public TMultiRowDitherer {
public:
  TSteveArcheDitherer(int AWidth, TColorLookup& ALookup);
};

class TBurkesDitherer : public TMultiRowDitherer {
public:
  TBurkesDitherer(int AWidth, TColorLookup& ALookup);
};

// The ditherer of the mode for rows of AWidth pixels; none for an unknown
// mode.
std::unique_ptr<TDitherEngine> CreateDitherer(TGIFDitherMode AMode, int AWidth,
                                              TColorLookup& ALookup);
