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

#include "baseline/check/baseline_check.h"
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
  // Every reference resolves the way the run reads the files: the deep
  // check finds nothing that would stop a run or lose data.
  const BaselineCheckResult checked = CheckBaseline(CheckInputOf(info, false));
  EXPECT_FALSE(checked.problems.StopsRun());
  EXPECT_FALSE(checked.problems.LosesData());
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

}  // namespace
}  // namespace vl::testing
