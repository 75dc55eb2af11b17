#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "copy/copy_test_support.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"

namespace vl {
namespace {

class GuidTranslationTest : public testing::CopyTest {
 protected:
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
  std::string first = ctx().AssignNewGUID("{OLD-1}");
  std::string second = ctx().AssignNewGUID("{OLD-1}");
  EXPECT_NE(first, second);  // a new GUID is still returned
  EXPECT_EQ(ctx().TranslateGUID("{OLD-1}"), first);
  EXPECT_EQ(tables().gdictPSGUIDs.Count(), 1u);

  std::string req = ctx().AssignNewReqGUID("{REQ-1}");
  EXPECT_TRUE(ctx().IsReqGUIDTranslated("{REQ-1}"));
  EXPECT_FALSE(ctx().IsGUIDTranslated("{REQ-1}"));  // the tables are separate
  EXPECT_EQ(*tables().gdictReqGUIDs.Find("{REQ-1}"), req);
}

TEST_F(GuidTranslationTest, AnObjectCopiedAfterALookUpIsTranslatedAfterAll) {
  EXPECT_FALSE(ctx().IsGUIDTranslated("{FWD}"));
  std::string g = ctx().AssignNewGUID("{FWD}");
  EXPECT_EQ(ctx().TranslateGUID("{FWD}"), g);
  EXPECT_FALSE(ctx().IsReqGUIDTranslated("{RFWD}"));
  std::string r = ctx().AssignNewReqGUID("{RFWD}");
  EXPECT_TRUE(ctx().IsReqGUIDTranslated("{RFWD}"));
  EXPECT_EQ(*tables().gdictReqGUIDs.Find("{RFWD}"), r);
}

TEST_F(GuidTranslationTest, EmptyEntriesAreNeverWrittenOut) {
  std::string a = ctx().AssignNewGUID("{A}");
  ctx().TranslateGUID("{MISSING}");
  std::string b = ctx().AssignNewGUID("{B}");
  ctx().IsGUIDTranslated("{ALSO-MISSING}");
  EXPECT_EQ(tables().gdictPSGUIDs.Count(), 4u);  // the empty entries stay for callers
  EXPECT_EQ(Written(tables().gdictPSGUIDs), (Pairs{{"{A}", a}, {"{B}", b}}));
  EXPECT_TRUE(Written(tables().gdictReqGUIDs).empty());
}

}  // namespace
}  // namespace vl
