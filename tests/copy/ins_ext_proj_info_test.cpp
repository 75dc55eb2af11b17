#include "copy/ins_ext_proj_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/project_pair_fixture.h"
#include "support/data_services_wrappers.h"

namespace vl::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

// The baseline's own project, and two projects it refers to as the
// baseline knew them.
const char* const kBaselineGuid = "{B0000000-0000-0000-0000-00000000000A}";
const char* const kXBaselineGuid = "{B0000000-0000-0000-0000-00000000000B}";
const char* const kYBaselineGuid = "{B0000000-0000-0000-0000-00000000000C}";
const char* const kOtherGuid = "{B0000000-0000-0000-0000-00000000000D}";

class InsExtProjInfoTest : public ProjectPairTest {
 protected:
  // Writes and validates a baseline whose ExternalProjects.xml has
  // `externalProjects` under PROJECT; the new project is to lie in
  // Root()/Alpha.
  void UseBaseline(const std::string& externalProjects) {
    UseValidatedBaseline(kBaselineGuid, std::string("<?xml version=\"1.0\"?>\n<PROJECT GUID=\"") +
                                            kBaselineGuid + "\">\n" + externalProjects +
                                            "</PROJECT>\n");
  }

  static std::string Entry(const char* guid, const char* name, const std::string& extra = "") {
    return std::string("  <ExternalProject GUID=\"") + guid + "\" Name=\"" + name + "\" Prefix=\"" +
           name + "P\"" + extra + "/>\n";
  }

  void Locate(const char* baselineGuid, const std::string& loc) {
    goBLProjInfo->colExtProjs().Find(baselineGuid)->Loc = loc;
  }

  // The file a project created from another baseline left behind: the
  // external projects it still waits for.
  void WriteUnRes(const std::string& project, const char* createdFrom, const std::string& entries) {
    WriteFile(root_ / project / kUnResExtProjsFile,
              std::string("<?xml version=\"1.0\"?>\n<PROJECT GUID=\"") + createdFrom + "\">\n" +
                  entries + "</PROJECT>\n");
  }

  bool Copy(DataServices& ds, Project& proj) {
    InsExtProjInfo copier(ctx());
    const bool ok = copier.CopyXMLExtProjInfo(ds, proj);
    copier.ApplyPendingRegistrations();
    CommitOtherProjects();
    return ok;
  }

  static Table ExtRows(DataServices& ds) {
    return Rows(ds,
                "SELECT ID, NAME, VLGUID, PREFIX, DIRECTORY, FILENAME FROM vlExternalProjects "
                "ORDER BY ID");
  }
  static Table LinkRows(DataServices& ds) {
    return Rows(ds,
                "SELECT PROJECTID, EXTERNALPROJECTID, CONNECTATOPEN FROM "
                "vlProjectExternalProjects ORDER BY EXTERNALPROJECTID");
  }
  // What a vlExternalProjects row describing `p` (at Root()/name) holds.
  std::vector<std::string> Describes(Project& p, const std::string& name, int key) {
    return {std::to_string(key),  p.GetProjectName(), p.GetProjectGUID(),
            p.GetProjectPrefix(), FolderOf(name),     name};
  }
  static void SetProjectCounter(DataServices& ds, int lastKey) {
    ds.ExecuteSQL("UPDATE VlKeys SET LastKey = " + std::to_string(lastKey) +
                  " WHERE KeyClass = 'Project'");
  }
  static std::string ProjectCounter(DataServices& ds) {
    return Rows(ds, "SELECT LastKey FROM VlKeys WHERE KeyClass = 'Project'")[0][0];
  }
  bool UnResOf(const std::string& project) const {
    return fs::exists(root_ / project / kUnResExtProjsFile);
  }
};

