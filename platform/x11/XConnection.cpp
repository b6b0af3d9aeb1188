// The xcb connection (see XConnection.h).
#include "XConnection.h"

#include <string>

int TXPixelLayout::Stride(int AWidth) const {
  const int pad = ScanlinePad > 0 ? ScanlinePad : 8;
  const int64_t bits = static_cast<int64_t>(AWidth) * BitsPerPixel;
  return static_cast<int>((bits + pad - 1) / pad * pad / 8);
}

namespace {

// Scales a channel of 8 bits into the bits of AMask.
uint32_t Channel(uint8_t AValue, uint32_t AMask) {
  if (AMask == 0) return 0;
  int shift = 0;
  while (!(AMask & (1u << shift)))
    ++shift;
  const uint32_t max = AMask >> shift;
  return ((AValue * max + 127) / 255) << shift;
}

} // namespace

int TXConnection::Open(const char* ADisplay) {
  Close();
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(ADisplay, &screenNumber);
  FConnection.reset(connection);
  if (const int error = xcb_connection_has_error(connection)) {
    FConnection.reset();
    return error;
  }
  const xcb_setup_t* setup = xcb_get_setup(connection);
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNumber && screens.rem; ++i)
    xcb_screen_next(&screens);
  if (!screens.rem) {
    FConnection.reset();
    return XCB_CONN_CLOSED_INVALID_SCREEN;
  }
  FScreen = screens.data;
  FScreenNumber = screenNumber;

  FLayout = TXPixelLayout{};
  FLayout.Depth = FScreen->root_depth;
  FLayout.LsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
       xcb_format_next(&formats))
    if (formats.data->depth == FScreen->root_depth) {
      FLayout.BitsPerPixel = formats.data->bits_per_pixel;
      FLayout.ScanlinePad = formats.data->scanline_pad;
    }
  for (auto depths = xcb_screen_allowed_depths_iterator(FScreen); depths.rem;
       xcb_depth_next(&depths))
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
         xcb_visualtype_next(&visuals))
      if (visuals.data->visual_id == FScreen->root_visual) {
        FLayout.RedMask = visuals.data->red_mask;
        FLayout.GreenMask = visuals.data->green_mask;
        FLayout.BlueMask = visuals.data->blue_mask;
      }
  return 0;
}

void TXConnection::Close() {
  FConnection.reset();
  FScreen = nullptr;
}

uint32_t TXConnection::PixelOf(uint8_t ARed, uint8_t AGreen, uint8_t ABlue) const {
  return Channel(ARed, FLayout.RedMask) | Channel(AGreen, FLayout.GreenMask) |
         Channel(ABlue, FLayout.BlueMask);
}

void TXConnection::Flush() const {
  xcb_flush(FConnection.get());
}

void TXConnection::DiscardEvents() const {
  while (xcb_generic_event_t* event = xcb_poll_for_event(FConnection.get()))
    std::free(event);
}

int TXConnection::ConnectionError() const {
  return FConnection ? xcb_connection_has_error(FConnection.get()) : XCB_CONN_ERROR;
}

int CheckRequest(xcb_connection_t* AConnection, xcb_void_cookie_t ACookie) {
  TXPtr<xcb_generic_error_t> error(xcb_request_check(AConnection, ACookie));
  if (error) return error->error_code;
  return xcb_connection_has_error(AConnection) ? -1 : 0;
}

bool TXConnection::Composited() const {
  const std::string name = "_NET_WM_CM_S" + std::to_string(FScreenNumber);
  xcb_connection_t* connection = FConnection.get();
  // Only if it exists: an atom nobody made has no owner.
  TXPtr<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.c_str()),
      nullptr));
  if (!atom || atom->atom == XCB_ATOM_NONE) return false;
  TXPtr<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, atom->atom), nullptr));
  return owner && owner->owner != XCB_WINDOW_NONE;
}
