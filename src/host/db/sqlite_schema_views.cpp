#include "host/db/sqlite_schema_views.h"

#include <algorithm>
#include <cctype>

namespace vl {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

void SkipBlanks(const std::string& s, size_t& pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
}

// The keyword `word` (any case) at `pos`, followed by something that is
// not part of a name; `pos` moves past it.
bool TakeKeyword(const std::string& s, size_t& pos, const char* word) {
  size_t p = pos;
  for (const char* w = word; *w; ++w, ++p)
    if (p >= s.size() || std::toupper(static_cast<unsigned char>(s[p])) != *w) return false;
  if (p < s.size() && IsNameChar(s[p])) return false;
  pos = p;
  return true;
}

}  // namespace

std::optional<PlainView> ParsePlainCreateView(const std::string& text) {
  size_t pos = 0;
  SkipBlanks(text, pos);
  if (!TakeKeyword(text, pos, "CREATE")) return std::nullopt;
  SkipBlanks(text, pos);
  if (!TakeKeyword(text, pos, "VIEW")) return std::nullopt;
  SkipBlanks(text, pos);
  const size_t name_start = pos;
  if (pos >= text.size() || !std::isalpha(static_cast<unsigned char>(text[pos])))
    return std::nullopt;
  while (pos < text.size() && IsNameChar(text[pos])) ++pos;
  PlainView view;
  view.name = text.substr(name_start, pos - name_start);
  view.after_name = pos;
  // "IF NOT EXISTS" would read as the name "IF": no blank, no AS, no view.
  if (pos >= text.size() || !IsBlank(text[pos])) return std::nullopt;
  SkipBlanks(text, pos);
  if (!TakeKeyword(text, pos, "AS")) return std::nullopt;
  // SQLite keeps what a statement holds after its last token out of the
  // stored text; a text that could hold such a thing is left to SQLite.
  if (text.find(';', pos) != std::string::npos || text.find("--", pos) != std::string::npos ||
      text.find("/*", pos) != std::string::npos)
    return std::nullopt;
  size_t end = text.size();
  while (end > pos && IsBlank(text[end - 1])) --end;
  if (end == pos) return std::nullopt;
  view.stored_sql = "CREATE VIEW " + text.substr(name_start, end - name_start);
  return view;
}

std::string PlainViewShape(const PlainView& view, const std::string& text) {
  std::string shape;
  shape.reserve(text.size() - std::min(view.after_name, text.size()));
  bool in_digits = false;
  for (size_t i = view.after_name; i < text.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (!digit || !in_digits) shape += digit ? '0' : text[i];
    in_digits = digit;
  }
  return shape;
}

bool ChangesSchema(const std::string& text) {
  size_t pos = 0;
  SkipBlanks(text, pos);
  size_t probe = pos;
  return TakeKeyword(text, probe, "CREATE") || TakeKeyword(text, probe = pos, "DROP") ||
         TakeKeyword(text, probe = pos, "ALTER");
}

bool ReadsSchemaTable(const std::string& text) {
  size_t pos = 0;
  SkipBlanks(text, pos);
  if (TakeKeyword(text, pos, "PRAGMA")) return true;
  static const std::string kOwn = "sqlite_";
  return std::search(text.begin(), text.end(), kOwn.begin(), kOwn.end(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         }) != text.end();
}

bool NamesMissingTableOrView(const std::string& message) {
  return message.rfind("no such table", 0) == 0 || message.rfind("no such view", 0) == 0;
}

void UnseenViews::TransactionCommitted() {
  committed_.insert(uncommitted_.begin(), uncommitted_.end());
  uncommitted_.clear();
}

std::string UnseenViews::Key(const std::string& name) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

}  // namespace vl
