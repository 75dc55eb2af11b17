// The ground for the tests of the package, document and requirement
// copiers: a new SQLite project made through the project application,
// holding the users and the project structure a baseline's packages refer
// to (translated as the earlier copiers would have left them), a baseline
// folder written by the test, recorded messages and short resource texts.
#pragma once

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "copy/copy_test_support.h"
#include "host/text/convert.h"

namespace vl::testing {

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

class PackageCopyTest : public CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    AddTexts({{11011, " lacks "},
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
              {20142, "Package %1 reached twice"},
              {20143, "Parent %1 of %2 not found"}});
    goBLProjInfo->SetVLPFolder(ProjectFolder());
    goBLProjInfo->SetStartTime();
  }

  void TearDown() override {
    ds_.reset();
    proj_.reset();
    CopyTest::TearDown();
  }

  std::string ProjectFolder() const { return (root_ / "Alpha").string(); }

  // Creates the project "Alpha" with the given requirement text and
  // attribute value sizes, opens it as "admin" and gives it the users and
  // structure of the baseline.
  void OpenNewProject(int32_t reqTextSize = 2000, int32_t fieldValueSize = 255) {
    proj_ = CreateProject("Alpha");
    if (reqTextSize != 2000 || fieldValueSize != 255)
      proj_ = ReopenWithProjectFile(proj_, ProjectFolder() + "/Alpha", [&](ProjectFileInfo& info) {
        info.req_text_size = reqTextSize;
        info.field_value_size = fieldValueSize;
      });
    ds_ = DataServicesOf(*proj_);
    AddStructure();
  }

  void AddStructure() {
    ASSERT_TRUE(ctx().AddGUIDTranslation(
        kBlAdmin, Scalar("SELECT VLGUID FROM vlUsers WHERE LoginName = 'admin'")));
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
    ASSERT_TRUE(ctx().AddGUIDTranslation(oldGuid, newGuid));
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

  std::string Scalar(const std::string& sql) { return ScalarOf(*ds_, sql); }
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

  std::shared_ptr<Project> proj_;
  std::shared_ptr<DataServices> ds_;
  pugi::xml_document package_doc_;
};

}  // namespace vl::testing
