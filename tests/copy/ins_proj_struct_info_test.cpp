// The project structure copier on real SQLite projects: attributes with
// list items and value views, requirement types and their attributes,
// document types, and the GUID map "ResRTGUIDs.xml".
#include "copy/ins_proj_struct_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "copy/project_pair_fixture.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

namespace fs = std::filesystem;
using Table = std::vector<std::vector<std::string>>;

constexpr const char* kBaselineGuid = "{0B5E1A2C-0000-4000-8000-00000000B1A5}";

// Two attributes (a list with two items, the second the default, and a
// whole number), a requirement type with both and one with none, and two
// document types, the first with a default requirement type.
constexpr const char* kStructure = R"(<?xml version="1.0"?>
<PROJECT>
  <Attributes>
    <Attribute ID="{A-PRIORITY}" Label="Priority" Rank="1" AutoSuspect="True" Required="False"
               DataType="10" DefaultValue="" Flags="0" Description="How urgent" FieldProperties="">
      <ListItems>
        <ListItem ID="{LI-HIGH}" ItemText="High" ItemRank="1" Default="False"/>
        <ListItem ID="{LI-LOW}" ItemText="Low" ItemRank="2" Default="True"/>
      </ListItems>
    </Attribute>
    <Attribute ID="{A-COST}" Label="Cost" Rank="2" AutoSuspect="False" Required="True"
               DataType="2" DefaultValue="10" Flags="3" Description="Don't guess" FieldProperties="p"/>
  </Attributes>
  <RequirementTypes>
    <RequirementType ID="{RT-FEAT}" Name="Feature" Description="Features" RequirementPrefix="FEAT"
        RequirementStyle="2" RequirementColor="255" RequirementMustContain="" InitialReqNumber="1"
        LastReqNumber="12" AllowExternalReferences="True">
      <Attributes>
        <Attribute ID="{A-PRIORITY}"/>
        <Attribute ID="{A-COST}"/>
      </Attributes>
    </RequirementType>
    <RequirementType ID="{RT-NOTE}" Name="Note" Description="" RequirementPrefix="NOTE"
        RequirementStyle="0" RequirementColor="0" RequirementMustContain="shall" InitialReqNumber="1"
        LastReqNumber="0" AllowExternalReferences="False">
      <Attributes/>
    </RequirementType>
  </RequirementTypes>
  <DocumentTypes>
    <DocumentType ID="{DT-VISION}" Name="Vision" Description="The vision" FileExtension="VIS"
        DefaultRequirementTypeGUID="{RT-FEAT}" TemplateName="Vision template" TemplateDescription=""
        TemplateFileName="vision.dot" TemplateHelpFile="" DefaultRequirementName="Feature"/>
    <DocumentType ID="{DT-NOTES}" Name="Notes" Description="" FileExtension="NTS"
        DefaultRequirementTypeGUID="" TemplateName="" TemplateDescription="" TemplateFileName=""
        TemplateHelpFile="" DefaultRequirementName=""/>
  </DocumentTypes>
