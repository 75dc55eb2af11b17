// What every data services promise the copiers, on the file database and
// on the server alike: one suite, run on both.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

#include "errors/vl_error.h"
#include "host/db/pg_data_services.h"
#include "host/db/sqlite_data_services.h"
#include "support/db_test_support.h"
#include "support/error_text.h"
#include "support/pg_test_support.h"

namespace vl {
namespace {

using vl::testing::ErrorOf;

const std::string M = kTableMarker;

class DataServicesContractTest : public ::testing::TestWithParam<const char*> {
 protected:
  bool pg() const { return std::string(GetParam()) == "PostgreSQL"; }
  void SetUp() override {
    if (pg()) {
      VL_NEED_PG_SERVER();
      schema_ = std::make_unique<pgtest::ScratchSchema>(conninfo_, "ds");
      pgtest::Observer(conninfo_).Exec("CREATE SCHEMA " + schema_->name());
    }
    ds_ = Open();
    ds_->ExecuteDDL(std::string("CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT, WHEN_DONE ") +
                    "TIMESTAMP, AMOUNT " + (pg() ? "DOUBLE PRECISION)" : "REAL)"));
    ds_->ExecuteDDL("CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey INTEGER)");
    ds_->Commit();
  }
  std::unique_ptr<DataServices> Open(int commit_every = 5000) {
    if (!pg())
      return SqliteDataServices::OpenFile(dir_.File("t.db"), true, {5000, commit_every, nullptr});
    PgOptions options;  // small batches: answers come in while statements are sent
    options.commit_every = commit_every;
    options.batch_statements = 4;
    return PgDataServices::Connect(schema_->location(), options);
  }
  static void Close(DataServices& ds) {
    if (auto* file = dynamic_cast<SqliteDataServices*>(&ds)) return file->Close();
    dynamic_cast<PgDataServices&>(ds).Close();
  }
  static void SetLog(DataServices& ds, std::function<void(const std::string&)> log) {
    if (auto* file = dynamic_cast<SqliteDataServices*>(&ds)) return file->SetStatementLog(log);
    dynamic_cast<PgDataServices&>(ds).SetStatementLog(log);
  }
  // What another connection sees.
  std::string Seen(const std::string& sql) {
    if (pg()) return pgtest::Observer(conninfo_, schema_->name()).Scalar(sql);
    return dbtest::OtherConnection(dir_.File("t.db")).Scalar(sql);
  }
  std::string Ids() {
    return Seen(pg() ? "SELECT coalesce(string_agg(ID::text, ',' ORDER BY ID), '') FROM T"
                     : "SELECT group_concat(ID) FROM (SELECT ID FROM T ORDER BY ID)");
  }
  // Runs `script` on an empty database of the same kind; what `sql` reads there.
  std::string Replay(const std::string& script, const std::string& sql) {
    if (!pg()) {
      sqlite3* db = nullptr;
      sqlite3_open(dir_.File("replay.db").c_str(), &db);
      EXPECT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
          << sqlite3_errmsg(db);
      sqlite3_close(db);
      return dbtest::OtherConnection(dir_.File("replay.db")).Scalar(sql);
    }
    replay_ = std::make_unique<pgtest::ScratchSchema>(conninfo_, "replay");
    pgtest::RunPsql(conninfo_, "CREATE SCHEMA " + replay_->name() + "; SET search_path TO " +
                                   replay_->name() + ";\n" + script);
    return pgtest::Observer(conninfo_, replay_->name()).Scalar(sql);
  }
  int32_t Key(DataServices& ds, const std::string& cls) {
    return ds.GetNextKey(M + "VlKeys", "KeyClass", cls, "LastKey");
  }

