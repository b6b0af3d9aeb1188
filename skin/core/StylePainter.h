// Skin pictures drawn in code from a small set of colours and sizes: title
// strips, button strips, the 18-frame title-button strip with its glyphs,
// frame borders and the pictures of the other controls. The built-in styles
// and the main window's own skin file are both drawn with it.
#pragma once

#include "Bitmap.h"
#include "SkinTypes.h"

#include <string>
#include <vector>

// The colours (0x00BBGGRR) and sizes a set of skin pictures is drawn from.
struct TStylePalette {
  TColor TitleTop = 0; // title strip gradient
  TColor TitleBottom = 0;
  TColor TitleEdge = 0;  // outline of the title strip
  TColor TitleShine = 0; // the light line under the title's top edge
  int TitleHeight = 24;
  int TitleEndWidth = 8; // width of the left and right title sections
  int TitleCorner = 0;   // rounded top corners of the title ends (key colour outside)

  TColor FaceTop = 0; // push button, normal
  TColor FaceBottom = 0;
  TColor HotTop = 0; // push button under the mouse
  TColor HotBottom = 0;
  TColor DownTop = 0; // push button pressed
  TColor DownBottom = 0;
  TColor FaceBorder = 0;
  int ButtonWidth = 25; // one frame of the button strip
  int ButtonHeight = 21;
  bool ButtonKeyCorners = false; // corners in the key colour instead of the form colour

  TColor CapFace = 0; // title buttons: normal, hot, pressed
  TColor CapHot = 0;
  TColor CapDown = 0;
  TColor CapBorder = 0;
  TColor CapGlyph = 0;
  TColor CloseFace = 0; // the close button's own face
  int CapWidth = 19;
  int CapHeight = 18;
  bool CapRound = false;      // round buttons
  bool CapKeyCorners = false; // drawn on the key colour instead of the title

  TColor Accent = 0; // check marks, progress, selections
  TColor Track = 0;  // tracks and channels
  TColor Light = 0xFFFFFF;
  TColor FormColor = 0;
  TColor BorderColor = 0; // frame borders of a skin file
  int BorderWidth = 4;
};

// The colour left out when a picture is drawn transparent.
constexpr TColor SkinKeyColor = 0xFF00FF;

// The picture parts a palette can draw.
const std::vector<std::string>& StyleParts();

// Draws one part; false (and an empty bitmap) for an unknown part.
bool PaintStylePart(const std::string& APart, const TStylePalette& APalette, TBitmap& AOut);
