#include "gen-baseline/external_baseline.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>

#include "gen-baseline/text_encoding.h"

namespace vl::gen {

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The files of a baseline folder by their lower-case names: baselines may
// come from a case-insensitive file system, so any spelling must be found.
class FolderIndex {
 public:
  explicit FolderIndex(const std::string& folder) : folder_(folder) {
    if (!fs::is_directory(folder)) throw std::runtime_error("no such folder: " + folder);
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::string name = entry.path().filename().string();
      by_lower_name_.emplace(Lower(name), entry.path());
    }
  }
  // The path of `name`: exact spelling first, any spelling else; empty
  // when there is no such file.
  fs::path Find(const std::string& name) const {
    fs::path exact = fs::path(folder_) / name;
    if (fs::exists(exact)) return exact;
    auto it = by_lower_name_.find(Lower(name));
    return it == by_lower_name_.end() ? fs::path() : it->second;
  }

 private:
  std::string folder_;
  std::map<std::string, fs::path> by_lower_name_;
};

// True when the XML declaration at the start of `bytes` names a single-byte
// Western encoding.
bool DeclaresSingleByte(const std::string& bytes) {
  std::string head = Lower(bytes.substr(0, std::min<size_t>(bytes.size(), 200)));
  size_t end = head.find("?>");
  if (head.rfind("<?xml", 0) != 0 || end == std::string::npos) return false;
  head.resize(end);
  return head.find("windows-1252") != std::string::npos ||
         head.find("iso-8859-1") != std::string::npos || head.find("latin1") != std::string::npos;
}

void LoadFile(pugi::xml_document& doc, const fs::path& path, const std::string& shown_name) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("missing file " + shown_name);
  std::ostringstream bytes_stream;
  bytes_stream << in.rdbuf();
  std::string bytes = bytes_stream.str();
  pugi::xml_encoding encoding = pugi::encoding_auto;
  if (DeclaresSingleByte(bytes)) {
    bytes = W1252ToUtf8(bytes);
    encoding = pugi::encoding_utf8;
  }
  pugi::xml_parse_result result =
      doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, encoding);
  if (!result) {
    throw std::runtime_error(shown_name + " is not well formed: " + result.description());
  }
}

void LoadRequired(pugi::xml_document& doc, const FolderIndex& index, const std::string& name) {
  fs::path path = index.Find(name);
  if (path.empty()) throw std::runtime_error("missing file " + name);
  LoadFile(doc, path, name);
}

void ReadStructure(ExternalBaseline& out, const FolderIndex& index) {
  pugi::xml_document doc;
  LoadRequired(doc, index, "ProjectStructure.XML");
  pugi::xml_node root = doc.select_node("//PROJECT").node();
  std::map<std::string, int> attr_index;
  for (pugi::xml_node a : root.child("Attributes").children("Attribute")) {
    ExternalAttribute attr;
    attr.guid = a.attribute("ID").value();
    attr.data_type = a.attribute("DataType").as_int(1);
    for (pugi::xml_node item : a.child("ListItems").children("ListItem")) {
      attr.list_items.push_back(item.attribute("ID").value());
    }
    attr_index[attr.guid] = static_cast<int>(out.attributes.size());
    out.attributes.push_back(std::move(attr));
  }
  for (pugi::xml_node t : root.child("RequirementTypes").children("RequirementType")) {
    ExternalReqType type;
    type.guid = t.attribute("ID").value();
    for (pugi::xml_node a : t.child("Attributes").children("Attribute")) {
      auto it = attr_index.find(a.attribute("ID").value());
      if (it != attr_index.end()) type.attributes.push_back(it->second);
    }
    out.req_types.push_back(std::move(type));
  }
}

void ReadTraces(ExternalBaseline& out, const pugi::xml_node& req, const char* side,
                const ExternalRequirement& owner) {
  for (pugi::xml_node t : req.child(side).children("TReq")) {
    std::string ep = t.child_value("EPGUID");
    if (ep.empty()) continue;
    ExternalTrace trace;
    trace.requirement_guid = owner.guid;
    trace.requirement_tag = owner.tag;
    trace.is_from = std::string(side) == "TFrom";
    trace.ep_guid = ep;
    trace.other_guid = t.child_value("TRID");
    trace.version = t.child_value("TRVer");
    trace.state = t.child("State").text().as_int(0);
    out.traces.push_back(std::move(trace));
  }
}

// Reads the requirements of one package file and walks on to its child
// packages, depth first as the baseline is meant to be read.
void ReadPackage(ExternalBaseline& out, const FolderIndex& index, const std::string& guid,
                 int level) {
  if (level > 256) throw std::runtime_error("package tree too deep (a cycle?) at " + guid);
  fs::path path = index.Find(guid + ".XML");
  if (path.empty()) return;
  pugi::xml_document doc;
  LoadFile(doc, path, guid + ".XML");
  pugi::xml_node pkg = doc.select_node("//PROJECT/Pkg").node();
  for (pugi::xml_node r : pkg.child("Requirements").children("Req")) {
    ExternalRequirement req;
    req.guid = r.child_value("GUID");
    req.tag = std::string(r.child_value("RPre")) + r.child_value("Tag");
    ReadTraces(out, r, "TTo", req);
    ReadTraces(out, r, "TFrom", req);
    out.requirements.push_back(std::move(req));
  }
  for (pugi::xml_node child : pkg.child("Pkgs").children("Pkg")) {
    ReadPackage(out, index, child.child_value("GUID"), level + 1);
  }
}

}  // namespace

ExternalBaseline ReadExternalBaseline(const std::string& folder) {
  FolderIndex index(folder);
  ExternalBaseline out;
  pugi::xml_document list;
  LoadRequired(list, index, "BaselineList.xml");
  out.project_guid = list.select_node("//PROJECT").node().child_value("GUID");
  if (out.project_guid.empty()) throw std::runtime_error("BaselineList.xml holds no GUID");

  pugi::xml_document project;
  LoadRequired(project, index, "Project.xml");
  pugi::xml_node p = project.select_node("//Project").node();
  out.name = p.attribute("Name").value();
  out.prefix = p.attribute("Prefix").value();

  ReadStructure(out, index);

  pugi::xml_document packages;
  LoadRequired(packages, index, "PackageList.XML");
  pugi::xml_node root_pkg = packages.select_node("//PROJECT/Pkg[@ParentID='0']").node();
  if (root_pkg) ReadPackage(out, index, root_pkg.attribute("GUID").value(), 0);
  return out;
}

}  // namespace vl::gen
