// The query definition copier against a real SQLite project: definitions
// of this project are renewed and inserted, those of a project not opened
// wait in the unresolved file.
#include "copy/ins_view_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/project_pair_fixture.h"

namespace vl::testing {
namespace {

const std::string kOldType = "{0E000000-0000-0000-0000-000000000001}";
const std::string kOldAttr = "{0E000000-0000-0000-0000-000000000002}";
const std::string kOldItem = "{0E000000-0000-0000-0000-000000000003}";
const std::string kOldUser = "{0E000000-0000-0000-0000-000000000004}";
const std::string kOldQuery = "{0E000000-0000-0000-0000-000000000005}";
const std::string kNowhere = "{B0000000-0000-0000-0000-00000000000C}";
const std::string kNewType = "{A0000000-0000-0000-0000-000000000001}";
const std::string kNewAttr = "{A0000000-0000-0000-0000-000000000002}";
const std::string kNewItem = "{A0000000-0000-0000-0000-000000000003}";

using Table = std::vector<std::vector<std::string>>;

class InsViewInfoTest : public ProjectPairTest {
 protected:
  // Alpha with this baseline's requirement type, attribute, list item and
  // user ("admin") copied and translated.
  void SetUp() override {
    ProjectPairTest::SetUp();
    UseValidatedBaseline("{B0000000-0000-0000-0000-00000000000A}", "<PROJECT/>");
    alpha_ = CreateProject("Alpha");
    ds_ = DataServicesOf(*alpha_);
    ds_->ExecuteSQL("INSERT INTO vlRequirementTypes (ID, VLGUID, NAME) VALUES (7, '" + kNewType +
                    "', 'F')");
    ds_->ExecuteSQL("INSERT INTO vlUserDefinedFields (ID, VLGUID, LABEL) VALUES (7, '" + kNewAttr +
                    "', 'P')");
    ds_->ExecuteSQL("INSERT INTO vlUserDefinedListItems (ITEMID, FIELDID, VLGUID) VALUES (7, 7, '" +
                    kNewItem + "')");
    for (const auto& [o, n] : {std::pair{kOldType, kNewType},
                               {kOldAttr, kNewAttr},
                               {kOldItem, kNewItem},
                               {kOldUser, AdminGuid()}})
      tables().gdictPSGUIDs[o] = n;
  }
  void TearDown() override {
    ds_.reset();
    alpha_.reset();
    ProjectPairTest::TearDown();
  }
  std::string AdminGuid() { return alpha_->FindUser("admin")->GetUserGUID(); }

  // Writes QueryDefs.XML with one definition per (GUID, name, query).
  void WriteQueryDefs(const Table& defs) {
    std::string xml = R"(<?xml version="1.0"?><PROJECT><QUERYDEFS>)";
    for (const auto& d : defs)
      xml += R"(<QUERYDEF Name=")" + d[1] + R"(" ID=")" + d[0] + R"(" queryuserid=")" + kOldUser +
             R"(" querydatetime="2003-07-01 14:05:09" queryreason="why" querybasetype="3">)"
             "<QUERYDESCRIPTION>it's</QUERYDESCRIPTION>"
             "<QUERYSTRING>" +
             d[2] + "</QUERYSTRING></QUERYDEF>";
    WriteFile(root_ / "baseline" / "QueryDefs.XML", xml + "</QUERYDEFS></PROJECT>");
  }
  bool Copy() { return InsViewInfo(ctx()).CopyXMLQueryDefs(*ds_, *alpha_); }

  std::shared_ptr<Project> alpha_;
  std::shared_ptr<DataServices> ds_;
};

TEST_F(InsViewInfoTest, LocalDefinitionIsRenewedAndInsertedWithItsQuotesIntact) {
  WriteQueryDefs({{kOldQuery, "Open items",
                   "(" + kOldType + ") where " + kOldAttr + " = " + kOldItem + " or " + kOldAttr +
                       " = 'it''s'"}});
  ASSERT_TRUE(Copy());
  EXPECT_TRUE(sink_.infos.empty()) << sink_.infos[0];
  EXPECT_EQ(Rows(*ds_,
                 "SELECT QUERYNAME, QUERYSTRING, VLGUID, QUERYDESCRIPTION, QUERYUSERID, "
                 "QUERYREASON, QUERYBASETYPE FROM VlQueryDefinitions"),
            (Table{{"Open items",
                    "(" + kNewType + ") WHERE " + kNewAttr + " = " + kNewItem + " OR " + kNewAttr +
                        " = 'it''s'",
                    ctx().TranslateGUID(kOldQuery), "it's", "1", "why", "3"}}));
  EXPECT_FALSE(fs::exists(root_ / "Alpha" / kUnResQueryDefsFile));
}

TEST_F(InsViewInfoTest, DefinitionOfAnUnknownProjectWaitsInTheUnresolvedFileUnderItsNewOwner) {
  WriteQueryDefs({{kOldQuery, "Elsewhere", "(" + kNowhere + "." + kOldType + ")"},
                  {"{0E000000-0000-0000-0000-000000000006}", "Here", "(" + kOldType + ")"}});
  ASSERT_TRUE(Copy());
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(Rows(*ds_, "SELECT QUERYNAME FROM VlQueryDefinitions"), (Table{{"Here"}}));
  ASSERT_NE(tables().gcolUnResQDefs.Find(kOldQuery), nullptr);
  EXPECT_EQ(*tables().gcolUnResQDefs.Find(kOldQuery), "UnResQDefName:Elsewhere");
  const std::string file = ReadFile(root_ / "Alpha" / kUnResQueryDefsFile);
  EXPECT_EQ(file.rfind(R"(<?xml version="1.0" standalone="yes"?>)", 0), 0u);
  EXPECT_NE(file.find(R"(Name="Elsewhere" ID=")" + kOldQuery + R"(" queryuserid=")" + AdminGuid()),
            std::string::npos)
      << file;
  EXPECT_EQ(file.find("Here"), std::string::npos);
}

}  // namespace
}  // namespace vl::testing
