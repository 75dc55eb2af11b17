#include "host/text/convert.h"

#include <gtest/gtest.h>

#include <clocale>

#include "errors/vl_error.h"

namespace vl {
namespace {

long ErrorNumberOf(void (*f)()) {
  try {
    f();
  } catch (const VlError& e) {
    return e.number();
  }
  return 0;
}

TEST(ConvertTest, NumericTextsFollowOneGrammar) {
  for (const char* yes : {"7", " -3 ", "+2", "12.5", ".5", "5.", "1e3", "1E-2", "-0.0"})
    EXPECT_TRUE(IsNumeric(yes)) << yes;
  for (const char* no :
       {"", " ", "1,5", "1.2.3", "e3", "1e", "1e+", "abc", "0x1F", "True", "- 1", "1e999", "."})
    EXPECT_FALSE(IsNumeric(no)) << no;
  EXPECT_DOUBLE_EQ(*ParseNumber(" 12.5 "), 12.5);
  EXPECT_DOUBLE_EQ(*ParseNumber("-1e3"), -1000);
}

TEST(ConvertTest, WholeNumbersRoundHalfToEven) {
  EXPECT_EQ(CLng("2.5"), 2);
  EXPECT_EQ(CLng("3.5"), 4);
  EXPECT_EQ(CLng("-2.5"), -2);
  EXPECT_EQ(CLng("0.4"), 0);
  EXPECT_EQ(CLng("2.51"), 3);
  EXPECT_EQ(CInt("-32768"), -32768);
  EXPECT_EQ(CLng("True"), -1);
  EXPECT_EQ(CLng("false"), 0);
  EXPECT_EQ(CLng("2147483647"), 2147483647);
  EXPECT_EQ(CLng("-2147483648"), INT32_MIN);
}

TEST(ConvertTest, ConversionsRaiseTheClassicErrors) {
  EXPECT_EQ(ErrorNumberOf([] { CLng("abc"); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CLng(""); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CLng("2147483647.5"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { CLng("-2147483649"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { CInt("32768"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { CDbl("1,5"); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CBool("yes"); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { CDate("2003-02-29"); }), err::kTypeMismatch);
}

TEST(ConvertTest, BooleansAndLongOrZero) {
  EXPECT_TRUE(CBool("TRUE"));
  EXPECT_FALSE(CBool(" false "));
  EXPECT_TRUE(CBool("-1"));
  EXPECT_TRUE(CBool("0.1"));
  EXPECT_FALSE(CBool("0"));
  EXPECT_EQ(ToLongOrZero("42"), 42);
  EXPECT_EQ(ToLongOrZero("abc"), 0);
  EXPECT_EQ(ToLongOrZero(""), 0);
  EXPECT_EQ(ToLongOrZero("1e12"), 0);
  EXPECT_EQ(ToLongOrZero("True"), 0);
}

TEST(ConvertTest, NumbersAreWrittenInTheGeneralForm) {
  EXPECT_EQ(FormatNumber(12.5), "12.5");
  EXPECT_EQ(FormatNumber(0.4), "0.4");
  EXPECT_EQ(FormatNumber(7), "7");
  EXPECT_EQ(FormatNumber(-3), "-3");
  EXPECT_EQ(FormatNumber(0), "0");
  EXPECT_EQ(FormatNumber(-0.0), "0");
  EXPECT_EQ(FormatNumber(1e20), "1E+20");
  EXPECT_EQ(FormatNumber(1e15), "1E+15");
  EXPECT_EQ(FormatNumber(123456789012345.0), "123456789012345");
  EXPECT_EQ(FormatNumber(0.0001), "0.0001");
  EXPECT_EQ(FormatNumber(0.00001), "1E-05");
  EXPECT_EQ(FormatNumber(-1.5e-7), "-1.5E-07");
  EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");  // 15 significant digits
  EXPECT_EQ(FormatNumber(2147483647), "2147483647");
  EXPECT_EQ(FormatNumber(1.0 / 3), "0.333333333333333");
}

TEST(ConvertTest, TheLocaleNeverChangesNumbers) {
  // A locale with "," as decimal separator, when the system has one.
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  bool switched = std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8");
  EXPECT_EQ(FormatNumber(12.5), "12.5");
  EXPECT_DOUBLE_EQ(*ParseNumber("12.5"), 12.5);
  EXPECT_FALSE(IsNumeric("12,5"));
  std::setlocale(LC_ALL, saved.c_str());
  if (!switched) GTEST_SKIP() << "no decimal-comma locale installed";
}

TEST(ConvertTest, DatesInTheThreeForms) {
  VlDate want{2003, 7, 1, 14, 5, 9};
  EXPECT_EQ(ParseDate("2003-07-01 14:05:09"), want);
  EXPECT_EQ(ParseDate("2003-07-01T14:05:09"), want);
  EXPECT_EQ(ParseDate("2003-07-01T14:05:09.123+02:00"), want);
  EXPECT_EQ(ParseDate("2003-07-01T14:05:09Z"), want);
  EXPECT_EQ(ParseDate("7/1/2003 2:05:09 PM"), want);
  EXPECT_EQ(ParseDate("7/1/2003 14:05:09"), want);
  EXPECT_EQ(ParseDate("07/01/2003 2:05:09 pm"), want);
  EXPECT_EQ(ParseDate("7/1/2003 2:05 PM"), (VlDate{2003, 7, 1, 14, 5, 0}));
  EXPECT_EQ(ParseDate("7/1/2003"), (VlDate{2003, 7, 1, 0, 0, 0}));
  EXPECT_EQ(ParseDate("2003-07-01"), (VlDate{2003, 7, 1, 0, 0, 0}));
  EXPECT_EQ(ParseDate("1/5/2004 12:00:00 AM"), (VlDate{2004, 1, 5, 0, 0, 0}));
  EXPECT_EQ(ParseDate("1/5/2004 12:30:00 PM"), (VlDate{2004, 1, 5, 12, 30, 0}));
  EXPECT_EQ(ParseDate("2004-02-29 00:00:00"), (VlDate{2004, 2, 29, 0, 0, 0}));
}

TEST(ConvertTest, TextsThatAreNoDateCountAsMissing) {
  for (const char* bad :
       {"", "yesterday", "2003-13-01", "2003-02-29", "1900-02-29", "2003-04-31",
        "2003-07-01 24:00:00", "2003-07-01 10:60:00", "7/1/2003 13:00 PM", "7/1/2003 0:10 AM",
        "7/1/03", "2003-07-01 14:05:09 garbage", "2003-07-01X14:05", "1.5"})
    EXPECT_FALSE(ParseDate(bad).has_value()) << bad;
}

TEST(ConvertTest, DatesAreWrittenInOneForm) {
  EXPECT_EQ(FormatDateTime(VlDate{2003, 7, 1, 14, 5, 9}), "2003-07-01 14:05:09");
  EXPECT_EQ(FormatDateTime(*ParseDate(FormatDateTime(VlDate{999, 1, 2, 3, 4, 5}))),
            "0999-01-02 03:04:05");
  EXPECT_EQ(FormatDateTime(VlDate{0, 1, 1, 0, 0, 0}), "0000-01-01 00:00:00");
  EXPECT_EQ(FormatDateTime(VlDate{9999, 12, 31, 23, 59, 59}), "9999-12-31 23:59:59");
  // Beyond four digits the year is written whole.
  EXPECT_EQ(FormatDateTime(VlDate{12345, 6, 7, 8, 9, 10}), "12345-06-07 08:09:10");
  VlDate now = Now();
  EXPECT_TRUE(ParseDate(FormatDateTime(now)).has_value());
}

TEST(ConvertTest, CharactersAreCodePoints) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  EXPECT_EQ(CharCount(text), 5u);
  EXPECT_EQ(CharLeft(text, 2), "a\xC3\xA9");
  EXPECT_EQ(CharLeft(text, 3), "a\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(CharLeft(text, 4), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(CharLeft(text, 99), text);
  EXPECT_EQ(CharLeft(text, 0), "");
  // Stray bytes count one each and are never merged with their neighbours.
  EXPECT_EQ(CharCount("\xE9t\xE9"), 3u);
  EXPECT_EQ(CharCount("\xE2\x82"), 2u);
  EXPECT_EQ(CharLeft("\xE2\x82z", 1), "\xE2");
}

TEST(ConvertTest, TrimAndCase) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");  // only blanks, as the classic Trim
  EXPECT_EQ(UCase("abc\xC3\xA9"), "ABC\xC3\xA9");
  EXPECT_EQ(LCase("ABC"), "abc");
}

}  // namespace
}  // namespace vl
