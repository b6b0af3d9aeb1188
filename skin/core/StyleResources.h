// The program's picture resources of the built-in styles ("DEEPBLUE_BUTTON",
// "MACOS_TITLEBTN", "MORE_SCROLLBUTTON", "MENU_CHECKED", ...), drawn on first
// use from each style's palette and kept by name.
#pragma once

#include "Bitmap.h"
#include "StylePainter.h"

#include <string>
#include <vector>

// Copies the named picture into ABitmap; an unknown name leaves ABitmap
// empty and answers false.
bool LoadSkinResource(const std::string& AName, TBitmap& ABitmap);

// Every picture resource name the program has.
const std::vector<std::string>& SkinResourceNames();

// The palette a built-in style (1-5) is drawn from.
const TStylePalette& BuiltInPalette(int AStyle);
