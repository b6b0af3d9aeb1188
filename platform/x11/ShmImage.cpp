// The shared-memory grab (see ShmImage.h).
#include "ShmImage.h"

#include "XConnection.h"

#include <algorithm>
#include <cerrno>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels refuse it and the pages are touched
#endif

bool TShmImage::Available(xcb_connection_t* AConnection) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(AConnection, &xcb_shm_id);
  return extension && extension->present;
}

int TShmImage::Create(xcb_connection_t* AConnection, size_t ASize, std::string& AError) {
  Release();
  const int id = shmget(IPC_PRIVATE, ASize, IPC_CREAT | 0600);
  if (id < 0) {
    AError = "shmget";
    return errno;
  }
  void* address = shmat(id, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    const int error = errno;
    shmctl(id, IPC_RMID, nullptr);
    AError = "shmat";
    return error;
  }
  const xcb_shm_seg_t segment = xcb_generate_id(AConnection);
  const int error =
      CheckRequest(AConnection, xcb_shm_attach_checked(AConnection, segment, id, false));
  // Marked for removal at once: the segment goes when the last of us and the
  // server detaches, even if this process dies.
  shmctl(id, IPC_RMID, nullptr);
  if (error) {
    shmdt(address);
    AError = "xcb_shm_attach";
    return error;
  }
  FConnection = AConnection;
  FSegment = segment;
  FAddress = static_cast<uint8_t*>(address);
  FSize = ASize;
  return 0;
}

void TShmImage::Populate(size_t AOffset, size_t ALength) {
  if (!FAddress || AOffset >= FSize) return;
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t first = AOffset / page * page;
  const size_t end = std::min(AOffset + ALength, FSize);
  if (madvise(FAddress + first, end - first, MADV_POPULATE_WRITE) == 0) return;
  // One write a page maps it as well, only slower.
  for (size_t at = first; at < end; at += page)
    *static_cast<volatile uint8_t*>(FAddress + at) = FAddress[at];
}

void TShmImage::Detach() {
  if (!FConnection) return;
  // Waited for, so that the server writes no more into the segment once this returns.
  CheckRequest(FConnection, xcb_shm_detach_checked(FConnection, FSegment));
  FConnection = nullptr;
}

void TShmImage::Release() {
  if (!FAddress) return;
  Detach();
  shmdt(FAddress);
  FAddress = nullptr;
  FSize = 0;
}

int TShmImage::Grab(xcb_drawable_t ADrawable, int AX, int AY, int AWidth, int AHeight,
                    uint32_t AOffset) {
  if (!FConnection) return -1;
  return FinishGrab(StartGrab(ADrawable, AX, AY, AWidth, AHeight, AOffset));
}

xcb_shm_get_image_cookie_t TShmImage::StartGrab(xcb_drawable_t ADrawable, int AX, int AY,
                                                int AWidth, int AHeight, uint32_t AOffset) {
  return xcb_shm_get_image(FConnection, ADrawable, static_cast<int16_t>(AX),
                           static_cast<int16_t>(AY), static_cast<uint16_t>(AWidth),
                           static_cast<uint16_t>(AHeight), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, FSegment,
                           AOffset);
}

int TShmImage::FinishGrab(xcb_shm_get_image_cookie_t ACookie) {
  if (!FConnection) return -1;
  xcb_generic_error_t* rawError = nullptr;
  TXPtr<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(FConnection, ACookie, &rawError));
  TXPtr<xcb_generic_error_t> error(rawError);
  if (reply) return 0;
  return error ? error->error_code : -1;
}
