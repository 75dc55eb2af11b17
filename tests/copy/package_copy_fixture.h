// The ground for the tests of the package, document and requirement
// copiers: a new SQLite project made through the project application,
// holding the users and the project structure a baseline's packages refer
// to (translated as the earlier copiers would have left them), a baseline
// folder written by the test, recorded messages and short resource texts.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <pugixml.hpp>
#include <random>
#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/run_tables.h"
#include "errors/message_sink.h"
#include "host/convert.h"
#include "host/data_services.h"
#include "host/host_globals.h"
#include "host/messages.h"
#include "host/new_project_definition.h"
#include "host/project_application.h"
#include "host/project_file.h"

namespace vl::testing {

namespace fs = std::filesystem;

// Baseline GUIDs of the objects the packages refer to.
inline const std::string kBlAdmin = "{0B000000-0000-0000-0000-000000000001}";
inline const std::string kBlDocType = "{0D000000-0000-0000-0000-000000000001}";
inline const std::string kBlReqType = "{0E000000-0000-0000-0000-000000000001}";
inline const std::string kBlListAttr = "{0F000000-0000-0000-0000-000000000001}";
inline const std::string kBlTextAttr = "{0F000000-0000-0000-0000-000000000002}";
inline const std::string kBlListItem = "{0F100000-0000-0000-0000-000000000001}";
inline const std::string kBlUncopied = "{0FFFFFFF-0000-0000-0000-0000000000FF}";
// Their IDs in the new project.
constexpr int32_t kDocTypeId = 100, kReqTypeId = 200, kListAttrId = 300, kTextAttrId = 301,
                  kListItemId = 400;

class PackageCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHostGlobals();
    ResetCopyGlobals();
    ResetBaselineGlobals();
    ResetLookupCache();
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    root_ = fs::temp_directory_path() /
            ("vl-h10-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    fs::create_directories(root_ / "baseline");

    goResource = std::make_unique<Resource>();
    for (const auto& [id, text] : kTexts) goResource->SetString(id, text);
    SetMessageSink(&sink_);
    goBLProjInfo = std::make_unique<BLProjInfo>();
    goBLProjInfo->init();
    goBLProjInfo->SetBLXMLLoc(Baseline());
    goBLProjInfo->SetVLPFolder(ProjectFolder());
    goBLProjInfo->SetStartTime();
    goProjApp = std::make_shared<SqlProjectApplication>();
  }

  void TearDown() override {
    ds_.reset();
    proj_.reset();
    ResetCopyGlobals();
    ResetBaselineGlobals();
    ResetHostGlobals();
    ResetLookupCache();
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }

  std::string Baseline() const { return (root_ / "baseline").string(); }
  std::string ProjectFolder() const { return (root_ / "Alpha").string(); }

  // Creates the project "Alpha" with the given requirement text and
  // attribute value sizes, opens it as "admin" and gives it the users and
  // structure of the baseline.
  void OpenNewProject(int32_t reqTextSize = 2000, int32_t fieldValueSize = 255) {
    goNewProjDef = std::make_unique<NewProjectDefinition>();
    goNewProjDef->SetProjectName("Alpha");
    goNewProjDef->SetProjectFolder(ProjectFolder());
    goNewProjDef->SetDBType(kSQLiteDisplayName);
    goNewProjDef->GetConnection().SetDriver(kSQLiteDriver);
    goNewProjDef->PrepareNewProject();
    const std::string path = ProjectFolder() + "/Alpha";
    proj_ = goProjApp->OpenProjectAs(kAppName, path, "Alpha", "admin", "", true, true, "");
    if (reqTextSize != 2000 || fieldValueSize != 255) {
      proj_->CloseProject();
      const std::string vlp = ProjectFilePath(path);
      ProjectFileInfo info = ReadProjectFile(vlp);
      info.req_text_size = reqTextSize;
      info.field_value_size = fieldValueSize;
      WriteProjectFile(vlp, info);
      proj_ = goProjApp->OpenProject(vlp);
    }
    ds_ = DataServicesOf(*proj_);
    AddStructure();
  }