TEST_F(InsExtProjInfoTest, AllLocatedRegistersBothWaysAndWritesNoFile) {
  UseBaseline(Entry(kXBaselineGuid, "Xavier", " ConnectAtOpen=\"-1\"") +
              Entry(kYBaselineGuid, "Yolanda", " ConnectAtOpen=\"1\""));
  auto x = CreateProject("X");
  auto y = CreateProject("Y");
  WriteUnRes("X", kXBaselineGuid, Entry(kBaselineGuid, "Alpha", " ConnectAtOpen=\"-1\""));
  WriteUnRes("Y", kYBaselineGuid, Entry(kOtherGuid, "Other") + Entry(kBaselineGuid, "Alpha"));
  auto alpha = CreateProject("Alpha");
  auto ds = DataServicesOf(*alpha);
  auto xds = DataServicesOf(*x);
  auto yds = DataServicesOf(*y);
  Locate(kXBaselineGuid, ProjectFileOf("X"));
  Locate(kYBaselineGuid, ProjectFileOf("Y"));

  ASSERT_TRUE(Copy(*ds, *alpha));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_FALSE(UnResOf("Alpha"));

  // Every counter starts at the project's own ID 1: X gives 2 in both
  // databases; for Y the new project's 3 beats Y's 2.
  EXPECT_EQ(ExtRows(*ds), (Table{Describes(*x, "X", 2), Describes(*y, "Y", 3)}));
  EXPECT_EQ(LinkRows(*ds), (Table{{"1", "2", "1"}, {"1", "3", "0"}}));
  EXPECT_EQ(ExtRows(*xds), (Table{Describes(*alpha, "Alpha", 2)}));
  EXPECT_EQ(LinkRows(*xds), (Table{{"1", "2", "1"}}));
  EXPECT_EQ(ExtRows(*yds), (Table{Describes(*alpha, "Alpha", 3)}));
  EXPECT_EQ(LinkRows(*yds), (Table{{"1", "3", "0"}}));

  // X waited for nothing else: its file is gone; Y's keeps the other entry.
  EXPECT_FALSE(UnResOf("X"));
  ASSERT_TRUE(UnResOf("Y"));
  const std::string left = ReadFile(root_ / "Y" / kUnResExtProjsFile);
  EXPECT_NE(left.find(kOtherGuid), std::string::npos) << left;
  EXPECT_EQ(left.find(kBaselineGuid), std::string::npos) << left;
}

TEST_F(InsExtProjInfoTest, KeyIsTheLargerNextKeyAndBothCountersEndThere) {
  UseBaseline(Entry(kXBaselineGuid, "Xavier") + Entry(kYBaselineGuid, "Yolanda"));
  auto x = CreateProject("X");
  auto y = CreateProject("Y");
  WriteUnRes("X", kXBaselineGuid, Entry(kBaselineGuid, "Alpha"));
  WriteUnRes("Y", kYBaselineGuid, Entry(kBaselineGuid, "Alpha"));
  auto alpha = CreateProject("Alpha");
  auto ds = DataServicesOf(*alpha);
  auto xds = DataServicesOf(*x);
  auto yds = DataServicesOf(*y);
  SetProjectCounter(*ds, 39);   // next 40
  SetProjectCounter(*xds, 54);  // next 55
  SetProjectCounter(*yds, 10);  // next 11, against the new project's 56
  Locate(kXBaselineGuid, ProjectFileOf("X"));
  Locate(kYBaselineGuid, ProjectFileOf("Y"));

  ASSERT_TRUE(Copy(*ds, *alpha));
  EXPECT_TRUE(sink_.infos.empty());

  EXPECT_EQ((Table{{ExtRows(*ds)[0][0], ExtRows(*ds)[1][0], ProjectCounter(*ds)},
                   {ExtRows(*xds)[0][0], ExtRows(*yds)[0][0], ProjectCounter(*xds)}}),
            (Table{{"55", "56", "56"}, {"55", "56", "55"}}));
  EXPECT_EQ(ProjectCounter(*yds), "56");
}

TEST_F(InsExtProjInfoTest, AlreadyRegisteredProjectIsNotRegisteredTwice) {
  UseBaseline(Entry(kXBaselineGuid, "Xavier"));
  auto x = CreateProject("X");
  WriteUnRes("X", kXBaselineGuid, Entry(kBaselineGuid, "Alpha"));
  auto alpha = CreateProject("Alpha");
  auto ds = DataServicesOf(*alpha);
  auto xds = DataServicesOf(*x);
  ds->ExecuteSQL(
      "INSERT INTO vlExternalProjects (ID, NAME, VLGUID, PREFIX, DIRECTORY, FILENAME) "
      "VALUES (7, 'X', '" +
      x->GetProjectGUID() + "', 'X', '" + FolderOf("X") + "', 'X')");
  Locate(kXBaselineGuid, ProjectFileOf("X"));

  ASSERT_TRUE(Copy(*ds, *alpha));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(ExtRows(*ds).size(), 1u);
  EXPECT_TRUE(LinkRows(*ds).empty());
  // The new project's row in X takes the ID of the existing row, so the
  // pair keeps one key.
  EXPECT_EQ(ExtRows(*xds), (Table{Describes(*alpha, "Alpha", 7)}));
  EXPECT_EQ(ProjectCounter(*ds), "1");
}

}  // namespace
}  // namespace vl::testing
