#include "copy/element_values.h"

#include <cstring>
#include <optional>

#include "copy/db_conventions.h"
#include "host/convert.h"

namespace vl {

std::vector<pugi::xml_node> DescendantsNamed(const pugi::xml_node& parent, const char* name) {
  std::vector<pugi::xml_node> found;
  if (!parent) return found;
  // Pre-order walk without recursion: a deep document cannot exhaust the
  // stack, and every node is visited once.
  pugi::xml_node node = parent.first_child();
  while (node) {
    if (node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0)
      found.push_back(node);
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && node != parent && !node.next_sibling()) node = node.parent();
    if (!node || node == parent) break;
    node = node.next_sibling();
  }
  return found;
}

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
