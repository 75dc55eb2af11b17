#include "host/text/convert.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>

#include "errors/vl_error.h"

namespace vl {
namespace {

TEST(ConvertTest, NumericTextsFollowOneGrammarWhateverTheLocale) {
  // A locale with "," as decimal separator, when the system has one.
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  const bool switched =
      std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8");
  for (const char* yes : {"7", " -3 ", "+2", "12.5", ".5", "5.", "1e3", "1E-2", "-0.0"})
    EXPECT_TRUE(IsNumeric(yes)) << yes;
  for (const char* no :
       {"", " ", "1,5", "1.2.3", "e3", "1e", "1e+", "0x1F", "True", "- 1", "1e999", "."})
    EXPECT_FALSE(IsNumeric(no)) << no;
  EXPECT_DOUBLE_EQ(*ParseNumber(" 12.5 "), 12.5);
  const std::pair<double, const char*> formats[] = {{12.5, "12.5"},
                                                    {-0.0, "0"},
                                                    {1e15, "1E+15"},
                                                    {0.0001, "0.0001"},
                                                    {0.00001, "1E-05"},
                                                    {-1.5e-7, "-1.5E-07"},
                                                    {0.1 + 0.2, "0.3"},
                                                    {123456789012345.0, "123456789012345"},
                                                    {1.0 / 3, "0.333333333333333"}};
  for (const auto& [value, text] : formats) EXPECT_EQ(FormatNumber(value), text) << text;
  std::setlocale(LC_ALL, saved.c_str());
  if (!switched) GTEST_SKIP() << "no decimal-comma locale installed";
}

TEST(ConvertTest, WholeNumbersRoundHalfToEvenAndRaiseTheClassicErrors) {
  const std::pair<const char*, int32_t> lng[] = {{"2.5", 2},
                                                 {"3.5", 4},
                                                 {"-2.5", -2},
                                                 {"2.51", 3},
                                                 {"True", -1},
                                                 {"false", 0},
                                                 {"2147483647", INT32_MAX},
                                                 {"-2147483648", INT32_MIN}};
  for (const auto& [text, want] : lng) EXPECT_EQ(CLng(text), want) << text;
  EXPECT_TRUE(CInt("-32768") == -32768 && CBool("0.1") && !CBool(" false "));
  EXPECT_EQ(ToLongOrZero("42") + ToLongOrZero("1e12"), 42);
  const std::pair<std::function<void()>, long> errors[] = {{[] { CLng("abc"); }, err::kTypeMismatch},
                                                           {[] { CLng("2147483647.5"); }, err::kOverflow},
                                                           {[] { CLng("-2147483649"); }, err::kOverflow},
                                                           {[] { CInt("32768"); }, err::kOverflow},
                                                           {[] { CDbl("1,5"); }, err::kTypeMismatch},
                                                           {[] { CBool("yes"); }, err::kTypeMismatch},
                                                           {[] { CDate("2003-02-29"); }, err::kTypeMismatch}};
  for (const auto& [f, number] : errors) {
    try {
      f();
      ADD_FAILURE() << "no error for " << number;
    } catch (const VlError& e) {
      EXPECT_EQ(e.number(), number);
    }
  }
}

TEST(ConvertTest, DatesInTheThreeFormsAndWhatIsNoDate) {
  const VlDate want{2003, 7, 1, 14, 5, 9};
  for (const char* form :
       {"2003-07-01 14:05:09", "2003-07-01T14:05:09.123+02:00", "2003-07-01T14:05:09Z",
        "7/1/2003 2:05:09 PM", "07/01/2003 2:05:09 pm", "7/1/2003 14:05:09"})
    EXPECT_EQ(ParseDate(form), want) << form;
  const std::pair<const char*, VlDate> more[] = {
      {"7/1/2003 2:05 PM", {2003, 7, 1, 14, 5, 0}},
      {"7/1/2003", {2003, 7, 1, 0, 0, 0}},
      {"1/5/2004 12:00:00 AM", {2004, 1, 5, 0, 0, 0}},
      {"1/5/2004 12:30:00 AM", {2004, 1, 5, 0, 30, 0}},
      {"1/5/2004 12:30:00 PM", {2004, 1, 5, 12, 30, 0}},
      {"2004-02-29", {2004, 2, 29, 0, 0, 0}},
      {"2000-02-29 10:00:00", {2000, 2, 29, 10, 0, 0}}};  // the 400-year rule
  for (const auto& [text, date] : more) EXPECT_EQ(ParseDate(text), date) << text;
  for (const char* bad :
       {"", "yesterday", "2003-13-01", "2003-02-29", "1900-02-29", "2003-04-31",
        "2003-07-01 24:00:00", "2003-07-01 10:60:00", "7/1/2003 13:00 PM", "7/1/2003 0:10 AM",
        "7/1/03", "2003-07-01 14:05:09 garbage", "2003-07-01X14:05", "1.5"})
    EXPECT_FALSE(ParseDate(bad).has_value()) << bad;
  EXPECT_EQ(FormatDateTime(*ParseDate(FormatDateTime(VlDate{999, 1, 2, 3, 4, 5}))),
            "0999-01-02 03:04:05");
  EXPECT_EQ(FormatDateTime(VlDate{12345, 6, 7, 8, 9, 10}), "12345-06-07 08:09:10");
  EXPECT_TRUE(ParseDate(FormatDateTime(Now())).has_value());
}

TEST(ConvertTest, CharactersAreCodePointsAndCaseIsAscii) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  EXPECT_EQ(CharCount(text), 5u);
  EXPECT_EQ(CharLeft(text, 4) + "z", text);
  // Stray bytes count one each and are never merged with their neighbours.
  EXPECT_EQ(CharCount("\xE9t\xE9"), 3u);
  EXPECT_EQ(CharLeft("\xE2\x82z", 1), "\xE2");
  EXPECT_EQ(Trim("\ta b \t "), "\ta b \t");  // only blanks, as the classic Trim
  EXPECT_EQ(UCase("abc\xC3\xA9"), "ABC\xC3\xA9");
}

}  // namespace
}  // namespace vl
