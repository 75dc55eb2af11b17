#include "fuzz_seeds.h"

#include <cctype>
#include <pugixml.hpp>
#include <sstream>

#include "baseline_archive.h"
#include "fuzz_harness.h"
#include "gen-baseline/text_encoding.h"

namespace vl::fuzz {

namespace {

std::string Section(const std::string& name, const std::string& content) {
  return SerializeArchive({{name, content, false, ""}});
}

// The base file `name` parsed, changed by `edit` and written back as a
// one-section archive.
template <typename Edit>
std::string Edited(const std::string& name, Edit edit) {
  const std::string& bytes = BaseBaseline().at(name);
  pugi::xml_document doc;
  doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_declaration);
  edit(doc);
  std::ostringstream out;
  doc.save(out, " ");
  return Section(name, out.str());
}

std::string RootPackageGuid() {
  pugi::xml_document doc;
  const std::string& bytes = BaseBaseline().at("PackageList.XML");
  doc.load_buffer(bytes.data(), bytes.size());
  return doc.select_node("//Pkg[@ParentID='0']/@GUID").attribute().value();
}

// The name of a package file other than the root's.
std::string ChildPackageFile() {
  for (const auto& [name, bytes] : BaseBaseline())
    if (name.front() == '{' && name != RootPackageGuid() + ".XML") return name;
  return "";
}

std::string Deep(const std::string& name, int levels) {
  std::string open, close;
  for (int i = 0; i < levels; ++i) open += "<" + name + ">", close += "</" + name + ">";
  return open + "x" + close;
}

void SetFirst(pugi::xml_document& doc, const char* xpath, const std::string& text) {
  pugi::xml_node n = doc.select_node(xpath).node();
  if (n) n.text().set(text.c_str());
}

}  // namespace

Seeds ValidateSeeds() {
  Seeds seeds;
  for (const char* name : {"BaselineList.xml", "Project.xml", "ExternalProjects.xml"})
    seeds.emplace_back(std::string("file-") + name, Section(name, BaseBaseline().at(name)));
  const std::string& list = BaseBaseline().at("BaselineList.xml");
  seeds.emplace_back("external-entity",
                     Section("BaselineList.xml",
                             "<?xml version=\"1.0\"?><!DOCTYPE PROJECT [<!ENTITY x SYSTEM "
                             "\"file:///etc/passwd\">]><PROJECT><Label>&x;</Label>"
                             "<BaselineType>Project</BaselineType></PROJECT>"));
  seeds.emplace_back("deep-label",
                     Section("BaselineList.xml", "<PROJECT><BaselineType>Project</BaselineType>" +
                                                     Deep("Label", 20000) + "</PROJECT>"));
  seeds.emplace_back("utf16-list",
                     Section("BaselineList.xml", "\xFF\xFE" + gen::Utf8ToUtf16Le(list)));
  seeds.emplace_back(
      "external-projects",
      Section("ExternalProjects.xml",
              "<PROJECT><P GUID=\"{A}\" Name=\"a\" Prefix=\"A\"/><P GUID=\"{A}\" Name=\"b\"/>"
              "<P/><P GUID=\"../x\" Name=\"&lt;&amp;'\"/></PROJECT>"));
  ArchiveSection link{"Project.xml", "", false, "../../../secret.xml"};
  seeds.emplace_back("link-outside", SerializeArchive({link}));
  seeds.emplace_back("case-names",
                     SerializeArchive({{"BaselineList.xml", "", true, ""},
                                       {"BASELINELIST.XML", list, false, ""},
                                       {"baselinelist.xml", "<PROJECT/>", false, ""}}));
  return seeds;
}

Seeds CreateRunSeeds() {
  Seeds seeds;
  for (const auto& [name, bytes] : BaseBaseline()) {
    std::string seedName;
    for (char c : name) seedName += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    seeds.emplace_back("file-" + seedName, Section(name, bytes));
  }
  const std::string root = RootPackageGuid();
  const std::string child = ChildPackageFile();
  seeds.emplace_back("package-cycle", Edited(child, [&](pugi::xml_document& doc) {
                       pugi::xml_node pkg = doc.select_node("//PROJECT/Pkg").node();
                       pugi::xml_node pkgs =
                           pkg.child("Pkgs") ? pkg.child("Pkgs") : pkg.append_child("Pkgs");
                       pkgs.append_child("Pkg").append_child("GUID").text().set(root.c_str());
                     }));
  seeds.emplace_back("escaping-document", Edited(child, [](pugi::xml_document& doc) {
                       SetFirst(doc, "//Doc/FileName",
                                "../../../../../../../../tmp/vl-fuzz-escape");
                     }));
  seeds.emplace_back(
      "escaping-package", Edited("PackageList.XML", [](pugi::xml_document& doc) {
        pugi::xml_node pkg = doc.select_node("//Pkg[@ParentID='0']").node();
        pkg.attribute("GUID").set_value("../../../../../../../../tmp/vl-fuzz-escape");
      }));
  seeds.emplace_back("duplicate-guid", Edited(child, [](pugi::xml_document& doc) {
                       pugi::xpath_node_set reqs = doc.select_nodes("//Req/GUID");
                       if (reqs.size() > 1) reqs[1].node().text().set(reqs[0].node().text().get());
                     }));
  seeds.emplace_back("special-texts", Edited(child, [](pugi::xml_document& doc) {
                       SetFirst(doc, "//Req/RText", "it's | ''x'' \x01\x1F \xCE\xA9 \xE6\x97\xA5");
                       SetFirst(doc, "//Req/RName", "   ");
                     }));
  seeds.emplace_back(
      "utf16-structure",
      Section("ProjectStructure.XML",
              "\xFF\xFE" + gen::Utf8ToUtf16Le(BaseBaseline().at("ProjectStructure.XML"))));
  seeds.emplace_back("cp1252-package", Section(child, gen::Utf8To1252(BaseBaseline().at(child))));
  seeds.emplace_back("lower-case-package",
                     SerializeArchive({{child, "", true, ""},
                                       {std::string(child).replace(child.size() - 4, 4, ".xml"),
                                        BaseBaseline().at(child), false, ""}}));
  for (const auto& [name, bytes] : BaseBaseline()) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".DOC") {
      seeds.emplace_back("document-linked-outside",
                         SerializeArchive({{name, "", false, "../../../secret.xml"}}));
      break;
    }
  }
  seeds.emplace_back("package-linked-outside",
                     SerializeArchive({{child, "", false, "../../../secret.xml"}}));
  seeds.emplace_back("document-is-folder", Edited(child, [](pugi::xml_document& doc) {
                       SetFirst(doc, "//Doc/FileName", "Project");
                       SetFirst(doc, "//Doc/FileExtension", "xml");
                     }));
  return seeds;
}

}  // namespace vl::fuzz
