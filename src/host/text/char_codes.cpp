#include "host/text/char_codes.h"

#include <cmath>
#include <optional>

#include "host/text/convert.h"

namespace vl {

CharCodesText DecodeCharCodes(const std::string& codes) {
  CharCodesText out;
  std::string pending;
  for (char c : codes) {
    if (c != ';') {
      pending += c;
      continue;
    }
    if (IsNumeric(pending)) {
      // Fractions round half to even, as the classic character function
      // rounds its argument.
      const std::optional<double> v = ParseNumber(pending);
      const double code = v && std::isfinite(*v) ? std::nearbyint(*v) : -1;
      if (code >= 1 && code <= 255)
        out.bytes += static_cast<char>(static_cast<int>(code));
      else
        ++out.refused;
    }
    pending.clear();
  }
  return out;
}

}  // namespace vl
