// The engine's own registry of input devices. FFmpeg 5.1 no longer takes
// input formats from outside, so "-f NAME" and every lookup by name ask this
// registry before the libraries' own list.
#pragma once

#include <vector>

struct AVInputFormat;

// Adds AFormat unless a format of the same name is registered; answers
// whether it was added.
bool RegisterInputFormatIfAbsent(const AVInputFormat* AFormat);
// The registered format of that name, or null.
const AVInputFormat* FindRegisteredInputFormat(const char* AName);
// The registered format of that name, else the libraries' one, else null.
const AVInputFormat* FindInputFormat(const char* AName);
// Every registered format, in the order of registration.
std::vector<const AVInputFormat*> RegisteredInputFormats();

// URL protocols can no longer be added to the libraries either: this answers
// that nothing was registered. File names are UTF-8 and need no protocol of
// the engine's own.
bool RegisterProtocolIfAbsent(const char* AProtocolName);
