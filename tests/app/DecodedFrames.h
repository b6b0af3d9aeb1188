// The pictures of a written file's first video stream, decoded as the
// libraries read them back: 24-bit B,G,R bitmaps, top row first.
#pragma once

#include "Bitmap.h"

#include <string>
#include <vector>

// Only files whose stream decodes to bgr24 (raw video written as bgr24).
std::vector<TBitmap> DecodedFrames(const std::string& AFile);
