// A generated baseline must be one the copier can read from end to end:
// every file well formed, every reference pointing at something that
// exists, traces recorded on both of their ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "gen-baseline/gen_random.h"
#include "gen-baseline/generator.h"
#include "tools/baseline_folder.h"

namespace vl::gen {
namespace {

using test::LoadedBaseline;
using test::TempFolder;

const char kOtherGuid[] = "{0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";

Options SmallOptions() {
  Options o;
  o.seed = 42;
  o.requirements = 60;
  o.packages = 6;
  o.depth = 3;
  o.docs_per_package = 2;
  o.views_per_package = 2;
  o.traces_per_req = 2;
  o.discussions = 4;
  o.query_defs = 5;
  o.long_text_every = 7;
  o.externals.push_back({kOtherGuid, "Other", "OTH"});
  o.cross_traces = 6;
  return o;
}

std::set<std::string> Values(const pugi::xml_document& doc, const char* xpath) {
  std::set<std::string> out;
  for (const pugi::xpath_node& n : doc.select_nodes(xpath)) {
    out.insert(n.attribute() ? n.attribute().value() : n.node().child_value());
  }
  return out;
}

class GeneratedBaselineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    summary_ = WriteBaseline(SmallOptions(), folder_.Sub("bl"));
    loaded_ = std::make_unique<LoadedBaseline>(folder_.Sub("bl"));
  }
  const pugi::xml_document& Structure() const { return loaded_->Doc("ProjectStructure.XML"); }

  TempFolder folder_;
  Summary summary_;
  std::unique_ptr<LoadedBaseline> loaded_;
};

TEST_F(GeneratedBaselineTest, EveryFileIsPresentAndWellFormed) {
  EXPECT_TRUE(loaded_->failures().empty()) << loaded_->failures().front();
  for (const char* name :
       {"BaselineList.xml", "Project.xml", "ProjectHistory.xml", "ExternalProjects.xml",
        "ProjectUserGroups.XML", "ProjectStructure.XML", "PackageList.XML", "QueryDefs.XML",
        "Discussions.XML", "Permissions.XML"}) {
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "bl" / name)) << name;
    EXPECT_TRUE(loaded_->Doc(name).document_element()) << name;
  }
  const pugi::xml_document& list = loaded_->Doc("BaselineList.xml");
  EXPECT_STREQ("Project", list.select_node("//BaselineType").node().child_value());
  EXPECT_EQ(summary_.project_guid, list.select_node("//PROJECT/GUID").node().child_value());
  for (const char* flag : {"IncludeTraces", "IncludeCPT", "IncludeDiscs", "IncludeHistory"}) {
    EXPECT_STREQ("1",
                 list.select_node(("//PROJECT/" + std::string(flag)).c_str()).node().child_value());
  }
  EXPECT_TRUE(loaded_->Doc("Project.xml").select_node("//Project[@Name and @Prefix]"));
}

TEST_F(GeneratedBaselineTest, PackageTreeReachesEveryPackageFileAndDocumentFile) {
  EXPECT_TRUE(loaded_->missing_packages().empty());
  std::set<std::string> listed = Values(loaded_->Doc("PackageList.XML"), "//PROJECT/Pkg/@GUID");
  std::set<std::string> walked(loaded_->packages().begin(), loaded_->packages().end());
  EXPECT_EQ(6u, walked.size());
  EXPECT_EQ(listed, walked);
  EXPECT_EQ(60u, loaded_->requirements().size());
  int documents = 0;
  for (const std::string& pkg : loaded_->packages()) {
    for (const pugi::xpath_node& d : loaded_->PackageDoc(pkg).select_nodes("//Docs/Doc")) {
      ++documents;
      std::filesystem::path file =
          folder_.path() / "bl" / (std::string(d.node().child_value("FileName")) + ".DOC");
      ASSERT_TRUE(std::filesystem::exists(file)) << file;
      EXPECT_EQ(std::filesystem::file_size(file), d.node().child("FileSize").text().as_ullong());
    }
  }
  EXPECT_EQ(12, documents);
}

TEST_F(GeneratedBaselineTest, ParentsComeFirstInTheirPackageAndBookmarksStayInIt) {
  std::map<std::string, const test::LoadedReq*> by_tag;
  for (const test::LoadedReq& r : loaded_->requirements()) {
    std::string prefix = r.node.child_value("RPre");
    if (!prefix.empty() && prefix.back() == '.') {
      auto parent = by_tag.find(prefix.substr(0, prefix.size() - 1));
      ASSERT_NE(by_tag.end(), parent) << "parent of " << prefix << " not read before it";
      EXPECT_EQ(parent->second->package_guid, r.package_guid);
      EXPECT_STREQ(parent->second->node.child_value("RTID"), r.node.child_value("RTID"));
    }
    EXPECT_TRUE(by_tag.emplace(prefix + r.node.child_value("Tag"), &r).second) << "tag used twice";
    std::string doc = r.node.child("RDInfo").child_value("BMDoc");
    if (!doc.empty()) {
      std::string xpath = "//Docs/Doc[GUID='" + doc + "']";
      EXPECT_TRUE(loaded_->PackageDoc(r.package_guid).select_node(xpath.c_str())) << doc;
    }
  }
}

