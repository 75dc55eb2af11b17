// The new project's settings: its path and file name, the copy options and
// their display lists, and ValidateVLPSettings with its folder creation.
#include <string>

#include "baseline_fixture.h"
#include "host/project/new_project_definition.h"

namespace vl::testing {
namespace {

class VLPSettingsTest : public BaselineTest {
 protected:
  void SetUp() override {
    BaselineTest::SetUp();
    goNewProjDef = ProjectDefinitionFactory().CreateDefinition();
    gdictDBDrivers.Add(kSQLiteDisplayName, kSQLiteDriver);
    gdictDBDrivers.Add(kPostgreSQLDisplayName, "PostgreSQL");
    BLProjInfo& info = *goBLProjInfo;
    info.SetVLPName("Alpha");
    info.SetVLPDesc("First product");
    info.SetVLPDBDisplayName(kPostgreSQLDisplayName);
  }
};

TEST_F(VLPSettingsTest, FileNameAndOptionsFollowWhatWasChosen) {
  BLProjInfo& info = *goBLProjInfo;
  info.SetVLPFolder("/P/Alpha/");
  EXPECT_EQ(info.VLPFileName() + " " + info.CompleteVLPPathName(), "Alpha /P/Alpha//Alpha");
  info.SetVLPFolder("Alpha");
  EXPECT_EQ(info.VLPFileName() + " " + info.CompleteVLPPathName(), " Alpha/");
  EXPECT_EQ(info.BLUIOptionsList(), "None");
  info.SetCreateTraces(true);
  info.SetCreateDisc(true);
  EXPECT_EQ(info.BLUIOptionsList(), "Traces, Discussions");
  info.SetCreateExtTraces(true);
  info.SetCreateHist(true);
  EXPECT_EQ(info.BLUIOptionsList(), "Traces, Traces to external projects, History, Discussions");
  // No traces means no traces to external projects; the other way round
  // is left to the caller.
  info.SetCreateTraces(false);
  EXPECT_FALSE(info.CreateExtTraces());
  info.SetCreateExtTraces(true);
  EXPECT_TRUE(info.CreateExtTraces());
  EXPECT_FALSE(info.CreateTraces());
}

TEST_F(VLPSettingsTest, BaselineOptionsListHasNoEntryForExternalTraces) {
  WriteFile(root_ / "bl" / "BaselineList.xml",
            "<PROJECT><BaselineType>Project</BaselineType><IncludeCPT>1</IncludeCPT>"
            "<IncludeDiscs>1</IncludeDiscs></PROJECT>");
  WriteFile(root_ / "bl" / "Project.xml", R"(<Project Name="Alpha"/>)");
  WriteFile(root_ / "bl" / "ExternalProjects.xml", "<PROJECT/>");
  ASSERT_TRUE(goBLProjInfo->ValidateBLProj((root_ / "bl").string()));
  EXPECT_EQ(goBLProjInfo->BLXMLOptionsList(), "Traces, Discussions");
  EXPECT_EQ(goBLProjInfo->BLXMLOptionTextHist(), "");
}

TEST_F(VLPSettingsTest, ExistingFolderIsHandedOverWithoutAQuestion) {
  goBLProjInfo->SetVLPFolder(root_.string());
  ASSERT_TRUE(ValidateVLPSettings());
  EXPECT_TRUE(sink_.questions.empty());
  EXPECT_TRUE(sink_.infos.empty());
  const NewProjectDefinition& def = *goNewProjDef;
  EXPECT_EQ(def.GetProjectName() + "|" + def.GetProjectDescription() + "|" +
                def.GetProjectFolder() + "|" + def.GetDBType() + "|" +
                def.GetConnection().GetDriver(),
            "Alpha|First product|" + root_.string() + "|" + kPostgreSQLDisplayName + "|PostgreSQL");
  // The last chosen database wins; looking a driver up adds nothing.
  goBLProjInfo->SetVLPDBDisplayName(kSQLiteDisplayName);
  ASSERT_TRUE(ValidateVLPSettings());
  EXPECT_EQ(goNewProjDef->GetConnection().GetDriver(), kSQLiteDriver);
  EXPECT_EQ(gdictDBDrivers.Count(), 2u);
}

// A missing folder is created level by level on Yes; No leaves everything
// as it was.
TEST_F(VLPSettingsTest, MissingFolderIsCreatedOnlyOnYes) {
  sink_.answers.push_back(vbNo);
  goBLProjInfo->SetVLPFolder((root_ / "x" / ".." / "New" / "A" / "B").string() + "/");
  EXPECT_FALSE(ValidateVLPSettings());
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_FALSE(fs::exists(root_ / "New"));
  EXPECT_EQ(goNewProjDef->GetProjectName(), "");
  ASSERT_TRUE(ValidateVLPSettings());
  ASSERT_EQ(sink_.questions.size(), 2u);
  EXPECT_NE(sink_.questions[1].text.find("New/A/B"), std::string::npos) << sink_.questions[1].text;
  EXPECT_EQ(sink_.questions[1].buttons, vbYesNo + vbQuestion);
  EXPECT_TRUE(fs::is_directory(root_ / "New" / "A" / "B"));
  EXPECT_FALSE(fs::exists(root_ / "x"));
}

TEST_F(VLPSettingsTest, FolderThatCannotExistGivesTheDriveMessage) {
  WriteFile(root_ / "file.txt", "not a folder");
  const std::string unusable[] = {
      (root_ / "file.txt" / "New" / "A").string(),  // nearest existing level is a file
      "relative/New",                               // no root to start from
      fs::relative(root_ / "New").string(),         // relative, its first part exists
      "",
  };
  for (const std::string& folder : unusable) {
    SCOPED_TRACE(folder);
    sink_.Clear();
    goBLProjInfo->SetVLPFolder(folder);
    EXPECT_FALSE(ValidateVLPSettings());
    EXPECT_EQ(sink_.infos, std::vector<std::string>{"The drive does not exist."});
  }
  EXPECT_FALSE(fs::exists("relative") || fs::exists(root_ / "New"));
  EXPECT_EQ(goNewProjDef->GetProjectName(), "");
}

TEST_F(VLPSettingsTest, RejectedDefinitionIsReportedAsAProcedureError) {
  goBLProjInfo->SetVLPFolder(root_.string());
  goBLProjInfo->SetVLPName("");
  EXPECT_FALSE(ValidateVLPSettings());
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0].rfind("Error in BLProjInfo.ValidateVLPSettings: ", 0), 0u)
      << sink_.infos[0];
}

}  // namespace
}  // namespace vl::testing
