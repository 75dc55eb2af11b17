// The sample baseline shipped in examples/: it must validate, every file it
// refers to must be there, and every GUID it refers to must be defined
// where (and before) a copy run looks for it.
#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <pugixml.hpp>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "baseline_fixture.h"

namespace vl::testing {
namespace {

const fs::path kSample = fs::path(VL_SOURCE_DIR) / "examples" / "sample-baseline";

using GuidSet = std::set<std::string>;

// The values of `attr` (or, with attr empty, the texts) of every node
// matching `xpath` below `node`, in document order.
std::vector<std::string> Values(const pugi::xml_node& node, const char* xpath,
                                const char* attr = "") {
  std::vector<std::string> out;
  for (const pugi::xpath_node& n : node.select_nodes(xpath))
    out.push_back(*attr ? n.node().attribute(attr).value() : n.node().text().get());
  return out;
}

GuidSet Collect(const pugi::xml_node& node, const char* xpath, const char* attr = "") {
  std::vector<std::string> v = Values(node, xpath, attr);
  return GuidSet(v.begin(), v.end());
}

class SampleBaselineTest : public BaselineTest {
 protected:
  // Loads a file of the sample once; a missing or broken file fails the test.
  const pugi::xml_document& Load(const std::string& name) {
    auto [it, fresh] = docs_.try_emplace(name);
    if (fresh) {
      pugi::xml_parse_result r = it->second.load_file((kSample / name).c_str());
      EXPECT_TRUE(r) << name << ": " << r.description();
    }
    return it->second;
  }

  // The package files in the order a copy run visits them (depth first,
  // parent before children), starting at the root of PackageList.XML.
  std::vector<std::string> PackageFilesInCopyOrder() {
    std::vector<std::string> files;
    std::function<void(const std::string&)> walk = [&](const std::string& guid) {
      files.push_back(guid + ".XML");
      if (files.size() > 20) return;  // a cycle; reported by the caller
      pugi::xml_node pkg = Load(files.back()).select_node("//PROJECT/Pkg").node();
      for (const std::string& child : Values(pkg, "Pkgs//Pkg/GUID")) walk(child);
    };
    walk(Load("PackageList.XML")
             .select_node("//PROJECT/Pkg[@ParentID='0']")
             .node()
             .attribute("GUID")
             .value());
    return files;
  }

  static void ExpectDefined(const std::vector<std::string>& refs, const GuidSet& defined,
                            const std::string& what) {
    for (const std::string& r : refs) EXPECT_TRUE(defined.count(r)) << what << " " << r;
  }

