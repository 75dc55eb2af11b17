// The PostgreSQL options of `vlbaseline create`. The runs go to the test
// server (see tests/host/pg_test_support.h).
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "host/project/project_file.h"
#include "support/db_test_support.h"
#include "support/pg_test_support.h"
#include "support/scoped_env.h"

namespace vl {
namespace {

using pgtest::ScratchSchema;

// Each view of the file database `db` as "name:rows", by name.
std::string FileViews(const std::string& db) {
  dbtest::OtherConnection c(db);
  std::istringstream names(c.Scalar(
      "SELECT group_concat(n) FROM (SELECT lower(name) AS n FROM sqlite_master WHERE type = "
      "'view' ORDER BY 1)"));
  std::string views;
  for (std::string n; std::getline(names, n, ',');)
    views += (views.empty() ? "" : ",") + n + ":" + c.Scalar("SELECT count(*) FROM " + n);
  return views;
}

// The form lists the database types while start-up runs; the list shipped
// beside the programs is there for it already.
TEST(PgStartUp, TheShippedListOffersPostgreSQLWhereNoInstallationIsKnown) {
  testing::ScratchFolder empty;
  testing::ScopedEnv dirs("XDG_CONFIG_DIRS", empty.path());
  testing::ScopedEnv home("XDG_CONFIG_HOME", empty.path());
  Session session;
  ASSERT_TRUE(session.CreateGlobalObjects());
  std::vector<std::string> listed_by_form;
  EXPECT_TRUE(session.InitGlobalObjects(VL_BINARY_DIR, [&] {
    listed_by_form = RetrieveDrivers(session.shipped_files_folder()).Keys();
  }));
  EXPECT_EQ(listed_by_form, (std::vector<std::string>{"SQLite", "PostgreSQL"}));
  EXPECT_EQ(session.gdictDBDrivers.Keys(), listed_by_form);
}

class PgCommandLineTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    if (HasFatalFailure()) return;
    VL_NEED_PG_SERVER();
    schema_ = std::make_unique<ScratchSchema>(conninfo_, "cli");
  }
  void TearDown() override {
    AppTest::TearDown();
    schema_.reset();
  }
  std::vector<std::string> Create(const std::string& folder) {
    return {"create",       SampleBaseline(), "--folder", (scratch_ / folder).string(),
            "--all",        "--yes",          "--quiet",  "--database",
            "PostgreSQL",   "--pg-conninfo",  conninfo_,  "--pg-schema",
            schema_->name()};
  }

  std::string conninfo_;
  std::unique_ptr<ScratchSchema> schema_;
};

TEST_F(PgCommandLineTest, CreatesTheProjectInTheSchemaNamedAndNeverOverAnother) {
  const CliResult first = RunCli(Create("First"));
  ASSERT_EQ(first.status, kExitOk) << first.err;
  const ProjectFileInfo info = ReadProjectFile((scratch_ / "First" / "First.vlp").string());
  EXPECT_EQ(info.db_type, "PostgreSQL");
  EXPECT_EQ(info.schema, schema_->name());
  pgtest::Observer look(conninfo_, schema_->name());
  EXPECT_EQ(look.Scalar("SELECT NAME FROM vlProjects"), "Brewmate");
  EXPECT_EQ(look.Scalar("SELECT count(*) FROM vlUsers"), "4");
  // The attribute value views are made on the server as on the file
  // database, with the same rows.
  std::vector<std::string> on_file = Create("OnFile");
  on_file.resize(7);
  ASSERT_EQ(RunCli(on_file).status, kExitOk);
  const std::string views = FileViews((scratch_ / "OnFile" / "OnFile.db").string());
  EXPECT_NE(views, "");
  EXPECT_EQ(look.Scalar("SELECT string_agg(viewname || ':' || (xpath('/row/c/text()', "
                        "query_to_xml('SELECT count(*) AS c FROM ' || quote_ident(viewname), "
                        "false, true, '')))[1]::text, ',' ORDER BY viewname) FROM pg_views "
                        "WHERE schemaname = current_schema()"),
            views);

  // The schema holds a project now: a second one is refused before
  // anything is made, with the schema named, and the first is left as it
  // was.
  const CliResult second = RunCli(Create("Second"));
  EXPECT_EQ(second.status, kExitUsage);
  EXPECT_NE(second.err.find("\"" + schema_->name() + "\""), std::string::npos) << second.err;
  EXPECT_NE(second.err.find("already holds a project"), std::string::npos) << second.err;
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "Second"));
  EXPECT_EQ(look.Scalar("SELECT count(*) FROM vlUsers"), "4");
  EXPECT_EQ(look.Scalar("SELECT count(*) FROM vlProjects"), "1");
}

// Server settings that cannot be used are refused before anything is made.
TEST_F(PgCommandLineTest, UnusableServerSettingsAreUsageErrors) {
  const std::string folder = (scratch_ / "Other").string();
  auto with = [&](size_t at, const std::string& value) {
    std::vector<std::string> args = Create("Other");
    args[at] = value;
    return args;
  };
  const std::vector<std::string> server_only = {"create", SampleBaseline(), "--folder", folder,
                                                "--yes"};
  auto plus = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), server_only.begin(), server_only.end());
    return extra;
  };
  const struct {
    std::vector<std::string> args;
    std::string named;
  } refused[] = {
      {with(8, "SQLite"), "--pg options need --database PostgreSQL"},
      // Without --database the server options choose PostgreSQL.
      {plus({"--pg-conninfo", conninfo_ + " password=secret"}), "password"},
      {with(12, "information_schema"), "schema: "},
      {with(12, "pg_catalog"), "schema: "},
      {plus({"--pg-host", (scratch_ / "no-server").string()}), "database server: "},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.named);
    const CliResult result = RunCli(r.args);
    EXPECT_EQ(result.status, kExitUsage);
    EXPECT_NE(result.err.find(r.named), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(folder));
  }
}

}  // namespace
}  // namespace vl
