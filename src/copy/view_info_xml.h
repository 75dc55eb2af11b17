// Small XML steps of the query definition and view copier: elements moved
// between documents, given a new text, and the "UnRes" files kept beside
// project files, completed in the projects that left them and saved back
// or deleted when empty.
#pragma once

#include <functional>
#include <pugixml.hpp>
#include <string>

#include "host/db/data_services.h"
#include "host/project/project.h"
#include "host/text/ordered_map.h"

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

// The path of the file `fileName` in the folder of `project`'s project file.
std::string BesideProjectFile(Project& project, const char* fileName);

// For every opened external project (`projects`, in key order) whose
// folder holds `fileName`: loads the file, calls `complete` with it, the
// project and its data services when the last top-level node has child
// nodes, and then saves the file back or deletes it (SaveOrDelete).
// Throws what loading, `complete` or SaveOrDelete throws; the files of
// the projects before stay as they were written.
void CompleteExtProjFiles(
    const OrderedMap<std::shared_ptr<Project>>& projects, const char* fileName,
    const std::function<void(pugi::xml_document&, Project&, DataServices&)>& complete);

}  // namespace vl
