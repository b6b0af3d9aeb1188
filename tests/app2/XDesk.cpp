// The tests' desktop (see XDesk.h).
#include "XDesk.h"

#include "XConnection.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

xcb_atom_t Atom(xcb_connection_t* AConnection, const char* AName) {
  TXPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      AConnection,
      xcb_intern_atom(AConnection, 0, static_cast<uint16_t>(std::strlen(AName)), AName), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::vector<uint32_t> Windows(xcb_connection_t* AConnection, xcb_window_t AWindow,
                              const char* AProperty) {
  TXPtr<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(AConnection,
                             xcb_get_property(AConnection, 0, AWindow, Atom(AConnection, AProperty),
                                              XCB_ATOM_WINDOW, 0, 4096),
                             nullptr));
  if (!reply || reply->format != 32) return {};
  const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
  return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

xcb_screen_t* Screen(xcb_connection_t* AConnection) {
  return xcb_setup_roots_iterator(xcb_get_setup(AConnection)).data;
}

template <class TPredicate> bool Within(TPredicate APredicate, int AMilliseconds = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMilliseconds);
  while (!APredicate()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

pid_t Spawn(const std::vector<std::string>& AArguments) {
  std::vector<char*> argv;
  for (const auto& a : AArguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

} // namespace

void XSync(xcb_connection_t* AConnection) {
  std::free(xcb_get_input_focus_reply(AConnection, xcb_get_input_focus(AConnection), nullptr));
}

bool WindowManagerRuns(xcb_connection_t* AConnection) {
  const auto check = Windows(AConnection, Screen(AConnection)->root, "_NET_SUPPORTING_WM_CHECK");
  if (check.empty()) return false;
  const auto self = Windows(AConnection, check[0], "_NET_SUPPORTING_WM_CHECK");
  return !self.empty() && self[0] == check[0];
}

bool TWindowManager::Start(std::string& AError) {
  Stop();
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    AError = "no X server";
    return false;
  }
  FPid = Spawn({"openbox", "--sm-disable"});
  bool running = FPid > 0 && Within([&] { return WindowManagerRuns(connection); }, 15000);
  // The manager announces itself before it takes windows in: a window
  // mapped in between stays unmapped. A probe window that it lists shows it
  // is ready.
  for (int attempt = 0; running && attempt < 15; ++attempt) {
    TTestWindow probe(connection, 0, 0, 10, 10, 0);
    if (probe.WaitListed(true, 1000)) break;
    running = attempt < 14;
  }
  xcb_disconnect(connection);
  if (!running) {
    Stop();
    AError = "openbox did not start";
  }
  return running;
}

void TWindowManager::Stop() {
  if (FPid <= 0) return;
  kill(FPid, SIGTERM);
  int status = 0;
  waitpid(FPid, &status, 0);
  FPid = -1;
}

TTestWindow::TTestWindow(xcb_connection_t* AConnection, int AX, int AY, int AWidth, int AHeight,
                         uint32_t APixel, xcb_window_t AParent, bool AMap)
    : FConnection(AConnection), FTopLevel(AParent == XCB_WINDOW_NONE) {
  xcb_screen_t* screen = Screen(AConnection);
  FWindow = xcb_generate_id(AConnection);
  const uint32_t values[] = {APixel};
  xcb_create_window(AConnection, XCB_COPY_FROM_PARENT, FWindow, FTopLevel ? screen->root : AParent,
                    static_cast<int16_t>(AX), static_cast<int16_t>(AY),
                    static_cast<uint16_t>(AWidth), static_cast<uint16_t>(AHeight), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, values);
  if (FTopLevel) {
    // WM_NORMAL_HINTS: user-specified position and size, so the window
    // manager keeps the window where the test put it.
    uint32_t hints[18] = {};
    hints[0] = 1 | 2; // USPosition | USSize
    hints[1] = static_cast<uint32_t>(AX);
    hints[2] = static_cast<uint32_t>(AY);
    hints[3] = static_cast<uint32_t>(AWidth);
    hints[4] = static_cast<uint32_t>(AHeight);
    xcb_change_property(AConnection, XCB_PROP_MODE_REPLACE, FWindow, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
  }
  if (AMap) Map();
  XSync(AConnection);
}

TTestWindow::~TTestWindow() {
  xcb_destroy_window(FConnection, FWindow);
  XSync(FConnection);
}

void TTestWindow::SetPid(pid_t APid) {
  const uint32_t pid = static_cast<uint32_t>(APid);
  xcb_change_property(FConnection, XCB_PROP_MODE_REPLACE, FWindow, Atom(FConnection, "_NET_WM_PID"),
                      XCB_ATOM_CARDINAL, 32, 1, &pid);
  XSync(FConnection);
}

void TTestWindow::SetType(const char* ATypeAtom) {
  const uint32_t type = Atom(FConnection, ATypeAtom);
  xcb_change_property(FConnection, XCB_PROP_MODE_REPLACE, FWindow,
                      Atom(FConnection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
  XSync(FConnection);
}

void TTestWindow::SetTransientFor(xcb_window_t AOwner) {
  xcb_change_property(FConnection, XCB_PROP_MODE_REPLACE, FWindow, XCB_ATOM_WM_TRANSIENT_FOR,
                      XCB_ATOM_WINDOW, 32, 1, &AOwner);
  XSync(FConnection);
}

void TTestWindow::Map() {
  xcb_map_window(FConnection, FWindow);
  XSync(FConnection);
}

void TTestWindow::Unmap() {
  xcb_unmap_window(FConnection, FWindow);
  XSync(FConnection);
}

void TTestWindow::Iconify() {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = FWindow;
  event.type = Atom(FConnection, "WM_CHANGE_STATE");
  event.data.data32[0] = 3; // IconicState
  xcb_send_event(FConnection, 0, Screen(FConnection)->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  XSync(FConnection);
}

bool TTestWindow::WaitViewable(bool AViewable) const {
  return Within([&] {
    TXPtr<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        FConnection, xcb_get_window_attributes(FConnection, FWindow), nullptr));
    return attributes && (attributes->map_state == XCB_MAP_STATE_VIEWABLE) == AViewable;
  });
}

bool TTestWindow::WaitListed(bool AListed, int AMilliseconds) const {
  return Within(
      [&] {
        const auto list =
            Windows(FConnection, Screen(FConnection)->root, "_NET_CLIENT_LIST_STACKING");
        const bool listed = std::find(list.begin(), list.end(), FWindow) != list.end();
        return listed == AListed;
      },
      AMilliseconds);
}

bool Xdotool(const std::vector<std::string>& AArguments) {
  std::vector<std::string> arguments{"xdotool"};
  arguments.insert(arguments.end(), AArguments.begin(), AArguments.end());
  const pid_t pid = Spawn(arguments);
  if (pid <= 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
