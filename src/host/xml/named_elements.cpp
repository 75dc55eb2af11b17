#include "host/xml/named_elements.h"

#include <cstring>

namespace vl {

namespace {

// Collects the elements of one name. The parser walks the tree itself
// (in document order, without recursion, so a deep document cannot
// exhaust the stack) and hands over one node at a time: the walk runs for
// every item of every package, and a walk of our own would call into the
// parser several times per node.
class NamedElements : public pugi::xml_tree_walker {
 public:
  NamedElements(const char* name, std::vector<pugi::xml_node>& found, const char* second = nullptr,
                std::vector<pugi::xml_node>* found_second = nullptr)
      : name_(name), second_(second), found_(found), found_second_(found_second) {}
  bool for_each(pugi::xml_node& node) override {
    // Text nodes have an empty name, and the first character rules out
    // most elements before a full comparison.
    const char* node_name = node.name();
    if (Is(node_name, name_) && node.type() == pugi::node_element)
      found_.push_back(node);
    else if (second_ && Is(node_name, second_) && node.type() == pugi::node_element)
      found_second_->push_back(node);
    return true;
  }

 private:
  static bool Is(const char* node_name, const char* name) {
    return node_name[0] == name[0] && std::strcmp(node_name, name) == 0;
  }
  const char* name_;
  const char* second_;
  std::vector<pugi::xml_node>& found_;
  std::vector<pugi::xml_node>* found_second_;
};

}  // namespace

std::vector<pugi::xml_node> DescendantsNamed(const pugi::xml_node& parent, const char* name) {
  std::vector<pugi::xml_node> found;
  if (!parent) return found;
  NamedElements collect(name, found);
  pugi::xml_node(parent).traverse(collect);
  return found;
}

std::array<std::vector<pugi::xml_node>, 2> DescendantsNamed(const pugi::xml_node& parent,
                                                            const char* first, const char* second) {
  std::array<std::vector<pugi::xml_node>, 2> found;
  if (!parent) return found;
  NamedElements collect(first, found[0], second, &found[1]);
  pugi::xml_node(parent).traverse(collect);
  return found;
}

pugi::xml_node FirstChildElementOf(const pugi::xml_node& root, const char* parent,
                                   const char* name) {
  return root.find_node([&](const pugi::xml_node& node) {
    // Only an element holds others: a parent with that name is one.
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0 &&
           std::strcmp(node.parent().name(), parent) == 0;
  });
}

}  // namespace vl