</PROJECT>
)";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class InsProjStruInfoTest : public testing::ProjectPairTest {
 protected:
  void SetUp() override {
    ProjectPairTest::SetUp();
    AddTexts({
        {20073, "Document type %1"},
        {20074, "Attribute %1"},
        {20075, "List item %1"},
        {20076, "Requirement type %1"},
        {20077, "Connecting attributes"},
    });
    // A baseline folder the descriptor accepts, so that it knows the
    // baseline's GUID.
    UseValidatedBaseline(kBaselineGuid, "<PROJECT/>");
    project_ = CreateProject("Structure");
    copier_ = std::make_unique<InsProjStruInfo>(ctx());
    ds_ = DataServicesOf(*project_);
  }

  void TearDown() override {
    ds_.reset();
    project_.reset();
    ProjectPairTest::TearDown();
  }

  void WriteStructure(const std::string& xml) { WriteBaselineFile("ProjectStructure.XML", xml); }

  Table Select(const std::string& sql) { return Rows(*ds_, sql); }
  std::string Scalar(const std::string& sql) {
    Table rows = Select(sql);
    return rows.empty() ? "<none>" : rows[0][0];
  }
  std::string IdOf(const char* table, const char* idColumn, const std::string& oldGuid) {
    return Scalar(std::string("SELECT ") + idColumn + " FROM " + table + " WHERE VLGUID = '" +
                  ctx().TranslateGUID(oldGuid) + "'");
  }

  // The ("OLDGUID", "NEWGUID") pairs of ResRTGUIDs.xml, and its root.
  std::vector<std::pair<std::string, std::string>> MapPairs(pugi::xml_document& doc) {
    EXPECT_TRUE(doc.load_file((root_ / "Structure" / "ResRTGUIDs.xml").c_str(),
                              pugi::parse_default | pugi::parse_declaration));
    std::vector<std::pair<std::string, std::string>> pairs;
    for (pugi::xml_node g : doc.child("PROJECT").children("GUID"))
      pairs.emplace_back(g.attribute("OLDGUID").value(), g.attribute("NEWGUID").value());
    return pairs;
  }

  // Runs the four steps in the order of a creation run; false at the
  // first that fails.
  bool CopyAll(DataServices& ds) {
    return copier_->CopyXMLAttrInfo(ds, *project_) && copier_->CopyXMLReqTypeInfo(ds, *project_) &&
           copier_->ConnectXMLReqTypeAttrs(ds, *project_) &&
           copier_->CopyXMLDocTypeInfo(ds, *project_);
  }

  bool Reported(const std::string& procName) const {
    for (const std::string& info : sink_.infos)
      if (info.rfind("Error in " + procName + ":", 0) == 0) return true;
    return false;
  }

  std::shared_ptr<Project> project_;
  std::shared_ptr<DataServices> ds_;
  std::unique_ptr<InsProjStruInfo> copier_;
};

TEST_F(InsProjStruInfoTest, CopiesTheWholeStructure) {
  WriteStructure(kStructure);
  ASSERT_TRUE(CopyAll(*ds_));
  EXPECT_TRUE(sink_.infos.empty()) << sink_.infos[0];
  EXPECT_EQ(sink_.results,
            (std::vector<std::string>{"Attribute Priority", "List item High", "List item Low",
                                      "Attribute Cost", "Requirement type Feature",
                                      "Requirement type Note", "Connecting attributes",
                                      "Document type Vision", "Document type Notes"}));

  const std::string priority = IdOf("vlUserDefinedFields", "ID", "{A-PRIORITY}");
  const std::string low = IdOf("vlUserDefinedListItems", "ITEMID", "{LI-LOW}");
  // The second item is the default: DEFAULTVALUE holds its new ITEMID.
  EXPECT_EQ(Select("SELECT LABEL, RANK, AUTOSUSPECT, REQUIRED, DATATYPE, DEFAULTVALUE, FLAGS, "
                   "DESCRIPTION, FIELDPROPERTIES FROM vlUserDefinedFields ORDER BY RANK"),
            (Table{{"Priority", "1", "1", "0", "10", low, "0", "How urgent", ""},
                   {"Cost", "2", "0", "1", "2", "10", "3", "Don't guess", "p"}}));
  EXPECT_EQ(Select("SELECT FIELDID, ITEMRANK, ITEMTEXT FROM vlUserDefinedListItems ORDER BY "
                   "ITEMRANK"),
            (Table{{priority, "1", "High"}, {priority, "2", "Low"}}));

  EXPECT_EQ(Select("SELECT NAME, DESCRIPTION, REQUIREMENTPREFIX, REQUIREMENTSTYLE, "
                   "REQUIREMENTCOLOR, REQUIREMENTMUSTCONTAIN, INITIALREQNUMBER, LASTREQNUMBER, "
                   "ALLOWEXTERNALREFERENCES FROM vlRequirementTypes ORDER BY NAME"),
            (Table{{"Feature", "Features", "FEAT", "2", "255", "", "1", "12", "1"},
                   {"Note", "", "NOTE", "0", "0", "shall", "1", "0", "0"}}));
  const std::string feat = IdOf("vlRequirementTypes", "ID", "{RT-FEAT}");
  const std::string note = IdOf("vlRequirementTypes", "ID", "{RT-NOTE}");
  const std::string project = std::to_string(project_->GetProjectID());
  EXPECT_EQ(Select("SELECT PROJECTID, REQUIREMENTTYPEID FROM vlProjectRequirementTypes ORDER BY 2"),
            (Table{{project, feat}, {project, note}}));
  // The type with an empty "Attributes" gets no links.
  EXPECT_EQ(Select("SELECT REQUIREMENTTYPEID, USERDEFINEDFIELDID FROM vlRequirementTypeFields "
                   "ORDER BY 2"),
            (Table{{feat, priority}, {feat, IdOf("vlUserDefinedFields", "ID", "{A-COST}")}}));

  // The second document type has no default although the first had one.
  EXPECT_EQ(Select("SELECT NAME, DESCRIPTION, FILEEXTENSION, DEFAULTREQUIREMENTTYPE, "
                   "TEMPLATENAME, TEMPLATEFILENAME FROM vlDocumentTypes ORDER BY ID"),
            (Table{{"Vision", "The vision", "VIS", feat, "Vision template", "vision.dot"},
                   {"Notes", "", "NTS", "0", "", ""}}));
  EXPECT_EQ(Select("SELECT PROJECTID FROM vlProjectDocumentTypes"), (Table{{project}, {project}}));
  EXPECT_TRUE(ctx().IsGUIDTranslated("{DT-NOTES}"));
}

