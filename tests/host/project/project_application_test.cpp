#include "host/project/project_application.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "errors/vl_error.h"
#include "host/db/project_schema.h"
#include "host/project/project_file.h"
#include "host/text/resource.h"
#include "support/db_test_support.h"
#include "support/error_text.h"

namespace vl {
namespace {

using vl::testing::ExpectSays;

namespace fs = std::filesystem;
using dbtest::OtherConnection;
using dbtest::TempDir;

class ProjectApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.File("Alpha");
    def_.SetProjectName("Alpha");
    def_.SetProjectDescription("The first one");
    def_.SetProjectFolder(folder_);
    def_.SetDBType(kSQLiteDisplayName);
    def_.PrepareNewProject();
    app_ = std::make_unique<SqlProjectApplication>([this] { return &def_; });
  }

  std::shared_ptr<Project> Create() {
    return app_->OpenProjectAs(kAppName, folder_ + "/Alpha", "Alpha", "admin", "", true, true, "");
  }
  // The description of the VlError `f` throws ("" when it throws none).
  template <typename F>
  static std::string ErrorOf(F&& f) {
    try {
      f();
    } catch (const VlError& e) {
      return e.description();
    }
    return "";
  }
  std::string Vlp() const { return folder_ + "/Alpha.vlp"; }
  std::string Db() const { return folder_ + "/Alpha.db"; }

  TempDir dir_;
  std::string folder_;
  NewProjectDefinition def_;
  std::unique_ptr<SqlProjectApplication> app_;
};

TEST_F(ProjectApplicationTest, GroupsAreCreatedFoundAndStored) {
  auto p = Create();
  auto g = p->GetGroups().AddGroup("Writers|Editors", 3, "They write", 3, 4, 5, 6, 7);
  EXPECT_NE(g->GetGroupGUID(), p->FindGroup(kAdminGroupName)->GetGroupGUID());
  EXPECT_EQ(p->FindGroup("Nobody"), nullptr);
  EXPECT_THROW(p->GetGroups().AddGroup("Writers|Editors", 0, "", 0, 0, 0, 0, 0), VlError);

  g->SetGroupDescription("They write a lot");
  g->SetListItemAccessRights(70);
  p->CommitUsersAndGroups();
  OtherConnection other(Db());
  // Stored as the copiers store texts: "|" as the character 26.
  EXPECT_EQ(other.Scalar("SELECT DESCRIPTION || '/' || PROJECTACCESSRIGHTS || '/' || "
                         "LISTITEMACCESSRIGHTS FROM vlUserGroups WHERE NAME = 'Writers' || "
                         "char(26) || 'Editors'"),
            "They write a lot/3/70");
  // Changes not yet stored are stored when the project closes.
  g->SetReqTypeAccessRights(55);
  p->CloseProject();
  EXPECT_EQ(other.Scalar("SELECT REQTYPEACCESSRIGHTS FROM vlUserGroups WHERE ID = 2"), "55");
  auto again = app_->OpenProject(Vlp());
  auto found = again->FindGroup("Writers|Editors");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->GetGroupName() + "/" + std::to_string(found->GetAccessRights(2)),
            "Writers|Editors/55");
}

TEST_F(ProjectApplicationTest, FindsRequirementsByTag) {
  // A tag is a prefix and a number; "" for none.
  auto split = [](const std::string& tag) {
    std::string prefix;
    int32_t n = 0;
    return SqlProject::SplitTag(tag, prefix, n) ? prefix + "|" + std::to_string(n) : "";
  };
  const std::pair<const char*, const char*> tags[] = {
      {"FEAT1.2", "FEAT1.|2"}, {"FEAT1", "FEAT|1"}, {"A.B.12", "A.B.|12"}, {"FEAT", ""}, {"", ""},
      {"X99999999999", ""}};
  for (const auto& [tag, want] : tags) EXPECT_EQ(split(tag), want) << tag;
  auto p = Create();
  auto ds = DataServicesOf(*p);
  ds->ExecuteSQL(
      "INSERT INTO vlRequirements (ID, TAG, REQUIREMENTPREFIX, VLGUID) VALUES "
      "(7, 1, 'FEAT', '{A}'), (8, 2, 'FEAT1.', '{B}')");
  // Rows written in this run are found before anything is committed.
  auto parent = p->GetRequirement("FEAT1");
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->GetRequirementGUID(), "{A}");
  EXPECT_EQ(p->GetRequirement("FEAT1.2")->GetRequirementID(), 8);
  EXPECT_EQ(p->GetRequirement("feat1"), nullptr);
}

TEST_F(ProjectApplicationTest, ShutdownClosesEveryProjectOnce) {
  auto p = Create();
  auto ds = DataServicesOf(*p);
  ds->ExecuteSQL("INSERT INTO VLDISCUSSIONS (ID) VALUES (9)");
  app_->Shutdown();
  EXPECT_THROW(ds->ExecuteSQL("SELECT 1"), VlError);
  EXPECT_THROW(p->GetApplication(), VlError);
  EXPECT_NO_THROW(app_->Shutdown());
  EXPECT_THROW(app_->OpenProject(Vlp()), VlError);
  OtherConnection other(Db());
  EXPECT_EQ(other.Scalar("SELECT COUNT(*) FROM VLDISCUSSIONS"), "1");
}

