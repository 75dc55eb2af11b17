// What the data services over PostgreSQL do beyond the contract of every
// data services: statements sent without waiting must give what waiting
// for each gives; keys, connections. Against the test server (see
// pg_test_support.h); each test works in a schema of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "errors/vl_error.h"
#include "host/db/pg_data_services.h"
#include "support/error_text.h"
#include "support/pg_test_support.h"
#include "support/scoped_env.h"

namespace vl {
namespace {

using vl::testing::ErrorOf;
using vl::testing::ExpectSays;

using pgtest::Observer;
using pgtest::ScratchSchema;

const std::string M = kTableMarker;

// What a script of statements ("COMMIT" for Commit(), "KEY" for a key of
// class K, "INDEXES" for StartDeferredIndexes()) gave: the call that threw
// each error and its words, the statement log, what the observer saw and
// the keys drawn.
struct ScriptRun {
  std::vector<std::pair<size_t, std::string>> errors;
  std::string log, observed, seen;
};

ScriptRun RunScript(PgDataServices& ds, const std::vector<std::string>& script) {
  ScriptRun out;
  ds.SetStatementLog([&out](const std::string& s) { out.log += s + ";\n"; });
  ds.SetStatementObserver([&out](const std::string& s) { out.observed += s + ";\n"; });
  for (size_t i = 0; i < script.size(); ++i) {
    try {
      if (script[i] == "COMMIT")
        ds.Commit();
      else if (script[i] == "INDEXES")
        ds.StartDeferredIndexes();
      else if (script[i] == "KEY")
        out.seen += std::to_string(ds.GetNextKey(M + "VlKeys", "KeyClass", "K", "LastKey")) + "|";
      else
        ds.ExecuteSQL(script[i]);
    } catch (const VlError& e) {
      out.errors.emplace_back(i, e.description());
    }
  }
  ds.SetStatementLog(nullptr);
  ds.SetStatementObserver(nullptr);
  return out;
}

// Two schemas alike, each with the tables T and U (so that rows of two
// tables go in one batch): data services that send statements without
// waiting work in the first, those that wait for every statement in the
// second.
class PgPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VL_NEED_PG_SERVER();
    for (int i : {0, 1}) {
      schemas_[i] = std::make_unique<ScratchSchema>(conninfo_, i ? "wait" : "sent");
      Observer(conninfo_).Exec("CREATE SCHEMA " + schemas_[i]->name());
      auto ds = Open(i);
      ds->ExecuteDDL(
          "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT, WHEN_DONE TIMESTAMP, "
          "AMOUNT DOUBLE PRECISION)");
      ds->ExecuteDDL("CREATE TABLE U (ID INTEGER PRIMARY KEY)");
      ds->ExecuteDDL("CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey INTEGER)");
      ds->Commit();
      (i ? waiting_ : ds_) = std::move(ds);
    }
  }
  std::unique_ptr<PgDataServices> Open(int i, PgOptions options = {}) {
    options.pipeline = i == 0;
    return PgDataServices::Connect(schemas_[i]->location(), options);
  }
  // What another session sees of T: the IDs in order.
  std::string Ids(int i) {
    return Observer(conninfo_, schemas_[i]->name())
        .Scalar("SELECT coalesce(string_agg(ID::text, ',' ORDER BY ID), '') FROM T");
  }
  // The IDs of T, then those of U, in the order the rows lie in the table.
  std::string Rows(int i) {
    Observer look(conninfo_, schemas_[i]->name());
    return look.Scalar("SELECT string_agg(ID::text, ',' ORDER BY ctid) FROM T") + "/" +
           look.Scalar("SELECT string_agg(ID::text, ',' ORDER BY ctid) FROM U");
  }
  int32_t Key(PgDataServices& ds, const std::string& cls) {
    return ds.GetNextKey(M + "VlKeys", "KeyClass", cls, "LastKey");
  }

  std::string conninfo_;
  std::unique_ptr<ScratchSchema> schemas_[2];
  std::unique_ptr<PgDataServices> ds_, waiting_;
};

