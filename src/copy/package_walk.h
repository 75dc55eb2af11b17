// Both package copiers walk the package tree in pre-order, keeping the
// levels above the package at hand on a list of their own: each level the
// GUIDs of its child packages and the index of the one to visit next.
#pragma once

#include <string>
#include <vector>

namespace vl {

// The package the walk visits after one without child packages: the next
// one left on the nearest level of `pending`; "" when the walk ends there.
template <class Level>
std::string NextLeftInWalk(const std::vector<Level>& pending) {
  for (auto level = pending.rbegin(); level != pending.rend(); ++level)
    if (level->next < level->children.size()) return level->children[level->next];
  return "";
}

}  // namespace vl