  std::string conninfo_;
  dbtest::TempDir dir_;
  std::unique_ptr<pgtest::ScratchSchema> schema_, replay_;
  std::unique_ptr<DataServices> ds_;
};

TEST_P(DataServicesContractTest, StatementsResolveMarkersAndTimestampsAndKeepEveryCharacter) {
  EXPECT_EQ(ds_->GetDBType(), pg() ? kDBPostgreSQL : kDBSQLite);
  // The character 26 is how "|" is stored; quotes, backslashes, line
  // breaks and letters of other alphabets come back byte for byte, and a
  // marker or literal-like text inside a text value stays as written.
  const std::string text = "a|b\x1A" + M + " { ts '2001-01-01 00:00:00'} \"d\" back\\slash \\n\n" +
                           "\t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8D\xBA \x01\x1F\x7F 'q'";
  std::string literal = "'";
  for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
  EXPECT_EQ(ds_->ExecuteSQL("INSERT INTO " + M + "T (ID, NAME, WHEN_DONE, AMOUNT) VALUES (1, " +
                            literal + "', { ts '2003-07-01 14:05:09'}, 12.5)"),
            nullptr);
  auto rs = ds_->ExecuteSQL("SELECT ID, NAME, WHEN_DONE, AMOUNT FROM " + M + "T");
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->GetFieldValue("id").type(), vbLong);
  EXPECT_EQ(rs->GetFieldValue("NAME").AsString(), text);
  ASSERT_EQ(rs->GetFieldValue("WHEN_DONE").type(), vbDate);
  EXPECT_EQ(rs->GetFieldValue("WHEN_DONE").AsDate(), (VlDate{2003, 7, 1, 14, 5, 9}));
  EXPECT_EQ(rs->GetFieldValue("AMOUNT").AsDouble(), 12.5);
  ds_->Commit();
  EXPECT_EQ(Seen("SELECT NAME FROM T"), text);
  // A NUL cannot be stored: the statement is refused before it runs.
  EXPECT_NE(ErrorOf([&] { ds_->ExecuteSQL(std::string("DELETE FROM T WHERE NAME = 'a\0b'", 32)); }),
            "<no error>");
  if (!pg()) return;
  auto calc = ds_->ExecuteSQL(
      "SELECT COUNT(*) AS N, 5000000000 AS BIG, NULL AS NOTHING, 1.5::numeric AS HALF, 0.1::float8 "
      "AS TENTH, TRUE AS YES, DATE '2024-02-29' AS LEAP FROM T");
  EXPECT_EQ(calc->GetFieldValue("N").type(), vbLong);
  EXPECT_EQ(calc->GetFieldValue("BIG").AsDouble(), 5e9);
  EXPECT_TRUE(calc->GetFieldValue("NOTHING").IsNull());
  EXPECT_EQ(calc->GetFieldValue("HALF").AsDouble(), 1.5);
  EXPECT_EQ(calc->GetFieldValue("TENTH").AsDouble(), 0.1);
  EXPECT_EQ(calc->GetFieldValue("YES").type(), vbBoolean);
  EXPECT_EQ(calc->GetFieldValue("LEAP").AsDate(), (VlDate{2024, 2, 29, 0, 0, 0}));
}

TEST_P(DataServicesContractTest, AFailedStatementUndoesOnlyItselfAndNamesTheStatement) {
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (1, 'one')");
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (2, 'two')");
  // (Each failing statement is the first of its shape, which the server's
  // data services always wait for.)
  try {
    ds_->ExecuteSQL("INSERT INTO T (ID) VALUES (1)");
    ADD_FAILURE() << "a duplicate key was accepted";
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kDatabase);
    EXPECT_NE(e.description().find("INSERT INTO T (ID) VALUES (1)"), std::string::npos);
  }
  // A huge statement is shortened in the description.
  const std::string huge = ErrorOf(
      [&] { ds_->ExecuteSQL("INSERT INTO Nowhere VALUES ('" + std::string(1e5, 'z') + "')"); });
  EXPECT_NE(huge.find(" ... "), std::string::npos);
  EXPECT_LT(huge.size(), 1000u);
  // Two statements in one text are refused; neither runs.
  for (const char* bad : {"SELEKT 1", "", "   ", "INSERT INTO T (ID) VALUES (7); DROP TABLE T"})
    EXPECT_NE(ErrorOf([&] { ds_->ExecuteSQL(bad); }), "<no error>") << bad;
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (3, 'three');");  // a trailing ";" is fine
  EXPECT_EQ(Ids(), "");                                              // nothing committed yet
  ds_->Commit();
  EXPECT_EQ(Ids(), "1,2,3");
}

