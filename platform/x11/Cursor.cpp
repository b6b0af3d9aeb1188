// Cursor images (see Cursor.h).
#include "Cursor.h"

#include "XConnection.h"

#include <algorithm>

int InitCursorImages(xcb_connection_t* AConnection) {
  const xcb_query_extension_reply_t* extension =
      xcb_get_extension_data(AConnection, &xcb_xfixes_id);
  if (!extension || !extension->present) return -1;
  xcb_generic_error_t* rawError = nullptr;
  TXPtr<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
      AConnection,
      xcb_xfixes_query_version(AConnection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
      &rawError));
  TXPtr<xcb_generic_error_t> error(rawError);
  if (!version) return error ? error->error_code : -1;
  return 0;
}

xcb_xfixes_get_cursor_image_cookie_t StartCursorImage(xcb_connection_t* AConnection) {
  return xcb_xfixes_get_cursor_image(AConnection);
}

int FinishCursorImage(xcb_connection_t* AConnection, xcb_xfixes_get_cursor_image_cookie_t ACookie,
                      TCursorImage& AImage) {
  xcb_generic_error_t* rawError = nullptr;
  TXPtr<xcb_xfixes_get_cursor_image_reply_t> reply(
      xcb_xfixes_get_cursor_image_reply(AConnection, ACookie, &rawError));
  TXPtr<xcb_generic_error_t> error(rawError);
  if (!reply) return error ? error->error_code : -1;
  AImage.X = reply->x;
  AImage.Y = reply->y;
  AImage.HotX = reply->xhot;
  AImage.HotY = reply->yhot;
  AImage.Width = reply->width;
  AImage.Height = reply->height;
  const uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
  const int count = xcb_xfixes_get_cursor_image_cursor_image_length(reply.get());
  AImage.Pixels.assign(pixels, pixels + std::max(count, 0));
  if (static_cast<int64_t>(AImage.Width) * AImage.Height > count) AImage.Width = AImage.Height = 0;
  return 0;
}

void BlendCursor(const TCursorImage& AImage, uint8_t* AFrame, int AStride, int AWidth, int AHeight,
                 int ABytesPerPixel, int AFrameX, int AFrameY) {
  // The image's top-left in frame coordinates, and the visible part of it.
  const int left = AImage.X - AImage.HotX - AFrameX;
  const int top = AImage.Y - AImage.HotY - AFrameY;
  const int x0 = std::max(0, -left), x1 = std::min(AImage.Width, AWidth - left);
  const int y0 = std::max(0, -top), y1 = std::min(AImage.Height, AHeight - top);
  for (int y = y0; y < y1; ++y) {
    const uint32_t* source = AImage.Pixels.data() + static_cast<size_t>(y) * AImage.Width;
    uint8_t* row = AFrame + static_cast<ptrdiff_t>(top + y) * AStride;
    for (int x = x0; x < x1; ++x) {
      const uint32_t argb = source[x];
      const uint32_t alpha = argb >> 24;
      if (alpha == 0) continue;
      uint8_t* pixel = row + static_cast<ptrdiff_t>(left + x) * ABytesPerPixel;
      const uint32_t channels[3] = {argb & 0xff, (argb >> 8) & 0xff, (argb >> 16) & 0xff};
      for (int c = 0; c < 3; ++c) // premultiplied: over = source + target x (1 - alpha)
        pixel[c] = static_cast<uint8_t>(
            std::min<uint32_t>(255, channels[c] + (pixel[c] * (255 - alpha) + 127) / 255));
    }
  }
}
