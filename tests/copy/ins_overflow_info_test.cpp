#include "copy/ins_overflow_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "baseline/bl_proj_info.h"
#include "copy/copy_test_support.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "host/db/project_schema.h"
#include "host/db/sqlite_data_services.h"
#include "host/text/messages.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

class OverflowTest : public testing::CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    goResource->SetString(kResProcError, "%1|%2|%3|%4");
    db_ = SqliteDataServices::OpenFile(":memory:", true);
    CreateProjectSchema(*db_);
  }

  std::string Scalar(const std::string& sql) {
    auto rs = db_->ExecuteSQL(sql);
    if (!rs || rs->IsEOF()) return "<none>";
    return rs->GetFieldValue(size_t{0}).ToText();
  }

  std::unique_ptr<SqliteDataServices> db_;
  InsOverflowInfo overflow() { return InsOverflowInfo(ctx()); }
};

// Only a text longer than the limit (counted in characters, not bytes;
// negative: none) is cut, and then the whole text is handed back.
TEST_F(OverflowTest, SplitCutsOnlyTextsLongerThanTheLimit) {
  const std::string umlauts = "\xC3\xA4\xE2\x82\xAC\xC3\xB6\xE2\x82\xAC";  // 4 characters
  const struct {
    int32_t limit;
    std::string text, kept;
    bool cut;
  } cases[] = {{5, "abcdefg", "abcde", true}, {7, "abcdefg", "abcdefg", false},
               {0, "abc", "", true},          {-1, std::string(100000, 'x'), "", false},
               {4, umlauts, umlauts, false},  {3, umlauts, umlauts.substr(0, 7), true}};
  for (const auto& c : cases) {
    std::string text = c.text, whole = "untouched";
    bool isOverflow = !c.cut;
    ASSERT_TRUE(overflow().SplitOverflowText(c.limit, text, whole, isOverflow));
    EXPECT_EQ(isOverflow, c.cut) << c.limit;
    EXPECT_EQ(text, c.limit < 0 ? c.text : c.kept) << c.limit;
    EXPECT_EQ(whole, c.cut ? c.text : "untouched") << c.limit;
  }
}

TEST_F(OverflowTest, WritersInsertTheWholeTextWithQuotesIntact) {
  EXPECT_TRUE(overflow().SaveReqOverflowText(12, "it's 'long'", *db_));
  EXPECT_TRUE(overflow().SaveReqOverflowAttrValue(12, 7, "a|b", *db_));
  EXPECT_EQ(Scalar("SELECT OVERFLOWFIELDVALUE FROM VlOverflowValues"),
            "a\x1A"
            "b");
  EXPECT_EQ(Scalar("SELECT OVERFLOWTEXT FROM VlOverflowText WHERE OVERFLOWID = 12"), "it's 'long'");
  EXPECT_EQ(Scalar("SELECT OVERFLOWFIELDID FROM VlOverflowValues WHERE OVERFLOWREQUIREMENTID = 12"),
            "7");
  EXPECT_TRUE(sink_.infos.empty());
}

TEST_F(OverflowTest, HistoryOverflowTypeFollowsTheTableNameInAnyCase) {
  EXPECT_EQ(OverflowTypeOfHistoryTable("vlRequirementHistory"), 1);
  EXPECT_EQ(OverflowTypeOfHistoryTable(Tbl("vlDocumentHistory")), 2);
  EXPECT_EQ(OverflowTypeOfHistoryTable("vlProjectHistory"), 3);
  EXPECT_EQ(OverflowTypeOfHistoryTable("VLPROJECTHISTORY"), 3);
  EXPECT_EQ(OverflowTypeOfHistoryTable("vlProjects"), 0);

  EXPECT_TRUE(overflow().SaveReqOverflowHistRec("VLPROJECTHISTORY", 1, "1.000", "why", *db_));
  EXPECT_TRUE(overflow().SaveReqOverflowHistRec("vlProjectHistory", 1, "2.000", "why not", *db_));
  EXPECT_EQ(Scalar("SELECT OVERFLOWVERSIONREASON FROM VlOverflowHistory WHERE "
                   "OVERFLOWVERSIONNUMBER = '1.000'"),
            "why");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM VlOverflowHistory WHERE OVERFLOWTYPE = 3"), "2");
}

}  // namespace
}  // namespace vl
