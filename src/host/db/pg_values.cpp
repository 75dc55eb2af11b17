#include "host/db/pg_values.h"

#include <libpq-fe.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "errors/vl_error.h"
#include "host/text/convert.h"

namespace vl {

namespace {

// Type numbers of the server's built-in types (they never change).
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184, kNumeric = 1700;

bool Digits(const char* s, int count, int& out) {
  out = 0;
  for (int i = 0; i < count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  return true;
}

// "yyyy-mm-dd", then optionally " hh:mm:ss"; what follows (a fraction of
// a second, a zone) is dropped. A year before 1 ("... BC") is not a date
// here.
bool ParseIsoDate(const char* s, int n, VlDate& d) {
  if (n < 10 || s[4] != '-' || s[7] != '-') return false;
  if (!Digits(s, 4, d.year) || !Digits(s + 5, 2, d.month) || !Digits(s + 8, 2, d.day)) return false;
  d.hour = d.minute = d.second = 0;
  if (n >= 19 && s[10] == ' ' && s[13] == ':' && s[16] == ':') {
    if (!Digits(s + 11, 2, d.hour) || !Digits(s + 14, 2, d.minute) || !Digits(s + 17, 2, d.second))
      return false;
    if (std::strstr(s + 19, "BC")) return false;
  } else if (n > 10) {
    return false;
  }
  return d.year >= 1 && d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31;
}

Variant WholeNumber(const char* text, int length) {
  int64_t v = 0;
  auto res = std::from_chars(text, text + length, v);
  if (res.ec != std::errc() || res.ptr != text + length)
    return Variant::String(std::string(text, length));
  if (v >= INT32_MIN && v <= INT32_MAX) return Variant::Long(static_cast<int32_t>(v));
  return Variant::Double(static_cast<double>(v));
}

Variant RealNumber(Oid type, const char* text, int length) {
  double v = 0;
  auto res = std::from_chars(text, text + length, v);
  if (res.ec != std::errc() || res.ptr != text + length)
    return Variant::String(std::string(text, length));
  // A numeric without a fraction reads as the whole number it is.
  if (type == kNumeric && std::memchr(text, '.', length) == nullptr && v >= INT32_MIN &&
      v <= INT32_MAX)
    return Variant::Long(static_cast<int32_t>(v));
  return Variant::Double(v);
}

Variant Bytes(const char* text) {
  size_t n = 0;
  unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &n);
  if (!raw) return Variant::String(text);
  std::string out(reinterpret_cast<const char*>(raw), n);
  PQfreemem(raw);
  return Variant::String(std::move(out));
}

std::string ShortestDouble(double v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

}  // namespace

Variant PgValue(Oid type, const char* text, int length) {
  switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
      return WholeNumber(text, length);
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return RealNumber(type, text, length);
    case kBool:
      return Variant::Boolean(length > 0 && text[0] == 't');
    case kDate:
    case kTimestamp:
    case kTimestampTz: {
      VlDate d;
      if (ParseIsoDate(text, length, d)) return Variant::Date(d);
      return Variant::String(std::string(text, length));
    }
    case kBytea:
      return Bytes(text);
    default:
      return Variant::String(std::string(text, length));
  }
}

std::optional<std::string> PgParameter(const Variant& value) {
  switch (value.type()) {
    case vbInteger:
    case vbLong:
    case vbBoolean:
      return std::to_string(value.AsInt());
    case vbSingle:
    case vbDouble:
    case vbCurrency: {
      const double v = value.AsDouble();
      if (std::isnan(v)) return "NaN";
      if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
      return ShortestDouble(v);
    }
    case vbDate:
      return FormatDateTime(value.AsDate());
    case vbString:
      if (value.AsString().find('\0') != std::string::npos)
        throw VlError(err::kDatabase, "VlDataServices",
                      "A text holding a NUL character cannot be stored in PostgreSQL.");
      return value.AsString();
    default:
      return std::nullopt;
  }
}

}  // namespace vl
