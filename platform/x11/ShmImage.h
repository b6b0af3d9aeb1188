// A System V shared-memory segment attached to the X server (MIT-SHM), into
// which the server writes grabbed pixels without a copy through the socket.
#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <string>

class TShmImage {
public:
  TShmImage() = default;
  ~TShmImage() { Release(); }
  TShmImage(const TShmImage&) = delete;
  TShmImage& operator=(const TShmImage&) = delete;

  // Whether the server offers MIT-SHM.
  static bool Available(xcb_connection_t* AConnection);
  // Creates a segment of ASize bytes that the server shares; 0, or an errno
  // or X error code with AError naming the step that failed.
  int Create(xcb_connection_t* AConnection, size_t ASize, std::string& AError);
  void Release();
  bool IsCreated() const { return FAddress != nullptr; }

  // Grabs the rectangle of ADrawable (ZPixmap, all planes) into the segment;
  // 0 or the X error code.
  int Grab(xcb_drawable_t ADrawable, int AX, int AY, int AWidth, int AHeight);
  const uint8_t* Data() const { return FAddress; }
  size_t Size() const { return FSize; }

private:
  xcb_connection_t* FConnection = nullptr;
  xcb_shm_seg_t FSegment = 0;
  uint8_t* FAddress = nullptr;
  size_t FSize = 0;
};