TEST_F(PgPipelineTest, AFailureFoundLateUndoesOnlyItsStatementAndReadsAsAlways) {
  // Batches of four: the first is read when the third begins, the others
  // at the commit. The rows of each table in a batch go as one statement.
  // Every sixth statement an automatic commit (when asked for) ends the
  // batch it falls in; a failure before it means it comes again after.
  struct Case {
    const char* where;
    size_t duplicate;  // which of the twelve writes repeats a key of T
    size_t found_by;   // the call that reports it
    int commit_every = 5000;
  };
  for (const Case& c : {Case{"first of a batch", 0, 10}, Case{"inside a batch", 1, 10},
                        Case{"last of a batch", 3, 10}, Case{"last before the commit", 11, 14},
                        Case{"before an automatic commit", 1, 10, 6},
                        Case{"after an automatic commit", 5, 12, 6}}) {
    SCOPED_TRACE(c.where);
    for (PgDataServices* ds : {ds_.get(), waiting_.get()}) {
      ds->ExecuteDDL("DELETE FROM T");
      ds->ExecuteDDL("DELETE FROM U");
      ds->Commit();
    }
    PgOptions fours;
    fours.batch_statements = 4;
    fours.unread_batches = 2;
    fours.commit_every = c.commit_every;
    auto ds = Open(0, fours);
    auto waiting = Open(1, fours);
    // The first statement of a shape is always waited for; then rows of
    // the two tables in turn.
    std::vector<std::string> script = {"INSERT INTO T (ID, NAME) VALUES (1, 'one')",
                                       "INSERT INTO U (ID) VALUES (1)"};
    for (size_t i = 0; i < 12; ++i)
      script.push_back(i % 2 == 0 && i != c.duplicate
                           ? "INSERT INTO U (ID) VALUES (" + std::to_string(10 + i) + ")"
                           : "INSERT INTO T (ID, NAME) VALUES (" +
                                 std::to_string(i == c.duplicate ? 1 : 10 + i) + ", 'n')");
    // A commit that reports a failure commits nothing; the next one
    // commits every statement but the failed one.
    script.insert(script.end(), {"COMMIT", "COMMIT"});
    const ScriptRun sent = RunScript(*ds, script);
    const ScriptRun waited = RunScript(*waiting, script);
    ASSERT_EQ(waited.errors.size(), 1u);
    ASSERT_EQ(sent.errors.size(), 1u) << sent.errors[1].second;
    EXPECT_EQ(sent.errors[0].first, c.found_by);
    EXPECT_EQ(sent.errors[0].second, waited.errors[0].second);
    EXPECT_NE(sent.errors[0].second.find("duplicate key"), std::string::npos);
    // Every statement but the failed one, in the order made; only the
    // automatic commits may fall elsewhere.
    auto statements = [&](std::string log) {
      if (c.commit_every == 5000) return log;
      for (const char* line : {"BEGIN;\n", "COMMIT;\n"})
        for (size_t at; (at = log.find(line)) != std::string::npos;) log.erase(at, strlen(line));
      return log;
    };
    EXPECT_EQ(statements(sent.log), statements(waited.log));
    EXPECT_EQ(Rows(0), Rows(1));
    EXPECT_EQ(Observer(conninfo_, schemas_[0]->name()).Scalar("SELECT count(*) FROM T, U"), "42");
  }
}

TEST_F(PgPipelineTest, APrivateSchemaKeepsKeysAndIndexesForLaterAndLogsAsWaitingDoes) {
  PgOptions own;
  own.batch_statements = 4;
  own.commit_every = 3;
  own.private_schema = true;
  auto ds = Open(0, own);
  auto waiting = Open(1, own);
  std::vector<std::string> script = {"CREATE INDEX IX_T_NAME ON T (NAME)"};
  for (int i = 1; i <= 10; ++i) {
    script.insert(script.end(),
                  {"KEY", "INSERT INTO T (ID, NAME) VALUES (" + std::to_string(i) + ", 'n')"});
    if (i == 6) script.push_back("INDEXES");  // the rows that follow keep it up to date
  }
  script.push_back("COMMIT");
  const ScriptRun sent = RunScript(*ds, script);
  const ScriptRun waited = RunScript(*waiting, script);
  EXPECT_TRUE(sent.errors.empty());
  EXPECT_EQ(sent.seen, "1|2|3|4|5|6|7|8|9|10|");
  EXPECT_EQ(sent.observed, sent.log);
  EXPECT_EQ(sent.log, waited.log);
  EXPECT_EQ(Rows(0), Rows(1));
  ds->Close();
  waiting->Close();
  for (const auto& schema : {schemas_[0]->name(), schemas_[1]->name()}) {
    Observer look(conninfo_, schema);
    EXPECT_EQ(look.Scalar("SELECT LastKey FROM VlKeys WHERE KeyClass = 'K'"), "10");
    EXPECT_EQ(look.Scalar("SELECT indexdef FROM pg_indexes WHERE indexname = 'ix_t_name' AND "
                          "schemaname = current_schema()"),
              "CREATE INDEX ix_t_name ON " + schema + ".t USING btree (name)");
  }
}

