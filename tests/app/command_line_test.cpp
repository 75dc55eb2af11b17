#include "app/command_line.h"

#include <sqlite3.h>

#include <sstream>

#include "app_fixture.h"

namespace vl {
namespace {

struct CliResult {
  int status;
  std::string out, err;
};

CliResult RunCli(const std::vector<std::string>& args, const std::string& input = "",
                 bool interactive = false) {
  std::ostringstream out, err;
  std::istringstream in(input);
  int status = RunCommandLine(args, VL_BINARY_DIR, out, err, in, interactive);
  return {status, out.str(), err.str()};
}

int64_t Count(const std::string& db, const std::string& sql) {
  sqlite3* h = nullptr;
  int64_t n = -1;
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return n;
}

TEST(CommandLineParse, UsageErrorsAreRefused) {
  CommandLineOptions o;
  std::string error;
  EXPECT_FALSE(ParseCommandLine({}, o, error));
  EXPECT_FALSE(ParseCommandLine({"frobnicate", "x"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"create"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"create", "a", "b"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"create", "a", "--folder"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"create", "a", "--external", "nothing"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"create", "a", "--bogus"}, o, error));
  EXPECT_EQ(RunCli({"create"}).status, kExitUsage);
  EXPECT_EQ(RunCli({"--help"}).status, kExitOk);
}

TEST(CommandLineParse, OptionsAreTaken) {
  CommandLineOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"create", "/b", "--folder", "/p", "--name", "N", "--all",
                                "--external", "{G}=/x/y.vlp", "--yes", "--quiet"},
                               o, error))
      << error;
  EXPECT_EQ(o.baseline, "/b");
  EXPECT_EQ(o.folder, "/p");
  EXPECT_EQ(o.name, "N");
  EXPECT_TRUE(o.all && o.yes && o.quiet);
  ASSERT_EQ(o.externals.size(), 1u);
  EXPECT_EQ(o.externals[0].first, "{G}");
  EXPECT_EQ(o.externals[0].second, "/x/y.vlp");
}

using CommandLineTest = AppTest;

TEST_F(CommandLineTest, ValidatePrintsTheBaselineOrFails) {
  CliResult ok = RunCli({"validate", SampleBaseline()});
  EXPECT_EQ(ok.status, kExitOk) << ok.err;
  EXPECT_NE(ok.out.find("GUID:"), std::string::npos);
  CliResult bad = RunCli({"validate", (scratch_ / "nothing").string()});
  EXPECT_EQ(bad.status, kExitFailed);
  EXPECT_NE(bad.err.find("BaselineList.xml"), std::string::npos);
}

TEST_F(CommandLineTest, CreateMakesTheProjectAndReportsTheResult) {
  std::string folder = (scratch_ / "Made").string();
  CliResult r =
      RunCli({"create", SampleBaseline(), "--folder", folder, "--all", "--yes", "--quiet"});
  ASSERT_EQ(r.status, kExitOk) << r.err << r.out;
  EXPECT_NE(r.out.find("Project created: " + folder + "/Made.vlp"), std::string::npos);
  EXPECT_GT(Count(folder + "/Made.db", "select count(*) from vlUsers"), 1);
}

TEST_F(CommandLineTest, AFolderQuestionWithoutAnAnswerStopsBeforeCreating) {
  std::string folder = (scratch_ / "Asked" / "Deeper").string();
  CliResult r = RunCli({"create", SampleBaseline(), "--folder", folder});
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("--yes"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder));
  CliResult typed = RunCli({"create", SampleBaseline(), "--folder", folder}, "y\n", true);
  EXPECT_EQ(typed.status, kExitOk) << typed.err;
}

TEST_F(CommandLineTest, UnknownDatabaseAndExternalProjectAreRefused) {
  std::string folder = (scratch_ / "X").string();
  EXPECT_EQ(RunCli({"create", SampleBaseline(), "--folder", folder, "--database", "Nope", "--yes"})
                .status,
            kExitFailed);
  EXPECT_EQ(RunCli({"create", SampleBaseline(), "--folder", folder, "--yes", "--external",
                    "{00000000-0000-0000-0000-000000000000}=/x.vlp"})
                .status,
            kExitUsage);
}

}  // namespace
}  // namespace vl
