#include "copy/view_info_xml.h"

#include <filesystem>

#include "copy/run_context.h"
#include "errors/vl_error.h"
#include "host/text/path_utils.h"
#include "host/xml/xml_file.h"

namespace vl {

void MoveElement(pugi::xml_node newParent, pugi::xml_node element) {
  newParent.append_copy(element);
  element.parent().remove_child(element);
}

void SetElementText(pugi::xml_node node, const char* name, const std::string& text) {
  pugi::xml_node child = node.child(name);
  if (!child) child = node.append_child(name);
  while (child.first_child()) child.remove_child(child.first_child());
  child.append_child(pugi::node_pcdata).set_value(text.c_str());
}

void SaveOrDelete(const pugi::xml_document& doc, const std::string& path) {
  pugi::xml_node last = doc.last_child();
  if (last && last.first_child()) {
    SaveXmlFile(doc, path);
    return;
  }
  std::error_code ec;
  std::filesystem::remove(path, ec);
  if (ec)
    throw VlError(err::kPermissionDenied, "DeleteFile",
                  "The file \"" + path + "\" could not be deleted: " + ec.message());
}

std::string BesideProjectFile(Project& project, const char* fileName) {
  return AddTrailingSlash(GetParentFolderName(project.GetProjectPath())) + fileName;
}

void CompleteExtProjFiles(
    RunContext& ctx, const char* fileName,
    const std::function<void(pugi::xml_document&, Project&, DataServices&)>& complete) {
  const OrderedMap<std::shared_ptr<Project>>& projects = ctx.tables.gcolExtProjs;
  for (const std::string& key : projects.Keys()) {
    std::shared_ptr<Project> other = *projects.Find(key);
    if (!other) continue;
    const std::string path = BesideProjectFile(*other, fileName);
    if (!std::filesystem::exists(path)) continue;
    pugi::xml_document doc;
    LoadXmlPath(doc, path);
    pugi::xml_node root = doc.last_child();
    if (root && root.first_child()) {
      ctx.others.Begin(other);
      std::shared_ptr<DataServices> ds = DataServicesOf(*other);
      complete(doc, *other, *ds);
    }
    // The file changes with the project's rows, when the run commits.
    pugi::xml_node last = doc.last_child();
    if (last && last.first_child())
      ctx.others.ReplaceFile(path, doc);
    else
      ctx.others.RemoveFile(path);
  }
}

}  // namespace vl
