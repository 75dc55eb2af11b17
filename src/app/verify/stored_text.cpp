#include "app/verify/stored_text.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "host/text/convert.h"
#include "host/xml/xml_encoding.h"

namespace vl::verify {

std::string StoredText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  bool blank = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\0') continue;
    if (c != ' ') blank = false;
    if (c == '|') {
      out += '\x1A';
    } else if (c == '\'') {
      out += '\'';
      if (i + 1 < text.size() && text[i + 1] == '\'') ++i;
    } else {
      out += c;
    }
  }
  return blank ? std::string() : out;
}

std::string ExactText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c == '|')
      out += '\x1A';
    else if (c != '\0')
      out += c;
  return out;
}

SplitText SplitAtLimit(const std::string& text, int32_t limit) {
  SplitText s;
  if (limit < 0 || CharCount(text) <= static_cast<size_t>(limit)) {
    s.row = text;
    return s;
  }
  s.row = CharLeft(text, static_cast<size_t>(limit));
  s.cut = true;
  s.whole = text;
  return s;
}

int32_t LongOrZero(const std::string& text) { return ToLongOrZero(text); }

int16_t IntOrZero(const std::string& text) {
  const int32_t v = ToLongOrZero(text);
  return v < INT16_MIN || v > INT16_MAX ? 0 : static_cast<int16_t>(v);
}

Cell DateCell(const std::string& text) {
  std::optional<VlDate> d = ParseDate(text);
  return d ? TextCell(FormatDateTime(*d)) : NullCell();
}

Cell NumericValueCell(const std::string& text) {
  double v = 0;
  if (IsNumeric(text)) {
    std::optional<double> n = ParseNumber(text);
    if (n && std::isfinite(*n)) v = *n;
  }
  return TextCell(FormatNumber(v));
}

std::string DecodePassword(const std::string& codes) {
  std::string out, pending;
  for (char c : codes) {
    if (c != ';') {
      pending += c;
      continue;
    }
    std::optional<double> n = IsNumeric(pending) ? ParseNumber(pending) : std::nullopt;
    if (n && std::isfinite(*n)) {
      const double code = std::nearbyint(*n);
      if (code >= 1 && code <= 255) {
        const char byte = static_cast<char>(static_cast<int>(code));
        out += Windows1252ToUtf8(std::string_view(&byte, 1));
      }
    }
    pending.clear();
  }
  return out;
}

namespace {

bool IsGuidShaped(const std::string& s) {
  if (CharCount(s) != 38 || s.size() != 38) return false;
  return s[0] == '{' && s[9] == '-' && s[14] == '-' && s[19] == '-' && s[24] == '-' && s[37] == '}';
}

}  // namespace

std::string RenewQueryGuids(const std::string& query,
                            const std::function<std::string(const std::string&)>& renew) {
  std::string out = query;
  size_t pos = 0;
  while (true) {
    const size_t open = out.find('{', pos);
    if (open == std::string::npos) break;
    const size_t close = out.find('}', open);
    if (close == std::string::npos) break;
    const std::string candidate = out.substr(open, close - open + 1);
    if (IsGuidShaped(candidate)) {
      const std::string renewed = renew(candidate);
      // A GUID is replaced by a GUID: same length, nothing moves.
      if (renewed.size() == candidate.size()) out.replace(open, candidate.size(), renewed);
    }
    pos = close;
  }
  return out;
}

std::string ExternalProjectOfQuery(const std::string& query) {
  const size_t open = query.find('('), close = query.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return "";
  const std::string scope = query.substr(open + 1, close - open - 1);
  const size_t dot = scope.find('.');
  if (dot == std::string::npos) return "";
  std::string guid = scope.substr(0, dot);
  const char* blanks = " \t\r\n";
  const size_t first = guid.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return guid.substr(first, guid.find_last_not_of(blanks) - first + 1);
}

std::string ReplacePropertyValue(const std::string& props, const std::string& marker, int64_t id) {
  if (id < 1) return props;
  const size_t at = props.find(marker);
  if (at == std::string::npos) return props;
  const size_t start = at + marker.size();
  size_t end = props.find(';', start);
  if (end == std::string::npos) end = props.size();
  std::string out = props;
  out.replace(start, end - start, std::to_string(id));
  return out;
}

}  // namespace vl::verify
