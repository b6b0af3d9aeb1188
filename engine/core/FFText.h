// printf-style formatting into a std::string, for the engine's messages.
#pragma once

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <string>

// AArgs is left as it came; the caller still ends it.
inline std::string VFormatText(const char* AFormat, va_list AArgs) {
  va_list probe;
  va_copy(probe, AArgs);
  const int length = std::vsnprintf(nullptr, 0, AFormat, probe);
  va_end(probe);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) {
    va_list args;
    va_copy(args, AArgs);
    std::vsnprintf(text.data(), text.size() + 1, AFormat, args);
    va_end(args);
  }
  return text;
}

[[gnu::format(printf, 1, 2)]] inline std::string FormatText(const char* AFormat, ...) {
  va_list args;
  va_start(args, AFormat);
  std::string text = VFormatText(AFormat, args);
  va_end(args);
  return text;
}

// A number as "%f" writes it in the C locale ("0.500000"), whatever locale
// the host set: the libraries read option texts with "." as the separator.
inline std::string FixedText(double AValue, int APrecision = 6) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, AValue, std::chars_format::fixed, APrecision);
  return std::string(text, result.ptr);
}
