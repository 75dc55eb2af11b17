// Reading the query strings of query definitions, without a database: a
// tokenizer and a parser of
//
//   query     := scope [ WHERE condition { (AND | OR) condition } ]
//   scope     := "(" [ projectGUID "." ] reqTypeGUID ")"
//   condition := attrGUID op value
//   op        := "=" | "<>" | "<" | ">" | "<=" | ">=" | CONTAINS
//   value     := 'text' (a quote doubled inside) | number | listItemGUID
//
// Keywords are matched without regard to case and blanks between tokens
// are free. What the GUIDs name is checked by the query services against a
// project's database (host/sql_query_services.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vl {

enum class QueryTokenKind {
  kOpen,      // "("
  kClose,     // ")"
  kDot,       // "."
  kGuid,      // "{" 8-4-4-4-12 hexadecimal digits "}"
  kWord,      // letters, digits and "_", starting with a letter (keywords among them)
  kOperator,  // "=", "<>", "<", ">", "<=", ">="
  kText,      // 'text', a quote doubled inside
  kNumber,    // [sign] digits [. digits], or [sign] . digits
  kEnd,       // the end of the query
};

struct QueryToken {
  QueryTokenKind kind = QueryTokenKind::kEnd;
  // The token as written, except that GUIDs are upper-case. A text keeps
  // its quotes and its doubled quotes. "" for kEnd.
  std::string text;
  // 1-based position of its first character in the query, counted in
  // characters (not bytes); for kEnd one past the last character.
  size_t position = 0;
};

// Splits `query` into tokens, the last one kEnd. Blanks, tabs and line
// breaks separate tokens. Returns false, with `errorText` naming the
// faulty token, its position and what was expected, for a character that
// starts no token, a "{" that does not start a GUID of the braced form, or
// a text without its closing quote; `tokens` then holds what came before.
bool TokenizeQuery(const std::string& query, std::vector<QueryToken>& tokens,
                   std::string& errorText);

struct QueryCondition {
  QueryToken attribute;  // kGuid
  std::string op;        // "=", "<>", "<", ">", "<=", ">=" or "CONTAINS"
  QueryToken value;      // kText, kNumber or kGuid (a list item)
};

// A query as the grammar reads it.
struct QueryTree {
  std::optional<QueryToken> project;  // the external project of the scope
  QueryToken reqType;
  std::vector<QueryCondition> conditions;
  // "AND" or "OR" between conditions: one fewer than there are conditions.
  std::vector<std::string> connectors;

  // The canonical form: the scope written as the grammar writes it
  // ("(" [project "."] reqType ")", no blanks inside), then one blank
  // between all further tokens; keywords and GUIDs upper-case, texts and
  // numbers as written.
  std::string Canonical() const;
};

// Parses `query`. Returns true and fills `tree` when the query follows the
// grammar; otherwise returns false with `errorText` naming the token found
// (or the end of the query), its position and what was expected there.
bool ParseQueryText(const std::string& query, QueryTree& tree, std::string& errorText);

// The external project a query string names: the text between its first
// "(" and its first ")", when that holds a ".", up to the first "." (blanks,
// tabs and line breaks around it removed). False when there is none, also
// when the string has no "(" or no ")" or its first ")" comes before its
// first "(". Looks at the text only, as the copier does before parsing.
bool ExternalProjectOfQuery(const std::string& query, std::string& projectGuid);

// How a token is named in error texts: the token in double quotes (a long
// one shortened, ending with "..."), followed by " at position N"; or "the
// end of the query".
std::string DescribeQueryToken(const QueryToken& token);

}  // namespace vl
