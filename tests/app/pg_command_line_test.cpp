// The PostgreSQL options of `vlbaseline create`. The runs go to the test
// server (see tests/host/pg_test_support.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/command_line.h"
#include "app_fixture.h"
#include "host/project/project_file.h"
#include "support/pg_test_support.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

using pgtest::ScratchSchema;

struct CliResult {
  int status;
  std::string out, err;
};

CliResult RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  std::istringstream in;
  int status = RunCommandLine(args, VL_BINARY_DIR, out, err, in, false);
  return {status, out.str(), err.str()};
}

TEST(PgCommandLineParse, ServerOptionsAreTaken) {
  CommandLineOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine(
      {"create", "/b", "--pg-host", "db.example", "--pg-port", "6543", "--pg-db", "projects",
       "--pg-user", "alice", "--pg-schema", "Alpha", "--pg-conninfo", "sslmode=require"},
      o, error))
      << error;
  EXPECT_EQ(o.pg_host, "db.example");
  EXPECT_EQ(o.pg_port, "6543");
  EXPECT_EQ(o.pg_db, "projects");
  EXPECT_EQ(o.pg_user, "alice");
  EXPECT_EQ(o.pg_schema, "Alpha");
  EXPECT_EQ(o.pg_conninfo, "sslmode=require");
  EXPECT_TRUE(o.HasPgSettings());
  EXPECT_FALSE(CommandLineOptions().HasPgSettings());
  CommandLineOptions missing;
  EXPECT_FALSE(ParseCommandLine({"create", "/b", "--pg-schema"}, missing, error));
  EXPECT_NE(error.find("--pg-schema"), std::string::npos) << error;
  EXPECT_NE(CommandLineHelp().find("--pg-conninfo"), std::string::npos);
}

// The form lists the database types while start-up runs; the list shipped
// beside the programs is there for it already.
std::vector<std::string> g_listed_by_form;

TEST(PgStartUp, TheShippedListOffersPostgreSQLWhereNoInstallationIsKnown) {
  testing::ScratchFolder empty;
  testing::ScopedEnv dirs("XDG_CONFIG_DIRS", empty.path());
  testing::ScopedEnv home("XDG_CONFIG_HOME", empty.path());
  Session session;
  ASSERT_TRUE(session.CreateGlobalObjects());
  g_listed_by_form.clear();
  EXPECT_TRUE(session.InitGlobalObjects(VL_BINARY_DIR, [&] {
    g_listed_by_form = RetrieveDrivers(session.shipped_files_folder()).Keys();
  }));
  EXPECT_EQ(g_listed_by_form, (std::vector<std::string>{"SQLite", "PostgreSQL"}));
  EXPECT_EQ(session.gdictDBDrivers.Keys(), g_listed_by_form);
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

TEST_F(PgCommandLineTest, ServerOptionsNeedTheServerAndAUsableConnection) {
  std::vector<std::string> args = Create("Third");
  args[8] = "SQLite";  // --database
  CliResult r = RunCli(args);
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("--pg options need --database PostgreSQL"), std::string::npos) << r.err;
  // Without --database the server options choose PostgreSQL; a password
  // among them is refused before anything is made.
  r = RunCli({"create", SampleBaseline(), "--folder", (scratch_ / "Fourth").string(), "--yes",
              "--pg-conninfo", conninfo_ + " password=secret"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("password"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "Fourth"));
  // Nor is a system schema taken, or a server that does not answer.
  for (const char* schema : {"information_schema", "pg_catalog"}) {
    args = Create("Fifth");
    args.back() = schema;
    r = RunCli(args);
    EXPECT_EQ(r.status, kExitUsage) << schema;
    EXPECT_NE(r.err.find("schema: "), std::string::npos) << r.err;
  }
  r = RunCli({"create", SampleBaseline(), "--folder", (scratch_ / "Fifth").string(), "--yes",
              "--pg-host", (scratch_ / "no-server").string()});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("database server: "), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "Fifth"));
}

}  // namespace
}  // namespace vl
