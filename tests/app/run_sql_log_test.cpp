#include "app/run_sql_log.h"

#include "app_fixture.h"
#include "support/db_test_support.h"

namespace vl {
namespace {

using RunSqlLogTest = AppTest;

TEST_F(RunSqlLogTest, TheLogOfARunRebuildsItsDatabase) {
  const std::string folder = (scratch_ / "Logged").string();
  const std::string log = (scratch_ / "run.sql").string();
  const CliResult run = RunCli({"create", SampleBaseline(), "--folder", folder, "--all", "--yes",
                                "--quiet", "--sql-log", log, "--stage-times"});
  ASSERT_EQ(run.status, kExitOk) << run.err << run.out;
  const std::string& out = run.out;
  const std::string script = ReadBytes(log);
  // The database's creation, its settings and the transaction boundaries
  // are in it, as run.
  EXPECT_EQ(script.rfind("PRAGMA journal_mode=WAL;\n", 0), 0u) << script.substr(0, 200);
  EXPECT_NE(script.find("\nCREATE TABLE VlKeys "), std::string::npos);
  EXPECT_NE(script.find("\nBEGIN;\n"), std::string::npos);
  EXPECT_EQ(script.substr(script.size() - 8), "COMMIT;\n");

  const std::string replayed = (scratch_ / "replayed.db").string();
  EXPECT_TRUE(dbtest::OtherConnection(replayed).Exec(script));
  const auto made = dbtest::AllRows(folder + "/Logged.db");
  EXPECT_FALSE(made.at("vlRequirements").empty()) << "no requirement copied";
  EXPECT_EQ(dbtest::AllRows(replayed), made);

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
  EXPECT_EQ(ReadBytes(path), "CREATE TABLE T (A);\nINSERT INTO T VALUES ('a;\nb');\n");
}

}  // namespace
}  // namespace vl
