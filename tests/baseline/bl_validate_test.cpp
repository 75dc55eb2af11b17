// Validation of baseline folders: which files must be there, what the
// descriptor reads from them and which messages a bad baseline gives.
#include <string>

#include "baseline_fixture.h"

namespace vl::testing {
namespace {

constexpr const char* kGoodList = R"(<?xml version="1.0"?>
<PROJECT>
  <BaselineType>Project</BaselineType>
  <Baseline>
    <Label>Release 2</Label>
    <TimeStamp>2024-03-01 10:15:00</TimeStamp>
    <BaselineDesc>Frozen for the audit</BaselineDesc>
    <GUID>{0A1B2C3D-0000-4000-8000-000000000001}</GUID>
  </Baseline>
  <IncludeTraces>1</IncludeTraces>
  <IncludeCPT>0</IncludeCPT>
  <IncludeDiscs>1</IncludeDiscs>
  <IncludeHistory>1</IncludeHistory>
</PROJECT>)";

constexpr const char* kGoodProject =
    R"(<?xml version="1.0"?><PROJECT><Project Name="Alpha" Description="First product"/></PROJECT>)";

constexpr const char* kNoExternals = R"(<?xml version="1.0"?><PROJECT/>)";

class ValidateBLProjTest : public BaselineTest {
 protected:
  // A baseline folder under the temporary root holding the given files; a
  // null text leaves that file out.
  fs::path MakeBaseline(const std::string& name, const char* list, const char* project,
                        const char* externals) {
    fs::path folder = root_ / name;
    fs::create_directories(folder);
    if (list) WriteFile(folder / "BaselineList.xml", list);
    if (project) WriteFile(folder / "Project.xml", project);
    if (externals) WriteFile(folder / "ExternalProjects.xml", externals);
    return folder;
  }

  // A BaselineList.xml with the given type and flag texts.
  static std::string ListWith(const std::string& type, const std::string& traces,
                              const std::string& cpt, const std::string& history) {
    return "<PROJECT><BaselineType>" + type + "</BaselineType><IncludeTraces>" + traces +
           "</IncludeTraces><IncludeCPT>" + cpt + "</IncludeCPT><IncludeHistory>" + history +
           "</IncludeHistory></PROJECT>";
  }

