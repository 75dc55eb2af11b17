#include "baseline/baseline_names.h"

namespace vl {

bool IsSafeNamePart(const std::string& part) {
  if (part == "." || part == "..") return false;
  return part.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string NameForMessage(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    if (c == '\0')
      shown += "\\0";
    else
      shown += c;
  }
  return shown;
}

}  // namespace vl
