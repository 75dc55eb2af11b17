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
  ASSERT_TRUE(Validate(folder));
  const BLProjInfo& info = *goBLProjInfo;
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_TRUE(info.isXMLValid());
  EXPECT_EQ(info.BLXMLLoc(), folder.string());
  EXPECT_EQ(info.BLXMLLabel(), "Release 2");
  EXPECT_EQ(info.BLXMLTimestamp(), "2024-03-01 10:15:00");
  EXPECT_EQ(info.BLXMLDesc(), "Frozen for the audit");
  EXPECT_EQ(info.BLXMLGUID(), "{0A1B2C3D-0000-4000-8000-000000000001}");
  EXPECT_TRUE(info.isBLXMLContainsTraces());
  EXPECT_FALSE(info.isBLXMLContainsExtTraces());
  EXPECT_TRUE(info.isBLXMLContainsDisc());
  EXPECT_TRUE(info.isBLXMLContainsHist());
  EXPECT_EQ(info.VLPName(), "Alpha");
  EXPECT_EQ(info.VLPDesc(), "First product");
  EXPECT_TRUE(info.colExtProjs().Empty());
}

TEST_F(ValidateBLProjTest, MissingFileKeepsTheLastGoodFolder) {
  fs::path good = MakeBaseline("good", kGoodList, kGoodProject, kNoExternals);
  ASSERT_TRUE(Validate(good));
  fs::path bad = MakeBaseline("bad", kGoodList, kGoodProject, nullptr);
  EXPECT_FALSE(Validate(bad));
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"Missing baseline file: ExternalProjects.xml"});
  EXPECT_FALSE(goBLProjInfo->isXMLValid());
  EXPECT_EQ(goBLProjInfo->BLXMLLoc(), good.string());
}

TEST_F(ValidateBLProjTest, FilesAreTestedInOrderAndOnlyTheFirstMissingIsReported) {
  fs::path folder = MakeBaseline("empty", nullptr, nullptr, kNoExternals);
  EXPECT_FALSE(Validate(folder));
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"Missing baseline file: BaselineList.xml"});
  sink_.Clear();
  WriteFile(folder / "BaselineList.xml", kGoodList);
  EXPECT_FALSE(Validate(folder));
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"Missing baseline file: Project.xml"});
  // A file found is not enough: its readers never ran, so nothing was read.
  EXPECT_EQ(goBLProjInfo->BLXMLLabel(), "");
}

TEST_F(ValidateBLProjTest, FileNamesMayDifferInLetterCase) {
  fs::path folder = root_ / "upper";
  WriteFile(folder / "BASELINELIST.XML", kGoodList);
  WriteFile(folder / "project.XML", kGoodProject);
  WriteFile(folder / "externalprojects.xml", kNoExternals);
  EXPECT_TRUE(Validate(folder));
  EXPECT_EQ(goBLProjInfo->VLPName(), "Alpha");
}

TEST_F(ValidateBLProjTest, AFolderNamedLikeABaselineFileDoesNotCount) {
  fs::path folder = MakeBaseline("dir", kGoodList, kGoodProject, nullptr);
  fs::create_directories(folder / "ExternalProjects.xml");
  EXPECT_FALSE(Validate(folder));
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"Missing baseline file: ExternalProjects.xml"});
}

TEST_F(ValidateBLProjTest, BaselineTypeIsComparedWithoutCase) {
  fs::path lower =
      MakeBaseline("lower", ListWith("project", "0", "0", "0").c_str(), kGoodProject, kNoExternals);
  EXPECT_TRUE(Validate(lower));
  fs::path other = MakeBaseline("other", ListWith("Requirement", "0", "0", "0").c_str(),
                                kGoodProject, kNoExternals);
  EXPECT_FALSE(Validate(other));
  EXPECT_EQ(sink_.infos,
            std::vector<std::string>{"BaselineList.xml holds the baseline type Requirement"});
  EXPECT_FALSE(goBLProjInfo->isXMLValid());
  EXPECT_EQ(goBLProjInfo->BLXMLLoc(), lower.string());
}

