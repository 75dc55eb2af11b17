#include "host/db/pg_deferred_indexes.h"

#include <algorithm>

#include "host/db/sql_rewrite.h"

namespace vl {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Reads the word at `i` (after blanks) into `word`, lower case.
bool Word(const std::string& s, size_t& i, std::string& word) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  word.clear();
  while (i < s.size() && IsNameChar(s[i])) word += Lower(s[i++]);
  return !word.empty() && !(word[0] >= '0' && word[0] <= '9');
}

}  // namespace

bool PgDeferredIndexes::Keep(const std::string& statement) {
  size_t i = 0;
  // Asked of every statement, nearly all of them row inserts: the first
  // letter tells most apart.
  while (i < statement.size() && IsBlank(statement[i])) ++i;
  if (i >= statement.size() || Lower(statement[i]) != 'c') return false;
  std::string word, table;
  if (!Word(statement, i, word) || word != "create" || !Word(statement, i, word) ||
      word != "index" || !Word(statement, i, word) || word == "on" || !Word(statement, i, word) ||
      word != "on" || !Word(statement, i, table))
    return false;
  while (i < statement.size() && IsBlank(statement[i])) ++i;
  // The columns, and nothing behind them.
  if (i >= statement.size() || statement[i] != '(') return false;
  const size_t close = statement.find(')', i);
  if (close == std::string::npos || statement.find_first_of("(\"", i + 1) < close) return false;
  for (size_t k = close + 1; k < statement.size(); ++k)
    if (!IsBlank(statement[k])) return false;
  kept_.push_back({table, statement});
  return true;
}

std::vector<std::string> PgDeferredIndexes::TakeFor(std::string_view statement) {
  std::vector<std::string> due;
  // A view reads its tables only when it is read itself.
  const std::string head(statement.substr(0, 64));
  size_t i = 0;
  std::string word;
  if (Word(head, i, word) && word == "create" && Word(head, i, word) &&
      (word == "view" || (word == "or" && Word(head, i, word) && word == "replace" &&
                          Word(head, i, word) && word == "view")))
    return due;
  for (Index& ix : kept_)
    if (!ix.built && FindNoCase(statement, ix.table, true) != std::string::npos) {
      ix.built = true;
      due.push_back(ix.statement);
    }
  return due;
}

std::vector<std::string> PgDeferredIndexes::TakeAll() {
  std::vector<std::string> due;
  for (Index& ix : kept_)
    if (!ix.built) {
      ix.built = true;
      due.push_back(ix.statement);
    }
  return due;
}

void PgDeferredIndexes::Committed() {
  std::erase_if(kept_, [](const Index& ix) { return ix.built; });
  for (Index& ix : kept_) ix.made_before = true;
}

void PgDeferredIndexes::Undone() {
  std::erase_if(kept_, [](const Index& ix) { return !ix.made_before; });
  for (Index& ix : kept_) ix.built = false;
}

bool PgDeferredIndexes::empty() const {
  return std::none_of(kept_.begin(), kept_.end(),
                      [](const Index& ix) { return ix.built == false; });
}

}  // namespace vl
