#include "host/project/query_parser.h"

#include "host/text/convert.h"

namespace vl {
namespace {

// Tokens longer than this are shortened in error texts.
constexpr size_t kShownTokenChars = 40;
constexpr const char* kGuidForm = "a GUID of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// True for "{" 8-4-4-4-12 hexadecimal digits "}".
bool HasGuidShape(const std::string& s) {
  if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const bool hyphen = i == 9 || i == 14 || i == 19 || i == 24;
    if (hyphen ? s[i] != '-' : !IsHexDigit(s[i])) return false;
  }
  return true;
}

std::string Expected(const std::string& what, const QueryToken& found) {
  return "Expected " + what + ", found " + DescribeQueryToken(found) + ".";
}

// Splits one query into tokens; positions are counted in characters.
class Tokenizer {
 public:
  explicit Tokenizer(const std::string& query) : q_(query) {}

  bool Run(std::vector<QueryToken>& tokens, std::string& errorText) {
    tokens.clear();
    while (true) {
      while (at_ < q_.size() && IsBlank(q_[at_])) Advance(1);
      if (at_ >= q_.size()) break;
      QueryToken token;
      if (!Next(token, errorText)) return false;
      tokens.push_back(std::move(token));
    }
    tokens.push_back(QueryToken{QueryTokenKind::kEnd, "", chars_ + 1});
    return true;
  }

 private:
  // Reads the token starting at the current position.
  bool Next(QueryToken& token, std::string& errorText) {
    token.position = chars_ + 1;
    const char c = q_[at_];
    if (c == '(' || c == ')' || c == '.') {
      token.kind = c == '('   ? QueryTokenKind::kOpen
                   : c == ')' ? QueryTokenKind::kClose
                              : QueryTokenKind::kDot;
      token.text = Take(1);
      return true;
    }
    if (c == '{') return ReadGuid(token, errorText);
    if (c == '\'') return ReadText(token, errorText);
    if (c == '=' || c == '<' || c == '>') {
      size_t len = 1;
      if (at_ + 1 < q_.size() && ((c == '<' && (q_[at_ + 1] == '>' || q_[at_ + 1] == '=')) ||
                                  (c == '>' && q_[at_ + 1] == '=')))
        len = 2;
      token.kind = QueryTokenKind::kOperator;
      token.text = Take(len);
      return true;
    }
    if (IsLetter(c)) {
      size_t end = at_;
      while (end < q_.size() && (IsLetter(q_[end]) || IsDigit(q_[end]) || q_[end] == '_')) ++end;
      token.kind = QueryTokenKind::kWord;
      token.text = Take(end - at_);
      return true;
    }
    if (size_t len = NumberLength()) {
      token.kind = QueryTokenKind::kNumber;
      token.text = Take(len);
      return true;
    }
    size_t len = 1;
    while (at_ + len < q_.size() && IsUtf8Continuation(q_[at_ + len])) ++len;
    QueryToken bad{QueryTokenKind::kWord, q_.substr(at_, len), token.position};
    errorText = Expected("a GUID, a keyword, an operator, a text in quotes or a number", bad);
    return false;
  }

  // A "{" starts a GUID; its text runs to the next "}" (or, without one,
  // to the next blank).
  bool ReadGuid(QueryToken& token, std::string& errorText) {
    size_t end = q_.find('}', at_);
    if (end != std::string::npos) {
      const std::string candidate = q_.substr(at_, end - at_ + 1);
      if (HasGuidShape(candidate)) {
        token.kind = QueryTokenKind::kGuid;
        token.text = UCase(Take(candidate.size()));
        return true;
      }
    } else {
      end = at_;
      while (end + 1 < q_.size() && !IsBlank(q_[end + 1])) ++end;
    }
    QueryToken bad{QueryTokenKind::kGuid, q_.substr(at_, end - at_ + 1), token.position};
    errorText = Expected(kGuidForm, bad);
    return false;
  }

  // A text in quotes; two quotes in a row stand for one quote inside it.
  bool ReadText(QueryToken& token, std::string& errorText) {
    size_t i = at_ + 1;
    while (i < q_.size()) {
      if (q_[i] == '\'') {
        if (i + 1 < q_.size() && q_[i + 1] == '\'') {
          i += 2;
          continue;
        }
        token.kind = QueryTokenKind::kText;
        token.text = Take(i - at_ + 1);
        return true;
      }
      ++i;
    }
    QueryToken open{QueryTokenKind::kText, q_.substr(at_), token.position};
    QueryToken end{QueryTokenKind::kEnd, "", 0};
    errorText = "Expected the closing quote of the text " + DescribeQueryToken(open) + ", found " +
                DescribeQueryToken(end) + ".";
    return false;
  }

  // The length of the number starting here ([sign] digits [. digits]), 0
  // when none starts here.
  size_t NumberLength() const {
    size_t i = at_;
    if (i < q_.size() && (q_[i] == '+' || q_[i] == '-')) ++i;
    const size_t digitsFrom = i;
    while (i < q_.size() && IsDigit(q_[i])) ++i;
    if (i == digitsFrom) return 0;
    if (i + 1 < q_.size() && q_[i] == '.' && IsDigit(q_[i + 1])) {
      ++i;
      while (i < q_.size() && IsDigit(q_[i])) ++i;
    }
    return i - at_;
  }

  std::string Take(size_t len) {
    std::string s = q_.substr(at_, len);
    Advance(len);
    return s;
  }

  void Advance(size_t len) {
    for (size_t i = 0; i < len; ++i, ++at_)
      if (!IsUtf8Continuation(q_[at_])) ++chars_;
  }

