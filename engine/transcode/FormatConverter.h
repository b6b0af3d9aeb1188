// Pictures to bitmaps and back: a decoded picture becomes a TBitmap that the
// video hooks draw on, and the drawn bitmap goes back into the picture in the
// picture's own pixel format. The size never changes; libswscale converts.
//
// Threads: a converter is used by one thread at a time (the task's worker
// thread for its hooks, the caller's thread for the decoder component);
// nothing here locks.
#pragma once

#include "Bitmap.h"
#include "LibAVOwners.h"

#include <cstddef>
#include <cstdint>
#include <string>

class TFormatConverter {
public:
  // A 32-bit converter.
  TFormatConverter();
  TFormatConverter(const TFormatConverter&) = delete;
  TFormatConverter& operator=(const TFormatConverter&) = delete;

  // The bitmap's depth: 8 (BGR 3:3:2 with a matching palette), 15 (RGB555),
  // 16 (RGB565), 24 (B,G,R) or 32 (B,G,R,X). The same depth again changes
  // nothing; another one resets the converter. Any other value raises
  // Exception "Invalid BitsPixel %d".
  void SetBitsPixel(int AValue);
  int BitsPixel() const { return FBitsPixel; }
  // The libraries' pixel format of the bitmap's rows.
  AVPixelFormat BitmapPixFmt() const { return FBitmapPixFmt; }

  // Forgets the current picture; the bitmap takes the current depth.
  void Reset();

  // With DrawInPlace, a picture used without conversion is not copied: the
  // bitmap is attached to its memory (TBitmap::Attach), so a drawing changes
  // the picture at once and the copies both ways cost nothing. The picture
  // must then stay valid, and writable, until the next call or Reset.
  void SetDrawInPlace(bool AValue) { FDrawInPlace = AValue; }
  bool DrawInPlace() const { return FDrawInPlace; }

  // Shows a picture (AData and ALineSize as in AVFrame) in the bitmap,
  // resized to AWidth x AHeight. A picture that already has the bitmap's
  // pixel format (for 32 bits, BGRA or BGR0), an even width and height and
  // the bitmap's row length is
  // used as it is (no conversion); any other is converted into the
  // converter's own RGB picture. With ACopyToBitmap the rows are then copied
  // into the bitmap. Answers False with LastError on failure.
  // Without a conversion the caller's picture stays the current picture:
  // CopyBitmapToPicture then writes into AData, so it must stay valid, and be
  // writable if the bitmap is to be copied back, until the next call.
  bool PictureToBitmap(uint8_t* const AData[], const int ALineSize[], AVPixelFormat ASourcePixFmt,
                       int AHeight, int AWidth, bool ACopyToBitmap);
  // Rows of the current RGB picture into the bitmap, or the bitmap's rows
  // back into it. False (with LastError) when there is no current picture,
  // and for CopyBitmapToPicture when the bitmap no longer has the picture's
  // size and depth.
  bool CopyPictureToBitmap();
  bool CopyBitmapToPicture();
  // Converts the current RGB picture into ADest in ADestPixFmt; AWidth and
  // AHeight must be the current picture's. Answers False with LastError.
  bool BitmapToPicture(uint8_t* const ADest[], const int ALineSize[], AVPixelFormat ADestPixFmt,
                       int AHeight, int AWidth);

  TBitmap& Bitmap() { return FBitmap; }
  const TBitmap& Bitmap() const { return FBitmap; }
  const std::string& LastError() const { return FLastError; }
  // True when the last successful PictureToBitmap converted into the
  // converter's own RGB picture; False when it used the caller's picture.
  bool Converted() const { return FConverted; }
  // The current RGB picture's planes (null after Reset or a failure).
  uint8_t* const* CurrentData() const { return FCurrentData; }
  const int* CurrentLineSize() const { return FCurrentLineSize; }
  // Bytes of the own RGB picture's memory; it grows and is never shrunk.
  size_t BufferSize() const { return FBufferSize; }

private:
  bool Fail(std::string AText);
  bool BitmapMatchesPicture() const;
  bool ShowsPictureInPlace() const;
  size_t PictureBytes() const;

  AVPixelFormat FBitmapPixFmt = AV_PIX_FMT_BGRA;
  int FBitsPixel = 32;
  TBitmap FBitmap;
  TAVBuffer FBuffer;
  size_t FBufferSize = 0;
  uint8_t* FCurrentData[4] = {};
  int FCurrentLineSize[4] = {};
  int FWidth = 0;
  int FHeight = 0;
  bool FConverted = false;
  bool FDrawInPlace = false;
  TSwsContextPtr FToRgbContext;
  TSwsContextPtr FFromRgbContext;
  std::string FLastError;
};
