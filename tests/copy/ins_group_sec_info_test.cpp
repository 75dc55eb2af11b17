#include "copy/ins_group_sec_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/project_pair_fixture.h"
#include "support/data_services_wrappers.h"

namespace vl::testing {
namespace {

// Old (baseline) GUIDs of the objects the earlier copiers would have made.
const char* const kGroupA = "{A0000000-0000-0000-0000-000000000001}";
const char* const kGroupB = "{A0000000-0000-0000-0000-000000000002}";
const char* const kDocType = "{D0000000-0000-0000-0000-000000000001}";
const char* const kDocType2 = "{D0000000-0000-0000-0000-000000000002}";
const char* const kReqType = "{E0000000-0000-0000-0000-000000000001}";
const char* const kReqType2 = "{E0000000-0000-0000-0000-000000000002}";
const char* const kAttr = "{F0000000-0000-0000-0000-000000000001}";
const char* const kAttr2 = "{F0000000-0000-0000-0000-000000000002}";
const char* const kItem = "{C0000000-0000-0000-0000-000000000001}";
const char* const kItem2 = "{C0000000-0000-0000-0000-000000000002}";
const char* const kNeverCopied = "{99999999-0000-0000-0000-000000000000}";

using Table = std::vector<std::vector<std::string>>;

class InsGroupSecInfoTest : public ProjectPairTest {
 protected:
  void SetUp() override {
    ProjectPairTest::SetUp();
    proj_ = CreateProject("Alpha");
    ds_ = DataServicesOf(*proj_);
    // The rows the groups, structure and type copiers would have written,
    // with their translations.
    Copied("vlUserGroups", "ID", 11, kGroupA);
    Copied("vlUserGroups", "ID", 12, kGroupB);
    Copied("vlDocumentTypes", "ID", 21, kDocType);
    Copied("vlDocumentTypes", "ID", 22, kDocType2);
    Copied("vlRequirementTypes", "ID", 31, kReqType);
    Copied("vlRequirementTypes", "ID", 32, kReqType2);
    Copied("vlUserDefinedFields", "ID", 41, kAttr);
    Copied("vlUserDefinedFields", "ID", 42, kAttr2);
    Copied("vlUserDefinedListItems", "ITEMID", 51, kItem);
    Copied("vlUserDefinedListItems", "ITEMID", 52, kItem2);
  }

  void Copied(const std::string& table, const std::string& idColumn, int id, const char* oldGuid) {
    const std::string newGuid = GenerateGUID();
    ds_->ExecuteSQL("INSERT INTO " + table + " (" + idColumn + ", VLGUID) VALUES (" +
                    std::to_string(id) + ", '" + newGuid + "')");
    ASSERT_TRUE(ctx().AddGUIDTranslation(oldGuid, newGuid));
  }

  void WritePermissions(const std::string& xml) {
    WriteFile(root_ / "baseline" / "Permissions.XML", xml);
  }

  // Every right written, table by table: documents, requirement types,
  // attributes, list items.
  Table Rights() {
    Table out;
    for (const char* sql :
         {"SELECT PROJECTID, DOCUMENTTYPEID, USERGROUPID, ACCESSRIGHTS FROM vlDocumentTypeUsers",
          "SELECT PROJECTID, REQUIREMENTTYPEID, USERGROUPID, ACCESSRIGHTS, REQTEXTACCESSRIGHTS, "
          "TRACEABILITYACCESSRIGHTS, REQNAMEACCESSRIGHTS FROM vlRequirementTypeUsers",
          "SELECT PROJECTID, USERGROUPID, FIELDID, ACCESSRIGHTS FROM vlUserDefinedFieldUsers",
          "SELECT PROJECTID, USERGROUPID, LISTITEMID, ACCESSRIGHTS FROM "
          "vlUserDefinedListItemUsers"})
      for (auto& row : Rows(*ds_, std::string(sql) + " ORDER BY 2, 3, 4")) out.push_back(row);
    return out;
  }

  bool Copy(DataServices& ds) {
    InsGroupSecInfo copier(ctx());
    return copier.CopyXMLGroupSecInfo(ds, *proj_);
  }

