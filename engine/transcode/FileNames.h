// File names between the engine and the libraries. Names are UTF-8 bytes on
// this system and reach the libraries whole; no name is cut to fit a buffer.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

// The name as the libraries take it. Raises Exception for a name the
// libraries cannot be given whole (one holding a NUL byte).
std::string FFmpegFileName(const std::string& AName);
// A name the libraries gave back, as the engine keeps it.
std::string FFmpegToString(const char* AName);
// The still-image codec whose file extension AName ends in (compared without
// regard to case), or AV_CODEC_ID_NONE: such names are image-sequence
// patterns to the libraries.
AVCodecID GuessImage2Codec(const char* AName);

// Removes AName when it is a regular file of 0 bytes (an output that received
// nothing); anything else stays.
void DeleteFileIfEmpty(const std::string& AName);
