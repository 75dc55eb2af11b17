#include "host/db/pg_parameters.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "host/text/convert.h"
#include "host/xml/xml_encoding.h"

namespace vl {

namespace {

// Type numbers of the server's built-in types (they never change).
constexpr Oid kNoType = 0, kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25,
              kFloat4 = 700, kFloat8 = 701, kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184,
              kNumeric = 1700;

using Kind = ShapedStatement::Kind;

bool IntegerFits(int64_t v, Oid type) {
  switch (type) {
    case kInt2:
      return v >= INT16_MIN && v <= INT16_MAX;
    case kInt4:
      return v >= INT32_MIN && v <= INT32_MAX;
    case kInt8:
      return true;
    default:
      return false;
  }
}

bool IsIntegerType(Oid type) { return type == kInt2 || type == kInt4 || type == kInt8; }

// A whole number as the server's integer input reads it: a sign, digits.
bool IntegerTextFits(std::string_view s, Oid type) {
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    const bool negative = s[0] == '-';
    s.remove_prefix(1);
    if (s.empty() || s[0] == '-' || s[0] == '+') return false;
    int64_t v = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    return res.ec == std::errc() && res.ptr == s.data() + s.size() &&
           IntegerFits(negative ? -v : v, type);
  }
  int64_t v = 0;
  auto res = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && res.ec == std::errc() && res.ptr == s.data() + s.size() &&
         IntegerFits(v, type);
}

// A number written with digits, a point and an exponent (the forms a
// literal takes) that the type holds: finite and not too small for it;
// for a whole-number type, rounded into its range.
bool RealTextFits(std::string_view s, Oid type) {
  if (s.empty() || s[0] == '+' || s[0] == '-' || s[0] == 'i' || s[0] == 'I' || s[0] == 'n' ||
      s[0] == 'N')
    return false;
  double v = 0;
  const char* end = s.data() + s.size();
  auto res = std::from_chars(s.data(), end, v);
  if (res.ec != std::errc() || res.ptr != end || !std::isfinite(v)) return false;
  if (type == kFloat8) return true;
  if (type == kFloat4) {
    float f = 0;
    auto r4 = std::from_chars(s.data(), end, f);
    return r4.ec == std::errc() && r4.ptr == end && std::isfinite(f);
  }
  if (IsIntegerType(type)) {
    const double rounded = std::round(v);
    return rounded >= -9.2e18 && rounded <= 9.2e18 &&
           IntegerFits(static_cast<int64_t>(rounded), type);
  }
  return false;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool TwoOrFourDigits(std::string_view s, size_t at, size_t n, int& out) {
  out = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  return true;
}

// "yyyy-mm-dd" (with `time`, "yyyy-mm-dd hh:mm:ss"): a day and time that
// exist, years 1 to 9999, read into `d` (its time 00:00:00 without `time`).
bool ParsePlainDate(std::string_view s, bool time, VlDate& d) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (s.size() != (time ? 19u : 10u) || s[4] != '-' || s[7] != '-') return false;
  d = VlDate{};
  if (!TwoOrFourDigits(s, 0, 4, d.year) || !TwoOrFourDigits(s, 5, 2, d.month) ||
      !TwoOrFourDigits(s, 8, 2, d.day) || d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 ||
      d.day > kDays[d.month - 1] + (d.month == 2 && IsLeapYear(d.year) ? 1 : 0))
    return false;
  if (!time) return true;
  return s[10] == ' ' && s[13] == ':' && s[16] == ':' && TwoOrFourDigits(s, 11, 2, d.hour) &&
         TwoOrFourDigits(s, 14, 2, d.minute) && TwoOrFourDigits(s, 17, 2, d.second) &&
         d.hour < 24 && d.minute < 60 && d.second < 60;
}
bool IsPlainDate(std::string_view s, bool time) {
  VlDate d;
  return ParsePlainDate(s, time, d);
}

bool BooleanTextFits(std::string_view s) {
  for (const char* word : {"t", "f", "true", "false", "1", "0"})
    if (s == word) return true;
  return false;
}

// A quoted text of no declared type: the place's type reads it.
bool TextFits(std::string_view s, Oid type) {
  switch (type) {
    case kText:
      return true;
    case kInt2:
    case kInt4:
    case kInt8:
      return IntegerTextFits(s, type);
    case kFloat4:
    case kFloat8:
      return RealTextFits(s, type);
    case kBool:
      return BooleanTextFits(s);
    case kDate:
      return IsPlainDate(s, false);
    case kTimestamp:
    case kTimestampTz:
      return IsPlainDate(s, true);
    default:
      return false;
  }
}

}  // namespace

Oid PgParameterType(const ShapedStatement::Value& value) {
  switch (value.kind) {
    case Kind::kInteger:
      return kInt4;
    case Kind::kReal:
      return kNumeric;
    case Kind::kTimestamp:
      return kTimestamp;
    case Kind::kText:
      break;
  }
  return kNoType;
}

void AppendPgParameterText(const ShapedStatement::Value& value, std::string& out) {
  if (value.kind != Kind::kInteger) {
    out.append(value.text);
    return;
  }
  char digits[24];
  auto res = std::to_chars(digits, digits + sizeof digits, value.integer);
  out.append(digits, res.ptr);
}

