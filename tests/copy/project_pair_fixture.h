// Shared set-up of the group rights and external project tests: real
// SQLite projects made through the project application in a private
// temporary folder, a baseline folder written by the test, recorded
// messages and known resource texts.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/run_tables.h"
#include "errors/message_sink.h"
#include "host/host_globals.h"
#include "host/new_project_definition.h"
#include "host/project_application.h"
#include "host/resource.h"

namespace vl::testing {

namespace fs = std::filesystem;

class ProjectPairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHostGlobals();
    ResetBaselineGlobals();
    ResetCopyGlobals();
    ResetLookupCache();
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    root_ = fs::temp_directory_path() /
            ("vl-projpair-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    fs::create_directories(root_ / "baseline");

    goResource = std::make_unique<Resource>();
    for (const auto& [id, text] : kTexts) goResource->SetString(id, text);
    SetMessageSink(&sink_);
    goNewProjDef = std::make_unique<NewProjectDefinition>();
    goProjApp = std::make_shared<SqlProjectApplication>();
    goBLProjInfo = std::make_unique<BLProjInfo>();
    goBLProjInfo->init();
    goBLProjInfo->SetBLXMLLoc(Baseline());
  }

  void TearDown() override {
    // The opened external projects are closed before the application goes.
    ResetCopyGlobals();
    ResetBaselineGlobals();
    ResetHostGlobals();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  std::string Root() const { return root_.string(); }
  std::string Baseline() const { return (root_ / "baseline").string(); }
  std::string FolderOf(const std::string& name) const { return (root_ / name).string(); }
  std::string ProjectFileOf(const std::string& name) const {
    return (root_ / name / (name + ".vlp")).string();
  }

  // Creates the SQLite project `name` in Root()/name, as a creation run
  // does: a prepared definition, then OpenProjectAs of the path without
  // extension.
  std::shared_ptr<Project> CreateProject(const std::string& name) {
    goNewProjDef->SetProjectName(name);
    goNewProjDef->SetProjectFolder(FolderOf(name));
    goNewProjDef->SetDBType(kSQLiteDisplayName);
    goNewProjDef->GetConnection().SetDriver(kSQLiteDriver);
    goNewProjDef->PrepareNewProject();
    return goProjApp->OpenProjectAs(kAppName, FolderOf(name) + "/" + name, name, "admin", "", true,
                                    true, "");
  }

  static void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Every row of a SELECT, each value in its text form.
  static std::vector<std::vector<std::string>> Rows(DataServices& ds, const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    std::unique_ptr<Recordset> rs = ds.ExecuteSQL(sql);
    if (!rs) return rows;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
      std::vector<std::string> row;
      for (size_t i = 0; i < rs->GetFields().size(); ++i)
        row.push_back(rs->GetFieldValue(i).ToText());
      rows.push_back(row);
    }
    return rows;
  }

  // The statement texts with the table markers removed.
  static std::string Unmarked(std::string sql) {
    for (size_t at; (at = sql.find(kTableMarker)) != std::string::npos;)
      sql.erase(at, kTableMarker.size());
    return sql;
  }

  static constexpr std::pair<long, const char*> kTexts[] = {
      {11011, " lacks the node "},
      {20052, "External project %1"},
      {20083, "Error in %1: %2 %3 [%4]"},
      {20084, "The translated object is not in the database."},
      {20085, "No translation for this object."},
  };

  fs::path root_;
  RecordingMessageSink sink_;
};

}  // namespace vl::testing
