// SQL literals: every value a copier writes into the new project's
// database becomes statement text here.
#include "copy/db_conventions.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "errors/vl_error.h"
#include "host/text/convert.h"

namespace vl {

namespace {

// The value as a number when it can be read as one. Empty counts as 0, as
// it does in arithmetic; Null and texts that are no number give nothing.
std::optional<double> NumberOf(const Variant& value) {
  switch (value.type()) {
    case vbEmpty:
      return 0.0;
    case vbBoolean:
      return value.AsBool() ? -1.0 : 0.0;
    case vbString:
      return ParseNumber(value.AsString());
    case vbDate:
      return value.AsDouble();
    default:
      if (value.IsNumber()) return value.AsDouble();
      return std::nullopt;
  }
}

std::string NumberLiteral(const Variant& value, bool bEmptyAsNull) {
  std::optional<double> number = NumberOf(value);
  // A value that is no finite number never reaches the statement as text:
  // it would not be a number literal, or worse, not a literal at all.
  if (!number || !std::isfinite(*number)) return "NULL";
  if (bEmptyAsNull && std::nearbyint(*number) == 0) return "NULL";
  if (value.IsNumber() && value.type() != vbCurrency) return value.ToText();
  return FormatNumber(*number);
}

std::string DateLiteral(const Variant& value) {
  std::optional<VlDate> date;
  if (value.type() == vbDate)
    date = value.AsDate();
  else if (value.type() == vbString)
    date = ParseDate(value.AsString());
  if (!date) return "NULL";
  return "{ ts '" + FormatDateTime(*date) + "'}";
}

// Every text of every row passes here: the literal is built in one
// string, copying the runs between the characters that change.
std::string QuotedTextLiteral(std::string_view source, bool bEmptyAsNull) {
  if (bEmptyAsNull && source.empty()) return "NULL";
  std::string text;
  text.reserve(source.size() + 8);
  text += '\'';
  bool blank = true;  // nothing but spaces: stored as an empty text
  size_t copied = 0;
  for (size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c != ' ' && c != '\0') blank = false;
    if (c != '\0' && c != '|' && c != '\'') continue;
    text.append(source.substr(copied, i - copied));
    if (c == '|') {
      text += '\x1A';
    } else if (c == '\'') {
      // A pair of quotes is taken as one quote already doubled.
      text += "''";
      if (i + 1 < source.size() && source[i + 1] == '\'') ++i;
    }  // no database keeps a NUL inside a text: it is left out
    copied = i + 1;
  }
  if (blank) return "''";
  text.append(source.substr(copied));
  text += '\'';
  return text;
}

std::string StringLiteral(const Variant& value, bool bEmptyAsNull) {
  if (value.type() == vbString) return QuotedTextLiteral(value.AsString(), bEmptyAsNull);
  return QuotedTextLiteral(value.ToText(), bEmptyAsNull);
}

std::string BooleanLiteral(const Variant& value) {
  bool truth = false;
  if (value.type() == vbString)
    truth = CBool(value.AsString());
  else if (value.type() == vbBoolean || value.IsNumber())
    truth = value.AsDouble() != 0;
  return truth ? "1" : "0";  // Empty and Null count as False
}

}  // namespace

std::string Tbl(const char* name) { return kTableMarker + name; }

std::string FormatSQLValue(const Variant& value, bool bEmptyAsNull, int lVarType) {
  const int type = lVarType == 0 ? value.type() : lVarType;
  switch (type) {
    case vbInteger:
    case vbLong:
    case vbSingle:
    case vbDouble:
    case vbCurrency:
      return NumberLiteral(value, bEmptyAsNull);
    case vbDate:
      return DateLiteral(value);
    case vbString:
      return StringLiteral(value, bEmptyAsNull);
    case vbBoolean:
      return BooleanLiteral(value);
    default:
      return "NULL";
  }
}

std::string SqlText(const std::string& s) { return QuotedTextLiteral(s, false); }
std::string SqlLong(int64_t v) { return std::to_string(v); }
std::string SqlBool(bool v) { return v ? "1" : "0"; }
std::string SqlDate(const VlDate& d) { return "{ ts '" + FormatDateTime(d) + "'}"; }

}  // namespace vl
