#include "host/db/pg_reasons.h"

#include <libpq-fe.h>

namespace vl {

namespace {

// Statements longer than this are shown shortened in error descriptions.
constexpr size_t kShownStatementLength = 600;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string ShortenStatement(const std::string& text) {
  if (text.size() <= kShownStatementLength) return text;
  size_t head = kShownStatementLength * 2 / 3;
  while (head > 0 && IsUtf8Continuation(text[head])) --head;
  size_t tail = text.size() - kShownStatementLength / 3;
  while (tail < text.size() && IsUtf8Continuation(text[tail])) ++tail;
  return text.substr(0, head) + " ... " + text.substr(tail);
}

std::string PgReasonOf(const PGresult* r, PGconn* conn) {
  const char* primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  if (!primary) {
    std::string all = r ? PQresultErrorMessage(r) : PQerrorMessage(conn);
    while (!all.empty() && (all.back() == '\n' || all.back() == ' ')) all.pop_back();
    return all.empty() ? "unknown error" : all;
  }
  std::string out = primary;
  if (const char* detail = PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL))
    out += std::string(" (") + detail + ")";
  if (const char* hint = PQresultErrorField(r, PG_DIAG_MESSAGE_HINT))
    out += std::string(". ") + hint;
  return out;
}

std::string RefusedStatement(const std::string& reason, const std::string& text) {
  return reason + " (statement: " + ShortenStatement(text) + ")";
}

}  // namespace vl
