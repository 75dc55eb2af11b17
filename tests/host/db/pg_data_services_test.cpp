// The data services over PostgreSQL, against the test server (see
// pg_test_support.h); each test works in a schema of its own.
#include "host/db/pg_data_services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "errors/vl_error.h"
#include "support/pg_test_support.h"
#include "support/scoped_env.h"

namespace vl {
namespace {

using pgtest::Observer;
using pgtest::ScratchSchema;

const std::string M = kTableMarker;

// Each of `parts` appears in the message `d`.
void ExpectSays(const std::string& d, std::initializer_list<std::string> parts) {
  for (const std::string& part : parts) EXPECT_NE(d.find(part), std::string::npos) << d;
}

template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const VlError& e) {
    return e.description();
  }
  return "<no error>";
}

class PgDataServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VL_NEED_PG_SERVER();
    schema_ = std::make_unique<ScratchSchema>(conninfo_, "ds");
    Observer(conninfo_).Exec("CREATE SCHEMA " + schema_->name());
    ds_ = Open();
    ds_->ExecuteDDL(
        "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT, WHEN_DONE TIMESTAMP, AMOUNT "
        "DOUBLE PRECISION)");
    ds_->ExecuteDDL("CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey INTEGER)");
    ds_->Commit();
  }
  void TearDown() override {
    ds_.reset();
    schema_.reset();
  }
  std::unique_ptr<PgDataServices> Open(PgOptions options = {}) {
    return PgDataServices::Connect(schema_->location(), options);
  }
  // What another session sees of T: the IDs in order.
  std::string CommittedIds() {
    return Observer(conninfo_, schema_->name())
        .Scalar("SELECT coalesce(string_agg(ID::text, ',' ORDER BY ID), '') FROM T");
  }
  int32_t Key(PgDataServices& ds, const std::string& cls) {
    return ds.GetNextKey(M + "VlKeys", "KeyClass", cls, "LastKey");
  }

  std::string conninfo_;
  std::unique_ptr<ScratchSchema> schema_;
  std::unique_ptr<PgDataServices> ds_;
};

TEST_F(PgDataServicesTest, ResolvesMarkersAndTimestampsAndReadsTypedValues) {
  EXPECT_EQ(ds_->GetDBType(), kDBPostgreSQL);
  EXPECT_EQ(
      ds_->ExecuteSQL("INSERT INTO " + M + "T (ID, NAME, WHEN_DONE, AMOUNT) VALUES (1, 'it''s " +
                      M + " { ts ''2001-01-01 00:00:00''}', { ts '2003-07-01 14:05:09'}, 12.5)"),
      nullptr);
  auto rs = ds_->ExecuteSQL("SELECT ID, NAME, WHEN_DONE, AMOUNT FROM " + M + "T");
  ASSERT_NE(rs, nullptr);
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->GetFieldValue("ID").type(), vbLong);
  EXPECT_EQ(rs->GetFieldValue("id").AsInt(), 1);
  // Inside a text value the marker and a literal-like text stay as written.
  EXPECT_EQ(rs->GetFieldValue("NAME").AsString(), "it's " + M + " { ts '2001-01-01 00:00:00'}");
  ASSERT_EQ(rs->GetFieldValue("WHEN_DONE").type(), vbDate);
  EXPECT_EQ(rs->GetFieldValue("WHEN_DONE").AsDate(), (VlDate{2003, 7, 1, 14, 5, 9}));
  EXPECT_EQ(rs->GetFieldValue("AMOUNT").AsDouble(), 12.5);

  auto calc = ds_->ExecuteSQL(
      "SELECT COUNT(*) AS N, SUM(ID) AS S, 5000000000 AS BIG, NULL AS NOTHING, 1.5::numeric AS "
      "HALF, 0.1::float8 AS TENTH, TRUE AS YES, DATE '2024-02-29' AS LEAP FROM T");
  EXPECT_EQ(calc->GetFieldValue("N").type(), vbLong);
  EXPECT_EQ(calc->GetFieldValue("S").type(), vbLong);
  EXPECT_EQ(calc->GetFieldValue("BIG").type(), vbDouble);
  EXPECT_EQ(calc->GetFieldValue("BIG").AsDouble(), 5e9);
  EXPECT_TRUE(calc->GetFieldValue("NOTHING").IsNull());
  EXPECT_EQ(calc->GetFieldValue("HALF").AsDouble(), 1.5);
  EXPECT_EQ(calc->GetFieldValue("TENTH").AsDouble(), 0.1);
  EXPECT_EQ(calc->GetFieldValue("YES").type(), vbBoolean);
  EXPECT_EQ(calc->GetFieldValue("LEAP").AsDate(), (VlDate{2024, 2, 29, 0, 0, 0}));
}

