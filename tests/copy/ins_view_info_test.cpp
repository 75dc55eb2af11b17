// The query definition and view copier against real SQLite projects: the
// new project Alpha and, where a test needs one, the project Beta created
// earlier from another baseline.
#include "copy/ins_view_info.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "copy/project_pair_fixture.h"
#include "host/xml/xml_file.h"
#include "support/data_services_wrappers.h"

namespace vl::testing {
namespace {

const std::string kBaselineGuid = "{B0000000-0000-0000-0000-00000000000A}";
const std::string kExtBaselineGuid = "{B0000000-0000-0000-0000-00000000000B}";
const std::string kNowhereGuid = "{B0000000-0000-0000-0000-00000000000C}";
// Objects as this baseline knows them.
const std::string kOldType = "{0E000000-0000-0000-0000-000000000001}";
const std::string kOldAttr = "{0E000000-0000-0000-0000-000000000002}";
const std::string kOldItem = "{0E000000-0000-0000-0000-000000000003}";
const std::string kOldUser = "{0E000000-0000-0000-0000-000000000004}";
const std::string kOldQuery = "{0E000000-0000-0000-0000-000000000005}";
const std::string kOldQuery2 = "{0E000000-0000-0000-0000-000000000006}";
// The same objects in the new project.
const std::string kNewType = "{A0000000-0000-0000-0000-000000000001}";
const std::string kNewAttr = "{A0000000-0000-0000-0000-000000000002}";
const std::string kNewItem = "{A0000000-0000-0000-0000-000000000003}";
const std::string kNewQuery = "{A0000000-0000-0000-0000-000000000005}";
// Objects of the external project as the baseline knew them, and in Beta.
const std::string kOldExtType = "{0F000000-0000-0000-0000-000000000001}";
const std::string kOldExtAttr = "{0F000000-0000-0000-0000-000000000002}";
const std::string kBetaType = "{BE000000-0000-0000-0000-000000000001}";
const std::string kBetaAttr = "{BE000000-0000-0000-0000-000000000002}";

using Table = std::vector<std::vector<std::string>>;

class InsViewInfoTest : public ProjectPairTest {
 protected:
  void SetUp() override {
    ProjectPairTest::SetUp();
    goResource->SetString(20079, "Copying view: %1");
    goResource->SetString(20080, "Query not copied: %1");
    UseValidatedBaseline(kBaselineGuid, "<PROJECT/>");
    WriteQueryDefs("");
  }

  // Alpha with this baseline's requirement type (ID 7), attribute, list
  // item and user ("admin") copied and translated.
  void MakeAlpha() {
    alpha_ = CreateProject("Alpha");
    ds_ = DataServicesOf(*alpha_);
    AddStructure(*ds_, 7, kNewType, kNewAttr, kNewItem);
    tables().gdictPSGUIDs[kOldType] = kNewType;
    tables().gdictPSGUIDs[kOldAttr] = kNewAttr;
    tables().gdictPSGUIDs[kOldItem] = kNewItem;
    tables().gdictPSGUIDs[kOldUser] = alpha_->FindUser("admin")->GetUserGUID();
  }

  // Beta, created earlier, open in this run as an external project.
  void MakeBeta() {
    beta_ = CreateProject("Beta");
    beta_ds_ = DataServicesOf(*beta_);
    AddStructure(*beta_ds_, 31, kBetaType, kBetaAttr, "{BE000000-0000-0000-0000-000000000003}");
    tables().gcolExtProjs.Add(beta_->GetProjectGUID(), beta_);
  }

  static void AddStructure(DataServices& ds, int id, const std::string& type,
                           const std::string& attr, const std::string& item) {
    const std::string n = std::to_string(id);
    ds.ExecuteSQL("INSERT INTO vlRequirementTypes (ID, VLGUID, NAME) VALUES (" + n + ", '" + type +
                  "', 'Feature')");
    ds.ExecuteSQL("INSERT INTO vlUserDefinedFields (ID, VLGUID, LABEL) VALUES (" + n + ", '" +
                  attr + "', 'Priority')");
    ds.ExecuteSQL("INSERT INTO vlUserDefinedListItems (ITEMID, FIELDID, VLGUID) VALUES (" + n +
                  ", " + n + ", '" + item + "')");
  }
  static void AddQueryRow(DataServices& ds, int id, const std::string& guid) {
    ds.ExecuteSQL("INSERT INTO VlQueryDefinitions (ID, PROJECTID, QUERYNAME, VLGUID) VALUES (" +
                  std::to_string(id) + ", 1, 'q', '" + guid + "')");
  }
  // Registers `known` (lying in Root()/name) in `ds`'s vlExternalProjects.
  void Register(DataServices& ds, int id, Project& known, const std::string& name) {
    ds.ExecuteSQL(
        "INSERT INTO vlExternalProjects (ID, NAME, VLGUID, PREFIX, DIRECTORY, FILENAME) VALUES (" +
        std::to_string(id) + ", '" + name + "', '" + known.GetProjectGUID() + "', 'P', '" +
        FolderOf(name) + "', '" + name + "')");
  }