// An internal trace is written on both ends with the same version and state.
TEST_F(GeneratedBaselineTest, EveryInternalTraceIsRecordedOnBothEnds) {
  std::map<std::string, pugi::xml_node> by_guid;
  for (const test::LoadedReq& r : loaded_->requirements()) by_guid[r.guid] = r.node;
  int internal = 0;
  for (const test::LoadedReq& r : loaded_->requirements()) {
    for (pugi::xml_node t : r.node.child("TTo").children("TReq")) {
      if (t.child("EPGUID")) continue;
      ++internal;
      auto other = by_guid.find(t.child_value("TRID"));
      ASSERT_NE(by_guid.end(), other);
      std::string back = "TFrom/TReq[TRID='" + r.guid + "' and not(EPGUID)]";
      pugi::xml_node mirror = other->second.select_node(back.c_str()).node();
      ASSERT_TRUE(mirror) << r.guid << " -> " << t.child_value("TRID");
      EXPECT_STREQ(t.child_value("TRVer"), mirror.child_value("TRVer"));
      EXPECT_STREQ(t.child_value("State"), mirror.child_value("State"));
      std::string tag =
          std::string(other->second.child_value("RPre")) + other->second.child_value("Tag");
      EXPECT_EQ(tag, t.child_value("TRTag"));
    }
    for (pugi::xml_node t : r.node.child("TFrom").children("TReq")) {
      if (t.child("EPGUID")) continue;
      auto other = by_guid.find(t.child_value("TRID"));
      ASSERT_NE(by_guid.end(), other);
      std::string back = "TTo/TReq[TRID='" + r.guid + "']";
      EXPECT_TRUE(other->second.select_node(back.c_str())) << "TFrom without TTo";
    }
  }
  EXPECT_EQ(summary_.internal_traces, internal);
  EXPECT_GT(internal, 60);
}

TEST_F(GeneratedBaselineTest, CrossTracesNameAListedExternalProjectInBothDirections) {
  std::set<std::string> externals =
      Values(loaded_->Doc("ExternalProjects.xml"), "//PROJECT/ExternalProject/@GUID");
  EXPECT_EQ(std::set<std::string>{kOtherGuid}, externals);
  int to = 0, from = 0;
  for (const test::LoadedReq& r : loaded_->requirements()) {
    for (pugi::xpath_node t : r.node.select_nodes("TTo/TReq[EPGUID] | TFrom/TReq[EPGUID]")) {
      EXPECT_EQ(1u, externals.count(t.node().child_value("EPGUID")));
      EXPECT_EQ(38u, std::string(t.node().child_value("TRID")).size());
      ++(std::string(t.parent().name()) == "TTo" ? to : from);
    }
  }
  EXPECT_EQ(3, to);
  EXPECT_EQ(3, from);
}

// Every GUID the other files use for attributes, list items, requirement
// and document types is defined in ProjectStructure.XML, and values fit
// their attribute.
TEST_F(GeneratedBaselineTest, StructureGuidsReferencedElsewhereExist) {
  std::set<std::string> attrs = Values(Structure(), "/PROJECT/Attributes/Attribute/@ID");
  std::set<std::string> items = Values(Structure(), "//ListItem/@ID");
  std::set<std::string> types = Values(Structure(), "//RequirementType/@ID");
  std::set<std::string> doc_types = Values(Structure(), "//DocumentType/@ID");
  const pugi::xml_document& perms = loaded_->Doc("Permissions.XML");
  for (const std::string& id : Values(perms, "//DocumentTypeRight/@ID"))
    EXPECT_EQ(1u, doc_types.count(id));
  for (const std::string& id : Values(perms, "//RequirementTypeRight/@ID"))
    EXPECT_EQ(1u, types.count(id));
  for (const std::string& id : Values(perms, "//AttributeRight/@ID"))
    EXPECT_EQ(1u, attrs.count(id));
  for (const std::string& id : Values(perms, "//ListItemRight/@ID")) EXPECT_EQ(1u, items.count(id));
  for (const std::string& id : Values(Structure(), "//RequirementType/Attributes/Attribute/@ID")) {
    EXPECT_EQ(1u, attrs.count(id));
  }
  for (const test::LoadedReq& r : loaded_->requirements()) {
    std::string type = r.node.child_value("RTID");
    ASSERT_EQ(1u, types.count(type));
    std::string type_attrs = "//RequirementType[@ID='" + type + "']/Attributes/Attribute/@ID";
    std::set<std::string> allowed = Values(Structure(), type_attrs.c_str());
    for (pugi::xml_node lv : r.node.child("LVs").children("LV")) {
      std::string item = "/PROJECT/Attributes/Attribute[@ID='" +
                         std::string(lv.child_value("UDF")) + "']/ListItems/ListItem[@ID='" +
                         lv.child_value("LGUID") + "']";
      EXPECT_TRUE(Structure().select_node(item.c_str())) << "list item not of its attribute";
      EXPECT_EQ(1u, allowed.count(lv.child_value("UDF")));
    }
    for (pugi::xml_node fv : r.node.child("FVs").children("FV")) {
      EXPECT_EQ(1u, allowed.count(fv.child_value("FGUID")));
    }
  }
}

