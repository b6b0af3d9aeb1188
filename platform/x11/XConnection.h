// An xcb connection with the facts of its screen that the capture needs, and
// the owners of xcb replies. Every request that can fail is checked by its
// caller; an X error is a result code here, never the end of the process.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

struct TXFree {
  void operator()(void* APointer) const { std::free(APointer); }
};
// A reply or error record of xcb, freed with free().
template <class T> using TXPtr = std::unique_ptr<T, TXFree>;

// The layout of the pixels of a drawable of the root window's depth.
struct TXPixelLayout {
  int Depth = 0;
  int BitsPerPixel = 0;
  int ScanlinePad = 0; // bits
  bool LsbFirst = true;
  uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;

  // Bytes of one row of AWidth pixels.
  int Stride(int AWidth) const;
};

class TXConnection {
public:
  TXConnection() = default;
  ~TXConnection() { Close(); }
  TXConnection(const TXConnection&) = delete;
  TXConnection& operator=(const TXConnection&) = delete;

  // Connects to ADisplay (null: $DISPLAY); 0 or xcb's connection error code.
  int Open(const char* ADisplay = nullptr);
  void Close();
  bool IsOpen() const { return FConnection != nullptr; }

  xcb_connection_t* Get() const { return FConnection.get(); }
  xcb_window_t Root() const { return FScreen->root; }
  xcb_visualid_t RootVisual() const { return FScreen->root_visual; }
  int ScreenWidth() const { return FScreen->width_in_pixels; }
  int ScreenHeight() const { return FScreen->height_in_pixels; }
  const TXPixelLayout& RootLayout() const { return FLayout; }
  // The root depth's pixel value nearest to the colour (8 bits a channel).
  uint32_t PixelOf(uint8_t ARed, uint8_t AGreen, uint8_t ABlue) const;
  // Sends what is buffered.
  void Flush() const;
  // The connection's socket, readable when the server has sent something.
  int FileDescriptor() const { return xcb_get_file_descriptor(FConnection.get()); }
  // Drops queued events and the errors of unchecked requests, so that they
  // cannot pile up on a connection that never reads its events.
  void DiscardEvents() const;
  // 0, or the connection's error once it has broken.
  int ConnectionError() const;
  // Whether a compositing manager draws the screen: it then owns the
  // screen's "_NET_WM_CM_S<n>" selection.
  bool Composited() const;

private:
  struct TDisconnect {
    void operator()(xcb_connection_t* AConnection) const { xcb_disconnect(AConnection); }
  };
  std::unique_ptr<xcb_connection_t, TDisconnect> FConnection;
  xcb_screen_t* FScreen = nullptr;
  int FScreenNumber = 0;
  TXPixelLayout FLayout;
};

// The error code of a failed request that has no reply (0 when it succeeded).
int CheckRequest(xcb_connection_t* AConnection, xcb_void_cookie_t ACookie);
