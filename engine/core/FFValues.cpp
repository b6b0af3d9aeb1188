// Option value conversions and formatting helpers (see FFValues.h).
#include "FFValues.h"

#include "Exception.h"
#include "LibAV.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <system_error>

namespace {

[[noreturn]] void RaiseExpected(const char* AKind, const std::string& AName,
                                const std::string& AValue) {
  throw Exception(std::string("Expected ") + AKind + " for \"" + AName + "\" but found \"" +
                  AValue + "\"");
}

// An integer of type T in decimal, or in hexadecimal after "$" or "0x",
// with an optional sign; false unless the whole text is one in range.
template <class T> bool ReadInteger(const std::string& AText, T& AResult) {
  const char* p = AText.data();
  const char* end = p + AText.size();
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  int base = 10;
  if (p < end && *p == '$') {
    base = 16;
    ++p;
  } else if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  // from_chars would take a second sign; only digits may follow.
  if (p == end || !std::isxdigit(static_cast<unsigned char>(*p))) return false;
  uint64_t magnitude = 0;
  const auto [stop, error] = std::from_chars(p, end, magnitude, base);
  if (error != std::errc() || stop != end) return false;
  using TLimits = std::numeric_limits<T>;
  const uint64_t limit =
      negative ? static_cast<uint64_t>(TLimits::max()) + 1 : static_cast<uint64_t>(TLimits::max());
  if (magnitude > limit) return false;
  AResult = negative ? static_cast<T>(-static_cast<int64_t>(magnitude - 1) - 1)
                     : static_cast<T>(magnitude);
  return true;
}

// A finite decimal number such as "2.5", "-1e3" or "+.5".
bool ReadDouble(const std::string& AText, double& AResult) {
  const char* p = AText.data();
  const char* end = p + AText.size();
  const bool plus = p < end && *p == '+';
  if (plus) ++p;
  if (p == end ||
      !(std::isdigit(static_cast<unsigned char>(*p)) || *p == '.' || (*p == '-' && !plus)))
    return false;
  const auto [stop, error] = std::from_chars(p, end, AResult, std::chars_format::general);
  return error == std::errc() && stop == end && std::isfinite(AResult);
}

// The local time's offset from UTC in minutes, as it stands now.
long LocalOffsetMinutes() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_gmtoff / 60;
}

} // namespace

int ParseIntOption(const std::string& AName, const std::string& AValue) {
  int result = 0;
  if (!ReadInteger(AValue, result)) RaiseExpected("integer", AName, AValue);
  return result;
}

int64_t ParseInt64Option(const std::string& AName, const std::string& AValue) {
  int64_t result = 0;
  if (!ReadInteger(AValue, result)) RaiseExpected("int64", AName, AValue);
  return result;
}

float ParseFloatOption(const std::string& AName, const std::string& AValue) {
  double result = 0;
  if (!ReadDouble(AValue, result) || std::fabs(result) > std::numeric_limits<float>::max())
    RaiseExpected("float", AName, AValue);
  return static_cast<float>(result);
}

double ParseDoubleOption(const std::string& AName, const std::string& AValue) {
  double result = 0;
  if (!ReadDouble(AValue, result)) RaiseExpected("double", AName, AValue);
  return result;
}

bool ParseWholeDecimal(const char* AText, long& AValue) {
  if (!AText || !*AText) return false;
  const char* end = AText + std::strlen(AText);
  const char* begin = *AText == '+' ? AText + 1 : AText;
  const auto [stop, error] = std::from_chars(begin, end, AValue);
  return error == std::errc() && stop == end;
}

int64_t ParseTimeOption(const std::string& AName, const std::string& AValue, bool AIsDuration) {
  int64_t microseconds = 0;
  if (AV.av_parse_time(&microseconds, AValue.c_str(), AIsDuration ? 1 : 0) < 0)
    throw Exception(std::string("Invalid ") + (AIsDuration ? "duration" : "date") +
                    " specification for \"" + AName + "\": \"" + AValue + "\"");
  return microseconds;
}

std::string FormatDuration(int64_t AMicroseconds) {
  if (AMicroseconds == AV_NOPTS_VALUE) return "N/A";
  const int64_t rounded = AMicroseconds + 5000;
  const int64_t seconds = rounded / 1000000;
  char text[64];
  std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d.%.3d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60),
                static_cast<int>(rounded / 1000 % 1000));
  return text;
}

int64_t FrameDuration(AVRational AFrameRate) {
  if (AFrameRate.num == 0 || AFrameRate.den == 0) return 1000000 / 25;
  return int64_t{1000000} * AFrameRate.den / AFrameRate.num;
}

double LocalOffsetDays() {
  return static_cast<double>(LocalOffsetMinutes()) / 1440.0;
}

double UnixToLocalDateTime(int64_t ASeconds) {
  return LocalOffsetDays() + static_cast<double>(ASeconds) / 86400.0 + 25569.0;
}

std::string TimeZoneText() {
  const long offset = LocalOffsetMinutes();
  if (offset == 0) return "UTC";
  const long magnitude = offset < 0 ? -offset : offset;
  char text[32];
  std::snprintf(text, sizeof text, "%s%s%.2ld:%.2ld", "UTC", offset < 0 ? "-" : "+", magnitude / 60,
                magnitude % 60);
  return text;
}

const char* MediaTypeName(int AType) {
  switch (AType) {
  case AVMEDIA_TYPE_VIDEO:
    return "Video";
  case AVMEDIA_TYPE_AUDIO:
    return "Audio";
  case AVMEDIA_TYPE_DATA:
    return "Data";
  case AVMEDIA_TYPE_SUBTITLE:
    return "Subtitle";
  case AVMEDIA_TYPE_ATTACHMENT:
    return "Attachment";
  default:
    return "Unknown";
  }
}
