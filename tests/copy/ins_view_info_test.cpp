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

TEST_F(InsViewInfoTest, RejectedQueryIsReportedAndTheOthersAreStillCopied) {
  MakeAlpha();
  WriteQueryDefs(QueryDef(kOldQuery, "Broken", "(" + kOldType + ") WHERE") +
                 QueryDef(kOldQuery2, "Empty", "", "{0E000000-0000-0000-0000-0000000000FF}") +
                 QueryDef("{0E000000-0000-0000-0000-000000000007}", "Plain", "no scope at all"));
  ASSERT_TRUE(copier().CopyXMLQueryDefs(*ds_, *alpha_));
  // The unknown owner gets the look-up's message and the current user.
  // Each message names the query definition it is about.
  EXPECT_EQ(sink_.infos,
            (std::vector<std::string>{
                "Query not copied: Expected the GUID of an attribute, found the end of the query. "
                "It is the query definition \"Broken\" " +
                    kOldQuery + ".",
                "No translation for this object. It is the user "
                "{0E000000-0000-0000-0000-0000000000FF}, referred to by the query definition "
                "\"Empty\" " +
                    kOldQuery2 + ".",
                "Query not copied: Expected \"(\" at the start of the query, found \"no\" at "
                "position 1. It is the query definition \"Plain\" "
                "{0E000000-0000-0000-0000-000000000007}."}));
  EXPECT_EQ(Rows(*ds_, "SELECT QUERYNAME, QUERYUSERID, QUERYSTRING FROM VlQueryDefinitions"),
            (Table{{"Empty", "1", ""}}));
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

TEST_F(InsViewInfoTest, ExternalProjectWithoutTranslationsKeepsItsGuids) {
  MakeBeta();  // made by hand, not from a baseline: no ResRTGUIDs.xml
  MakeAlpha();
  Register(*ds_, 12, *beta_, "Beta");
  tables().gdictExtProjMap[kExtBaselineGuid] = beta_->GetProjectGUID();
  WriteQueryDefs(
      QueryDef(kOldQuery, "Theirs",
               "(" + kExtBaselineGuid + "." + kBetaType + ") WHERE " + kBetaAttr + " = 'x'"));
  ASSERT_TRUE(copier().CopyXMLQueryDefs(*ds_, *alpha_));
  EXPECT_TRUE(sink_.infos.empty()) << sink_.infos[0];
  EXPECT_EQ(Rows(*ds_, "SELECT QUERYSTRING FROM VlQueryDefinitions"),
            (Table{{"(" + beta_->GetProjectGUID() + "." + kBetaType + ") WHERE " + kBetaAttr +
                    " = 'x'"}}));
}

TEST_F(InsViewInfoTest, QueryDefsFileWithoutProjectStopsTheStage) {
  MakeAlpha();
  WriteFile(root_ / "baseline" / "QueryDefs.XML", "<QUERYDEFS/>");
  EXPECT_FALSE(copier().CopyXMLQueryDefs(*ds_, *alpha_));
  EXPECT_EQ(sink_.infos, (std::vector<std::string>{"QueryDefs.XML lacks the node PROJECT"}));
}

// ---- What other projects left unresolved for this baseline's project ----

class OtherProjectsTest : public InsViewInfoTest {
 protected:
  // Beta waits for this baseline's project; Alpha is the project now
  // created for it and registered in Beta as row 5.
  void SetUp() override {
    InsViewInfoTest::SetUp();
    MakeBeta();
    MakeAlpha();
    Register(*beta_ds_, 5, *alpha_, "Alpha");
  }
  // The run's own definitions, then, at its end, what Beta waited for;
  // committed as a successful run commits it.
  bool Complete() {
    InsViewInfo views = copier();
    const bool ok = views.CopyXMLQueryDefs(*ds_, *alpha_) &&
                    views.CompleteUnResQueryDefs(*alpha_) && views.CompleteUnResViews();
    CommitOtherProjects();
    return ok;
  }
  void WriteBetaFile(const char* name, const std::string& content) {
    WriteFile(root_ / "Beta" / name,
              R"(<?xml version="1.0" standalone="yes"?><PROJECT>)" + content + "</PROJECT>");
  }
  static std::string View(const std::string& query, const std::string& secQuery,
                          const std::string& props, const std::string& extra = "") {
    return R"(<View Pkg="3"><GUID>{0D000000-0000-0000-0000-000000000001}</GUID>)"
           R"(<ViewName>Theirs</ViewName><ViewDescription>d</ViewDescription>)"
           R"(<Visibility>1</Visibility><ViewDateTime>2004-02-03 04:05:06</ViewDateTime>)"
           R"(<ViewReason>r</ViewReason><Type>2</Type><ReqTypeID>{0D000000-0000-0000-0000-)"
           R"(000000000002}</ReqTypeID><SecReqTypeID/><ViewProperties>)" +
           props + "</ViewProperties><ViewQueryDefGUID" + extra + ">" + query +
           "</ViewQueryDefGUID><SecQueryID>" + secQuery +
           "</SecQueryID><ViewUserGUID>1</ViewUserGUID></View>";
  }
};

TEST_F(OtherProjectsTest, DefinitionsForThisProjectAreInsertedAndTheOthersStay) {
  const std::string waiting = QueryDef(
      kOldQuery, "Waiting", "(" + kBaselineGuid + "." + kOldType + ") WHERE " + kOldAttr + " = 1");
  const std::string other =
      QueryDef(kOldQuery2, "Other", "(" + kNowhereGuid + "." + kOldType + ")");
  WriteBetaFile(kUnResQueryDefsFile, waiting + other);

  ASSERT_TRUE(Complete());
  EXPECT_EQ(
      Rows(*beta_ds_, "SELECT QUERYNAME, QUERYUSERID, QUERYSTRING FROM VlQueryDefinitions"),
      (Table{{"Waiting", std::to_string(beta_->GetCurrentUserID()),
              "(" + alpha_->GetProjectGUID() + "." + kNewType + ") WHERE " + kNewAttr + " = 1"}}));
  EXPECT_TRUE(Rows(*ds_, "SELECT ID FROM VlQueryDefinitions").empty());
  ASSERT_NE(tables().gcolQDefs.Find(kOldQuery), nullptr);
  EXPECT_EQ((*tables().gcolQDefs.Find(kOldQuery))->RequirementTypeID, "7");
  EXPECT_EQ((*tables().gcolQDefs.Find(kOldQuery))->ExternalProjectID, "5");
  EXPECT_EQ(Compact(root_ / "Beta" / kUnResQueryDefsFile), "<PROJECT>" + other + "</PROJECT>");
}

TEST_F(OtherProjectsTest, OwnerOfACompletedDefinitionIsTheOtherProjectsOwnUser) {
  // The other project's run wrote its own new user GUID into queryuserid.
  const std::string betaUser = "{0B000000-0000-0000-0000-0000000000AA}";
  beta_ds_->ExecuteSQL(
      "INSERT INTO vlUsers (ID, VLGUID, LoginName, Password, Active, FullName, "
      "EmailAddress, GroupID) VALUES (77, '" +
      betaUser + "', 'owner', '', 1, 'Owner', '', 1)");
  WriteBetaFile(
      kUnResQueryDefsFile,
      QueryDef(kOldQuery, "Waiting", "(" + kBaselineGuid + "." + kOldType + ")", betaUser));
  ASSERT_TRUE(Complete());
  EXPECT_EQ(Rows(*beta_ds_, "SELECT QUERYUSERID FROM VlQueryDefinitions"), (Table{{"77"}}));
  EXPECT_TRUE(sink_.infos.empty()) << sink_.infos[0];
}

TEST_F(OtherProjectsTest, FileIsDeletedWhenEveryDefinitionResolves) {
  WriteBetaFile(kUnResQueryDefsFile,
                QueryDef(kOldQuery, "Waiting", "(" + kBaselineGuid + "." + kOldType + ")"));
  ASSERT_TRUE(Complete());
  EXPECT_EQ(Rows(*beta_ds_, "SELECT QUERYNAME FROM VlQueryDefinitions"), (Table{{"Waiting"}}));
  EXPECT_FALSE(fs::exists(root_ / "Beta" / kUnResQueryDefsFile));
}

TEST_F(OtherProjectsTest, DefinitionThatCannotBeInsertedIsKeptAsItWas) {
  const std::string waiting =
      QueryDef(kOldQuery, "Waiting", "(" + kBaselineGuid + "." + kOldAttr + ")");
  WriteBetaFile(kUnResQueryDefsFile, waiting);
  ASSERT_TRUE(Complete());
  EXPECT_TRUE(Rows(*beta_ds_, "SELECT ID FROM VlQueryDefinitions").empty());
  ASSERT_FALSE(sink_.infos.empty());
  EXPECT_EQ(sink_.infos.back().rfind("Query not copied: ", 0), 0u);
  EXPECT_EQ(Compact(root_ / "Beta" / kUnResQueryDefsFile), "<PROJECT>" + waiting + "</PROJECT>");
}

TEST_F(OtherProjectsTest, ViewsForThisProjectAreInsertedAndTheOthersRecordWhatWasFound) {
  // Beta waits with a query definition and two views on this project; the
  // definition is completed first, in the same run.
  WriteBetaFile(kUnResQueryDefsFile,
                QueryDef(kOldQuery, "Waiting", "(" + kBaselineGuid + "." + kOldType + ")"));
  const std::string never = "{0D000000-0000-0000-0000-0000000000EE}";
  WriteBetaFile(kUnResViewsFile, View(kOldQuery, "", "a;externalProjectID=/i0;b") +
                                     View(never, kOldQuery, "c;externalProjectIDHoriz=/i0"));

  ASSERT_TRUE(Complete());
  const std::string waiting = Rows(*beta_ds_, "SELECT ID FROM VlQueryDefinitions")[0][0];
  EXPECT_EQ(Rows(*beta_ds_,
                 "SELECT REQUIREMENTTYPEID, SECONDARYREQTYPEID, QUERYID, SECONDARYQUERYID, "
                 "VIEWUSERID, PROPERTIES FROM VlViews"),
            (Table{{"7", "", waiting, "", "1", "a;externalProjectID=/i5;b"}}));
  EXPECT_EQ(Rows(*beta_ds_, "SELECT PACKAGEID, VIEWID FROM VLPACKAGEELEMENTS"),
            (Table{{"3", Rows(*beta_ds_, "SELECT ID FROM VlViews")[0][0]}}));
  // What goes into the other project is named with it.
  EXPECT_EQ(sink_.results,
            (std::vector<std::string>{"Query Waiting into Beta", "View Theirs into Beta"}));

  // The second view waits on: its second query is recorded as found, with
  // the properties that go with it.
  const std::string kept = Compact(root_ / "Beta" / kUnResViewsFile);
  EXPECT_NE(kept.find("<SecReqTypeID>7</SecReqTypeID>"), std::string::npos) << kept;
  EXPECT_NE(kept.find(R"(<SecQueryID RESOLVED="True">)" + waiting + "</SecQueryID>"),
            std::string::npos);
  EXPECT_NE(kept.find("<ViewProperties>c;externalProjectIDHoriz=/i5</ViewProperties>"),
            std::string::npos);
  EXPECT_NE(kept.find("<ViewQueryDefGUID>" + never + "</ViewQueryDefGUID>"), std::string::npos);

  // A later run finds the first query too (row 51, no specification): the
  // view goes in with what the first run recorded, and the file goes.
  AddQueryRow(*beta_ds_, 51, "{A0000000-0000-0000-0000-0000000000EE}");
  tables().gdictPSGUIDs[never] = "{A0000000-0000-0000-0000-0000000000EE}";
  ASSERT_TRUE(Complete());
  EXPECT_EQ(Rows(*beta_ds_,
                 "SELECT REQUIREMENTTYPEID, SECONDARYREQTYPEID, QUERYID, SECONDARYQUERYID, "
                 "PROPERTIES FROM VlViews ORDER BY ID"),
            (Table{{"7", "", waiting, "", "a;externalProjectID=/i5;b"},
                   {"0", "7", "51", waiting, "c;externalProjectIDHoriz=/i5"}}));
  EXPECT_FALSE(fs::exists(root_ / "Beta" / kUnResViewsFile));
}

TEST_F(OtherProjectsTest, AViewRecordedWithAMissingFirstQueryStopsTheCompletion) {
  // An earlier run recorded the first query as found with -1; the second
  // waited for this project.
  goResource->SetString(20064, "Views failed");
  WriteBetaFile(kUnResQueryDefsFile,
                QueryDef(kOldQuery, "Waiting", "(" + kBaselineGuid + "." + kOldType + ")"));
  WriteBetaFile(kUnResViewsFile, View("-1", kOldQuery, "p", R"( RESOLVED="True")"));
  EXPECT_FALSE(Complete());
  EXPECT_EQ(sink_.infos,
            (std::vector<std::string>{
                "The translated object is not in the database. (view Theirs in Beta: -1)",
                "Views failed"}));
  EXPECT_TRUE(Rows(*beta_ds_, "SELECT ID FROM VlViews").empty());
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

TEST_F(PackageViewsTest, QueryDefinitionNamesTheExternalProjectInTheProperties) {
  tables().gcolQDefs.Add(kOldQuery, std::make_shared<ProjStructSpec>(ProjStructSpec{"31", "12"}));
  ASSERT_TRUE(copier().CopyXMLPkgViewInfo(
      Package(View("Ext", "", "Sort=1;externalProjectID=/i7;Width=/i20")), 1, *ds_, *alpha_));
  EXPECT_EQ(Rows(*ds_, "SELECT REQUIREMENTTYPEID, PROPERTIES FROM VlViews"),
            (Table{{"31", "Sort=1;externalProjectID=/i12;Width=/i20"}}));
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

TEST_F(PackageViewsTest, UnknownQueryStopsThePackageButKeepsTheUnresolvedViewsFound) {
  const std::string unresolved = "{0E000000-0000-0000-0000-0000000000AA}";
  tables().gcolUnResQDefs.Add(unresolved, "UnResQDefName:Elsewhere");
  // The unknown first query stops the package also when the second waits.
  for (const std::string& lostSecond :
       {std::string(), "<SecQueryID>" + unresolved + "</SecQueryID>"}) {
    fs::remove(root_ / "Alpha" / kUnResViewsFile);
    sink_.infos.clear();
    pugi::xml_node pkg =
        Package(View("Waits", "", "p", unresolved) +
                View("Lost", lostSecond, "p", "{0E000000-0000-0000-0000-0000000000BB}") +
                View("Never", ""));
    EXPECT_FALSE(copier().CopyXMLPkgViewInfo(pkg, 4, *ds_, *alpha_)) << lostSecond;
    EXPECT_EQ(sink_.InfoTexts(), (std::vector<std::string>{"No translation for this object."}));
    EXPECT_TRUE(Rows(*ds_, "SELECT ID FROM VlViews").empty());
    pugi::xml_document doc;
    ASSERT_TRUE(LoadXmlPath(doc, (root_ / "Alpha" / kUnResViewsFile).string()));
    EXPECT_EQ(doc.select_nodes("/PROJECT/View").size(), 1u) << lostSecond;
  }
}

TEST_F(PackageViewsTest, PackageWithoutViewsWritesNothing) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string("<Package/>"));
  RecordingDataServices rec(ds_);
  EXPECT_TRUE(copier().CopyXMLPkgViewInfo(doc.document_element(), 1, rec, *alpha_));
  EXPECT_TRUE(rec.calls().empty());
  EXPECT_FALSE(fs::exists(root_ / "Alpha" / kUnResViewsFile));
}

}  // namespace
}  // namespace vl::testing
