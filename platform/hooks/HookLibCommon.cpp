// What the two hook stand-ins share (see HookLibCommon.h).
#include "HookLibCommon.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

bool THookWatcher::Start(const char* AMappingName, size_t ASize, const unsigned char* AMask,
                         int AMaskLength, uint32_t AWindow, TEventProc AProc) {
  if (Running()) return false;
  FDisplay = XOpenDisplay(nullptr);
  if (!FDisplay) return false;
  int event = 0, error = 0;
  int major = 2, minor = 0;
  if (!XQueryExtension(FDisplay, "XInputExtension", &FOpcode, &event, &error) ||
      XIQueryVersion(FDisplay, &major, &minor) != Success) {
    Stop();
    return false;
  }
  FMappingName = AMappingName;
  FMapping = shm_open(AMappingName, O_CREAT | O_RDWR, 0600);
  if (FMapping < 0 || ftruncate(FMapping, static_cast<off_t>(ASize)) != 0) {
    Stop();
    return false;
  }
  void* view = mmap(nullptr, ASize, PROT_READ | PROT_WRITE, MAP_SHARED, FMapping, 0);
  if (view == MAP_FAILED) {
    Stop();
    return false;
  }
  FView = static_cast<uint8_t*>(view);
  FSize = ASize;
  XIEventMask mask{};
  mask.deviceid = XIAllMasterDevices;
  mask.mask_len = AMaskLength;
  mask.mask = const_cast<unsigned char*>(AMask);
  XISelectEvents(FDisplay, DefaultRootWindow(FDisplay), &mask, 1);
  XSync(FDisplay, False);
  if (pipe2(FWake, O_CLOEXEC) != 0) {
    Stop();
    return false;
  }
  FWindow = AWindow;
  FProc = std::move(AProc);
  FStop = false;
  FThread = std::thread([this] { Run(); });
  return true;
}

void THookWatcher::Stop() {
  FStop = true;
  if (FWake[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(FWake[1], &byte, 1);
  }
  if (FThread.joinable()) FThread.join();
  for (int& fd : FWake) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  if (FView) munmap(FView, FSize);
  FView = nullptr;
  if (FMapping >= 0) {
    close(FMapping);
    shm_unlink(FMappingName.c_str());
  }
  FMapping = -1;
  if (FDisplay) XCloseDisplay(FDisplay);
  FDisplay = nullptr;
}

void THookWatcher::Notify(Atom AMessage, long AParam, Time ATime) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = FWindow;
  event.xclient.message_type = AMessage;
  event.xclient.format = 32;
  event.xclient.data.l[0] = AParam;
  event.xclient.data.l[1] = static_cast<long>(ATime);
  XSendEvent(FDisplay, FWindow, False, NoEventMask, &event);
  XFlush(FDisplay);
}

void THookWatcher::Run() {
  pollfd fds[2] = {{ConnectionNumber(FDisplay), POLLIN, 0}, {FWake[0], POLLIN, 0}};
  while (!FStop) {
    while (!FStop && XPending(FDisplay)) {
      XEvent event;
      XNextEvent(FDisplay, &event);
      XGenericEventCookie* cookie = &event.xcookie;
      if (cookie->type != GenericEvent || cookie->extension != FOpcode ||
          !XGetEventData(FDisplay, cookie))
        continue;
      FProc(*this, static_cast<XIDeviceEvent*>(cookie->data), cookie->evtype);
      XFreeEventData(FDisplay, cookie);
    }
    if (FStop) break;
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) break;
  }
}
