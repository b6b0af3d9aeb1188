// The reader of a skin file: extracts the "SKINDATA.SK2" member and keeps its
// chained entries as named bitmaps, integers, Booleans and texts.
#pragma once

#include "Bitmap.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

class Tsk2SkinFileReader {
public:
  // An empty reader, not ready.
  Tsk2SkinFileReader() = default;
  // Loads the file at once; a file that is no skin archive raises
  // Exception("Failed to read skin file!").
  Tsk2SkinFileReader(const std::string& AFileName, const std::string& APassword);
  Tsk2SkinFileReader(const Tsk2SkinFileReader&) = delete;
  Tsk2SkinFileReader& operator=(const Tsk2SkinFileReader&) = delete;

  // The reader stays not ready when the member is encrypted and the password
  // is missing or wrong, or when the member does not decode whole.
  void Load(const std::string& AFileName, const std::string& APassword);

  // Parses an extracted member. A chain that leaves the member, or a bitmap
  // that is no BMP file, raises Exception("Failed to read skin file!").
  void LoadMember(std::span<const uint8_t> AMember);

  bool Ready() const { return FReady; }

  // Lookups ignore letter case; the first entry of a name wins.
  const TBitmap* GetBitmap(const std::string& AName) const; // borrowed; null when absent
  int GetInt(const std::string& AName) const;               // -1 when absent
  int GetBool(const std::string& AName) const;              // 0 when absent

  size_t BitmapCount() const { return FBitmaps.size(); }
  size_t IntCount() const { return FInts.size(); }
  size_t BoolCount() const { return FBools.size(); }
  size_t TextCount() const { return FTexts.size(); }

private:
  void Clear();
  void ReadChain(std::span<const uint8_t> AMember);

  std::vector<std::pair<std::string, std::unique_ptr<TBitmap>>> FBitmaps;
  std::vector<std::pair<std::string, int32_t>> FInts;
  std::vector<std::pair<std::string, int>> FBools;
  std::vector<std::pair<std::string, std::string>> FTexts;
  bool FReady = false;
};

// The member that holds a skin's entries.
inline constexpr const char* SkinMemberName = "SKINDATA.SK2";
