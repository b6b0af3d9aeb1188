// Drawing the skin pictures of a palette. Shapes are rounded boxes with a
// vertical gradient and a one-pixel border; glyphs are small pixel patterns.
#include "StylePainter.h"

#include "SkinCanvas.h"
#include "SkinColor.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace {

TColor Mix(TColor A, TColor B, double AWeightOfB) {
  const TColorParts a = SplitColor(A);
  const TColorParts b = SplitColor(B);
  const auto mix = [AWeightOfB](uint8_t x, uint8_t y) {
    return static_cast<uint8_t>(std::lround(x + (y - x) * AWeightOfB));
  };
  return MakeColor(mix(a.Red, b.Red), mix(a.Green, b.Green), mix(a.Blue, b.Blue));
}

TColor Lighter(TColor A, double AAmount) {
  return Mix(A, 0xFFFFFF, AAmount);
}
TColor Darker(TColor A, double AAmount) {
  return Mix(A, 0x000000, AAmount);
}

struct TBox {
  TColor Top;
  TColor Bottom;
  TColor Border;
  double Radius;
  TColor Outside;
};

bool InsideRounded(int AX, int AY, int AW, int AH, double ARadius) {
  const double px = AX + 0.5;
  const double py = AY + 0.5;
  const double r = std::min({ARadius, AW / 2.0, AH / 2.0});
  const double cx = std::clamp(px, r, AW - r);
  const double cy = std::clamp(py, r, AH - r);
  return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r + 0.25;
}

// A rounded box filling the rectangle: outside the corners the outside
// colour, a border on the shape's edge, a gradient within.
void DrawBox(TSkinCanvas& ACanvas, const TRect& ARect, const TBox& ABox) {
  const int w = ARect.Width();
  const int h = ARect.Height();
  for (int y = 0; y < h; ++y) {
    const TColor face = Mix(ABox.Top, ABox.Bottom, h > 1 ? y / double(h - 1) : 0);
    for (int x = 0; x < w; ++x) {
      TColor c = ABox.Outside;
      if (InsideRounded(x, y, w, h, ABox.Radius)) {
        const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1 ||
                          !InsideRounded(x - 1, y, w, h, ABox.Radius) ||
                          !InsideRounded(x + 1, y, w, h, ABox.Radius) ||
                          !InsideRounded(x, y - 1, w, h, ABox.Radius) ||
                          !InsideRounded(x, y + 1, w, h, ABox.Radius);
        c = edge ? ABox.Border : face;
      }
      ACanvas.SetPixel(ARect.Left + x, ARect.Top + y, c);
    }
  }
}

// Pixel patterns of the glyphs, 'X' marks a pixel.
const std::map<std::string, std::vector<std::string>>& Glyphs() {
  static const std::map<std::string, std::vector<std::string>> glyphs = {
      {"close",
       {"XX....XX", "XXX..XXX", ".XXXXXX.", "..XXXX..", "..XXXX..", ".XXXXXX.", "XXX..XXX",
        "XX....XX"}},
      {"min",
       {"........", "........", "........", "........", "........", "........", "XXXXXXX.",
        "XXXXXXX."}},
      {"max",
       {"XXXXXXXX", "XXXXXXXX", "X......X", "X......X", "X......X", "X......X", "X......X",
        "XXXXXXXX"}},
      {"restore",
       {"..XXXXXX", "..XXXXXX", "..X....X", "XXXXXX.X", "XXXXXX.X", "X....XXX", "X....X..",
        "XXXXXX.."}},
      {"help",
       {"..XXXX..", ".XX..XX.", ".....XX.", "....XX..", "...XX...", "...XX...", "........",
        "...XX..."}},
      {"box",
       {"XXXXXXXX", "XXXXXXXX", "X......X", "X.XXXX.X", "X......X", "X.XXX..X", "X......X",
        "XXXXXXXX"}},
      {"check", {".......X", "......XX", "X....XX.", "XX..XX..", ".XXXX...", "..XX...."}},
      {"up", {"...X...", "..XXX..", ".XXXXX.", "XXXXXXX"}},
      {"down", {"XXXXXXX", ".XXXXX.", "..XXX..", "...X..."}},
      {"more", {"X...X..", ".X...X.", "..X...X", ".X...X.", "X...X.."}},
      {"dot", {".XX.", "XXXX", "XXXX", ".XX."}},
  };
  return glyphs;
}

