// The desktop of the window-list and dialog tests: a light window manager
// (openbox) on the program's private X server, plain X windows of other
// "programs" (nested ones too), and the pointer driven with xdotool.
#pragma once

#include <xcb/xcb.h>

#include <string>
#include <sys/types.h>
#include <vector>

// Sends what is buffered and waits until the server has handled it.
void XSync(xcb_connection_t* AConnection);

// openbox on $DISPLAY, stopped with the object.
class TWindowManager {
public:
  TWindowManager() = default;
  ~TWindowManager() { Stop(); }
  TWindowManager(const TWindowManager&) = delete;
  TWindowManager& operator=(const TWindowManager&) = delete;
  // Starts it and waits until it manages the screen; false with AError.
  bool Start(std::string& AError);
  void Stop();

private:
  pid_t FPid = -1;
};

// Whether a window manager announces itself on the root window.
bool WindowManagerRuns(xcb_connection_t* AConnection);

// A plain X window filled with one colour, mapped at once. A top level asks
// the window manager for its own position (so that it stays where it is put).
class TTestWindow {
public:
  TTestWindow(xcb_connection_t* AConnection, int AX, int AY, int AWidth, int AHeight,
              uint32_t APixel, xcb_window_t AParent = XCB_WINDOW_NONE, bool AMap = true);
  ~TTestWindow();
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;

  xcb_window_t Id() const { return FWindow; }
  void SetPid(pid_t APid);
  void SetType(const char* ATypeAtom);
  void SetTransientFor(xcb_window_t AOwner);
  void Map();
  void Unmap();
  // Asks the window manager to minimise the window.
  void Iconify();
  // Waits until the window is viewable (or, with false, unviewable).
  bool WaitViewable(bool AViewable = true) const;
  // Waits until the window manager lists the window (or no longer lists it).
  bool WaitListed(bool AListed = true, int AMilliseconds = 5000) const;

private:
  xcb_connection_t* FConnection;
  xcb_window_t FWindow = XCB_WINDOW_NONE;
  bool FTopLevel;
};

// Runs xdotool with the arguments; false when it fails.
bool Xdotool(const std::vector<std::string>& AArguments);
