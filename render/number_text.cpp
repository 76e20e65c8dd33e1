#include "render/number_text.h"

#include <charconv>

void appendNumber(std::string& out, double value) {
  // "%.6g" without the C library's locale and its platform-dependent exponent width.
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  out.append(buffer, result.ptr);
}

std::string formatNumber(double value) {
  std::string text;
  appendNumber(text, value);
  return text;
}
