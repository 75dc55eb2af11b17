// Two generated baselines that refer to each other, the same files for the
// same seed, and the options the generator refuses.
#include <gtest/gtest.h>

#include <compare>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "gen-baseline/generator.h"
#include "tools/baseline_folder.h"

namespace vl::gen {
namespace {

using test::LoadedBaseline;
using TempFolder = vl::testing::ScratchFolder;

const char kGuidA[] = "{AAAAAAAA-0000-4000-8000-00000000000A}";
const char kGuidB[] = "{BBBBBBBB-0000-4000-8000-00000000000B}";

Options ProjectOptions(const char* guid, const char* name, uint64_t seed) {
  Options o;
  o.seed = seed;
  o.project_guid = guid;
  o.name = name;
  o.prefix = std::string(name).substr(0, 3);
  o.requirements = 30;
  o.packages = 3;
  o.query_defs = 2;
  return o;
}

struct CrossRef {
  std::string req, other;
  bool is_from;
  auto operator<=>(const CrossRef&) const = default;
};

std::set<CrossRef> CrossRefs(const LoadedBaseline& b, const std::string& ep) {
  std::set<CrossRef> out;
  for (const test::LoadedReq& r : b.requirements()) {
    for (const char* side : {"TTo", "TFrom"}) {
      for (pugi::xml_node t : r.node.child(side).children("TReq")) {
        if (ep == t.child_value("EPGUID"))
          out.insert({r.guid, t.child_value("TRID"), side[1] == 'F'});
      }
    }
  }
  return out;
}

// A refers to B and B to A: B is generated first (for its GUIDs), A points
// its traces and queries at B's requirements and types, then B is
// generated again from A and mirrors A's traces.
TEST(BaselinePairTest, TwoProjectsReferToEachOthersRealRequirements) {
  TempFolder folder;
  Options b = ProjectOptions(kGuidB, "Bravo", 2);
  WriteBaseline(b, folder.File("b0"));
  Options a = ProjectOptions(kGuidA, "Alpha", 1);
  a.cross_traces = 8;
  a.external_baseline = folder.File("b0");
  Summary sa = WriteBaseline(a, folder.File("a"));
  b.external_baseline = folder.File("a");
  Summary sb = WriteBaseline(b, folder.File("b"));
  EXPECT_EQ(8, sa.cross_traces);
  EXPECT_EQ(0, sb.cross_traces);
  EXPECT_EQ(8, sb.mirrored_traces);

  LoadedBaseline la(folder.File("a")), lb(folder.File("b"));
  // Each names its own project first, so that the other can recognise it.
  EXPECT_STREQ(kGuidA, la.Doc("ExternalProjects.xml").document_element().first_attribute().value());
  EXPECT_STREQ(kGuidB, lb.Doc("ExternalProjects.xml").document_element().first_attribute().value());
  EXPECT_TRUE(lb.Doc("ExternalProjects.xml")
                  .select_node((std::string("//ExternalProject[@GUID='") + kGuidA + "']").c_str()));

  std::set<std::string> b_reqs;
  for (const test::LoadedReq& r : lb.requirements()) b_reqs.insert(r.guid);
  std::set<CrossRef> mirrored;
  for (const CrossRef& ref : CrossRefs(la, kGuidB)) {
    EXPECT_EQ(1u, b_reqs.count(ref.other)) << "A's trace points at no requirement of B";
    mirrored.insert({ref.other, ref.req, !ref.is_from});
  }
  EXPECT_EQ(mirrored, CrossRefs(lb, kGuidA));

  // A's one external query definition names one of B's requirement types.
  const std::string types = test::ReadAllFiles(folder.File("b"))["ProjectStructure.XML"];
  const std::string scope = std::string("(") + kGuidB + ".";
  int external_queries = 0;
  for (const pugi::xpath_node& q : la.Doc("QueryDefs.XML").select_nodes("//QUERYSTRING")) {
    const std::string text = q.node().child_value();
    if (text.rfind(scope, 0) != 0) continue;
    ++external_queries;
    EXPECT_NE(types.find("<RequirementType ID=\"" + text.substr(scope.size(), 38) + "\""),
              std::string::npos)
        << text;
  }
  EXPECT_EQ(1, external_queries);
  // Regenerating A from B, which mirrors A's traces, gives the same files:
  // a mirrored trace equal to one of A's own is not written twice.
  a.external_baseline = folder.File("b");
  WriteBaseline(a, folder.File("a2"));
  EXPECT_EQ(test::ReadAllFiles(folder.File("a")), test::ReadAllFiles(folder.File("a2")));
}

TEST(GeneratorOptionsTest, SameSeedGivesIdenticalFilesAndAnotherSeedDoesNot) {
  TempFolder folder;
  WriteBaseline(ProjectOptions(kGuidA, "Alpha", 1), folder.File("a"));
  WriteBaseline(ProjectOptions(kGuidA, "Alpha", 1), folder.File("b"));
  WriteBaseline(ProjectOptions(kGuidA, "Alpha", 2), folder.File("c"));
  auto a = test::ReadAllFiles(folder.File("a"));
  EXPECT_EQ(a, test::ReadAllFiles(folder.File("b")));
  EXPECT_NE(a, test::ReadAllFiles(folder.File("c")));
}

TEST(GeneratorOptionsTest, UnusableOptionsAreRefused) {
  TempFolder folder;
  Options negative, orphan_traces, bad_guid, missing_other;
  negative.requirements = -1;
  orphan_traces.cross_traces = 2;  // no external project to point at
  bad_guid.project_guid = "{not-a-guid}";
  missing_other.external_baseline = folder.File("nowhere");
  for (const Options& o : {negative, orphan_traces, bad_guid, missing_other})
    EXPECT_ANY_THROW(WriteBaseline(o, folder.File("x")));
  ExternalProject p =
      ParseExternalProject("{aaaaaaaa-0000-4000-8000-00000000000a}:Name: with colon:PX");
  EXPECT_EQ(p.guid + "|" + p.name + "|" + p.prefix,
            "{AAAAAAAA-0000-4000-8000-00000000000A}|Name: with colon|PX");
  for (const char* bad : {"{AAAAAAAA-0000-4000-8000-00000000000A}:NoPrefix", "AAAA:Name:P"})
    EXPECT_THROW(ParseExternalProject(bad), std::invalid_argument) << bad;
}

}  // namespace
}  // namespace vl::gen
