#include "tools/baseline_folder.h"

#include <fstream>
#include <sstream>

namespace vl::gen::test {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

LoadedBaseline::LoadedBaseline(const std::string& folder) : folder_(folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (Lower(entry.path().extension().string()) != ".xml") continue;
    const std::string bytes = ReadBytes(entry.path());
    auto doc = std::make_unique<pugi::xml_document>();
    pugi::xml_parse_result result = doc->load_buffer(bytes.data(), bytes.size());
    if (!result) failures_.push_back(name + ": " + result.description());
    docs_[Lower(name)] = std::move(doc);
  }
  pugi::xml_node root = Doc("PackageList.XML").select_node("//PROJECT/Pkg[@ParentID='0']").node();
  if (root) WalkPackage(root.attribute("GUID").value(), 0);
}

const pugi::xml_document& LoadedBaseline::Doc(const std::string& name) const {
  static const pugi::xml_document kEmpty;
  auto it = docs_.find(Lower(name));
  return it == docs_.end() ? kEmpty : *it->second;
}

void LoadedBaseline::WalkPackage(const std::string& guid, int level) {
  if (level > 100) return;
  if (docs_.find(Lower(guid + ".XML")) == docs_.end()) return;
  packages_.push_back(guid);
  pugi::xml_node pkg = PackageDoc(guid).select_node("//PROJECT/Pkg").node();
  for (pugi::xml_node req : pkg.child("Requirements").children("Req")) {
    requirements_.push_back({req, req.child_value("GUID")});
  }
  for (pugi::xml_node child : pkg.child("Pkgs").children("Pkg")) {
    WalkPackage(child.child_value("GUID"), level + 1);
  }
}

std::map<std::string, std::string> ReadAllFiles(const std::string& folder) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    out[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  return out;
}

}  // namespace vl::gen::test