TEST_F(PgDataServicesTest, KeepsEveryCharacterABaselineMayHold) {
  // The character 26 is how "|" is stored; quotes, backslashes (ordinary
  // characters here), line breaks, tabs and letters of other alphabets
  // come back byte for byte, also to another session.
  const std::string text =
      "a|b\x1A"
      "c 'q' \"d\" back\\slash \\n line\nbreak\ttab \xC3\xA9t\xC3\xA9 "
      "\xE2\x82\xAC \xF0\x9F\x8D\xBA \x01\x1F\x7F";
  std::string literal = "'";
  for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
  literal += "'";
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (1, " + literal + ")");
  EXPECT_EQ(ds_->ExecuteSQL("SELECT NAME FROM T")->GetFieldValue("NAME").AsString(), text);
  ds_->Commit();
  EXPECT_EQ(Observer(conninfo_, schema_->name()).Scalar("SELECT NAME FROM T"), text);
  EXPECT_EQ(Observer(conninfo_, schema_->name()).Scalar("SELECT ascii(substr(NAME, 4, 1)) FROM T"),
            "26");
  // A NUL cannot be stored: the statement is refused before it runs.
  const std::string nul = ErrorOf([&] {
    ds_->ExecuteSQL(std::string("INSERT INTO T (ID, NAME) VALUES (2, 'a") + '\0' + "b')");
  });
  EXPECT_NE(nul.find("NUL"), std::string::npos) << nul;
  EXPECT_EQ(CommittedIds(), "1");
}

TEST_F(PgDataServicesTest, AFailedStatementUndoesOnlyItself) {
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (1, 'one')");
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (2, 'two')");
  const std::string dup = ErrorOf([&] { ds_->ExecuteSQL("INSERT INTO T (ID) VALUES (1)"); });
  ExpectSays(dup, {"duplicate key", "INSERT INTO T (ID) VALUES (1)"});
  EXPECT_NE(ErrorOf([&] { ds_->ExecuteSQL("INSERT INTO Nowhere VALUES (1)"); }), "<no error>");
  EXPECT_NE(ErrorOf([&] { ds_->ExecuteSQL("SELEKT 1"); }), "<no error>");
  EXPECT_NE(ErrorOf([&] { ds_->ExecuteSQL(""); }), "<no error>");
  // Two statements in one text are refused; neither runs.
  EXPECT_NE(ErrorOf([&] { ds_->ExecuteSQL("INSERT INTO T (ID) VALUES (7); DROP TABLE T"); }),
            "<no error>");
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (3, 'three')");
  EXPECT_EQ(CommittedIds(), "");  // nothing committed yet
  ds_->Commit();
  EXPECT_EQ(CommittedIds(), "1,2,3");
}

TEST_F(PgDataServicesTest, CommitsOnItsOwnEveryFewStatementsAndWhenClosed) {
  PgOptions every3;
  every3.commit_every = 3;
  auto ds = Open(every3);
  ds->ExecuteSQL("INSERT INTO T (ID) VALUES (1)");
  ds->ExecuteSQL("INSERT INTO T (ID) VALUES (2)");
  ds->ExecuteSQL("INSERT INTO T (ID) VALUES (3)");
  EXPECT_EQ(CommittedIds(), "");
  // The three are committed before the statement that follows them.
  ds->ExecuteSQL("INSERT INTO T (ID) VALUES (4)");
  ds->Rollback();
  EXPECT_EQ(CommittedIds(), "1,2,3");
  ds->ExecuteSQL("INSERT INTO T (ID) VALUES (4)");
  ds->Commit();
  EXPECT_EQ(CommittedIds(), "1,2,3,4");
  ds->ExecuteSQL("INSERT INTO T (ID) VALUES (5)");
  ds->Close();
  EXPECT_EQ(CommittedIds(), "1,2,3,4,5");
  EXPECT_NO_THROW(ds->Close());
  EXPECT_THROW(ds->ExecuteSQL("SELECT 1"), VlError);
  // Rollback undoes what was not committed.
  ds_->ExecuteSQL("INSERT INTO T (ID) VALUES (6)");
  ds_->Rollback();
  ds_->Commit();
  EXPECT_EQ(CommittedIds(), "1,2,3,4,5");
}