void DrawGlyph(TSkinCanvas& ACanvas, const TRect& AFrame, const std::string& AName, TColor AColor,
               int AShift = 0) {
  const auto& rows = Glyphs().at(AName);
  const int gh = static_cast<int>(rows.size());
  const int gw = static_cast<int>(rows[0].size());
  const int x0 = AFrame.Left + (AFrame.Width() - gw) / 2 + AShift;
  const int y0 = AFrame.Top + (AFrame.Height() - gh) / 2 + AShift;
  for (int y = 0; y < gh; ++y)
    for (int x = 0; x < gw; ++x)
      if (rows[y][x] == 'X') ACanvas.SetPixel(x0 + x, y0 + y, AColor);
}

TRect FrameRect(int AIndex, int AW, int AH) {
  return {AIndex * AW, 0, (AIndex + 1) * AW, AH};
}

// A strip of frames, each painted by the callback.
void Strip(TBitmap& AOut, int AFrames, int AW, int AH,
           const std::function<void(TSkinCanvas&, int, const TRect&)>& APaint) {
  AOut.SetSize(AFrames * AW, AH, 32);
  TSkinCanvas canvas(AOut);
  for (int i = 0; i < AFrames; ++i)
    APaint(canvas, i, FrameRect(i, AW, AH));
}

// Face colours of the three states (normal, hot, pressed).
TBox FaceBox(const TStylePalette& P, int AState, double ARadius, TColor AOutside) {
  switch (AState) {
  case 1:
    return {P.HotTop, P.HotBottom, P.FaceBorder, ARadius, AOutside};
  case 2:
    return {P.DownTop, P.DownBottom, Darker(P.FaceBorder, 0.2), ARadius, AOutside};
  default:
    return {P.FaceTop, P.FaceBottom, P.FaceBorder, ARadius, AOutside};
  }
}

void TitleSection(const TStylePalette& P, TBitmap& AOut, int AWidth, bool ALeftEnd,
                  bool ARightEnd) {
  const int h = P.TitleHeight;
  AOut.SetSize(AWidth, h, 32);
  TSkinCanvas c(AOut);
  for (int y = 0; y < h; ++y)
    c.FillRect({0, y, AWidth, y + 1},
               Mix(P.TitleTop, P.TitleBottom, h > 1 ? y / double(h - 1) : 0));
  c.FillRect({0, 0, AWidth, 1}, P.TitleEdge);
  c.FillRect({ALeftEnd ? 1 : 0, 1, ARightEnd ? AWidth - 1 : AWidth, 2}, P.TitleShine);
  c.FillRect({0, h - 1, AWidth, h}, Darker(P.TitleBottom, 0.15));
  if (ALeftEnd) c.FillRect({0, 0, 1, h}, P.TitleEdge);
  if (ARightEnd) c.FillRect({AWidth - 1, 0, AWidth, h}, P.TitleEdge);
  // Rounded top corners: what lies outside the arc takes the key colour.
  const int r = P.TitleCorner;
  for (int y = 0; y < r; ++y)
    for (int x = 0; x < r; ++x) {
      const double dx = r - (x + 0.5);
      const double dy = r - (y + 0.5);
      if (dx * dx + dy * dy <= double(r) * r) continue;
      if (ALeftEnd) c.SetPixel(x, y, SkinKeyColor);
      if (ARightEnd) c.SetPixel(AWidth - 1 - x, y, SkinKeyColor);
    }
}

