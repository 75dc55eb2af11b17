#include "host/db/sqlite_data_services.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "errors/vl_error.h"
#include "support/db_test_support.h"

namespace vl {
namespace {

using dbtest::OtherConnection;
using dbtest::TempDir;

const std::string M = kTableMarker;

class SqliteDataServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("scratch.db");
    ds_ = SqliteDataServices::OpenFile(path_, true);
    ds_->ExecuteDDL(
        "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT, WHEN_DONE TIMESTAMP, AMOUNT REAL)");
    ds_->ExecuteDDL("CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey INTEGER)");
  }
  void Reopen() {
    ds_->Close();
    ds_ = SqliteDataServices::OpenFile(path_, false);
  }
  std::string Count(const std::string& where = "") {
    auto rs = ds_->ExecuteSQL("SELECT COUNT(*) AS N FROM T" + where);
    return rs->GetFieldValue("N").ToText();
  }

  TempDir dir_;
  std::string path_;
  std::unique_ptr<SqliteDataServices> ds_;
};

TEST_F(SqliteDataServicesTest, RunsStatementsWithMarkersAndTimestampsAndReadsTypedValues) {
  EXPECT_EQ(
      ds_->ExecuteSQL("INSERT INTO " + M + "T (ID, NAME, WHEN_DONE, AMOUNT) VALUES (1, 'it''s " +
                      M + "', { ts '2003-07-01 14:05:09'}, 12.5)"),
      nullptr);
  auto rs = ds_->ExecuteSQL("SELECT ID, NAME, WHEN_DONE, AMOUNT FROM " + M + "T");
  ASSERT_NE(rs, nullptr);
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->GetFieldValue("id").type(), vbLong);
  EXPECT_EQ(rs->GetFieldValue("ID").AsInt(), 1);
  // The marker inside the text value is stored as written.
  EXPECT_EQ(rs->GetFieldValue("NAME").AsString(), "it's " + M);
  ASSERT_EQ(rs->GetFieldValue("WHEN_DONE").type(), vbDate);
  EXPECT_EQ(rs->GetFieldValue("WHEN_DONE").AsDate(), (VlDate{2003, 7, 1, 14, 5, 9}));
  EXPECT_EQ(rs->GetFieldValue("AMOUNT").AsDouble(), 12.5);
  EXPECT_EQ(ds_->GetDBType(), kDBSQLite);
}

TEST_F(SqliteDataServicesTest, AFailedStatementLeavesEarlierRowsInPlace) {
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (1, 'first')");
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (2, 'second')");
  try {
    ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (1, 'duplicate')");
    FAIL() << "a duplicate key must be refused";
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kDatabase);
    EXPECT_EQ(e.source(), "VlDataServices");
    EXPECT_NE(e.description().find("UNIQUE"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("VALUES (1, 'duplicate')"), std::string::npos);
  }
  EXPECT_THROW(ds_->ExecuteSQL("INSERT INTO Missing (ID) VALUES (3)"), VlError);
  // A huge statement is shortened in the description.
  try {
    ds_->ExecuteSQL("INSERT INTO Nowhere (A) VALUES ('" + std::string(100000, 'z') + "')");
    FAIL();
  } catch (const VlError& e) {
    EXPECT_NE(e.description().find("no such table: Nowhere"), std::string::npos);
    EXPECT_LT(e.description().size(), 1000u);
    EXPECT_NE(e.description().find(" ... "), std::string::npos);
  }
  // Two statements in one text are refused; neither runs.
  EXPECT_THROW(ds_->ExecuteSQL("INSERT INTO T (ID) VALUES (7); DROP TABLE T"), VlError);
  EXPECT_THROW(ds_->ExecuteSQL("   "), VlError);
  EXPECT_THROW(ds_->ExecuteSQL(std::string("SELECT 1\0 DROP TABLE T", 22)), VlError);
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (4, 'after');");  // a trailing ";" is fine
  Reopen();
  EXPECT_EQ(Count(), "3");
}

