// The window list on a private X server: which window lies under a point,
// with a window manager (its stacking list and frames) and without one (the
// tree of the root window).
#include "WindowList.h"
#include "WindowGeometry.h"
#include "XConnection.h"
#include "XDesk.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {

constexpr uint32_t kGrey = 0x808080, kRed = 0xff0000, kBlue = 0x0000ff;

class TWindowListTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    ASSERT_NE(ProgramXvfb(error), nullptr) << error;
    FConnection = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(FConnection), 0);
  }
  void TearDown() override {
    FWindows.clear();
    xcb_disconnect(FConnection);
  }
  TTestWindow& Add(int AX, int AY, int AWidth, int AHeight, xcb_window_t AParent = XCB_WINDOW_NONE,
                   uint32_t APixel = kGrey) {
    FWindows.push_back(
        std::make_unique<TTestWindow>(FConnection, AX, AY, AWidth, AHeight, APixel, AParent));
    TTestWindow& window = *FWindows.back();
    EXPECT_TRUE(window.WaitViewable());
    if (AParent == XCB_WINDOW_NONE && WindowManagerRuns(FConnection)) {
      EXPECT_TRUE(window.WaitListed());
    }
    return window;
  }
  // Where the window's own area lies on the screen (a window manager may
  // have moved a top level to make room for its frame).
  TXRect Rect(const TTestWindow& AWindow) {
    TXRect rect;
    EXPECT_EQ(WindowRect(FConnection,
                         xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root,
                         AWindow.Id(), rect),
              0);
    return rect;
  }
  xcb_window_t At(int AX, int AY) {
    TWindowList list(FConnection);
    list.BuildWindowList();
    const TWindowItem* item = list.GetWindowAt(AX, AY);
    return item ? item->Window : xcb_window_t{XCB_WINDOW_NONE};
  }

  xcb_connection_t* FConnection = nullptr;
  std::vector<std::unique_ptr<TTestWindow>> FWindows;
};

class TManagedWindowListTest : public TWindowListTest {
protected:
  void SetUp() override {
    TWindowListTest::SetUp();
    std::string error;
    ASSERT_TRUE(FManager.Start(error)) << error;
  }
  void TearDown() override {
    TWindowListTest::TearDown();
    FManager.Stop();
  }
  TWindowManager FManager;
};

// A dialog at (100, 100) with a panel, a button in the panel, and a second
// panel stacked above the first where they overlap; another top level half
// covers the dialog's right side.
TEST_F(TManagedWindowListTest, ChoosesTheInnermostChildInsideTheTopmostTopLevel) {
  TTestWindow& dialog = Add(100, 100, 400, 300);
  TTestWindow& panel = Add(20, 20, 200, 150, dialog.Id());
  TTestWindow& button = Add(10, 10, 50, 40, panel.Id(), kRed);
  TTestWindow& upper = Add(150, 100, 100, 100, dialog.Id(), kBlue);
  TTestWindow& cover = Add(400, 150, 300, 200);
  const TXRect d = Rect(dialog);

  const struct {
    const char* Where;
    int X, Y;
    xcb_window_t Expected;
  } cases[] = {
      {"the button", d.X + 20 + 10 + 5, d.Y + 20 + 10 + 5, button.Id()},
      {"the button's last pixel", d.X + 20 + 10 + 49, d.Y + 20 + 10 + 39, button.Id()},
      {"just right of the button", d.X + 20 + 10 + 50, d.Y + 20 + 10 + 5, panel.Id()},
      {"the panel", d.X + 20 + 100, d.Y + 20 + 60, panel.Id()},
      {"where the upper panel covers the first", d.X + 200, d.Y + 120, upper.Id()},
      {"the dialog itself", d.X + 250, d.Y + 10, dialog.Id()},
      {"where the other top level covers the dialog", 450, 200, cover.Id()},
      {"the other top level alone", 650, 300, cover.Id()},
      {"the bare desktop", 1500, 900, XCB_WINDOW_NONE},
  };
  for (const auto& c : cases)
    EXPECT_EQ(At(c.X, c.Y), c.Expected) << c.Where;
}

TEST_F(TManagedWindowListTest, ATopLevelsRectangleIsItsFrame) {
  TTestWindow& window = Add(300, 300, 200, 100);
  TWindowList list(FConnection);
  list.BuildWindowList();
  const TWindowItem* item = list.GetWindowAt(400, 350);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Window, window.Id());
  // The frame's title bar lies above the client area, its borders around it.
  TXPtr<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, window.Id()), nullptr));
  ASSERT_TRUE(tree);
  xcb_window_t frame = window.Id();
  const xcb_window_t root = tree->root;
  for (;;) {
    TXPtr<xcb_query_tree_reply_t> up(
        xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, frame), nullptr));
    if (up->parent == root) break;
    frame = up->parent;
  }
  ASSERT_NE(frame, window.Id()) << "the window manager framed nothing";
  TXPtr<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(FConnection, xcb_get_geometry(FConnection, frame), nullptr));
  const int border = geometry->border_width;
  EXPECT_EQ(item->Rect,
            (TWinRect{geometry->x, geometry->y, geometry->x + geometry->width + 2 * border,
                      geometry->y + geometry->height + 2 * border}));
  EXPECT_LT(item->Rect.Top, Rect(window).Y);
  EXPECT_GE(item->Rect.Right - item->Rect.Left, 200);
  // A point on the title bar belongs to the window too.
  EXPECT_EQ(At(400, item->Rect.Top + 2), window.Id());
}

