#include "host/db/pg_row_runs.h"

#include <charconv>

#include "host/db/sql_rewrite.h"

namespace vl {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || static_cast<unsigned char>(c) >= 0x80;
}
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

size_t SkipBlanks(const std::string& s, size_t i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

// The table name at `i` (one word, or one quoted name); `i` is set behind
// it. False for anything else, a name with a schema in front included.
bool TakeTableName(const std::string& s, size_t& i, RowRunShape& out) {
  const size_t start = i;
  if (i < s.size() && s[i] == '"') {
    for (++i; i < s.size(); ++i) {
      if (s[i] != '"') continue;
      if (i + 1 < s.size() && s[i + 1] == '"') {
        ++i;
        continue;
      }
      break;
    }
    if (i >= s.size()) return false;
    ++i;
    out.table = s.substr(start + 1, i - start - 2);
  } else {
    while (i < s.size() && IsWordChar(s[i])) out.table += Lower(s[i++]);
    if (out.table.empty() || (out.table[0] >= '0' && out.table[0] <= '9')) return false;
  }
  out.written_table = s.substr(start, i - start);
  return i >= s.size() || s[i] != '.';
}

// The end of the parenthesised part opening at `i` (one past its ")"),
// skipping quoted names; npos when it does not close.
size_t ClosingParen(const std::string& s, size_t i) {
  int depth = 0;
  for (; i < s.size(); ++i) {
    if (s[i] == '"') {
      i = s.find('"', i + 1);
      if (i == std::string::npos) return i;
    } else if (s[i] == '(') {
      ++depth;
    } else if (s[i] == ')' && --depth == 0) {
      return i + 1;
    }
  }
  return std::string::npos;
}

// The number of parameters ($n) in `s`, outside quoted names.
size_t CountParameters(const std::string& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"') {
      i = s.find('"', i + 1);
      if (i == std::string::npos) break;
    } else if (s[i] == '$' && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '9' &&
               (i == 0 || !IsWordChar(s[i - 1]))) {
      ++n;
    }
  }
  return n;
}

// Appends the row's text from `begin` to `end` to `out`, each parameter
// $n written by `parameter(n)`; quoted names are copied as they are.
template <typename WriteParameter>
void AppendRow(const std::string& row, size_t begin, size_t end, std::string& out,
               WriteParameter parameter) {
  for (size_t i = begin; i < end; ++i) {
    const char c = row[i];
    if (c == '"') {
      const size_t close = row.find('"', i + 1);
      out.append(row, i, close - i + 1);
      i = close;
    } else if (c == '$' && i + 1 < row.size() && row[i + 1] >= '0' && row[i + 1] <= '9') {
      size_t number = 0;
      auto res = std::from_chars(row.data() + i + 1, row.data() + row.size(), number);
      parameter(number);
      i = static_cast<size_t>(res.ptr - row.data()) - 1;
    } else {
      out += c;
    }
  }
}

}  // namespace

bool SplitRowRun(const std::string& shape, RowRunShape& out) {
  out = RowRunShape{};
  size_t i = SkipBlanks(shape, 0);
  if (FindNoCase(std::string_view(shape).substr(i, 7), "insert", true) != 0) return false;
  i = SkipBlanks(shape, i + 6);
  if (FindNoCase(std::string_view(shape).substr(i, 5), "into", true) != 0) return false;
  i = SkipBlanks(shape, i + 4);
  if (!TakeTableName(shape, i, out)) return false;
  i = SkipBlanks(shape, i);
  if (i < shape.size() && shape[i] == '(') i = SkipBlanks(shape, ClosingParen(shape, i));
  if (i >= shape.size() || FindNoCase(std::string_view(shape).substr(i, 6), "values", true) != 0)
    return false;
  out.values_at = i;
  const size_t row = SkipBlanks(shape, i + 6);
  if (row >= shape.size() || shape[row] != '(') return false;
  const size_t end = ClosingParen(shape, row);
  if (end == std::string::npos || SkipBlanks(shape, end) != shape.size()) return false;
  out.head = shape.substr(0, row);
  out.row = shape.substr(row, end - row);
  out.parameters = CountParameters(out.row);
  // DEFAULT stands in a row of values only (a quoted name "default" is
  // taken for it too: such a row just keeps going as rows of values).
  out.selectable = FindNoCase(out.row, "default", true) == std::string::npos;
  // Every parameter stands in the row, numbered 1 to n.
  return out.parameters > 0 && out.parameters == CountParameters(shape);
}

std::string RowRunText(const RowRunShape& run, size_t rows) {
  std::string out = run.head;
  out.reserve(run.head.size() + rows * (run.row.size() + 8));
  for (size_t r = 0; r < rows; ++r) {
    if (r > 0) out += ", ";
    const size_t first = r * run.parameters;
    AppendRow(run.row, 0, run.row.size(), out,
              [&](size_t number) { out.append(1, '$').append(std::to_string(number + first)); });
  }
  return out;
}

std::string RowRunArraysText(const RowRunShape& run, const std::vector<std::string>& types) {
  std::string out = run.head.substr(0, run.values_at);
  out += "SELECT ";
  // The row's parentheses go; its parameters become the arrays' columns.
  AppendRow(run.row, 1, run.row.size() - 1, out,
            [&](size_t number) { out.append("vl_rows.c").append(std::to_string(number)); });
  // The arrays are unpacked side by side in the select list, which hands
  // each row on as it is made; unnest() in FROM would first store them all.
  out += " FROM (SELECT ";
  for (size_t k = 0; k < types.size(); ++k) {
    const std::string n = std::to_string(k + 1);
    out += (k ? ", unnest($" : "unnest($") + n + "::" + types[k] + "[]) AS c" + n;
  }
  return out + ") AS vl_rows";
}

}  // namespace vl