TEST_F(SqliteDataServicesTest, KeysNeverRepeatAlsoAcrossReopen) {
  EXPECT_EQ(ds_->GetNextKey(M + "VlKeys", "KeyClass", "User", "LastKey"), 1);
  EXPECT_EQ(ds_->GetNextKey(M + "VlKeys", "KeyClass", "User", "LastKey"), 2);
  EXPECT_EQ(ds_->GetNextKey("VlKeys", "KeyClass", "Document", "LastKey"), 1);
  Reopen();
  EXPECT_EQ(ds_->GetNextKey(M + "VlKeys", "KeyClass", "User", "LastKey"), 3);
  // A key class that holds a quote is still one value.
  EXPECT_EQ(ds_->GetNextKey("VlKeys", "KeyClass", "O'Brien", "LastKey"), 1);
  EXPECT_EQ(ds_->GetNextKey("VlKeys", "KeyClass", "O'Brien", "LastKey"), 2);
  // Names are names, never SQL.
  EXPECT_THROW(ds_->GetNextKey("VlKeys", "KeyClass = 'x' OR 1=1 --", "User", "LastKey"), VlError);
  // A key table that is not there is a database error naming the statement.
  try {
    ds_->GetNextKey("NoKeys", "KeyClass", "User", "LastKey");
    FAIL();
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kDatabase);
    EXPECT_NE(e.description().find("no such table: NoKeys"), std::string::npos) << e.description();
  }
  ds_->ExecuteDDL("UPDATE VlKeys SET LastKey = 2147483647 WHERE KeyClass = 'User'");
  try {
    ds_->GetNextKey("VlKeys", "KeyClass", "User", "LastKey");
    FAIL() << "keys past the 32-bit range must not wrap";
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kOverflow);
  }
}

TEST_F(SqliteDataServicesTest, CommittedRowsAreVisibleToAnotherConnection) {
  ds_->Commit();
  OtherConnection other(path_);
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (1, 'a')");
  EXPECT_EQ(other.Scalar("SELECT COUNT(*) FROM T"), "0");
  ds_->Commit();
  EXPECT_EQ(other.Scalar("SELECT COUNT(*) FROM T"), "1");
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (2, 'b')");
  ds_->Close();
  EXPECT_EQ(other.Scalar("SELECT COUNT(*) FROM T"), "2");
  // A closed database refuses work.
  EXPECT_THROW(ds_->ExecuteSQL("SELECT 1"), VlError);
  EXPECT_NO_THROW(ds_->Close());
}

TEST_F(SqliteDataServicesTest, CommitsOnItsOwnEveryFewStatements) {
  ds_->Close();
  SqliteOptions options;
  options.commit_every = 3;
  ds_ = SqliteDataServices::OpenFile(path_, false, options);
  OtherConnection other(path_);
  for (int i = 1; i <= 7; ++i)
    ds_->ExecuteSQL("INSERT INTO T (ID) VALUES (" + std::to_string(i) + ")");
  EXPECT_EQ(other.Scalar("SELECT COUNT(*) FROM T"), "6");
}

TEST_F(SqliteDataServicesTest, WritesAnEditedRowBackToThatRowOnly) {
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME, AMOUNT) VALUES (1, 'one', 1)");
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME, AMOUNT) VALUES (2, 'two', 2)");
  auto rs = ds_->QueryRecordset("SELECT * FROM " + M + "T WHERE ID = 2", true);
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->GetFields(), (std::vector<std::string>{"ID", "NAME", "WHEN_DONE", "AMOUNT"}));
  rs->SetFieldValue("name", Variant::String("zwei's"));
  rs->SetFieldValue("WHEN_DONE", Variant::Date({2004, 10, 26, 14, 30, 5}));
  rs->SetFieldValue("AMOUNT", Variant::Null());
  EXPECT_EQ(rs->GetFieldValue("NAME").AsString(), "zwei's");
  rs->Update();
  Reopen();
  EXPECT_EQ(Count(" WHERE ID = 2 AND NAME = 'zwei''s' AND WHEN_DONE = '2004-10-26 14:30:05' "
                  "AND AMOUNT IS NULL"),
            "1");
  EXPECT_EQ(Count(" WHERE ID = 1 AND NAME = 'one' AND AMOUNT = 1"), "1");

  // Without the key among the columns the row is still found.
  auto rs2 = ds_->QueryRecordset("SELECT  NAME  FROM T  WHERE ID=1", true);
  rs2->SetFieldValue("NAME", Variant::String("uno"));
  rs2->Update();
  EXPECT_EQ(Count(" WHERE NAME = 'uno'"), "1");
}

TEST_F(SqliteDataServicesTest, RefusesEditsThatCannotBeWrittenBack) {
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (1, 'one')");
  auto ro = ds_->QueryRecordset("SELECT * FROM T");
  EXPECT_THROW(ro->SetFieldValue("NAME", Variant::String("x")), VlError);
  EXPECT_THROW(ds_->QueryRecordset("SELECT DISTINCT NAME FROM T", true), VlError);
  EXPECT_THROW(ds_->QueryRecordset("UPDATE T SET NAME = 'x'", true), VlError);

  auto computed = ds_->QueryRecordset("SELECT NAME, ID + 1 AS NEXT FROM T", true);
  computed->SetFieldValue("NEXT", Variant::Long(9));
  EXPECT_THROW(computed->Update(), VlError);

  auto late = ds_->QueryRecordset("SELECT NAME FROM T", true);
  late->SetFieldValue("NAME", Variant::String("late"));
  ds_->Close();
  EXPECT_THROW(late->Update(), VlError);
}

