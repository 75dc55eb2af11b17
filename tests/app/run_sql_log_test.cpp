#include "app/run_sql_log.h"

#include <sqlite3.h>

#include "app_fixture.h"

namespace vl {
namespace {

// Every row of every table of `db`, table by table in name order, each
// row as quote() of its columns: two databases with the same rows give
// the same text.
std::string AllRows(const std::string& db) {
  sqlite3* h = nullptr;
  std::string out;
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return "";
  std::vector<std::string> tables;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(h, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1,
                     &st, nullptr);
  while (sqlite3_step(st) == SQLITE_ROW)
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  for (const std::string& t : tables) {
    out += "== " + t + "\n";
    sqlite3_prepare_v2(h, ("SELECT * FROM \"" + t + "\" ORDER BY rowid").c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const char* v = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        out += std::to_string(sqlite3_column_type(st, c)) + ":" + (v ? v : "") + "|";
      }
      out += "\n";
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return out;
}

using RunSqlLogTest = AppTest;

TEST_F(RunSqlLogTest, TheLogOfARunRebuildsItsDatabase) {
  const std::string folder = (scratch_ / "Logged").string();
  const std::string log = (scratch_ / "run.sql").string();
  const CliResult run = RunCli({"create", SampleBaseline(), "--folder", folder, "--all", "--yes",
                                "--quiet", "--sql-log", log, "--stage-times"});
  ASSERT_EQ(run.status, kExitOk) << run.err << run.out;
  const std::string& out = run.out;
  const std::string script = ReadFile(log);
  // The database's creation, its settings and the transaction boundaries
  // are in it, as run.
  EXPECT_EQ(script.rfind("PRAGMA journal_mode=WAL;\n", 0), 0u) << script.substr(0, 200);
  EXPECT_NE(script.find("\nCREATE TABLE VlKeys "), std::string::npos);
  EXPECT_NE(script.find("\nBEGIN;\n"), std::string::npos);
  EXPECT_EQ(script.substr(script.size() - 8), "COMMIT;\n");

  sqlite3* replay = nullptr;
  const std::string replayed = (scratch_ / "replayed.db").string();
  ASSERT_EQ(sqlite3_open(replayed.c_str(), &replay), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(replay, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(replay);
  sqlite3_close(replay);
  const std::string made = AllRows(folder + "/Logged.db");
  EXPECT_NE(made.find("== vlRequirements\n1:"), std::string::npos) << "no requirement copied";
  EXPECT_EQ(AllRows(replayed), made);

  // The stage times name the stages in the order they ran, the baseline
  // check first, and the count is that of the statements in the log.
  const size_t stages = out.find("Stage times:\n  CheckBaseline ");
  ASSERT_NE(stages, std::string::npos) << out;
  EXPECT_LT(out.find("  CreateProject "), out.find("  CopyXMLPkgInfo "));
  EXPECT_LT(out.find("  CopyXMLPkgInfo "), out.find("  CopyXMLDiscInfo "));
  size_t statements = 0, at = 0;
  while ((at = script.find(";\n", at)) != std::string::npos) ++statements, at += 2;
  EXPECT_NE(out.find("Statements executed: " + std::to_string(statements) + "\n"),
            std::string::npos)
      << out;
}

TEST_F(RunSqlLogTest, ALogThatCannotBeWrittenStopsBeforeTheRun) {
  const std::string folder = (scratch_ / "NotMade").string();
  const CliResult r = RunCli({"create", SampleBaseline(), "--folder", folder, "--all", "--yes",
                              "--sql-log", (scratch_ / "no-such-folder" / "run.sql").string()});
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("no-such-folder/run.sql"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(folder + "/NotMade.vlp"));
}

TEST_F(RunSqlLogTest, OnlyTheFirstDatabaseOfTheRunIsLogged) {
  RunSqlLog log;
  std::string error;
  const std::string path = (scratch_ / "only.sql").string();
  ASSERT_TRUE(log.Open(path, error)) << error;
  log.Take("/p/new.db", "CREATE TABLE T (A)");
  log.Take("/p/external.db", "INSERT INTO vlExternalProjects VALUES (1)");
  log.Take("/p/new.db", "INSERT INTO T VALUES ('a;\nb')");
  ASSERT_TRUE(log.Close(error)) << error;
  EXPECT_EQ(ReadFile(path), "CREATE TABLE T (A);\nINSERT INTO T VALUES ('a;\nb');\n");
}

}  // namespace
}  // namespace vl