class ProjectErrorsTest : public ProjectApplicationTest {};

// A project file is made only from a prepared definition, and never over
// an existing project or a stray database file of its name.
TEST_F(ProjectErrorsTest, ANewProjectNeedsADefinitionAndAFreePlace) {
  NewProjectDefinition unprepared;
  SqlProjectApplication first([&] { return &unprepared; }), second([this] { return &def_; });
  auto create = [&](SqlProjectApplication& app) {
    return ErrorOf([&] {
      app.OpenProjectAs(kAppName, folder_ + "/Alpha", "Alpha", "admin", "", true, true, "");
    });
  };
  ExpectSays(create(first), {Vlp(), "does not exist"});
  EXPECT_FALSE(fs::exists(folder_));
  Create()->CloseProject();
  ExpectSays(create(second), {Vlp(), "already exists"});
  fs::remove(Vlp());
  ExpectSays(create(second), {Db()});
}

TEST_F(ProjectErrorsTest, AFolderThatCannotBeWrittenIsNamed) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser writes everywhere";
  fs::create_directories(folder_);
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  const std::string d = ErrorOf([&] { Create(); });
  fs::permissions(folder_, fs::perms::owner_all);
  ExpectSays(d, {folder_, "cannot be written"});
}

TEST_F(ProjectErrorsTest, BadProjectAndDatabaseFilesAreNamedWithTheReason) {
  Create()->CloseProject();
  auto open_error = [&] { return ErrorOf([&] { app_->OpenProject(Vlp()); }); };
  // The database damaged, then missing.
  fs::copy_file(Db(), dir_.File("good.db"));
  std::ofstream(Db(), std::ios::trunc) << std::string(4096, 'x');
  ExpectSays(open_error(), {Db(), "not a database"});
  fs::remove(Db());
  ExpectSays(open_error(), {Db(), "does not exist"});
  // The database locked by another program.
  fs::copy_file(dir_.File("good.db"), Db());
  SqliteOptions quick;
  quick.busy_timeout_ms = 0;
  app_->SetSqliteOptions(quick);
  {
    OtherConnection writer(Db());
    ASSERT_TRUE(writer.Exec("BEGIN IMMEDIATE; INSERT INTO VLDISCUSSIONS (ID) VALUES (1)"));
    ExpectSays(open_error(), {Db(), "locked"});
  }
  EXPECT_NO_THROW(app_->OpenProject(Vlp())->CloseProject());
  // Another project's database beside this project file.
  fs::path other_db = dir_.File("Other.db");
  {
    auto other = SqliteDataServices::OpenFile(other_db.string(), true);
    CreateProjectSchema(*other);
  }
  fs::remove(Db());
  fs::copy_file(other_db, Db());
  ExpectSays(open_error(), {"does not hold the project"});
  // The project file not one at all.
  { std::ofstream(Vlp(), std::ios::trunc) << "just some notes\n[Other]\nx=1\n"; }
  ExpectSays(open_error(), {Vlp(), "not a project file"});
}

TEST_F(ProjectErrorsTest, ACreationThatFailsHalfwaySaysTheDatabaseWasBegun) {
  app_->SetStatementLog([](const std::string&, const std::string& s) {
    if (s.find("CREATE TABLE vlUsers") != std::string::npos)
      throw VlError(err::kDatabase, "VlDataServices", "disk full");
  });
  const std::string d = ErrorOf([&] { Create(); });
  ExpectSays(d, {Db(), "begun", "disk full"});
  EXPECT_TRUE(fs::exists(Db()));  // left for the user to look at
  EXPECT_FALSE(fs::exists(Vlp()));
}

TEST(ProjectFileTest, WritesReadsAndRefusesProjectFiles) {
  TempDir dir;
  ProjectFileInfo info;
  info.name = "Gamma Project";
  info.guid = "{00000000-0000-4000-8000-000000000001}";
  info.db_type = "PostgreSQL";
  info.req_text_size = -1;
  info.host = "db.example";
  info.schema = "gamma";
  const std::string path = dir.File("Gamma.vlp");
  WriteProjectFile(path, info);
  WriteProjectFile(path, info);  // replaces the file
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  const ProjectFileInfo back = ReadProjectFile(path);
  EXPECT_EQ(back.guid + "|" + std::to_string(back.version_reason_size) + "|" +
                std::to_string(back.req_text_size) + "|" + back.schema,
            info.guid + "|255|-1|gamma");
  EXPECT_EQ(ProjectFilePath("/p/Gamma") + " " + ProjectFilePath("/p/Gamma.VLP"),
            "/p/Gamma.vlp /p/Gamma.VLP");
  info.name = "Two\nLines";
  EXPECT_THROW(WriteProjectFile(dir.File("Bad.vlp"), info), VlError);
  EXPECT_FALSE(fs::exists(dir.File("Bad.vlp")));
  for (const char* overflow : {"VersionReason=lots", "AttributeValue=-2"}) {
    std::ofstream(path, std::ios::trunc) << "[Project]\nGUID={G}\nDatabaseType=SQLite\n[Overflow]\n"
                                         << overflow << "\n";
    EXPECT_THROW(ReadProjectFile(path), VlError) << overflow;
  }
}

}  // namespace
}  // namespace vl
