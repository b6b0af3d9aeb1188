// The window list (see WindowList.h).
#include "WindowList.h"

#include "XConnection.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace {

xcb_atom_t InternAtom(xcb_connection_t* AConnection, std::string_view AName) {
  TXPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      AConnection,
      xcb_intern_atom(AConnection, 1, static_cast<uint16_t>(AName.size()), AName.data()), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// A property of 32-bit items (windows, atoms, cardinals); empty when absent.
std::vector<uint32_t> Property32(xcb_connection_t* AConnection, xcb_window_t AWindow,
                                 xcb_atom_t AProperty, xcb_atom_t AType) {
  std::vector<uint32_t> values;
  if (AProperty == XCB_ATOM_NONE) return values;
  TXPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      AConnection, xcb_get_property(AConnection, 0, AWindow, AProperty, AType, 0, 1 << 16),
      nullptr));
  if (!reply || reply->format != 32) return values;
  const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
  values.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
  return values;
}

// The window's children, topmost first.
std::vector<xcb_window_t> ChildrenTopFirst(xcb_connection_t* AConnection, xcb_window_t AWindow) {
  std::vector<xcb_window_t> children;
  TXPtr<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(AConnection, xcb_query_tree(AConnection, AWindow), nullptr));
  if (!tree) return children;
  const xcb_window_t* list = xcb_query_tree_children(tree.get());
  children.assign(list, list + xcb_query_tree_children_length(tree.get()));
  std::reverse(children.begin(), children.end()); // the server lists bottom first
  return children;
}

bool Contains(const std::vector<uint32_t>& AValues, uint32_t AValue) {
  return std::find(AValues.begin(), AValues.end(), AValue) != AValues.end();
}

} // namespace

struct TWindowList::TAtoms {
  xcb_atom_t Stacking, State, StateHidden, Type, TypeDesktop, TypeDock, Pid, WmState, WmCheck;
  explicit TAtoms(xcb_connection_t* c)
      : Stacking(InternAtom(c, "_NET_CLIENT_LIST_STACKING")), State(InternAtom(c, "_NET_WM_STATE")),
        StateHidden(InternAtom(c, "_NET_WM_STATE_HIDDEN")),
        Type(InternAtom(c, "_NET_WM_WINDOW_TYPE")),
        TypeDesktop(InternAtom(c, "_NET_WM_WINDOW_TYPE_DESKTOP")),
        TypeDock(InternAtom(c, "_NET_WM_WINDOW_TYPE_DOCK")), Pid(InternAtom(c, "_NET_WM_PID")),
        WmState(InternAtom(c, "WM_STATE")), WmCheck(InternAtom(c, "_NET_SUPPORTING_WM_CHECK")) {}
};

TWindowList::TWindowList(xcb_connection_t* AConnection) : FConnection(AConnection) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(AConnection)).data;
  FRoot = screen->root;
  FScreenWidth = screen->width_in_pixels;
  FScreenHeight = screen->height_in_pixels;
}

void TWindowList::ClearWindowList() {
  FAtCursor.clear();
  FItems.clear();
  FOwners.clear();
}

void TWindowList::BuildWindowList() {
  ClearWindowList();
  const TAtoms atoms(FConnection);
  // A window manager that runs names its check window on the root, and the
  // window names itself; a manager that has gone leaves a stale name behind.
  bool managed = false;
  const auto check = Property32(FConnection, FRoot, atoms.WmCheck, XCB_ATOM_WINDOW);
  if (!check.empty()) {
    const auto self = Property32(FConnection, check[0], atoms.WmCheck, XCB_ATOM_WINDOW);
    managed = !self.empty() && self[0] == check[0];
  }
  std::vector<xcb_window_t> topLevels;
  if (managed) {
    const auto stacking = Property32(FConnection, FRoot, atoms.Stacking, XCB_ATOM_WINDOW);
    topLevels.assign(stacking.rbegin(), stacking.rend()); // the list runs bottom to top
  }
  if (topLevels.empty()) {
    managed = false;
    topLevels = ChildrenTopFirst(FConnection, FRoot);
  }
  for (xcb_window_t window : topLevels)
    AddTopLevel(window, atoms, managed);
}

bool TWindowList::IsCandidateTopLevel(xcb_window_t AClient, const TAtoms& AAtoms) const {
  if (FExcluded.count(AClient)) return false;
  const auto pid = Property32(FConnection, AClient, AAtoms.Pid, XCB_ATOM_CARDINAL);
  if (!pid.empty() && pid[0] == static_cast<uint32_t>(getpid())) return false;
  const auto types = Property32(FConnection, AClient, AAtoms.Type, XCB_ATOM_ATOM);
  if (Contains(types, AAtoms.TypeDesktop) || Contains(types, AAtoms.TypeDock)) return false;
  if (Contains(Property32(FConnection, AClient, AAtoms.State, XCB_ATOM_ATOM), AAtoms.StateHidden))
    return false;
  // ICCCM: 3 is the iconic state.
  const auto wmState = Property32(FConnection, AClient, AAtoms.WmState, AAtoms.WmState);
  return wmState.empty() || wmState[0] != 3;
}

