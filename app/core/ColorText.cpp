// Colours in the settings file (see ColorText.h).
#include "ColorText.h"

#include "IniFile.h"

#include <cstdio>

namespace {

struct TColorName {
  const char* Name;
  int32_t Value;
};

constexpr TColorName kColors[] = {
    {"clBlack", 0x000000},  {"clMaroon", 0x000080},     {"clGreen", 0x008000},
    {"clOlive", 0x008080},  {"clNavy", 0x800000},       {"clPurple", 0x800080},
    {"clTeal", 0x808000},   {"clGray", 0x808080},       {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},    {"clLime", 0x00FF00},       {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF},    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},  {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},  {"clMedGray", 0xA4A0A0},    {"clLtGray", 0xC0C0C0},
    {"clDkGray", 0x808080}, {"clNone", 0x1FFFFFFF},     {"clDefault", 0x20000000},
};

} // namespace

bool TryStringToColor(const std::string& AText, int32_t& AColor) {
  const std::string text = TrimBlanks(AText);
  for (const TColorName& c : kColors)
    if (SameText(text, c.Name)) {
      AColor = c.Value;
      return true;
    }
  int value = 0;
  if (!TryStrToInt(text, value)) return false;
  AColor = value;
  return true;
}

int32_t StringToColorDef(const std::string& AText, int32_t ADefault) {
  int32_t color = 0;
  return TryStringToColor(AText, color) ? color : ADefault;
}

std::string ColorToString(int32_t AColor) {
  for (const TColorName& c : kColors)
    if (c.Value == AColor) return c.Name;
  char text[16];
  std::snprintf(text, sizeof text, "$%.8X", static_cast<unsigned>(AColor));
  return text;
}
