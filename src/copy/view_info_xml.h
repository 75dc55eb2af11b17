// Small XML steps of the query definition and view copier: elements moved
// between documents, given a new text, and the "UnRes" files saved back or
// deleted when empty.
#pragma once

#include <pugixml.hpp>
#include <string>

namespace vl {

// Appends a copy of `element` (attributes and children) to `newParent`,
// which may be in another document, and removes `element` from its own.
void MoveElement(pugi::xml_node newParent, pugi::xml_node element);

// Makes `text` the only content of the child element `name` of `node`,
// creating the child when it is missing.
void SetElementText(pugi::xml_node node, const char* name, const std::string& text);

// Saves `doc` to `path` when its last top-level node still has child
// nodes; otherwise deletes the file at `path` (nothing when it is
// missing). Throws VlError when the file cannot be written or deleted.
void SaveOrDelete(const pugi::xml_document& doc, const std::string& path);

}  // namespace vl
