#include "host/db/sql_shape.h"

#include <charconv>
#include <cstdint>

#include "host/text/text_table.h"

namespace vl {

namespace {

// How the database's tokenizer sees each byte. Bare words are ASCII
// letters, digits, "_" and "$" and every byte of a UTF-8 letter (not the
// C library's classes, which depend on the locale).
enum CharClass : uint8_t {
  kRefused = 0,  // ";", parameters, and what the database would refuse
  kBlank,
  kWordStart,
  kDigit,
  kDollar,     // inside a word only
  kQuote,      // a text
  kNameQuote,  // a quoted name: " ` [
  kOpen,
  kClose,
  kDot,
  kDash,
  kSlash,
  kPunctuation,  // operators and punctuation that need no care
};
struct CharTable {
  CharClass cls[256] = {};
  bool word[256] = {};  // inside a bare word
};
constexpr CharTable kChars = [] {
  CharTable t;
  for (unsigned char c : {' ', '\t', '\n', '\r', '\f'}) t.cls[c] = kBlank;
  for (int c = 0; c < 256; ++c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80)
      t.cls[c] = kWordStart;
    if (c >= '0' && c <= '9') t.cls[c] = kDigit;
  }
  t.cls[static_cast<unsigned char>('$')] = kDollar;
  t.cls[static_cast<unsigned char>('\'')] = kQuote;
  for (unsigned char c : {'"', '`', '['}) t.cls[c] = kNameQuote;
  t.cls[static_cast<unsigned char>('(')] = kOpen;
  t.cls[static_cast<unsigned char>(')')] = kClose;
  t.cls[static_cast<unsigned char>('.')] = kDot;
  t.cls[static_cast<unsigned char>('-')] = kDash;
  t.cls[static_cast<unsigned char>('/')] = kSlash;
  for (unsigned char c : {',', '=', '<', '>', '!', '|', '&', '~', '+', '*', '%'})
    t.cls[c] = kPunctuation;
  for (int c = 0; c < 256; ++c)
    t.word[c] = t.cls[c] == kWordStart || t.cls[c] == kDigit || t.cls[c] == kDollar;
  return t;
}();

CharClass ClassOf(char c) { return kChars.cls[static_cast<unsigned char>(c)]; }
bool IsDigit(char c) { return ClassOf(c) == kDigit; }
bool IsBlank(char c) { return ClassOf(c) == kBlank; }
bool IsWordChar(char c) { return kChars.word[static_cast<unsigned char>(c)]; }

bool WordIs(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if ((word[i] >= 'a' && word[i] <= 'z' ? word[i] - 'a' + 'A' : word[i]) != upper[i])
      return false;
  return true;
}

// Words that end the part of a SELECT whose literals may be bound, or, in
// a part that is bound, make the statement run as text (a number there
// may name a column).
bool EndsBoundPart(std::string_view w) {
  switch (w.size()) {
    case 5:
      return WordIs(w, "ORDER") || WordIs(w, "GROUP") || WordIs(w, "LIMIT") || WordIs(w, "UNION");
    case 6:
      return WordIs(w, "HAVING") || WordIs(w, "EXCEPT") || WordIs(w, "WINDOW");
    case 9:
      return WordIs(w, "INTERSECT");
    default:
      return false;
  }
}

// Where the quoted piece opening at `i` ends (one past the closing quote,
// a doubled quote staying inside); npos when it is not closed.
size_t QuotedEnd(std::string_view s, size_t i, char close, bool doubled_escapes) {
  size_t j = i + 1;
  for (;;) {
    j = s.find(close, j);
    if (j == std::string_view::npos) return j;
    if (doubled_escapes && j + 1 < s.size() && s[j + 1] == close) {
      j += 2;
      continue;
    }
    return j + 1;
  }
}

// The end of the number starting at `i` (digits, a point, digits, an
// exponent); npos when the text there is no number the database accepts
// as one (hexadecimal, letters stuck to it).
size_t NumberEnd(std::string_view s, size_t i, bool& is_real) {
  is_real = false;
  size_t j = i;
  if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) return std::string_view::npos;
  while (j < s.size() && IsDigit(s[j])) ++j;
  if (j < s.size() && s[j] == '.') {
    is_real = true;
    ++j;
    while (j < s.size() && IsDigit(s[j])) ++j;
  }
  if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
    size_t k = j + 1;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    if (k >= s.size() || !IsDigit(s[k])) return std::string_view::npos;
    while (k < s.size() && IsDigit(s[k])) ++k;
    is_real = true;
    j = k;
  }
  if (j < s.size() && IsWordChar(s[j])) return std::string_view::npos;
  return j;
}

// Words after which PostgreSQL reads a quoted text as a plain literal;
// after any other word the text is a typed literal (DATE '...', a type
// name of the database's own).
bool PlainLiteralFollows(std::string_view w) {
  for (const char* word : {"AND", "OR", "NOT", "LIKE", "ILIKE", "THEN", "ELSE", "WHEN", "BETWEEN"})
    if (WordIs(w, word)) return true;
  return false;
}

