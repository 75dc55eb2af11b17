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

  std::shared_ptr<Project> project_;
  std::shared_ptr<DataServices> ds_;
  std::unique_ptr<InsProjStruInfo> copier_;
};

// Of the list items marked default, the last is the attribute's default
// value, also when its new ITEMID is 1; none marked keeps the baseline's.
TEST_F(InsProjStruInfoTest, TheLastListItemMarkedDefaultIsTheDefaultValue) {
  const struct {
    const char *high, *low, *wins;
  } cases[] = {
      {"True", "True", "{LI-LOW}"}, {"True", "False", "{LI-HIGH}"}, {"False", "False", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.high) + c.low);
    TearDown();
    SetUp();
    WriteStructure(Replaced(Replaced(kStructure, R"(ItemRank="1" Default="False")",
                                     std::string(R"(ItemRank="1" Default=")") + c.high + "\""),
                            R"(ItemRank="2" Default="True")",
                            std::string(R"(ItemRank="2" Default=")") + c.low + "\""));
    ASSERT_TRUE(CopyAll(*ds_));
    const std::string high = IdOf("vlUserDefinedListItems", "ITEMID", "{LI-HIGH}");
    EXPECT_EQ(high, "1");
    EXPECT_EQ(Scalar("SELECT DEFAULTVALUE FROM vlUserDefinedFields WHERE LABEL = 'Priority'"),
              c.wins ? IdOf("vlUserDefinedListItems", "ITEMID", c.wins) : "");
  }
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

}  // namespace
}  // namespace vl
