// The copy rules as the verification derives them on its own: how a text
// is stored, split, decoded and renewed.
#include "app/verify/stored_text.h"

#include <gtest/gtest.h>

namespace vl::verify {
namespace {

TEST(StoredTextTest, FollowsTheLiteralRule) {
  const struct {
    std::string written, stored;
  } cases[] = {{"don't", "don't"},
               {"can''t", "can't"},
               {"'", "'"},
               {"a|b",
                "a\x1A"
                "b"},
               {"   ", ""},
               {"", ""},
               {std::string("a\0b", 3), "ab"},
               {" x ", " x "},
               {"\t", "\t"}};
  for (const auto& c : cases) EXPECT_EQ(StoredText(c.written), c.stored) << c.written;
  EXPECT_EQ(ExactText("= 'O''Neil' | x"), "= 'O''Neil' \x1A x");
}

TEST(StoredTextTest, SplitsAtTheLimitInCharacters) {
  EXPECT_FALSE(SplitAtLimit("abcdefg", 7).cut);
  EXPECT_FALSE(SplitAtLimit("abcdefg", -1).cut);
  const SplitText s = SplitAtLimit("\xC3\xA9t\xC3\xA9 long", 3);  // "été long"
  EXPECT_TRUE(s.cut);
  EXPECT_EQ(s.row, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(s.whole, "\xC3\xA9t\xC3\xA9 long");
}

TEST(StoredTextTest, DecodesPasswordsAndNumbers) {
  EXPECT_EQ(DecodePassword("97;98;99;"), "abc");
  EXPECT_EQ(DecodePassword("97;x;0;300;98;99"), "ab");  // nothing after the last ";"
  EXPECT_EQ(DecodePassword("233;"), "\xC3\xA9");        // the Windows code page
  EXPECT_EQ(NumericValueCell("12.5").text, "12.5");
  EXPECT_EQ(NumericValueCell("high").text, "0");
  EXPECT_EQ(IntOrZero("70000"), 0);
  EXPECT_TRUE(DateCell("someday").null);
  EXPECT_EQ(DateCell("7/1/2003 2:05:09 PM").text, "2003-07-01 14:05:09");
}

TEST(StoredTextTest, RenewsGuidsInQueriesAndProperties) {
  const std::string a = "{AAAAAAAA-0000-4000-8000-00000000000A}";
  const std::string b = "{BBBBBBBB-0000-4000-8000-00000000000B}";
  auto renew = [&](const std::string& g) { return g == a ? b : std::string(); };
  EXPECT_EQ(RenewQueryGuids("(" + a + ") WHERE {short} = 1 AND " + a + " {open", renew),
            "(" + b + ") WHERE {short} = 1 AND " + b + " {open");
  EXPECT_EQ(ExternalProjectOfQuery("( " + a + " ." + b + ")"), a);
  EXPECT_EQ(ExternalProjectOfQuery("(" + b + ")"), "");
  EXPECT_EQ(ReplacePropertyValue("x;externalProjectID=/i7;y", ";externalProjectID=/i", 12),
            "x;externalProjectID=/i12;y");
  EXPECT_EQ(ReplacePropertyValue("x;externalProjectID=/i7", ";externalProjectID=/i", 0),
            "x;externalProjectID=/i7");
}

}  // namespace
}  // namespace vl::verify