// Where a scan stands between tokens: all it carries from one token to
// the next.
struct ScanState {
  bool binding = false;          // literals here are taken out
  bool bound_part_over = false;  // a SELECT's WHERE clause has ended
  int depth = 0;                 // parentheses open
};

// The part of a write before its values ("INSERT INTO T (A, B) VALUES (")
// is the same for every row of a table, and holds most of its words: the
// state a scan of such a part ends in is kept by its text, per dialect, so
// that the next statement with that part is scanned from its values on.
// Only parts that end between two tokens and take out no literal are kept,
// so going on from the kept state is what scanning the whole text does.
struct PrefixStates {
  static constexpr size_t kMost = 4096;
  TextArena texts;
  TextTable<ScanState> states;
};
PrefixStates& PrefixStatesOf(bool pg) {
  thread_local PrefixStates kept[2];
  return kept[pg ? 1 : 0];
}

class Shaper {
 public:
  Shaper(std::string_view sql, ShapedStatement& out, SqlDialect dialect)
      : s_(sql), out_(out), pg_(dialect == SqlDialect::kPostgreSQL) {
    out_.shape.clear();
    out_.shape.reserve(sql.size());
    out_.values.clear();
    out_.unquoted.clear();
    // Undone quotes only shorten a text: the views into it stay valid.
    out_.unquoted.reserve(sql.size());
  }

  bool Run();

 private:
  bool Statement(std::string_view first_word);
  // Scans the tokens from `i` on while they start before `stop`; `i` ends
  // one past the last token scanned.
  bool Scan(bool is_select, ScanState& st, size_t& i, size_t stop);
  bool TakeText(size_t begin, size_t end);
  bool TakeNumber(size_t begin, size_t end, bool is_real);
  bool PgQuoteStart(size_t i, size_t& shape_from, ShapedStatement::Kind& kind) const;
  void AppendParameter();

  std::string_view s_;
  ShapedStatement& out_;
  const bool pg_;
  size_t copied_ = 0;  // s_ up to here is in the shape
};

void Shaper::AppendParameter() {
  char text[16];
  text[0] = pg_ ? '$' : '?';
  auto res = std::to_chars(text + 1, text + sizeof text, out_.values.size());
  out_.shape.append(text, res.ptr);
}

// What PostgreSQL makes of the quoted text opening at `i`: false when it
// is more than a plain literal. A TIMESTAMP '...' literal is bound as a
// whole: `shape_from` is then where its keyword starts.
bool Shaper::PgQuoteStart(size_t i, size_t& shape_from, ShapedStatement::Kind& kind) const {
  shape_from = i;
  kind = ShapedStatement::Kind::kText;
  size_t j = i;
  while (j > 0 && IsBlank(s_[j - 1])) --j;
  if (j == 0) return true;
  const char before = s_[j - 1];
  // E'..', U&'..', B'..': a prefix changes how the text is read; texts
  // separated by blanks only are one text; "name" '..' is a typed literal.
  if (j == i && (IsWordChar(before) || before == '&')) return false;
  if (before == '\'' || before == '"') return false;
  if (!IsWordChar(before)) return true;
  size_t w = j;
  while (w > 0 && IsWordChar(s_[w - 1])) --w;
  const std::string_view word = s_.substr(w, j - w);
  if (PlainLiteralFollows(word)) return true;
  if (!WordIs(word, "TIMESTAMP") || (w > 0 && s_[w - 1] == '.')) return false;
  shape_from = w;
  kind = ShapedStatement::Kind::kTimestamp;
  return true;
}

bool Shaper::TakeText(size_t begin, size_t end) {
  if (out_.values.size() >= kMaxShapedValues) return false;
  size_t shape_from = begin;
  ShapedStatement::Kind kind = ShapedStatement::Kind::kText;
  if (pg_ && !PgQuoteStart(begin, shape_from, kind)) return false;
  out_.shape.append(s_, copied_, shape_from - copied_);
  const std::string_view inner = s_.substr(begin + 1, end - begin - 2);
  std::string_view text = inner;
  if (inner.find('\'') != std::string_view::npos) {
    const size_t at = out_.unquoted.size();
    for (size_t i = 0; i < inner.size(); ++i) {
      out_.unquoted += inner[i];
      if (inner[i] == '\'') ++i;  // the second of a doubled quote
    }
    text = std::string_view(out_.unquoted).substr(at);
  }
  out_.values.push_back({kind, 0, text});
  AppendParameter();
  copied_ = end;
  return true;
}

