#include <cctype>
#include <functional>
#include <pugixml.hpp>
#include <sstream>
#include <tuple>

#include "fuzz_harness.h"
#include "gen-baseline/text_encoding.h"

namespace vl::fuzz {
namespace {

std::string Section(const std::string& name, const std::string& content) {
  return SerializeArchive({{name, content, false, ""}});
}
std::string Link(const std::string& name, const std::string& target) {
  return SerializeArchive({{name, "", false, target}});
}
const std::string& BaseFile(const std::string& name) { return BaseBaseline().at(name); }

pugi::xml_document Load(const std::string& name) {
  pugi::xml_document doc;
  doc.load_buffer(BaseFile(name).data(), BaseFile(name).size(),
                  pugi::parse_default | pugi::parse_declaration);
  return doc;
}

// The base file `name` changed by `edit`, as a one-section archive.
std::string Edited(const std::string& name, const std::function<void(pugi::xml_document&)>& edit) {
  pugi::xml_document doc = Load(name);
  edit(doc);
  std::ostringstream out;
  doc.save(out, " ");
  return Section(name, out.str());
}

// Sets the text (or the value) of the first node (attribute) `xpath` selects.
void Set(pugi::xml_document& doc, const char* xpath, const std::string& text) {
  const pugi::xpath_node n = doc.select_node(xpath);
  n.attribute() ? n.attribute().set_value(text.c_str()) : n.node().text().set(text.c_str());
}

std::string Deep(const std::string& name, int levels) {
  std::string open, close;
  for (int i = 0; i < levels; ++i) open += "<" + name + ">", close += "</" + name + ">";
  return open + "x" + close;
}

Seeds ValidateSeeds() {
  Seeds seeds;
  for (const char* name : {"BaselineList.xml", "Project.xml", "ExternalProjects.xml"})
    seeds.emplace_back(std::string("file-") + name, Section(name, BaseFile(name)));
  const std::string& list = BaseFile("BaselineList.xml");
  seeds.insert(
      seeds.end(),
      {{"external-entity",
        Section(
            "BaselineList.xml",
            "<?xml version=\"1.0\"?><!DOCTYPE PROJECT [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
            "<PROJECT><Label>&x;</Label><BaselineType>Project</BaselineType></PROJECT>")},
       {"deep-label", Section("BaselineList.xml", "<PROJECT><BaselineType>Project</BaselineType>" +
                                                      Deep("Label", 20000) + "</PROJECT>")},
       {"utf16-list", Section("BaselineList.xml", "\xFF\xFE" + gen::Utf8ToUtf16Le(list))},
       {"external-projects",
        Section("ExternalProjects.xml",
                "<PROJECT><P GUID=\"{A}\" Name=\"a\" Prefix=\"A\"/><P GUID=\"{A}\" Name=\"b\"/>"
                "<P/><P GUID=\"../x\" Name=\"&lt;&amp;'\"/></PROJECT>")},
       {"link-outside", Link("Project.xml", "../../../secret.xml")},
       {"case-names", SerializeArchive({{"BaselineList.xml", "", true, ""},
                                        {"BASELINELIST.XML", list, false, ""},
                                        {"baselinelist.xml", "<PROJECT/>", false, ""}})}});
  return seeds;
}

Seeds CreateRunSeeds() {
  Seeds seeds;
  std::string
      root = Load("PackageList.XML").select_node("//Pkg[@ParentID='0']/@GUID").attribute().value(),
      child, document;
  for (const auto& [name, bytes] : BaseBaseline()) {
    std::string seedName;
    for (char c : name) seedName += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    seeds.emplace_back("file-" + seedName, Section(name, bytes));
    // A package file other than the root's, and a document file.
    if (child.empty() && name.front() == '{' && name != root + ".XML") child = name;
    if (document.empty() && name.ends_with(".DOC")) document = name;
  }
  const std::string escape = "../../../../../../../../tmp/vl-fuzz-escape";
  const std::string guid = Load(child).select_node("//Req/GUID").node().text().get();
  // Base files with texts replaced: seed, file, (where, text)...
  const std::tuple<const char*, std::string, std::vector<std::pair<const char*, std::string>>>
      edits[] = {{"escaping-document", child, {{"//Doc/FileName", escape}}},
                 {"escaping-package", "PackageList.XML", {{"//Pkg[@ParentID='0']/@GUID", escape}}},
                 {"duplicate-guid", child, {{"(//Req/GUID)[2]", guid}}},
                 {"special-texts",
                  child,
                  {{"//Req/RText", "it's | ''x'' \x01\x1F \xCE\xA9 \xE6\x97\xA5"},
                   {"//Req/RName", "   "}}},
                 {"document-is-folder",
                  child,
                  {{"//Doc/FileName", "Project"}, {"//Doc/FileExtension", "xml"}}}};
  for (const auto& [seed, file, texts] : edits)
    seeds.emplace_back(seed, Edited(file, [&texts = texts](pugi::xml_document& doc) {
                         for (const auto& [xpath, text] : texts) Set(doc, xpath, text);
                       }));
  seeds.emplace_back("package-cycle", Edited(child, [&](pugi::xml_document& doc) {
                       pugi::xml_node pkg = doc.select_node("//PROJECT/Pkg").node();
                       pugi::xml_node pkgs =
                           pkg.child("Pkgs") ? pkg.child("Pkgs") : pkg.append_child("Pkgs");
                       pkgs.append_child("Pkg").append_child("GUID").text().set(root.c_str());
                     }));
  seeds.insert(
      seeds.end(),
      {{"utf16-structure",
        Section("ProjectStructure.XML",
                "\xFF\xFE" + gen::Utf8ToUtf16Le(BaseFile("ProjectStructure.XML")))},
       {"cp1252-package", Section(child, gen::Utf8To1252(BaseFile(child)))},
       {"lower-case-package", SerializeArchive({{child, "", true, ""},
                                                {child.substr(0, child.size() - 4) + ".xml",
                                                 BaseFile(child), false, ""}})},
       {"document-linked-outside", Link(document, "../../../secret.xml")},
       {"package-linked-outside", Link(child, "../../../secret.xml")}});
  return seeds;
}

}  // namespace

Seeds SeedsOf(const std::string& target) {
  return target == "validate" ? ValidateSeeds() : CreateRunSeeds();
}

}  // namespace vl::fuzz