bool TWindowList::IsViewableWithRect(xcb_window_t AWindow, TWinRect& ARect) const {
  const auto attributesCookie = xcb_get_window_attributes(FConnection, AWindow);
  const auto geometryCookie = xcb_get_geometry(FConnection, AWindow);
  const auto originCookie = xcb_translate_coordinates(FConnection, AWindow, FRoot, 0, 0);
  TXPtr<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(FConnection, attributesCookie, nullptr));
  TXPtr<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(FConnection, geometryCookie, nullptr));
  TXPtr<xcb_translate_coordinates_reply_t> origin(
      xcb_translate_coordinates_reply(FConnection, originCookie, nullptr));
  if (!attributes || !geometry || !origin) return false; // gone meanwhile
  if (attributes->map_state != XCB_MAP_STATE_VIEWABLE) return false;
  // The border belongs to what the user sees of the window.
  const int border = geometry->border_width;
  ARect.Left = origin->dst_x - border;
  ARect.Top = origin->dst_y - border;
  ARect.Right = origin->dst_x + geometry->width + border;
  ARect.Bottom = origin->dst_y + geometry->height + border;
  if (ARect.IsEmpty()) return false;
  return ARect.Left < FScreenWidth && ARect.Right > 0 && ARect.Top < FScreenHeight &&
         ARect.Bottom > 0;
}

void TWindowList::AddTopLevel(xcb_window_t AClient, const TAtoms& AAtoms, bool AManaged) {
  if (!IsCandidateTopLevel(AClient, AAtoms)) return;
  TWinRect rect;
  if (!IsViewableWithRect(AClient, rect)) return;
  if (AManaged) {
    // The frame the window manager put around the window is what the user
    // takes for the window.
    xcb_window_t frame = AClient;
    for (;;) {
      TXPtr<xcb_query_tree_reply_t> tree(
          xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, frame), nullptr));
      if (!tree || tree->parent == FRoot || tree->parent == XCB_WINDOW_NONE) break;
      frame = tree->parent;
    }
    if (frame != AClient && !IsViewableWithRect(frame, rect)) return;
  }
  const auto owner = Property32(FConnection, AClient, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW);
  AddWindowItem(AClient, rect, owner.empty() ? xcb_window_t{XCB_WINDOW_NONE} : owner[0]);
  AddDescendants(AClient);
}

void TWindowList::AddDescendants(xcb_window_t AWindow) {
  for (xcb_window_t child : ChildrenTopFirst(FConnection, AWindow)) {
    TWinRect rect;
    if (FExcluded.count(child) || !IsViewableWithRect(child, rect)) continue;
    AddWindowItem(child, rect, AWindow);
    AddDescendants(child);
  }
}

void TWindowList::AddWindowItem(xcb_window_t AWindow, const TWinRect& ARect, xcb_window_t AOwner) {
  auto item = std::make_unique<TWindowItem>();
  item->Window = AWindow;
  item->Rect = ARect;
  item->Owner = AOwner;
  FOwners[AWindow] = AOwner;
  FItems.push_back(std::move(item));
}

bool TWindowList::IsAncestorWindow(xcb_window_t AWindow, xcb_window_t AAncestor) const {
  // The chain is bounded by the list, so a transient-for loop cannot hang it.
  size_t steps = 0;
  for (auto it = FOwners.find(AWindow); it != FOwners.end() && steps <= FOwners.size(); ++steps) {
    if (it->second == AAncestor) return true;
    it = FOwners.find(it->second);
  }
  return false;
}

void TWindowList::CollectWindowsAtCursor(int AX, int AY) {
  FAtCursor.clear();
  for (const auto& item : FItems)
    if (item->Rect.Contains(AX, AY)) FAtCursor.push_back(item.get());
}

void TWindowList::ReduceWindowChain() {
  while (FAtCursor.size() >= 2) {
    const xcb_window_t first = FAtCursor.front()->Window;
    const auto stranger = std::find_if(FAtCursor.begin() + 1, FAtCursor.end(), [&](auto AItem) {
      return !IsAncestorWindow(AItem->Window, first);
    });
    FAtCursor.erase(stranger, FAtCursor.end());
    if (FAtCursor.size() > 1) FAtCursor.erase(FAtCursor.begin());
  }
}

const TWindowItem* TWindowList::GetWindowAt(int AX, int AY) {
  if (FInQuery) return nullptr;
  FInQuery = true;
  CollectWindowsAtCursor(AX, AY);
  ReduceWindowChain();
  FInQuery = false;
  return FAtCursor.size() == 1 ? FAtCursor.front() : nullptr;
}

bool TWindowList::CursorPos(int& AX, int& AY) const {
  TXPtr<xcb_query_pointer_reply_t> pointer(
      xcb_query_pointer_reply(FConnection, xcb_query_pointer(FConnection, FRoot), nullptr));
  if (!pointer || !pointer->same_screen) return false;
  AX = pointer->root_x;
  AY = pointer->root_y;
  return true;
}

const TWindowItem* TWindowList::GetWindowAtCursor() {
  int x = 0, y = 0;
  return CursorPos(x, y) ? GetWindowAt(x, y) : nullptr;
}

TWinRect TWindowList::GetWindowRectAtCursor() {
  const TWindowItem* item = GetWindowAtCursor();
  return item ? item->Rect : TWinRect{};
}
