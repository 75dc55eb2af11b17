#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "copy/copy_test_support.h"
#include "copy/db_conventions.h"
#include "copy/run_tables.h"

namespace vl {
namespace {

class GuidTranslationTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ResetAllGlobals(); }
};

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Written(const OrderedMap<std::string>& table) {
  Pairs out;
  ForEachTranslation(table,
                     [&](const std::string& o, const std::string& n) { out.emplace_back(o, n); });
  return out;
}

TEST_F(GuidTranslationTest, NewGuidsHaveTheRegistryFormAndVersionFour) {
  const std::regex shape(
      R"(\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\})");
  std::set<std::string> seen;
  for (int i = 0; i < 2000; ++i) {
    std::string g = GenerateGUID();
    ASSERT_EQ(g.size(), 38u);
    ASSERT_TRUE(std::regex_match(g, shape)) << g;
    seen.insert(g);
  }
  EXPECT_EQ(seen.size(), 2000u);
}

TEST_F(GuidTranslationTest, AssignRecordsTheFirstTranslationOnly) {
  std::string first = AssignNewGUID("{OLD-1}");
  std::string second = AssignNewGUID("{OLD-1}");
  EXPECT_NE(first, second);  // a new GUID is still returned
  EXPECT_EQ(TranslateGUID("{OLD-1}"), first);
  EXPECT_EQ(gdictPSGUIDs.Count(), 1u);

  std::string req = AssignNewReqGUID("{REQ-1}");
  EXPECT_TRUE(IsReqGUIDTranslated("{REQ-1}"));
  EXPECT_FALSE(IsGUIDTranslated("{REQ-1}"));  // the tables are separate
  EXPECT_EQ(*gdictReqGUIDs.Find("{REQ-1}"), req);
}

TEST_F(GuidTranslationTest, KeysAreComparedExactly) {
  AssignNewGUID("{abc}");
  EXPECT_TRUE(IsGUIDTranslated("{abc}"));
  EXPECT_FALSE(IsGUIDTranslated("{ABC}"));
}

TEST_F(GuidTranslationTest, AddReportsWhetherThePairWasAdded) {
  EXPECT_TRUE(AddGUIDTranslation("{G}", "{EXISTING}"));
  EXPECT_FALSE(AddGUIDTranslation("{G}", "{OTHER}"));
  EXPECT_EQ(TranslateGUID("{G}"), "{EXISTING}");
}

TEST_F(GuidTranslationTest, ReadingAnUnknownGuidLeavesAnEmptyEntry) {
  EXPECT_EQ(TranslateGUID("{NEVER}"), "");
  EXPECT_TRUE(gdictPSGUIDs.Exists("{NEVER}"));
  EXPECT_EQ(*gdictPSGUIDs.Find("{NEVER}"), "");
  EXPECT_FALSE(IsGUIDTranslated("{NEVER}"));
  EXPECT_FALSE(AddGUIDTranslation("{NEVER}", "{LATE}"));
  EXPECT_EQ(TranslateGUID("{NEVER}"), "");

  EXPECT_FALSE(IsReqGUIDTranslated("{REQ-NEVER}"));
  EXPECT_TRUE(gdictReqGUIDs.Exists("{REQ-NEVER}"));
}

TEST_F(GuidTranslationTest, AnObjectCopiedAfterALookUpIsTranslatedAfterAll) {
  EXPECT_FALSE(IsGUIDTranslated("{FWD}"));
  std::string g = AssignNewGUID("{FWD}");
  EXPECT_EQ(TranslateGUID("{FWD}"), g);
  EXPECT_FALSE(IsReqGUIDTranslated("{RFWD}"));
  std::string r = AssignNewReqGUID("{RFWD}");
  EXPECT_TRUE(IsReqGUIDTranslated("{RFWD}"));
  EXPECT_EQ(*gdictReqGUIDs.Find("{RFWD}"), r);
}

TEST_F(GuidTranslationTest, EmptyEntriesAreNeverWrittenOut) {
  std::string a = AssignNewGUID("{A}");
  TranslateGUID("{MISSING}");
  std::string b = AssignNewGUID("{B}");
  IsGUIDTranslated("{ALSO-MISSING}");
  EXPECT_EQ(gdictPSGUIDs.Count(), 4u);  // the empty entries stay for callers
  EXPECT_EQ(Written(gdictPSGUIDs), (Pairs{{"{A}", a}, {"{B}", b}}));
  EXPECT_TRUE(Written(gdictReqGUIDs).empty());
}

}  // namespace
}  // namespace vl
