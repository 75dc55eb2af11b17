#include "host/text/user_text.h"

#include <cmath>
#include <cstdio>

namespace vl {

std::string GroupedNumber(long long n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

std::string CountText(long long n, const char* one, const char* many) {
  return GroupedNumber(n) + " " + (n == 1 ? one : many);
}

std::string SecondsText(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  char text[48];
  if (seconds < 59.95) {
    std::snprintf(text, sizeof text, "%.1f s", seconds);
  } else if (seconds < 3599.5) {
    const long whole = std::lround(seconds);
    std::snprintf(text, sizeof text, "%ld min %ld s", whole / 60, whole % 60);
  } else {
    const long minutes = std::lround(seconds / 60);
    std::snprintf(text, sizeof text, "%ld h %ld min", minutes / 60, minutes % 60);
  }
  return text;
}

}  // namespace vl