TEST_F(PgPipelineTest, AValueTheServerWouldRefuseIsReportedByItsOwnCall) {
  // Each shape has run once; then values its places cannot take, each
  // between good ones.
  const std::string cols = "INSERT INTO T (ID, NAME, WHEN_DONE, AMOUNT) VALUES (";
  const std::vector<std::string> script = {
      cols + "1, 'a', { ts '2003-07-01 14:05:09'}, 1.5)",
      cols + "2, 'b', { ts '2003-02-29 14:05:09'}, 1.5)",    // no such day
      cols + "3, 'c', { ts '2003-07-01 14:05:09'}, 1e400)",  // beyond any double
      cols + "4, 'd', { ts '2004-02-29 23:59:59'}, 2.5)",
      "INSERT INTO T (ID, NAME) VALUES ('5', 'e')",
      "INSERT INTO T (ID, NAME) VALUES ('six', 'f')",  // no number
      "INSERT INTO T (ID, NAME) VALUES (7, 'g')",
      "INSERT INTO T (ID, NAME) VALUES (8, 'bad \xC3\x28 UTF-8')",
      "INSERT INTO T (ID, NAME) VALUES (9, 'i')",
      "COMMIT"};
  const ScriptRun sent = RunScript(*ds_, script);
  const ScriptRun waited = RunScript(*waiting_, script);
  ASSERT_EQ(waited.errors.size(), 4u);
  EXPECT_EQ(sent.errors, waited.errors);
  EXPECT_EQ(sent.log, waited.log);
  EXPECT_EQ(Ids(0), "1,4,5,7,9");
  EXPECT_EQ(Ids(1), "1,4,5,7,9");
}

TEST_F(PgPipelineTest, RowsOfOneTableSentTogetherReadEveryValueAsItsOwnStatementDoes) {
  // Texts an array's text would misread, numbers and times into columns
  // of every common type; a key used twice in the middle. Most rows are
  // of one shape, so all but the first go together.
  const std::string create =
      "CREATE TABLE W (N INTEGER PRIMARY KEY, S SMALLINT, B BIGINT, V TEXT, F DOUBLE PRECISION, "
      "R REAL, T TIMESTAMP, DT DATE, OK BOOLEAN)";
  const std::vector<std::string> rows = {
      "1, 2, 3, 'plain', 1.5, 0.5, { ts '2003-07-01 14:05:09'}, '2003-07-01', 'true'",
      "2, 2, 900000000, '', 0.005, 1.25e3, { ts '1999-12-31 23:59:59'}, '1999-12-31', 'f'",
      "3, 0, 0, 'NULL', 7.0, 3.0, { ts '2004-02-29 00:00:00'}, '2004-02-29', '1'",
      "4, 4, 4, 'a\\b {\"a\",b} ,)(', 12.345, 1.0, { ts '2003-07-01 14:05:09'}, '2003-07-01', "
      "'false'",
      "1, 1, 1, 'one again', 1.0, 1.0, { ts '2003-07-01 14:05:09'}, '2003-07-01', 't'",
      "5, 5, 5, 'say \"hi\"', 1e10, 2.5, { ts '2003-07-01 00:00:00'}, '2003-07-01', '0'",
      "6, 6, 6, 'it''s', 0.01, 2.5, { ts '2003-07-01 00:00:00'}, '2003-07-01', 't'",
      "7, 7, 7, 'caf\xC3\xA9 tab\there \\x00ff', 99.0, 99.0, { ts '2003-07-01 14:05:09'}, "
      "'2003-07-01', '0'",
      "8, -32768, -5, '-1', -0.5, -1.5, { ts '2003-07-01 00:00:00'}, '2003-07-01', 't'",
      // Two more shapes: numbers at their types' ends, texts only the server reads.
      "9, 0, -9223372036854775807, 'x', 0.5, 0.5, { ts '2003-07-01 00:00:00'}, '2003-07-01', 't'",
      "10, 0, 9223372036854775807, 'y', 0.5, 0.5, { ts '2003-07-01 00:00:00'}, '2003-07-01', 't'",
      "11, '007', '+9', '', 0, 0, { ts '2003-07-01 00:00:00'}, '2003-07-01', 't'",
      "12, ' 12', '-0', ' ', 0, 0, { ts '2003-07-01 00:00:00'}, '2003-07-01', 't'"};
  for (const bool twice : {false, true}) {
    SCOPED_TRACE(twice ? "a key used twice" : "all good");
    std::vector<std::string> script;
    for (const std::string& row : rows)
      if (twice || row.find("one again") == std::string::npos)
        script.push_back("INSERT INTO W (N, S, B, V, F, R, T, DT, OK) VALUES (" + row + ")");
    // A commit that reports a failure commits nothing; the next one does.
    script.insert(script.end(), {"COMMIT", "COMMIT"});
    std::string table[2];
    for (int i : {0, 1}) {
      PgOptions whole;
      whole.batch_statements = 100;
      auto ds = Open(i, whole);
      ds->ExecuteDDL("DROP TABLE IF EXISTS W");
      ds->ExecuteDDL(create);
      ds->Commit();
      const long trips = ds->round_trips();
      const ScriptRun run = RunScript(*ds, script);
      table[i] = Observer(conninfo_, schemas_[i]->name())
                     .Scalar("SELECT string_agg(W::text, E'\\n' ORDER BY ctid) FROM W");
      if (!twice) {
        EXPECT_TRUE(run.errors.empty()) << run.errors[0].second;
        // The first row of each shape waits, and so does the one whose
        // text only the server can read (' 12'); the others go together,
        // read once. One statement each would be twice as many.
        if (i == 0) {
          EXPECT_LE(ds->round_trips() - trips, 12) << table[i];
        }
        continue;
      }
      ASSERT_EQ(run.errors.size(), 1u);
      // Sent without waiting, the failure is found by a later call.
      EXPECT_EQ(run.errors[0].first > 4, i == 0);
      EXPECT_NE(run.errors[0].second.find("duplicate key"), std::string::npos)
          << run.errors[0].second;
    }
    EXPECT_EQ(table[0], table[1]);
    EXPECT_EQ(std::count(table[0].begin(), table[0].end(), '\n'), 11);
  }
}