void TitleButtons(const TStylePalette& P, TBitmap& AOut) {
  static const char* const kinds[6] = {"box", "help", "max", "restore", "min", "close"};
  Strip(AOut, 18, P.CapWidth, P.CapHeight, [&](TSkinCanvas& c, int i, const TRect& r) {
    const int kind = i / 3;
    const int state = i % 3;
    const bool close = kind == 5;
    const TColor base = close ? P.CloseFace : P.CapFace;
    TColor face = base;
    if (state == 1) face = close ? Lighter(P.CloseFace, 0.25) : P.CapHot;
    if (state == 2) face = close ? Darker(P.CloseFace, 0.25) : P.CapDown;
    const double radius = P.CapRound ? std::min(P.CapWidth, P.CapHeight) / 2.0 : 2.0;
    const TColor outside = P.CapKeyCorners ? SkinKeyColor : Mix(P.TitleTop, P.TitleBottom, 0.4);
    c.FillRect(r, outside);
    c.MoveOrigin(r.Left, 0);
    DrawBox(c, {0, 0, r.Width(), r.Height()},
            {Lighter(face, 0.35), face, P.CapBorder, radius, outside});
    c.MoveOrigin(-r.Left, 0);
    DrawGlyph(c, r, kinds[kind], P.CapGlyph, state == 2 ? 1 : 0);
  });
}

void Buttons(const TStylePalette& P, TBitmap& AOut) {
  const TColor outside = P.ButtonKeyCorners ? SkinKeyColor : P.FormColor;
  Strip(AOut, 3, P.ButtonWidth, P.ButtonHeight, [&](TSkinCanvas& c, int i, const TRect& r) {
    c.MoveOrigin(r.Left, 0);
    DrawBox(c, {0, 0, r.Width(), r.Height()}, FaceBox(P, i, 3, outside));
    c.MoveOrigin(-r.Left, 0);
  });
}

// Frames of one size, each a box of a state, with an optional glyph.
void StateStrip(const TStylePalette& P, TBitmap& AOut, int AFrames, int AW, int AH, double ARadius,
                const std::function<void(TSkinCanvas&, int, const TRect&)>& AAfter = {}) {
  Strip(AOut, AFrames, AW, AH, [&](TSkinCanvas& c, int i, const TRect& r) {
    c.MoveOrigin(r.Left, 0);
    DrawBox(c, {0, 0, AW, AH}, FaceBox(P, i % 3, ARadius, P.FormColor));
    c.MoveOrigin(-r.Left, 0);
    if (AAfter) AAfter(c, i, r);
  });
}

// Tick boxes: unchecked, unchecked hot, checked, checked hot.
void TickBoxes(const TStylePalette& P, TBitmap& AOut, int AFrames, bool ARound) {
  Strip(AOut, AFrames, 13, 13, [&](TSkinCanvas& c, int i, const TRect& r) {
    const bool hot = i % 2 == 1;
    const bool checked = i >= 2 || (AFrames == 2 && i == 1);
    c.MoveOrigin(r.Left, 0);
    DrawBox(
        c, {0, 0, 13, 13},
        {P.Light, P.FaceBottom, hot ? P.Accent : P.FaceBorder, ARound ? 6.5 : 1.0, P.FormColor});
    c.MoveOrigin(-r.Left, 0);
    if (checked) DrawGlyph(c, r, ARound ? "dot" : "check", P.Accent);
  });
}

void Gradient(TBitmap& AOut, int AW, int AH, TColor ATop, TColor ABottom) {
  AOut.SetSize(AW, AH, 32);
  TSkinCanvas c(AOut);
  for (int y = 0; y < AH; ++y)
    c.FillRect({0, y, AW, y + 1}, Mix(ATop, ABottom, AH > 1 ? y / double(AH - 1) : 0));
}

void Border(const TStylePalette& P, TBitmap& AOut, bool ALeft) {
  const int w = std::max(P.BorderWidth, 1);
  AOut.SetSize(w, 20, 32);
  TSkinCanvas c(AOut);
  c.FillRect({0, 0, w, 20}, P.TitleBottom);
  c.FillRect(ALeft ? TRect{0, 0, 1, 20} : TRect{w - 1, 0, w, 20}, P.BorderColor);
  if (w > 2)
    c.FillRect(ALeft ? TRect{w - 1, 0, w, 20} : TRect{0, 0, 1, 20},
               Mix(P.TitleBottom, P.FormColor, 0.5));
}

