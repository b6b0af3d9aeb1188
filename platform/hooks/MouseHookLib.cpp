// The mouse-hook stand-in, a shared object beside the program: pointer moves
// and button presses anywhere on the display are written to the shared
// memory (offset 8 x, 12 y, 16 the button), and the client's window gets the
// move or click message. The blocking flag is accepted but not acted on: X
// offers no way to swallow another client's pointer events without a grab.
#include "HookLibCommon.h"
#include "HookMapping.h"

#include <cstring>
#include <mutex>

namespace {

const char* const kMapping = "57D6A971_MouseHookDLL_442C0DB1";

std::mutex GLock;
THookWatcher GWatcher;
// The two message atoms, interned by the watcher thread on its connection.
Atom GMove = 0, GClick = 0;

void WritePointer(THookWatcher& AWatcher, int32_t AButton) {
  Window root = 0, child = 0;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(AWatcher.Dpy(), DefaultRootWindow(AWatcher.Dpy()), &root, &child, &x, &y, &wx, &wy,
                &mask);
  const int32_t values[3] = {x, y, AButton};
  std::memcpy(AWatcher.View() + 8, values, sizeof values);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int EnableMouseHook(uint32_t AWindow,
                                                                      int32_t /*ABlocked*/) {
  std::lock_guard<std::mutex> lock(GLock);
  unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(mask, XI_RawMotion);
  XISetMask(mask, XI_RawButtonPress);
  GMove = GClick = 0;
  return GWatcher.Start(
             HookMappingName(kMapping).c_str(), 64, mask, sizeof mask, AWindow,
             [](THookWatcher& AWatcher, XIDeviceEvent* AEvent, int AType) {
               if (!GMove) {
                 GMove = AWatcher.Intern("MSGMOUSEMOVE57D6A971-049B-45AF-A8CD-37E0B706E036");
                 GClick = AWatcher.Intern("MSGMOUSECLICK442C0DB1-3198-4C2B-A718-143F6E2D1760");
               }
               const auto* raw = reinterpret_cast<XIRawEvent*>(AEvent);
               if (AType == XI_RawMotion) {
                 WritePointer(AWatcher, 0);
                 AWatcher.Notify(GMove, 0);
               } else if (AType == XI_RawButtonPress) {
                 WritePointer(AWatcher, raw->detail);
                 AWatcher.Notify(GClick, raw->detail);
               }
             })
             ? 1
             : 0;
}

extern "C" __attribute__((visibility("default"))) void DisableMouseHook() {
  std::lock_guard<std::mutex> lock(GLock);
  GWatcher.Stop();
}
