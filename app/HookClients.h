// The clients of the keyboard- and mouse-hook libraries beside the program:
// they load a library, give it a hidden window to notify, read what it
// leaves in its shared memory and turn its messages into events in the main
// thread. On X11 a registered message is an interned atom, a message an X
// client message to the hidden window, a mapping POSIX shared memory.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <string>

// How the clients show their errors (caption, text); a message box unless
// set otherwise.
using THookMessageProc = std::function<void(const std::string& ACaption, const std::string& AText)>;
void SetHookMessageProc(THookMessageProc AProc);

extern const char* const kKeyDownMessageName;
extern const char* const kKeyUpMessageName;
extern const char* const kMouseMoveMessageName;
extern const char* const kMouseClickMessageName;
extern const char* const kKeyboardMappingName;
extern const char* const kMouseMappingName;

// What the two bases share: the library name, the hidden window, the mapping.
class THookClientBase {
public:
  virtual ~THookClientBase();
  THookClientBase(const THookClientBase&) = delete;
  THookClientBase& operator=(const THookClientBase&) = delete;

  const std::string& DLLName() const { return FDLLName; }
  // Refused with a message while active.
  void SetDLLName(const std::string& AName);
  bool Started() const { return FStarted; }
  bool Active() const { return FActive; }
  xcb_window_t Window() const { return FWindow; }
  // Where the library is looked for ("" : by name only).
  std::string Folder;

  virtual bool Start();
  virtual void Stop();

protected:
  THookClientBase(std::string ADLLName, std::string AMappingName);
  // Loads the library and its two entries (once per program per library).
  virtual bool LoadLibrary() = 0;
  virtual bool Enable() = 0;
  virtual void Disable() = 0;
  virtual void UnloadLibrary() = 0;
  // The hidden window's procedure: the view is mapped when this runs.
  virtual void WindowMessage(const xcb_client_message_event_t& AMessage) = 0;
  static uint32_t RegisterWindowMessage(const std::string& AName);
  std::string LibraryPath() const;

  std::string FDLLName;
  bool FStarted = false;
  xcb_window_t FWindow = XCB_WINDOW_NONE;
  bool FActive = false;
  int FMapping = -1;
  uint8_t* FView = nullptr;

private:
  bool HandleEvent(xcb_generic_event_t* AEvent);
  bool MapView();
  std::string FMappingName;
  size_t FViewSize = 0;
  bool FMapFailed = false;
  int FFilterId = 0;
};

class TKeyboardHookBase : public THookClientBase {
public:
  TKeyboardHookBase();
  ~TKeyboardHookBase() override;

protected:
  bool LoadLibrary() override;
  bool Enable() override;
  void Disable() override;
  void UnloadLibrary() override;
  void WindowMessage(const xcb_client_message_event_t& AMessage) override;
  virtual void HookMessage(uint32_t AMessage, int AKey) = 0;

  uint32_t FKeyDownMsg = 0, FKeyUpMsg = 0;
  uint32_t FKeyTime = 0;
};

class TKeyboardHook : public TKeyboardHookBase {
public:
  std::function<void(TKeyboardHook* ASender, int AKey)> OnKey;
  // The X server's time of the key press OnKey is telling of (0 when the
  // library gives none): the same press may reach its program another way.
  uint32_t KeyTime() const { return FKeyTime; }

protected:
  void HookMessage(uint32_t AMessage, int AKey) override;
};

class TMouseHookBase : public THookClientBase {
public:
  TMouseHookBase();
  ~TMouseHookBase() override;
  int32_t Blocked() const { return FBlocked; }
  // Refused with a message while active.
  void SetBlocked(int32_t AValue);

protected:
  bool LoadLibrary() override;
  bool Enable() override;
  void Disable() override;
  void UnloadLibrary() override;
  void WindowMessage(const xcb_client_message_event_t& AMessage) override;
  virtual void HookMessage(uint32_t AMessage, int32_t AButton, uint32_t APoint) = 0;

  int32_t FBlocked = -1;
  uint32_t FMoveMsg = 0, FClickMsg = 0;
};

class TMouseHook : public TMouseHookBase {
public:
  using TMouseEvent = std::function<void(TMouseHook* ASender, int32_t AButton, int AX, int AY)>;
  TMouseEvent OnMouseMove, OnMouseClick;

protected:
  void HookMessage(uint32_t AMessage, int32_t AButton, uint32_t APoint) override;
};
