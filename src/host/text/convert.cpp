#include "host/text/convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "errors/vl_error.h"

namespace vl {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimSpace(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Checks the shape of a decimal number: [sign] digits [. digits] [e [sign]
// digits], with at least one digit in the mantissa.
bool HasNumberShape(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == s.size();
}

// -1 for "True", 0 for "False" (any case), nullopt otherwise.
std::optional<double> BooleanWord(std::string_view s) {
  if (EqualsNoCase(s, "True")) return -1.0;
  if (EqualsNoCase(s, "False")) return 0.0;
  return std::nullopt;
}

[[noreturn]] void ThrowTypeMismatch(const char* proc) {
  throw VlError(err::kTypeMismatch, proc, "Type mismatch");
}
[[noreturn]] void ThrowOverflow(const char* proc) {
  throw VlError(err::kOverflow, proc, "Overflow");
}

// The number of a text for the whole-number conversions: a number or a
// Boolean word, rounded half to even.
double RoundedValueOf(const std::string& text, const char* proc) {
  std::string_view t = TrimSpace(text);
  std::optional<double> v = BooleanWord(t);
  if (!v) v = ParseNumber(text);
  if (!v) ThrowTypeMismatch(proc);
  return std::nearbyint(*v);  // the default rounding mode rounds half to even
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::optional<double> ParseNumber(const std::string& text) {
  std::string_view t = TrimSpace(text);
  if (!HasNumberShape(t)) return std::nullopt;
  bool negative = false;
  if (t.front() == '+' || t.front() == '-') {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  double value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return negative ? -value : value;
}

bool IsNumeric(const std::string& text) { return ParseNumber(text).has_value(); }

int32_t CLng(const std::string& text) {
  double v = RoundedValueOf(text, "CLng");
  if (v < -2147483648.0 || v > 2147483647.0) ThrowOverflow("CLng");
  return static_cast<int32_t>(v);
}

int16_t CInt(const std::string& text) {
  double v = RoundedValueOf(text, "CInt");
  if (v < -32768.0 || v > 32767.0) ThrowOverflow("CInt");
  return static_cast<int16_t>(v);
}

double CDbl(const std::string& text) {
  std::string_view t = TrimSpace(text);
  std::optional<double> v = BooleanWord(t);
  if (!v) v = ParseNumber(text);
  if (!v) ThrowTypeMismatch("CDbl");
  return *v;
}

bool CBool(const std::string& text) {
  std::string_view t = TrimSpace(text);
  if (std::optional<double> b = BooleanWord(t)) return *b != 0;
  std::optional<double> v = ParseNumber(text);
  if (!v) ThrowTypeMismatch("CBool");
  return *v != 0;
}

int32_t ToLongOrZero(const std::string& text) {
  std::optional<double> v = ParseNumber(text);
  if (!v) return 0;
  double r = std::nearbyint(*v);
  if (r < -2147483648.0 || r > 2147483647.0) return 0;
  return static_cast<int32_t>(r);
}

std::string FormatNumber(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  if (v == 0) return "0";  // also -0
  // 15 significant digits in scientific form: "d.dddddddddddddde+XX".
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
  std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
  size_t ePos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, ePos))
    if (IsDigit(c)) digits += c;
  int exponent = 0;
  std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+'), sci.data() + sci.size(),
                  exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = v < 0 ? "-" : "";
  if (exponent >= 15 || exponent < -4) {
    out += digits[0];
    if (digits.size() > 1) out.append(".").append(digits, 1);
    char e[16];
    std::snprintf(e, sizeof e, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return out + e;
  }
  if (exponent < 0)
    return out + "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  size_t intLen = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= intLen) return out + digits + std::string(intLen - digits.size(), '0');
  return out + digits.substr(0, intLen) + "." + digits.substr(intLen);
}

namespace {

// The length of the UTF-8 sequence at `i` when it is well formed, else 0.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return len;
}

}  // namespace

size_t CharCount(const std::string& utf8) {
  size_t count = 0;
  for (size_t i = 0; i < utf8.size(); ++count) {
    size_t len = Utf8SequenceLength(utf8, i);
    i += len ? len : 1;  // an invalid byte counts as one character
  }
  return count;
}

std::string CharLeft(const std::string& utf8, size_t n) {
  size_t i = 0;
  for (size_t taken = 0; taken < n && i < utf8.size(); ++taken) {
    size_t len = Utf8SequenceLength(utf8, i);
    i += len ? len : 1;
  }
  return utf8.substr(0, i);
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

std::string UCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

}  // namespace vl
