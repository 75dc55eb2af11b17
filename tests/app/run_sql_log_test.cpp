#include "app/run_sql_log.h"

#include <sqlite3.h>

#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "app_fixture.h"

namespace vl {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

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

class RunSqlLogTest : public AppTest {
 protected:
  int Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    std::istringstream in;
    int status = RunCommandLine(args, VL_BINARY_DIR, out, err, in, false);
    out_ = out.str();
    err_ = err.str();
    return status;
  }
  std::string out_, err_;
};

TEST_F(RunSqlLogTest, TheLogOfARunRebuildsItsDatabase) {
  const std::string folder = (scratch_ / "Logged").string();
  const std::string log = (scratch_ / "run.sql").string();
  ASSERT_EQ(Run({"create", SampleBaseline(), "--folder", folder, "--all", "--yes", "--quiet",
                 "--sql-log", log, "--stage-times"}),
            kExitOk)
      << err_ << out_;
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
  const size_t stages = out_.find("Stage times:\n  CheckBaseline ");
  ASSERT_NE(stages, std::string::npos) << out_;
  EXPECT_LT(out_.find("  CreateProject "), out_.find("  CopyXMLPkgInfo "));
  EXPECT_LT(out_.find("  CopyXMLPkgInfo "), out_.find("  CopyXMLDiscInfo "));
  size_t statements = 0, at = 0;
  while ((at = script.find(";\n", at)) != std::string::npos) ++statements, at += 2;
  EXPECT_NE(out_.find("Statements executed: " + std::to_string(statements) + "\n"),
            std::string::npos)
      << out_;
}

TEST_F(RunSqlLogTest, ALogThatCannotBeWrittenStopsBeforeTheRun) {
  const std::string folder = (scratch_ / "NotMade").string();
  EXPECT_EQ(Run({"create", SampleBaseline(), "--folder", folder, "--all", "--yes", "--sql-log",
                 (scratch_ / "no-such-folder" / "run.sql").string()}),
            kExitFailed);
  EXPECT_NE(err_.find("no-such-folder/run.sql"), std::string::npos) << err_;
  EXPECT_FALSE(std::filesystem::exists(folder + "/NotMade.vlp"));

  CommandLineOptions o;
  std::string error;
  EXPECT_FALSE(ParseCommandLine({"create", "B", "--sql-log"}, o, error));
  EXPECT_NE(error.find("--sql-log"), std::string::npos);
}

TEST_F(RunSqlLogTest, OnlyTheFirstDatabaseOfTheRunIsLogged) {
  RunSqlLog log;
  std::string error;
  const std::string path = (scratch_ / "only.sql").string();
  ASSERT_TRUE(log.Open(path, error)) << error;
  log.Take("/p/new.db", "CREATE TABLE T (A)");
  log.Take("/p/external.db", "INSERT INTO vlExternalProjects VALUES (1)");
  log.Take("/p/new.db", "INSERT INTO T VALUES ('a;\nb')");
  EXPECT_EQ(log.database(), "/p/new.db");
  EXPECT_EQ(log.statements(), 2);
  ASSERT_TRUE(log.Close(error)) << error;
  EXPECT_EQ(ReadFile(path), "CREATE TABLE T (A);\nINSERT INTO T VALUES ('a;\nb');\n");
}

}  // namespace
}  // namespace vl
