#include "copy/ins_proj_info.h"

#include <gtest/gtest.h>

#include <string>

#include "copy/users_history_fixture.h"
#include "host/text/convert.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

const char* const kProjectXml = R"(<?xml version="1.0"?>
<Project Name="Brew" Prefix="BRW" DocumentWordFormat="True" SecurityEnabled="0" RSDS="   "
         Flags="12" VersionNumber="3.000" VersionLabel="Release 3"
         VersionDateTime="2004-02-03T10:20:30" VersionReason="Third"/>)";

class ProjInfoCopyTest : public testing::UsersHistoryTest {
 protected:
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

  ASSERT_TRUE(InsProjInfo(ctx()).CopyXMLProjInfo(*ds_, *proj_));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(sink_.results, (std::vector<std::string>{"Project information"}));
  EXPECT_EQ(HistoryRows(), Pid() + "|1.000||" + Uid() + "|" + Start() + "|" + reason + "|0\n");
  EXPECT_EQ(ProjectRow(), "BRW|1|0|<null>|12|1.000|Kept|" + Start() + "|" + reason);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM VlOverflowHistory"), "0");
}

TEST_F(ProjInfoCopyTest, AReasonOneCharacterOverTheLimitGoesToTheOverflowTable) {
  WriteBaselineFile("Project.xml", kProjectXml);
  const std::string reason = "From " + Baseline() + " (; )";
  const int32_t limit = static_cast<int32_t>(CharCount(reason)) - 1;
  OpenNewProject(limit);

  ASSERT_TRUE(InsProjInfo(ctx()).CopyXMLProjInfo(*ds_, *proj_));
  EXPECT_EQ(HistoryRows(), Pid() + "|1.000||" + Uid() + "|" + Start() + "|" +
                               reason.substr(0, reason.size() - 1) + "|1\n");
  EXPECT_EQ(Scalar("SELECT OVERFLOWVERSIONREASON FROM VlOverflowHistory WHERE OVERFLOWTYPE = 3 "
                   "AND OVERFLOWID = " +
                   Pid()),
            reason);
}

}  // namespace
}  // namespace vl
