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

TEST_F(GenHistoryTest, AReasonAsLongAsTheLimitIsNoOverflow) {
  OpenNewProject(5);
  EXPECT_TRUE(history().InsertSingleHistRecord(Tbl("vlDocumentHistory"), *ds_, 3, "1.0", "", 1,
                                               Variant::Null(), "abcde", *proj_));
  EXPECT_EQ(Scalar("SELECT VERSIONREASON || '|' || OVERFLOWIND FROM vlDocumentHistory"), "abcde|0");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM VlOverflowHistory"), "0");
}

}  // namespace
}  // namespace vl
