// The values of the child elements of a package file's items, as the
// copiers hold them. A package file can hold tens of thousands of
// requirements, so nothing here evaluates an XPath.
#pragma once

#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "host/text/variant.h"

namespace vl {

// The text of the child element `name` as a 32-bit whole number; 0 when
// the child is missing or its text is not a number that fits.
int32_t ElementLong(const pugi::xml_node& node, const char* name);
// The same for a 16-bit whole number.
int16_t ElementInt(const pugi::xml_node& node, const char* name);
// The text of the child element `name` as a date in any form baselines
// use; Null when the child is missing or its text is no date.
Variant ElementDate(const pugi::xml_node& node, const char* name);

}  // namespace vl