TEST_F(InsProjStruInfoTest, GuidMapListsItemsBeforeTheirAttributeThenTheRequirementTypes) {
  WriteStructure(kStructure);
  ASSERT_TRUE(CopyAll(*ds_));
  pugi::xml_document doc;
  const auto pairs = MapPairs(doc);
  pugi::xml_node root = doc.child("PROJECT");
  EXPECT_STREQ(root.attribute("GUID").value(), kBaselineGuid);
  EXPECT_EQ(root.attribute("NEWGUID").value(), project_->GetProjectGUID());
  EXPECT_EQ(doc.first_child().type(), pugi::node_declaration);
  const char* order[] = {"{LI-HIGH}", "{LI-LOW}",  "{A-PRIORITY}",
                         "{A-COST}",  "{RT-FEAT}", "{RT-NOTE}"};
  ASSERT_EQ(pairs.size(), std::size(order));
  for (size_t i = 0; i < pairs.size(); ++i) {
    EXPECT_EQ(pairs[i].first, order[i]);
    EXPECT_EQ(pairs[i].second, ctx().TranslateGUID(order[i]));
  }
}

TEST_F(InsProjStruInfoTest, GuidMapIsWrittenWithoutRequirementTypes) {
  std::string xml = kStructure;
  xml = xml.substr(0, xml.find("<RequirementTypes>")) + "<RequirementTypes/>\n" +
        xml.substr(xml.find("<DocumentTypes>"));
  WriteStructure(xml);
  ASSERT_TRUE(copier_->CopyXMLAttrInfo(*ds_, *project_));
  ASSERT_TRUE(copier_->CopyXMLReqTypeInfo(*ds_, *project_));
  pugi::xml_document doc;
  const auto pairs = MapPairs(doc);
  ASSERT_EQ(pairs.size(), 4u);
  EXPECT_EQ(pairs[2].first, "{A-PRIORITY}");
  EXPECT_EQ(pairs[3].first, "{A-COST}");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlRequirementTypes"), "0");
}

