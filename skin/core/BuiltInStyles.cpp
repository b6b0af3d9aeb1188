// The position table of the built-in styles (MacOS, WinXP, DeepBlue,
// Protein, BlueGlass) and its getters.
#include "BuiltInStyles.h"

#include "SkinDraw.h"
#include "StyleResources.h"

#include <array>

namespace {

constexpr int StyleCount = 5;
constexpr std::array<const char*, StyleCount> StyleWords = {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN",
                                                            "BLUEGLASS"};

struct TPosition {
  TkivThemeKind Kind;
  std::array<int, StyleCount> Values; // integers, colours, Booleans
  const char* Part;                   // bitmaps: the part after the style word
};

using K = TkivThemeKind;
constexpr std::array<int, StyleCount> None = {0, 0, 0, 0, 0};
constexpr std::array<int, StyleCount> FormColor = {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB,
                                                   0xE7E7E7};

constexpr std::array<TPosition, ThemePositionCount> Positions = {{
    {K::Bitmap, None, "BUTTON"},                                             // 1
    {K::Boolean, {1, 0, 0, 0, 1}, nullptr},                                  // 2
    {K::Bitmap, None, "CHECKBOX"},                                           // 3
    {K::Bitmap, None, "RADIOBUTTON"},                                        // 4
    {K::Bitmap, None, "TITLEBTN"},                                           // 5
    {K::Boolean, {0, 0, 0, 1, 1}, nullptr},                                  // 6
    {K::Integer, {3, 2, 0, 0, 4}, nullptr},                                  // 7
    {K::Integer, {-2, -2, 0, 0, -3}, nullptr},                               // 8
    {K::Integer, {4, 5, 2, 2, 6}, nullptr},                                  // 9
    {K::Bitmap, None, "TITLE_LEFT"},                                         // 10
    {K::Bitmap, None, "TITLE_CLIENT"},                                       // 11
    {K::Bitmap, None, "TITLE_RIGHT"},                                        // 12
    {K::Integer, {130, 150, 130, 130, 270}, nullptr},                        // 13
    {K::Integer, {0, 13, 0, 0, 11}, nullptr},                                // 14
    {K::Color, FormColor, nullptr},                                          // 15
    {K::Color, {0x7F7F7F, 0xC82C00, 0x000000, 0x000000, 0x000000}, nullptr}, // 16
    {K::Integer, {1, 3, 1, 1, 1}, nullptr},                                  // 17
    {K::Color, {0xC47339, 0xC66931, 0xA04A44, 0xC4302D, 0xEC5E5E}, nullptr}, // 18
    {K::Color, {0xC47339, 0xEFD3C6, 0xA04A44, 0xC4302D, 0xEC5E5E}, nullptr}, // 19
    {K::Color, {0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, nullptr}, // 20
    {K::Color, {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xE7E7E7}, nullptr}, // 21
    {K::Color, {0x000000, 0x000000, 0x000000, 0x000000, 0x000000}, nullptr}, // 22
    {K::Color, {0x000000, 0xCED3D6, 0xCED3D6, 0xCED3D6, 0xCED3D6}, nullptr}, // 23
    {K::Bitmap, None, "PROGRESSBAR"},                                        // 24
    {K::Color, {0x7F7F7F, 0x686868, 0, 0, 0}, nullptr},                      // 25
    {K::Color, FormColor, nullptr},                                          // 26
    {K::Color, {0, 0xCF4602, 0, 0, 0}, nullptr},                             // 27
    {K::Bitmap, None, "TRACKBAR_BAR"},                                       // 28
    {K::Bitmap, None, "TRACKBAR_SLIDER"},                                    // 29
    {K::Bitmap, None, "TRACKBAR_SLIDER_V"},                                  // 30
    {K::Color, {0xC9C9C9, 0xF9F9F9, 0xF5F5F5, 0xF5F5F5, 0xF4F4F4}, nullptr}, // 31
    {K::Bitmap, None, "SCROLLBAR_BUTTON"},                                   // 32
    {K::Bitmap, None, "SCROLLBAR_TRACK"},                                    // 33
    {K::Bitmap, None, "CHECKLIST"},                                          // 34
    {K::Color, {0x474747, 0xC66931, 0x474747, 0x474747, 0x474747}, nullptr}, // 35
    {K::Color, {0xEFEFEF, 0xEFD3C6, 0xEFEFEF, 0xEFEFEF, 0xEFEFEF}, nullptr}, // 36
    {K::Color, {0xD8D8D8, 0xE1AC93, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8}, nullptr}, // 37
    {K::Bitmap, None, "SCROLLBUTTON"},                                       // 38
    {K::Bitmap, None, "TAB"},                                                // 39
    {K::Bitmap, None, "TAB_LINE"},                                           // 40
    {K::Bitmap, None, "SIDECHENNEL_HANDLE"},                                 // 41
    {K::Bitmap, None, "SIDECHENNEL_BAR"},                                    // 42
    {K::Bitmap, None, ""},                                                   // 43
    {K::Color, {0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, nullptr},        // 44
    {K::Bitmap, None, ""},                                                   // 45
    {K::Bitmap, None, ""},                                                   // 46
    {K::Integer, None, nullptr},                                             // 47
    {K::Color, FormColor, nullptr},                                          // 48
}};

// The position of the scroll button picture, which the last three styles share.
constexpr int ScrollButtonPosition = 38;

} // namespace

TkivThemeValue GetThemeValue(int AStyle, int APosition) {
  const int style = ((AStyle % 128) + 128) % 128;
  if (style < 1 || style > StyleCount || APosition < 1 || APosition > ThemePositionCount) return {};
  const TPosition& position = Positions[APosition - 1];
  TkivThemeValue value;
  value.Kind = position.Kind;
  if (position.Kind == TkivThemeKind::Bitmap) {
    value.Value = 0;
    if (*position.Part == '\0') return value;
    if (APosition == ScrollButtonPosition && style >= 3)
      value.ResourceName = "MORE_SCROLLBUTTON";
    else
      value.ResourceName = std::string(StyleWords[style - 1]) + "_" + position.Part;
  } else {
    value.Value = position.Values[style - 1];
  }
  return value;
}

TColor GetThemeColor(int AStyle, int APosition) {
  const TkivThemeValue value = GetThemeValue(AStyle, APosition);
  return value.Kind == TkivThemeKind::Color ? value.Value : 0;
}

int GetThemeInt(int AStyle, int APosition) {
  const TkivThemeValue value = GetThemeValue(AStyle, APosition);
  return value.Kind == TkivThemeKind::Integer ? value.Value : -1;
}

int GetThemeBool(int AStyle, int APosition) {
  const TkivThemeValue value = GetThemeValue(AStyle, APosition);
  return value.Kind == TkivThemeKind::Boolean ? value.Value : 0;
}

void GetThemeBitmap(int AStyle, int APosition, TBitmap* ABitmap) {
  if (!ABitmap) return;
  const TkivThemeValue value = GetThemeValue(AStyle, APosition);
  if (value.Kind != TkivThemeKind::Bitmap) return;
  LoadSkinResource(value.ResourceName, *ABitmap);
}

void GetThemeBitmapFrame(int AStyle, int APosition, TBitmap* ADest, int AFrame, int AFrameCount) {
  if (!ADest) return;
  if (AFrameCount == 0) {
    GetThemeBitmap(AStyle, APosition, ADest);
    return;
  }
  TBitmap scratch;
  GetThemeBitmap(AStyle, APosition, &scratch);
  CutFrame(scratch, *ADest, AFrameCount, AFrame);
}
