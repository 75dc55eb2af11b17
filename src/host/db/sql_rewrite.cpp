#include "host/db/sql_rewrite.h"

#include <cctype>
#include <cstring>

#include "host/db/data_services.h"
#include "host/text/convert.h"

namespace vl {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool MarkerAt(const std::string& s, size_t i) {
  return s.compare(i, kTableMarker.size(), kTableMarker) == 0;
}

// Where a quoted piece that opens at `i` with `quote` ends (one past the
// closing quote; a doubled quote stays inside); s.size() when unclosed.
size_t QuotedEnd(const std::string& s, size_t i, char quote) {
  size_t j = i + 1;
  for (;;) {
    j = s.find(quote, j);
    if (j == std::string::npos) return s.size();
    if (j + 1 < s.size() && s[j + 1] == quote) {
      j += 2;
      continue;
    }
    return j + 1;
  }
}

// The characters where something may need rewriting: quotes (whose inside
// is never touched), the table marker's first character and the opening
// of a timestamp.
constexpr char kRewriteStarts[] = {'\'', '"', '{', '\x05', '\0'};

// Where the next of them is in `s` from `i` on, s.size() when none. The
// library's search takes long runs of plain text many bytes at a time; a
// NUL inside the text stops it, and is passed over.
size_t NextRewriteStart(const std::string& s, size_t i) {
  for (;;) {
    i += std::strcspn(s.c_str() + i, kRewriteStarts);
    if (i >= s.size() || s[i] != '\0') return i;
    ++i;
  }
}

// Matches "{ ts 'text'}" (blanks optional where the form allows them, "ts"
// in any case) at `i`. On success sets the text's bounds and returns one
// past the "}"; otherwise returns 0. Scans no further than the closing
// quote of the text, so a failed match costs no more than reading on.
size_t MatchTimestamp(const std::string& s, size_t i, size_t& text_begin, size_t& text_end) {
  size_t j = i + 1;
  while (j < s.size() && IsBlank(s[j])) ++j;
  if (j + 2 > s.size() || std::tolower(static_cast<unsigned char>(s[j])) != 't' ||
      std::tolower(static_cast<unsigned char>(s[j + 1])) != 's')
    return 0;
  j += 2;
  while (j < s.size() && IsBlank(s[j])) ++j;
  if (j >= s.size() || s[j] != '\'') return 0;
  text_begin = j + 1;
  size_t k = text_begin;
  while (k < s.size() && s[k] != '\'') ++k;
  if (k >= s.size()) return 0;
  text_end = k;
  ++k;
  while (k < s.size() && IsBlank(s[k])) ++k;
  if (k >= s.size() || s[k] != '}') return 0;
  return k + 1;
}

void AppendTimestamp(std::string& out, const std::string& s, size_t begin, size_t end, int dbType) {
  if (dbType == kDBPostgreSQL) out += "TIMESTAMP ";
  out += '\'';
  out.append(s, begin, end - begin);
  out += '\'';
}

}  // namespace

std::string RewriteStatement(const std::string& sql, int dbType) {
  const bool rewrite_timestamps = dbType == kDBSQLite || dbType == kDBPostgreSQL;
  std::string out;
  out.reserve(sql.size());
  // Statements are long runs of text that stay as they are: only the
  // pieces before a change are copied, each in one go.
  const size_t n = sql.size();
  size_t copied = 0;
  size_t i = 0;
  for (;;) {
    i = NextRewriteStart(sql, i);
    if (i >= n) break;
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      i = QuotedEnd(sql, i, c);
    } else if (c == kTableMarker[0] && MarkerAt(sql, i)) {
      out.append(sql, copied, i - copied);
      i += kTableMarker.size();
      copied = i;
    } else if (c == '{' && rewrite_timestamps) {
      size_t text_begin = 0, text_end = 0;
      const size_t end = MatchTimestamp(sql, i, text_begin, text_end);
      if (end != 0) {
        out.append(sql, copied, i - copied);
        AppendTimestamp(out, sql, text_begin, text_end, dbType);
        copied = i = end;
      } else {
        ++i;
      }
    } else {
      ++i;
    }
  }
  out.append(sql, copied, n - copied);
  return out;
}

std::string ResolveTableName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    if (MarkerAt(name, i)) {
      i += kTableMarker.size();
    } else {
      out += name[i++];
    }
  }
  return out;
}

std::string ToStoredText(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c == '|') c = '\x1A';
  return out;
}

std::string FromStoredText(const std::string& stored) {
  std::string out = stored;
  for (char& c : out)
    if (c == '\x1A') c = '|';
  return out;
}

namespace {

// Statements longer than this are shown shortened in error descriptions.
constexpr size_t kShownStatementLength = 600;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAsciiWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

std::string ShortenStatement(const std::string& text) {
  if (text.size() <= kShownStatementLength) return text;
  size_t head = kShownStatementLength * 2 / 3;
  while (head > 0 && IsUtf8Continuation(text[head])) --head;
  size_t tail = text.size() - kShownStatementLength / 3;
  while (tail < text.size() && IsUtf8Continuation(text[tail])) ++tail;
  return text.substr(0, head) + " ... " + text.substr(tail);
}

size_t FindNoCase(std::string_view text, std::string_view lowerWord, bool wholeWord, size_t from) {
  const size_t n = lowerWord.size();
  for (size_t i = from; n > 0 && i + n <= text.size(); ++i) {
    if (AsciiLower(text[i]) != lowerWord[0]) continue;
    size_t k = 1;
    while (k < n && AsciiLower(text[i + k]) == lowerWord[k]) ++k;
    if (k < n) continue;
    if (wholeWord && ((i > 0 && IsAsciiWordChar(text[i - 1])) ||
                      (i + n < text.size() && IsAsciiWordChar(text[i + n]))))
      continue;
    return i;
  }
  return std::string_view::npos;
}

std::string QuoteSqlText(const std::string& text) {
  std::string out = "'";
  for (char c : ToStoredText(text)) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string TimestampLiteral(const VlDate& date) { return "{ ts '" + FormatDateTime(date) + "'}"; }

}  // namespace vl
