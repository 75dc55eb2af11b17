// The project structure copier on a real SQLite project: which list item
// is the default, and the GUID map "ResRTGUIDs.xml".
#include "copy/ins_proj_struct_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "copy/project_pair_fixture.h"

namespace vl {
namespace {

using Table = std::vector<std::vector<std::string>>;

constexpr const char* kBaselineGuid = "{0B5E1A2C-0000-4000-8000-00000000B1A5}";

// A list attribute with two items (the second the default) and a
// requirement type that has it.
constexpr const char* kStructure = R"(<PROJECT><Attributes>
  <Attribute ID="{A-PRIORITY}" Label="Priority" Rank="1" AutoSuspect="True" Required="False"
      DataType="10" DefaultValue="" Flags="0" Description="" FieldProperties=""><ListItems>
    <ListItem ID="{LI-HIGH}" ItemText="High" ItemRank="1" Default="False"/>
    <ListItem ID="{LI-LOW}" ItemText="Low" ItemRank="2" Default="True"/></ListItems></Attribute>
  </Attributes><RequirementTypes>
  <RequirementType ID="{RT-FEAT}" Name="Feature" Description="" RequirementPrefix="FEAT"
      RequirementStyle="2" RequirementColor="255" RequirementMustContain="" InitialReqNumber="1"
      LastReqNumber="12" AllowExternalReferences="True"><Attributes><Attribute ID="{A-PRIORITY}"/>
  </Attributes></RequirementType></RequirementTypes><DocumentTypes/></PROJECT>)";

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

  std::string Scalar(const std::string& sql) {
    const Table rows = Rows(*ds_, sql);
    return rows.empty() ? "<none>" : rows[0][0];
  }
  std::string IdOf(const char* table, const char* idColumn, const std::string& oldGuid) {
    return Scalar(std::string("SELECT ") + idColumn + " FROM " + table + " WHERE VLGUID = '" +
                  ctx().TranslateGUID(oldGuid) + "'");
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

// Other projects translate this baseline's structure in their query
// definitions through the map: items before their attribute, then the types.
TEST_F(InsProjStruInfoTest, GuidMapListsItemsBeforeTheirAttributeThenTheRequirementTypes) {
  WriteStructure(kStructure);
  ASSERT_TRUE(CopyAll(*ds_));
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file((root_ / "Structure" / "ResRTGUIDs.xml").c_str()));
  EXPECT_STREQ(doc.child("PROJECT").attribute("GUID").value(), kBaselineGuid);
  EXPECT_EQ(doc.child("PROJECT").attribute("NEWGUID").value(), project_->GetProjectGUID());
  std::string pairs;
  for (pugi::xml_node g : doc.child("PROJECT").children("GUID")) {
    const std::string old = g.attribute("OLDGUID").value();
    EXPECT_EQ(g.attribute("NEWGUID").value(), ctx().TranslateGUID(old)) << old;
    pairs += old + " ";
  }
  EXPECT_EQ(pairs, "{LI-HIGH} {LI-LOW} {A-PRIORITY} {RT-FEAT} ");
}

}  // namespace
}  // namespace vl