  std::shared_ptr<Project> proj_;
  std::shared_ptr<DataServices> ds_;
};

TEST_F(InsGroupSecInfoTest, WritesEachGroupsRightsAfterAnEmptyGroup) {
  WritePermissions(
      std::string(R"(<?xml version="1.0"?>
<Project>
  <Groups>
    <Group ID=")") +
      kGroupA + R"(">
      <DocumentTypeRights/>
      <RequirementTypeRights/>
    </Group>
    <Group ID=")" +
      kGroupB + R"(">
      <RequirementTypeRights>
        <RequirementTypeRight ID=")" +
      kReqType +
      R"(" AccessRights="7" RequirementTextAccessRights="6" RequirementTraceabilityAccessRights="5" RequirementNameAccessRights="0">
          <AttributeRights>
            <AttributeRight ID=")" +
      kAttr + R"(" AccessRights="3">
              <ListItemRights>
                <ListItemRight ID=")" +
      kItem + R"(" AccessRights="1"/>
                <ListItemRight ID=")" +
      kItem2 + R"(" AccessRights="0"/>
              </ListItemRights>
            </AttributeRight>
            <AttributeRight ID=")" +
      kAttr2 + R"(" AccessRights="2">
              <ListItemRights/>
            </AttributeRight>
          </AttributeRights>
        </RequirementTypeRight>
        <RequirementTypeRight ID=")" +
      kReqType2 +
      R"(" AccessRights="-1" RequirementTextAccessRights="-1" RequirementTraceabilityAccessRights="-1" RequirementNameAccessRights="-1">
          <AttributeRights/>
        </RequirementTypeRight>
      </RequirementTypeRights>
      <DocumentTypeRights>
        <DocumentTypeRight ID=")" +
      kDocType + R"(" AccessRights="4"/>
        <DocumentTypeRight ID=")" +
      kDocType2 + R"(" AccessRights="0"/>
      </DocumentTypeRights>
    </Group>
  </Groups>
</Project>)");
  ASSERT_TRUE(Copy(*ds_));
  EXPECT_TRUE(sink_.infos.empty());
  // A right of 0 is stored as 0, not as NULL.
  EXPECT_EQ(Rights(), (Table{{"1", "21", "12", "4"},
                             {"1", "22", "12", "0"},
                             {"1", "31", "12", "7", "6", "5", "0"},
                             {"1", "32", "12", "-1", "-1", "-1", "-1"},
                             {"1", "12", "41", "3"},
                             {"1", "12", "42", "2"},
                             {"1", "12", "51", "1"},
                             {"1", "12", "52", "0"}}));
}

TEST_F(InsGroupSecInfoTest, AttributeUnderTwoRequirementTypesGivesTwoRows) {
  WritePermissions(
      std::string(R"(<Project><Groups><Group ID=")") + kGroupA + R"(">
    <DocumentTypeRights/>
    <RequirementTypeRights>
      <RequirementTypeRight ID=")" +
      kReqType +
      R"(" AccessRights="1" RequirementTextAccessRights="1" RequirementTraceabilityAccessRights="1" RequirementNameAccessRights="1">
        <AttributeRights><AttributeRight ID=")" +
      kAttr + R"(" AccessRights="5"><ListItemRights/></AttributeRight></AttributeRights>
      </RequirementTypeRight>
      <RequirementTypeRight ID=")" +
      kReqType2 +
      R"(" AccessRights="1" RequirementTextAccessRights="1" RequirementTraceabilityAccessRights="1" RequirementNameAccessRights="1">
        <AttributeRights><AttributeRight ID=")" +
      kAttr + R"(" AccessRights="5"><ListItemRights/></AttributeRight></AttributeRights>
      </RequirementTypeRight>
    </RequirementTypeRights></Group></Groups></Project>)");
  ASSERT_TRUE(Copy(*ds_));
  EXPECT_EQ(Rows(*ds_,
                 "SELECT PROJECTID, USERGROUPID, FIELDID, ACCESSRIGHTS "
                 "FROM vlUserDefinedFieldUsers"),
            (Table{{"1", "11", "41", "5"}, {"1", "11", "41", "5"}}));
}

// Each section element is required even when empty; the report names the
// routine that looked for it, and the rows written before it stay.
struct MissingSection {
  const char* name;
  std::string xml;
  const char* routine;
  int rowsLeft;  // rows of all four tables written before the stop
};

std::string GroupWith(const std::string& inner) {
  return std::string("<Project><Groups><Group ID=\"") + kGroupA + "\">" + inner +
         "</Group></Groups></Project>";
}
std::string ReqTypeWith(const std::string& inner) {
  return std::string("<RequirementTypeRight ID=\"") + kReqType +
         "\" AccessRights=\"1\" RequirementTextAccessRights=\"1\" "
         "RequirementTraceabilityAccessRights=\"1\" RequirementNameAccessRights=\"1\">" +
         inner + "</RequirementTypeRight>";
}

class InsGroupSecInfoMissingSectionTest : public InsGroupSecInfoTest,
                                          public ::testing::WithParamInterface<MissingSection> {};

TEST_P(InsGroupSecInfoMissingSectionTest, ReportsTheRoutineAndStops) {
  WritePermissions(GetParam().xml);
  EXPECT_FALSE(Copy(*ds_));
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0].rfind(std::string("Error in ") + GetParam().routine + ": ", 0), 0u)
      << sink_.infos[0];
  const auto count = Rows(*ds_,
                          "SELECT (SELECT COUNT(*) FROM vlDocumentTypeUsers) + "
                          "(SELECT COUNT(*) FROM vlRequirementTypeUsers) + "
                          "(SELECT COUNT(*) FROM vlUserDefinedFieldUsers) + "
                          "(SELECT COUNT(*) FROM vlUserDefinedListItemUsers)");
  EXPECT_EQ(count[0][0], std::to_string(GetParam().rowsLeft));
}

INSTANTIATE_TEST_SUITE_P(
    Sections, InsGroupSecInfoMissingSectionTest,
    ::testing::Values(
        MissingSection{"Groups", "<Project><Group/></Project>", "CopyXMLGroupSecInfo", 0},
        MissingSection{"DocumentTypeRights", GroupWith("<RequirementTypeRights/>"),
                       "CopyGroupDocTypeRights", 0},
        MissingSection{"RequirementTypeRights",
                       GroupWith(std::string("<DocumentTypeRights><DocumentTypeRight ID=\"") +
                                 kDocType + "\" AccessRights=\"2\"/></DocumentTypeRights>"),
                       "CopyGroupReqTypeRights", 1},
        MissingSection{"AttributeRights",
                       GroupWith("<DocumentTypeRights/><RequirementTypeRights>" + ReqTypeWith("") +
                                 "</RequirementTypeRights>"),
                       "CopyGroupRTAttrRights", 1},
        MissingSection{"ListItemRights",
                       GroupWith("<DocumentTypeRights/><RequirementTypeRights>" +
                                 ReqTypeWith(std::string("<AttributeRights><AttributeRight ID=\"") +
                                             kAttr + "\" AccessRights=\"1\"/></AttributeRights>") +
                                 "</RequirementTypeRights>"),
                       "CopyGroupAttrLVRights", 2}),
    [](const ::testing::TestParamInfo<MissingSection>& info) {
      return std::string(info.param.name);
    });

TEST_F(InsGroupSecInfoTest, RightThatIsNotANumberIsReportedByItsRoutine) {
  WritePermissions(GroupWith(std::string("<DocumentTypeRights><DocumentTypeRight ID=\"") +
                             kDocType +
                             "\" AccessRights=\"all\"/></DocumentTypeRights>"
                             "<RequirementTypeRights/>"));
  EXPECT_FALSE(Copy(*ds_));
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0].rfind("Error in CopyGroupDocTypeRights: ", 0), 0u) << sink_.infos[0];
}

