// System-wide hotkeys on X11 (see GlobalHotkeys.h).
#include "GlobalHotkeys.h"

#include <cstdlib>
#include <memory>

namespace {
template <typename T> using TReply = std::unique_ptr<T, decltype(&std::free)>;
constexpr uint32_t kNumLockSym = 0xff7f;
} // namespace

TGlobalHotkeys::TGlobalHotkeys(xcb_connection_t* AConnection) : FConnection(AConnection) {
  const xcb_setup_t* setup = xcb_get_setup(FConnection);
  FRoot = xcb_setup_roots_iterator(setup).data->root;
  // Which modifier NumLock is on this server.
  const xcb_keycode_t numLock = KeyCodeOf(kNumLockSym);
  TReply<xcb_get_modifier_mapping_reply_t> map(
      xcb_get_modifier_mapping_reply(FConnection, xcb_get_modifier_mapping(FConnection), nullptr),
      &std::free);
  if (map && numLock) {
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    for (int m = 0; m < 8; ++m)
      for (int k = 0; k < perModifier; ++k)
        if (codes[m * perModifier + k] == numLock) FNumLock = static_cast<uint16_t>(1 << m);
  }
}

TGlobalHotkeys::~TGlobalHotkeys() {
  while (!FKeys.empty())
    Unregister(FKeys.begin()->first);
}

uint32_t TGlobalHotkeys::AddAtom(const std::string& AName) {
  TReply<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(
          FConnection,
          xcb_intern_atom(FConnection, 0, static_cast<uint16_t>(AName.size()), AName.c_str()),
          nullptr),
      &std::free);
  return reply ? reply->atom : 0;
}

xcb_keycode_t TGlobalHotkeys::KeyCodeOf(uint32_t AKeySym) const {
  const xcb_setup_t* setup = xcb_get_setup(FConnection);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  TReply<xcb_get_keyboard_mapping_reply_t> map(
      xcb_get_keyboard_mapping_reply(
          FConnection,
          xcb_get_keyboard_mapping(FConnection, setup->min_keycode, static_cast<uint8_t>(count)),
          nullptr),
      &std::free);
  if (!map) return 0;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
  const int per = map->keysyms_per_keycode;
  for (int k = 0; k < count; ++k)
    for (int s = 0; s < per; ++s)
      if (syms[k * per + s] == AKeySym) return static_cast<xcb_keycode_t>(setup->min_keycode + k);
  return 0;
}

std::vector<uint16_t> TGlobalHotkeys::LockCombinations() const {
  return {0, FNumLock, XCB_MOD_MASK_LOCK, static_cast<uint16_t>(FNumLock | XCB_MOD_MASK_LOCK)};
}

bool TGlobalHotkeys::Register(uint32_t AId, uint32_t AKeySym, uint16_t AModifiers) {
  if (FKeys.count(AId)) return false;
  const xcb_keycode_t code = KeyCodeOf(AKeySym);
  if (!code) return false;
  std::vector<xcb_void_cookie_t> cookies;
  for (const uint16_t locks : LockCombinations())
    cookies.push_back(xcb_grab_key_checked(FConnection, 1, FRoot, AModifiers | locks, code,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  bool all = true;
  for (const xcb_void_cookie_t cookie : cookies)
    if (xcb_generic_error_t* error = xcb_request_check(FConnection, cookie)) {
      all = false;
      std::free(error);
    }
  if (!all) {
    // Held by another client: take back the grabs that succeeded.
    for (const uint16_t locks : LockCombinations())
      xcb_ungrab_key(FConnection, code, FRoot, AModifiers | locks);
    xcb_flush(FConnection);
    return false;
  }
  FKeys[AId] = {code, AModifiers};
  return true;
}

void TGlobalHotkeys::Unregister(uint32_t AId) {
  const auto it = FKeys.find(AId);
  if (it == FKeys.end()) return;
  for (const uint16_t locks : LockCombinations())
    xcb_ungrab_key(FConnection, it->second.Code, FRoot, it->second.Modifiers | locks);
  xcb_flush(FConnection);
  FKeys.erase(it);
}

uint32_t TGlobalHotkeys::HandleEvent(const xcb_generic_event_t* AEvent) const {
  if ((AEvent->response_type & 0x7f) != XCB_KEY_PRESS) return 0;
  const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(AEvent);
  if (press->event != FRoot) return 0;
  const uint16_t state = press->state & ~(FNumLock | XCB_MOD_MASK_LOCK) & 0xff;
  for (const auto& [id, key] : FKeys)
    if (key.Code == press->detail && key.Modifiers == state) return id;
  return 0;
}