  bool Validate(const fs::path& folder) { return goBLProjInfo->ValidateBLProj(folder.string()); }
};

TEST_F(ValidateBLProjTest, GoodBaselineFillsTheDescriptor) {
  fs::path folder = MakeBaseline("good", kGoodList, kGoodProject, kNoExternals);
  // Without an installation the folder is the name below the root.
  ASSERT_TRUE(Validate(folder));
  EXPECT_EQ(goBLProjInfo->CompleteVLPPathName(), "/Alpha/Alpha");
  SetInstallDir("/opt/velloq");
  ASSERT_TRUE(Validate(folder));
  const BLProjInfo& info = *goBLProjInfo;
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(info.BLXMLLabel() + "|" + info.BLXMLTimestamp() + "|" + info.BLXMLDesc() + "|" +
                info.BLXMLGUID() + "|" + info.VLPName() + "|" + info.VLPDesc(),
            "Release 2|2024-03-01 10:15:00|Frozen for the audit|"
            "{0A1B2C3D-0000-4000-8000-000000000001}|Alpha|First product");
  EXPECT_TRUE(info.isBLXMLContainsTraces() && info.isBLXMLContainsDisc() &&
              info.isBLXMLContainsHist());
  EXPECT_EQ(info.CompleteVLPPathName(), "/opt/velloq/Projects/Alpha/Alpha");
  // File names may differ in letter case.
  fs::path upper = root_ / "upper";
  WriteFile(upper / "BASELINELIST.XML", ListWith("project", "0", "0", "0"));
  WriteFile(upper / "project.XML", kGoodProject);
  WriteFile(upper / "externalprojects.xml", kNoExternals);
  EXPECT_TRUE(Validate(upper));
}

// Files are tested in order, each reader runs and reports; a bad baseline
// keeps the last good folder.
TEST_F(ValidateBLProjTest, ABadBaselineSaysWhyAndKeepsTheLastGoodFolder) {
  const std::string other = ListWith("Requirement", "0", "0", "0");
  const char *L = kGoodList, *P = kGoodProject, *E = kNoExternals;
  const struct {
    const char *list, *project, *externals;
    std::vector<std::string> infos;
  } cases[] = {
      {L, P, nullptr, {"Missing baseline file: ExternalProjects.xml"}},
      {nullptr, nullptr, E, {"Missing baseline file: BaselineList.xml"}},
      {L, nullptr, E, {"Missing baseline file: Project.xml"}},
      {other.c_str(), P, E, {"BaselineList.xml holds the baseline type Requirement"}},
      {"<PROJECT><Label>x</Label></PROJECT>", P, E, {"lacks the node BaselineType"}},
      {"<PROJECT><BaselineType>Project", P, E, {"BaselineList.xml lacks the node PROJECT"}},
      {L, P, "<Externals/>", {"ExternalProjects.xml does not contain"}},  // on its own
      {"<BASELINE/>",
       "<PROJECT/>",
       "<Externals/>",
       {"BaselineList.xml lacks the node PROJECT", "Project.xml lacks the node Project",
        "ExternalProjects.xml does not contain required node:PROJECT"}},
  };
  fs::path good = MakeBaseline("good", kGoodList, kGoodProject, kNoExternals);
  int n = 0;
  for (const auto& c : cases) {
    ASSERT_TRUE(Validate(good));
    sink_.Clear();
    fs::path bad = MakeBaseline("bad" + std::to_string(n++), c.list, c.project, c.externals);
    if (!c.externals) fs::create_directories(bad / "ExternalProjects.xml");  // a folder
    EXPECT_FALSE(Validate(bad));
    ASSERT_EQ(sink_.infos.size(), c.infos.size()) << ::testing::PrintToString(sink_.infos);
    for (size_t i = 0; i < c.infos.size(); ++i)
      EXPECT_NE(sink_.infos[i].find(c.infos[i]), std::string::npos) << sink_.infos[i];
    EXPECT_FALSE(goBLProjInfo->isXMLValid());
    EXPECT_EQ(goBLProjInfo->BLXMLLoc(), good.string());
  }
}

TEST_F(ValidateBLProjTest, FlagsAreTrueOnlyForExactlyOne) {
  struct Case {
    const char *traces, *cpt, *history;
    bool want_traces, want_cpt, want_history;
  };
  const Case cases[] = {
      {"0", "1", "1", true, true, true},  // traces to other projects are traces
      {"true", "0", " 1", false, false, false},
      {"1", "", "1 ", true, false, false},
      {"True", "01", "yes", false, false, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    fs::path folder = MakeBaseline("flags" + std::to_string(n++),
                                   ListWith("Project", c.traces, c.cpt, c.history).c_str(),
                                   kGoodProject, kNoExternals);
    ASSERT_TRUE(Validate(folder));
    SCOPED_TRACE(std::string("traces='") + c.traces + "' cpt='" + c.cpt + "' history='" +
                 c.history + "'");
    EXPECT_EQ(goBLProjInfo->isBLXMLContainsTraces(), c.want_traces);
    EXPECT_EQ(goBLProjInfo->isBLXMLContainsExtTraces(), c.want_cpt);
    EXPECT_EQ(goBLProjInfo->isBLXMLContainsHist(), c.want_history);
    EXPECT_FALSE(goBLProjInfo->isBLXMLContainsDisc());  // element absent
  }
}

TEST_F(ValidateBLProjTest, ExternalProjectsKeepFileOrderAndTheFirstOfADuplicate) {
  fs::path folder = MakeBaseline("ext", kGoodList, kGoodProject, R"(<PROJECT>
    <ExternalProject GUID="{B0000000-0000-4000-8000-000000000002}" Name="Billing" Prefix="BIL"/>
    <!-- the tag name of an entry is not looked at -->
    <Other GUID="{A0000000-0000-4000-8000-000000000001}" Name="Archive" Prefix="ARC"/>
    <ExternalProject GUID="{B0000000-0000-4000-8000-000000000002}" Name="Billing copy"/>
    <ExternalProject Name="No attributes but the name"/>
  </PROJECT>)");
  ASSERT_TRUE(Validate(folder));
  const OrderedMap<clsExtProjInfo>& ext = goBLProjInfo->colExtProjs();
  ASSERT_EQ(ext.Keys(), (std::vector<std::string>{"{B0000000-0000-4000-8000-000000000002}",
                                                  "{A0000000-0000-4000-8000-000000000001}", ""}));
  EXPECT_EQ(ext.Find(ext.Keys()[0])->Name + ext.Find(ext.Keys()[1])->Prefix, "BillingARC");
}

TEST_F(ValidateBLProjTest, RevalidationStartsFromAResetDescriptor) {
  fs::path ext = MakeBaseline("ext", kGoodList, kGoodProject,
                              R"(<PROJECT><ExternalProject GUID="{G}" Name="N"/></PROJECT>)");
  ASSERT_TRUE(Validate(ext));
  goBLProjInfo->colExtProjs().Find("{G}")->Loc = "/x/N.vlp";
  goBLProjInfo->SetCreateTraces(true);
  goBLProjInfo->SetCreateHist(true);
  goBLProjInfo->SetReviewHTMLLoc("/x/review.html");
  goBLProjInfo->SetVLPDBType(2);
  fs::path plain = MakeBaseline("plain", "<PROJECT><BaselineType>Project</BaselineType></PROJECT>",
                                kGoodProject, kNoExternals);
  ASSERT_TRUE(Validate(plain));
  const BLProjInfo& info = *goBLProjInfo;
  EXPECT_TRUE(info.colExtProjs().Empty());
  EXPECT_FALSE(info.CreateTraces() || info.CreateHist() || info.isBLXMLContainsTraces());
  EXPECT_EQ(info.ReviewHTMLLoc() + info.BLXMLLabel() + std::to_string(info.VLPDBType()), "0");
}

}  // namespace
}  // namespace vl::testing
