// A generated baseline must be one the copier can read from end to end:
// well formed, traces recorded on both of their ends, the same for a seed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

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

// An internal trace is written on both ends with the same version and state.
TEST(GeneratedBaselineTest, EveryInternalTraceIsRecordedOnBothEnds) {
  TempFolder folder;
  const Summary summary = WriteBaseline(SmallOptions(), folder.Sub("bl"));
  const LoadedBaseline loaded(folder.Sub("bl"));
  EXPECT_TRUE(loaded.failures().empty()) << loaded.failures().front();
  std::map<std::string, pugi::xml_node> by_guid;
  for (const test::LoadedReq& r : loaded.requirements()) by_guid[r.guid] = r.node;
  int internal = 0;
  for (const test::LoadedReq& r : loaded.requirements()) {
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
  EXPECT_EQ(summary.internal_traces, internal);
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
