#include "app/verify/baseline_files.h"

#include <set>
#include <utility>
#include <vector>

#include "copy/db_conventions.h"
#include "copy/xml_elements.h"
#include "host/xml/xml_file.h"

namespace vl::verify {

namespace {

pugi::xml_node FindElement(const pugi::xml_document& doc, const char* element) {
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
    if (std::string(n.name()) == element) return n;
  // Elsewhere in the document, as "//NAME" finds it.
  return doc.find_node(
      [element](const pugi::xml_node& n) { return std::string(n.name()) == element; });
}

}  // namespace

pugi::xml_node BaselineFiles::Root(const std::string& name, const char* element) {
  auto it = docs_.find(name);
  if (it == docs_.end()) {
    auto doc = std::make_unique<pugi::xml_document>();
    XmlLoadResult r = LoadXmlFile(*doc, folder_, name);
    if (!r) problems_[name] = name + ": " + r.message;
    it = docs_.emplace(name, std::move(doc)).first;
  }
  pugi::xml_node root = FindElement(*it->second, element);
  if (!root && !problems_.count(name)) problems_[name] = name + ": no " + element + " element";
  return root;
}

std::string BaselineFiles::Problem(const std::string& name) const {
  auto it = problems_.find(name);
  return it == problems_.end() ? "" : it->second;
}

bool BaselineFiles::WalkPackages(const std::function<void(const Package&)>& visit,
                                 std::string& problem) {
  pugi::xml_node list = Root("PackageList.XML");
  std::string rootGuid;
  for (pugi::xml_node p : list.children("Pkg"))
    if (std::string(p.attribute("ParentID").value()) == "0") {
      rootGuid = p.attribute("GUID").value();
      break;
    }
  if (rootGuid.empty()) {
    problem = "PackageList.XML names no root package (Pkg with ParentID 0)";
    return false;
  }
  // Depth first without recursion: a package tree may be deep.
  std::vector<std::pair<std::string, std::string>> stack = {{rootGuid, ""}};
  std::set<std::string> seen;
  while (!stack.empty()) {
    auto [guid, parent] = stack.back();
    stack.pop_back();
    if (!seen.insert(guid).second) continue;
    pugi::xml_document doc;
    LoadXmlFile(doc, folder_, guid + ".XML");
    Package p{guid, parent, doc.select_node("//PROJECT/Pkg").node()};
    visit(p);
    std::vector<std::string> children;
    for (pugi::xml_node c : DescendantsNamed(p.pkg.child("Pkgs"), "Pkg"))
      children.push_back(ElementText(c, "GUID"));
    for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back({*c, guid});
  }
  return true;
}

}  // namespace vl::verify
