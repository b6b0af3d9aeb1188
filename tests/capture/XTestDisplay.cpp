// The X side of the capture tests (see XTestDisplay.h).
#include "XTestDisplay.h"

#include <xcb/shape.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {
template <class T> struct TReply {
  T* Value;
  explicit TReply(T* AValue) : Value(AValue) {}
  ~TReply() { std::free(Value); }
  T* operator->() const { return Value; }
  explicit operator bool() const { return Value != nullptr; }
};
} // namespace

std::string ToString(const TRgb& AColour) {
  return "rgb(" + std::to_string(AColour.R) + "," + std::to_string(AColour.G) + "," +
         std::to_string(AColour.B) + ")";
}

TRgb PatternColour(int AX, int AY) {
  return {static_cast<uint8_t>(AX * 5 + AY), static_cast<uint8_t>(AY * 3 + AX / 2),
          static_cast<uint8_t>(AX ^ AY)};
}

bool TXTestDisplay::Open() {
  if (IsOpen()) return true;
  if (FConnection) xcb_disconnect(FConnection);
  int screen = 0;
  FConnection = xcb_connect(nullptr, &screen);
  if (xcb_connection_has_error(FConnection)) return false;
  auto roots = xcb_setup_roots_iterator(xcb_get_setup(FConnection));
  for (int i = 0; i < screen; ++i)
    xcb_screen_next(&roots);
  FScreen = roots.data;
  return true;
}

TXTestDisplay::~TXTestDisplay() {
  xcb_disconnect(FConnection);
}

void TXTestDisplay::Sync() const {
  std::free(xcb_get_input_focus_reply(FConnection, xcb_get_input_focus(FConnection), nullptr));
}

TRgb TXTestDisplay::ScreenPixel(int AX, int AY) const {
  TReply<xcb_get_image_reply_t> image(xcb_get_image_reply(
      FConnection,
      xcb_get_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, FScreen->root, static_cast<int16_t>(AX),
                    static_cast<int16_t>(AY), 1, 1, ~0u),
      nullptr));
  if (!image) return {};
  const uint8_t* data = xcb_get_image_data(image.Value);
  return {data[2], data[1], data[0]};
}

xcb_window_t TXTestDisplay::TopChild() const {
  TReply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, FScreen->root), nullptr));
  if (!tree) return XCB_WINDOW_NONE;
  const int count = xcb_query_tree_children_length(tree.Value);
  if (count == 0) return XCB_WINDOW_NONE;
  return xcb_query_tree_children(tree.Value)[count - 1];
}

TXRect TXTestDisplay::Geometry(xcb_window_t AWindow) const {
  TXRect rect;
  WindowRect(FConnection, FScreen->root, AWindow, rect);
  return rect;
}

std::vector<xcb_rectangle_t> TXTestDisplay::BoundingShape(xcb_window_t AWindow) const {
  TReply<xcb_shape_get_rectangles_reply_t> shape(xcb_shape_get_rectangles_reply(
      FConnection, xcb_shape_get_rectangles(FConnection, AWindow, XCB_SHAPE_SK_BOUNDING), nullptr));
  if (!shape) return {};
  const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(shape.Value);
  return {rects, rects + xcb_shape_get_rectangles_rectangles_length(shape.Value)};
}

void TXTestDisplay::PointerAt(int& AX, int& AY) const {
  TReply<xcb_query_pointer_reply_t> pointer(
      xcb_query_pointer_reply(FConnection, xcb_query_pointer(FConnection, FScreen->root), nullptr));
  AX = pointer ? pointer->root_x : -1;
  AY = pointer ? pointer->root_y : -1;
}

