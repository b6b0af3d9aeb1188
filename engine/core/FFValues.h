// Conversions of option values and small formatting helpers: numbers and
// times from option texts, durations, four-character codes, frame durations,
// the local time zone and media type names.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/rational.h>
}

// Each conversion raises Exception naming the option and the value when the
// whole text is not a number of its kind. Numbers are read with "." as the
// decimal separator whatever the locale.

// Decimal, or hexadecimal after "$" or "0x"; out of range fails.
int ParseIntOption(const std::string& AName, const std::string& AValue);
int64_t ParseInt64Option(const std::string& AName, const std::string& AValue);
float ParseFloatOption(const std::string& AName, const std::string& AValue);
double ParseDoubleOption(const std::string& AName, const std::string& AValue);
// A whole decimal number with an optional sign, nothing else; false when
// the text is not one or does not fit.
bool ParseWholeDecimal(const char* AText, long& AValue);
// Microseconds, by the libraries' time syntax (a duration or a date).
int64_t ParseTimeOption(const std::string& AName, const std::string& AValue, bool AIsDuration);

// a + b x 256 + c x 65536 + d x 16777216, each taken as a byte.
constexpr int MakeTag(int a, int b, int c, int d) {
  return static_cast<int>(static_cast<uint32_t>(a & 0xFF) | static_cast<uint32_t>(b & 0xFF) << 8 |
                          static_cast<uint32_t>(c & 0xFF) << 16 |
                          static_cast<uint32_t>(d & 0xFF) << 24);
}

// "hh:mm:ss.mmm" rounded to the nearest millisecond (hours not wrapped), or
// "N/A" for the no-time-stamp value.
std::string FormatDuration(int64_t AMicroseconds);
// The duration of one frame in microseconds; 40000 (25 per second) when the
// rate has a zero part.
int64_t FrameDuration(AVRational AFrameRate);

// The local time's offset from UTC in days, as it stands now.
double LocalOffsetDays();
// Seconds since 1970 as a local date-time value (days since 1899-12-30).
double UnixToLocalDateTime(int64_t ASeconds);
// "UTC", or "UTC+hh:mm" / "UTC-hh:mm" with the local time's offset from UTC.
std::string TimeZoneText();

// "Video", "Audio", "Data", "Subtitle", "Attachment", else "Unknown".
const char* MediaTypeName(int AType);
