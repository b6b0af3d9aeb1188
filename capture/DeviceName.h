// The device name: "video=" a window (0 the whole screen) and "audio=" a
// recording device (-1 the default), joined by a colon, either first.
#pragma once

#include <cstdint>
#include <string>

struct TDeviceName {
  std::string VideoText; // empty: no video side
  std::string AudioText; // empty: no audio side
};

// Splits AName into its two texts; false when it starts with neither
// "video=" nor "audio=".
bool SplitDeviceName(const std::string& AName, TDeviceName& AResult);

// A signed 32-bit integer in decimal, or in hexadecimal after "0x" or "$"
// (window ids are often written so; up to 32 bits, read as signed). False
// with AError the conversion's message.
bool ParseDeviceNumber(const std::string& AText, int32_t& AValue, std::string& AError);
