// The video input hook of the benchmarks: a line of text with the frame's
// time stamp, drawn into every frame as the recorder draws its overlay. The
// glyphs are a 5 x 7 pixel font drawn three times larger, white on a black
// shadow, so a line of about 30 characters covers what a 20-point line of
// the recorder's text does.
#pragma once

#include "FFEncode.h"

#include <cstdint>
#include <string>

// Draws AText at (AX, AY) into a bitmap of any hook depth (8 to 32 bits).
void DrawTextLine(TBitmap& ABitmap, int AX, int AY, const std::string& AText);

// Sets the encoder's video input hook to draw "Vexmora hh:mm:ss.zzz frame N"
// near the bottom left of every frame.
void SetTextHook(TCustomEncoder& AEncoder);