TPatternWindow::TPatternWindow(TXTestDisplay& ADisplay, int AX, int AY, int AWidth, int AHeight)
    : FDisplay(ADisplay) {
  xcb_connection_t* c = ADisplay.Get();
  FPixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, 24, FPixmap, ADisplay.Root(), static_cast<uint16_t>(AWidth),
                    static_cast<uint16_t>(AHeight));
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, FPixmap, 0, nullptr);
  // In strips, each well inside the largest request.
  constexpr int kStrip = 32;
  std::vector<uint8_t> rows(static_cast<size_t>(AWidth) * 4 * kStrip);
  for (int top = 0; top < AHeight; top += kStrip) {
    const int height = std::min(kStrip, AHeight - top);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < AWidth; ++x) {
        const TRgb colour = PatternColour(x, top + y);
        uint8_t* pixel = &rows[(static_cast<size_t>(y) * AWidth + x) * 4];
        pixel[0] = colour.B;
        pixel[1] = colour.G;
        pixel[2] = colour.R;
        pixel[3] = 0;
      }
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, FPixmap, gc, static_cast<uint16_t>(AWidth),
                  static_cast<uint16_t>(height), 0, static_cast<int16_t>(top), 0, 24,
                  static_cast<uint32_t>(AWidth * 4 * height), rows.data());
  }
  xcb_free_gc(c, gc);
  FWindow = xcb_generate_id(c);
  const uint32_t values[] = {FPixmap, 1};
  xcb_create_window(c, 24, FWindow, ADisplay.Root(), static_cast<int16_t>(AX),
                    static_cast<int16_t>(AY), static_cast<uint16_t>(AWidth),
                    static_cast<uint16_t>(AHeight), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(c, FWindow);
  ADisplay.Sync();
}

TColourWindow::TColourWindow(TXTestDisplay& ADisplay, int AX, int AY, int AWidth, int AHeight,
                             TRgb AColour)
    : FDisplay(ADisplay) {
  xcb_connection_t* c = ADisplay.Get();
  FWindow = xcb_generate_id(c);
  const uint32_t values[] = {0, 1};
  xcb_create_window(c, 24, FWindow, ADisplay.Root(), static_cast<int16_t>(AX),
                    static_cast<int16_t>(AY), static_cast<uint16_t>(AWidth),
                    static_cast<uint16_t>(AHeight), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(c, FWindow);
  Fill(AColour);
}

TColourWindow::~TColourWindow() {
  xcb_destroy_window(FDisplay.Get(), FWindow);
  FDisplay.Sync();
}

void TColourWindow::Fill(TRgb AColour) {
  const uint32_t pixel = uint32_t{AColour.R} << 16 | uint32_t{AColour.G} << 8 | AColour.B;
  xcb_change_window_attributes(FDisplay.Get(), FWindow, XCB_CW_BACK_PIXEL, &pixel);
  xcb_clear_area(FDisplay.Get(), 0, FWindow, 0, 0, 0, 0);
  FDisplay.Sync();
}

void TPatternWindow::Move(int AX, int AY) {
  const uint32_t values[] = {static_cast<uint32_t>(AX), static_cast<uint32_t>(AY)};
  xcb_configure_window(FDisplay.Get(), FWindow, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
  FDisplay.Sync();
}

void TPatternWindow::Destroy() {
  if (FWindow == XCB_WINDOW_NONE) return;
  xcb_destroy_window(FDisplay.Get(), FWindow);
  xcb_free_pixmap(FDisplay.Get(), FPixmap);
  FDisplay.Sync();
  FWindow = XCB_WINDOW_NONE;
}

bool MovePointer(TXTestDisplay& ADisplay, int AX, int AY) {
  const std::string x = std::to_string(AX), y = std::to_string(AY);
  const char* argv[] = {"xdotool", "mousemove", x.c_str(), y.c_str(), nullptr};
  pid_t pid = -1;
  if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
    return false;
  int status = 0;
  waitpid(pid, &status, 0);
  for (int i = 0; i < 200; ++i) {
    int atX = 0, atY = 0;
    ADisplay.PointerAt(atX, atY);
    if (atX == AX && atY == AY) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::string CompareWithPattern(const uint8_t* AFrame, int AStride, int AWidth, int AHeight,
                               int APatternX, int APatternY, bool (*ASkip)(int AX, int AY)) {
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x) {
      if (ASkip && ASkip(x, y)) continue;
      const uint8_t* pixel = AFrame + static_cast<ptrdiff_t>(y) * AStride + x * 4;
      const TRgb seen{pixel[2], pixel[1], pixel[0]};
      const TRgb expected = PatternColour(APatternX + x, APatternY + y);
      if (seen != expected)
        return "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") is " + ToString(seen) +
               ", expected " + ToString(expected);
    }
  return {};
}
