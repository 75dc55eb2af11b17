#include "copy/ins_proj_info.h"

#include <gtest/gtest.h>

#include <string>

#include "copy/users_history_fixture.h"
#include "host/text/convert.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

using testing::kBlAdminUser;
using testing::kBlGhostUser;
using testing::kBlRitaUser;

const char* const kProjectXml = R"(<?xml version="1.0"?>
<Project Name="Brew" Prefix="BRW" DocumentWordFormat="True" SecurityEnabled="0" RSDS="   "
         Flags="12" VersionNumber="3.000" VersionLabel="Release 3"
         VersionDateTime="2004-02-03T10:20:30" VersionReason="Third"/>)";

const char* const kRitaGuid = "{0C000000-0000-0000-0000-000000000050}";

std::string HistoryXml(const std::string& secondUser) {
  return R"(<PROJECT><History>
  <RVer><VNum>1.000</VNum><VLbl></VLbl><VUGUID>)" +
         kBlAdminUser +
         R"(</VUGUID><VDate>2003-07-01 14:05:09</VDate><VResn>Created</VResn></RVer>
  <RVer><VNum>2.000</VNum><VLbl>Beta</VLbl><VUGUID>)" +
         secondUser +
         R"(</VUGUID><VDate>7/2/2003 3:04 PM</VDate><VResn>It's better</VResn></RVer>
  <RVer><VNum>3.000</VNum><VLbl>Release 3</VLbl><VUGUID>)" +
         kBlAdminUser +
         R"(</VUGUID><VDate>not a date</VDate><VResn>Third</VResn></RVer>
</History></PROJECT>)";
}

class ProjInfoCopyTest : public testing::UsersHistoryTest {
 protected:
  // The users the history refers to: admin as copied onto the existing
  // one, rita as a copied user with ID 50.
  void TranslateUsers() {
    ASSERT_TRUE(ctx().AddGUIDTranslation(kBlAdminUser, AdminGuid()));
    ds_->ExecuteSQL(
        "INSERT INTO vlUsers (ID, VLGUID, LoginName, Password, Active, FullName, EmailAddress, "
        "GroupID) VALUES (50, '" +
        std::string(kRitaGuid) + "', 'rita', '', 1, 'Rita', '', 1)");
    ASSERT_TRUE(ctx().AddGUIDTranslation(kBlRitaUser, kRitaGuid));
  }
  std::string Pid() { return std::to_string(proj_->GetProjectID()); }
  std::string ProjectRow() {
    return Scalar(
        "SELECT PREFIX || '|' || DOCUMENTWORDFORMAT || '|' || SECURITYENABLED || '|' || "
        "ifnull(RSDS, '<null>') || '|' || FLAGS || '|' || VERSIONNUMBER || '|' || VERSIONLABEL "
        "|| '|' || VERSIONDATETIME || '|' || VERSIONREASON FROM vlProjects WHERE ID = " +
        Pid());
  }
  std::string HistoryRows() {
    auto rs = ds_->ExecuteSQL(
        "SELECT ID || '|' || VERSIONNUMBER || '|' || VERSIONLABEL || '|' || VERSIONUSERID || '|' "
        "|| ifnull(VERSIONDATETIME, '<null>') || '|' || VERSIONREASON || '|' || OVERFLOWIND "
        "FROM vlProjectHistory ORDER BY VERSIONNUMBER");
    std::string out;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
      out += rs->GetFieldValue(size_t{0}).ToText() + "\n";
    return out;
  }
  std::string Uid() { return std::to_string(proj_->GetCurrentUserID()); }
  std::string Start() { return FormatDateTime(goBLProjInfo->StartDateTime()); }
};

