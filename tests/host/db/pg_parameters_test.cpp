#include "host/db/pg_parameters.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(PgParametersTest, ANumberGoesInBinaryOnlyInItsPlainFormAndWithinItsType) {
  const struct {
    Oid type;
    const char* text;
    const char* bytes;
  } cases[] = {
      {kInt2, "32767", "7fff"},
      {kInt2, "-32768", "8000"},
      {kInt2, "32768", "-"},
      {kInt2, "-32769", "-"},
      {kInt4, "007", "00000007"},
      {kInt4, "-0", "00000000"},
      {kInt4, "-1", "ffffffff"},
      {kInt4, "2147483648", "-"},
      {kInt8, "9223372036854775807", "7fffffffffffffff"},
      {kInt8, "-9223372036854775808", "8000000000000000"},
      {kInt8, "9223372036854775808", "-"},
      {kInt8, "99999999999999999999", "-"},
      // Forms only the server's reading of a text gives a value.
      {kInt4, "+1", "-"},
      {kInt4, " 1", "-"},
      {kInt4, "1 ", "-"},
      {kInt4, "", "-"},
      {kInt4, "-", "-"},
      {kInt4, "1.0", "-"},
      {kInt4, "0x1", "-"},
      // A text is its bytes.
      {kText, "a\"\\{", "61225c7b"},
      {kText, "", ""},
      // Days, and microseconds, from 2000-01-01.
      {kDate, "2000-01-01", "00000000"},
      {kDate, "1999-12-31", "ffffffff"},
      {kDate, "2004-03-01", "000005f1"},  // after a leap day
      {kDate, "2000-01-01 00:00:00", "-"},
      {kTimestamp, "2000-01-02", "000000141dd76000"},
      {kTimestamp, "2000-01-01 00:00:01", "00000000000f4240"},
      {kTimestamp, "1999-12-31 23:59:59", "fffffffffff0bdc0"},
      {kTimestamp, "2003-02-29 00:00:00", "-"},  // no such day
      {kTimestamp, "2003-07-01 24:00:00", "-"},
      {kTimestamp, "2003-07-01T14:05:09", "-"},
      {kTimestamp, "now", "-"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Element(c.type, c.text), c.bytes) << c.type << " " << c.text;
  std::string start;
  EXPECT_FALSE(StartPgBinaryArray(1184, 2, start));  // read in the session's time zone
  ASSERT_TRUE(StartPgBinaryArray(kInt4, 2, start));
  EXPECT_EQ(start.size(), 20u);
}

}  // namespace
}  // namespace vl