  void AddStructure() {
    ASSERT_TRUE(AddGUIDTranslation(kBlAdmin,
                                   Scalar("SELECT VLGUID FROM vlUsers WHERE LoginName = 'admin'")));
    AddRow(kBlDocType,
           "INSERT INTO vlDocumentTypes (ID, VLGUID, NAME) VALUES (100, '%', 'Manual')");
    AddRow(kBlReqType,
           "INSERT INTO vlRequirementTypes (ID, VLGUID, NAME, REQUIREMENTPREFIX) VALUES (200, '%', "
           "'Feature', 'FEAT')");
    AddRow(kBlListAttr,
           "INSERT INTO vlUserDefinedFields (ID, VLGUID, LABEL, DATATYPE) VALUES (300, '%', "
           "'Priority', 0)");
    AddRow(kBlTextAttr,
           "INSERT INTO vlUserDefinedFields (ID, VLGUID, LABEL, DATATYPE) VALUES (301, '%', "
           "'Cost', 1)");
    AddRow(kBlListItem,
           "INSERT INTO vlUserDefinedListItems (ITEMID, FIELDID, ITEMRANK, ITEMTEXT, VLGUID) "
           "VALUES (400, 300, 1, 'High', '%')");
  }

  // Runs `sql` with "%" replaced by a new GUID, recorded for `oldGuid`.
  void AddRow(const std::string& oldGuid, std::string sql) {
    const std::string newGuid = GenerateGUID();
    sql.replace(sql.find('%'), 1, newGuid);
    ds_->ExecuteSQL(sql);
    ASSERT_TRUE(AddGUIDTranslation(oldGuid, newGuid));
  }

  static void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void WriteBaselineFile(const std::string& name, const std::string& text) const {
    WriteFile(root_ / "baseline" / name, text);
  }

  // A package file: its package element holding `inner`.
  static std::string PackageXml(const std::string& inner) {
    return "<?xml version=\"1.0\"?>\n<PROJECT><Pkg>" + inner + "</Pkg></PROJECT>";
  }
  // Parses a package file held in memory and returns its package element.
  pugi::xml_node ParsePackage(const std::string& inner) {
    package_doc_.load_string(PackageXml(inner).c_str());
    return package_doc_.select_node("//PROJECT/Pkg").node();
  }

  // The first column of the first row as text; "<none>" without a row,
  // "<null>" for a null.
  std::string Scalar(const std::string& sql) {
    auto rs = ds_->ExecuteSQL(sql);
    if (!rs || rs->IsEOF()) return "<none>";
    const Variant& v = rs->GetFieldValue(size_t{0});
    return v.IsNull() ? "<null>" : v.ToText();
  }
  // Every row of a SELECT, its values joined by "|".
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> rows;
    auto rs = ds_->ExecuteSQL(sql);
    if (!rs) return rows;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
      std::string row;
      for (size_t i = 0; i < rs->GetFields().size(); ++i) {
        const Variant& v = rs->GetFieldValue(i);
        row += (i ? "|" : "") + (v.IsNull() ? std::string("<null>") : v.ToText());
      }
      rows.push_back(row);
    }
    return rows;
  }

  std::string Pid() { return std::to_string(proj_->GetProjectID()); }
  std::string Uid() { return std::to_string(proj_->GetCurrentUserID()); }
  std::string Start() { return FormatDateTime(goBLProjInfo->StartDateTime()); }
  // The current-version values of an object without history.
  std::string DefaultVersionValues() {
    return "'1.000', '', " + Uid() + ", { ts '" + Start() + "'}, 'Default version'";
  }

  static constexpr std::pair<long, const char*> kTexts[] = {
      {11011, " lacks "},
      {20051, "Document: %1"},
      {20053, "History"},
      {20054, "Default version"},
      {20060, "Package: %1"},
      {20062, "No root package"},
      {20063, "Documents failed"},
      {20064, "Views failed"},
      {20065, "Requirements failed"},
      {20078, "Requirement: %1"},
      {20083, "%1|%2|%3|%4"},
      {20084, "Row missing"},
      {20085, "Not copied"},
      {20140, "Unsafe document %1 [%2] [%3]"},
      {20141, "Unsafe package [%1]"},
      {20142, "Package %1 reached twice"},
      {20143, "Parent %1 of %2 not found"},
  };

  fs::path root_;
  RecordingMessageSink sink_;
  std::shared_ptr<Project> proj_;
  std::shared_ptr<DataServices> ds_;
  pugi::xml_document package_doc_;
};

}  // namespace vl::testing
