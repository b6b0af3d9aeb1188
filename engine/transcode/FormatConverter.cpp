// Pictures to bitmaps and back (see FormatConverter.h).
#include "FormatConverter.h"

#include "Exception.h"
#include "FFErrors.h"
#include "FFText.h"

#include <algorithm>
#include <cstring>

namespace {

// Same-size conversions only change the pixel format. Between two RGB
// formats the point flag lets the scaler shift bits pixel by pixel; without
// it the depths below 24 bits would go through subsampled chroma and dither.
// With YUV, bicubic serves the chroma planes.
int ScaleFlags(AVPixelFormat AFrom, AVPixelFormat ATo) {
  auto isRgb = [](AVPixelFormat AFormat) {
    const AVPixFmtDescriptor* desc = AV.av_pix_fmt_desc_get(AFormat);
    return desc && (desc->flags & AV_PIX_FMT_FLAG_RGB) && !(desc->flags & AV_PIX_FMT_FLAG_PAL);
  };
  return isRgb(AFrom) && isRgb(ATo) ? SWS_POINT : SWS_BICUBIC;
}

struct TDepth {
  int BitsPixel;
  AVPixelFormat PixFmt;
};

// DIB rows: 15 and 16 bit hold blue in the low bits of a little-endian word,
// 24 and 32 bit are B,G,R(,X) bytes.
bool DepthOf(int ABitsPixel, TDepth& ADepth) {
  switch (ABitsPixel) {
  case 8:
    ADepth = {8, AV_PIX_FMT_BGR8};
    return true;
  case 15:
    ADepth = {15, AV_PIX_FMT_RGB555LE};
    return true;
  case 16:
    ADepth = {16, AV_PIX_FMT_RGB565LE};
    return true;
  case 24:
    ADepth = {24, AV_PIX_FMT_BGR24};
    return true;
  case 32:
    ADepth = {32, AV_PIX_FMT_BGRA};
    return true;
  default:
    return false;
  }
}

// The colours of the 8-bit pixels (3 bits red and green, 2 bits blue, red
// lowest), so that the bitmap's indices mean what the libraries wrote.
void SetBGR8Palette(TBitmap& ABitmap) {
  std::vector<uint32_t>& palette = ABitmap.Palette();
  palette.resize(256);
  for (uint32_t i = 0; i < 256; ++i) {
    const uint32_t r = (i & 7) * 255 / 7;
    const uint32_t g = ((i >> 3) & 7) * 255 / 7;
    const uint32_t b = ((i >> 6) & 3) * 255 / 3;
    palette[i] = (r << 16) | (g << 8) | b;
  }
}

} // namespace

TFormatConverter::TFormatConverter() {
  Reset();
}

void TFormatConverter::SetBitsPixel(int AValue) {
  TDepth depth{};
  if (!DepthOf(AValue, depth)) throw Exception(FormatText("Invalid BitsPixel %d", AValue));
  if (depth.BitsPixel == FBitsPixel) return;
  FBitsPixel = depth.BitsPixel;
  FBitmapPixFmt = depth.PixFmt;
  Reset();
}

void TFormatConverter::Reset() {
  FBitmap.Detach();
  std::fill(std::begin(FCurrentData), std::end(FCurrentData), nullptr);
  std::fill(std::begin(FCurrentLineSize), std::end(FCurrentLineSize), 0);
  FWidth = 0;
  FHeight = 0;
  FConverted = false;
  if (FBitmap.BitsPerPixel() != FBitsPixel)
    FBitmap.SetSize(FBitmap.Width(), FBitmap.Height(), FBitsPixel);
  if (FBitsPixel == 8)
    SetBGR8Palette(FBitmap);
  else
    FBitmap.Palette().clear();
}

bool TFormatConverter::Fail(std::string AText) {
  std::fill(std::begin(FCurrentData), std::end(FCurrentData), nullptr);
  std::fill(std::begin(FCurrentLineSize), std::end(FCurrentLineSize), 0);
  FConverted = false;
  FLastError = std::move(AText);
  return false;
}

