#include "host/project/install_settings.h"

#include <gtest/gtest.h>

#include "errors/vl_error.h"
#include "host/text/messages.h"
#include "support/recording_sink.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

class InstallSettingsTest : public ::testing::Test {
 protected:
  // The system settings file naming `installDir` as the installation.
  void WriteSystemSettings(const std::string& installDir) {
    system_.Write("Corvane Software/Velloq.conf", "[4.0]\nInstallDirectory=" + installDir + "\n");
  }
  void WritePreference(const std::string& line) {
    user_.Write("Corvane Software/Velloq.conf", "[4.0/Preferences]\n" + line + "\n");
  }
  std::string Install() const { return install_.path(); }
  void WriteDrivers(const std::string& content) { install_.Write("Bin/DB Drivers.dat", content); }

  testing::ScratchFolder system_, user_, install_;
  testing::ScopedEnv dirs_{"XDG_CONFIG_DIRS", system_.path()};
  testing::ScopedEnv home_{"XDG_CONFIG_HOME", user_.path()};
  RecordingMessageSink sink_;
  Messenger messages_{&sink_};
};

std::vector<std::string> Keys(const OrderedMap<std::string>& m) { return m.Keys(); }

TEST_F(InstallSettingsTest, SettingsPathsFollowTheXdgVariables) {
  EXPECT_EQ(UserSettingsPath(), user_.path() + "/Corvane Software/Velloq.conf");
  // The first folder of the list that holds the file is taken.
  testing::ScratchFolder other;
  WriteSystemSettings("/x");
  testing::ScopedEnv list("XDG_CONFIG_DIRS", "relative:" + other.path() + ":" + system_.path());
  EXPECT_EQ(SystemSettingsPath(), system_.path() + "/Corvane Software/Velloq.conf");
  testing::ScopedEnv none("XDG_CONFIG_DIRS", "");
  EXPECT_EQ(SystemSettingsPath(), "/etc/xdg/Corvane Software/Velloq.conf");
}

// A missing or empty setting is no error and leaves no stale value.
TEST_F(InstallSettingsTest, InstallAndBinDirectories) {
  for (const char* setting : {"", "   ", "/opt/velloq"}) {
    if (*setting) WriteSystemSettings(setting);
    std::string dir = "stale", bin = "stale";
    const bool found = ReadVelloqInstallDir(dir, &messages_);
    EXPECT_EQ(GetVelloqBinDirectory(bin, &messages_), found);
    EXPECT_EQ(dir + "|" + bin, found ? "/opt/velloq|/opt/velloq/Bin" : "|") << setting;
  }
  EXPECT_TRUE(sink_.infos.empty());
}

TEST_F(InstallSettingsTest, EnterpriseCreationIsForbiddenOnlyByAZeroPreference) {
  EXPECT_TRUE(EnterpriseDBCreationAllowed());  // no user settings file
  user_.Write("Corvane Software/Velloq.conf", "[4.0]\nEnterpriseDatabaseCreation=0\n");
  EXPECT_TRUE(EnterpriseDBCreationAllowed());  // no preferences section
  for (const auto& [line, allowed] :
       std::vector<std::pair<const char*, bool>>{{"Other=0", true},
                                                 {"EnterpriseDatabaseCreation=1", true},
                                                 {"EnterpriseDatabaseCreation=no", true},
                                                 {"EnterpriseDatabaseCreation=0", false},
                                                 {"EnterpriseDatabaseCreation = 00 ", false}}) {
    WritePreference(line);
    EXPECT_EQ(EnterpriseDBCreationAllowed(), allowed) << line;
  }
}

// SQLite, then the enterprise entries of the installation in file order,
// unless there are none or the preference forbids them.
TEST_F(InstallSettingsTest, DriversAreSQLiteThenTheEnterpriseEntriesAllowed) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(Keys(RetrieveDrivers()), Names{"SQLite"});  // no installation directory
  WriteSystemSettings(Install());
  EXPECT_EQ(Keys(RetrieveDrivers()), Names{"SQLite"});  // no "DB Drivers.dat"
  WriteDrivers("[Other Drivers]\nPostgreSQL=PostgreSQL\n");
  EXPECT_EQ(Keys(RetrieveDrivers()), Names{"SQLite"});  // no "Enterprise Drivers" section
  WriteDrivers("[Enterprise Drivers]\nPostgreSQL=PostgreSQL\nSQL Server=SQL Server Driver\n");
  WritePreference("EnterpriseDatabaseCreation=0");
  EXPECT_EQ(Keys(RetrieveDrivers()), Names{"SQLite"});  // forbidden by the preference
  WritePreference("EnterpriseDatabaseCreation=1");
  OrderedMap<std::string> drivers = RetrieveDrivers();
  EXPECT_EQ(Keys(drivers), (Names{"SQLite", "PostgreSQL", "SQL Server"}));
  EXPECT_EQ(*drivers.Find("SQLite") + "|" + *drivers.Find("SQL Server"),
            "SQLite3|SQL Server Driver");
  EXPECT_TRUE(sink_.infos.empty());
}

TEST_F(InstallSettingsTest, DuplicateDriverNameIsPassedOnWithTheProcedureName) {
  WriteSystemSettings(Install());
  WriteDrivers("[Enterprise Drivers]\nPostgreSQL=PostgreSQL\nSQLite=Other\n");
  try {
    RetrieveDrivers();
    FAIL() << "no error";
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kKeyAlreadyExists);
    EXPECT_EQ(e.source().rfind("ModWizard.RetrieveDrivers", 0), 0u) << e.source();
  }
  EXPECT_TRUE(sink_.infos.empty());  // the caller reports it, not the utility
}

}  // namespace
}  // namespace vl
