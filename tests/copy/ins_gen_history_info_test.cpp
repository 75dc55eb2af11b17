#include "copy/ins_gen_history_info.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>

#include "copy/users_history_fixture.h"
#include "host/text/convert.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

using testing::kBlAdminUser;

// Two requirements of a package file, each with its own history.
const char* const kPackageXml = R"(<PROJECT><Requirements>
  <Requirement ID="R1"><History>
    <RVer><VNum>1.0</VNum><VLbl>A</VLbl><VUGUID>{0B000000-0000-0000-0000-000000000001}</VUGUID>
      <VDate>2001-01-01 01:01:01</VDate><VResn>first's only</VResn></RVer>
  </History></Requirement>
  <Requirement ID="R2"><History>
    <RVer><VNum>1.1</VNum><VLbl>B0</VLbl><VUGUID>{0B000000-0000-0000-0000-0000000000FF}</VUGUID>
      <VDate>2005-05-05 05:05:05</VDate><VResn>second's oldest</VResn></RVer>
    <RVer><VNum>1.2</VNum><VLbl>B</VLbl><VUGUID>{0B000000-0000-0000-0000-000000000001}</VUGUID>
      <VDate>2005-05-06T06:06:06</VDate><VResn>second's newest</VResn></RVer>
  </History></Requirement>
  <Requirement ID="R3"/>
</Requirements></PROJECT>)";

class GenHistoryTest : public testing::UsersHistoryTest {
 protected:
  void SetUp() override {
    UsersHistoryTest::SetUp();
    ASSERT_TRUE(doc_.load_string(kPackageXml));
    for (pugi::xml_node r : doc_.child("PROJECT").child("Requirements").children("Requirement"))
      reqs_.push_back(r);
  }
  std::string Uid() { return std::to_string(proj_->GetCurrentUserID()); }
  std::string Rows(const std::string& table) {
    auto rs = ds_->ExecuteSQL(
        "SELECT ID || '|' || VERSIONNUMBER || '|' || VERSIONLABEL || '|' || VERSIONUSERID || "
        "'|' || ifnull(VERSIONDATETIME, '<null>') || '|' || VERSIONREASON || '|' || OVERFLOWIND "
        "FROM " +
        table + " ORDER BY VERSIONNUMBER");
    std::string out;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
      out += rs->GetFieldValue(size_t{0}).ToText() + "\n";
    return out;
  }

  pugi::xml_document doc_;
  std::vector<pugi::xml_node> reqs_;
  InsGenHistoryInfo history() { return InsGenHistoryInfo(ctx()); }
};

TEST_F(GenHistoryTest, CurrentVersionOfTheSecondRequirementIsItsOwnLastVersion) {
  OpenNewProject();
  goBLProjInfo->SetCreateHist(true);
  ASSERT_TRUE(ctx().AddGUIDTranslation(kBlAdminUser, AdminGuid()));
  EXPECT_EQ(history().CreateDefaultHistValuesSQL(reqs_[1], *proj_, *ds_),
            "'1.2', 'B', " + Uid() + ", { ts '2005-05-06 06:06:06'}, 'second''s newest'");
  EXPECT_EQ(history().CreateDefaultHistValuesSQL(reqs_[0], *proj_, *ds_),
            "'1.0', 'A', " + Uid() + ", { ts '2001-01-01 01:01:01'}, 'first''s only'");
  EXPECT_TRUE(sink_.infos.empty());
}

TEST_F(GenHistoryTest, DefaultValuesWithoutHistory) {
  OpenNewProject();
  const std::string defaults = "'1.000', '', " + Uid() + ", { ts '" +
                               FormatDateTime(goBLProjInfo->StartDateTime()) +
                               "'}, 'Default version'";
  // History not copied: the defaults, whatever the element holds.
  EXPECT_EQ(history().CreateDefaultHistValuesSQL(reqs_[1], *proj_, *ds_), defaults);
  EXPECT_TRUE(sink_.results.empty());
  // History copied but the element has none: the defaults and a line.
  goBLProjInfo->SetCreateHist(true);
  EXPECT_EQ(history().CreateDefaultHistValuesSQL(reqs_[2], *proj_, *ds_), defaults);
  EXPECT_EQ(sink_.results, (std::vector<std::string>{" lacks History"}));
}

TEST_F(GenHistoryTest, CurrentVersionByAnUncopiedUserGivesNothing) {
  OpenNewProject();
  goBLProjInfo->SetCreateHist(true);
  EXPECT_EQ(history().CreateDefaultHistValuesSQL(reqs_[0], *proj_, *ds_), "");
  EXPECT_EQ(sink_.InfoTexts(), (std::vector<std::string>{"Not copied"}));
}

