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

TEST(CongealPWD, GarbageAddsNothingAndNeverFails) {
  EXPECT_EQ(InsGroupInfo::CongealPWD("97;98;99"), "ab");        // digits after the last ";"
  EXPECT_EQ(InsGroupInfo::CongealPWD("97;x1;98;"), "ab");       // a group that is no number
  EXPECT_EQ(InsGroupInfo::CongealPWD(";;;97;;"), "a");          // empty groups
  EXPECT_EQ(InsGroupInfo::CongealPWD("256;97;1000000;"), "a");  // codes over 255
  EXPECT_EQ(InsGroupInfo::CongealPWD("-1;97;"), "a");           // negative codes
  EXPECT_EQ(InsGroupInfo::CongealPWD("0;97;"), "a");  // a NUL would cut the statement short
  EXPECT_EQ(InsGroupInfo::CongealPWD("1e999;99999999999999999999;97;"), "a");
  EXPECT_EQ(InsGroupInfo::CongealPWD("abc"), "");
  EXPECT_EQ(InsGroupInfo::CongealPWD(std::string("9\0"
                                                 "7;",
                                                 4)),
            "");
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

TEST_F(GroupUserCopyTest, AlreadyTranslatedGuidsOfExistingOnesAreReportedAndSkipped) {
  WriteBaselineFile("ProjectUserGroups.XML", kUserGroups);
  OpenNewProject();
  ASSERT_TRUE(ctx().AddGUIDTranslation(kBlAdminGroup, "{11111111-1111-1111-1111-111111111111}"));
  ASSERT_TRUE(ctx().AddGUIDTranslation(kBlAdminUser, "{22222222-2222-2222-2222-222222222222}"));
  InsGroupInfo copier(ctx());
  ASSERT_TRUE(copier.CopyXMLGroupInfo(*ds_, *proj_));
  ASSERT_TRUE(copier.CopyXMLUserInfo(*ds_, *proj_));
  EXPECT_EQ(sink_.infos,
            (std::vector<std::string>{"Group already matched", "User already matched"}));
  // The first translation stays; the user was updated all the same.
  EXPECT_EQ(ctx().TranslateGUID(kBlAdminUser), "{22222222-2222-2222-2222-222222222222}");
  EXPECT_EQ(Scalar("SELECT Password FROM vlUsers WHERE LoginName = 'admin'"), "secret");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlUsers WHERE LoginName = 'rita'"), "1");
}

TEST_F(GroupUserCopyTest, AUserWhoseGroupIsMissingStopsTheCopier) {
  WriteBaselineFile("ProjectUserGroups.XML", R"(<PROJECT><Users>
    <User LoginName="bob" Password="98;" Active="1" FullName="Bob" EmailAddress=""
          GroupName="Administrators" ID="{0B000000-0000-0000-0000-000000000003}"/>
    <User LoginName="rita" Password="" Active="1" FullName="Rita" EmailAddress=""
          GroupName="Nobody" ID="{0B000000-0000-0000-0000-000000000002}"/>
    <User LoginName="carl" Password="" Active="1" FullName="Carl" EmailAddress=""
          GroupName="Administrators" ID="{0B000000-0000-0000-0000-000000000004}"/>
  </Users></PROJECT>)");
  OpenNewProject();
  InsGroupInfo copier(ctx());
  EXPECT_FALSE(copier.CopyXMLUserInfo(*ds_, *proj_));
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0].rfind("CopyXMLUserInfo |", 0), 0u) << sink_.infos[0];
  EXPECT_NE(sink_.infos[0].find("Nobody"), std::string::npos);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlUsers WHERE LoginName = 'bob'"), "1");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlUsers WHERE LoginName IN ('rita', 'carl')"), "0");
}