// Query strings follow the grammar the query services parse, and name the
// project's own types, attributes and list items (or an external project).
TEST_F(GeneratedBaselineTest, QueryStringsFollowTheGrammarAndNameKnownObjects) {
  const std::string guid = "\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}";
  const std::string value = "('([^']|'')*'|-?[0-9]+(\\.[0-9]+)?|" + guid + ")";
  const std::string condition = guid + " (=|<>|<|>|<=|>=|CONTAINS) " + value;
  const std::regex grammar("\\((" + guid + "\\.)?" + guid + "\\)( WHERE " + condition +
                           "(( AND | OR )" + condition + ")*)?");
  std::set<std::string> known = Values(Structure(), "//@ID");
  known.insert(kOtherGuid);
  const std::regex any_guid(guid);
  int external = 0;
  for (const pugi::xpath_node& q :
       loaded_->Doc("QueryDefs.XML").select_nodes("/PROJECT/QUERYDEFS/QUERYDEF")) {
    std::string text = q.node().child_value("QUERYSTRING");
    EXPECT_TRUE(std::regex_match(text, grammar)) << text;
    bool is_external = text.rfind(std::string("(") + kOtherGuid + ".", 0) == 0;
    external += is_external;
    if (is_external) continue;  // the other project's types are its own
    for (std::sregex_iterator m(text.begin(), text.end(), any_guid), end; m != end; ++m) {
      EXPECT_EQ(1u, known.count(m->str())) << text;
    }
  }
  EXPECT_EQ(1, external);
  EXPECT_EQ(6, summary_.query_defs);
}

TEST_F(GeneratedBaselineTest, UsersGroupsQueriesAndRequirementsReferencedExist) {
  const pugi::xml_document& users_doc = loaded_->Doc("ProjectUserGroups.XML");
  std::set<std::string> users = Values(users_doc, "//User/@ID");
  std::set<std::string> groups = Values(users_doc, "//Group/@ID");
  std::set<std::string> queries = Values(loaded_->Doc("QueryDefs.XML"), "//QUERYDEF/@ID");
  std::set<std::string> reqs;
  for (const test::LoadedReq& r : loaded_->requirements()) reqs.insert(r.guid);
  for (const std::string& g : Values(loaded_->Doc("Permissions.XML"), "//Groups/Group/@ID"))
    EXPECT_EQ(1u, groups.count(g));
  const pugi::xml_document& disc = loaded_->Doc("Discussions.XML");
  for (const std::string& u : Values(disc, "//AID | //DUID")) EXPECT_EQ(1u, users.count(u));
  for (const std::string& g : Values(disc, "//DGID")) EXPECT_EQ(1u, groups.count(g));
  for (const std::string& r : Values(disc, "//DiscReq/GUID")) EXPECT_EQ(1u, reqs.count(r));
  EXPECT_TRUE(disc.select_node("//Disc/Replies/Disc/Replies/Disc")) << "no reply at depth 3";
  for (const std::string& u : Values(loaded_->Doc("QueryDefs.XML"), "//@queryuserid"))
    EXPECT_EQ(1u, users.count(u));
  for (const std::string& pkg : loaded_->packages()) {
    const pugi::xml_document& doc = loaded_->PackageDoc(pkg);
    for (const std::string& u : Values(doc, "//VUGUID | //ViewUserGUID"))
      EXPECT_EQ(1u, users.count(u));
    for (const std::string& q : Values(doc, "//ViewQueryDefGUID")) EXPECT_EQ(1u, queries.count(q));
    for (const std::string& q : Values(doc, "//SecQueryID[text()]"))
      EXPECT_EQ(1u, queries.count(q));
  }
  EXPECT_EQ(12, summary_.views);
}