  const std::string& q_;
  size_t at_ = 0;     // byte offset
  size_t chars_ = 0;  // characters before at_
};

// A recursive-descent reader over the tokens of one query.
class Parser {
 public:
  explicit Parser(const std::vector<QueryToken>& tokens) : t_(tokens) {}

  bool Run(QueryTree& tree, std::string& errorText) {
    tree = QueryTree{};
    if (!Scope(tree)) return Fail(errorText);
    if (IsWord("WHERE")) {
      ++i_;
      do {
        QueryCondition condition;
        if (!Condition(condition)) return Fail(errorText);
        tree.conditions.push_back(std::move(condition));
        if (!IsWord("AND") && !IsWord("OR")) break;
        tree.connectors.push_back(UCase(t_[i_++].text));
      } while (true);
      if (Peek().kind != QueryTokenKind::kEnd) {
        error_ = Expected("\"AND\", \"OR\" or the end of the query", Peek());
        return Fail(errorText);
      }
    } else if (Peek().kind != QueryTokenKind::kEnd) {
      error_ = Expected("\"WHERE\" or the end of the query", Peek());
      return Fail(errorText);
    }
    return true;
  }

 private:
  bool Scope(QueryTree& tree) {
    if (!Accept(QueryTokenKind::kOpen, "\"(\" at the start of the query")) return false;
    QueryToken first;
    if (!AcceptToken(QueryTokenKind::kGuid,
                     "the GUID of a requirement type or a project after \"(\"", first))
      return false;
    if (Peek().kind == QueryTokenKind::kDot) {
      ++i_;
      tree.project = first;
      if (!AcceptToken(QueryTokenKind::kGuid, "the GUID of a requirement type after \".\"",
                       tree.reqType))
        return false;
    } else {
      tree.reqType = first;
    }
    return Accept(QueryTokenKind::kClose, "\")\" after the requirement type");
  }

  bool Condition(QueryCondition& c) {
    if (!AcceptToken(QueryTokenKind::kGuid, "the GUID of an attribute", c.attribute)) return false;
    const QueryToken& op = Peek();
    if (op.kind == QueryTokenKind::kOperator || IsWord("CONTAINS")) {
      c.op = UCase(op.text);
      ++i_;
    } else {
      error_ = Expected("an operator (=, <>, <, >, <=, >= or CONTAINS)", op);
      return false;
    }
    const QueryToken& value = Peek();
    if (value.kind != QueryTokenKind::kText && value.kind != QueryTokenKind::kNumber &&
        value.kind != QueryTokenKind::kGuid) {
      error_ = Expected("a value (a text in quotes, a number or the GUID of a list item)", value);
      return false;
    }
    c.value = value;
    ++i_;
    return true;
  }

  const QueryToken& Peek() const { return t_[i_]; }
  bool IsWord(const char* keyword) const {
    return Peek().kind == QueryTokenKind::kWord && UCase(Peek().text) == keyword;
  }

  bool Accept(QueryTokenKind kind, const std::string& what) {
    QueryToken ignored;
    return AcceptToken(kind, what, ignored);
  }
  bool AcceptToken(QueryTokenKind kind, const std::string& what, QueryToken& token) {
    if (Peek().kind != kind) {
      error_ = Expected(what, Peek());
      return false;
    }
    token = t_[i_++];
    return true;
  }

  bool Fail(std::string& errorText) {
    errorText = error_;
    return false;
  }

  const std::vector<QueryToken>& t_;  // ends with kEnd
  size_t i_ = 0;
  std::string error_;
};

}  // namespace

bool TokenizeQuery(const std::string& query, std::vector<QueryToken>& tokens,
                   std::string& errorText) {
  return Tokenizer(query).Run(tokens, errorText);
}

bool ParseQueryText(const std::string& query, QueryTree& tree, std::string& errorText) {
  std::vector<QueryToken> tokens;
  if (!TokenizeQuery(query, tokens, errorText)) return false;
  return Parser(tokens).Run(tree, errorText);
}

std::string QueryTree::Canonical() const {
  std::string out = "(";
  if (project) out += project->text + ".";
  out += reqType.text + ")";
  for (size_t i = 0; i < conditions.size(); ++i) {
    out += i == 0 ? " WHERE " : " " + connectors[i - 1] + " ";
    const QueryCondition& c = conditions[i];
    out += c.attribute.text + " " + c.op + " " + c.value.text;
  }
  return out;
}

bool ExternalProjectOfQuery(const std::string& query, std::string& projectGuid) {
  const size_t open = query.find('(');
  const size_t close = query.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  const std::string scope = query.substr(open + 1, close - open - 1);
  const size_t dot = scope.find('.');
  if (dot == std::string::npos) return false;
  const std::string guid = scope.substr(0, dot);
  const char* blanks = " \t\r\n";
  const size_t first = guid.find_first_not_of(blanks);
  projectGuid = first == std::string::npos
                    ? ""
                    : guid.substr(first, guid.find_last_not_of(blanks) - first + 1);
  return true;
}

std::string DescribeQueryToken(const QueryToken& token) {
  if (token.kind == QueryTokenKind::kEnd) return "the end of the query";
  std::string shown = token.text;
  if (CharCount(shown) > kShownTokenChars) shown = CharLeft(shown, kShownTokenChars - 3) + "...";
  std::string out = "\"" + shown + "\"";
  if (token.position > 0) out += " at position " + std::to_string(token.position);
  return out;
}

}  // namespace vl