  static std::string Escaped(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '<' ? "&lt;" : c == '&' ? "&amp;" : std::string(1, c);
    return out;
  }
  static std::string QueryDef(const std::string& id, const std::string& name,
                              const std::string& query, const std::string& user = kOldUser) {
    return R"(<QUERYDEF Name=")" + name + R"(" ID=")" + id + R"(" queryuserid=")" + user +
           R"(" queryusername="Ann" querydatetime="2003-07-01 14:05:09" queryreason="why" )" +
           R"(querybasetype="3"><QUERYDESCRIPTION>it's described</QUERYDESCRIPTION>)" +
           "<QUERYSTRING>" + Escaped(query) + "</QUERYSTRING></QUERYDEF>";
  }
  void WriteQueryDefs(const std::string& defs) {
    WriteFile(root_ / "baseline" / "QueryDefs.XML",
              R"(<?xml version="1.0"?><PROJECT><QUERYDEFS>)" + defs + "</QUERYDEFS></PROJECT>");
  }

  // The file's document element, written without formatting.
  static std::string Compact(const fs::path& path) {
    pugi::xml_document doc;
    EXPECT_TRUE(LoadXmlPath(doc, path.string())) << path;
    std::ostringstream out;
    doc.document_element().print(out, "", pugi::format_raw);
    return out.str();
  }
  std::shared_ptr<Project> alpha_, beta_;
  std::shared_ptr<DataServices> ds_, beta_ds_;
  InsViewInfo copier() { return InsViewInfo(ctx()); }
};

// ---- Query definitions ----

TEST_F(InsViewInfoTest, LocalDefinitionIsRenewedRebuiltAndInsertedAsOneStatement) {
  MakeAlpha();
  WriteQueryDefs(QueryDef(kOldQuery, "Open items",
                          "(" + kOldType + ") where " + kOldAttr + " = " + kOldItem + " or " +
                              kOldAttr + " = 'it''s'"));
  ASSERT_TRUE(copier().CopyXMLQueryDefs(*ds_, *alpha_));
  EXPECT_TRUE(sink_.infos.empty()) << sink_.infos[0];

  const std::string canonical =
      "(" + kNewType + ") WHERE " + kNewAttr + " = " + kNewItem + " OR " + kNewAttr + " = 'it''s'";
  const Table rows = Rows(*ds_, "SELECT ID, QUERYSTRING, VLGUID FROM VlQueryDefinitions");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], canonical);  // the doubled quote of the query survives
  EXPECT_EQ(rows[0][2], ctx().TranslateGUID(kOldQuery));
  EXPECT_EQ(Rows(*ds_,
                 "SELECT QUERYNAME, QUERYDESCRIPTION, QUERYUSERID, QUERYREASON, "
                 "QUERYBASETYPE FROM VlQueryDefinitions"),
            (Table{{"Open items", "it's described", "1", "why", "3"}}));
  // All resolved: no file of unresolved definitions, nothing external.
  EXPECT_FALSE(fs::exists(root_ / "Alpha" / kUnResQueryDefsFile));
  EXPECT_TRUE(tables().gcolQDefs.Empty());
  EXPECT_TRUE(tables().gcolUnResQDefs.Empty());
}

