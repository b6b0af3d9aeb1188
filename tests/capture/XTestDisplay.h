// The X side of the capture tests: their own connection to the program's
// server, windows that show a known pattern, screen pixels read back, and
// the pointer moved with xdotool.
#pragma once

#include "WindowGeometry.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TRgb&) const = default;
};
std::string ToString(const TRgb& AColour);

// The colour the pattern has at (AX, AY) of its window.
TRgb PatternColour(int AX, int AY);

class TXTestDisplay {
public:
  // Connects to $DISPLAY.
  TXTestDisplay() { Open(); }
  ~TXTestDisplay();
  // Connects again unless connected (for a display made before DISPLAY was set).
  bool Open();
  TXTestDisplay(const TXTestDisplay&) = delete;
  TXTestDisplay& operator=(const TXTestDisplay&) = delete;

  bool IsOpen() const { return FConnection && !xcb_connection_has_error(FConnection); }
  xcb_connection_t* Get() const { return FConnection; }
  xcb_window_t Root() const { return FScreen->root; }
  // A round trip: everything sent before has been handled.
  void Sync() const;
  TRgb ScreenPixel(int AX, int AY) const;
  // The child of the root that stacks above all others.
  xcb_window_t TopChild() const;
  TXRect Geometry(xcb_window_t AWindow) const;
  std::vector<xcb_rectangle_t> BoundingShape(xcb_window_t AWindow) const;
  // Where the pointer is on the screen.
  void PointerAt(int& AX, int& AY) const;

private:
  xcb_connection_t* FConnection = nullptr;
  xcb_screen_t* FScreen = nullptr;
};

// A window above the others whose background is the pattern, so the
// server redraws it by itself whenever it is uncovered.
class TPatternWindow {
public:
  TPatternWindow(TXTestDisplay& ADisplay, int AX, int AY, int AWidth, int AHeight);
  ~TPatternWindow() { Destroy(); }
  TPatternWindow(const TPatternWindow&) = delete;
  TPatternWindow& operator=(const TPatternWindow&) = delete;

  xcb_window_t Id() const { return FWindow; }
  void Move(int AX, int AY);
  void Destroy();

private:
  TXTestDisplay& FDisplay;
  xcb_window_t FWindow = XCB_WINDOW_NONE;
  xcb_pixmap_t FPixmap = XCB_NONE;
};

// A window above the others filled with one colour, which can change.
class TColourWindow {
public:
  TColourWindow(TXTestDisplay& ADisplay, int AX, int AY, int AWidth, int AHeight, TRgb AColour);
  ~TColourWindow();
  TColourWindow(const TColourWindow&) = delete;
  TColourWindow& operator=(const TColourWindow&) = delete;
  // Repaints the window; the server has it when this returns.
  void Fill(TRgb AColour);

private:
  TXTestDisplay& FDisplay;
  xcb_window_t FWindow = XCB_WINDOW_NONE;
};

// Moves the pointer with xdotool and waits until the server has it there.
bool MovePointer(TXTestDisplay& ADisplay, int AX, int AY);

// The first pixel of a B,G,R,X frame (AStride bytes a row) that differs from
// the pattern seen from (APatternX, APatternY) on, as text; empty when every
// pixel matches. ASkip(x, y) leaves pixels out.
std::string CompareWithPattern(const uint8_t* AFrame, int AStride, int AWidth, int AHeight,
                               int APatternX, int APatternY,
                               bool (*ASkip)(int AX, int AY) = nullptr);