// Automatic commits every few statements; a rollback undoes what was not
// committed; while commits are held nothing becomes durable until they are
// released, and closing undoes it; closing otherwise commits. (A run that
// writes into another project holds its commits.)
TEST_P(DataServicesContractTest, CommitsRollbacksAndHeldCommits) {
  auto ds = Open(3);
  auto insert = [&](int from, int to) {
    for (int i = from; i <= to; ++i)
      ds->ExecuteSQL("INSERT INTO T (ID) VALUES (" + std::to_string(i) + ")");
  };
  insert(1, 4);
  ds->Rollback();
  EXPECT_EQ(Ids(), "1,2,3");
  insert(4, 4);
  ds->Commit();
  EXPECT_EQ(Ids(), "1,2,3,4");
  ds->HoldCommits(true);
  insert(5, 8);
  ds->Commit();
  EXPECT_EQ(Ids(), "1,2,3,4");
  ds->Rollback();
  insert(9, 9);
  ds->HoldCommits(false);
  ds->Commit();
  EXPECT_EQ(Ids(), "1,2,3,4,9");
  ds->HoldCommits(true);
  insert(10, 10);
  Close(*ds);
  EXPECT_EQ(Ids(), "1,2,3,4,9");
  EXPECT_THROW(ds->ExecuteSQL("SELECT 1"), VlError);
  EXPECT_NO_THROW(Close(*ds));
  ds_->ExecuteSQL("INSERT INTO T (ID) VALUES (11)");
  Close(*ds_);
  EXPECT_EQ(Ids(), "1,2,3,4,9,11");
}

TEST_P(DataServicesContractTest, KeysNeverRepeatAlsoAcrossReopening) {
  EXPECT_EQ(Key(*ds_, "User"), 1);  // a missing class starts at 1
  EXPECT_EQ(Key(*ds_, "User"), 2);
  EXPECT_EQ(ds_->GetNextKey("VlKeys", "KeyClass", "O'Brien", "LastKey"), 1);
  // A statement reading the key table sees the last key handed out, and
  // one setting it decides where the next key starts.
  EXPECT_EQ(ds_->ExecuteSQL("SELECT LastKey FROM VlKeys WHERE KeyClass = 'User'")
                ->GetFieldValue("LastKey")
                .AsInt(),
            2);
  ds_->ExecuteDDL("UPDATE " + M + "VlKeys SET LastKey = 55 WHERE KeyClass = 'User'");
  EXPECT_EQ(Key(*ds_, "User"), 56);
  Close(*ds_);
  EXPECT_EQ(Seen("SELECT LastKey FROM VlKeys WHERE KeyClass = 'User'"), "56");
  ds_ = Open();
  EXPECT_EQ(Key(*ds_, "User"), 57);
  EXPECT_EQ(Key(*ds_, "O'Brien"), 2);
  // Names are names, never SQL.
  EXPECT_THROW(ds_->GetNextKey("VlKeys", "KeyClass = 'x' OR 1=1 --", "User", "LastKey"), VlError);
  EXPECT_NE(ErrorOf([&] {
              ds_->GetNextKey("NoKeys", "KeyClass", "User", "LastKey");
            }).find(pg() ? "nokeys" : "NoKeys"),
            std::string::npos);
  ds_->ExecuteDDL("UPDATE VlKeys SET LastKey = 2147483647 WHERE KeyClass = 'User'");
  try {
    Key(*ds_, "User");
    ADD_FAILURE() << "an exhausted key class gave a key";
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kOverflow);
  }
}

