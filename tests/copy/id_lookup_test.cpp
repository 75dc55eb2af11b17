#include <gtest/gtest.h>

#include <map>

#include "copy/copy_test_support.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "errors/vl_error.h"
#include "host/db/sqlite_data_services.h"

namespace vl {
namespace {

// Answers every SELECT from `ids` (new GUID literal -> ID) and records the
// statements and key requests it receives.
class RecordingDataServices : public DataServices {
 public:
  std::unique_ptr<Recordset> ExecuteSQL(const std::string& sql) override {
    statements.push_back(sql);
    return nullptr;
  }
  std::unique_ptr<Recordset> QueryRecordset(const std::string& sql, bool) override {
    statements.push_back(sql);
    if (fail) throw VlError(err::kDatabase, "VlDataServices", "disk on fire");
    std::vector<Recordset::Row> rows;
    for (const auto& [literal, id] : ids)
      if (sql.size() >= literal.size() &&
          sql.compare(sql.size() - literal.size(), literal.size(), literal) == 0)
        rows.push_back({id});
    return std::make_unique<Recordset>(std::vector<std::string>{column}, std::move(rows));
  }
  int32_t GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                     const std::string& keyClass, const std::string& valueColumn) override {
    statements.push_back(keyTable + "|" + keyColumn + "|" + keyClass + "|" + valueColumn);
    return ++last_key;
  }
  void ExecuteDDL(const std::string& sql) override { statements.push_back(sql); }
  int GetDBType() const override { return kDBSQLite; }
  void Commit() override {}
  void Rollback() override {}

  std::map<std::string, Variant> ids;
  std::string column = "ID";
  std::vector<std::string> statements;
  int32_t last_key = 0;
  bool fail = false;
};

class IdLookupTest : public testing::CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    goResource->SetString(20085, "No translation for this object.");
    goResource->SetString(20084, "The translated object is not in the database.");
    goResource->SetString(20083, "Error in %1: %2 %3 %4");
  }
};

TEST_F(IdLookupTest, FoundIdsAreRememberedPerDatabaseObject) {
  const std::string g = ctx().AssignNewGUID("{U}");
  RecordingDataServices ds;
  ds.ids["'" + g + "'"] = Variant::Double(7);
  EXPECT_EQ(ctx().GetNewUserID(ds, "{U}"), 7);
  EXPECT_EQ(ctx().GetNewUserID(ds, "{U}"), 7);
  EXPECT_EQ(ds.statements.size(), 1u);
  // The same GUID in another table is another row.
  ds.ids["'" + g + "'"] = Variant::Long(9);
  EXPECT_EQ(ctx().GetNewGroupID(ds, "{U}"), 9);

  // Another database object asks its own database, even at a reused address.
  auto other = std::make_unique<RecordingDataServices>();
  other->ids["'" + g + "'"] = Variant::Long(11);
  EXPECT_EQ(ctx().GetNewUserID(*other, "{U}"), 11);
  other.reset();
  auto again = std::make_unique<RecordingDataServices>();
  again->ids["'" + g + "'"] = Variant::Long(12);
  EXPECT_EQ(ctx().GetNewUserID(*again, "{U}"), 12);

  ctx().found_ids.Clear();
  ds.ids["'" + g + "'"] = Variant::Long(8);
  EXPECT_EQ(ctx().GetNewUserID(ds, "{U}"), 8);
}

TEST_F(IdLookupTest, ARequirementJustWrittenIsFoundWithoutASelect) {
  const std::string g = ctx().AssignNewReqGUID("{R}");
  RecordingDataServices ds, other;
  ctx().RememberNewReqID(ds, g, 42);
  EXPECT_EQ(ctx().GetNewReqID(ds, "{R}"), 42);
  EXPECT_TRUE(ds.statements.empty());
  // Only for that database, and only for requirements.
  other.ids["'" + g + "'"] = Variant::Long(5);
  EXPECT_EQ(ctx().GetNewReqID(other, "{R}"), 5);
  EXPECT_EQ(other.statements.size(), 1u);
  ctx().AddGUIDTranslation("{R}", g);
  EXPECT_EQ(ctx().GetNewDocID(ds, "{R}"), -1);
  EXPECT_EQ(ds.statements.size(), 1u);
  // A reopened database asks again.
  ctx().found_ids.Clear();
  ds.ids["'" + g + "'"] = Variant::Long(43);
  EXPECT_EQ(ctx().GetNewReqID(ds, "{R}"), 43);
}

TEST_F(IdLookupTest, AMissEveryTimeShowsItsMessageEveryTime) {
  RecordingDataServices ds;
  ctx().copied.About(CopiedKind::kView, "Open", "{V}");
  EXPECT_EQ(ctx().GetNewUserID(ds, "{NOBODY}"), -1);
  EXPECT_EQ(ctx().GetNewUserID(ds, "{NOBODY}"), -1);
  EXPECT_TRUE(ds.statements.empty());  // nothing to ask the database
  ctx().AssignNewGUID("{GHOST}");
  EXPECT_EQ(ctx().GetNewUserID(ds, "{GHOST}"), -1);
  EXPECT_EQ(ctx().GetNewUserID(ds, "{GHOST}"), -1);
  EXPECT_EQ(ds.statements.size(), 2u);
  EXPECT_EQ(sink_.InfoTexts(),
            (std::vector<std::string>{"No translation for this object.",
                                      "No translation for this object.",
                                      "The translated object is not in the database.",
                                      "The translated object is not in the database."}));
  // Each names what was looked for, and for what.
  EXPECT_EQ(sink_.infos[0],
            "No translation for this object. It is the user {NOBODY}, referred to by the view "
            "\"Open\" {V}.");
}

TEST_F(IdLookupTest, ADatabaseErrorIsReportedAndGivesMinusOne) {
  ctx().AssignNewGUID("{U}");
  RecordingDataServices ds;
  ds.fail = true;
  EXPECT_EQ(ctx().GetNewUserID(ds, "{U}"), -1);
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0], "Error in GetNewUserID: -2147217900 disk on fire ");
}

// The look-ups against a real database.
class IdLookupSqliteTest : public IdLookupTest {
 protected:
  void SetUp() override {
    IdLookupTest::SetUp();
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

TEST_F(IdLookupSqliteTest, KeysCountUpPerClass) {
  db_->ExecuteDDL("CREATE TABLE VlKeys (KeyClass TEXT, LastKey INTEGER)");
  EXPECT_EQ(NextKey(*db_, "User"), 1);
  EXPECT_EQ(NextKey(*db_, "User"), 2);
  EXPECT_EQ(NextKey(*db_, "Document"), 1);
}

}  // namespace
}  // namespace vl
