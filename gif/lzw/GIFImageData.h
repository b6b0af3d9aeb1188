// A frame's image data as a whole: the bound on frame sizes, reading the data
// into a new pixel buffer, and writing a pixel buffer with the chosen coder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "GIFImageHost.h"
#include "GIFLZWDecoder.h"
#include "GIFStream.h"

// The most pixels one frame may hold (8192 x 8192); a declared size beyond it
// is refused before anything is allocated. Fuzzing builds set a smaller bound,
// so that their runs are not spent filling huge frames.
#ifndef VEXMORA_GIF_MAX_FRAME_PIXELS
#define VEXMORA_GIF_MAX_FRAME_PIXELS (size_t{1} << 26)
#endif
inline constexpr size_t kGIFMaxFramePixels = VEXMORA_GIF_MAX_FRAME_PIXELS;

// Raises GIFException naming the bound when AWidth x AHeight exceeds it.
void CheckFrameSize(size_t AWidth, size_t AHeight);

// Checks the size, allocates the frame's pixels filled with AFill and
// decodes the data into them.
std::vector<uint8_t> ReadImageData(TGIFStream& AStream, size_t AWidth, size_t AHeight,
                                   bool AInterlaced, uint8_t AFill, TGIFWarningHandler AWarning);

// Encodes APixels with the coder ACompression names (ccRLE the run-length
// coder, anything else LZW).
void WriteImageData(TGIFStream& AStream, const uint8_t* APixels, int AWidth, int AHeight,
                    bool AInterlaced, int ABitsPerPixel, int AColorCount,
                    TGIFCompression ACompression);