TEST_F(ValidateBLProjTest, EveryReaderRunsAndReportsInOrder) {
  fs::path folder = MakeBaseline("broken", "<BASELINE/>", "<PROJECT/>", "<Externals/>");
  EXPECT_FALSE(Validate(folder));
  std::string ext_path = (folder / "ExternalProjects.xml").string();
  EXPECT_EQ(sink_.infos, (std::vector<std::string>{
                             "BaselineList.xml lacks the node PROJECT",
                             "Project.xml lacks the node Project",
                             ext_path + " does not contain required node:PROJECT",
                         }));
}

TEST_F(ValidateBLProjTest, MissingBaselineTypeOrBrokenXmlIsReported) {
  fs::path no_type =
      MakeBaseline("notype", "<PROJECT><Label>x</Label></PROJECT>", kGoodProject, kNoExternals);
  EXPECT_FALSE(Validate(no_type));
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"BaselineList.xml lacks the node BaselineType"});
  sink_.Clear();
  // A file that is not well formed reads like one without elements.
  fs::path broken =
      MakeBaseline("broken", "<PROJECT><BaselineType>Project", kGoodProject, kNoExternals);
  EXPECT_FALSE(Validate(broken));
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"BaselineList.xml lacks the node PROJECT"});
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
  const clsExtProjInfo* billing = ext.Find("{B0000000-0000-4000-8000-000000000002}");
  EXPECT_EQ(billing->Name, "Billing");
  EXPECT_EQ(billing->Prefix, "BIL");
  EXPECT_EQ(billing->Loc, "");
  EXPECT_EQ(ext.Find("{A0000000-0000-4000-8000-000000000001}")->Prefix, "ARC");
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
  EXPECT_FALSE(info.CreateTraces());
  EXPECT_FALSE(info.CreateHist());
  EXPECT_EQ(info.ReviewHTMLLoc(), "");
  EXPECT_EQ(info.VLPDBType(), 0);
  EXPECT_EQ(info.BLXMLLabel(), "");  // absent in the new baseline
  EXPECT_FALSE(info.isBLXMLContainsTraces());
}

TEST_F(ValidateBLProjTest, DefaultFolderComesFromTheInstallation) {
  SetInstallDir("/opt/velloq");
  fs::path folder = MakeBaseline("inst", kGoodList, kGoodProject, kNoExternals);
  ASSERT_TRUE(Validate(folder));
  EXPECT_EQ(goBLProjInfo->VLPFolder(), "/opt/velloq/Projects/Alpha");
  EXPECT_EQ(goBLProjInfo->VLPFileName(), "Alpha");
  EXPECT_EQ(goBLProjInfo->CompleteVLPPathName(), "/opt/velloq/Projects/Alpha/Alpha");
}

TEST_F(ValidateBLProjTest, WithoutAnInstallationTheFolderIsTheNameBelowTheRoot) {
  fs::path folder = MakeBaseline("noinst", kGoodList, kGoodProject, kNoExternals);
  ASSERT_TRUE(Validate(folder));
  EXPECT_EQ(goBLProjInfo->VLPFolder(), "/Alpha");
  EXPECT_EQ(goBLProjInfo->CompleteVLPPathName(), "/Alpha/Alpha");
}

TEST_F(ValidateBLProjTest, InitReadsTheInstallationAndClearsTheFolder) {
  SetInstallDir("/srv/vq");
  goBLProjInfo->SetBLXMLLoc("/somewhere");
  goBLProjInfo->init();
  EXPECT_EQ(goBLProjInfo->BLXMLLoc(), "");
  EXPECT_EQ(goBLProjInfo->VLPFolder(), "/srv/vq/Projects");
}

}  // namespace
}  // namespace vl::testing
