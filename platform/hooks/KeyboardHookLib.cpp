// The keyboard-hook stand-in, a shared object beside the program: every key
// going down or up anywhere on the display is written as its Windows
// virtual-key code at offset 8 of the shared memory, and the client's window
// gets the key-down or key-up message with the key and the X server's time of
// the press, by which a client knows one press that reached it twice.
#include "HookLibCommon.h"
#include "HookMapping.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <cstring>
#include <mutex>

namespace {

const char* const kMapping = "57D6A971_KeyboardHookDLL_442C0DB1";

// The watcher the library's two entries start and stop.
std::mutex GLock;
THookWatcher GWatcher;
// The two message atoms, interned by the watcher thread on its connection.
Atom GDown = 0, GUp = 0;

int32_t VirtualKey(KeySym ASym) {
  if (ASym >= XK_F1 && ASym <= XK_F24) return static_cast<int32_t>(112 + (ASym - XK_F1));
  if (ASym >= XK_a && ASym <= XK_z) return static_cast<int32_t>('A' + (ASym - XK_a));
  if (ASym >= XK_A && ASym <= XK_Z) return static_cast<int32_t>(ASym);
  if (ASym >= XK_0 && ASym <= XK_9) return static_cast<int32_t>(ASym);
  switch (ASym) {
  case XK_BackSpace:
    return 8;
  case XK_Tab:
    return 9;
  case XK_Return:
    return 13;
  case XK_Shift_L:
  case XK_Shift_R:
    return 16;
  case XK_Control_L:
  case XK_Control_R:
    return 17;
  case XK_Alt_L:
  case XK_Alt_R:
    return 18;
  case XK_Pause:
    return 19;
  case XK_Caps_Lock:
    return 20;
  case XK_Escape:
    return 27;
  case XK_space:
    return 32;
  case XK_Prior:
    return 33;
  case XK_Next:
    return 34;
  case XK_End:
    return 35;
  case XK_Home:
    return 36;
  case XK_Left:
    return 37;
  case XK_Up:
    return 38;
  case XK_Right:
    return 39;
  case XK_Down:
    return 40;
  case XK_Insert:
    return 45;
  case XK_Delete:
    return 46;
  default:
    return 0;
  }
}

} // namespace

extern "C" __attribute__((visibility("default"))) int EnableKeyboardHook(uint32_t AWindow) {
  std::lock_guard<std::mutex> lock(GLock);
  unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(mask, XI_RawKeyPress);
  XISetMask(mask, XI_RawKeyRelease);
  GDown = GUp = 0;
  return GWatcher.Start(HookMappingName(kMapping).c_str(), 64, mask, sizeof mask, AWindow,
                        [](THookWatcher& AWatcher, XIDeviceEvent* AEvent, int AType) {
                          if (AType != XI_RawKeyPress && AType != XI_RawKeyRelease) return;
                          if (!GDown) {
                            GDown =
                                AWatcher.Intern("MSGKEYDOWN57D6A971-049B-45AF-A8CD-37E0B706E036");
                            GUp = AWatcher.Intern("MSGKEYUP442C0DB1-3198-4C2B-A718-143F6E2D1760");
                          }
                          const auto* raw = reinterpret_cast<XIRawEvent*>(AEvent);
                          const KeySym sym = XkbKeycodeToKeysym(
                              AWatcher.Dpy(), static_cast<KeyCode>(raw->detail), 0, 0);
                          const int32_t key = VirtualKey(sym);
                          std::memcpy(AWatcher.View() + 8, &key, sizeof key);
                          AWatcher.Notify(AType == XI_RawKeyPress ? GDown : GUp, key, raw->time);
                        })
             ? 1
             : 0;
}

extern "C" __attribute__((visibility("default"))) void DisableKeyboardHook() {
  std::lock_guard<std::mutex> lock(GLock);
  GWatcher.Stop();
}
