// The five built-in styles: 48 numbered positions, each of one kind shared by
// all styles (integer, colour, bitmap, Boolean) with a value per style, and
// the getters that controls read them with.
#pragma once

#include "Bitmap.h"
#include "SkinKeys.h"
#include "SkinTypes.h"

#include <string>

enum class TkivThemeKind : int { Integer = 0, Color = 1, Bitmap = 2, Boolean = 3 };

constexpr int ThemePositionCount = 48;

struct TkivThemeValue {
  TkivThemeKind Kind = TkivThemeKind::Integer;
  int Value = -1;           // integers, colours and Booleans
  std::string ResourceName; // bitmaps: the program's picture resource
};

// The style is taken modulo 128; a style outside 1-5 (or a position outside
// 1-48) gives value -1 of kind integer.
TkivThemeValue GetThemeValue(int AStyle, int APosition);
TColor GetThemeColor(int AStyle, int APosition); // 0 unless the position is a colour
int GetThemeInt(int AStyle, int APosition);      // -1 unless the position is an integer
int GetThemeBool(int AStyle, int APosition);     // 0 unless the position is a Boolean
// Loads the position's picture into ABitmap when the position is a bitmap;
// nothing otherwise or without a bitmap.
void GetThemeBitmap(int AStyle, int APosition, TBitmap* ABitmap);
// Frame AFrame of a strip of AFrameCount frames; a count of 0 takes the whole picture.
void GetThemeBitmapFrame(int AStyle, int APosition, TBitmap* ADest, int AFrame, int AFrameCount);

inline int StyleNumber(TkivUIStyle AStyle) {
  return static_cast<int>(AStyle);
}
