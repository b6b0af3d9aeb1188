// The device name (see DeviceName.h).
#include "DeviceName.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

bool StartsWith(const std::string& AText, const char* APrefix) {
  return AText.rfind(APrefix, 0) == 0;
}

// AText after APrefix, split at ASeparator: the first side before it, the
// second after it (ASecondDefault when empty); no separator, no second side.
void SplitSides(const std::string& AText, size_t APrefixLength, const char* ASeparator,
                const char* AFirstDefault, const char* ASecondDefault, std::string& AFirst,
                std::string& ASecond) {
  const std::string rest = AText.substr(APrefixLength);
  const size_t separator = rest.find(ASeparator);
  if (separator == std::string::npos) {
    AFirst = rest;
    ASecond.clear();
  } else {
    AFirst = rest.substr(0, separator);
    ASecond = rest.substr(separator + std::char_traits<char>::length(ASeparator));
    if (ASecond.empty()) ASecond = ASecondDefault;
  }
  if (AFirst.empty()) AFirst = AFirstDefault;
}

} // namespace

bool SplitDeviceName(const std::string& AName, TDeviceName& AResult) {
  AResult = TDeviceName{};
  if (StartsWith(AName, "video=")) {
    SplitSides(AName, 6, ":audio=", "0", "-1", AResult.VideoText, AResult.AudioText);
    return true;
  }
  if (StartsWith(AName, "audio=")) {
    SplitSides(AName, 6, ":video=", "-1", "0", AResult.AudioText, AResult.VideoText);
    return true;
  }
  return false;
}

bool ParseDeviceNumber(const std::string& AText, int32_t& AValue, std::string& AError) {
  const char* text = AText.c_str();
  int base = 10;
  if (text[0] == '$') {
    base = 16;
    ++text;
  } else if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  const auto fail = [&] {
    AError = "'" + AText + "' is not a valid integer value";
    return false;
  };
  // strtoll would skip blanks and take a sign after a hexadecimal prefix.
  if (!*text || std::isspace(static_cast<unsigned char>(*text)) ||
      (base == 16 && (*text == '-' || *text == '+')))
    return fail();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, base);
  const bool inRange =
      base == 16 ? value >= 0 && value <= 0xffffffffLL : value >= INT32_MIN && value <= INT32_MAX;
  if (*end || errno == ERANGE || !inRange) return fail();
  AValue = static_cast<int32_t>(static_cast<uint32_t>(value));
  return true;
}