// The bottom border's pieces: 0 left corner, 1 stretched middle, 2 right corner.
void BottomBorder(const TStylePalette& P, TBitmap& AOut, int APiece) {
  const int h = std::max(P.BorderWidth, 1);
  const int w = APiece == 1 ? 8 : h;
  AOut.SetSize(w, h, 32);
  TSkinCanvas c(AOut);
  c.FillRect({0, 0, w, h}, P.TitleBottom);
  c.FillRect({0, h - 1, w, h}, P.BorderColor);
  if (h > 2) c.FillRect({0, 0, w, 1}, Mix(P.TitleBottom, P.FormColor, 0.5));
  if (APiece == 0) c.FillRect({0, 0, 1, h}, P.BorderColor);
  if (APiece == 2) c.FillRect({w - 1, 0, w, h}, P.BorderColor);
  if (APiece == 0 && h > 2) c.FillRect({w - 1, 0, w, 1}, P.TitleBottom);
}

using TPainter = std::function<void(const TStylePalette&, TBitmap&)>;

const std::map<std::string, TPainter>& Painters() {
  static const std::map<std::string, TPainter> painters = {
      {"TITLE_LEFT", [](const TStylePalette& P,
                        TBitmap& B) { TitleSection(P, B, P.TitleEndWidth, true, false); }},
      {"TITLE_CLIENT",
       [](const TStylePalette& P, TBitmap& B) { TitleSection(P, B, 8, false, false); }},
      {"TITLE_RIGHT", [](const TStylePalette& P,
                         TBitmap& B) { TitleSection(P, B, P.TitleEndWidth, false, true); }},
      {"MINIMIZED_TITLE",
       [](const TStylePalette& P, TBitmap& B) { TitleSection(P, B, 160, true, true); }},
      {"TITLEBTN", TitleButtons},
      {"BUTTON", Buttons},
      {"CHECKBOX", [](const TStylePalette& P, TBitmap& B) { TickBoxes(P, B, 4, false); }},
      {"RADIOBUTTON", [](const TStylePalette& P, TBitmap& B) { TickBoxes(P, B, 4, true); }},
      {"CHECKLIST", [](const TStylePalette& P, TBitmap& B) { TickBoxes(P, B, 2, false); }},
      {"PROGRESSBAR",
       [](const TStylePalette& P, TBitmap& B) {
         Strip(B, 3, 6, 14, [&](TSkinCanvas& c, int, const TRect& r) {
           c.MoveOrigin(r.Left, 0);
           DrawBox(c, {0, 0, 6, 14},
                   {Lighter(P.Track, 0.5), P.Track, P.FaceBorder, 1, P.FormColor});
           c.MoveOrigin(-r.Left, 0);
         });
       }},
      {"PROGRESS_FILL", [](const TStylePalette& P,
                           TBitmap& B) { Gradient(B, 6, 12, Lighter(P.Accent, 0.4), P.Accent); }},
      {"TRACKBAR_BAR",
       [](const TStylePalette& P, TBitmap& B) {
         Strip(B, 3, 5, 5, [&](TSkinCanvas& c, int, const TRect& r) {
           c.MoveOrigin(r.Left, 0);
           DrawBox(c, {0, 0, 5, 5}, {P.Track, P.Light, P.FaceBorder, 1, P.FormColor});
           c.MoveOrigin(-r.Left, 0);
         });
       }},
      {"TRACKBAR_SLIDER",
       [](const TStylePalette& P, TBitmap& B) { StateStrip(P, B, 3, 11, 19, 2); }},
      {"TRACKBAR_SLIDER_V",
       [](const TStylePalette& P, TBitmap& B) { StateStrip(P, B, 3, 19, 11, 2); }},
      {"SCROLLBAR_BUTTON",
       [](const TStylePalette& P, TBitmap& B) { StateStrip(P, B, 3, 16, 16, 2); }},
      {"SCROLL_UP",
       [](const TStylePalette& P, TBitmap& B) {
         StateStrip(P, B, 3, 16, 16, 2, [&](TSkinCanvas& c, int, const TRect& r) {
           DrawGlyph(c, r, "up", P.CapGlyph);
         });
       }},
      {"SCROLL_DOWN",
       [](const TStylePalette& P, TBitmap& B) {
         StateStrip(P, B, 3, 16, 16, 2, [&](TSkinCanvas& c, int, const TRect& r) {
           DrawGlyph(c, r, "down", P.CapGlyph);
         });
       }},
      {"SCROLLBAR_TRACK",
       [](const TStylePalette& P, TBitmap& B) {
         Strip(B, 3, 16, 16, [&](TSkinCanvas& c, int i, const TRect& r) {
           c.FillRect(r, i == 0 ? P.Track : Darker(P.Track, 0.1 * i));
         });
       }},
      {"SCROLLBUTTON",
       [](const TStylePalette& P, TBitmap& B) {
         StateStrip(P, B, 3, 16, 16, 2, [&](TSkinCanvas& c, int, const TRect& r) {
           DrawGlyph(c, r, "more", P.CapGlyph);
         });
       }},
      {"TAB", [](const TStylePalette& P, TBitmap& B) { StateStrip(P, B, 3, 21, 21, 3); }},
      {"TAB_LINE",
       [](const TStylePalette& P, TBitmap& B) {
         B.SetSize(3, 3, 32);
         TSkinCanvas c(B);
         c.FillRect({0, 0, 3, 3}, P.FormColor);
         c.FillRect({0, 0, 3, 1}, P.FaceBorder);
       }},
      {"SIDECHENNEL_HANDLE",
       [](const TStylePalette& P, TBitmap& B) { StateStrip(P, B, 3, 21, 21, 3); }},
      {"SIDECHENNEL_BAR",
       [](const TStylePalette& P, TBitmap& B) {
         Strip(B, 3, 21, 25, [&](TSkinCanvas& c, int, const TRect& r) {
           c.MoveOrigin(r.Left, 0);
           DrawBox(c, {0, 0, 21, 25}, {P.TitleTop, P.TitleBottom, P.TitleEdge, 0, P.FormColor});
           c.MoveOrigin(-r.Left, 0);
         });
       }},
      {"MENU_CHECKED",
       [](const TStylePalette&, TBitmap& B) {
         B.SetSize(16, 16, 32);
         TSkinCanvas c(B);
         c.FillRect({0, 0, 16, 16}, 0xFFFFFF);
         DrawGlyph(c, {0, 0, 16, 16}, "check", 0x000000);
       }},
      {"MENU_BAR",
       [](const TStylePalette& P, TBitmap& B) { Gradient(B, 10, 22, P.Light, P.Track); }},
      {"MENU_SELECT", [](const TStylePalette& P,
                         TBitmap& B) { Gradient(B, 10, 22, Lighter(P.Accent, 0.35), P.Accent); }},
      {"FORM_BACKGROUND",
       [](const TStylePalette& P, TBitmap& B) {
         B.SetSize(8, 8, 32);
         TSkinCanvas c(B);
         for (int y = 0; y < 8; ++y)
           c.FillRect({0, y, 8, y + 1}, y % 2 ? Darker(P.FormColor, 0.03) : P.FormColor);
       }},
      {"BORDER_LEFT", [](const TStylePalette& P, TBitmap& B) { Border(P, B, true); }},
      {"BORDER_RIGHT", [](const TStylePalette& P, TBitmap& B) { Border(P, B, false); }},
      {"BORDER_BOTTOM_LEFT", [](const TStylePalette& P, TBitmap& B) { BottomBorder(P, B, 0); }},
      {"BORDER_BOTTOM_MIDDLE", [](const TStylePalette& P, TBitmap& B) { BottomBorder(P, B, 1); }},
      {"BORDER_BOTTOM_RIGHT", [](const TStylePalette& P, TBitmap& B) { BottomBorder(P, B, 2); }},
  };
  return painters;
}

} // namespace

const std::vector<std::string>& StyleParts() {
  static const std::vector<std::string> parts = [] {
    std::vector<std::string> names;
    for (const auto& item : Painters())
      names.push_back(item.first);
    return names;
  }();
  return parts;
}

bool PaintStylePart(const std::string& APart, const TStylePalette& APalette, TBitmap& AOut) {
  const auto it = Painters().find(APart);
  if (it == Painters().end()) {
    AOut.SetSize(0, 0, 32);
    return false;
  }
  it->second(APalette, AOut);
  return true;
}