TEST_F(InsProjStruInfoTest, ViewsOfTheCopiedAttributesHoldTheirValues) {
  WriteStructure(kStructure);
  ASSERT_TRUE(copier_->CopyXMLAttrInfo(*ds_, *project_));
  ASSERT_TRUE(sink_.infos.empty()) << sink_.infos[0];
  const std::string priority = IdOf("vlUserDefinedFields", "ID", "{A-PRIORITY}");
  const std::string cost = IdOf("vlUserDefinedFields", "ID", "{A-COST}");
  const std::string high = IdOf("vlUserDefinedListItems", "ITEMID", "{LI-HIGH}");
  const std::string low = IdOf("vlUserDefinedListItems", "ITEMID", "{LI-LOW}");
  ds_->ExecuteSQL(
      "INSERT INTO vlUserDefinedListValues (REQUIREMENTID, FIELDID, LISTITEMID) "
      "VALUES (1, " +
      priority + ", " + low + "), (1, " + priority + ", " + high + "), (2, " + priority + ", " +
      low + ")");
  ds_->ExecuteSQL(
      "INSERT INTO vlUserDefinedFieldValues (REQUIREMENTID, FIELDID, FIELDVALUE) "
      "VALUES (1, " +
      cost + ", ' 12.5 '), (2, " + cost + ", 'a lot'), (3, " + cost + ", NULL)");
  EXPECT_EQ(Select("SELECT * FROM VlAttrValuesSortView_" + priority + " ORDER BY 1"),
            (Table{{"1", high, "1"}, {"2", low, "2"}}));
  EXPECT_EQ(Select("SELECT * FROM VlAttrValuesView_" + cost + " ORDER BY 1"),
            (Table{{"1", "12"}, {"2", "0"}, {"3", ""}}));
}

TEST_F(InsProjStruInfoTest, AViewThatExistsIsReportedAndTheCopyGoesOn) {
  WriteStructure(kStructure);
  // The first attribute will get the next "UserDefinedField" key.
  const int32_t next = std::stoi(Scalar("SELECT LastKey FROM VlKeys WHERE KeyClass = "
                                        "'UserDefinedField'")) +
                       1;
  ds_->ExecuteDDL("CREATE VIEW VlAttrValuesView_" + std::to_string(next) + " AS SELECT 1 AS X");
  ASSERT_TRUE(CopyAll(*ds_));
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_TRUE(Reported("g_CreateAttrView")) << sink_.infos[0];
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlUserDefinedFields"), "2");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlDocumentTypes"), "2");
  // The sort view is not made when its list view failed; the next
  // attribute still gets its view.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'VlAttrValuesSortView_" +
                   std::to_string(next) + "'"),
            "0");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'VlAttrValuesView_" +
                   IdOf("vlUserDefinedFields", "ID", "{A-COST}") + "'"),
            "1");
}

