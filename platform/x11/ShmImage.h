// A System V shared-memory segment attached to the X server (MIT-SHM), into
// which the server writes grabbed pixels without a copy through the socket.
// The server's attachment and this process's mapping end separately: a
// frame made of the segment may still be read after the connection is gone.
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
  // Ends the server's share; the memory stays mapped here. Needs the
  // connection, so it runs before the connection closes.
  void Detach();
  // Detaches (when still attached) and unmaps.
  void Release();
  bool IsCreated() const { return FAddress != nullptr; }
  bool IsAttached() const { return FConnection != nullptr; }
  xcb_shm_seg_t Segment() const { return FSegment; }

  // Grabs the rectangle of ADrawable (ZPixmap, all planes) into the segment
  // at AOffset, in rows of the rectangle's own width; 0 or the X error code.
  int Grab(xcb_drawable_t ADrawable, int AX, int AY, int AWidth, int AHeight, uint32_t AOffset = 0);
  // The same in two halves, for work to be done while the server grabs.
  xcb_shm_get_image_cookie_t StartGrab(xcb_drawable_t ADrawable, int AX, int AY, int AWidth,
                                       int AHeight, uint32_t AOffset = 0);
  int FinishGrab(xcb_shm_get_image_cookie_t ACookie);
  uint8_t* Data() const { return FAddress; }
  size_t Size() const { return FSize; }
  // Maps the pages of ALength bytes from AOffset into this process in one
  // call, so that the first access here does not fault them in one by one.
  void Populate(size_t AOffset, size_t ALength);

private:
  xcb_connection_t* FConnection = nullptr; // while attached
  xcb_shm_seg_t FSegment = 0;
  uint8_t* FAddress = nullptr;
  size_t FSize = 0;
};
