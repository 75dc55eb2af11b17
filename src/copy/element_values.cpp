#include "copy/element_values.h"

#include <optional>

#include "copy/db_conventions.h"
#include "host/text/convert.h"

namespace vl {

int32_t ElementLong(const pugi::xml_node& node, const char* name) {
  return ToLongOrZero(ElementText(node, name));
}

int16_t ElementInt(const pugi::xml_node& node, const char* name) {
  const int32_t value = ElementLong(node, name);
  // A value that does not fit 16 bits does not convert: it counts as missing.
  if (value < INT16_MIN || value > INT16_MAX) return 0;
  return static_cast<int16_t>(value);
}

Variant ElementDate(const pugi::xml_node& node, const char* name) {
  std::optional<VlDate> date = ParseDate(ElementText(node, name));
  return date ? Variant::Date(*date) : Variant::Null();
}

}  // namespace vl
