// The pictures of a written file (see DecodedFrames.h).
#include "DecodedFrames.h"

#include "MediaProbe.h"

#include <cstring>
#include <stdexcept>

std::vector<TBitmap> DecodedFrames(const std::string& AFile) {
  std::vector<TBitmap> frames;
  try {
    ForEachVideoPicture(AFile, [&](const AVFrame& AFrame) {
      if (AFrame.format != AV_PIX_FMT_BGR24) return;
      TBitmap bitmap(AFrame.width, AFrame.height, 24);
      // A bottom-up picture has a negative line size: rows are taken as given.
      for (int y = 0; y < AFrame.height; ++y)
        std::memcpy(bitmap.ScanLine(y), AFrame.data[0] + y * AFrame.linesize[0],
                    static_cast<size_t>(AFrame.width) * 3);
      frames.push_back(std::move(bitmap));
    });
  } catch (const std::runtime_error&) {
    // An unreadable file has no pictures: the caller's checks say so.
  }
  return frames;
}
