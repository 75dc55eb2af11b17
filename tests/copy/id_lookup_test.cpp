#include <gtest/gtest.h>

#include "copy/copy_test_support.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "host/db/sqlite_data_services.h"

namespace vl {
namespace {

// The look-ups against a real database.
class IdLookupSqliteTest : public testing::CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    goResource->SetString(20085, "No translation for this object.");
    goResource->SetString(20084, "The translated object is not in the database.");
    db_ = SqliteDataServices::OpenFile(":memory:", true);
    for (const Member& m : kMembers)
      db_->ExecuteDDL(std::string("CREATE TABLE ") + m.table + " (" + m.column +
                      " INTEGER, VLGUID TEXT)");
  }
  struct Member {
    int32_t (RunContext::*lookup)(DataServices&, const std::string&);
    const char* table;
    const char* column;
    bool requirement;
  };
  static constexpr Member kMembers[] = {
      {&RunContext::GetNewReqTypeID, "vlRequirementTypes", "ID", false},
      {&RunContext::GetNewUserID, "vlUsers", "ID", false},
      {&RunContext::GetNewGroupID, "vlUserGroups", "ID", false},
      {&RunContext::GetNewQefID, "VlQueryDefinitions", "ID", false},
      {&RunContext::GetNewAttrID, "vlUserDefinedFields", "ID", false},
      {&RunContext::GetNewLVID, "vlUserDefinedListItems", "ITEMID", false},
      {&RunContext::GetNewDocID, "vlDocuments", "ID", false},
      {&RunContext::GetNewDocTypeID, "vlDocumentTypes", "ID", false},
      {&RunContext::GetNewReqID, "vlRequirements", "ID", true},
  };
  std::unique_ptr<SqliteDataServices> db_;
};

TEST_F(IdLookupSqliteTest, EachMemberFindsItsRowByTheNewGuid) {
  int id = 40;
  for (const Member& m : kMembers) {
    SCOPED_TRACE(m.table);
    const std::string old = std::string("{OLD-") + m.table + "}";
    const std::string guid = m.requirement ? ctx().AssignNewReqGUID(old) : ctx().AssignNewGUID(old);
    db_->ExecuteSQL("INSERT INTO " + Tbl(m.table) + " (" + m.column + ", VLGUID) VALUES (" +
                    std::to_string(++id) + ", " + SqlText(guid) + ")");
    EXPECT_EQ((ctx().*m.lookup)(*db_, old), id);
  }
  EXPECT_EQ(ctx().GetNewReqID(*db_, "{OLD-vlUsers}"), -1);  // not a requirement
  EXPECT_EQ(sink_.InfoTexts(), (std::vector<std::string>{"No translation for this object."}));
}

TEST_F(IdLookupSqliteTest, MissingRowsAndTranslationsShowTheirMessages) {
  ctx().AssignNewGUID("{NOT-INSERTED}");
  EXPECT_EQ(ctx().GetNewUserID(*db_, "{NOT-INSERTED}"), -1);
  EXPECT_EQ(ctx().GetNewUserID(*db_, "{NEVER}"), -1);
  EXPECT_EQ(sink_.InfoTexts(),
            (std::vector<std::string>{"The translated object is not in the database.",
                                      "No translation for this object."}));
  EXPECT_TRUE(tables().gdictPSGUIDs.Exists("{NEVER}"));
  EXPECT_FALSE(ctx().IsGUIDTranslated("{NEVER}"));
}

// The requirement copier tells the ID of each row it writes; traces then
// find it without asking the database, but only for the object the old
// GUID stands for, in the database it was written to, and only while the
// translation it was told for is the table's.
TEST_F(IdLookupSqliteTest, RememberedRequirementIdsHoldForTheirTranslationAndDatabaseOnly) {
  const std::string first = ctx().AssignNewReqGUID("{R}");
  ctx().RememberNewReqID(*db_, "{R}", first, 7);  // no row: found only if remembered
  EXPECT_EQ(ctx().GetNewReqID(*db_, "{R}"), 7);
  // The same GUID again in the baseline keeps the first translation.
  ctx().RememberNewReqID(*db_, "{R}", ctx().AssignNewReqGUID("{R}"), 8);
  EXPECT_EQ(ctx().GetNewReqID(*db_, "{R}"), 7);

  auto other = SqliteDataServices::OpenFile(":memory:", true);
  other->ExecuteDDL("CREATE TABLE vlRequirements (ID INTEGER, VLGUID TEXT)");
  other->ExecuteSQL("INSERT INTO vlRequirements (ID, VLGUID) VALUES (11, " + SqlText(first) + ")");
  EXPECT_EQ(ctx().GetNewReqID(*other, "{R}"), 11);

  // A table started afresh puts another translation where the first was.
  tables().gdictReqGUIDs.Clear();
  const std::string again = ctx().AssignNewReqGUID("{R}");
  db_->ExecuteSQL("INSERT INTO vlRequirements (ID, VLGUID) VALUES (9, " + SqlText(again) + ")");
  EXPECT_EQ(ctx().GetNewReqID(*db_, "{R}"), 9);
  EXPECT_TRUE(sink_.InfoTexts().empty());
}

// Two requirements of one baseline may carry one tag; a child names the
// first of them, whichever order the packages bring them in.
TEST_F(IdLookupSqliteTest, ATagTakenTwiceFindsItsLowestRequirement) {
  for (int32_t id : {20, 10, 30}) ctx().RememberNewReqTag(*db_, "FEAT", 3, id);
  EXPECT_EQ(ctx().FindNewReqIDByTag(*db_, "FEAT", 3), 10);
  EXPECT_EQ(ctx().FindNewReqIDByTag(*db_, "FEAT", 4), 0);
}

}  // namespace
}  // namespace vl