  std::map<std::string, pugi::xml_document> docs_;
};

TEST_F(SampleBaselineTest, Validates) {
  ASSERT_TRUE(goBLProjInfo->ValidateBLProj(kSample.string()))
      << ::testing::PrintToString(sink_.infos);
  const BLProjInfo& info = *goBLProjInfo;
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(info.VLPName(), "Brewmate");
  EXPECT_EQ(info.BLXMLLabel(), "Brewmate 1.0 release");
  EXPECT_TRUE(info.isBLXMLContainsTraces() && info.isBLXMLContainsExtTraces() &&
              info.isBLXMLContainsDisc() && info.isBLXMLContainsHist());
  ASSERT_EQ(info.colExtProjs().Count(), 1u);
  EXPECT_EQ(info.colExtProjs().Find(info.colExtProjs().Keys()[0])->Prefix, "SVC");
}

TEST_F(SampleBaselineTest, PackageTreeAndDocumentFilesArePresent) {
  std::vector<std::string> files = PackageFilesInCopyOrder();
  ASSERT_EQ(files.size(), 4u);
  GuidSet listed = Collect(Load("PackageList.XML"), "//PROJECT/Pkg", "GUID");
  int docs = 0, reqs = 0;
  for (const std::string& file : files) {
    ASSERT_TRUE(fs::is_regular_file(kSample / file)) << file;  // exact name, braces included
    EXPECT_TRUE(listed.count(file.substr(0, file.size() - 4))) << file;
    pugi::xml_node pkg = Load(file).select_node("//PROJECT/Pkg").node();
    ASSERT_TRUE(pkg) << file;
    EXPECT_STRNE(pkg.child_value("PkgName"), "") << file;
    for (const pugi::xpath_node& d : pkg.select_nodes("Docs//Doc")) {
      ++docs;
      fs::path doc_file = kSample / (std::string(d.node().child_value("FileName")) + ".DOC");
      ASSERT_TRUE(fs::is_regular_file(doc_file)) << doc_file;
      EXPECT_EQ(std::to_string(fs::file_size(doc_file)), d.node().child_value("FileSize"));
    }
    reqs += static_cast<int>(pkg.select_nodes("Requirements//Req").size());
  }
  EXPECT_EQ(GuidSet(files.begin(), files.end()).size(), listed.size());
  EXPECT_EQ(docs, 2);
  EXPECT_EQ(reqs, 10);
}

TEST_F(SampleBaselineTest, GuidsAreBracedUpperCaseAndDefinedOnce) {
  const std::regex guid(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");
  const std::regex braced(R"(\{[^}]*\})");
  for (const auto& entry : fs::directory_iterator(kSample)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::sregex_iterator it(text.begin(), text.end(), braced), end; it != end; ++it)
      EXPECT_TRUE(std::regex_match(it->str(), guid)) << entry.path() << ": " << it->str();
  }
  std::vector<std::string> defs;
  auto add = [&](const std::vector<std::string>& v) {
    defs.insert(defs.end(), v.begin(), v.end());
  };
  const pugi::xml_document& users = Load("ProjectUserGroups.XML");
  const pugi::xml_document& stru = Load("ProjectStructure.XML");
  add(Values(users, "//Group", "ID"));
  add(Values(users, "//User", "ID"));
  add(Values(stru, "/PROJECT/Attributes/Attribute", "ID"));
  add(Values(stru, "//ListItem", "ID"));
  add(Values(stru, "//RequirementType", "ID"));
  add(Values(stru, "//DocumentType", "ID"));
  add(Values(Load("QueryDefs.XML"), "//QUERYDEF", "ID"));
  add(Values(Load("ExternalProjects.xml"), "//PROJECT/*", "GUID"));
  add(Values(Load("BaselineList.xml"), "//PROJECT/GUID"));
  for (const std::string& file : PackageFilesInCopyOrder()) {
    add({file.substr(0, file.size() - 4)});
    add(Values(Load(file), "//Doc/GUID | //View/GUID | //Req/GUID"));
  }
  GuidSet unique(defs.begin(), defs.end());
  EXPECT_EQ(unique.size(), defs.size()) << "a GUID names two objects";
  EXPECT_EQ(defs.size(), 52u);
}

TEST_F(SampleBaselineTest, EveryReferenceIsDefinedBeforeItIsUsed) {
  const pugi::xml_document& users = Load("ProjectUserGroups.XML");
  const pugi::xml_document& stru = Load("ProjectStructure.XML");
  const GuidSet user_ids = Collect(users, "//User", "ID");
  const GuidSet group_ids = Collect(users, "//Group", "ID");
  const GuidSet attr_ids = Collect(stru, "/PROJECT/Attributes/Attribute", "ID");
  const GuidSet item_ids = Collect(stru, "//ListItem", "ID");
  const GuidSet type_ids = Collect(stru, "//RequirementType", "ID");
  const GuidSet doc_type_ids = Collect(stru, "//DocumentType", "ID");
  const GuidSet ext_ids = Collect(Load("ExternalProjects.xml"), "//PROJECT/*", "GUID");
  const GuidSet query_ids = Collect(Load("QueryDefs.XML"), "//QUERYDEF", "ID");

  ExpectDefined(Values(users, "//User", "GroupName"), Collect(users, "//Group", "NAME"), "group");
  ExpectDefined(Values(stru, "//RequirementType/Attributes/Attribute", "ID"), attr_ids, "attr");
  ExpectDefined(Values(stru, "//DocumentType", "DefaultRequirementTypeGUID"), type_ids, "type");
  ExpectDefined(Values(Load("ProjectHistory.xml"), "//RVer/VUGUID"), user_ids, "history user");

  // Requirements: everything they name, and parents and bookmark documents
  // that come earlier in the copy order.
  GuidSet docs_so_far, req_ids, tags_so_far;
  std::vector<std::pair<std::string, std::string>> to_traces, from_traces;
  for (const std::string& file : PackageFilesInCopyOrder()) {
    pugi::xml_node pkg = Load(file).select_node("//PROJECT/Pkg").node();
    ExpectDefined(Values(pkg, "Docs//Doc/DocTypeGUID"), doc_type_ids, "doc type");
    for (const std::string& d : Values(pkg, "Docs//Doc/GUID")) docs_so_far.insert(d);
    ExpectDefined(Values(pkg, "Docs//Doc//RVer/VUGUID"), user_ids, "doc history user");
    for (const pugi::xpath_node& n : pkg.select_nodes("Requirements//Req")) {
      pugi::xml_node req = n.node();
      std::string guid = req.child_value("GUID"), pre = req.child_value("RPre");
      req_ids.insert(guid);
      ExpectDefined({req.child_value("RTID")}, type_ids, "req type");
      ExpectDefined({req.child("RDInfo").child_value("BMDoc")}, docs_so_far, "bookmark doc");
      ExpectDefined(Values(req, ".//LV/UDF | .//FV/FGUID"), attr_ids, "value attr");
      ExpectDefined(Values(req, ".//LV/LGUID"), item_ids, "list value");
      ExpectDefined(Values(req, "History/RVer/VUGUID"), user_ids, "req history user");
      ExpectDefined(Values(req, ".//TReq/EPGUID"), ext_ids, "external project");
      if (!pre.empty() && pre.back() == '.') {
        EXPECT_TRUE(tags_so_far.count(pre.substr(0, pre.size() - 1))) << "parent of " << pre;
      }
      tags_so_far.insert(pre + req.child_value("Tag"));
      for (const std::string& to : Values(req, "TTo/TReq[not(EPGUID)]/TRID"))
        to_traces.emplace_back(guid, to);
      for (const std::string& from : Values(req, "TFrom/TReq[not(EPGUID)]/TRID"))
        from_traces.emplace_back(from, guid);
    }
  }
  for (const auto& [from, to] : to_traces) EXPECT_TRUE(req_ids.count(to)) << to;
  std::sort(to_traces.begin(), to_traces.end());
  std::sort(from_traces.begin(), from_traces.end());
  EXPECT_EQ(to_traces, from_traces) << "each trace is written on both of its ends";

  const pugi::xml_document& root_pkg = Load(PackageFilesInCopyOrder()[0]);
  ExpectDefined(Values(root_pkg, "//View/ReqTypeID | //View/SecReqTypeID[text()]"), type_ids,
                "view type");
  ExpectDefined(Values(root_pkg, "//View/ViewQueryDefGUID | //View/SecQueryID[text()]"), query_ids,
                "view query");
  ExpectDefined(Values(root_pkg, "//View/ViewUserGUID"), user_ids, "view user");

  const pugi::xml_document& queries = Load("QueryDefs.XML");
  ExpectDefined(Values(queries, "//QUERYDEF", "queryuserid"), user_ids, "query user");
  GuidSet structure = type_ids;
  structure.insert(attr_ids.begin(), attr_ids.end());
  structure.insert(item_ids.begin(), item_ids.end());
  const std::regex guid_in_query(R"(\{[^}]*\})");
  for (const std::string& q : Values(queries, "//QUERYDEF/QUERYSTRING"))
    for (std::sregex_iterator it(q.begin(), q.end(), guid_in_query), end; it != end; ++it)
      EXPECT_TRUE(structure.count(it->str())) << q;

  const pugi::xml_document& discs = Load("Discussions.XML");
  ExpectDefined(Values(discs, "//Disc/AID | //DUsr/DUID"), user_ids, "discussion user");
  ExpectDefined(Values(discs, "//DGroup/DGID"), group_ids, "discussion group");
  ExpectDefined(Values(discs, "//DiscReq/GUID"), req_ids, "discussion requirement");
  EXPECT_EQ(discs.select_nodes("//Disc/Replies/Disc/Replies/Disc").size(), 1u);

  const pugi::xml_document& rights = Load("Permissions.XML");
  ASSERT_TRUE(rights.select_node("//Project"));
  ExpectDefined(Values(rights, "//Groups/Group", "ID"), group_ids, "rights group");
  ExpectDefined(Values(rights, "//DocumentTypeRight", "ID"), doc_type_ids, "rights doc type");
  ExpectDefined(Values(rights, "//RequirementTypeRight", "ID"), type_ids, "rights type");
  ExpectDefined(Values(rights, "//AttributeRight", "ID"), attr_ids, "rights attr");
  ExpectDefined(Values(rights, "//ListItemRight", "ID"), item_ids, "rights item");
  // The copier requires every section element, even when it is empty.
  EXPECT_EQ(
      rights.select_nodes("//Group[not(DocumentTypeRights) or not(RequirementTypeRights)]").size(),
      0u);
  EXPECT_EQ(rights.select_nodes("//RequirementTypeRight[not(AttributeRights)]").size(), 0u);
  EXPECT_EQ(rights.select_nodes("//AttributeRight[not(ListItemRights)]").size(), 0u);
}

}  // namespace
}  // namespace vl::testing
