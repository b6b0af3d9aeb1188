// The engine's error texts: FFmpeg result codes and negated system error
// numbers turned into the words a user reads.
#pragma once

#include <string>

// The table text of ACode, or "Error number %d occurred" when the table has
// none; with a prefix: APrefix + ": " + that text.
std::string ErrorToString(const std::string& APrefix, int ACode);
