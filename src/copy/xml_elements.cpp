#include "copy/xml_elements.h"

#include <cstring>

#include "errors/vl_error.h"
#include "host/convert.h"

namespace vl {

std::vector<pugi::xml_node> DescendantsNamed(const pugi::xml_node& parent, const char* name) {
  std::vector<pugi::xml_node> found;
  if (!parent) return found;
  // Pre-order walk without recursion: a deep document cannot exhaust the
  // stack, and every node is visited once. The walk runs for every item
  // of every package, so it asks the parser for as little as it can:
  // text nodes have an empty name, and the name's first character rules
  // out most elements before a full comparison.
  const char* const parent_name = parent.name();
  pugi::xml_node node = parent.first_child();
  while (node) {
    const char* node_name = node.name();
    if (node_name[0] == name[0] && std::strcmp(node_name, name) == 0 &&
        node.type() == pugi::node_element)
      found.push_back(node);
    pugi::xml_node next = node.first_child();
    if (!next) {
      next = node.next_sibling();
      // Up until an ancestor below `parent` has a next sibling.
      while (!next) {
        node = node.parent();
        if (!node || (node.name() == parent_name && node == parent)) return found;
        next = node.next_sibling();
      }
    }
    node = next;
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