TEST_F(GenHistoryTest, DetailHistoryCopiesNothingWhenHistoryIsNotChosen) {
  OpenNewProject();
  RecordingDataServices rec(*ds_);
  EXPECT_TRUE(
      history().CopyXMLDetailHistoryInfo(reqs_[1], Tbl("vlRequirementHistory"), 7, rec, *proj_));
  EXPECT_TRUE(rec.calls().empty());
  EXPECT_TRUE(sink_.results.empty());

  goBLProjInfo->SetCreateHist(true);
  EXPECT_TRUE(
      history().CopyXMLDetailHistoryInfo(reqs_[2], Tbl("vlRequirementHistory"), 7, rec, *proj_));
  EXPECT_TRUE(rec.calls().empty());
  EXPECT_EQ(sink_.results, (std::vector<std::string>{" lacks History"}));
}

TEST_F(GenHistoryTest, DetailHistoryStopsAtTheFirstVersionOfAnUncopiedUser) {
  OpenNewProject();
  goBLProjInfo->SetCreateHist(true);
  ASSERT_TRUE(ctx().AddGUIDTranslation(kBlAdminUser, AdminGuid()));
  EXPECT_TRUE(
      history().CopyXMLDetailHistoryInfo(reqs_[0], Tbl("vlRequirementHistory"), 7, *ds_, *proj_));
  EXPECT_FALSE(
      history().CopyXMLDetailHistoryInfo(reqs_[1], Tbl("vlRequirementHistory"), 8, *ds_, *proj_));
  EXPECT_EQ(sink_.InfoTexts(), (std::vector<std::string>{"Not copied"}));
  EXPECT_EQ(sink_.results, (std::vector<std::string>{"Copying history", "Copying history"}));
  EXPECT_EQ(Rows("vlRequirementHistory"),
            "7|1.0|A|" + Uid() + "|2001-01-01 01:01:01|first's only|0\n");
}

TEST_F(GenHistoryTest, LongReasonsOfRequirementsOverflowWithTheirOwnType) {
  OpenNewProject(8);
  goBLProjInfo->SetCreateHist(true);
  ASSERT_TRUE(ctx().AddGUIDTranslation(kBlAdminUser, AdminGuid()));
  EXPECT_TRUE(
      history().CopyXMLDetailHistoryInfo(reqs_[0], Tbl("vlRequirementHistory"), 7, *ds_, *proj_));
  EXPECT_EQ(Rows("vlRequirementHistory"), "7|1.0|A|" + Uid() + "|2001-01-01 01:01:01|first's |1\n");
  EXPECT_EQ(Scalar("SELECT OVERFLOWTYPE || '|' || OVERFLOWID || '|' || OVERFLOWVERSIONNUMBER || "
                   "'|' || OVERFLOWVERSIONREASON FROM VlOverflowHistory"),
            "1|7|1.0|first's only");
}

TEST_F(GenHistoryTest, NoLimitNeverCuts) {
  OpenNewProject(-1);
  const std::string longReason(3000, 'r');
  EXPECT_TRUE(history().InsertSingleHistRecord(Tbl("vlDocumentHistory"), *ds_, 3, "1.0", "", 1,
                                               Variant::Null(), longReason, *proj_));
  EXPECT_EQ(Scalar("SELECT length(VERSIONREASON) || '|' || OVERFLOWIND || '|' || "
                   "quote(VERSIONLABEL) FROM vlDocumentHistory WHERE ID = 3"),
            "3000|0|''");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM VlOverflowHistory"), "0");
}

TEST_F(GenHistoryTest, AReasonAsLongAsTheLimitIsNoOverflow) {
  OpenNewProject(5);
  EXPECT_TRUE(history().InsertSingleHistRecord(Tbl("vlDocumentHistory"), *ds_, 3, "1.0", "", 1,
                                               Variant::Null(), "abcde", *proj_));
  EXPECT_EQ(Scalar("SELECT VERSIONREASON || '|' || OVERFLOWIND FROM vlDocumentHistory"), "abcde|0");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM VlOverflowHistory"), "0");
}

TEST_F(GenHistoryTest, MissingChildrenOfAVersionAreEmptyNotInherited) {
  OpenNewProject();
  goBLProjInfo->SetCreateHist(true);
  ASSERT_TRUE(ctx().AddGUIDTranslation(kBlAdminUser, AdminGuid()));
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(R"(<Document><History>
    <RVer><VNum>1</VNum><VLbl>L1</VLbl><VUGUID>{0B000000-0000-0000-0000-000000000001}</VUGUID>
      <VDate>2002-02-02 02:02:02</VDate><VResn>R1</VResn></RVer>
    <RVer><VNum>2</VNum><VUGUID>{0B000000-0000-0000-0000-000000000001}</VUGUID></RVer>
  </History></Document>)"));
  EXPECT_TRUE(history().CopyXMLDetailHistoryInfo(doc.child("Document"), Tbl("vlDocumentHistory"), 4,
                                                 *ds_, *proj_));
  EXPECT_EQ(Rows("vlDocumentHistory"),
            "4|1|L1|" + Uid() + "|2002-02-02 02:02:02|R1|0\n" + "4|2||" + Uid() + "|<null>||0\n");
}

}  // namespace
}  // namespace vl
