// Validation of a baseline folder: the three files every baseline has
// (BaselineList.xml, Project.xml, ExternalProjects.xml) and what the
// descriptor takes from them.
#include <cstring>
#include <filesystem>
#include <pugixml.hpp>

#include "baseline/bl_proj_info.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {

constexpr long kResFileMissing = 10001;
constexpr long kResMissingNode = 11011;
constexpr long kResWrongBaselineType = 11012;

constexpr const char* kBaselineListFile = "BaselineList.xml";
constexpr const char* kProjectFile = "Project.xml";
constexpr const char* kExternalProjectsFile = "ExternalProjects.xml";

// The text of an element and all its descendants, exactly as written
// (blanks are kept: " 1" is not "1"). Gathered without recursion: a
// hostile file may nest elements a million levels deep.
std::string ElementText(const pugi::xml_node& node) { return NodeText(node); }

// The first element named `name` at any depth below `parent`.
pugi::xml_node FirstBelow(const pugi::xml_node& parent, const char* name) {
  return parent.find_node([name](const pugi::xml_node& n) {
    return n.type() == pugi::node_element && std::strcmp(n.name(), name) == 0;
  });
}

// Copies the text of the first `name` element below `parent` into `field`;
// a missing element leaves the field as it is.
void CopyTextBelow(const pugi::xml_node& parent, const char* name, std::string& field) {
  if (pugi::xml_node n = FirstBelow(parent, name)) field = ElementText(n);
}

// True exactly when the first `name` element below `parent` holds "1".
bool FlagBelow(const pugi::xml_node& parent, const char* name) {
  pugi::xml_node n = FirstBelow(parent, name);
  return n && ElementText(n) == "1";
}

pugi::xml_node SelectFirst(const pugi::xml_document& doc, const char* xpath) {
  return doc.select_node(xpath).node();
}

// The path of a baseline file in `folder`, found without regard to letter
// case, or "" when there is no such file.
std::string FindBaselineFile(const std::string& folder, const char* name) {
  std::string path = FindFileNoCase(folder, name);
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return "";
  return path;
}

}  // namespace

bool BLProjInfo::ValidateBLProj(const std::string& sLoc) {
  try {
    ResetBLProjInfo();
    const char* names[] = {kBaselineListFile, kProjectFile, kExternalProjectsFile};
    std::string paths[3];
    for (int i = 0; i < 3; ++i) {
      paths[i] = FindBaselineFile(sLoc, names[i]);
      if (paths[i].empty()) {
        messages_->ShowInfoMessage(messages_->ResString(kResFileMissing) + names[i]);
        return false;
      }
    }
    // All three readers run, so the user sees every problem at once.
    bool bl_ok = UpdateBLInfoFromXML(paths[0]);
    bool proj_ok = UpdateProjInfoFromXML(paths[1]);
    bool ext_ok = UpdateExtProjInfoFromXML(paths[2]);
    if (bl_ok && proj_ok && ext_ok) {
      is_xml_valid_ = true;
      bl_xml_loc_ = sLoc;
    }
    return is_xml_valid_;
  } catch (const std::exception&) {
    messages_->ReportProcError("BLProjInfo.ValidateBLProj", "");
    return false;
  }
}

bool BLProjInfo::UpdateBLInfoFromXML(const std::string& path) {
  try {
    pugi::xml_document doc;
    LoadXmlPath(doc, path);  // a broken file reads as one without elements
    pugi::xml_node project = SelectFirst(doc, "//PROJECT");
    if (!project) {
      messages_->ShowInfoMessage(std::string(kBaselineListFile) + messages_->ResString(kResMissingNode) + "PROJECT");
      return false;
    }
    pugi::xml_node type = SelectFirst(doc, "//BaselineType");
    if (!type) {
      messages_->ShowInfoMessage(std::string(kBaselineListFile) + messages_->ResString(kResMissingNode) + "BaselineType");
      return false;
    }
    std::string type_text = ElementText(type);
    if (LCase(type_text) != "project") {
      messages_->ShowInfoMessage(std::string(kBaselineListFile) +
                      messages_->ResFormat(kResWrongBaselineType, {type_text}));
      return false;
    }
    CopyTextBelow(project, "Label", label_);
    CopyTextBelow(project, "TimeStamp", timestamp_);
    CopyTextBelow(project, "BaselineDesc", desc_);
    CopyTextBelow(project, "GUID", guid_);
    contains_disc_ = FlagBelow(project, "IncludeDiscs");
    contains_ext_traces_ = FlagBelow(project, "IncludeCPT");
    // Traces to external projects are traces: such a baseline always
    // counts as containing traces.
    contains_traces_ = contains_ext_traces_ || FlagBelow(project, "IncludeTraces");
    contains_hist_ = FlagBelow(project, "IncludeHistory");
    return true;
  } catch (const std::exception&) {
    messages_->ReportProcError("BLProjInfo.UpdateBLInfoFromXML", "");
    return false;
  }
}

bool BLProjInfo::UpdateProjInfoFromXML(const std::string& path) {
  try {
    pugi::xml_document doc;
    LoadXmlPath(doc, path);
    pugi::xml_node project = SelectFirst(doc, "//Project");
    if (!project) {
      messages_->ShowInfoMessage(std::string(kProjectFile) + messages_->ResString(kResMissingNode) + "Project");
      return false;
    }
    vlp_name_ = project.attribute("Name").value();
    // The new project goes, by default, into a folder of its own name below
    // the default projects folder. The name comes from elsewhere: it names
    // one folder, never a path.
    vlp_folder_ = AddTrailingSlash(vlp_folder_) + FolderNameFrom(vlp_name_);
    vlp_desc_ = project.attribute("Description").value();
    return true;
  } catch (const std::exception&) {
    messages_->ReportProcError("BLProjInfo.UpdateProjInfoFromXML", "");
    return false;
  }
}

bool BLProjInfo::UpdateExtProjInfoFromXML(const std::string& path) {
  try {
    pugi::xml_document doc;
    LoadXmlPath(doc, path);
    pugi::xml_node project = SelectFirst(doc, "//PROJECT");
    if (!project) {
      messages_->ShowInfoMessage(path + " does not contain required node:" + "PROJECT");
      return false;
    }
    for (pugi::xml_node child : project.children()) {
      if (child.type() != pugi::node_element) continue;
      clsExtProjInfo ext;
      ext.GUID = child.attribute("GUID").value();
      ext.Name = child.attribute("Name").value();
      ext.Prefix = child.attribute("Prefix").value();
      // A GUID listed twice keeps its first record.
      if (!ext_projs_.Exists(ext.GUID)) ext_projs_.Add(ext.GUID, ext);
    }
    return true;
  } catch (const std::exception&) {
    messages_->ReportProcError("BLProjInfo.UpdateExtProjInfoFromXML", "");
    return false;
  }
}

}  // namespace vl
