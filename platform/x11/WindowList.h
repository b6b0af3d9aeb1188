// The windows on the screen, taken at one moment, and the window under the
// pointer: the innermost visible child inside the topmost top-level window
// there. Top-level windows come from the window manager's stacking list when
// one runs, else from the tree of the root window; minimised, hidden,
// desktop and dock windows and the program's own windows are left out.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// A rectangle in screen pixels; right and bottom lie just outside it.
struct TWinRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int AX, int AY) const {
    return AX >= Left && AX < Right && AY >= Top && AY < Bottom;
  }
  bool operator==(const TWinRect&) const = default;
};

struct TWindowItem {
  xcb_window_t Window = XCB_WINDOW_NONE;
  TWinRect Rect; // as the user sees the window: a managed top level with its frame
  // The window this one lies in or belongs to (parent, or for a top level the
  // window it is a transient for); none for an independent top level.
  xcb_window_t Owner = XCB_WINDOW_NONE;
};

class TWindowList {
public:
  // Works on AConnection's first screen; the connection must outlive the list.
  explicit TWindowList(xcb_connection_t* AConnection);
  TWindowList(const TWindowList&) = delete;
  TWindowList& operator=(const TWindowList&) = delete;

  // Windows of this process are never candidates; more windows (an
  // override-redirect window of the program, say) can be named here.
  void ExcludeWindow(xcb_window_t AWindow) { FExcluded.insert(AWindow); }

  // Rebuilds the list: top levels topmost first, each followed by its
  // candidate descendants (depth first, topmost sibling first).
  void BuildWindowList();
  void ClearWindowList();
  const std::vector<std::unique_ptr<TWindowItem>>& Items() const { return FItems; }

  // The item of the window at the point (or under the pointer), or null.
  const TWindowItem* GetWindowAt(int AX, int AY);
  const TWindowItem* GetWindowAtCursor();
  // That item's rectangle, or the empty rectangle (0, 0, 0, 0).
  TWinRect GetWindowRectAtCursor();
  // Where the pointer is on the screen; false when it cannot be asked.
  bool CursorPos(int& AX, int& AY) const;

  // Whether AAncestor lies on AWindow's chain of parents and owners.
  bool IsAncestorWindow(xcb_window_t AWindow, xcb_window_t AAncestor) const;

private:
  struct TAtoms;
  void AddTopLevel(xcb_window_t AClient, const TAtoms& AAtoms, bool AManaged);
  void AddDescendants(xcb_window_t AWindow);
  bool IsCandidateTopLevel(xcb_window_t AClient, const TAtoms& AAtoms) const;
  bool IsViewableWithRect(xcb_window_t AWindow, TWinRect& ARect) const;
  void AddWindowItem(xcb_window_t AWindow, const TWinRect& ARect, xcb_window_t AOwner);
  void CollectWindowsAtCursor(int AX, int AY);
  void ReduceWindowChain();

  xcb_connection_t* FConnection;
  xcb_window_t FRoot = XCB_WINDOW_NONE;
  int FScreenWidth = 0, FScreenHeight = 0;
  std::unordered_set<xcb_window_t> FExcluded;
  std::vector<std::unique_ptr<TWindowItem>> FItems;
  std::unordered_map<xcb_window_t, xcb_window_t> FOwners; // of the listed windows
  std::vector<const TWindowItem*> FAtCursor;              // borrows items of FItems
  bool FInQuery = false;                                  // a nested query answers none
};