bool PgValueFits(const ShapedStatement::Value& value, Oid placeType) {
  switch (value.kind) {
    case Kind::kInteger:
      return placeType == kText || placeType == kFloat4 || placeType == kFloat8 ||
             IntegerFits(value.integer, placeType);
    case Kind::kReal:
      return placeType == kText || RealTextFits(value.text, placeType);
    case Kind::kTimestamp:
      return IsValidUtf8(value.text) && IsPlainDate(value.text, true) &&
             (placeType == kTimestamp || placeType == kTimestampTz || placeType == kDate ||
              placeType == kText);
    case Kind::kText:
      return IsValidUtf8(value.text) && TextFits(value.text, placeType);
  }
  return false;
}

const char* PgArrayElementTypeName(Oid type) {
  switch (type) {
    case kBool:
      return "bool";
    case kInt8:
      return "int8";
    case kInt2:
      return "int2";
    case kInt4:
      return "int4";
    case kText:
      return "text";
    case kFloat4:
      return "float4";
    case kFloat8:
      return "float8";
    case kDate:
      return "date";
    case kTimestamp:
      return "timestamp";
    case kTimestampTz:
      return "timestamptz";
    case kNumeric:
      return "numeric";
    default:
      return nullptr;
  }
}

const char* AppendPgArrayElement(const char* text, std::string& out) {
  out.push_back('"');
  for (;;) {
    // Texts run to hundreds of megabytes in a large run: the library
    // finds the next quote or backslash.
    const size_t plain = std::strcspn(text, "\"\\");
    out.append(text, plain);
    text += plain;
    if (*text == '\0') break;
    out.push_back('\\');
    out.push_back(*text++);
  }
  out.push_back('"');
  return text;
}

namespace {

// Writes the `bytes` low bytes of `v` at `to`, most significant first.
char* PutNetwork(uint64_t v, int bytes, char* to) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) to[i] = static_cast<char>(v & 0xff);
  return to + bytes;
}

// A whole number's bytes in a binary array: 2, 4 or 8; 0 for any other
// type.
int IntegerBytes(Oid type) { return type == kInt2 ? 2 : type == kInt4 ? 4 : type == kInt8 ? 8 : 0; }

// The value of the digits from `s` to the NUL after them, when there is at
// least one, there is nothing else, and the value is at most `limit`.
std::optional<uint64_t> PlainDigits(const char* s, uint64_t limit, const char*& end) {
  if (*s < '0' || *s > '9') return std::nullopt;
  uint64_t v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    const uint64_t digit = static_cast<uint64_t>(*s - '0');
    if (v > (limit - digit) / 10) return std::nullopt;
    v = v * 10 + digit;
  }
  end = s;
  if (*s != '\0') return std::nullopt;
  return v;
}

// A date ("yyyy-mm-dd", for a timestamp also "yyyy-mm-dd hh:mm:ss") that
// exists, as the server keeps it: days (a date) or microseconds (a
// timestamp) from 2000-01-01 00:00:00, its day 0. Any other text goes as
// text.
const char* AppendDateElement(Oid type, const char* text, std::string& out) {
  const std::string_view s(text);
  const bool with_time = s.size() == 19;
  VlDate d;
  if ((with_time && type == kDate) || !ParsePlainDate(s, with_time, d)) return nullptr;
  constexpr int64_t k2000 = 10957;  // days from 1970-01-01
  const int64_t days = DaysSince1970(d.year, d.month, d.day) - k2000;
  char element[12];
  if (type == kDate) {
    out.append(element, PutNetwork(static_cast<uint64_t>(days), 4, PutNetwork(4, 4, element)));
  } else {
    const int64_t seconds = ((days * 24 + d.hour) * 60 + d.minute) * 60 + d.second;
    out.append(element,
               PutNetwork(static_cast<uint64_t>(seconds * 1000000), 8, PutNetwork(8, 4, element)));
  }
  return text + s.size();
}

}  // namespace

bool StartPgBinaryArray(Oid type, size_t count, std::string& out) {
  if (type != kText && type != kTimestamp && type != kDate && !IntegerBytes(type)) return false;
  // Dimensions, whether any element is NULL, the element type, then the
  // one dimension's length and lower bound.
  char head[20];
  char* at = head;
  for (uint64_t v : {uint64_t{1}, uint64_t{0}, uint64_t{type}, uint64_t{count}, uint64_t{1}})
    at = PutNetwork(v, 4, at);
  out.assign(head, at);
  return true;
}

const char* AppendPgBinaryArrayElement(Oid type, const char* text, std::string& out) {
  if (type == kTimestamp || type == kDate) return AppendDateElement(type, text, out);
  char element[12];
  const int bytes = IntegerBytes(type);
  if (!bytes) {
    // The server keeps no value of a gigabyte or more; its text input says so.
    const size_t length = std::strlen(text);
    if (length >= (size_t{1} << 30)) return nullptr;
    out.append(element, PutNetwork(length, 4, element));
    out.append(text, length);
    return text + length;
  }
  // No sign but a minus, no blanks: the number's only plain form (leading
  // zeros aside), which a parse of the text gives the same value.
  const bool negative = text[0] == '-';
  const uint64_t largest = uint64_t{1} << (8 * bytes - 1);  // the most negative's size
  const char* end = nullptr;
  const std::optional<uint64_t> size = PlainDigits(text + negative, largest - !negative, end);
  if (!size) return nullptr;
  const uint64_t v = negative ? uint64_t{0} - *size : *size;
  out.append(element, PutNetwork(v, bytes, PutNetwork(static_cast<uint64_t>(bytes), 4, element)));
  return end;
}

}  // namespace vl