TEST_F(ProjInfoCopyTest, WithoutHistoryTheProjectGetsOneRecordNamingTheBaseline) {
  WriteBaselineFile("Project.xml", kProjectXml);
  OpenNewProject();
  ds_->ExecuteSQL("UPDATE vlProjects SET VERSIONLABEL = 'Kept' WHERE ID = " + Pid());
  const std::string reason = "From " + Baseline() + " (; )";

  RecordingDataServices rec(*ds_);
  InsProjInfo copier(ctx());
  ASSERT_TRUE(copier.CopyXMLProjInfo(rec, *proj_));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(sink_.results, (std::vector<std::string>{"Project information"}));
  const std::vector<std::string> statements = rec.Statements();
  ASSERT_GE(statements.size(), 3u);
  EXPECT_EQ(statements[0], "DELETE FROM VLPROJECTHISTORY WHERE ID=" + Pid());
  EXPECT_EQ(statements[1], "SELECT * FROM " + kTableMarker + "vlProjects WHERE vlGUID = '" +
                               proj_->GetProjectGUID() + "'");
  EXPECT_TRUE(rec.calls()[1].forUpdate);
  EXPECT_EQ(statements[2],
            "INSERT INTO VLPROJECTHISTORY (ID, VERSIONNUMBER, VERSIONLABEL, VERSIONUSERID, "
            "VERSIONDATETIME, VERSIONREASON, OVERFLOWIND) VALUES (" +
                Pid() + ", '1.000', '', " + Uid() + ", { ts '" + Start() + "'}, '" + reason +
                "', 0)");

  EXPECT_EQ(HistoryRows(), Pid() + "|1.000||" + Uid() + "|" + Start() + "|" + reason + "|0\n");
  EXPECT_EQ(ProjectRow(), "BRW|1|0|<null>|12|1.000|Kept|" + Start() + "|" + reason);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM VlOverflowHistory"), "0");
}

TEST_F(ProjInfoCopyTest, AReasonOneCharacterOverTheLimitGoesToTheOverflowTableFirst) {
  WriteBaselineFile("Project.xml", kProjectXml);
  const std::string reason = "From " + Baseline() + " (; )";
  const int32_t limit = static_cast<int32_t>(CharCount(reason)) - 1;
  OpenNewProject(limit);

  RecordingDataServices rec(*ds_);
  InsProjInfo copier(ctx());
  ASSERT_TRUE(copier.CopyXMLProjInfo(rec, *proj_));
  const std::vector<std::string> statements = rec.Statements();
  ASSERT_GE(statements.size(), 4u);
  EXPECT_EQ(statements[2], "INSERT INTO " + kTableMarker +
                               "VlOverflowHistory (OVERFLOWTYPE, OVERFLOWID, "
                               "OVERFLOWVERSIONNUMBER, OVERFLOWVERSIONREASON) VALUES (3, " +
                               Pid() + ", '1.000', '" + reason + "')");
  EXPECT_EQ(statements[3].rfind("INSERT INTO VLPROJECTHISTORY", 0), 0u);

  EXPECT_EQ(HistoryRows(), Pid() + "|1.000||" + Uid() + "|" + Start() + "|" +
                               reason.substr(0, reason.size() - 1) + "|1\n");
  EXPECT_EQ(Scalar("SELECT OVERFLOWVERSIONREASON FROM VlOverflowHistory WHERE OVERFLOWTYPE = 3 "
                   "AND OVERFLOWID = " +
                   Pid()),
            reason);
}

TEST_F(ProjInfoCopyTest, ADefaultRecordThatCannotBeWrittenLeavesTheRowAsItWas) {
  WriteBaselineFile("Project.xml", kProjectXml);
  OpenNewProject();
  const std::string rowBefore = ProjectRow();
  FaultInjectingDataServices faulty(*ds_);
  faulty.FailWhenContains("INSERT INTO VLPROJECTHISTORY");
  InsProjInfo copier(ctx());
  EXPECT_FALSE(copier.CopyXMLProjInfo(faulty, *proj_));
  ASSERT_EQ(sink_.infos.size(), 2u);
  EXPECT_EQ(sink_.infos[0].rfind("InsertSingleHistRecord|", 0), 0u) << sink_.infos[0];
  EXPECT_EQ(sink_.infos[1], "No default history");
  EXPECT_EQ(ProjectRow(), rowBefore);
  EXPECT_EQ(HistoryRows(), "");  // the deletion is not undone
}