TEST_F(PgPipelineTest, TwoSessionsNeverHandOutTheSameKey) {
  PgOptions quick;
  quick.connect.lock_timeout_ms = 200;
  auto other = Open(0, quick);
  EXPECT_EQ(Key(*ds_, "Document"), 1);
  EXPECT_EQ(Key(*ds_, "Document"), 2);
  // The other session waits for the key row; here it gives up after the
  // lock timeout with a reason, instead of hanging.
  const std::string waited = ErrorOf([&] { Key(*other, "Document"); });
  EXPECT_NE(waited.find("lock"), std::string::npos) << waited;
  ds_->Commit();
  EXPECT_EQ(Key(*other, "Document"), 3);
  other->Commit();
  EXPECT_EQ(Key(*ds_, "Document"), 4);
}

class PgConnectionTest : public ::testing::Test {
 protected:
  std::string conninfo_;
};

TEST_F(PgConnectionTest, AServerThatCannotBeUsedIsNamedWithTheReason) {
  PgLocation nowhere;
  nowhere.host = "127.0.0.1";
  nowhere.port = "1";
  PgLocation silent = nowhere;  // no answer: the connect timeout ends the wait
  silent.host = "10.255.255.1";
  silent.port = "5432";
  PgOptions quick;
  quick.connect.connect_timeout_s = 2;
  ExpectSays(ErrorOf([&] { PgDataServices::Connect(nowhere); }),
             {"PostgreSQL server 127.0.0.1:1", "refused"});
  ExpectSays(ErrorOf([&] { PgDataServices::Connect(silent, quick); }), {"10.255.255.1"});
  VL_NEED_PG_SERVER();
  PgLocation where = pgtest::TestLocation(conninfo_, "alpha");
  PgLocation stranger = where, no_db = where;
  stranger.user = "vl_no_such_role";
  no_db.database = "vl_no_such_database";
  ExpectSays(ErrorOf([&] { PgDataServices::Connect(stranger); }),
             {"Cannot connect to the PostgreSQL server", "vl_no_such_role"});
  ExpectSays(ErrorOf([&] { PgDataServices::Connect(no_db); }),
             {"vl_no_such_database", "does not exist"});
  // A role that must give a password (the test cluster asks vl_pw_test
  // for one): the password comes from libpq's sources, here PGPASSWORD.
  Observer(conninfo_).Exec(
      "DO $$ BEGIN CREATE ROLE vl_pw_test LOGIN PASSWORD 'right'; EXCEPTION WHEN "
      "duplicate_object THEN NULL; END $$");
  PgLocation pw = where;
  pw.user = "vl_pw_test";
  pw.options = "password=wrong";
  std::string d = ErrorOf([&] { PgDataServices::Connect(pw); });
  EXPECT_NE(d.find("password"), std::string::npos) << d;  // never taken from the settings
  pw.options.clear();
  {
    testing::ScopedEnv wrong("PGPASSWORD", "wrong");
    d = ErrorOf([&] { PgDataServices::Connect(pw); });
  }
  testing::ScopedEnv right_password("PGPASSWORD", "right");
  const std::string right = ErrorOf([&] { PgDataServices::Connect(pw); });
  if (right != "<no error>" || d == "<no error>")
    GTEST_SKIP() << "this server does not ask vl_pw_test for a password";
  ExpectSays(d, {"password authentication failed", "vl_pw_test"});
}

}  // namespace
}  // namespace vl