TEST_F(InsViewInfoTest, DefinitionOfAnUnknownExternalProjectGoesToTheUnresolvedFile) {
  MakeAlpha();
  WriteQueryDefs(QueryDef(kOldQuery, "Elsewhere", "(" + kNowhereGuid + "." + kOldExtType + ")") +
                 QueryDef(kOldQuery2, "Here", "(" + kOldType + ")"));
  ASSERT_TRUE(copier().CopyXMLQueryDefs(*ds_, *alpha_));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(Rows(*ds_, "SELECT QUERYNAME FROM VlQueryDefinitions"), (Table{{"Here"}}));
  ASSERT_NE(tables().gcolUnResQDefs.Find(kOldQuery), nullptr);
  EXPECT_EQ(*tables().gcolUnResQDefs.Find(kOldQuery), "UnResQDefName:Elsewhere");
  EXPECT_EQ(tables().gcolUnResQDefs.Count(), 1u);

  const fs::path file = root_ / "Alpha" / kUnResQueryDefsFile;
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(ReadFile(file).rfind(R"(<?xml version="1.0" standalone="yes"?>)", 0), 0u);
  // The owner is written as the user's new GUID.
  EXPECT_EQ(Compact(file),
            "<PROJECT>" +
                QueryDef(kOldQuery, "Elsewhere", "(" + kNowhereGuid + "." + kOldExtType + ")",
                         alpha_->FindUser("admin")->GetUserGUID()) +
                "</PROJECT>");
}

TEST_F(InsViewInfoTest, ExternalDefinitionTakesTheExternalProjectsGuids) {
  MakeBeta();
  WriteFile(root_ / "Beta" / "ResRTGUIDs.xml",
            R"(<?xml version="1.0"?><PROJECT GUID="{X}" NEWGUID="{Y}">)"
            R"(<GUID OLDGUID=")" +
                kOldExtType + R"(" NEWGUID=")" + kBetaType +
                R"("/>)"
                R"(<GUID OLDGUID=")" +
                kOldExtAttr + R"(" NEWGUID=")" + kBetaAttr +
                R"("/>)"
                "</PROJECT>");
  MakeAlpha();
  Register(*ds_, 12, *beta_, "Beta");
  tables().gdictExtProjMap[kExtBaselineGuid] = beta_->GetProjectGUID();
  WriteQueryDefs(
      QueryDef(kOldQuery, "Theirs",
               "(" + kExtBaselineGuid + "." + kOldExtType + ") WHERE " + kOldExtAttr + " = 1") +
      QueryDef(kOldQuery2, "Mixed",
               "(" + kExtBaselineGuid + "." + kOldExtType + ") WHERE " + kOldAttr + " = 1"));
  ASSERT_TRUE(copier().CopyXMLQueryDefs(*ds_, *alpha_));

  EXPECT_EQ(Rows(*ds_, "SELECT QUERYNAME, QUERYSTRING FROM VlQueryDefinitions"),
            (Table{{"Theirs", "(" + beta_->GetProjectGUID() + "." + kBetaType + ") WHERE " +
                                  kBetaAttr + " = 1"}}));
  ASSERT_NE(tables().gcolQDefs.Find(kOldQuery), nullptr);
  EXPECT_EQ((*tables().gcolQDefs.Find(kOldQuery))->RequirementTypeID, "31");
  EXPECT_EQ((*tables().gcolQDefs.Find(kOldQuery))->ExternalProjectID, "12");
  // This baseline's attribute means nothing to the external project's list.
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0].rfind("Error in RenewQStringIDs: ", 0), 0u) << sink_.infos[0];
  EXPECT_NE(sink_.infos[0].find(kOldAttr), std::string::npos);
}

// ---- Views of a package ----

class PackageViewsTest : public InsViewInfoTest {
 protected:
  void SetUp() override {
    InsViewInfoTest::SetUp();
    MakeAlpha();
    AddQueryRow(*ds_, 40, kNewQuery);
    tables().gdictPSGUIDs[kOldQuery] = kNewQuery;
  }
  static std::string View(const std::string& name, const std::string& secondary,
                          const std::string& props = "p", const std::string& query = kOldQuery) {
    return R"(<View><GUID>{0D000000-0000-0000-0000-000000000001}</GUID><ViewName>)" + name +
           R"(</ViewName><ViewDescription>d</ViewDescription><Visibility>1</Visibility>)"
           R"(<ViewDateTime>2004-02-03 04:05:06</ViewDateTime><ViewReason>r</ViewReason>)"
           R"(<Type>2</Type><ReqTypeID>)" +
           kOldType + "</ReqTypeID>" + secondary + "<ViewProperties>" + props +
           "</ViewProperties><ViewQueryDefGUID>" + query + "</ViewQueryDefGUID><ViewUserGUID>" +
           kOldUser + "</ViewUserGUID></View>";
  }
  pugi::xml_node Package(const std::string& views) {
    package_doc_.reset();
    EXPECT_TRUE(
        package_doc_.load_string(("<Package><Views>" + views + "</Views></Package>").c_str()));
    return package_doc_.document_element();
  }
  pugi::xml_document package_doc_;
};