TEST_F(InsGroupSecInfoTest, AttributeNeverCopiedStopsEverythingAfterTheTypeRow) {
  WritePermissions(std::string("<Project><Groups><Group ID=\"") + kGroupA +
                   "\"><DocumentTypeRights/><RequirementTypeRights>" +
                   ReqTypeWith(std::string("<AttributeRights><AttributeRight ID=\"") +
                               kNeverCopied +
                               "\" AccessRights=\"1\"><ListItemRights/></AttributeRight>"
                               "</AttributeRights>") +
                   "</RequirementTypeRights></Group><Group ID=\"" + kGroupB +
                   "\"><DocumentTypeRights><DocumentTypeRight ID=\"" + kDocType +
                   "\" AccessRights=\"2\"/></DocumentTypeRights><RequirementTypeRights/>"
                   "</Group></Groups></Project>");
  EXPECT_FALSE(Copy(*ds_));
  EXPECT_EQ(sink_.InfoTexts(), std::vector<std::string>{"No translation for this object."});
  EXPECT_EQ(Rows(*ds_, "SELECT REQUIREMENTTYPEID, USERGROUPID FROM vlRequirementTypeUsers"),
            (Table{{"31", "11"}}));
  // The later group was not copied.
  EXPECT_TRUE(Rows(*ds_, "SELECT * FROM vlDocumentTypeUsers").empty());
}

TEST_F(InsGroupSecInfoTest, FileWithoutProjectElementWritesNothing) {
  WritePermissions("<PROJECT><Groups/></PROJECT>");
  RecordingDataServices rec(ds_);
  EXPECT_FALSE(Copy(rec));
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"Permissions.XML lacks the node Project"});
  EXPECT_TRUE(rec.calls().empty());
}

}  // namespace
}  // namespace vl::testing
