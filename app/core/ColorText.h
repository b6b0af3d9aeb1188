// Colours in the settings file: a colour name ("clRed", any case) or a number
// ("$00FF0000", decimal), held as 0x00BBGGRR.
#pragma once

#include <cstdint>
#include <string>

// False when the text is neither a known name nor a number.
bool TryStringToColor(const std::string& AText, int32_t& AColor);
// AText as a colour, ADefault when it is not one.
int32_t StringToColorDef(const std::string& AText, int32_t ADefault);
// The name when the colour has one, else "$" + eight hexadecimal digits.
std::string ColorToString(int32_t AColor);
