// Finding the elements of a baseline file: the elements of one name below
// another (host/xml/named_elements.h), and the elements and attributes a
// baseline must have, whose absence stops the copier. Baseline files can
// hold tens of thousands of items, so no XPath is evaluated here.
#pragma once

#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "host/xml/named_elements.h"

namespace vl {

// The child element `name` of `parent`. Throws
// VlError(err::kObjectVariableNotSet, "selectSingleNode", ...) naming both
// when it is missing.
pugi::xml_node RequiredElement(const pugi::xml_node& parent, const char* name);

// The value of the attribute `name` of `node`. Throws
// VlError(err::kInvalidUseOfNull, "getAttribute", ...) naming both when
// it is missing; an empty value is a value.
std::string RequiredAttr(const pugi::xml_node& node, const char* name);
// The same converted as CLng does (VlError of CLng when it does not
// convert).
int32_t RequiredLong(const pugi::xml_node& node, const char* name);
// The same converted as CBool does (VlError of CBool when it does not
// convert).
bool RequiredBool(const pugi::xml_node& node, const char* name);

}  // namespace vl
