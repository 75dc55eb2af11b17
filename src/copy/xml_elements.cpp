#include "copy/xml_elements.h"

#include <cstring>

#include "errors/vl_error.h"
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

pugi::xml_node RequiredElement(const pugi::xml_node& parent, const char* name) {
  pugi::xml_node child = parent.child(name);
  if (!child)
    throw VlError(err::kObjectVariableNotSet, "selectSingleNode",
                  std::string("Object variable not set: element \"") + name + "\" of \"" +
                      parent.name() + "\" is missing");
  return child;
}

std::string RequiredAttr(const pugi::xml_node& node, const char* name) {
  pugi::xml_attribute attr = node.attribute(name);
  if (!attr)
    throw VlError(err::kInvalidUseOfNull, "getAttribute",
                  std::string("Invalid use of Null: attribute \"") + name + "\" of \"" +
                      node.name() + "\" is missing");
  return attr.value();
}

int32_t RequiredLong(const pugi::xml_node& node, const char* name) {
  return CLng(RequiredAttr(node, name));
}

bool RequiredBool(const pugi::xml_node& node, const char* name) {
  return CBool(RequiredAttr(node, name));
}

}  // namespace vl
