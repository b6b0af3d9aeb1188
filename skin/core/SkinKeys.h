// The skin's vocabulary: the styles a skinned control can take and the names
// of the values a skin file holds, by group and index.
#pragma once

#include <cstdint>
#include <string>

enum class TkivUIStyle : uint8_t {
  FromThemeFile = 0,
  MacOS = 1,
  WinXP = 2,
  DeepBlue = 3,
  Protein = 4,
  BlueGlass = 5,
};

enum class TkivSkinGroup { Color, Bitmap, Integer, Boolean };

// Number of keys in a group (32 colours, 34 bitmaps, 9 integers, 9 Booleans).
int SkinKeyCount(TkivSkinGroup AGroup);

// The key name at an index of a group; only the low 7 bits of the index
// count. Empty for an index past the group's keys.
std::string SkinKeyName(TkivSkinGroup AGroup, uint8_t AIndex);