TEST_F(InsProjStruInfoTest, MissingOrUnreadableAttributesStopTheStepAndKeepWhatWasWritten) {
  struct Case {
    const char* from;
    const char* to;
    const char* proc;
  };
  const Case cases[] = {
      {" Rank=\"2\"", "", "CopyXMLAttrInfo"},
      {"DataType=\"2\"", "DataType=\"two\"", "CopyXMLAttrInfo"},
      {"Required=\"True\"", "Required=\"maybe\"", "CopyXMLAttrInfo"},
      {"ItemRank=\"2\"", "", "CopyXMLAttrInfo"},
      {"LastReqNumber=\"0\"", "LastReqNumber=\"x\"", "CopyXMLReqTypeInfo"},
      {"AllowExternalReferences=\"False\"", "", "CopyXMLReqTypeInfo"},
      {"<Attributes/>", "", "ConnectXMLReqTypeAttrs"},
      {"FileExtension=\"NTS\"", "", "CopyXMLDocTypeInfo"},
      {"DefaultRequirementName=\"\"", "", "CopyXMLDocTypeInfo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    TearDown();
    SetUp();
    WriteStructure(Replaced(kStructure, c.from, c.to));
    EXPECT_FALSE(CopyAll(*ds_));
    ASSERT_EQ(sink_.infos.size(), 1u);
    EXPECT_TRUE(Reported(c.proc)) << sink_.infos[0];
    // What came before the faulty element stays.
    EXPECT_EQ(Scalar("SELECT LABEL FROM vlUserDefinedFields ORDER BY ID"), "Priority");
  }
}

TEST_F(InsProjStruInfoTest, MissingRootOrCollectionElements) {
  WriteStructure("<?xml version=\"1.0\"?><STRUCTURE/>");
  RecordingDataServices recorder(*ds_);
  EXPECT_FALSE(copier_->CopyXMLAttrInfo(recorder, *project_));
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"ProjectStructure.XML lacks the node PROJECT"});
  EXPECT_TRUE(recorder.calls().empty());

  sink_.Clear();
  WriteStructure("<PROJECT><RequirementTypes/><DocumentTypes/></PROJECT>");
  EXPECT_FALSE(copier_->CopyXMLAttrInfo(*ds_, *project_));
  EXPECT_TRUE(Reported("CopyXMLAttrInfo"));

  sink_.Clear();
  WriteStructure("<PROJECT><Attributes/></PROJECT>");
  EXPECT_TRUE(copier_->CopyXMLAttrInfo(*ds_, *project_));
  EXPECT_FALSE(copier_->CopyXMLReqTypeInfo(*ds_, *project_));
  EXPECT_TRUE(Reported("CopyXMLReqTypeInfo"));
  EXPECT_FALSE(copier_->CopyXMLDocTypeInfo(*ds_, *project_));
  EXPECT_TRUE(Reported("CopyXMLDocTypeInfo"));
  EXPECT_FALSE(fs::exists(root_ / "Structure" / "ResRTGUIDs.xml"));
}

TEST_F(InsProjStruInfoTest, RequirementTypesNeedTheAttributesCopiedFirst) {
  WriteStructure(kStructure);
  InsProjStruInfo fresh(ctx());
  EXPECT_FALSE(fresh.CopyXMLReqTypeInfo(*ds_, *project_));
  EXPECT_TRUE(Reported("CopyXMLReqTypeInfo"));
  EXPECT_FALSE(fs::exists(root_ / "Structure" / "ResRTGUIDs.xml"));
}

TEST_F(InsProjStruInfoTest, UntranslatedOrMissingReferencesStopWithTheirMessage) {
  // An attribute of a type that the baseline does not define.
  WriteStructure(
      Replaced(kStructure, "<Attribute ID=\"{A-COST}\"/>", "<Attribute ID=\"{A-GHOST}\"/>"));
  EXPECT_FALSE(CopyAll(*ds_));
  EXPECT_EQ(sink_.InfoTexts(), std::vector<std::string>{"ReqType Attribute not translated."});
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlRequirementTypeFields"), "1");

  // A default requirement type translated but without its row: earlier
  // document types stay.
  TearDown();
  SetUp();
  WriteStructure(Replaced(kStructure, "DefaultRequirementTypeGUID=\"\"",
                          "DefaultRequirementTypeGUID=\"{RT-GHOST}\""));
  ctx().AddGUIDTranslation("{RT-GHOST}", GenerateGUID());
  EXPECT_FALSE(CopyAll(*ds_));
  EXPECT_EQ(sink_.InfoTexts(),
            std::vector<std::string>{"Cannot read inserted Requirement Type from database."});
  EXPECT_EQ(Select("SELECT NAME FROM vlDocumentTypes"), (Table{{"Vision"}}));

  // An attribute translated but without its row.
  TearDown();
  SetUp();
  WriteStructure(kStructure);
  ASSERT_TRUE(copier_->CopyXMLAttrInfo(*ds_, *project_));
  ASSERT_TRUE(copier_->CopyXMLReqTypeInfo(*ds_, *project_));
  ds_->ExecuteSQL("DELETE FROM vlUserDefinedFields WHERE LABEL = 'Cost'");
  EXPECT_FALSE(copier_->ConnectXMLReqTypeAttrs(*ds_, *project_));
  EXPECT_EQ(sink_.InfoTexts(),
            std::vector<std::string>{"Cannot read inserted attr from database."});
}

}  // namespace
}  // namespace vl