TEST_F(SqliteDataServicesTest, TheStatementLogReplaysTheRun) {
  ds_->Close();
  std::vector<std::string> log;
  SqliteOptions options;
  options.log = [&](const std::string& s) { log.push_back(s); };
  ds_ = SqliteDataServices::OpenFile(dir_.File("logged.db"), true, options);
  ds_->ExecuteDDL("CREATE TABLE " + M + "T (ID INTEGER, NAME TEXT, D TIMESTAMP)");
  ds_->ExecuteDDL("CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey INTEGER)");
  const int32_t key = ds_->GetNextKey("VlKeys", "KeyClass", "User", "LastKey");
  ds_->ExecuteSQL("INSERT INTO T VALUES (" + std::to_string(key) +
                  ", 'a;b', { ts '2001-02-03 04:05:06'})");
  EXPECT_THROW(ds_->ExecuteSQL("INSERT INTO Nowhere VALUES (1)"), VlError);
  ds_->Close();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "COMMIT");
  std::string script;
  for (const std::string& s : log) script += s + ";\n";
  sqlite3* replay = nullptr;
  ASSERT_EQ(sqlite3_open(dir_.File("replay.db").c_str(), &replay), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(replay, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(replay);
  sqlite3_close(replay);
  OtherConnection check(dir_.File("replay.db"));
  EXPECT_EQ(check.Scalar("SELECT ID || '|' || NAME || '|' || D FROM T"),
            "1|a;b|2001-02-03 04:05:06");
  EXPECT_EQ(check.Scalar("SELECT LastKey FROM VlKeys"), "1");
}

class SqliteOpenErrorsTest : public ::testing::Test {
 protected:
  // The description of the error OpenFile throws, "" when it opens.
  static std::string OpenError(const std::string& path, bool create, int busy_ms = 5000) {
    SqliteOptions options;
    options.busy_timeout_ms = busy_ms;
    try {
      SqliteDataServices::OpenFile(path, create, options);
    } catch (const VlError& e) {
      EXPECT_EQ(e.number(), err::kDatabaseOpen);
      return e.description();
    }
    return "";
  }

  TempDir dir_;
};

TEST_F(SqliteOpenErrorsTest, NamesTheFileAndTheReason) {
  const std::string missing = dir_.File("missing.db");
  std::string d = OpenError(missing, false);
  EXPECT_NE(d.find(missing), std::string::npos) << d;
  EXPECT_NE(d.find("does not exist"), std::string::npos) << d;
  EXPECT_FALSE(std::filesystem::exists(missing));

  const std::string text = dir_.File("notes.db");
  {
    std::ofstream out(text);
    for (int i = 0; i < 100; ++i) out << "These are notes, not a database.\n";
  }
  d = OpenError(text, false);
  EXPECT_NE(d.find(text), std::string::npos) << d;
  EXPECT_NE(d.find("not a database"), std::string::npos) << d;

  d = OpenError(dir_.path(), true);
  EXPECT_NE(d.find("folder"), std::string::npos) << d;
}

TEST_F(SqliteOpenErrorsTest, ReportsADatabaseLockedByAnotherWriter) {
  const std::string path = dir_.File("busy.db");
  SqliteDataServices::OpenFile(path, true)->ExecuteDDL("CREATE TABLE T (A INTEGER)");
  OtherConnection writer(path);
  ASSERT_TRUE(writer.Exec("BEGIN IMMEDIATE; INSERT INTO T VALUES (1)"));
  const std::string d = OpenError(path, false, 0);
  EXPECT_NE(d.find(path), std::string::npos) << d;
  EXPECT_NE(d.find("locked"), std::string::npos) << d;
  writer.Exec("COMMIT");
  EXPECT_EQ(OpenError(path, false, 0), "");
}

TEST_F(SqliteOpenErrorsTest, OpensAPrivateMemoryDatabase) {
  auto a = SqliteDataServices::OpenFile(":memory:", true);
  auto b = SqliteDataServices::OpenFile(":memory:", true);
  a->ExecuteDDL("CREATE TABLE T (A INTEGER)");
  EXPECT_NO_THROW(a->ExecuteSQL("SELECT * FROM T"));
  EXPECT_THROW(b->ExecuteSQL("SELECT * FROM T"), VlError);
}

}  // namespace
}  // namespace vl
