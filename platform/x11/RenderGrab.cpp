// Grabs through the rendering extension (see RenderGrab.h).
#include "RenderGrab.h"

#include "XConnection.h"

namespace {

bool HasExtension(xcb_connection_t* AConnection, xcb_extension_t* AExtension) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(AConnection, AExtension);
  return extension && extension->present;
}

// Pixmaps over shared memory, in the Z layout the grabs use.
bool HasSharedPixmaps(xcb_connection_t* AConnection, xcb_shm_query_version_cookie_t ACookie) {
  TXPtr<xcb_shm_query_version_reply_t> version(
      xcb_shm_query_version_reply(AConnection, ACookie, nullptr));
  return version && version->shared_pixmaps && version->pixmap_format == XCB_IMAGE_FORMAT_Z_PIXMAP;
}

bool HasPixmapDepth32(xcb_connection_t* AConnection) {
  for (auto formats = xcb_setup_pixmap_formats_iterator(xcb_get_setup(AConnection)); formats.rem;
       xcb_format_next(&formats))
    if (formats.data->depth == 32 && formats.data->bits_per_pixel == 32) return true;
  return false;
}

// 8 bits each of alpha, red, green and blue, from the top byte down: in
// memory B, G, R, A, the frames' own order.
bool IsArgb32(const xcb_render_pictforminfo_t& AFormat) {
  const xcb_render_directformat_t& d = AFormat.direct;
  return AFormat.type == XCB_RENDER_PICT_TYPE_DIRECT && AFormat.depth == 32 &&
         d.alpha_mask == 0xff && d.alpha_shift == 24 && d.red_mask == 0xff && d.red_shift == 16 &&
         d.green_mask == 0xff && d.green_shift == 8 && d.blue_mask == 0xff && d.blue_shift == 0;
}

} // namespace

bool TRenderGrab::Open(xcb_connection_t* AConnection, xcb_window_t ASource,
                       xcb_visualid_t AVisual) {
  Close();
  if (!HasExtension(AConnection, &xcb_render_id) || !HasExtension(AConnection, &xcb_shm_id) ||
      !HasPixmapDepth32(AConnection))
    return false;
  // All asked at once, and one wait for the three. The rendering version is
  // asked before the formats: servers may refuse a client that skips it.
  const auto shmVersion = xcb_shm_query_version(AConnection);
  const auto renderVersion =
      xcb_render_query_version(AConnection, XCB_RENDER_MAJOR_VERSION, XCB_RENDER_MINOR_VERSION);
  const auto formatsAsked = xcb_render_query_pict_formats(AConnection);
  const bool sharedPixmaps = HasSharedPixmaps(AConnection, shmVersion);
  TXPtr<xcb_render_query_version_reply_t> version(
      xcb_render_query_version_reply(AConnection, renderVersion, nullptr));
  TXPtr<xcb_render_query_pict_formats_reply_t> formats(
      xcb_render_query_pict_formats_reply(AConnection, formatsAsked, nullptr));
  if (!sharedPixmaps || !version || !formats) return false;

  xcb_render_pictformat_t target = XCB_NONE, source = XCB_NONE;
  for (auto it = xcb_render_query_pict_formats_formats_iterator(formats.get()); it.rem;
       xcb_render_pictforminfo_next(&it))
    if (IsArgb32(*it.data)) target = it.data->id;
  for (auto screens = xcb_render_query_pict_formats_screens_iterator(formats.get()); screens.rem;
       xcb_render_pictscreen_next(&screens))
    for (auto depths = xcb_render_pictscreen_depths_iterator(screens.data); depths.rem;
         xcb_render_pictdepth_next(&depths))
      for (auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data); visuals.rem;
           xcb_render_pictvisual_next(&visuals))
        if (visuals.data->visual == AVisual) source = visuals.data->format;
  if (target == XCB_NONE || source == XCB_NONE) return false;

  // The windows above the source are part of the picture, as on the screen.
  const xcb_render_picture_t picture = xcb_generate_id(AConnection);
  const uint32_t mode = XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS;
  if (CheckRequest(AConnection,
                   xcb_render_create_picture_checked(AConnection, picture, ASource, source,
                                                     XCB_RENDER_CP_SUBWINDOW_MODE, &mode)))
    return false;
  FConnection = AConnection;
  FSource = picture;
  FScreenWindow = ASource;
  FTargetFormat = target;
  return true;
}

void TRenderGrab::Close() {
  if (FSource == XCB_NONE) return;
  xcb_render_free_picture(FConnection, FSource);
  xcb_flush(FConnection);
  FSource = XCB_NONE;
  FConnection = nullptr;
}

int TRenderGrab::CreateTarget(const TShmImage& AImage, int AWidth, int AHeight,
                              TRenderTarget& ATarget) {
  if (!IsOpen() || !AImage.IsAttached()) return -1;
  const xcb_pixmap_t pixmap = xcb_generate_id(FConnection);
  if (const int error = CheckRequest(
          FConnection, xcb_shm_create_pixmap_checked(
                           FConnection, pixmap, FScreenWindow, static_cast<uint16_t>(AWidth),
                           static_cast<uint16_t>(AHeight), 32, AImage.Segment(), 0)))
    return error;
  const xcb_render_picture_t picture = xcb_generate_id(FConnection);
  if (const int error =
          CheckRequest(FConnection, xcb_render_create_picture_checked(FConnection, picture, pixmap,
                                                                      FTargetFormat, 0, nullptr))) {
    xcb_free_pixmap(FConnection, pixmap);
    return error;
  }
  ATarget = {pixmap, picture};
  return 0;
}

void TRenderGrab::FreeTarget(TRenderTarget& ATarget) {
  if (FConnection && ATarget.Picture != XCB_NONE)
    xcb_render_free_picture(FConnection, ATarget.Picture);
  if (FConnection && ATarget.Pixmap != XCB_NONE) xcb_free_pixmap(FConnection, ATarget.Pixmap);
  ATarget = {};
}

TRenderGrab::TCookie TRenderGrab::StartGrab(const TRenderTarget& ATarget, int AX, int AY,
                                            int AWidth, int AHeight) {
  TCookie cookie;
  cookie.Composite = xcb_render_composite_checked(
      FConnection, XCB_RENDER_PICT_OP_SRC, FSource, XCB_NONE, ATarget.Picture,
      static_cast<int16_t>(AX), static_cast<int16_t>(AY), 0, 0, 0, 0, static_cast<uint16_t>(AWidth),
      static_cast<uint16_t>(AHeight));
  // A request with a reply right behind it: once that reply is in, the
  // composite is done, and checking it needs no round trip of its own then.
  cookie.Sync = xcb_get_input_focus(FConnection);
  return cookie;
}

int TRenderGrab::FinishGrab(TCookie ACookie) {
  const int error = CheckRequest(FConnection, ACookie.Composite);
  TXPtr<xcb_get_input_focus_reply_t> sync(
      xcb_get_input_focus_reply(FConnection, ACookie.Sync, nullptr));
  return error;
}
