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

class GeneratedBaselineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    summary_ = WriteBaseline(SmallOptions(), folder_.Sub("bl"));
    loaded_ = std::make_unique<LoadedBaseline>(folder_.Sub("bl"));
  }

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

}  // namespace
}  // namespace vl::gen
