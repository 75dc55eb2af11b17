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

namespace vl {

class RunContext;

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

// For every opened external project (gcolExtProjs of `ctx`, in key order)
// whose folder holds `fileName`: loads the file and, when its last
// top-level node has child nodes, starts the run's work in that project
// (OtherProjects::Begin) and calls `complete` with the document, the
// project and its data services. The file's new content (or its removal,
// when nothing is left in it) waits in ctx.others for the run's commit.
// Throws what loading or `complete` throws.
void CompleteExtProjFiles(
    RunContext& ctx, const char* fileName,
    const std::function<void(pugi::xml_document&, Project&, DataServices&)>& complete);

}  // namespace vl