bool Shaper::TakeNumber(size_t begin, size_t end, bool is_real) {
  if (out_.values.size() >= kMaxShapedValues) return false;
  const std::string_view digits = s_.substr(begin, end - begin);
  int64_t integer = 0;
  if (!is_real) {
    // Integers too long for 64 bits are read as real numbers by the
    // database, with rules of their own at the edge: they stay text.
    if (digits.size() > 18) return false;
    std::from_chars(digits.data(), digits.data() + digits.size(), integer);
    // PostgreSQL reads a larger one as int8 or numeric, and folds a minus
    // sign in front of it into the number.
    if (pg_ && integer > INT32_MAX) return false;
  }
  out_.shape.append(s_, copied_, begin - copied_);
  out_.values.push_back(
      {is_real ? ShapedStatement::Kind::kReal : ShapedStatement::Kind::kInteger, integer, digits});
  const bool cast = is_real && !pg_;
  if (cast) out_.shape += "CAST(";
  AppendParameter();
  if (cast) out_.shape += " AS REAL)";
  copied_ = end;
  return true;
}

bool Shaper::Run() {
  size_t i = 0;
  while (i < s_.size() && IsBlank(s_[i])) ++i;
  size_t end = i;
  while (end < s_.size() && IsWordChar(s_[end])) ++end;
  const std::string_view first = s_.substr(i, end - i);
  if (!Statement(first)) return false;
  out_.shape.append(s_, copied_, std::string_view::npos);
  return !out_.values.empty();
}

// One pass over the tokens. In INSERT, UPDATE and DELETE every literal is
// bound; in a SELECT only those of its top-level WHERE clause.
bool Shaper::Statement(std::string_view first_word) {
  const bool is_select = WordIs(first_word, "SELECT");
  if (!is_select && !WordIs(first_word, "INSERT") && !WordIs(first_word, "UPDATE") &&
      !WordIs(first_word, "DELETE"))
    return false;
  ScanState st;
  st.binding = !is_select;
  size_t i = 0;
  constexpr std::string_view kValues = "VALUES (";
  const size_t values = is_select ? std::string_view::npos : s_.find(kValues);
  if (values != std::string_view::npos) {
    const size_t split = values + kValues.size();
    const std::string_view prefix = s_.substr(0, split);
    PrefixStates& kept = PrefixStatesOf(pg_);
    if (const ScanState* known = kept.states.Find(prefix)) {
      st = *known;
      i = split;
    } else {
      if (!Scan(is_select, st, i, split)) return false;
      if (i == split && out_.values.empty() && kept.states.size() < PrefixStates::kMost)
        kept.states.Insert(prefix, st, kept.texts);
    }
  }
  return Scan(is_select, st, i, s_.size());
}

bool Shaper::Scan(bool is_select, ScanState& st, size_t& i, size_t stop) {
  bool& binding = st.binding;
  bool& bound_part_over = st.bound_part_over;
  int& depth = st.depth;
  const size_t n = s_.size();
  while (i < stop) {
    const char c = s_[i];
    switch (ClassOf(c)) {
      case kBlank:
      case kPunctuation:
        ++i;
        break;
      case kWordStart: {
        if ((c == 'x' || c == 'X') && i + 1 < n && s_[i + 1] == '\'') return false;  // a blob
        size_t end = i + 1;
        while (end < n && IsWordChar(s_[end])) ++end;
        const std::string_view word = s_.substr(i, end - i);
        // A query inside a write could read its literals in its result
        // columns, where PostgreSQL types them differently.
        if (pg_ && !is_select && WordIs(word, "SELECT")) return false;
        if (EndsBoundPart(word)) {
          if (!is_select || depth > 0) return false;
          binding = false;
          bound_part_over = true;
        } else if (is_select && depth == 0 && !bound_part_over && WordIs(word, "WHERE")) {
          binding = true;
        }
        i = end;
        break;
      }
      case kQuote: {
        const size_t end = QuotedEnd(s_, i, '\'', true);
        if (end == std::string_view::npos || (binding && !TakeText(i, end))) return false;
        i = end;
        break;
      }
      case kNameQuote: {
        // PostgreSQL quotes names with " only.
        if (pg_ && c != '"') return false;
        const size_t end = QuotedEnd(s_, i, c == '[' ? ']' : c, c != '[');
        if (end == std::string_view::npos) return false;
        i = end;
        break;
      }
      case kDot:
        if (i + 1 >= n || !IsDigit(s_[i + 1])) {
          ++i;
          break;
        }
        [[fallthrough]];  // a number such as .5
      case kDigit: {
        bool is_real = false;
        const size_t end = NumberEnd(s_, i, is_real);
        if (end == std::string_view::npos || (binding && !TakeNumber(i, end, is_real)))
          return false;
        i = end;
        break;
      }
      case kOpen:
        ++depth;
        ++i;
        break;
      case kClose:
        --depth;
        ++i;
        break;
      case kDash:
      case kSlash:
        // "--" and "/*" open comments.
        if (i + 1 < n && s_[i + 1] == (c == '-' ? '-' : '*')) return false;
        ++i;
        break;
      default:
        return false;  // ";", parameters, and what the database would refuse
    }
  }
  return true;
}

}  // namespace

bool ShapeStatement(std::string_view sql, ShapedStatement& out, SqlDialect dialect) {
  return Shaper(sql, out, dialect).Run();
}

}  // namespace vl
