// System-wide hotkeys on X11: a key with its modifiers grabbed on the root
// window, with and without NumLock and CapsLock, so the key works whatever
// the lock state. A key another client already grabs is not registered.
// The caller hands every event of its connection to HandleEvent.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TGlobalHotkeys {
public:
  // Modifier bits as the caller names them.
  static constexpr uint16_t kAlt = XCB_MOD_MASK_1;
  static constexpr uint16_t kControl = XCB_MOD_MASK_CONTROL;
  static constexpr uint16_t kShift = XCB_MOD_MASK_SHIFT;

  explicit TGlobalHotkeys(xcb_connection_t* AConnection);
  ~TGlobalHotkeys();
  TGlobalHotkeys(const TGlobalHotkeys&) = delete;
  TGlobalHotkeys& operator=(const TGlobalHotkeys&) = delete;

  // The atom of AName, interned; 0 when the server refuses.
  uint32_t AddAtom(const std::string& AName);
  // Grabs AKeySym with AModifiers under AId; false (nothing grabbed) when the
  // key has no key code or another client holds any of its grabs.
  bool Register(uint32_t AId, uint32_t AKeySym, uint16_t AModifiers);
  void Unregister(uint32_t AId);
  bool IsRegistered(uint32_t AId) const { return FKeys.count(AId) != 0; }
  // The id of the hotkey a key press of AEvent is, else 0.
  uint32_t HandleEvent(const xcb_generic_event_t* AEvent) const;

private:
  struct TKey {
    xcb_keycode_t Code;
    uint16_t Modifiers;
  };
  std::vector<uint16_t> LockCombinations() const;
  xcb_keycode_t KeyCodeOf(uint32_t AKeySym) const;

  xcb_connection_t* FConnection;
  xcb_window_t FRoot = XCB_WINDOW_NONE;
  uint16_t FNumLock = XCB_MOD_MASK_2;
  std::map<uint32_t, TKey> FKeys;
};
