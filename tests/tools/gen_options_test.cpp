// Two baselines that refer to each other, the file forms a baseline from
// another system may take, and the options the generator refuses.
#include <gtest/gtest.h>

#include <compare>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <stdexcept>

#include "gen-baseline/generator.h"
#include "gen-baseline/text_encoding.h"
#include "gen-baseline/xml_writer.h"
#include "tools/baseline_folder.h"

namespace vl::gen {
namespace {

using test::LoadedBaseline;
using test::TempFolder;

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
  WriteBaseline(b, folder.Sub("b0"));
  Options a = ProjectOptions(kGuidA, "Alpha", 1);
  a.cross_traces = 8;
  a.external_baseline = folder.Sub("b0");
  Summary sa = WriteBaseline(a, folder.Sub("a"));
  b.external_baseline = folder.Sub("a");
  Summary sb = WriteBaseline(b, folder.Sub("b"));
  EXPECT_EQ(8, sa.cross_traces);
  EXPECT_EQ(0, sb.cross_traces);
  EXPECT_EQ(8, sb.mirrored_traces);

  LoadedBaseline la(folder.Sub("a")), lb(folder.Sub("b"));
  EXPECT_TRUE(
      la.Doc("ExternalProjects.xml")
          .select_node((std::string("//ExternalProject[@GUID='") + kGuidB + "' and @Name='Bravo']")
                           .c_str()));
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

  // A's external query definition names one of B's requirement types.
  std::set<std::string> b_types;
  for (const pugi::xpath_node& t :
       lb.Doc("ProjectStructure.XML").select_nodes("//RequirementType/@ID")) {
    b_types.insert(t.attribute().value());
  }
  std::string scope = std::string("(") + kGuidB + ".";
  int external_queries = 0;
  for (const pugi::xpath_node& q : la.Doc("QueryDefs.XML").select_nodes("//QUERYSTRING")) {
    std::string text = q.node().child_value();
    if (text.rfind(scope, 0) != 0) continue;
    ++external_queries;
    EXPECT_EQ(1u, b_types.count(text.substr(scope.size(), 38))) << text;
    std::string view =
        "//View[ViewQueryDefGUID='" + std::string(q.parent().attribute("ID").value()) + "']";
    bool used = false;
    for (const std::string& pkg : la.packages())
      used |= bool(la.PackageDoc(pkg).select_node(view.c_str()));
    EXPECT_TRUE(used) << "no view uses the external query definition";
  }
  EXPECT_EQ(1, external_queries);
  // Regenerating A from B, which mirrors A's traces, gives the same files:
  // a mirrored trace equal to one of A's own is not written twice.
  a.external_baseline = folder.Sub("b");
  WriteBaseline(a, folder.Sub("a2"));
  EXPECT_EQ(test::ReadAllFiles(folder.Sub("a")), test::ReadAllFiles(folder.Sub("a2")));
}

// The same baseline in UTF-16, windows-1252 or UTF-8 reads back to the same
// texts; names may be spelt in lower case; dates may take the ISO or US form.
TEST(BaselineFormsTest, EncodingsFileCaseAndDateStylesReadBackAlike) {
  TempFolder folder;
  Options o = ProjectOptions(kGuidA, "Alpha", 5);
  WriteBaseline(o, folder.Sub("utf8"));
  o.encoding = FileEncoding::kUtf16;
  WriteBaseline(o, folder.Sub("utf16"));
  o.encoding = FileEncoding::kWindows1252;
  o.file_case = FileNameCase::kLower;
  o.date_style = DateStyle::kUs;
  WriteBaseline(o, folder.Sub("cp1252"));
  LoadedBaseline u8(folder.Sub("utf8")), u16(folder.Sub("utf16")), w(folder.Sub("cp1252"));
  EXPECT_TRUE(u16.failures().empty());
  EXPECT_TRUE(w.failures().empty());
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "cp1252" / "projectstructure.xml"));
  ASSERT_EQ(u8.requirements().size(), u16.requirements().size());
  ASSERT_EQ(u8.requirements().size(), w.requirements().size());
  for (size_t i = 0; i < u8.requirements().size(); ++i) {
    std::string text = u8.requirements()[i].node.child_value("RText");
    EXPECT_EQ(text, u16.requirements()[i].node.child_value("RText"));
    EXPECT_EQ(text, w.requirements()[i].node.child_value("RText"));
  }
  std::string plain = u8.Doc("BaselineList.xml").select_node("//TimeStamp").node().child_value();
  std::string us = w.Doc("BaselineList.xml").select_node("//TimeStamp").node().child_value();
  EXPECT_TRUE(std::regex_match(plain, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d")))
      << plain;
  EXPECT_TRUE(
      std::regex_match(us, std::regex("\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M")))
      << us;

  // A baseline read as the other side of a pair may use any of these forms.
  Options b = ProjectOptions(kGuidB, "Bravo", 6);
  b.cross_traces = 2;
  b.external_baseline = folder.Sub("cp1252");
  EXPECT_EQ(2, WriteBaseline(b, folder.Sub("b")).cross_traces);
}

TEST(GeneratorOptionsTest, UnusableOptionsAreRefused) {
  TempFolder folder;
  Options negative;
  negative.requirements = -1;
  EXPECT_THROW(WriteBaseline(negative, folder.Sub("x")), std::invalid_argument);
  Options orphan_traces;
  orphan_traces.cross_traces = 2;  // no external project to point at
  EXPECT_THROW(WriteBaseline(orphan_traces, folder.Sub("x")), std::invalid_argument);
  Options bad_guid;
  bad_guid.project_guid = "{not-a-guid}";
  EXPECT_THROW(WriteBaseline(bad_guid, folder.Sub("x")), std::invalid_argument);
  Options missing_other;
  missing_other.external_baseline = folder.Sub("nowhere");
  EXPECT_THROW(WriteBaseline(missing_other, folder.Sub("x")), std::runtime_error);

  ExternalProject p =
      ParseExternalProject("{aaaaaaaa-0000-4000-8000-00000000000a}:Name: with colon:PX");
  EXPECT_EQ("{AAAAAAAA-0000-4000-8000-00000000000A}", p.guid);
  EXPECT_EQ("Name: with colon", p.name);
  EXPECT_EQ("PX", p.prefix);
  EXPECT_THROW(ParseExternalProject("{AAAAAAAA-0000-4000-8000-00000000000A}:NoPrefix"),
               std::invalid_argument);
  EXPECT_THROW(ParseExternalProject("AAAA:Name:P"), std::invalid_argument);
}

}  // namespace
}  // namespace vl::gen
