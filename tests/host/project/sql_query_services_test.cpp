#include "host/project/sql_query_services.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "host/project/new_project_definition.h"
#include "host/project/project_application.h"
#include "host/text/resource.h"
#include "support/db_test_support.h"

namespace vl {
namespace {

using dbtest::TempDir;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const std::string kAlphaType = "{A1A1A1A1-0000-0000-0000-000000000001}";
const std::string kAlphaAttr = "{A1A1A1A1-0000-0000-0000-000000000002}";
const std::string kAlphaItem = "{A1A1A1A1-0000-0000-0000-000000000003}";
const std::string kBetaType = "{B2B2B2B2-0000-0000-0000-000000000001}";
const std::string kBetaAttr = "{B2B2B2B2-0000-0000-0000-000000000002}";
const std::string kBetaItem = "{B2B2B2B2-0000-0000-0000-000000000003}";

// Two real projects, Alpha and Beta, each with a requirement type, an
// attribute and a list item of its own; Alpha knows Beta as its external
// project row 12 unless a test says otherwise.
class SqlQueryServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_unique<SqlProjectApplication>([this] { return &def_; });
    alpha_ = Create("Alpha");
    beta_ = Create("Beta");
    AddStructure(*alpha_, 7, kAlphaType, kAlphaAttr, kAlphaItem);
    AddStructure(*beta_, 31, kBetaType, kBetaAttr, kBetaItem);
  }

  std::shared_ptr<Project> Create(const std::string& name) {
    def_.SetProjectName(name);
    def_.SetProjectFolder(dir_.File(name));
    def_.SetDBType(kSQLiteDisplayName);
    def_.PrepareNewProject();
    return app_->OpenProjectAs(kAppName, dir_.File(name) + "/" + name, name, "admin", "", true,
                               true, "");
  }

  static void AddStructure(Project& p, int id, const std::string& type, const std::string& attr,
                           const std::string& item) {
    auto ds = DataServicesOf(p);
    const std::string n = std::to_string(id);
    ds->ExecuteSQL("INSERT INTO vlRequirementTypes (ID, VLGUID, NAME) VALUES (" + n + ", '" + type +
                   "', 'Feature')");
    ds->ExecuteSQL("INSERT INTO vlUserDefinedFields (ID, VLGUID, LABEL) VALUES (" + n + ", '" +
                   attr + "', 'Priority')");
    ds->ExecuteSQL("INSERT INTO vlUserDefinedListItems (ITEMID, FIELDID, VLGUID) VALUES (" + n +
                   ", " + n + ", '" + item + "')");
  }

  // Registers Beta in Alpha's vlExternalProjects with the given location.
  void RegisterBeta(const std::string& directory, const std::string& fileName) {
    DataServicesOf(*alpha_)->ExecuteSQL(
        "INSERT INTO vlExternalProjects (ID, NAME, VLGUID, PREFIX, DIRECTORY, FILENAME) VALUES "
        "(12, 'Beta', '" +
        beta_->GetProjectGUID() + "', 'BETA', '" + directory + "', '" + fileName + "')");
  }

  bool Parse(const std::string& query, SqlQueryServices services = SqlQueryServices()) {
    error_.clear();
    parsed_ = ParsedQuery{};
    return services.ParseQueryString(*alpha_, query, error_, parsed_);
  }

  TempDir dir_;
  NewProjectDefinition def_;
  std::unique_ptr<SqlProjectApplication> app_;
  std::shared_ptr<Project> alpha_, beta_;
  std::string error_;
  ParsedQuery parsed_;
};

TEST_F(SqlQueryServicesTest, LocalQueryIsRebuiltWithTheRequirementTypeOfTheProject) {
  ASSERT_TRUE(Parse("(" + kAlphaType + ") where " + kAlphaAttr + " = " + kAlphaItem + " or " +
                    kAlphaAttr + " contains 'x'"))
      << error_;
  EXPECT_EQ(parsed_.QueryString, "(" + kAlphaType + ") WHERE " + kAlphaAttr + " = " + kAlphaItem +
                                     " OR " + kAlphaAttr + " CONTAINS 'x'");
  ASSERT_NE(parsed_.ProjStructSpec, nullptr);
  EXPECT_EQ(parsed_.ProjStructSpec->RequirementTypeID, "7");
  EXPECT_EQ(parsed_.ProjStructSpec->ExternalProjectID, "");
}

