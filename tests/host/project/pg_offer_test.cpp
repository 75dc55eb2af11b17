// How PostgreSQL is offered and chosen: the drivers list shipped with the
// programs, and the checks of a definition's server settings. No server
// is needed.
#include <gtest/gtest.h>

#include <fstream>

#include "errors/vl_error.h"
#include "host/project/install_settings.h"
#include "host/project/new_project_definition.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

std::string ShippedDrivers() {
  std::ifstream in(std::string(VL_SOURCE_DIR) + "/resources/DB Drivers.dat");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ShippedDriversTest : public ::testing::Test {
 protected:
  testing::ScratchFolder system_, user_, install_, shipped_;
  testing::ScopedEnv dirs_{"XDG_CONFIG_DIRS", system_.path()};
  testing::ScopedEnv home_{"XDG_CONFIG_HOME", user_.path()};
};

TEST_F(ShippedDriversTest, TheProgramsOfferPostgreSQLWhereTheInstallationOffersNoList) {
  using Names = std::vector<std::string>;
  shipped_.Write("DB Drivers.dat", ShippedDrivers());
  EXPECT_EQ(RetrieveDrivers().Keys(), Names{"SQLite"});  // no folder named yet
  const std::string shipped = shipped_.path();
  // No installation at all.
  EXPECT_EQ(*RetrieveDrivers(shipped).Find("PostgreSQL"), "PostgreSQL");
  // An installation without a list of its own.
  system_.Write("Corvane Software/Velloq.conf", "[4.0]\nInstallDirectory=" + install_.path());
  EXPECT_EQ(RetrieveDrivers(shipped).Keys(), (Names{"SQLite", "PostgreSQL"}));
  // The installation's own list wins.
  install_.Write("Bin/DB Drivers.dat", "[Enterprise Drivers]\nOther=Other Driver\n");
  EXPECT_EQ(RetrieveDrivers(shipped).Keys(), (Names{"SQLite", "Other"}));
  // The user's preference holds for the shipped list too.
  std::filesystem::remove(install_.path() + "/Bin/DB Drivers.dat");
  user_.Write("Corvane Software/Velloq.conf", "[4.0/Preferences]\nEnterpriseDatabaseCreation=0\n");
  EXPECT_EQ(RetrieveDrivers(shipped).Keys(), Names{"SQLite"});
  user_.Write("Corvane Software/Velloq.conf", "[4.0/Preferences]\nEnterpriseDatabaseCreation=1\n");
  EXPECT_EQ(RetrieveDrivers().Keys(), Names{"SQLite"});
}

TEST(PgDefinitionTest, ServerSettingsAreCheckedWithTheDefinition) {
  testing::ScratchFolder folder;
  NewProjectDefinition def;
  def.SetProjectName("Alpha");
  def.SetProjectFolder(folder.path() + "/Alpha");
  def.SetDBType(kPostgreSQLDisplayName);
  auto error = [&] {
    try {
      def.ValidateDefinition();
    } catch (const VlError& e) {
      EXPECT_EQ(e.source(), "NewProjectDefinition.ValidateDefinition");
      return e.description();
    }
    return std::string();
  };
  EXPECT_EQ(error(), "");  // libpq's defaults, a schema named after the project
  def.GetConnection().conninfo = "host=db.example user=alice password=secret";
  EXPECT_NE(error().find("password"), std::string::npos);
  def.GetConnection().conninfo = "host=db.example port='5432";
  EXPECT_NE(error(), "");
  def.GetConnection().conninfo = "postgresql://alice@db.example/projects";
  EXPECT_EQ(error(), "");
  def.GetConnection().schema = "pg_temp";
  EXPECT_NE(error().find("pg_temp"), std::string::npos);
  def.GetConnection().schema = "Alpha Project";
  EXPECT_EQ(error(), "");
  EXPECT_NO_THROW(def.PrepareNewProject());
  // Settings of a server do not matter for the file database.
  def.GetConnection().conninfo = "password=secret";
  def.SetDBType(kSQLiteDisplayName);
  EXPECT_EQ(error(), "");
}

}  // namespace
}  // namespace vl