// What a script of statements ("COMMIT" for Commit(), "ROLLBACK",
// "HOLD" and "RELEASE" for HoldCommits(true / false), "SEEN" for what
// another session sees of T, "KEY" for a key of class K, "INDEXES" for
// StartDeferredIndexes()) gave: the call
// that threw each error and its words, the statement log, what the
// observer saw and what was seen (the keys among it).
struct ScriptRun {
  std::vector<std::pair<size_t, std::string>> errors;
  std::string log, observed, seen;
};

ScriptRun RunScript(PgDataServices& ds, const std::vector<std::string>& script,
                    const std::function<std::string()>& seen = {}) {
  ScriptRun out;
  ds.SetStatementLog([&out](const std::string& s) { out.log += s + ";\n"; });
  ds.SetStatementObserver([&out](const std::string& s) { out.observed += s + ";\n"; });
  for (size_t i = 0; i < script.size(); ++i) {
    try {
      if (script[i] == "COMMIT")
        ds.Commit();
      else if (script[i] == "ROLLBACK")
        ds.Rollback();
      else if (script[i] == "HOLD" || script[i] == "RELEASE")
        ds.HoldCommits(script[i] == "HOLD");
      else if (script[i] == "SEEN")
        out.seen += seen() + "|";
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

// The same script on data services that wait for every statement, in a
// schema of their own.
class PgPipelineTest : public PgDataServicesTest {
 protected:
  void SetUp() override {
    PgDataServicesTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    waiting_schema_ = std::make_unique<ScratchSchema>(conninfo_, "wait");
    Observer(conninfo_).Exec("CREATE SCHEMA " + waiting_schema_->name());
    PgOptions wait;
    wait.pipeline = false;
    waiting_ = PgDataServices::Connect(waiting_schema_->location(), wait);
    waiting_->ExecuteDDL(
        "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT, WHEN_DONE TIMESTAMP, "
        "AMOUNT DOUBLE PRECISION)");
    waiting_->ExecuteDDL("CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey INTEGER)");
    // A second table, so that rows of two tables go in one batch.
    for (PgDataServices* ds : {ds_.get(), waiting_.get()}) {
      ds->ExecuteDDL("CREATE TABLE U (ID INTEGER PRIMARY KEY)");
      ds->Commit();
    }
  }
  void TearDown() override {
    waiting_.reset();
    waiting_schema_.reset();
    PgDataServicesTest::TearDown();
  }
  // The IDs of T, then those of U, in the order the rows lie in the table.
  std::string Rows(const std::string& schema) {
    Observer look(conninfo_, schema);
    return look.Scalar("SELECT string_agg(ID::text, ',' ORDER BY ctid) FROM T") + "/" +
           look.Scalar("SELECT string_agg(ID::text, ',' ORDER BY ctid) FROM U");
  }
  std::string WaitingIds() {
    return Observer(conninfo_, waiting_schema_->name())
        .Scalar("SELECT coalesce(string_agg(ID::text, ',' ORDER BY ID), '') FROM T");
  }
  // Data services in the waiting schema that wait for every statement.
  std::unique_ptr<PgDataServices> Waiting(PgOptions options) {
    options.pipeline = false;
    return PgDataServices::Connect(waiting_schema_->location(), options);
  }

  std::unique_ptr<ScratchSchema> waiting_schema_;
  std::unique_ptr<PgDataServices> waiting_;
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
    auto ds = Open(fours);
    auto waiting = Waiting(fours);
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
    EXPECT_EQ(Rows(schema_->name()), Rows(waiting_schema_->name()));
    EXPECT_EQ(Observer(conninfo_, schema_->name()).Scalar("SELECT count(*) FROM T, U"), "42");
  }
}

TEST_F(PgPipelineTest, HeldCommitsAndRollbacksLeaveWhatWaitingLeaves) {
  PgOptions fours;
  fours.batch_statements = 4;
  fours.commit_every = 3;  // automatic commits are held too
  auto ds = Open(fours);
  std::vector<std::string> script = {"INSERT INTO T (ID, NAME) VALUES (1, 'n')", "HOLD"};
  auto rows = [&](int from, int to) {
    for (int i = from; i <= to; ++i)
      script.push_back("INSERT INTO T (ID, NAME) VALUES (" + std::to_string(i) + ", 'n')");
  };
  rows(2, 9);
  rows(5, 5);  // a duplicate among statements not yet answered
  rows(10, 14);
  // A held commit reports the failure and commits nothing; a rollback
  // undoes what was sent and not answered; closing while held undoes too.
  script.insert(script.end(), {"COMMIT", "SEEN", "ROLLBACK", "SEEN"});
  rows(20, 29);
  script.insert(script.end(), {"COMMIT", "SEEN", "RELEASE", "COMMIT", "SEEN", "HOLD"});
  rows(30, 33);
  script.push_back("COMMIT");  // held: reads every answer, commits nothing
  const ScriptRun sent = RunScript(*ds, script, [&] { return CommittedIds(); });
  ds->Close();
  const ScriptRun waited = RunScript(*waiting_, script, [&] { return WaitingIds(); });
  waiting_->Close();
  ASSERT_EQ(sent.errors.size(), 1u);
  ASSERT_EQ(waited.errors.size(), 1u);
  EXPECT_EQ(sent.errors[0].second, waited.errors[0].second);
  EXPECT_EQ(sent.log, waited.log);
  EXPECT_EQ(sent.observed, sent.log);
  EXPECT_EQ(sent.seen, waited.seen);
  EXPECT_EQ(sent.seen, "|||20,21,22,23,24,25,26,27,28,29|");
  EXPECT_EQ(CommittedIds(), "20,21,22,23,24,25,26,27,28,29");
  EXPECT_EQ(WaitingIds(), CommittedIds());
}

TEST_F(PgPipelineTest, APrivateSchemaKeepsKeysAndIndexesForLaterAndLogsAsWaitingDoes) {
  PgOptions own;
  own.batch_statements = 4;
  own.commit_every = 3;
  own.private_schema = true;
  auto ds = Open(own);
  auto waiting = Waiting(own);
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
  EXPECT_EQ(sent.log, waited.log);
  EXPECT_EQ(Rows(schema_->name()), Rows(waiting_schema_->name()));
  ds->Close();
  waiting->Close();
  for (const auto& schema : {schema_->name(), waiting_schema_->name()}) {
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
  EXPECT_EQ(CommittedIds(), "1,4,5,7,9");
  EXPECT_EQ(WaitingIds(), "1,4,5,7,9");
}

TEST_F(PgDataServicesTest, ThousandsOfWritesCostAFewRoundTrips) {
  const long before = ds_->round_trips();
  for (int i = 1; i <= 5000; ++i)
    ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (" + std::to_string(i) + ", 'n')");
  ds_->Commit();
  EXPECT_LT(ds_->round_trips() - before, 15);
  EXPECT_EQ(Observer(conninfo_, schema_->name()).Scalar("SELECT count(*) FROM T"), "5000");
  // A failure among them, found whenever the server's answers come in, is
  // reported once and undoes only its statement.
  std::vector<std::string> errors;
  for (int i = 5001; i <= 6001; ++i) try {
      if (i > 6000)
        ds_->Commit();
      else
        ds_->ExecuteSQL("INSERT INTO T (ID, NAME) VALUES (" + std::to_string(i == 5300 ? 5 : i) +
                        ", 'n')");
    } catch (const VlError& e) {
      errors.push_back(e.description());
    }
  ds_->Commit();
  ASSERT_EQ(errors.size(), 1u);
  ExpectSays(errors[0], {"duplicate key", "INSERT INTO T (ID, NAME) VALUES (5, 'n')"});
  EXPECT_EQ(Observer(conninfo_, schema_->name()).Scalar("SELECT count(*) FROM T"), "5999");
}

TEST_F(PgDataServicesTest, KeysGrowAcrossReopeningAndFollowLastKey) {
  EXPECT_EQ(Key(*ds_, "User"), 1);  // a missing class starts at 1
  EXPECT_EQ(Key(*ds_, "User"), 2);
  EXPECT_EQ(ds_->GetNextKey("VlKeys", "KeyClass", "O'Brien", "LastKey"), 1);
  EXPECT_EQ(Key(*ds_, "User"), 3);
  // A statement reading the key table sees the last key handed out...
  EXPECT_EQ(ds_->ExecuteSQL("SELECT LastKey FROM VlKeys WHERE KeyClass = 'User'")
                ->GetFieldValue("LastKey")
                .AsInt(),
            3);
  // ...and one setting it decides where the next key starts.
  ds_->ExecuteDDL("UPDATE " + M + "VlKeys SET LastKey = 55 WHERE KeyClass = 'User'");
  EXPECT_EQ(Key(*ds_, "User"), 56);
  ds_->Close();
  EXPECT_EQ(Observer(conninfo_, schema_->name())
                .Scalar("SELECT LastKey FROM VlKeys WHERE KeyClass = 'User'"),
            "56");
  ds_ = Open();
  EXPECT_EQ(Key(*ds_, "User"), 57);
  EXPECT_EQ(Key(*ds_, "O'Brien"), 2);
  EXPECT_THROW(ds_->GetNextKey("VlKeys", "KeyClass = 'x' OR 1=1 --", "User", "LastKey"), VlError);
  ds_->ExecuteDDL("UPDATE VlKeys SET LastKey = 2147483647 WHERE KeyClass = 'User'");
  try {
    Key(*ds_, "User");
    ADD_FAILURE() << "an exhausted key class gave a key";
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kOverflow);
  }
}

TEST_F(PgDataServicesTest, TwoSessionsNeverHandOutTheSameKey) {
  PgOptions quick;
  quick.connect.lock_timeout_ms = 200;
  auto other = Open(quick);
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

TEST_F(PgDataServicesTest, EditableRecordsetsWriteBackToTheRowRead) {
  ds_->ExecuteSQL("INSERT INTO T (ID, NAME, AMOUNT) VALUES (1, 'one', 1), (2, 'two', 2)");
  auto rs = ds_->QueryRecordset(
      "SELECT NAME, WHEN_DONE, AMOUNT, ID * 2 AS TWICE FROM " + M + "T WHERE ID = 2", true);
  ASSERT_FALSE(rs->IsEOF());
  rs->SetFieldValue("NAME", Variant::String("zwei|\x1A"));
  rs->SetFieldValue("WHEN_DONE", Variant::Date(VlDate{2020, 1, 2, 3, 4, 5}));
  rs->Update();
  // The same row again, after it moved on the page.
  rs->SetFieldValue("AMOUNT", Variant::Double(2.25));
  rs->Update();
  rs->SetFieldValue("TWICE", Variant::Long(9));
  EXPECT_THROW(rs->Update(), VlError);
  ds_->Commit();
  Observer look(conninfo_, schema_->name());
  EXPECT_EQ(look.Scalar("SELECT NAME || '/' || WHEN_DONE || '/' || AMOUNT FROM T WHERE ID = 2"),
            "zwei|\x1A/2020-01-02 03:04:05/2.25");
  EXPECT_EQ(look.Scalar("SELECT NAME FROM T WHERE ID = 1"), "one");
  EXPECT_THROW(ds_->QueryRecordset("SELECT DISTINCT NAME FROM T", true), VlError);
  EXPECT_THROW(ds_->QueryRecordset("SELECT a.NAME, b.NAME FROM T a, T b", true), VlError);
  EXPECT_THROW(ds_->QueryRecordset("UPDATE T SET NAME = 'x'", true), VlError);
}

TEST_F(PgDataServicesTest, TheStatementLogRebuildsTheSchema) {
  std::string script;
  ds_->SetStatementLog([&](const std::string& s) { script += s + ";\n"; });
  ds_->ExecuteSQL("CREATE TABLE " + M + "Log (ID INTEGER, TEXT_VALUE TEXT, AT TIMESTAMP)");
  ds_->ExecuteSQL("INSERT INTO Log VALUES (1, 'a;b', { ts '2001-02-03 04:05:06'})");
  ds_->ExecuteSQL("INSERT INTO Log VALUES (" + std::to_string(Key(*ds_, "Log")) + ", 'c', NULL)");
  EXPECT_THROW(ds_->ExecuteSQL("INSERT INTO Log VALUES ('x')"), VlError);  // not logged
  // An edited row is written back by a statement the log can replay.
  auto edited = ds_->QueryRecordset("SELECT TEXT_VALUE, AT FROM Log WHERE TEXT_VALUE = 'c'", true);
  edited->SetFieldValue("TEXT_VALUE", Variant::String("it's \\ d"));
  edited->SetFieldValue("AT", Variant::Date(VlDate{2002, 3, 4, 5, 6, 7}));
  edited->Update();
  ds_->Close();
  ScratchSchema copy(conninfo_, "replay");
  const std::string replay = pgtest::RunPsql(
      conninfo_, "CREATE SCHEMA " + copy.name() + "; SET search_path TO " + copy.name() + ";\n" +
                     "CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey "
                     "INTEGER);\n" +
                     script + "SELECT * FROM Log ORDER BY ID;\n");
  // What the edited row's SELECT and UPDATE print comes first.
  const std::string rows = "1|a;b|2001-02-03 04:05:06\n1|it's \\ d|2002-03-04 05:06:07\n";
  ASSERT_GE(replay.size(), rows.size()) << replay;
  EXPECT_EQ(replay.substr(replay.size() - rows.size()), rows) << script;
}

class PgConnectionTest : public ::testing::Test {
 protected:
  std::string conninfo_;
};

TEST_F(PgConnectionTest, AServerThatCannotBeReachedIsNamedWithTheReason) {
  PgLocation nowhere;
  nowhere.host = "127.0.0.1";
  nowhere.port = "1";
  nowhere.database = "projects";
  nowhere.user = "alice";
  nowhere.schema = "alpha";
  try {
    PgDataServices::Connect(nowhere);
    ADD_FAILURE() << "connected to a port where nothing listens";
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kDatabaseOpen);
    EXPECT_NE(e.description().find("PostgreSQL server 127.0.0.1:1"), std::string::npos)
        << e.description();
    EXPECT_NE(e.description().find("refused"), std::string::npos) << e.description();
  }
  // A connection attempt that gets no answer ends after the connect
  // timeout, whatever the network does.
  PgLocation silent = nowhere;
  silent.host = "10.255.255.1";
  silent.port = "5432";
  PgOptions quick;
  quick.connect.connect_timeout_s = 2;
  const std::string d = ErrorOf([&] { PgDataServices::Connect(silent, quick); });
  EXPECT_NE(d.find("10.255.255.1"), std::string::npos) << d;
}

TEST_F(PgConnectionTest, WrongCredentialsAndDatabasesAreNamedWithTheReason) {
  VL_NEED_PG_SERVER();
  PgLocation where = pgtest::TestLocation(conninfo_, "alpha");
  PgLocation stranger = where;
  stranger.user = "vl_no_such_role";
  std::string d = ErrorOf([&] { PgDataServices::Connect(stranger); });
  ExpectSays(d, {"Cannot connect to the PostgreSQL server", "vl_no_such_role"});

  PgLocation no_db = where;
  no_db.database = "vl_no_such_database";
  d = ErrorOf([&] { PgDataServices::Connect(no_db); });
  ExpectSays(d, {"vl_no_such_database", "does not exist"});

  // A role that must give a password (the test cluster asks vl_pw_test
  // for one): the password comes from libpq's sources, here PGPASSWORD.
  Observer admin(conninfo_);
  admin.Exec(
      "DO $$ BEGIN CREATE ROLE vl_pw_test LOGIN PASSWORD 'right'; EXCEPTION WHEN "
      "duplicate_object THEN NULL; END $$");
  PgLocation pw = where;
  pw.user = "vl_pw_test";
  pw.options = "password=wrong";
  d = ErrorOf([&] { PgDataServices::Connect(pw); });
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
