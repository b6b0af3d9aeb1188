// Writing skin files: the chained entry records of "SKINDATA.SK2", raw
// Deflate streams made by zlib, and the "SK" archive around them with the
// traditional PKWARE encryption in either check-byte mode.
#pragma once

#include "Bitmap.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TSk2Writer {
public:
  enum TKind : uint8_t { Bitmap = 0, Integer = 1, Boolean = 2, Text = 3 };

  void AddBitmap(const std::string& AName, const TBitmap& ABitmap);
  void AddInt(const std::string& AName, int32_t AValue);
  void AddBool(const std::string& AName, bool AValue);
  void AddText(const std::string& AName, const std::string& AText);
  void AddEntry(const std::string& AName, uint8_t AKind, std::vector<uint8_t> AData);

  // Header, the entries each followed by its data, and the terminator.
  std::vector<uint8_t> Build() const;

private:
  struct TEntry {
    std::string Name;
    uint8_t Kind;
    std::vector<uint8_t> Data;
  };
  std::vector<TEntry> FEntries;
};

// zlib's raw Deflate (no wrapper) at a level and strategy.
std::vector<uint8_t> DeflateRaw(std::span<const uint8_t> AData, int ALevel = 9, int AStrategy = 0);
uint32_t Crc32Of(std::span<const uint8_t> AData);

struct TSkinArchiveOptions {
  std::string MemberName = "SKINDATA.SK2";
  std::string Password;           // empty: not encrypted
  bool CheckByteFromTime = false; // general purpose flag bit 3
  int Level = 9;
  int Strategy = 0;
  bool SkinStart = true;     // "SK" in place of the first "PK"
  uint16_t DosTime = 0xA52C; // 20:41:24
  uint16_t DosDate = 0x5A8C; // 2025-04-12
};

// The archive of one member, compressed with zlib.
std::vector<uint8_t> WriteSkinArchive(std::span<const uint8_t> AMember,
                                      const TSkinArchiveOptions& AOptions);

// The archive around member data compressed elsewhere (any bytes at all), with
// the directory's CRC and uncompressed size given.
std::vector<uint8_t> WriteSkinArchiveRaw(std::span<const uint8_t> ACompressed, uint32_t ACrc,
                                         uint32_t AUncompressedSize,
                                         const TSkinArchiveOptions& AOptions);
