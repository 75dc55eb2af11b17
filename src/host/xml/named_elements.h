// Finding the elements of one name below another, at any depth, by one walk
// of the tree. Baseline files can hold tens of thousands of items, so no
// XPath is evaluated here.
#pragma once

#include <array>
#include <pugixml.hpp>
#include <vector>

namespace vl {

// Every element named `name` below `parent`, at any depth, in document
// order (as getElementsByTagName gives them); `parent` itself is never
// among them. Empty for a null `parent`. The list is taken before the
// caller changes the document, and the walk visits each node below
// `parent` once, without recursion.
std::vector<pugi::xml_node> DescendantsNamed(const pugi::xml_node& parent, const char* name);
// The elements named `first` and those named `second` below `parent`,
// each as DescendantsNamed gives them, by one walk.
std::array<std::vector<pugi::xml_node>, 2> DescendantsNamed(const pugi::xml_node& parent,
                                                            const char* first, const char* second);

// The first element named `name` whose parent element is named `parent`,
// below `root` in document order (what the XPath "//parent/name" finds
// first); null when there is none. The walk stops there: a package file's
// package element comes first, before its thousands of items.
pugi::xml_node FirstChildElementOf(const pugi::xml_node& root, const char* parent,
                                   const char* name);

}  // namespace vl
