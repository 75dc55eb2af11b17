// Text conversions with fixed rules: numbers always use "." as decimal
// separator whatever the locale; dates are read in the forms baselines use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/text/variant.h"

namespace vl {

// True when `text` (blanks around it allowed) is a decimal number: optional
// sign, digits with at most one ".", optional exponent ("1e3"). Empty text
// is not numeric.
bool IsNumeric(const std::string& text);
std::optional<double> ParseNumber(const std::string& text);

// Whole-number conversions with round-half-to-even of a fractional value;
// Booleans "True"/"False" (any case) give -1/0. A text that is not numeric
// throws VlError(err::kTypeMismatch); a value out of range throws
// VlError(err::kOverflow).
int32_t CLng(const std::string& text);
int16_t CInt(const std::string& text);
double CDbl(const std::string& text);
// "True"/"False" in any case, or a number (non-zero is true); anything else
// throws VlError(err::kTypeMismatch).
bool CBool(const std::string& text);

// A numeric text as a 32-bit value, anything else 0 (also on overflow).
int32_t ToLongOrZero(const std::string& text);

// Dates as "yyyy-mm-dd hh:mm:ss", ISO 8601 ("T" between date and time,
// optional fraction and zone ignored), or "m/d/yyyy h:mm:ss AM" (seconds
// and AM/PM optional); a date alone is midnight. Anything else, or an
// impossible date, gives nullopt.
std::optional<VlDate> ParseDate(const std::string& text);
// As ParseDate, but throws VlError(err::kTypeMismatch) when not a date.
VlDate CDate(const std::string& text);

// "yyyy-mm-dd hh:mm:ss".
std::string FormatDateTime(const VlDate& d);
// Days from 1970-01-01 to `year`-`month`-`day` of the Gregorian calendar
// (extended before its start), negative before it.
int64_t DaysSince1970(int64_t year, int64_t month, int64_t day);
// The general text form of a number, "." as decimal separator, no
// thousands separators, at most 15 significant digits ("12.5", "7",
// "0.4", "-3", "1E+20").
std::string FormatNumber(double v);

// The current local date and time.
VlDate Now();

// Characters (Unicode code points) of a UTF-8 text; invalid bytes count
// as one character each.
size_t CharCount(const std::string& utf8);
// The first `n` characters of a UTF-8 text, never cutting inside one.
std::string CharLeft(const std::string& utf8, size_t n);

// Blanks (spaces) removed at both ends, as classic Trim does.
std::string Trim(const std::string& s);
std::string UCase(const std::string& s);  // ASCII letters only
std::string LCase(const std::string& s);  // ASCII letters only
// True when `a` and `b` differ at most in the case of ASCII letters.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace vl
