// Two projects on one PostgreSQL database, each in its own schema, are two
// databases to the external-project copier (each has its own key table and
// project table): the key that links them is drawn in both, free in both.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "copy/ins_ext_proj_info.h"
#include "copy/run_context.h"
#include "host/project/project_application.h"
#include "host/text/resource.h"
#include "support/pg_test_support.h"

namespace vl {
namespace {

using pgtest::ScratchSchema;

class PgExtProjectsTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    if (HasFatalFailure()) return;
    VL_NEED_PG_SERVER();
    first_ = std::make_unique<ScratchSchema>(conninfo_, "one");
    second_ = std::make_unique<ScratchSchema>(conninfo_, "two");
    app_ = std::make_unique<SqlProjectApplication>([this] { return &def_; });
  }
  void TearDown() override {
    if (app_) app_->Shutdown();
    AppTest::TearDown();
    first_.reset();
    second_.reset();
  }
  std::shared_ptr<Project> Create(const std::string& name, const ScratchSchema& schema) {
    def_.SetProjectName(name);
    def_.SetProjectFolder((scratch_ / name).string());
    def_.SetDBType(kPostgreSQLDisplayName);
    def_.GetConnection().conninfo = conninfo_;
    def_.GetConnection().schema = schema.name();
    def_.PrepareNewProject();
    return app_->OpenProjectAs(kAppName, (scratch_ / name / name).string(), name, "admin", "", true,
                               true, "");
  }
  static std::string Scalar(DataServices& ds, const std::string& sql) {
    auto rs = ds.ExecuteSQL(sql);
    return rs && !rs->IsEOF() ? rs->GetFieldValue(size_t{0}).ToText() : "";
  }
  static std::string Counter(DataServices& ds) {
    return Scalar(ds, "SELECT LastKey FROM VlKeys WHERE KeyClass = 'Project'");
  }

  std::string conninfo_;
  std::unique_ptr<ScratchSchema> first_, second_;
  NewProjectDefinition def_;
  std::unique_ptr<SqlProjectApplication> app_;
};

TEST_F(PgExtProjectsTest, SchemasOnOneServerAreSeparateDatabasesWhoseLinkKeyIsFreeInBoth) {
  auto alpha = Create("Alpha", *first_);
  auto xavier = Create("Xavier", *second_);
  auto ds = DataServicesOf(*alpha);
  auto xds = DataServicesOf(*xavier);
  ASSERT_EQ(ds->GetDBType(), kDBPostgreSQL);
  // Both projects have the ID 1, each in its own schema.
  EXPECT_EQ(alpha->GetProjectID(), 1);
  EXPECT_EQ(xavier->GetProjectID(), 1);
  RunContext ctx(*goBLProjInfo, session_.messages, app_.get());
  InsExtProjInfo copier(ctx);
  EXPECT_FALSE(copier.areProjectsFromSameDB(*ds, *xds, *xavier));
  EXPECT_TRUE(sink_.infos.empty()) << Messages(sink_);

  // The external project has used more project keys. The new project
  // draws the larger next key; the external project's counter is only
  // looked at, and moves when the run registers the new project there.
  xds->ExecuteSQL("UPDATE VlKeys SET LastKey = 54 WHERE KeyClass = 'Project'");
  const int32_t key = copier.getNextExtProjKey(*ds, *xds);
  EXPECT_EQ(key, 55);
  EXPECT_EQ(Counter(*ds), "55");
  EXPECT_EQ(Counter(*xds), "54");
  // Free in both: no project row and no external project row uses it.
  for (DataServices* d : {ds.get(), xds.get()}) {
    EXPECT_EQ(Scalar(*d, "SELECT count(*) FROM vlProjects WHERE ID = 55"), "0");
    EXPECT_EQ(Scalar(*d, "SELECT count(*) FROM vlExternalProjects WHERE ID = 55"), "0");
  }
  alpha->CloseProject();
  alpha = app_->OpenProject((scratch_ / "Alpha" / "Alpha.vlp").string());
  EXPECT_EQ(DataServicesOf(*alpha)->GetNextKey("VlKeys", "KeyClass", "Project", "LastKey"), 56);
}

}  // namespace
}  // namespace vl
