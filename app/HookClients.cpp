// The hook-library clients (see HookClients.h).
#include "HookClients.h"

#include "DynLib.h"
#include "HookMapping.h"
#include "NativeEvents.h"

#include <QMessageBox>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const kKeyDownMessageName = "MSGKEYDOWN57D6A971-049B-45AF-A8CD-37E0B706E036";
const char* const kKeyUpMessageName = "MSGKEYUP442C0DB1-3198-4C2B-A718-143F6E2D1760";
const char* const kMouseMoveMessageName = "MSGMOUSEMOVE57D6A971-049B-45AF-A8CD-37E0B706E036";
const char* const kMouseClickMessageName = "MSGMOUSECLICK442C0DB1-3198-4C2B-A718-143F6E2D1760";
const char* const kKeyboardMappingName = "57D6A971_KeyboardHookDLL_442C0DB1";
const char* const kMouseMappingName = "57D6A971_MouseHookDLL_442C0DB1";

namespace {

THookMessageProc& MessageProc() {
  static THookMessageProc proc;
  return proc;
}

void ShowMessage(const std::string& ACaption, const std::string& AText) {
  if (MessageProc()) return MessageProc()(ACaption, AText);
  if (ACaption == "Error")
    QMessageBox::critical(nullptr, QString::fromStdString(ACaption), QString::fromStdString(AText));
  else
    QMessageBox::information(nullptr, QString::fromStdString(ACaption),
                             QString::fromStdString(AText));
}

// A library and its two entries, loaded once per program.
struct TLoadedLibrary {
  std::unique_ptr<TDynLib> Library;
  void* EnableEntry = nullptr;
  void* DisableEntry = nullptr;
};

bool LoadHookLibrary(TLoadedLibrary& ALib, const std::string& APath, const char* AEnable,
                     const char* ADisable) {
  if (ALib.Library) return true;
  auto library = std::make_unique<TDynLib>();
  std::string error;
  if (!library->Open(APath, error)) {
    ShowMessage("Error", APath + " library could not be loaded !");
    return false;
  }
  void* enable = library->Symbol(AEnable, error);
  void* disable = library->Symbol(ADisable, error);
  if (!enable || !disable) return false; // the library is unloaded with its owner
  ALib = {std::move(library), enable, disable};
  return true;
}

TLoadedLibrary GKeyboardLib; // the keyboard library, once per program
TLoadedLibrary GMouseLib;    // the mouse library, once per program

using TEnableKeyboard = int (*)(uint32_t AWindow);
using TEnableMouse = int (*)(uint32_t AWindow, int32_t ABlocked);
using TDisable = void (*)();

} // namespace

void SetHookMessageProc(THookMessageProc AProc) {
  MessageProc() = std::move(AProc);
}

THookClientBase::THookClientBase(std::string ADLLName, std::string AMappingName)
    : FDLLName(std::move(ADLLName)), FMappingName(std::move(AMappingName)) {}

THookClientBase::~THookClientBase() = default;

void THookClientBase::SetDLLName(const std::string& AName) {
  if (FActive) {
    ShowMessage("Info", "Cannot activate hook because DLL name is not set.");
    return;
  }
  FDLLName = AName;
}

std::string THookClientBase::LibraryPath() const {
  return Folder.empty() ? FDLLName : Folder + "/" + FDLLName;
}

uint32_t THookClientBase::RegisterWindowMessage(const std::string& AName) {
  xcb_connection_t* c = TNativeEvents::Connection();
  if (!c) return 0;
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(
          c, xcb_intern_atom(c, 0, static_cast<uint16_t>(AName.size()), AName.c_str()), nullptr),
      &std::free);
  return reply ? reply->atom : 0;
}

bool THookClientBase::Start() {
  if (FStarted || FActive || FDLLName.empty() || !LoadLibrary()) return false;
  xcb_connection_t* c = TNativeEvents::Connection();
  TNativeEvents* events = TNativeEvents::Instance();
  if (!c || !events) return false;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  FWindow = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, FWindow, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_flush(c);
  FFilterId = events->Add([this](xcb_generic_event_t* AEvent) { return HandleEvent(AEvent); });
  if (!Enable()) {
    events->Remove(FFilterId);
    xcb_destroy_window(c, FWindow);
    xcb_flush(c);
    FWindow = XCB_WINDOW_NONE;
    return false;
  }
  FStarted = FActive = true;
  return true;
}

bool THookClientBase::MapView() {
  if (FView) return true;
  // Opened once per start: a mapping that fails is said once, and the
  // messages after it are dropped.
  if (FMapFailed) return false;
  auto fail = [this](const char* AText) {
    if (FMapping >= 0) close(FMapping);
    FMapping = -1;
    FMapFailed = true;
    ShowMessage("Error", AText);
    return false;
  };
  FMapping = shm_open(HookMappingName(FMappingName.c_str()).c_str(), O_RDWR, 0);
  if (FMapping < 0) return fail("cannot create share memory!");
  struct stat info {};
  if (fstat(FMapping, &info) != 0 || info.st_size < 20) return fail("cannot map share memory!");
  void* view = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ | PROT_WRITE, MAP_SHARED,
                    FMapping, 0);
  if (view == MAP_FAILED) return fail("cannot map share memory!");
  FView = static_cast<uint8_t*>(view);
  FViewSize = static_cast<size_t>(info.st_size);
  return true;
}

