// What the two hook stand-ins share: a thread that watches XInput2 raw
// events on its own X connection, the POSIX shared memory the clients read,
// and the client message that tells a client's window something happened.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class THookWatcher {
public:
  using TEventProc =
      std::function<void(THookWatcher& AWatcher, XIDeviceEvent* ARawEvent, int AType)>;

  ~THookWatcher() { Stop(); }
  // Creates the shared memory (ASize bytes), opens the display, selects the
  // raw events AMask on the root window and starts the thread; false when
  // any of that fails.
  bool Start(const char* AMappingName, size_t ASize, const unsigned char* AMask, int AMaskLength,
             uint32_t AWindow, TEventProc AProc);
  void Stop();
  bool Running() const { return FThread.joinable(); }

  uint8_t* View() const { return FView; }
  Display* Dpy() const { return FDisplay; }
  Atom Intern(const char* AName) const { return XInternAtom(FDisplay, AName, False); }
  // Sends a client message of type AMessage to the client's window, with
  // AParam and the X server's time of the event it tells of.
  void Notify(Atom AMessage, long AParam, Time ATime = CurrentTime);

private:
  void Run();

  Display* FDisplay = nullptr;
  int FOpcode = 0;
  uint32_t FWindow = 0;
  std::string FMappingName;
  int FMapping = -1;
  uint8_t* FView = nullptr;
  size_t FSize = 0;
  int FWake[2] = {-1, -1};
  std::atomic<bool> FStop{false};
  TEventProc FProc;
  std::thread FThread;
};