TEST_F(GeneratedBaselineTest, EveryNthRequirementCarriesTextsOverTheOverflowSizes) {
  int long_texts = 0;
  for (const test::LoadedReq& r : loaded_->requirements()) {
    size_t chars = CountChars(r.node.child_value("RText"));
    if (chars <= 2000) {
      EXPECT_EQ(80u, chars);
      continue;
    }
    ++long_texts;
    std::string reason = r.node.select_node("History/RVer[last()]/VResn").node().child_value();
    EXPECT_GT(CountChars(reason), 255u);
    for (pugi::xml_node fv : r.node.child("FVs").children("FV")) {
      std::string text = fv.child_value("FTxt");
      if (text.find_first_not_of("0123456789.") != std::string::npos) {
        EXPECT_GT(CountChars(text), 255u);
      }
    }
  }
  EXPECT_EQ(60 / 7, long_texts);
}

// The project's current version is the last of its history, and the
// baseline's time stamp comes after every date in it.
TEST_F(GeneratedBaselineTest, DatesPrecedeTheTimeStampAndTheProjectVersionIsTheLast) {
  pugi::xml_node project = loaded_->Doc("Project.xml").document_element();
  pugi::xml_node last =
      loaded_->Doc("ProjectHistory.xml").select_node("/PROJECT/History/RVer[last()]").node();
  EXPECT_STREQ(last.child_value("VNum"), project.attribute("VersionNumber").value());
  EXPECT_STREQ(last.child_value("VDate"), project.attribute("VersionDateTime").value());
  EXPECT_STREQ(last.child_value("VResn"), project.attribute("VersionReason").value());
  std::string stamp =
      loaded_->Doc("BaselineList.xml").select_node("//TimeStamp").node().child_value();
  std::vector<std::string> dates = {project.attribute("VersionDateTime").value()};
  auto collect = [&](const pugi::xml_document& doc, const char* xpath) {
    for (const std::string& d : Values(doc, xpath)) dates.push_back(d);
  };
  collect(loaded_->Doc("Discussions.XML"), "//Date");
  collect(loaded_->Doc("QueryDefs.XML"), "//@querydatetime");
  for (const std::string& pkg : loaded_->packages()) {
    collect(loaded_->PackageDoc(pkg), "//VDate | //FileDateTime | //ViewDateTime");
  }
  EXPECT_GT(dates.size(), 100u);
  for (const std::string& d : dates) {
    EXPECT_EQ(19u, d.size()) << d;
    EXPECT_LT(d, stamp);  // "yyyy-mm-dd hh:mm:ss" sorts as it reads
  }
}

TEST(GenerateBaselineTest, SameSeedGivesIdenticalFilesAndAnotherSeedDoesNot) {
  TempFolder folder;
  WriteBaseline(SmallOptions(), folder.Sub("a"));
  WriteBaseline(SmallOptions(), folder.Sub("b"));
  Options other = SmallOptions();
  other.seed = 43;
  WriteBaseline(other, folder.Sub("c"));
  auto a = test::ReadAllFiles(folder.Sub("a"));
  EXPECT_EQ(a, test::ReadAllFiles(folder.Sub("b")));
  EXPECT_NE(a, test::ReadAllFiles(folder.Sub("c")));
}

TEST(GenerateBaselineTest, WithoutOptionalContentTheFlagsAreOffAndFilesStillPresent) {
  TempFolder folder;
  Options o;
  o.requirements = 1;
  o.packages = 1;
  o.history_versions = 0;
  o.traces_per_req = 0;
  o.discussions = 0;
  o.query_defs = 0;
  o.docs_per_package = 0;
  Summary s = WriteBaseline(o, folder.Sub("bl"));
  LoadedBaseline loaded(folder.Sub("bl"));
  EXPECT_TRUE(loaded.failures().empty());
  const pugi::xml_document& list = loaded.Doc("BaselineList.xml");
  for (const char* flag : {"IncludeTraces", "IncludeCPT", "IncludeDiscs", "IncludeHistory"}) {
    EXPECT_STREQ("0",
                 list.select_node(("//PROJECT/" + std::string(flag)).c_str()).node().child_value());
  }
  EXPECT_EQ(0, s.views);  // a view needs a query definition
  EXPECT_TRUE(loaded.Doc("Discussions.XML").select_node("/PROJECT/Discs"));
  EXPECT_TRUE(loaded.Doc("ProjectHistory.xml").select_node("/PROJECT/History/RVer"));
  ASSERT_EQ(1u, loaded.requirements().size());
  EXPECT_FALSE(loaded.requirements()[0].node.child("History"));
}

}  // namespace
}  // namespace vl::gen