TEST_P(DataServicesContractTest, EditableRecordsetsWriteBackToTheRowReadOnly) {
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME, AMOUNT) VALUES (1, 'one', 1)");
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME, AMOUNT) VALUES (2, 'two', 2)");
  auto rs = ds_->QueryRecordset(
      "SELECT NAME, WHEN_DONE, AMOUNT, ID * 2 AS TWICE FROM " + M + "T WHERE ID = 2", true);
  ASSERT_FALSE(rs->IsEOF());
  rs->SetFieldValue("name", Variant::String("zwei's|\x1A"));
  rs->SetFieldValue("WHEN_DONE", Variant::Date(VlDate{2020, 1, 2, 3, 4, 5}));
  rs->Update();
  rs->SetFieldValue("AMOUNT", Variant::Double(2.25));  // the same row again
  rs->Update();
  rs->SetFieldValue("TWICE", Variant::Long(9));
  EXPECT_THROW(rs->Update(), VlError);
  // Without the key among the columns the row is still found.
  auto by_name = ds_->QueryRecordset("SELECT  NAME  FROM T  WHERE ID=1", true);
  by_name->SetFieldValue("NAME", Variant::String("uno"));
  by_name->Update();
  ds_->Commit();
  EXPECT_EQ(Seen("SELECT NAME || '/' || WHEN_DONE || '/' || AMOUNT FROM T WHERE ID = 2"),
            "zwei's|\x1A/2020-01-02 03:04:05/2.25");
  EXPECT_EQ(Seen("SELECT NAME || AMOUNT FROM T WHERE ID = 1"), pg() ? "uno1" : "uno1.0");
  EXPECT_THROW(ds_->QueryRecordset("SELECT * FROM T")->SetFieldValue("NAME", Variant::Null()),
               VlError);
  for (const char* sql : {"SELECT DISTINCT NAME FROM T", "SELECT a.NAME, b.NAME FROM T a, T b",
                          "UPDATE T SET NAME = 'x'"})
    EXPECT_THROW(ds_->QueryRecordset(sql, true), VlError) << sql;
  auto late = ds_->QueryRecordset("SELECT NAME FROM T", true);
  late->SetFieldValue("NAME", Variant::String("late"));
  Close(*ds_);
  EXPECT_THROW(late->Update(), VlError);
}

TEST_P(DataServicesContractTest, TheStatementLogRebuildsTheDatabase) {
  std::string script = "CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey INTEGER);\n";
  SetLog(*ds_, [&](const std::string& s) { script += s + ";\n"; });
  ds_->ExecuteSQL("CREATE TABLE " + M + "Log (ID INTEGER, TEXT_VALUE TEXT, AT TIMESTAMP)");
  ds_->ExecuteSQL("INSERT INTO Log VALUES (5, 'a;b', { ts '2001-02-03 04:05:06'})");
  ds_->ExecuteSQL("INSERT INTO Log VALUES (" + std::to_string(Key(*ds_, "Log")) + ", 'c', NULL)");
  EXPECT_THROW(ds_->ExecuteSQL("INSERT INTO Log VALUES ('x', 'y', 'z', 'w')"), VlError);
  // An edited row is written back by a statement the log can replay.
  auto edited = ds_->QueryRecordset("SELECT TEXT_VALUE, AT FROM Log WHERE TEXT_VALUE = 'c'", true);
  edited->SetFieldValue("TEXT_VALUE", Variant::String("it's \\ d"));
  edited->SetFieldValue("AT", Variant::Date(VlDate{2002, 3, 4, 5, 6, 7}));
  edited->Update();
  Close(*ds_);
  EXPECT_EQ(Replay(script,
                   "SELECT (SELECT TEXT_VALUE || '/' || AT FROM Log WHERE ID = 5) || '/' || "
                   "(SELECT TEXT_VALUE || '/' || AT FROM Log WHERE ID = 1) || '/' || "
                   "(SELECT LastKey FROM VlKeys)"),
            "a;b/2001-02-03 04:05:06/it's \\ d/2002-03-04 05:06:07/1")
      << script;
}

INSTANTIATE_TEST_SUITE_P(Databases, DataServicesContractTest,
                         ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto& info) { return std::string(info.param); });

TEST(SqliteOpenTest, AFolderIsNoDatabase) {
  dbtest::TempDir dir;
  const std::string d = ErrorOf([&] { SqliteDataServices::OpenFile(dir.path(), true); });
  EXPECT_NE(d.find("folder"), std::string::npos) << d;
}

}  // namespace
}  // namespace vl