TEST_F(TManagedWindowListTest, HiddenMinimisedDesktopDockAndOwnWindowsAreNeverChosen) {
  TTestWindow& desktop = Add(0, 0, 1920, 1080);
  desktop.SetType("_NET_WM_WINDOW_TYPE_DESKTOP");
  TTestWindow& below = Add(200, 200, 600, 400);
  TTestWindow& minimised = Add(250, 250, 300, 200);
  minimised.Iconify();
  ASSERT_TRUE(minimised.WaitViewable(false));
  TTestWindow& dock = Add(300, 300, 100, 100);
  dock.SetType("_NET_WM_WINDOW_TYPE_DOCK");
  TTestWindow& own = Add(500, 300, 100, 100);
  own.SetPid(getpid());
  const TXRect b = Rect(below);
  TTestWindow& foreign = Add(650, 300, 100, 100);
  foreign.SetPid(getpid() + 1);
  TTestWindow& hiddenChild = Add(10, 10, 100, 100, below.Id());
  TTestWindow& childOfHidden = Add(5, 5, 20, 20, hiddenChild.Id());
  hiddenChild.Unmap();
  ASSERT_TRUE(childOfHidden.WaitViewable(false));

  TWindowList list(FConnection);
  list.BuildWindowList();
  for (const auto& item : list.Items()) {
    EXPECT_NE(item->Window, desktop.Id());
    EXPECT_NE(item->Window, minimised.Id());
    EXPECT_NE(item->Window, dock.Id());
    EXPECT_NE(item->Window, own.Id());
    EXPECT_NE(item->Window, hiddenChild.Id());
    EXPECT_NE(item->Window, childOfHidden.Id());
  }
  EXPECT_EQ(At(260, 260), below.Id()) << "under the minimised window";
  EXPECT_EQ(At(b.X + 20, b.Y + 20), below.Id()) << "under the hidden child";
  EXPECT_EQ(At(350, 350), below.Id()) << "under the dock";
  EXPECT_EQ(At(550, 350), below.Id()) << "under the program's own window";
  EXPECT_EQ(At(700, 350), foreign.Id()) << "another program's window";
  EXPECT_EQ(At(1500, 900), XCB_WINDOW_NONE) << "on the desktop";

  // A window named by the program is left out as well.
  TWindowList excluding(FConnection);
  excluding.ExcludeWindow(foreign.Id());
  excluding.BuildWindowList();
  const TWindowItem* item = excluding.GetWindowAt(700, 350);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Window, below.Id());
}

TEST_F(TManagedWindowListTest, ATransientWindowCountsAsItsOwnersDescendant) {
  TTestWindow& main = Add(100, 100, 500, 400);
  TTestWindow& dialog = Add(200, 200, 200, 150);
  dialog.SetTransientFor(main.Id());
  TWindowList list(FConnection);
  list.BuildWindowList();
  EXPECT_TRUE(list.IsAncestorWindow(dialog.Id(), main.Id()));
  EXPECT_FALSE(list.IsAncestorWindow(main.Id(), dialog.Id()));
  // The dialog on top wins where it lies.
  EXPECT_EQ(At(300, 275), dialog.Id());
}

TEST_F(TManagedWindowListTest, TheRectangleUnderThePointer) {
  TTestWindow& window = Add(400, 400, 200, 200);
  TTestWindow& child = Add(50, 50, 40, 30, window.Id(), kRed);
  const TXRect c = Rect(child);
  TWindowList list(FConnection);
  list.BuildWindowList();
  ASSERT_TRUE(Xdotool({"mousemove", std::to_string(c.X + 10), std::to_string(c.Y + 10)}));
  EXPECT_EQ(list.GetWindowRectAtCursor(), (TWinRect{c.X, c.Y, c.X + 40, c.Y + 30}));
  const TWindowItem* item = list.GetWindowAtCursor();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Window, child.Id());
  ASSERT_TRUE(Xdotool({"mousemove", "1800", "50"}));
  EXPECT_EQ(list.GetWindowRectAtCursor(), TWinRect{});
}

// Without a window manager the tree of the root window is the list, topmost
// first; override-redirect windows (menus, tool tips) are windows as well.
TEST_F(TWindowListTest, WithoutAWindowManagerTheRootTreeIsTheList) {
  ASSERT_FALSE(WindowManagerRuns(FConnection));
  TTestWindow& lower = Add(100, 100, 300, 300);
  TTestWindow& child = Add(10, 10, 100, 100, lower.Id(), kRed);
  TTestWindow& upper = Add(200, 200, 300, 300, XCB_WINDOW_NONE, kBlue);
  TTestWindow& hidden = Add(50, 50, 400, 400);
  hidden.Unmap();
  EXPECT_EQ(At(150, 150), child.Id());
  EXPECT_EQ(At(250, 250), upper.Id());
  EXPECT_EQ(At(120, 350), lower.Id());
  EXPECT_EQ(At(60, 60), XCB_WINDOW_NONE);
  // The window's rectangle is its own area here: nothing frames it.
  TWindowList list(FConnection);
  list.BuildWindowList();
  EXPECT_EQ(list.GetWindowAt(120, 350)->Rect, (TWinRect{100, 100, 400, 400}));
}

TEST_F(TWindowListTest, AWindowOffTheScreenIsNoCandidate) {
  TTestWindow& off = Add(2000, 100, 100, 100);
  TTestWindow& edge = Add(1900, 100, 100, 100);
  TWindowList list(FConnection);
  list.BuildWindowList();
  bool offListed = false, edgeListed = false;
  for (const auto& item : list.Items()) {
    offListed |= item->Window == off.Id();
    edgeListed |= item->Window == edge.Id();
  }
  EXPECT_FALSE(offListed);
  EXPECT_TRUE(edgeListed);
}

} // namespace
