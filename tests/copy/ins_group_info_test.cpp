#include "copy/ins_group_info.h"

#include <gtest/gtest.h>

#include <string>

#include "copy/users_history_fixture.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

using testing::kBlAdminGroup;
using testing::kBlAdminUser;
using testing::kBlReadersGroup;
using testing::kBlRitaUser;

TEST(CongealPWD, DecodesCodesEachFollowedBySemicolon) {
  EXPECT_EQ(InsGroupInfo::CongealPWD("97;98;99;"), "abc");
  EXPECT_EQ(InsGroupInfo::CongealPWD(""), "");
  EXPECT_EQ(InsGroupInfo::CongealPWD("39;"), "'");
  // Windows-1252: the euro sign, an e acute, an undefined byte.
  EXPECT_EQ(InsGroupInfo::CongealPWD("128;233;129;"), "\xE2\x82\xAC\xC3\xA9\xC2\x81");
  EXPECT_EQ(InsGroupInfo::CongealPWD("255;"), "\xC3\xBF");
}

const char* const kUserGroups = R"(<?xml version="1.0"?>
<PROJECT>
  <Groups>
    <Group NAME="Administrators" DESCRIPTION="Baseline admins" ProjectAccessRights="7"
           DocTypeAccessRights="1" ReqTypeAccessRights="2" AttributeAccessRights="3"
           ListItemAccessRights="4" ID="{0A000000-0000-0000-0000-000000000001}"/>
    <Group NAME="Readers" DESCRIPTION="Read only" ProjectAccessRights="16"
           DocTypeAccessRights="17" ReqTypeAccessRights="18" AttributeAccessRights="19"
           ListItemAccessRights="20" ID="{0A000000-0000-0000-0000-000000000002}"/>
  </Groups>
  <Users>
    <User LoginName="admin" Password="115;101;99;114;101;116;" Active="True"
          FullName="Ada Admin" EmailAddress="ada@example.com" GroupName="Administrators"
          ID="{0B000000-0000-0000-0000-000000000001}"/>
    <User LoginName="rita" Password="105;116;0;39;115;128;300;" Active="0" FullName="Rita Reader"
          EmailAddress="" GroupName="Readers" ID="{0B000000-0000-0000-0000-000000000002}"/>
  </Users>
</PROJECT>)";

class GroupUserCopyTest : public testing::UsersHistoryTest {};

TEST_F(GroupUserCopyTest, GroupsAreCreatedOrReusedByName) {
  WriteBaselineFile("ProjectUserGroups.XML", kUserGroups);
  OpenNewProject();
  const std::string adminGroupGuid =
      Scalar("SELECT VLGUID FROM vlUserGroups WHERE NAME = 'Administrators'");
  const std::string groupsBefore = Scalar("SELECT COUNT(*) FROM vlUserGroups");

  InsGroupInfo copier(ctx());
  ASSERT_TRUE(copier.CopyXMLGroupInfo(*ds_, *proj_));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(sink_.results, (std::vector<std::string>{"Group Administrators", "Group Readers"}));

  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlUserGroups"),
            std::to_string(std::stoi(groupsBefore) + 1));
  EXPECT_EQ(ctx().TranslateGUID(kBlAdminGroup), adminGroupGuid);
  EXPECT_EQ(ctx().TranslateGUID(kBlReadersGroup),
            Scalar("SELECT VLGUID FROM vlUserGroups WHERE NAME = 'Readers'"));
  EXPECT_EQ(Scalar("SELECT DESCRIPTION || ',' || PROJECTACCESSRIGHTS || ',' || "
                   "DOCTYPEACCESSRIGHTS || ',' || REQTYPEACCESSRIGHTS || ',' || "
                   "ATTRIBUTEACCESSRIGHTS || ',' || LISTITEMACCESSRIGHTS FROM vlUserGroups "
                   "WHERE NAME = 'Readers'"),
            "Read only,16,17,18,19,20");
  // The reused group takes the baseline's description and rights.
  EXPECT_EQ(Scalar("SELECT DESCRIPTION || ',' || PROJECTACCESSRIGHTS || ',' || "
                   "LISTITEMACCESSRIGHTS FROM vlUserGroups WHERE NAME = 'Administrators'"),
            "Baseline admins,7,4");
}

TEST_F(GroupUserCopyTest, UsersAreInsertedOrUpdatedWithDecodedPasswords) {
  WriteBaselineFile("ProjectUserGroups.XML", kUserGroups);
  OpenNewProject();
  InsGroupInfo copier(ctx());
  ASSERT_TRUE(copier.CopyXMLGroupInfo(*ds_, *proj_));
  const std::string adminId = Scalar("SELECT ID FROM vlUsers WHERE LoginName = 'admin'");
  const std::string adminGuid = AdminGuid();
  const std::string adminGroupId =
      Scalar("SELECT ID FROM vlUserGroups WHERE NAME = 'Administrators'");
  const std::string readersId = Scalar("SELECT ID FROM vlUserGroups WHERE NAME = 'Readers'");
  sink_.Clear();

  ASSERT_TRUE(copier.CopyXMLUserInfo(*ds_, *proj_));
  EXPECT_TRUE(sink_.infos.empty());
  // Codes that stand for no character are left out, and said.
  EXPECT_EQ(sink_.results,
            (std::vector<std::string>{"User: admin", "User: rita", "Password of rita loses 2"}));

  // The existing admin keeps its ID and GUID; its baseline GUID now means it.
  EXPECT_EQ(ctx().TranslateGUID(kBlAdminUser), adminGuid);
  EXPECT_EQ(Scalar("SELECT ID || ',' || VLGUID || ',' || Password || ',' || Active || ',' || "
                   "FullName || ',' || EmailAddress || ',' || GroupID FROM vlUsers WHERE "
                   "LoginName = 'admin'"),
            adminId + "," + adminGuid + ",secret,1,Ada Admin,ada@example.com," + adminGroupId);
  const std::string ritaGuid = ctx().TranslateGUID(kBlRitaUser);
  ASSERT_EQ(ritaGuid.size(), 38u);
  EXPECT_NE(ritaGuid, kBlRitaUser);
  EXPECT_EQ(Scalar("SELECT VLGUID || ',' || Password || ',' || Active || ',' || FullName || "
                   "',' || quote(EmailAddress) || ',' || GroupID FROM vlUsers WHERE "
                   "LoginName = 'rita'"),
            ritaGuid + ",it's\xE2\x82\xAC,0,Rita Reader,''," + readersId);
  const std::string ritaId = Scalar("SELECT ID FROM vlUsers WHERE LoginName = 'rita'");
  EXPECT_EQ(Scalar("SELECT LastKey FROM VlKeys WHERE KeyClass = 'User'"), ritaId);
}

}  // namespace
}  // namespace vl