// Every GUID must name an object of its kind in the project; the error
// text names it, where it stands and what was expected.
TEST_F(SqlQueryServicesTest, LocalGuidsMustNameObjectsOfTheirKindInTheProject) {
  const std::string where = "(" + kAlphaType + ") WHERE ";
  const std::pair<std::string, std::string> cases[] = {
      {"(" + kBetaType + ")", "\"" + kBetaType +
                                  "\" at position 2 is not a requirement type of the "
                                  "project: expected the GUID of a requirement type."},
      {"(" + kAlphaAttr + ")", "is not a requirement type of the project"},
      {where + kAlphaType + " = 1", "\"" + kAlphaType +
                                        "\" at position 48 is not an attribute of "
                                        "the project: expected the GUID of an attribute."},
      {where + kAlphaAttr + " = " + kAlphaAttr,
       "\"" + kAlphaAttr +
           "\" at position 89 is not a list item of the project: expected the "
           "GUID of a list item."},
      {where, "Expected the GUID of an attribute, found the end of the query."},
  };
  for (const auto& [query, error] : cases) {
    EXPECT_FALSE(Parse(query));
    EXPECT_NE(error_.find(error), std::string::npos) << error_;
    EXPECT_EQ(parsed_.ProjStructSpec, nullptr);
  }
  // Lower-case GUIDs are found as the upper-case ones the project keeps.
  EXPECT_TRUE(Parse("(" + Lower(kAlphaType) + ")")) << error_;
  EXPECT_EQ(parsed_.QueryString, "(" + kAlphaType + ")");
}

TEST_F(SqlQueryServicesTest, ExternalScopeIsLookedUpInTheRegisteredProject) {
  beta_->CloseProject();
  RegisterBeta(dir_.File("Beta"), "Beta");
  const std::string betaGuid = beta_->GetProjectGUID();
  ASSERT_TRUE(
      Parse("(" + Lower(betaGuid) + "." + kBetaType + ") WHERE " + kBetaAttr + " <> " + kBetaItem))
      << error_;
  EXPECT_EQ(parsed_.QueryString,
            "(" + betaGuid + "." + kBetaType + ") WHERE " + kBetaAttr + " <> " + kBetaItem);
  ASSERT_NE(parsed_.ProjStructSpec, nullptr);
  EXPECT_EQ(parsed_.ProjStructSpec->RequirementTypeID, "31");
  EXPECT_EQ(parsed_.ProjStructSpec->ExternalProjectID, "12");

  // The attributes of the parsing project mean nothing in the external one.
  EXPECT_FALSE(Parse("(" + betaGuid + "." + kBetaType + ") WHERE " + kAlphaAttr + " = 1"));
  EXPECT_NE(
      error_.find(kAlphaAttr + "\" at position 87 is not an attribute of the external project"),
      std::string::npos);
  EXPECT_FALSE(Parse("(" + betaGuid + "." + kAlphaType + ")"));
  EXPECT_NE(error_.find("at position 41 is not a requirement type of the external project"),
            std::string::npos);
}

TEST_F(SqlQueryServicesTest, AnExternalProjectThatCannotBeUsedIsAnErrorText) {
  const std::string guid = beta_->GetProjectGUID(), at = "\"" + guid + "\" at position 2 ";
  struct Case {
    const char* folder;  // where Alpha says Beta is; nullptr: not registered
    const char* file;
    std::string error;
  };
  const Case cases[] = {
      {nullptr, "",
       at + "is not an external project of this project: expected the GUID of a "
            "project registered in vlExternalProjects."},
      {"Moved", "Beta", at + "could not be opened from \"" + dir_.File("Moved") + "/Beta.vlp\": "},
      {"Alpha", "Alpha",
       at + "is not at \"" + dir_.File("Alpha") + "/Alpha.vlp\": that file holds the project " +
           alpha_->GetProjectGUID() + "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    DataServicesOf(*alpha_)->ExecuteSQL("DELETE FROM vlExternalProjects");
    if (c.folder) RegisterBeta(dir_.File(c.folder), c.file);
    EXPECT_FALSE(Parse("(" + guid + "." + kBetaType + ")"));
    EXPECT_NE(error_.find(c.error), std::string::npos) << error_;
  }
}

TEST_F(SqlQueryServicesTest, AnOpenProjectFoundByTheFinderIsUsedAndLeftOpen) {
  RegisterBeta(dir_.File("Nowhere"), "Beta");  // never opened from there
  SqlQueryServices services([&](const std::string& guid) -> std::shared_ptr<Project> {
    return guid == beta_->GetProjectGUID() ? beta_ : nullptr;
  });
  ASSERT_TRUE(Parse("(" + beta_->GetProjectGUID() + "." + kBetaType + ")", services)) << error_;
  EXPECT_EQ(parsed_.ProjStructSpec->RequirementTypeID, "31");
  EXPECT_EQ(beta_->GetProjectName(), "Beta");  // still open
}

}  // namespace
}  // namespace vl