bool TFormatConverter::PictureToBitmap(uint8_t* const AData[], const int ALineSize[],
                                       AVPixelFormat ASourcePixFmt, int AHeight, int AWidth,
                                       bool ACopyToBitmap) {
  if (AWidth <= 0 || AHeight <= 0 || !AData || !ALineSize || !AData[0] ||
      AV.av_image_check_size(static_cast<unsigned>(AWidth), static_cast<unsigned>(AHeight), 0,
                             nullptr) < 0)
    return Fail(FormatText("Invalid picture size %dx%d", AWidth, AHeight));
  const int stride = TBitmap::RowStride(AWidth, FBitsPixel);
  // B,G,R,X rows are the 32-bit bitmap's own whatever the fourth byte means
  // (the capture device's pictures are B,G,R,0).
  const bool sameLayout =
      ASourcePixFmt == FBitmapPixFmt || (FBitsPixel == 32 && ASourcePixFmt == AV_PIX_FMT_BGR0);
  const bool convert = !sameLayout || (AWidth & 1) || (AHeight & 1) || ALineSize[0] != stride;
  const bool inPlace = !convert && ACopyToBitmap && FDrawInPlace;
  // Resizing clears the bitmap, so only a new geometry (or the end of an
  // attachment) does it.
  if (!inPlace && (FBitmap.Attached() || FBitmap.Width() != AWidth ||
                   FBitmap.Height() != AHeight || FBitmap.BitsPerPixel() != FBitsPixel))
    FBitmap.SetSize(AWidth, AHeight, FBitsPixel);
  if (convert) {
    // The own picture has the bitmap's layout, so copying it is one block.
    const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(AHeight);
    if (!FBuffer || FBufferSize < size) {
      FBuffer.reset();
      FBufferSize = 0;
      FBuffer.reset(static_cast<uint8_t*>(AV.av_malloc(size)));
      if (!FBuffer) return Fail("Cannot allocate memory");
      FBufferSize = size;
    }
    SwsContext* context = AV.sws_getCachedContext(
        FToRgbContext.release(), AWidth, AHeight, ASourcePixFmt, AWidth, AHeight, FBitmapPixFmt,
        ScaleFlags(ASourcePixFmt, FBitmapPixFmt), nullptr, nullptr, nullptr);
    FToRgbContext.reset(context);
    if (!context) return Fail("Cannot initialize the toRGB conversion context");
    uint8_t* const dest[4] = {FBuffer.get(), nullptr, nullptr, nullptr};
    const int destLineSize[4] = {stride, 0, 0, 0};
    const int scaled = AV.sws_scale(context, AData, ALineSize, 0, AHeight, dest, destLineSize);
    if (scaled < 0) return Fail(ErrorToString("Cannot convert the picture", scaled));
    std::copy(std::begin(dest), std::end(dest), FCurrentData);
    std::copy(std::begin(destLineSize), std::end(destLineSize), FCurrentLineSize);
  } else {
    FCurrentData[0] = AData[0];
    FCurrentLineSize[0] = ALineSize[0];
    for (int i = 1; i < 4; ++i) {
      FCurrentData[i] = nullptr;
      FCurrentLineSize[i] = 0;
    }
  }
  FWidth = AWidth;
  FHeight = AHeight;
  FConverted = convert;
  if (inPlace)
    FBitmap.Attach(AData[0], AWidth, AHeight, FBitsPixel);
  else if (ACopyToBitmap)
    CopyPictureToBitmap();
  return true;
}

// The current picture always has the bitmap's row length: the caller's only
// when it matched, the own one by construction.
size_t TFormatConverter::PictureBytes() const {
  return static_cast<size_t>(FCurrentLineSize[0]) * static_cast<size_t>(FHeight);
}

bool TFormatConverter::BitmapMatchesPicture() const {
  return FBitmap.Width() == FWidth && FBitmap.Height() == FHeight &&
         FBitmap.BitsPerPixel() == FBitsPixel;
}

bool TFormatConverter::ShowsPictureInPlace() const {
  return FBitmap.Attached() && FBitmap.Pixels() == FCurrentData[0] && BitmapMatchesPicture();
}

bool TFormatConverter::CopyPictureToBitmap() {
  if (!FCurrentData[0]) {
    FLastError = "No picture to copy";
    return false;
  }
  if (ShowsPictureInPlace()) return true;
  // A handler may have resized the bitmap since.
  if (!BitmapMatchesPicture()) FBitmap.SetSize(FWidth, FHeight, FBitsPixel);
  std::memcpy(FBitmap.ScanLine(0), FCurrentData[0], PictureBytes());
  return true;
}

bool TFormatConverter::CopyBitmapToPicture() {
  if (!FCurrentData[0]) {
    FLastError = "No picture to copy";
    return false;
  }
  if (!BitmapMatchesPicture()) {
    FLastError = "The bitmap's size or depth was changed";
    return false;
  }
  if (ShowsPictureInPlace()) return true;
  std::memcpy(FCurrentData[0], FBitmap.ScanLine(0), PictureBytes());
  return true;
}

bool TFormatConverter::BitmapToPicture(uint8_t* const ADest[], const int ALineSize[],
                                       AVPixelFormat ADestPixFmt, int AHeight, int AWidth) {
  if (!FCurrentData[0] || AWidth != FWidth || AHeight != FHeight) {
    FLastError = FormatText("No RGB picture of size %dx%d to convert", AWidth, AHeight);
    return false;
  }
  SwsContext* context = AV.sws_getCachedContext(
      FFromRgbContext.release(), AWidth, AHeight, FBitmapPixFmt, AWidth, AHeight, ADestPixFmt,
      ScaleFlags(FBitmapPixFmt, ADestPixFmt), nullptr, nullptr, nullptr);
  FFromRgbContext.reset(context);
  if (!context) {
    FLastError = "Cannot initialize the fromRGB conversion context";
    return false;
  }
  const int scaled =
      AV.sws_scale(context, FCurrentData, FCurrentLineSize, 0, AHeight, ADest, ALineSize);
  if (scaled < 0) {
    FLastError = ErrorToString("Cannot convert the picture", scaled);
    return false;
  }
  return true;
}
