#include "host/db/pg_parameters.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace vl {
namespace {

constexpr Oid kInt2 = 21, kInt4 = 23, kInt8 = 20, kText = 25, kDate = 1082, kTimestamp = 1114;

// The element's bytes after its length, as the server reads them; "-" when
// the text goes as text.
std::string Element(Oid type, const std::string& text) {
  std::string out;
  const char* end = AppendPgBinaryArrayElement(type, text.c_str(), out);
  if (!end) return "-";
  EXPECT_EQ(end, text.c_str() + text.size());
  std::string hex;
  for (size_t i = 4; i < out.size(); ++i) {
    static const char* digits = "0123456789abcdef";
    hex += digits[static_cast<unsigned char>(out[i]) >> 4];
    hex += digits[static_cast<unsigned char>(out[i]) & 15];
  }
  return hex;
}

TEST(PgParametersTest, AValueGoesInBinaryOnlyInItsPlainFormAndWithinItsType) {
  const std::tuple<Oid, const char*, const char*> cases[] = {
      {kInt2, "32767", "7fff"},
      {kInt2, "-32768", "8000"},
      {kInt4, "007", "00000007"},
      {kInt4, "-0", "00000000"},
      {kInt4, "-1", "ffffffff"},
      {kInt8, "9223372036854775807", "7fffffffffffffff"},
      {kInt8, "-9223372036854775808", "8000000000000000"},
      {kText, "a\"\\{", "61225c7b"},  // a text is its bytes
      {kText, "", ""},
      // Days, and microseconds, from 2000-01-01.
      {kDate, "1999-12-31", "ffffffff"},
      {kDate, "2004-03-01", "000005f1"},  // after a leap day
      {kTimestamp, "2000-01-02", "000000141dd76000"},
      {kTimestamp, "1999-12-31 23:59:59", "fffffffffff0bdc0"},
      // Out of range, and forms only the server's reading of a text gives
      // a value: these go as text.
      {kInt2, "32768", "-"},
      {kInt2, "-32769", "-"},
      {kInt8, "9223372036854775808", "-"},
      {kDate, "2000-01-01 00:00:00", "-"},
  };
  for (const auto& [type, text, bytes] : cases)
    EXPECT_EQ(Element(type, text), bytes) << type << " " << text;
  for (const char* text : {"+1", " 1", "1 ", "", "-", "1.0", "0x1", "2147483648"})
    EXPECT_EQ(Element(kInt4, text), "-") << text;
  for (const char* text : {"2003-02-29 00:00:00", "2003-07-01 24:00:00", "2003-07-01T14:05:09",
                           "now", "99999999999999999999"})
    EXPECT_EQ(Element(kTimestamp, text), "-") << text;
  std::string start;
  EXPECT_FALSE(StartPgBinaryArray(1184, 2, start));  // read in the session's time zone
}

}  // namespace
}  // namespace vl
