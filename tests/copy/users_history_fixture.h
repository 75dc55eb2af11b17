// A new SQLite project made through the project application, a baseline
// folder beside it, and recorded messages: the ground for the tests of the
// group, user, project and history copiers.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/run_tables.h"
#include "errors/message_sink.h"
#include "host/host_globals.h"
#include "host/messages.h"
#include "host/new_project_definition.h"
#include "host/project_application.h"
#include "host/project_file.h"

namespace vl::testing {

// Baseline GUIDs of the tests' users and groups.
inline const std::string kBlAdminGroup = "{0A000000-0000-0000-0000-000000000001}";
inline const std::string kBlReadersGroup = "{0A000000-0000-0000-0000-000000000002}";
inline const std::string kBlAdminUser = "{0B000000-0000-0000-0000-000000000001}";
inline const std::string kBlRitaUser = "{0B000000-0000-0000-0000-000000000002}";
inline const std::string kBlGhostUser = "{0B000000-0000-0000-0000-0000000000FF}";

class UsersHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHostGlobals();
    ResetCopyGlobals();
    ResetBaselineGlobals();
    ResetLookupCache();
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    root_ = std::filesystem::temp_directory_path() /
            ("vl-h6-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root_ / "baseline");

    goResource = std::make_unique<Resource>();
    goResource->SetString(kResProcError, "%1|%2|%3|%4");
    goResource->SetString(11011, " lacks ");
    goResource->SetString(20053, "Copying history");
    goResource->SetString(20054, "Default version");
    goResource->SetString(20055, "Group %1");
    goResource->SetString(20056, "Group already matched");
    goResource->SetString(20057, "User: ");
    goResource->SetString(20058, "User already matched");
    goResource->SetString(20070, "Project information");
    goResource->SetString(20071, "From %1 (%2; %3)");
    goResource->SetString(20072, "No default history");
    goResource->SetString(20084, "Row missing");
    goResource->SetString(20085, "Not copied");
    SetMessageSink(&sink_);

    goBLProjInfo = std::make_unique<BLProjInfo>();
    goBLProjInfo->init();
    goBLProjInfo->SetBLXMLLoc(BaselineFolder());
    goBLProjInfo->SetStartTime();
    goProjApp = std::make_shared<SqlProjectApplication>();
  }

  void TearDown() override {
    ds_.reset();
    proj_.reset();
    ResetHostGlobals();
    ResetCopyGlobals();
    ResetBaselineGlobals();
    ResetLookupCache();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  std::string BaselineFolder() const { return (root_ / "baseline").string(); }

  void WriteBaselineFile(const std::string& name, const std::string& xml) const {
    std::ofstream(root_ / "baseline" / name, std::ios::binary) << xml;
  }

  // Creates the project "Alpha" and opens it as "admin". A reason size
  // other than the default is written into the project file, which is then
  // opened again.
  void OpenNewProject(int32_t reasonSize = 255) {
    goNewProjDef = std::make_unique<NewProjectDefinition>();
    goNewProjDef->SetProjectName("Alpha");
    goNewProjDef->SetProjectFolder((root_ / "Alpha").string());
    goNewProjDef->SetDBType(kSQLiteDisplayName);
    goNewProjDef->GetConnection().SetDriver(kSQLiteDriver);
    goNewProjDef->PrepareNewProject();
    const std::string path = (root_ / "Alpha" / "Alpha").string();
    proj_ = goProjApp->OpenProjectAs(kAppName, path, "Alpha", "admin", "", true, true, "");
    if (reasonSize != 255) {
      proj_->CloseProject();
      const std::string vlp = ProjectFilePath(path);
      ProjectFileInfo info = ReadProjectFile(vlp);
      info.version_reason_size = reasonSize;
      WriteProjectFile(vlp, info);
      proj_ = goProjApp->OpenProject(vlp);
    }
    ds_ = DataServicesOf(*proj_);
  }

  // The first column of the first row as text; "<none>" without a row,
  // "<null>" for a null.
  std::string Scalar(const std::string& sql) {
    auto rs = ds_->ExecuteSQL(sql);
    if (!rs || rs->IsEOF()) return "<none>";
    const Variant& v = rs->GetFieldValue(size_t{0});
    return v.IsNull() ? "<null>" : v.ToText();
  }

  std::string AdminGuid() { return Scalar("SELECT VLGUID FROM vlUsers WHERE LoginName = 'admin'"); }

  std::filesystem::path root_;
  RecordingMessageSink sink_;
  std::shared_ptr<Project> proj_;
  std::shared_ptr<DataServices> ds_;
};

}  // namespace vl::testing
