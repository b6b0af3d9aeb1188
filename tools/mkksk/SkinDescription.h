// The text description of a skin that mkksk turns into a skin file: one
// entry or palette value per line.
//
//   # a comment
//   palette TitleTop 0xA8C6D1     a colour or size the pictures are drawn from
//   color SKIN2_FORMCOLOR 0xCAE5ED
//   int SKIN2_TITLEBARICONPOSX 7
//   bool SKIN2_TITLEFIVESECT 0
//   text NAME any text to the end of the line
//   bitmap SKIN2_TITLEBAR1 TITLE_LEFT   a picture part drawn with the palette so far
//
// Numbers are decimal, or hexadecimal after "0x"; colours are 0xBBGGRR.
#pragma once

#include "SkinWriter.h"

#include <istream>
#include <string>

// Adds the described entries to AWriter in order; raises std::runtime_error
// naming the line of the first fault.
void ReadSkinDescription(std::istream& AInput, TSk2Writer& AWriter);