TEST_F(PackageViewsTest, ViewIsInsertedWithItsSecondariesWhenTheyAreFound) {
  const std::string secondary =
      "<SecReqTypeID>" + kOldType + "</SecReqTypeID><SecQueryID>" + kOldQuery + "</SecQueryID>";
  ASSERT_TRUE(copier().CopyXMLPkgViewInfo(Package(View("All", "") + View("Both", secondary)), 1,
                                          *ds_, *alpha_));
  EXPECT_TRUE(sink_.infos.empty()) << sink_.infos[0];
  EXPECT_EQ(sink_.results, (std::vector<std::string>{"Copying view: All", "Copying view: Both"}));
  const Table rows =
      Rows(*ds_,
           "SELECT REQUIREMENTTYPEID, SECONDARYREQTYPEID, VIEWNAME, VIEWDESCRIPTION, "
           "VIEWTYPE, VISIBILITY, PROPERTIES, QUERYID, SECONDARYQUERYID, VIEWUSERID, "
           "VIEWREASON, VLGUID, ID FROM VlViews ORDER BY ID");
  ASSERT_EQ(rows.size(), 2u);
  const std::string guid = ctx().TranslateGUID("{0D000000-0000-0000-0000-000000000001}");
  EXPECT_EQ(rows[0], (std::vector<std::string>{"7", "", "All", "d", "2", "1", "p", "40", "", "1",
                                               "r", guid, rows[0][12]}));
  EXPECT_EQ(rows[1][1], "7");
  EXPECT_EQ(rows[1][8], "40");
  EXPECT_EQ(Rows(*ds_, "SELECT PACKAGEID, VIEWID FROM VLPACKAGEELEMENTS ORDER BY VIEWID"),
            (Table{{"1", rows[0][12]}, {"1", rows[1][12]}}));
  EXPECT_FALSE(fs::exists(root_ / "Alpha" / kUnResViewsFile));
}

TEST_F(PackageViewsTest, ViewOfAnUnresolvedQueryGoesToTheUnresolvedFile) {
  const std::string unresolved = "{0E000000-0000-0000-0000-0000000000AA}";
  tables().gcolUnResQDefs.Add(unresolved, "UnResQDefName:Elsewhere");
  const std::string secondary =
      "<SecReqTypeID>" + kOldType + "</SecReqTypeID><SecQueryID>" + kOldQuery + "</SecQueryID>";
  pugi::xml_node pkg = Package(View("Waits", secondary, "p", unresolved) + View("Goes", ""));
  ASSERT_TRUE(copier().CopyXMLPkgViewInfo(pkg, 4, *ds_, *alpha_));
  EXPECT_EQ(Rows(*ds_, "SELECT VIEWNAME FROM VlViews"), (Table{{"Goes"}}));
  EXPECT_EQ(pkg.child("Views").select_nodes("View").size(), 1u);  // moved out of the package

  const fs::path file = root_ / "Alpha" / kUnResViewsFile;
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(ReadFile(file).rfind(R"(<?xml version="1.0" standalone="yes"?>)", 0), 0u);
  const std::string waiting =
      R"(<View Pkg="4"><GUID>{0D000000-0000-0000-0000-000000000001}</GUID><ViewName>Waits)"
      R"(</ViewName><ViewDescription>d</ViewDescription><Visibility>1</Visibility>)"
      R"(<ViewDateTime>2004-02-03 04:05:06</ViewDateTime><ViewReason>r</ViewReason>)"
      R"(<Type>2</Type><ReqTypeID>)" +
      kOldType +
      R"(</ReqTypeID><SecReqTypeID>7</SecReqTypeID><SecQueryID RESOLVED="True">)"
      R"(40</SecQueryID><ViewProperties>p</ViewProperties><ViewQueryDefGUID>)" +
      unresolved + "</ViewQueryDefGUID><ViewUserGUID>1</ViewUserGUID></View>";
  EXPECT_EQ(Compact(file), "<PROJECT>" + waiting + "</PROJECT>");

  // The next package's unresolved views are added to the same file.
  ASSERT_TRUE(
      copier().CopyXMLPkgViewInfo(Package(View("Waits", "", "p", unresolved)), 5, *ds_, *alpha_));
  pugi::xml_document doc;
  ASSERT_TRUE(LoadXmlPath(doc, file.string()));
  EXPECT_EQ(doc.select_nodes("/PROJECT/View").size(), 2u);
  EXPECT_STREQ(doc.select_node("/PROJECT/View[2]").node().attribute("Pkg").value(), "5");
}

}  // namespace
}  // namespace vl::testing