bool THookClientBase::HandleEvent(xcb_generic_event_t* AEvent) {
  if ((AEvent->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
  const auto* message = reinterpret_cast<xcb_client_message_event_t*>(AEvent);
  if (message->window != FWindow) return false;
  if (MapView()) WindowMessage(*message);
  return true;
}

void THookClientBase::Stop() {
  if (!FActive) return;
  if (FView) munmap(FView, FViewSize);
  FView = nullptr;
  if (FMapping >= 0) close(FMapping);
  FMapping = -1;
  FMapFailed = false;
  if (TNativeEvents* events = TNativeEvents::Instance()) events->Remove(FFilterId);
  if (xcb_connection_t* c = TNativeEvents::Connection()) {
    xcb_destroy_window(c, FWindow);
    xcb_flush(c);
  }
  FWindow = XCB_WINDOW_NONE;
  Disable();
  UnloadLibrary();
  FStarted = FActive = false;
}

TKeyboardHookBase::TKeyboardHookBase() : THookClientBase("keyboardhook.so", kKeyboardMappingName) {
  FKeyDownMsg = RegisterWindowMessage(kKeyDownMessageName);
  FKeyUpMsg = RegisterWindowMessage(kKeyUpMessageName);
}

TKeyboardHookBase::~TKeyboardHookBase() {
  Stop();
}

bool TKeyboardHookBase::LoadLibrary() {
  return LoadHookLibrary(GKeyboardLib, LibraryPath(), "EnableKeyboardHook", "DisableKeyboardHook");
}

bool TKeyboardHookBase::Enable() {
  return reinterpret_cast<TEnableKeyboard>(GKeyboardLib.EnableEntry)(FWindow) != 0;
}

void TKeyboardHookBase::Disable() {
  if (GKeyboardLib.DisableEntry) reinterpret_cast<TDisable>(GKeyboardLib.DisableEntry)();
}

void TKeyboardHookBase::UnloadLibrary() {
  GKeyboardLib = {};
}

void TKeyboardHookBase::WindowMessage(const xcb_client_message_event_t& AMessage) {
  // The key-up notice leaves the same key behind: only a key going down counts.
  if (AMessage.type != FKeyDownMsg) return;
  int32_t key = 0;
  std::memcpy(&key, FView + 8, sizeof key);
  if (key != 120 && key != 122) return;
  FKeyTime = AMessage.data.data32[1];
  HookMessage(AMessage.type, key);
}

void TKeyboardHook::HookMessage(uint32_t, int AKey) {
  if (OnKey) OnKey(this, AKey);
}

TMouseHookBase::TMouseHookBase() : THookClientBase("mousehook.so", kMouseMappingName) {
  FMoveMsg = RegisterWindowMessage(kMouseMoveMessageName);
  FClickMsg = RegisterWindowMessage(kMouseClickMessageName);
}

TMouseHookBase::~TMouseHookBase() {
  Stop();
}

void TMouseHookBase::SetBlocked(int32_t AValue) {
  if (FActive) {
    ShowMessage("Info", "Cannot set block property of hook because hook is active!");
    return;
  }
  FBlocked = AValue;
}

bool TMouseHookBase::LoadLibrary() {
  return LoadHookLibrary(GMouseLib, LibraryPath(), "EnableMouseHook", "DisableMouseHook");
}

bool TMouseHookBase::Enable() {
  return reinterpret_cast<TEnableMouse>(GMouseLib.EnableEntry)(FWindow, FBlocked) != 0;
}

void TMouseHookBase::Disable() {
  if (GMouseLib.DisableEntry) reinterpret_cast<TDisable>(GMouseLib.DisableEntry)();
}

void TMouseHookBase::UnloadLibrary() {
  GMouseLib = {};
}

void TMouseHookBase::WindowMessage(const xcb_client_message_event_t& AMessage) {
  if (AMessage.type != FMoveMsg && AMessage.type != FClickMsg) return;
  int32_t x = 0, y = 0, button = 0;
  std::memcpy(&x, FView + 8, 4);
  std::memcpy(&y, FView + 12, 4);
  std::memcpy(&button, FView + 16, 4);
  HookMessage(AMessage.type, button,
              (static_cast<uint32_t>(x) & 0xFFFF) | (static_cast<uint32_t>(y) << 16));
}

void TMouseHook::HookMessage(uint32_t AMessage, int32_t AButton, uint32_t APoint) {
  const int x = static_cast<int16_t>(APoint & 0xFFFF);
  const int y = static_cast<int16_t>(APoint >> 16);
  if (AMessage == FMoveMsg && OnMouseMove)
    OnMouseMove(this, AButton, x, y);
  else if (AMessage == FClickMsg && OnMouseClick)
    OnMouseClick(this, AButton, x, y);
}