TEST_F(GroupUserCopyTest, MissingOrUnreadableAttributesStopTheCopier) {
  OpenNewProject();
  InsGroupInfo copier(ctx());
  WriteBaselineFile("ProjectUserGroups.XML", R"(<PROJECT><Users>
    <User LoginName="bob" Password="98;" Active="perhaps" FullName="Bob" EmailAddress=""
          GroupName="Administrators" ID="{0B000000-0000-0000-0000-000000000003}"/>
  </Users></PROJECT>)");
  EXPECT_FALSE(copier.CopyXMLUserInfo(*ds_, *proj_));
  WriteBaselineFile("ProjectUserGroups.XML", R"(<PROJECT><Users>
    <User LoginName="bob" Active="1" FullName="Bob" EmailAddress=""
          GroupName="Administrators" ID="{0B000000-0000-0000-0000-000000000003}"/>
  </Users></PROJECT>)");
  EXPECT_FALSE(copier.CopyXMLUserInfo(*ds_, *proj_));
  WriteBaselineFile("ProjectUserGroups.XML", R"(<PROJECT><Groups>
    <Group NAME="Writers" DESCRIPTION="" ProjectAccessRights="many" DocTypeAccessRights="1"
           ReqTypeAccessRights="1" AttributeAccessRights="1" ListItemAccessRights="1"
           ID="{0A000000-0000-0000-0000-000000000009}"/>
  </Groups></PROJECT>)");
  EXPECT_FALSE(copier.CopyXMLGroupInfo(*ds_, *proj_));
  ASSERT_EQ(sink_.infos.size(), 3u);
  EXPECT_EQ(sink_.infos[0].rfind("CopyXMLUserInfo |13|", 0), 0u) << sink_.infos[0];
  EXPECT_EQ(sink_.infos[1].rfind("CopyXMLUserInfo |94|", 0), 0u) << sink_.infos[1];
  EXPECT_EQ(sink_.infos[2].rfind("CopyXMLGroupInfo|13|", 0), 0u) << sink_.infos[2];
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlUsers WHERE LoginName = 'bob'"), "0");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlUserGroups WHERE NAME = 'Writers'"), "0");
}

TEST_F(GroupUserCopyTest, TwoNewGroupsWithOneBaselineGuidStopTheCopier) {
  WriteBaselineFile("ProjectUserGroups.XML", R"(<PROJECT><Groups>
    <Group NAME="A" DESCRIPTION="" ProjectAccessRights="1" DocTypeAccessRights="1"
           ReqTypeAccessRights="1" AttributeAccessRights="1" ListItemAccessRights="1"
           ID="{0A000000-0000-0000-0000-000000000009}"/>
    <Group NAME="B" DESCRIPTION="" ProjectAccessRights="1" DocTypeAccessRights="1"
           ReqTypeAccessRights="1" AttributeAccessRights="1" ListItemAccessRights="1"
           ID="{0A000000-0000-0000-0000-000000000009}"/>
  </Groups></PROJECT>)");
  OpenNewProject();
  InsGroupInfo copier(ctx());
  EXPECT_FALSE(copier.CopyXMLGroupInfo(*ds_, *proj_));
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0].rfind("CopyXMLGroupInfo|457|", 0), 0u) << sink_.infos[0];
  EXPECT_EQ(ctx().TranslateGUID("{0A000000-0000-0000-0000-000000000009}"),
            Scalar("SELECT VLGUID FROM vlUserGroups WHERE NAME = 'A'"));
}

TEST_F(GroupUserCopyTest, AFileWithoutProjectElementWritesNothing) {
  WriteBaselineFile("ProjectUserGroups.XML", "<Baseline><Users/></Baseline>");
  OpenNewProject();
  RecordingDataServices rec(*ds_);
  InsGroupInfo copier(ctx());
  EXPECT_FALSE(copier.CopyXMLGroupInfo(rec, *proj_));
  EXPECT_FALSE(copier.CopyXMLUserInfo(rec, *proj_));
  EXPECT_TRUE(rec.Statements().empty());
  EXPECT_EQ(sink_.infos, (std::vector<std::string>{"ProjectUserGroups.XML lacks PROJECT",
                                                   "ProjectUserGroups.XML lacks PROJECT"}));
}

}  // namespace
}  // namespace vl