TEST_F(ProjInfoCopyTest, WithHistoryTheVersionsAreCopiedWithTheirUsersTranslated) {
  WriteBaselineFile("Project.xml", kProjectXml);
  WriteBaselineFile("ProjectHistory.xml", HistoryXml(kBlRitaUser));
  OpenNewProject();
  goBLProjInfo->SetCreateHist(true);
  TranslateUsers();
  InsProjInfo copier(ctx());
  ASSERT_TRUE(copier.CopyXMLProjInfo(*ds_, *proj_));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(sink_.results, (std::vector<std::string>{"Project information", "Copying history"}));
  // A date in none of the known forms is stored as no date.
  EXPECT_EQ(HistoryRows(), Pid() + "|1.000||" + Uid() + "|2003-07-01 14:05:09|Created|0\n" + Pid() +
                               "|2.000|Beta|50|2003-07-02 15:04:00|It's better|0\n" + Pid() +
                               "|3.000|Release 3|" + Uid() + "|<null>|Third|0\n");
  EXPECT_EQ(ProjectRow(), "BRW|1|0|<null>|12|3.000|Release 3|2004-02-03 10:20:30|Third");
}

TEST_F(ProjInfoCopyTest, AVersionByAnUncopiedUserStopsTheHistoryThere) {
  WriteBaselineFile("Project.xml", kProjectXml);
  WriteBaselineFile("ProjectHistory.xml", HistoryXml(kBlGhostUser));
  OpenNewProject();
  goBLProjInfo->SetCreateHist(true);
  TranslateUsers();
  const std::string rowBefore = ProjectRow();
  InsProjInfo copier(ctx());
  EXPECT_FALSE(copier.CopyXMLProjInfo(*ds_, *proj_));
  EXPECT_EQ(sink_.InfoTexts(), (std::vector<std::string>{"Not copied"}));
  EXPECT_EQ(HistoryRows(), Pid() + "|1.000||" + Uid() + "|2003-07-01 14:05:09|Created|0\n");
  EXPECT_EQ(ProjectRow(), rowBefore);
}

TEST_F(ProjInfoCopyTest, MissingRootElementsAreReportedByFileName) {
  WriteBaselineFile("Project.xml", "<Baseline/>");
  OpenNewProject();
  const std::string historyBefore = HistoryRows();
  InsProjInfo copier(ctx());
  EXPECT_FALSE(copier.CopyXMLProjInfo(*ds_, *proj_));
  EXPECT_EQ(HistoryRows(), historyBefore);

  WriteBaselineFile("Project.xml", kProjectXml);
  goBLProjInfo->SetCreateHist(true);
  const std::string rowBefore = ProjectRow();
  EXPECT_FALSE(copier.CopyXMLProjInfo(*ds_, *proj_));  // no ProjectHistory.xml
  EXPECT_EQ(sink_.infos, (std::vector<std::string>{"Project.xml lacks PROJECT",
                                                   "ProjectHistory.xml lacks PROJECT"}));
  EXPECT_EQ(ProjectRow(), rowBefore);
}

TEST_F(ProjInfoCopyTest, AnUnreadableFlagIsReportedUnderTheFormName) {
  WriteBaselineFile("Project.xml", R"(<Project Prefix="P" DocumentWordFormat="sometimes"
      SecurityEnabled="1" RSDS="x" Flags="0"/>)");
  OpenNewProject();
  InsProjInfo copier(ctx());
  EXPECT_FALSE(copier.CopyXMLProjInfo(*ds_, *proj_));
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0].rfind("frmWizard.CopyXMLProjInfo|13|", 0), 0u) << sink_.infos[0];
}

}  // namespace
}  // namespace vl
