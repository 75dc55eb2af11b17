#include "copy/xml_elements.h"

#include "errors/vl_error.h"
#include "host/text/convert.h"

namespace vl {

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
