// Escaping for filter graph descriptions (see FilterEscape.h).
#include "FilterEscape.h"

#include <cstring>

namespace {

std::string Escape(const std::string& AText, const char* ASpecial) {
  std::string escaped;
  escaped.reserve(AText.size() * 2);
  for (const char c : AText) {
    if (std::strchr(ASpecial, c)) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

} // namespace

std::string EscapeFilterOptionValue(const std::string& AValue) {
  const std::string option = Escape(AValue, "\\':");
  return Escape(option, "\\'[],; \t\r\n");
}
